#include "platform/instance_channel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/log.h"

namespace {

constexpr int FrameSize = 12;

QByteArray Frame(const TInstanceMessageData &m)
{
    const bool text = MessageCarriesText(m.Number);
    QByteArray bytes(FrameSize, Qt::Uninitialized);
    auto *raw = reinterpret_cast<uchar *>(bytes.data());
    qToLittleEndian<qint32>(m.Number, raw);
    qToLittleEndian<qint32>(text ? qint32(m.Text.size()) : m.WParam, raw + 4);
    qToLittleEndian<qint32>(m.LParam, raw + 8);
    return text ? bytes + m.Text : bytes;
}

QByteArray ReplyFrame(const QByteArray &payload)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<qint32>(qint32(payload.size()), reinterpret_cast<uchar *>(bytes.data()));
    return bytes + payload;
}

} // namespace

QString RuntimeFolder()
{
    // The session's runtime folder is private to the user already.
    const QString xdg = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    struct stat st;
    if (!xdg.isEmpty() && ::stat(QFile::encodeName(xdg).constData(), &st) == 0 &&
        S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
        return xdg;
    // Without one (a login without a session manager, cron): a folder of our
    // own under the temporary folder that only this user can enter. One that
    // is not ours, or not a plain folder, is never used.
    const QString dir = QDir::tempPath() + QString("/lyra-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(dir);
    ::mkdir(path.constData(), 0700);
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        qCWarning(lcApp) << "runtime folder" << dir
                         << "is not this user's own; using the home folder";
        const QString home = QDir::homePath() + "/.cache/lyra-runtime";
        QDir().mkpath(home);
        QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return home;
    }
    if ((st.st_mode & 077) != 0)
        ::chmod(path.constData(), 0700);
    return dir;
}

QString RuntimeSocketPath(const QString &name)
{
    return RuntimeFolder() + "/" + name;
}

TInstanceServer::TInstanceServer(const QString &name, QObject *parent)
    : QObject(parent), Name(name), Lock(RuntimeSocketPath(name) + ".lock")
{
    Lock.setStaleLockTime(0); // a lock is stale only when its process is gone
}

TInstanceServer::~TInstanceServer()
{
    if (Server)
        Server->close();
    Lock.unlock();
}

bool TInstanceServer::Listen()
{
    if (!Lock.tryLock(0)) {
        OtherHolds = Lock.error() == QLockFile::LockFailedError;
        Error = OtherHolds ? QString("%1 is held by another process").arg(Name)
                           : QString("cannot create the lock for %1").arg(Name);
        return false;
    }
    const QString path = RuntimeSocketPath(Name);
    // We hold the lock, so a socket file left behind is from a process that
    // died: remove it.
    QLocalServer::removeServer(path);
    Server = new QLocalServer(this);
    Server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!Server->listen(path)) {
        Error = Server->errorString();
        qCWarning(lcApp) << "cannot listen on" << path << Error;
        Lock.unlock();
        return false;
    }
    connect(Server, &QLocalServer::newConnection, this, &TInstanceServer::OnNewConnection);
    return true;
}

void TInstanceServer::OnNewConnection()
{
    while (QLocalSocket *socket = Server->nextPendingConnection()) {
        // A poster may write and hang up at once: handle what it sent first.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            OnReadyRead(socket);
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket);
    }
}

void TInstanceServer::OnReadyRead(QLocalSocket *socket)
{
    while (socket->bytesAvailable() >= FrameSize) {
        const QByteArray head = socket->peek(FrameSize);
        const auto *raw = reinterpret_cast<const uchar *>(head.constData());
        TInstanceMessageData m;
        m.Number = qFromLittleEndian<qint32>(raw);
        m.WParam = qFromLittleEndian<qint32>(raw + 4);
        m.LParam = qFromLittleEndian<qint32>(raw + 8);
        if (MessageCarriesText(m.Number)) {
            if (m.WParam < 0 || m.WParam > MaxMessageText) {
                qCWarning(lcApp) << "message" << m.Number << "with a text of" << m.WParam
                                 << "bytes refused";
                socket->abort();
                return;
            }
            // The text may still be on its way.
            if (socket->bytesAvailable() < FrameSize + m.WParam)
                return;
            socket->skip(FrameSize);
            m.Text = socket->read(m.WParam);
        } else {
            socket->skip(FrameSize);
        }
        QByteArray payload;
        if (Handler)
            payload = Handler(m);
        // The handler may have run a modal loop; the sender may be gone.
        if (socket->state() == QLocalSocket::ConnectedState) {
            socket->write(ReplyFrame(payload));
            socket->flush();
        }
    }
}

bool SendInstanceMessage(const QString &name, const TInstanceMessageData &message,
                         QByteArray *reply, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    const QString path = RuntimeSocketPath(name);
    // The first instance may hold the lock but not listen yet: retry a while.
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(qMax(1, int(timeoutMs - clock.elapsed()))))
            break;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(50);
    }
    socket.write(Frame(message));
    if (!socket.waitForBytesWritten(qMax(1, int(timeoutMs - clock.elapsed()))))
        return false;
    QByteArray buffer;
    qint32 length = -1;
    while (length < 0 || buffer.size() < 4 + length) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        if (!socket.waitForReadyRead(qMax(1, int(timeoutMs - clock.elapsed()))))
            return false;
        buffer += socket.readAll();
        if (length < 0 && buffer.size() >= 4)
            length = qFromLittleEndian<qint32>(reinterpret_cast<const uchar *>(buffer.constData()));
        if (length < 0 && buffer.size() >= 4)
            return false;
    }
    if (reply)
        *reply = buffer.mid(4, length);
    return true;
}

bool PostInstanceMessage(const QString &name, const TInstanceMessageData &message, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(RuntimeSocketPath(name));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(Frame(message));
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return written;
}

bool InstanceListening(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(RuntimeSocketPath(name));
    const bool ok = socket.waitForConnected(200);
    socket.abort();
    return ok;
}
