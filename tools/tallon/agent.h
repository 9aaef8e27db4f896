// The scheduling agent: fires the schedule's entries at their time, hands
// each to Lyra ("Relay.rec", then `lyra srec_tv`/`srec_fm` or message 3025
// to the running program), listens on its socket for Lyra's reports and
// marks the entries done or failed. The clock, the program start and the
// power-off are replaceable, so that tests run them without waiting and
// never switch a machine off.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/instance_channel.h"
#include "tools/tallon/schedule.h"

class QTimer;

// Messages between tallon processes on the agent's socket, beside Lyra's.
enum TTallonMessage : int
{
    // `tallon fire ID` hands the entry (wParam) to the resident agent.
    MsgFireEntry = 0xC100,
    // The schedule file changed; the window shows it again.
    MsgScheduleChanged = 0xC101,
};

// Lyra's reports (3028's wParam).
enum TAgentReport : int
{
    ReportDiskFull = 2,
    ReportNotCarriedOut = 3,
    ReportUnfit = 4,
    ReportFinished = 100,
};

class TAgent : public QObject
{
    Q_OBJECT
public:
    explicit TAgent(const QString &programFolder, QObject *parent = nullptr);
    ~TAgent() override;

    QString ProgramFolder;
    // The program to start; FindLyra when not given.
    QString LyraProgram;

    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
    // Starts a program without waiting for it.
    std::function<bool(const QString &program, const QStringList &arguments)> Launch;
    // Hands message 3025 to a running Lyra; false when none runs.
    std::function<bool()> WakeRunningLyra;
    // Switches the machine off; false when refused. Tests always replace it.
    std::function<bool()> PowerOff;

    // Called after the schedule changed on disk (the window lists it again)
    // and for Lyra's 3027 (the window comes to the front).
    std::function<void()> OnScheduleChanged;
    std::function<void()> OnShowWindow;

    // Listens on the agent's socket; false when another agent does.
    bool Listen();
    bool Listening() const;
    // Checks the schedule now and then every second.
    void StartTimer();

    // One check: fires the entries that are due, fails the missed ones and
    // the running one whose report never came. The number fired.
    int Tick();
    // Hands one entry to Lyra now; false (the entry failed, with the
    // reason) when it could not be handed over.
    bool Fire(int id);
    // A message on the agent's socket.
    QByteArray HandleMessage(const TInstanceMessageData &message);

    // The entry handed to Lyra and not reported yet; 0 when none.
    int RunningId() const;
    QString LastError;

private:
    bool LoadSchedule(TSchedule &schedule);
    bool SaveSchedule(const TSchedule &schedule);
    void Finish(int id, TScheduleEntry::TState state, const QString &reason);
    void MaybePowerOff(bool askedByEntry);

    std::unique_ptr<TInstanceServer> Server;
    QTimer *Timer = nullptr;
    bool DiskFullReported = false;
};

// `lyra` beside this program (installed together), in the build tree one
// folder up, or on PATH. Empty when none is found.
QString FindLyra();
// Minutes of grace after an entry's end before a missing report fails it.
inline constexpr int ReportGraceMinutes = 5;
