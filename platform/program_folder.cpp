#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include "platform/log.h"

namespace {
QString g_folder;

QString WithSlash(QString path)
{
    if (!path.endsWith('/'))
        path += '/';
    return path;
}
} // namespace

namespace ProgramFolder {

bool Init(const QString &explicitFolder)
{
    QString folder = explicitFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/lyra";
    folder = QDir(folder).absolutePath();
    if (!QDir().mkpath(folder)) {
        qCWarning(lcFiles) << "cannot create program folder" << folder;
        return false;
    }
    g_folder = WithSlash(folder);
    return true;
}

QString Path()
{
    if (g_folder.isEmpty())
        Init();
    return g_folder;
}

QString File(const QString &name) { return Path() + name; }

QString ShippedDataDir()
{
    if (QCoreApplication::instance()) {
        const QString installed =
            QCoreApplication::applicationDirPath() + "/../share/lyra";
        if (QFileInfo(installed + "/Language").isDir())
            return QDir(installed).absolutePath();
    }
    return QStringLiteral(LYRA_STAGED_DATA);
}

int InstallShippedData(const QString &from)
{
    int copied = 0;
    const QDir source(from);
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString relative = source.relativeFilePath(file);
        const QString target = File(relative);
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (QFile::copy(file, target)) {
            // Shipped files may be read-only in the installation; the copy
            // belongs to the user.
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner |
                                              QFile::ReadGroup | QFile::ReadOther);
            ++copied;
        } else {
            qCWarning(lcFiles) << "cannot copy" << file << "to" << target;
        }
    }
    return copied;
}

} // namespace ProgramFolder

QString DefaultDocumentsFolder()
{
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::homePath();
    return WithSlash(docs);
}

bool OnReadOnlyMedia(const QString &path)
{
    // Walk up to the nearest existing folder: the one a new folder would be
    // created in.
    QFileInfo info(path);
    QString probe = info.absoluteFilePath();
    while (!probe.isEmpty() && !QFileInfo::exists(probe)) {
        const QString parent = QFileInfo(probe).absolutePath();
        if (parent == probe)
            break;
        probe = parent;
    }
    const QStorageInfo storage(probe);
    if (!storage.isValid())
        return false;
    const QByteArray type = storage.fileSystemType().toLower();
    return storage.isReadOnly() || type == "iso9660" || type == "udf";
}

bool FolderUsable(const QString &folder, bool create)
{
    if (folder.isEmpty() || OnReadOnlyMedia(folder))
        return false;
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists())
        return false; // a file of that name
    // One level only: the parent must exist.
    if (!create)
        return QFileInfo(info.absolutePath()).isDir();
    return QDir().mkdir(info.absoluteFilePath());
}
