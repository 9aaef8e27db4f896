#include "app/timeshift_playback_module.h"

#include <memory>

#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "app/startup.h"
#include "platform/log.h"
#include "playback/timeshift_playback.h"

namespace {

std::unique_ptr<TTimeShiftPlaybackProject> g_engine;

// The position goes to the main window and both panels.
void ReportPosition(TTimeShiftPlaybackProject *, int percent, int position, int duration)
{
    for (IShellView *view : {ShellViews.MainWindow, ShellViews.TVPanel, ShellViews.FMPanel})
        if (view)
            view->PlaybackPosition(percent, position, duration);
}

QString CompanionName(const QString &videoFile)
{
    return videoFile.left(videoFile.size() - 1) + "a";
}

std::unique_ptr<TTimeShiftPlaybackProject> NewEngine(bool splitter)
{
    const bool pip = MainInfo && MainInfo->PIPPlayback;
    auto engine = std::make_unique<TTimeShiftPlaybackProject>(splitter ? pip : false, splitter);
    engine->DoNotUseOverlay = MainInfo && MainInfo->DoNotUseOverlay;
    // The main window shows the player's picture while it exists.
    engine->OnVideoWindow = [](TTimeShiftPlaybackProject *, IVideoWindow *window, bool attached) {
        if (StartupHooks.PlaybackVideoWindow)
            StartupHooks.PlaybackVideoWindow(window, attached);
    };
    engine->OnPosition = ReportPosition;
    engine->RecordedSeconds = [] {
        return ModeEngines.Recording ? ModeEngines.Recording->ElapsedSeconds() : 0;
    };
    return engine;
}

bool StopTimeShiftPlayback()
{
    if (!g_engine || !g_engine->Stop())
        return false;
    g_engine.reset();
    return true;
}

// Builds and plays; a failed build leaves the engine until the next stop.
bool StartEngine(std::unique_ptr<TTimeShiftPlaybackProject> engine, const QString &videoFile)
{
    StopTimeShiftPlayback();
    g_engine = std::move(engine);
    g_engine->VideoFileName = videoFile;
    g_engine->AudioFileName = CompanionName(videoFile);
    if (!g_engine->BuildGraph()) {
        qCWarning(lcApp) << "time shift: cannot play" << videoFile;
        return false;
    }
    return g_engine->Play();
}

class TTimeShiftPlayback : public ITimeShiftPlayback
{
public:
    bool StartPlayback() override
    {
        IRecordingEngine *recording = ModeEngines.Recording;
        if (!recording || recording->FileName().isEmpty())
            return false;
        auto engine = NewEngine(false);
        engine->LiveSource = recording->IsRecording();
        return StartEngine(std::move(engine), recording->FileName());
    }
    bool PlayStoredFile(const QString &videoFile) override
    {
        auto engine = NewEngine(true);
        engine->LiveSource = false;
        return StartEngine(std::move(engine), videoFile);
    }
    bool Exists() const override { return bool(g_engine); }
    bool Close() override { return StopTimeShiftPlayback(); }
    bool Pause() override
    {
        if (!g_engine)
            return false;
        // A pause of the user's own: the timer leaves it alone.
        g_engine->HeldAtLiveEdge = false;
        return g_engine->Playing && g_engine->Pause();
    }
    bool Resume() override
    {
        if (!g_engine || g_engine->Playing)
            return false;
        g_engine->HeldAtLiveEdge = false;
        return g_engine->Play();
    }
    void Forward() override
    {
        if (g_engine)
            g_engine->StepForward();
    }
    void Backward() override
    {
        if (g_engine)
            g_engine->StepBackward();
    }
    // The rate is file playback's alone.
    void Faster() override {}
    void Slower() override {}
    bool Snapshot() override { return g_engine && g_engine->TakeSnapshot(); }
    void SeekPercent(int percent) override
    {
        if (g_engine)
            g_engine->SeekPercent(percent);
    }
    void ToggleLiveInset() override
    {
        if (g_engine)
            g_engine->SetPipLayout(!g_engine->PipLayout());
    }
    bool State(TPlaybackState &state) const override
    {
        if (!g_engine)
            return false;
        state.FileName = g_engine->VideoFileName;
        state.Percent = g_engine->GetPositionPercent();
        state.PositionSeconds = g_engine->PositionSeconds;
        state.DurationSeconds = g_engine->DurationSeconds;
        state.Rate = 1.0;
        state.Playing = g_engine->Playing;
        state.HeldAtLiveEdge = g_engine->HeldAtLiveEdge;
        return true;
    }
};

TTimeShiftPlayback g_adapter;

} // namespace

TTimeShiftPlaybackProject *TimeShiftPlayback()
{
    return g_engine.get();
}

void InitializeTimeShiftPlaybackModule()
{
    ModeEngines.TimeShiftPlayback = &g_adapter;
}

void FinalizeTimeShiftPlaybackModule()
{
    g_engine.reset();
    if (ModeEngines.TimeShiftPlayback == &g_adapter)
        ModeEngines.TimeShiftPlayback = nullptr;
}
