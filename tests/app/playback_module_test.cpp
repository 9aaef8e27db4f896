// The file playback as the shell installs it: the play list moves on to its
// next file at the end of each, the position reaches the views, and the
// adapter reports the state scripts read.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <array>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "app/mode_engines.h"
#include "app/playback_module.h"
#include "app/shell_views.h"
#include "media_test_util.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "playback/play_file.h"
#include "playback/playback_info.h"
#include "playback/playback_project.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

QString MakeWav(const QString &file, int tenths)
{
    const std::string error =
        RunPipelineToEnd(QString("audiotestsrc num-buffers=%1 samplesperbuffer=800 ! "
                                 "audio/x-raw,rate=8000,channels=1 ! wavenc ! "
                                 "filesink location=\"%2\"")
                             .arg(tenths)
                             .arg(file));
    return error.empty() ? file : QString();
}

struct TPositionView : IShellView
{
    bool ViewVisible() const override { return true; }
    void PlaybackPosition(int percent, qint64 position, qint64 duration) override
    {
        Reports.push_back({percent, int(position), int(duration)});
    }
    std::vector<std::array<int, 3>> Reports;
};

// The play-list window as the main window has it: it plays the next file
// from the event loop, after the end handler has returned.
struct TPlayListShell : IShellControl
{
    bool PlayListWindowOpen() const override { return Open; }
    void PlayNextFromPlayListWindow() override
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { PlaybackInfo->PlayNext(); }, Qt::QueuedConnection);
    }
    bool Open = true;
};

TEST(PlaybackModule, APlayListMovesOnAtTheEndOfEachFileAndTheViewsSeeThePosition)
{
    TPlayListShell shell;
    ModeEngines.Shell = &shell;
    TRecordingPresenter presenter;
    SetWarningPresenter(&presenter);
    SetRendererOverride("", "fakesink sync=true");
    PlaybackInfo = new TPlaybackInfo;
    InitializePlaybackModule();
    TPositionView view;
    ShellViews.TVPanel = &view;
    const QString folder = TestEnv::NewFolder("list");
    const QString first = MakeWav(folder + "/first.wav", 12);
    const QString second = MakeWav(folder + "/second.wav", 25);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());

    IFilePlayback *playback = ModeEngines.FilePlayback;
    ASSERT_NE(playback, nullptr);
    EXPECT_EQ(playback->PlayList(), 0); // an empty list plays nothing
    PlaybackInfo->PlayList = {first, second};
    ASSERT_EQ(playback->PlayList(), 2);
    TPlaybackState state;
    ASSERT_TRUE(playback->State(state));
    EXPECT_EQ(state.FileName, first);
    EXPECT_TRUE(state.Playing);
    EXPECT_EQ(state.Rate, 1.0);
    ASSERT_TRUE(WaitUntil([&] { return PlaybackProject && PlaybackProject->FileName == second; }));
    EXPECT_EQ(PlaybackInfo->CurrentIndex, 1);
    // Without the play-list window the file stays at its end.
    shell.Open = false;
    ASSERT_TRUE(WaitUntil([&] { return !PlaybackProject->Playing; }, 15000));
    EXPECT_EQ(PlaybackProject->FileName, second);
    // The end of the first reported 100 % of its length.
    EXPECT_TRUE(std::any_of(view.Reports.begin(), view.Reports.end(),
                            [](const auto &r) { return r[0] == 100 && r[1] == 1; }));

    // The position bars' seek acts only while a playback mode runs.
    const size_t reports = view.Reports.size();
    SubmitSeek(50);
    EXPECT_EQ(view.Reports.size(), reports);
    playback->SeekPercent(50);
    EXPECT_EQ(view.Reports.back()[0], 50);
    playback->Faster();
    ASSERT_TRUE(playback->State(state));
    EXPECT_EQ(state.Rate, 2.0);

    EXPECT_TRUE(playback->Close());
    EXPECT_FALSE(playback->Exists());
    EXPECT_FALSE(playback->State(state));
    EXPECT_TRUE(presenter.Shown.isEmpty()) << presenter.Shown.join(" | ").toStdString();

    ShellViews.TVPanel = nullptr;
    ModeEngines.Shell = nullptr;
    FinalizePlaybackModule();
    EXPECT_EQ(ModeEngines.FilePlayback, nullptr);
    delete PlaybackInfo;
    PlaybackInfo = nullptr;
    SetRendererOverride("", "");
    SetWarningPresenter(nullptr);
}

} // namespace
