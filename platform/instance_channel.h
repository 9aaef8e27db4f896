// The per-user local socket that stands for the single-instance mutex and
// the window messages exchanged with the scheduling agent.
//
// A message is 12 bytes, little-endian: Int number, Int wParam, Int lParam.
// The receiver answers every message with a reply: an Int byte length and
// that many bytes (empty for plain messages, JSON for the status request).
// A sender that waits for the reply therefore knows the message was handled,
// as a SendMessage caller does. A few messages carry a text (a file name):
// their wParam is its byte length (at most MaxMessageText) and the UTF-8
// bytes follow the 12 bytes.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

// Socket names in the runtime folder.
inline constexpr const char *InstanceName = "QUOVIX_PAVO_MUTEX";
inline constexpr const char *AgentName = "QUOVIX_SCHEDULED_RECORD";

// Message numbers of the socket protocol.
enum TInstanceMessage : int
{
    MsgRemoteCommand = 3024,
    MsgStartScheduledRecording = 3025,
    AgentHello = 3026,
    AgentShowWindow = 3027,
    AgentReport = 3028,
    AgentSleepExpired = 3035,
    MsgDeferredStart = 4025,
    MsgRestoreBounds = 4026,
    MsgSwapInsetTwice = 6026,
    // Fixed stand-in for the registered window message of the same name.
    MsgActivateInstance = 0xC000,
    // Asks the running program for its state; the reply is JSON.
    MsgStatusRequest = 0xC001,
    // Saves the newest snapshot as the file the text names; the reply is
    // empty when it was saved, else the reason.
    MsgSnapshotSave = 0xC002,
    // Plays the file the text names (a full path); posted, the reply is
    // empty.
    MsgPlayFile = 0xC003,
};

inline constexpr int MaxMessageText = 4096;
// True for the messages that carry a text after their 12 bytes.
inline bool MessageCarriesText(int number)
{
    return number == MsgSnapshotSave || number == MsgPlayFile;
}

// The folder of the sockets: $XDG_RUNTIME_DIR, else a folder of this
// user's own (mode 0700) under the temporary folder.
QString RuntimeFolder();
// Full path of a socket name in that folder.
QString RuntimeSocketPath(const QString &name);

struct TInstanceMessageData
{
    TInstanceMessageData(int number = 0, int wParam = 0, int lParam = 0)
        : Number(number), WParam(wParam), LParam(lParam)
    {
    }
    int Number = 0;
    int WParam = 0;
    int LParam = 0;
    // The text of a message that carries one (wParam is its length).
    QByteArray Text;
};

class TInstanceServer : public QObject
{
    Q_OBJECT
public:
    explicit TInstanceServer(const QString &name = InstanceName, QObject *parent = nullptr);
    ~TInstanceServer() override;

    // Takes the lock and starts listening. False when another process holds
    // the lock (the name "already exists") or the socket cannot be opened.
    bool Listen();
    bool AlreadyRunning() const { return OtherHolds; }
    QString ErrorText() const { return Error; }

    // Answers a message; the returned bytes go back to the sender. Runs on
    // the GUI thread.
    std::function<QByteArray(const TInstanceMessageData &)> Handler;

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket *socket);

    QString Name;
    QLockFile Lock;
    QLocalServer *Server = nullptr;
    bool OtherHolds = false;
    QString Error;
};

// Sends one message to the named socket and waits up to timeoutMs for the
// reply. Returns false when nobody listens or nothing came back in time.
bool SendInstanceMessage(const QString &name, const TInstanceMessageData &message,
                         QByteArray *reply = nullptr, int timeoutMs = 3000);

// Writes one message and does not wait for it to be handled, as a posted
// window message. False when nobody listens.
bool PostInstanceMessage(const QString &name, const TInstanceMessageData &message,
                         int timeoutMs = 2000);

// True when a process listens on the named socket.
bool InstanceListening(const QString &name);
