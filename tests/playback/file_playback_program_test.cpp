// The real program plays files: named on its command line, handed to it by
// a second start and by lyra-remote play-file, and its own last recording
// with play-last, each to its end and back to live TV.
#include <QFile>
#include <QJsonObject>
#include <QProcess>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "media_test_util.h"
#include "platform/media_filters.h"
#include "program_process.h"
#include "test_env.h"

namespace {

bool Make(const QString &description)
{
    return RunPipelineToEnd(description).empty();
}

// An MPEG-2 program stream with picture and sound, made by Lyra's own
// recorder, `seconds` long.
QString MakeMpeg(const QString &file, int seconds)
{
    RegisterLyraMediaElements();
    return Make(QString("videotestsrc num-buffers=%1 ! video/x-raw,width=320,height=240,"
                        "framerate=25/1 ! lyrampegrecorder name=r location=\"%2\" width=320 "
                        "height=240 audiotestsrc num-buffers=%3 ! "
                        "audio/x-raw,rate=44100,channels=2 ! r.audio")
                    .arg(seconds * 25)
                    .arg(file)
                    .arg(seconds * 44100 / 1024))
               ? file
               : QString();
}

int RemoteTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(TestEnv::BinaryDir() + "/tools/lyra-remote", arguments);
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished();
        return -1;
    }
    return tool.exitCode();
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

auto ModeIs(const QString &mode)
{
    return [mode](const QJsonObject &s) { return s["AppModeName"].toString() == mode; };
}

auto PlayingAt(const QString &file, double position)
{
    return [file, position](const QJsonObject &s) {
        return s["AppModeName"].toString() == "ModePlay" && s["PlaybackFile"].toString() == file &&
               s["Position"].toDouble() >= position;
    };
}

TEST(FilePlaybackProgram, FilesFromTheCommandLineASecondStartAndLyraRemotePlayToTheirEnd)
{
    const QString media = TestEnv::NewFolder("media");
    const QString first = MakeMpeg(media + "/first clip.mpg", 6);
    const QString second = MakeMpeg(media + "/second.mpg", 3);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());

    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder, {first})) << lyra.Failure.toStdString();
    ASSERT_TRUE(lyra.WaitForStatus(PlayingAt(first, 1))) << lyra.Output().toStdString();
    const double at = lyra.Status()["Position"].toDouble();
    // Whole seconds: the last frame starts just before 6 s.
    const double duration = lyra.Status()["Duration"].toDouble();
    EXPECT_TRUE(duration == 5 || duration == 6) << duration;
    EXPECT_FALSE(lyra.Status()["Paused"].toBool());
    ASSERT_TRUE(lyra.WaitForStatus(PlayingAt(first, at + 1)));

    // A second start hands its file over and leaves.
    QProcess again;
    again.start(TestEnv::BinaryDir() + "/lyra", {"--program-folder", folder, second});
    ASSERT_TRUE(again.waitForFinished(20000));
    EXPECT_EQ(again.exitCode(), 0);
    ASSERT_TRUE(lyra.WaitForStatus(PlayingAt(second, 0)));
    // Played to its end, one file returns to live TV.
    ASSERT_TRUE(lyra.WaitForStatus(ModeIs("ModeLive"), 15000));
    EXPECT_TRUE(lyra.Status()["PlaybackFile"].isNull());

    // lyra-remote from live TV; a relative name is the script's own.
    QProcess relative;
    relative.setWorkingDirectory(media);
    relative.start(TestEnv::BinaryDir() + "/tools/lyra-remote", {"play-file", "second.mpg"});
    ASSERT_TRUE(relative.waitForFinished(20000));
    EXPECT_EQ(relative.exitCode(), 0);
    ASSERT_TRUE(lyra.WaitForStatus(PlayingAt(second, 1)));
    ASSERT_EQ(lyra.Remote("stop"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(ModeIs("ModeLive")));

    // A file that cannot play: a message naming it, live TV stays.
    const QString noise = TestEnv::WriteFile(media + "/noise.avi", QByteArray(4000, 'n'));
    ASSERT_EQ(RemoteTool({"play-file", noise}), 0);
    ASSERT_TRUE(lyra.WaitForStatus([](const QJsonObject &s) { return s["Warning"].isString(); }));
    EXPECT_TRUE(lyra.Status()["Warning"].toString().contains("noise.avi"));
    EXPECT_EQ(lyra.Mode(), "ModeLive");
    EXPECT_EQ(RemoteTool({"play-file"}), 2);
    EXPECT_TRUE(Exit(lyra));
}

TEST(FilePlaybackProgram, ARecordingPlaysWithPlayLastToItsEnd)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    ASSERT_EQ(lyra.Remote("capture"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["ElapsedSeconds"].toDouble() >= 4; }, 20000));
    const QString file = lyra.Status()["RecordingFile"].toString();
    ASSERT_EQ(lyra.Remote("stop"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(ModeIs("ModeLive")));

    ASSERT_EQ(lyra.Remote("play-last"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(PlayingAt(file, 1))) << lyra.Output().toStdString();
    const double duration = lyra.Status()["Duration"].toDouble();
    EXPECT_GE(duration, 3);
    EXPECT_LE(duration, 7);
    ASSERT_TRUE(lyra.WaitForStatus(ModeIs("ModeLive"), 20000));
    EXPECT_TRUE(lyra.Status()["Warning"].isNull());
    EXPECT_TRUE(Exit(lyra));
}

} // namespace
