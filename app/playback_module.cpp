#include "app/playback_module.h"

#include <QFileInfo>

#include "app/app_modes.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "platform/gui_wait.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "playback/play_file.h"
#include "playback/playback_info.h"
#include "playback/playback_project.h"

namespace {

class TFilePlayback : public IFilePlayback
{
public:
    bool Exists() const override { return PlaybackProject != nullptr; }
    bool Close() override { return StopPlayback(); }
    bool Pause() override { return PausePlayback(); }
    bool Resume() override { return ResumePlayback(); }
    void Forward() override { ForwardPlayback(); }
    void Backward() override { BackwardPlayback(); }
    void Faster() override { FasterPlayback(); }
    void Slower() override { SlowerPlayback(); }
    // The command reports a failure itself (message 1008).
    bool Snapshot() override { return PlaybackProject && PlaybackProject->TakeSnapshot(); }
    void SeekPercent(int percent) override
    {
        if (PlaybackProject)
            PlaybackProject->SeekPercent(percent);
    }
    bool State(TPlaybackState &state) const override
    {
        TPlaybackProject *p = PlaybackProject;
        if (!p)
            return false;
        state.FileName = p->FileName;
        state.Percent = p->GetPositionPercent();
        if (p->AtEnd)
            state.Percent = p->PositionScale;
        state.PositionSeconds = p->AtEnd ? p->DurationSeconds : p->PositionSeconds;
        state.DurationSeconds = p->DurationSeconds;
        state.Rate = p->Rate();
        state.Playing = p->Playing;
        return true;
    }
    bool OpenFile(const QString &fileName) override
    {
        SingleFile = true;
        return PlayFile(fileName);
    }
    int PlayList() override
    {
        SingleFile = false;
        if (!PlaybackInfo || PlaybackInfo->PlayList.isEmpty() || !PlaybackInfo->PlayItem(0))
            return 0;
        return int(PlaybackInfo->PlayList.size());
    }
    void Free() override { StopPlayback(); }

    // Started for one file: its end returns to live TV or the radio.
    bool SingleFile = false;
};

TFilePlayback g_filePlayback;

IPlayback *CurrentPlayback()
{
    if (ModeEngines.TimeShiftPlayback && ModeEngines.TimeShiftPlayback->Exists())
        return ModeEngines.TimeShiftPlayback;
    if (ModeEngines.FilePlayback && ModeEngines.FilePlayback->Exists())
        return ModeEngines.FilePlayback;
    return nullptr;
}

void PlaybackEnded()
{
    if (g_filePlayback.SingleFile) {
        // As the agent's Stop: back to the radio or to live TV.
        PostRemoteCommand(1002);
        return;
    }
    // The play-list window moves on to the next file (and from the last to
    // the first); without it the file stays at its end.
    if (ModeEngines.Shell && ModeEngines.Shell->PlayListWindowOpen())
        ModeEngines.Shell->PlayNextFromPlayListWindow();
}

} // namespace

void InitializePlaybackModule()
{
    ModeEngines.FilePlayback = &g_filePlayback;
    PlaybackObservers.OnPosition = [](int percent, int position, int duration) {
        ShellViews.PlaybackPosition(percent, position, duration);
    };
    PlaybackObservers.OnPlaybackEnd = PlaybackEnded;
    PlaybackObservers.PictureInPicture = [] { return MainInfo && MainInfo->PIPPlayback; };
    if (PlaybackInfo)
        PlaybackInfo->PlayFile = PlayFile;
}

void FinalizePlaybackModule()
{
    StopPlayback();
    if (ModeEngines.FilePlayback == &g_filePlayback)
        ModeEngines.FilePlayback = nullptr;
    PlaybackObservers = {};
    if (PlaybackInfo)
        PlaybackInfo->PlayFile = nullptr;
}

void SubmitSeek(int percent)
{
    RunOutsideWaits(
        [percent] {
            if (!Playing())
                return;
            if (IPlayback *p = CurrentPlayback())
                p->SeekPercent(percent);
        },
        nullptr, true);
}

bool OpenFileFromOutside(const QString &fileName)
{
    if (!MainInfo)
        return false;
    const QString path = QFileInfo(fileName).absoluteFilePath();
    if (MainInfo->AppMode == ModePlay) {
        g_filePlayback.SingleFile = true;
        if (ModeEngines.Shell)
            ModeEngines.Shell->ClosePlayListWindow();
        if (PlayFile(path))
            return true;
        // Nothing plays any more: leave the mode as Stop would.
        PostRemoteCommand(1002);
        return false;
    }
    if (!TVIdle() && !InFM()) {
        qCWarning(lcApp) << "not playing" << path << "in" << AppModeName(MainInfo->AppMode)
                         << "- stop it first";
        ShowWarningText("Cannot play " + QFileInfo(path).fileName() +
                        " now: stop the recording or time shift first.");
        return false;
    }
    MainInfo->PlayFileName = path;
    const bool played = MainInfo->SetAppMode(ModePlay);
    MainInfo->PlayFileName.clear();
    return played && MainInfo->AppMode == ModePlay;
}

void SubmitOpenFile(const QString &fileName)
{
    RunOutsideWaits([fileName] { OpenFileFromOutside(fileName); }, nullptr, true);
}
