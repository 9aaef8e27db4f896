// The real program records with lyra-remote: capture, status while it
// runs, stop; the done list across restarts; a recording cut by SIGKILL.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <csignal>

#include <gtest/gtest.h>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "capture/capture_settings.h"
#include "media_test_util.h"
#include "playback/playback_info.h"
#include "program_process.h"
#include "test_env.h"

namespace {

std::vector<QString> DoneFiles(const QString &folder)
{
    QFile file(folder + "/PLAYITEMS.LST");
    std::vector<QString> names;
    if (!file.open(QIODevice::ReadOnly))
        return names;
    std::vector<std::unique_ptr<TPlaybackItem>> items;
    EXPECT_TRUE(ReadDoneList(&file, items));
    for (const auto &item : items)
        names.push_back(item->FileName);
    return names;
}

bool Exit(TProgramProcess &lyra)
{
    for (int i = 0; i < 3 && lyra.Running(); ++i) {
        lyra.Remote("exit");
        if (lyra.WaitForExit(8000))
            return true;
    }
    return !lyra.Running();
}

TEST(RecordingProgram, CaptureStatusStopAndTheDoneListAcrossARestart)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    ASSERT_EQ(lyra.Remote("capture"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["ElapsedSeconds"].toDouble() >= 3; }, 20000))
        << lyra.Output().toStdString();
    const QJsonObject s = lyra.Status();
    EXPECT_EQ(s["AppModeName"].toString(), "ModeCapture");
    EXPECT_TRUE(s["Recording"].toBool());
    EXPECT_TRUE(s["UsedBytes"].isDouble());
    const QString file = s["RecordingFile"].toString();
    EXPECT_TRUE(file.endsWith(".mpg")) << file.toStdString();
    ASSERT_EQ(lyra.Remote("stop"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["AppModeName"].toString() == "ModeLive"; }));
    EXPECT_TRUE(lyra.Status()["RecordingFile"].isNull());
    const TDiscovered d = Discover(file);
    ASSERT_TRUE(d.Ok) << d.Error;
    EXPECT_EQ(d.VideoMpegVersion, 2);
    EXPECT_EQ(d.Width, 640);
    EXPECT_EQ(d.Height, 480);
    EXPECT_GT(d.AudioRate, 0);
    ASSERT_TRUE(Exit(lyra));
    EXPECT_EQ(DoneFiles(folder), std::vector<QString>{file});

    // lyra-config shows the list as the program reads it.
    QProcess config;
    config.start(QStringLiteral(LYRA_BINARY_DIR "/tools/lyra-config"),
                 {"show", folder + "/PLAYITEMS.LST"});
    ASSERT_TRUE(config.waitForFinished(10000));
    const QJsonObject shown = QJsonDocument::fromJson(config.readAllStandardOutput()).object();
    EXPECT_EQ(shown["status"].toString(), "ok");
    ASSERT_EQ(shown["items"].toArray().size(), 1);
    EXPECT_EQ(shown["items"].toArray()[0].toObject()["fileName"].toString(), file);

    // Kept across a run that records nothing.
    TProgramProcess again;
    ASSERT_TRUE(again.Start(folder)) << again.Failure.toStdString();
    ASSERT_TRUE(Exit(again));
    EXPECT_EQ(DoneFiles(folder), std::vector<QString>{file});
}

TEST(RecordingProgram, ARecordingKilledAfter20SecondsDecodesAndIsListedNextTime)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    ASSERT_EQ(lyra.Remote("capture"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["ElapsedSeconds"].toDouble() >= 20; }, 40000));
    const QString file = lyra.Status()["RecordingFile"].toString();
    lyra.Signal(SIGKILL);
    lyra.WaitForExit(5000);
    const TDiscovered d = Discover(file);
    ASSERT_TRUE(d.Ok) << d.Error;
    EXPECT_GE(double(d.Duration) / GST_SECOND, 18.0);

    TProgramProcess next;
    ASSERT_TRUE(next.Start(folder)) << next.Failure.toStdString();
    ASSERT_TRUE(Exit(next));
    EXPECT_EQ(DoneFiles(folder), std::vector<QString>{file});
}

TEST(RecordingProgram, TimeShiftRecordsIntoTs0AndDeletesItAtTheStop)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    ASSERT_EQ(lyra.Remote("timeshift"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["ElapsedSeconds"].toDouble() >= 2; }, 20000));
    const QJsonObject s = lyra.Status();
    EXPECT_EQ(s["AppModeName"].toString(), "ModeTimeShift");
    const QString file = s["RecordingFile"].toString();
    EXPECT_TRUE(file.endsWith("/ts0.mpv")) << file.toStdString();
    EXPECT_TRUE(QFileInfo::exists(file + ".idx"));
    ASSERT_EQ(lyra.Remote("stop"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["AppModeName"].toString() == "ModeLive"; }));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(file + ".idx"));
    ASSERT_TRUE(Exit(lyra));
    EXPECT_TRUE(DoneFiles(folder).empty());
}

} // namespace

namespace {

// Changes the recording block of the folder's settings file, as the
// settings dialog would have stored it.
void SetRecordingSettings(const QString &folder,
                          const std::function<void(TCaptureSettings &)> &edit)
{
    TMainInfo main;
    TAudioAdjustInfo audio(nullptr);
    TCaptureSettings capture;
    TMainSettingsContext context;
    context.Main = &main;
    context.Audio = &audio;
    context.Capture = &capture;
    const QString path = folder + "/QPAVO.cfg";
    ASSERT_TRUE(LoadMainSettings(path, context));
    edit(capture);
    ASSERT_TRUE(SaveMainSettings(path, context));
}

// A recording of each RIFF kind killed after a few seconds: the next start
// repairs and lists it, and it decodes up to the cut.
TEST(RecordingProgram, KilledAviAndWaveRecordingsAreRepairedAtTheNextStart)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    {
        TProgramProcess first;
        ASSERT_TRUE(first.Start(folder)) << first.Failure.toStdString();
        ASSERT_TRUE(Exit(first));
    }
    const std::vector<std::function<void(TCaptureSettings &)>> kinds = {
        [](TCaptureSettings &c) {
            c.CaptureFormat = FormatMPEG4;
            c.CaptureWidth = 320;
            c.CaptureHeight = 240;
        },
        [](TCaptureSettings &c) {
            c.CaptureFormat = FormatMPEG2;
            c.CaptureAudioOption = 1;
            c.CaptureAudioFormat = 0;
        },
    };
    std::vector<QString> files;
    for (const auto &kind : kinds) {
        SetRecordingSettings(folder, kind);
        TProgramProcess lyra;
        ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
        ASSERT_EQ(lyra.Remote("capture"), 0);
        ASSERT_TRUE(lyra.WaitForStatus(
            [](const QJsonObject &s) { return s["ElapsedSeconds"].toDouble() >= 4; }, 20000));
        files.push_back(lyra.Status()["RecordingFile"].toString());
        lyra.Signal(SIGKILL);
        lyra.WaitForExit(5000);
    }
    ASSERT_TRUE(files[0].endsWith(".avi") && files[1].endsWith(".wav"));
    // Each start repairs what the run before it left.
    TProgramProcess last;
    ASSERT_TRUE(last.Start(folder)) << last.Failure.toStdString();
    ASSERT_TRUE(Exit(last));
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        const TDiscovered d = Discover(file);
        ASSERT_TRUE(d.Ok) << d.Error;
        ASSERT_NE(d.Duration, GST_CLOCK_TIME_NONE);
        EXPECT_GE(double(d.Duration) / GST_SECOND, 2.5);
    }
    const std::vector<QString> listed = DoneFiles(folder);
    for (const QString &file : files)
        EXPECT_NE(std::find(listed.begin(), listed.end(), file), listed.end());
}

TEST(RecordingProgram, AKeptTimeShiftIsListedAsTimeShifting)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    {
        TProgramProcess first;
        ASSERT_TRUE(first.Start(folder)) << first.Failure.toStdString();
        ASSERT_TRUE(Exit(first));
    }
    SetRecordingSettings(folder, [](TCaptureSettings &c) {
        c.SaveTimeShiftResult = true;
        c.UseDateTimeFileName = false;
    });
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    ASSERT_EQ(lyra.Remote("timeshift"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["ElapsedSeconds"].toDouble() >= 2; }, 20000));
    const QString file = lyra.Status()["RecordingFile"].toString();
    EXPECT_TRUE(file.endsWith("/capture.mpv")) << file.toStdString();
    ASSERT_EQ(lyra.Remote("stop"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["AppModeName"].toString() == "ModeLive"; }));
    ASSERT_TRUE(Exit(lyra));
    EXPECT_TRUE(QFileInfo::exists(file));
    QFile list(folder + "/PLAYITEMS.LST");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    std::vector<std::unique_ptr<TPlaybackItem>> items;
    ASSERT_TRUE(ReadDoneList(&list, items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->FileName, file);
    EXPECT_EQ(items[0]->Description, "Time Shifting");
    EXPECT_GT(items[0]->EndTime, items[0]->StartTime);
}

} // namespace
