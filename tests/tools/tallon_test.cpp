// tallon, the scheduling agent: its schedule file, firing a due entry with
// a set clock (the request it writes and the program it starts), Lyra's
// reports, the power-off after the last recording (always replaced here),
// and the command line.
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include "platform/instance_channel.h"
#include "playback/scheduled_record.h"
#include "test_env.h"
#include "tools/tallon/agent.h"
#include "tools/tallon/schedule.h"
#include "tools/tallon/timers.h"

namespace {

const QDateTime Eight = QDateTime(QDate(2026, 12, 9), QTime(20, 0));

TScheduleEntry Entry(const QDateTime &start, int minutes, int source = RelayAntenna,
                     int channel = 3)
{
    TScheduleEntry e;
    e.Start = start;
    e.DurationMinutes = minutes;
    e.Source = source;
    e.Channel = channel;
    return e;
}

QString FolderWith(const QList<TScheduleEntry> &entries)
{
    const QString folder = TestEnv::NewFolder("tallon");
    TSchedule s;
    for (TScheduleEntry e : entries) {
        QString error;
        EXPECT_TRUE(s.Add(e, &error)) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(s.Save(ScheduleFilePath(folder), &error)) << error.toStdString();
    return folder;
}

TSchedule Load(const QString &folder)
{
    TSchedule s;
    QString error;
    EXPECT_TRUE(s.Load(ScheduleFilePath(folder), &error)) << error.toStdString();
    return s;
}

// An agent on a set clock whose program starts and power-offs are noted.
struct TTestAgent
{
    explicit TTestAgent(const QString &folder) : Agent(folder)
    {
        Agent.Now = [this] { return Clock; };
        Agent.LyraProgram = "/opt/lyra/bin/lyra";
        Agent.Launch = [this](const QString &program, const QStringList &args) {
            Started << program + " " + args.join(' ');
            return LaunchWorks;
        };
        Agent.WakeRunningLyra = [this] { return LyraRuns; };
        Agent.PowerOff = [this] {
            ++PowerOffs;
            return true;
        };
    }
    TAgent Agent;
    QDateTime Clock = Eight;
    QStringList Started;
    bool LaunchWorks = true;
    bool LyraRuns = false;
    int PowerOffs = 0;
};

TEST(TallonSchedule, RoundTripAndChecks)
{
    TScheduleEntry fm = Entry(Eight.addSecs(42), 90, RelayFM, 7);
    fm.Name = "late jazz";
    fm.Format = 0;
    fm.PowerOff = true;
    const QString folder = FolderWith({Entry(Eight, 30), fm});
    TSchedule s = Load(folder);
    ASSERT_EQ(s.Entries.size(), 2);
    EXPECT_EQ(s.Entries[0].Id, 1);
    const TScheduleEntry &back = s.Entries[1];
    EXPECT_EQ(back.Id, 2);
    EXPECT_EQ(back.Start, Eight) << "seconds are dropped";
    EXPECT_EQ(back.DurationMinutes, 90);
    EXPECT_EQ(back.Source, RelayFM);
    EXPECT_EQ(back.Channel, 7);
    EXPECT_EQ(back.Format, 0);
    EXPECT_EQ(back.Name, "late jazz");
    EXPECT_TRUE(back.PowerOff);
    EXPECT_EQ(back.State, TScheduleEntry::Pending);

    // An id is never given twice, even after a removal.
    ASSERT_TRUE(s.Remove(1));
    TScheduleEntry third = Entry(Eight, 5);
    QString error;
    ASSERT_TRUE(s.Add(third, &error));
    EXPECT_EQ(third.Id, 3);

    const struct
    {
        const char *what;
        TScheduleEntry entry;
    } refused[] = {
        {"no time", Entry(QDateTime(), 5)},
        {"no minutes", Entry(Eight, 0)},
        {"more than a day", Entry(Eight, 24 * 60 + 1)},
        {"source 6", Entry(Eight, 5, 6)},
        {"negative channel", Entry(Eight, 5, RelayAntenna, -1)},
    };
    for (auto c : refused)
        EXPECT_FALSE(s.Add(c.entry, &error)) << c.what;
    TScheduleEntry longName = Entry(Eight, 5);
    longName.Name = QString(RelayNameMax + 1, 'x');
    EXPECT_FALSE(s.Add(longName, &error));
    EXPECT_EQ(s.Entries.size(), 2);
}

TEST(TallonSchedule, ADamagedFileIsRefusedAndKept)
{
    const QByteArray valid = TestEnv::ReadFile(ScheduleFilePath(FolderWith({Entry(Eight, 30)})));
    const QByteArray cases[] = {
        "{\"kind\": \"lyra-schedule\", \"version\": 1, \"entries\": [",
        "\x00\x01garbage",
        QByteArray(valid).replace("lyra-schedule", "something-else"),
        QByteArray(valid).replace("\"version\": 1", "\"version\": 2"),
        QByteArray(valid).replace("\"pending\"", "\"sleeping\""),
        QByteArray(valid).replace("\"duration\": 30", "\"duration\": -30"),
        QByteArray(valid).replace("\"2026-12-09 20:00\"", "\"tonight\""),
        QByteArray(valid).replace("\"source\": \"tv\"", "\"source\": \"satellite\""),
    };
    for (const QByteArray &bytes : cases) {
        const QString folder = TestEnv::NewFolder("damaged");
        TestEnv::WriteFile(ScheduleFilePath(folder), bytes);
        TSchedule s;
        s.Entries.append(Entry(Eight, 1));
        QString error;
        EXPECT_FALSE(s.Load(ScheduleFilePath(folder), &error)) << bytes.constData();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(s.Entries.size(), 1) << "nothing is loaded from a damaged file";

        // The agent neither fires from it nor writes over it.
        TTestAgent t(folder);
        EXPECT_EQ(t.Agent.Tick(), 0);
        EXPECT_EQ(TestEnv::ReadFile(ScheduleFilePath(folder)), bytes);
    }
}

TEST(TallonAgent, ADueEntryWritesTheRequestAndStartsTheProgram)
{
    TScheduleEntry e = Entry(Eight, 30, RelayCable, 12);
    e.Name = "film";
    e.Format = 5; // VCD (PAL)
    const QString folder = FolderWith({e, Entry(Eight.addSecs(3600), 10, RelayFM, 2)});
    TTestAgent t(folder);

    t.Clock = Eight.addSecs(-1);
    EXPECT_EQ(t.Agent.Tick(), 0);
    EXPECT_TRUE(t.Started.isEmpty());
    EXPECT_FALSE(QFile::exists(folder + "/Relay.rec"));

    // Half a minute late: what is left of the 30 minutes is recorded.
    t.Clock = Eight.addSecs(30);
    EXPECT_EQ(t.Agent.Tick(), 1);
    EXPECT_EQ(t.Started, QStringList{"/opt/lyra/bin/lyra srec_tv --program-folder " + folder});
    TRelayRequest r;
    ASSERT_TRUE(ReadRelayFile(folder + "/Relay.rec", r));
    EXPECT_EQ(r.Source, RelayCable);
    EXPECT_EQ(r.Channel, 12);
    EXPECT_EQ(r.RecordLimit, 30 * 60 - 30);
    EXPECT_EQ(r.Format, 5);
    EXPECT_EQ(r.Width, 352);
    EXPECT_EQ(r.Height, 288);
    EXPECT_EQ(r.NameFormat, 1);
    EXPECT_EQ(r.FileName, "film");
    EXPECT_EQ(Load(folder).Find(1)->State, TScheduleEntry::Running);
    EXPECT_EQ(t.Agent.RunningId(), 1);

    // Fired once only.
    EXPECT_EQ(t.Agent.Tick(), 0);
    EXPECT_EQ(t.Started.size(), 1);

    t.Agent.HandleMessage({AgentReport, ReportFinished, 0});
    EXPECT_EQ(Load(folder).Find(1)->State, TScheduleEntry::Done);
    EXPECT_EQ(t.Agent.RunningId(), 0);

    // The radio entry goes to the program already running.
    t.LyraRuns = true;
    t.Clock = Eight.addSecs(3600);
    EXPECT_EQ(t.Agent.Tick(), 1);
    EXPECT_EQ(t.Started.size(), 1);
    ASSERT_TRUE(ReadRelayFile(folder + "/Relay.rec", r));
    EXPECT_EQ(r.Source, RelayFM);
    EXPECT_EQ(r.NameFormat, 0);
    EXPECT_EQ(t.PowerOffs, 0);
}

TEST(TallonAgent, ReportsAndFailuresMarkTheEntryWithTheReason)
{
    const QString folder =
        FolderWith({Entry(Eight, 10), Entry(Eight.addSecs(1200), 10),
                    Entry(Eight.addSecs(2400), 10), Entry(Eight.addSecs(3600), 10, RelayFM)});
    TTestAgent t(folder);
    auto state = [&](int id) { return Load(folder).Find(id)->State; };
    auto reason = [&](int id) { return Load(folder).Find(id)->Reason; };

    ASSERT_TRUE(t.Agent.Fire(1));
    t.Agent.HandleMessage({AgentReport, ReportUnfit, 0});
    EXPECT_EQ(state(1), TScheduleEntry::Failed);
    EXPECT_TRUE(reason(1).contains("no FM radio")) << reason(1).toStdString();

    // Disk full: the finish that follows does not make it done.
    ASSERT_TRUE(t.Agent.Fire(2));
    t.Agent.HandleMessage({AgentReport, ReportDiskFull, 0});
    EXPECT_EQ(state(2), TScheduleEntry::Running);
    t.Agent.HandleMessage({AgentReport, ReportFinished, 0});
    EXPECT_EQ(state(2), TScheduleEntry::Failed);
    EXPECT_TRUE(reason(2).contains("disk")) << reason(2).toStdString();

    // A program that cannot start fails the entry at once.
    t.LaunchWorks = false;
    EXPECT_FALSE(t.Agent.Fire(3));
    EXPECT_EQ(state(3), TScheduleEntry::Failed);
    EXPECT_TRUE(reason(3).contains("cannot be started")) << reason(3).toStdString();

    // No report ever: failed some minutes after the planned end.
    t.LaunchWorks = true;
    t.Clock = Eight.addSecs(3600);
    EXPECT_EQ(t.Agent.Tick(), 1);
    t.Clock = Eight.addSecs(3600 + (10 + ReportGraceMinutes) * 60);
    t.Agent.Tick();
    EXPECT_EQ(state(4), TScheduleEntry::Failed);
    EXPECT_TRUE(reason(4).contains("never reported")) << reason(4).toStdString();
}

TEST(TallonAgent, MissedEntriesFailAndThePowerOffWaitsForTheLastRecording)
{
    TScheduleEntry first = Entry(Eight, 10);
    first.PowerOff = true;
    TScheduleEntry second = Entry(Eight.addSecs(1800), 10);
    second.PowerOff = true;
    const QString folder = FolderWith({Entry(Eight.addSecs(-7200), 30), first, second});
    TTestAgent t(folder);

    EXPECT_EQ(t.Agent.Tick(), 1);
    EXPECT_EQ(Load(folder).Find(1)->State, TScheduleEntry::Failed);
    EXPECT_TRUE(Load(folder).Find(1)->Reason.startsWith("missed"));

    t.Agent.HandleMessage({AgentReport, ReportFinished, 0});
    EXPECT_EQ(t.PowerOffs, 0) << "entry 3 is still to come";
    // Lyra's sleep timer while a recording is near: the machine stays on.
    t.Clock = Eight.addSecs(1800 - 60);
    t.Agent.HandleMessage({AgentSleepExpired, 0, 0});
    EXPECT_EQ(t.PowerOffs, 0);

    t.Clock = Eight.addSecs(1800);
    EXPECT_EQ(t.Agent.Tick(), 1);
    t.Agent.HandleMessage({AgentReport, ReportFinished, 0});
    EXPECT_EQ(t.PowerOffs, 1);
    t.Agent.HandleMessage({AgentSleepExpired, 0, 0});
    EXPECT_EQ(t.PowerOffs, 2);
}

TEST(TallonTimers, TheSystemdTimerRunsFireWithTheFolder)
{
    TScheduleEntry e = Entry(Eight, 10);
    e.Id = 4;
    const QString unit = TimerUnitName("/data/lyra", 4);
    EXPECT_NE(unit, TimerUnitName("/other/lyra", 4));
    const QStringList a = TimerArguments(e, unit, "/usr/bin/tallon", "/data/lyra", "", true);
    EXPECT_TRUE(a.contains("--on-calendar=2026-12-09 20:00:00"));
    EXPECT_TRUE(a.contains("--timer-property=WakeSystem=yes"));
    EXPECT_EQ(a.mid(a.indexOf("--")), QStringList({"--", "/usr/bin/tallon", "fire", "4",
                                                   "--program-folder", "/data/lyra"}));
}

// lyra-config shows the request as the program reads it.
TEST(TallonRequest, LyraConfigShowsIt)
{
    TScheduleEntry e = Entry(Eight, 45, RelayFM, 6);
    e.Id = 9;
    e.Name = "radio play";
    const QString path = TestEnv::NewFolder("relay") + "/Relay.rec";
    ASSERT_TRUE(WriteRelayFile(path, e.Request()));
    auto show = [&] {
        QProcess p;
        p.start(TestEnv::BinaryDir() + "/tools/lyra-config", {"show", path});
        EXPECT_TRUE(p.waitForFinished(10000));
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    };
    const QJsonObject shown = show();
    EXPECT_EQ(shown["status"].toString(), "ok");
    EXPECT_EQ(shown["sourceName"].toString(), "fm");
    EXPECT_EQ(shown["channel"].toInt(), 6);
    EXPECT_EQ(shown["recordLimit"].toInt(), 45 * 60);
    EXPECT_EQ(shown["formatName"].toString(), "MPEG 2");
    EXPECT_EQ(shown["fileName"].toString(), "radio play");
    EXPECT_EQ(shown["nameFormat"].toString(), "given name");

    QByteArray bytes = TestEnv::ReadFile(path);
    bytes.chop(1);
    TestEnv::WriteFile(path, bytes);
    EXPECT_EQ(show()["status"].toString(), "damaged");
}

// The command line on a folder; an agent of the test's own listens, so no
// resident agent is started.
TEST(TallonCommandLine, AddListRemoveAndADamagedSchedule)
{
    TInstanceServer listening(AgentName);
    ASSERT_TRUE(listening.Listen());
    const QString folder = TestEnv::NewFolder("cli");
    auto run = [&](QStringList args, QByteArray *out = nullptr) {
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        // The test's own runtime folder; no user systemd here.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        p.setProcessEnvironment(env);
        p.start(TestEnv::BinaryDir() + "/tools/tallon",
                args << "--program-folder" << folder << "--no-systemd");
        // Answer the "schedule changed" message while it waits.
        while (!p.waitForFinished(20))
            QCoreApplication::processEvents();
        if (out)
            *out = p.readAllStandardOutput() + p.readAllStandardError();
        return p.exitCode();
    };
    QByteArray out;
    EXPECT_EQ(run({"add", "--start", "2099-01-02 03:04", "--duration", "1", "--source", "tv",
                   "--channel", "3", "--name", "night"},
                  &out),
              0)
        << out.constData();
    EXPECT_TRUE(out.contains("added 1")) << out.constData();
    EXPECT_NE(run({"add", "--start", "2099-01-02 03:04", "--duration", "1", "--source", "dvb",
                   "--channel", "3"},
                  &out),
              0);
    EXPECT_TRUE(out.contains("--source")) << out.constData();
    ASSERT_EQ(run({"list"}, &out), 0);
    EXPECT_TRUE(out.contains("2099-01-02 03:04")) << out.constData();
    EXPECT_TRUE(out.contains("pending")) << out.constData();
    EXPECT_TRUE(out.contains("night")) << out.constData();
    EXPECT_EQ(run({"remove", "1"}, &out), 0) << out.constData();
    EXPECT_TRUE(Load(folder).Entries.isEmpty());

    TestEnv::WriteFile(ScheduleFilePath(folder), "not a schedule");
    EXPECT_NE(run({"list"}, &out), 0);
    EXPECT_TRUE(out.contains("damaged")) << out.constData();
    EXPECT_NE(run({"add", "--start", "+5", "--duration", "1", "--source", "tv", "--channel", "3"}),
              0);
    EXPECT_EQ(TestEnv::ReadFile(ScheduleFilePath(folder)), "not a schedule");
}

} // namespace
