#include "platform/safe_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TSafeWriteStep g_failStep = TSafeWriteStep::None;
int g_failErrno = ENOSPC;

// -1 with errno set when the step is to fail, else what the call returned.
template <typename F> auto Step(TSafeWriteStep step, F call)
{
    if (g_failStep == step) {
        errno = g_failErrno;
        return decltype(call())(-1);
    }
    return call();
}

QString Describe(const char *what, const QString &path)
{
    return QString("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

void InjectSafeWriteFailure(TSafeWriteStep step, int error)
{
    g_failStep = step;
    g_failErrno = error;
}

bool WriteFileSafely(const QString &path, const QByteArray &bytes, QString *error, bool syncToDisk)
{
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    QByteArray temp = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".XXXXXX");
    QString failure;

    const int fd = Step(TSafeWriteStep::Open, [&] { return mkstemp(temp.data()); });
    if (fd < 0) {
        if (error)
            *error = Describe("cannot create a file beside", path);
        return false;
    }
    // Keep the old file's permissions; a new one gets 0666 less the user's
    // umask, as any created file would (mkstemp makes it 0600).
    struct stat old;
    if (::stat(QFile::encodeName(path).constData(), &old) == 0) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }

    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0 && failure.isEmpty()) {
        const ssize_t n = Step(TSafeWriteStep::Write, [&] { return ::write(fd, p, size_t(left)); });
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            failure = Describe("cannot write", path);
            break;
        }
        p += n;
        left -= n;
    }
    if (failure.isEmpty() && syncToDisk &&
        Step(TSafeWriteStep::Sync, [&] { return ::fsync(fd); }) != 0)
        failure = Describe("cannot flush to disk", path);
    // close() reports what the file system could not store when the flush
    // did not (network file systems).
    if (Step(TSafeWriteStep::Close, [&] { return ::close(fd); }) != 0 && failure.isEmpty())
        failure = Describe("cannot close", path);
    if (failure.isEmpty() &&
        Step(TSafeWriteStep::Rename,
             [&] { return ::rename(temp.constData(), QFile::encodeName(path).constData()); }) != 0)
        failure = Describe("cannot replace", path);
    if (!failure.isEmpty()) {
        ::unlink(temp.constData());
        if (error)
            *error = failure;
        return false;
    }
    // The rename is in the folder's entries; sync them too.
    if (!syncToDisk)
        return true;
    if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
