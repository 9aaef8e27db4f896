// Replacing a program file so that it is either the whole new content or
// still the old file, never a part: the bytes go to a temporary file beside
// it, every write, the flush to disk and the close are checked, and only
// then is it renamed over the old one (and the folder synced, so that the
// rename itself survives a crash). On any failure the temporary file is
// removed and the old file is untouched.
//
// The play lists, settings and channel files of the program folder are all
// written through here.
#pragma once

#include <QByteArray>
#include <QString>

// The steps a failure can be injected at (tests only).
enum class TSafeWriteStep
{
    None,
    Open,
    Write,
    Sync,
    Close,
    Rename
};

// Writes `bytes` as `path`. False, with a text for the log in `error`, when
// any step failed. Without `syncToDisk` (exported pictures, which are not
// the program's state) the file is still whole or absent, but not flushed
// to disk before the call returns: a flush costs more than encoding a
// snapshot, and the user waits for it.
bool WriteFileSafely(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                     bool syncToDisk = true);

// Makes the given step fail with the given errno in every later write until
// reset with TSafeWriteStep::None. For tests of the callers' failure paths.
void InjectSafeWriteFailure(TSafeWriteStep step, int error = 28 /* ENOSPC */);
