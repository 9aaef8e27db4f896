#include "test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

namespace {
QTemporaryDir *g_root = nullptr;
}

namespace TestEnv {

void InitRoot()
{
    if (!g_root) {
        g_root = new QTemporaryDir(QDir::tempPath() + "/lyra-test-XXXXXX");
        g_root->setAutoRemove(true);
    }
}

QString Root()
{
    InitRoot();
    return g_root->path();
}

QString NewFolder(const QString &hint)
{
    const QString path =
        Root() + "/" + hint + "-" + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(path);
    return path;
}

QString WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString BinaryDir()
{
#ifdef LYRA_BINARY_DIR
    return QStringLiteral(LYRA_BINARY_DIR);
#else
    return QString();
#endif
}

QString SourceDir()
{
#ifdef LYRA_SOURCE_DIR
    return QStringLiteral(LYRA_SOURCE_DIR);
#else
    return QString();
#endif
}

void CleanUp()
{
    delete g_root;
    g_root = nullptr;
}

bool WaitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

} // namespace TestEnv
