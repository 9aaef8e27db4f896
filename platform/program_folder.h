// The program folder: settings, channels, lists, language files, frequency
// tables and the agent's hand-off file live here. One per user by default
// (the user's data folder + "lyra"); --program-folder names another, for
// portable use and for tests. On first start it receives the data shipped
// with the program.
#pragma once

#include <QString>

namespace ProgramFolder {

// Chooses the folder (empty: the per-user default) and creates it.
// Returns false when it cannot be created.
bool Init(const QString &explicitFolder = QString());

// The folder with a trailing "/".
QString Path();

// Path() + name.
QString File(const QString &name);

// Where the data shipped with the program lies: share/lyra beside the
// installed binary, else the build tree's staged copy.
QString ShippedDataDir();

// Copies every shipped file that the program folder does not have yet.
// Files a user changed are never overwritten. Returns the number copied.
int InstallShippedData(const QString &from = ShippedDataDir());

} // namespace ProgramFolder

// The user's documents folder with a trailing "/": where recordings go by
// default.
QString DefaultDocumentsFolder();

// A folder is unusable when it lies on read-only or optical media; otherwise
// it is usable when it exists or can be created one level deep. With create
// false nothing is created: a missing folder counts as usable when its parent
// exists.
bool FolderUsable(const QString &folder, bool create = true);

// True when the path lies on a read-only or optical-media mount.
bool OnReadOnlyMedia(const QString &path);
