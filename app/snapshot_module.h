// The snapshot store's part in start-up and shutdown, and the scripts'
// way to save a snapshot (lyra-remote snapshot-save).
#pragma once

#include <QByteArray>
#include <QString>

// Creates the store and installs the hook that frees it at shutdown.
void InitializeSnapshotModule();
void FinalizeSnapshotModule();

// Saves the newest snapshot as `fileName` the way the snapshot list's Save
// does (the extension chooses the format). Empty when it was saved, else
// the reason, for the requesting script.
QByteArray SaveNewestSnapshot(const QString &fileName);
