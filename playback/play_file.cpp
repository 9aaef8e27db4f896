#include "playback/play_file.h"

#include <QFileInfo>

#include "app/mode_engines.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "playback/playback_project.h"

TPlaybackProject *PlaybackProject = nullptr;
TPlaybackObservers PlaybackObservers;

namespace {

void FreeEngine()
{
    delete PlaybackProject;
    PlaybackProject = nullptr;
}

QString Named(const QString &fileName)
{
    return QFileInfo(fileName).fileName();
}

} // namespace

bool PlayFile(const QString &fileName)
{
    if (PlaybackProject)
        StopPlayback();
    else if (ModeEngines.TimeShiftPlayback && ModeEngines.TimeShiftPlayback->Exists())
        ModeEngines.TimeShiftPlayback->Close();

    const TPlaybackFileKind kind = PlaybackFileKind(fileName);
    if (kind == TPlaybackFileKind::TimeShift) {
        if (!ModeEngines.TimeShiftPlayback) {
            ShowWarningText("Cannot play " + Named(fileName) +
                            ": there is no time-shift player to play it.");
            return false;
        }
        return ModeEngines.TimeShiftPlayback->PlayStoredFile(fileName);
    }
    if (!QFileInfo(fileName).isFile()) {
        ShowWarningText("Cannot play " + Named(fileName) + ": the file does not exist.");
        return false;
    }
    if (IsTransportStream(fileName)) {
        ShowWarningText("Cannot support MPEG2 transport stream playback...");
        return false;
    }
    const bool pip = PlaybackObservers.PictureInPicture && PlaybackObservers.PictureInPicture();
    PlaybackProject = new TPlaybackProject(pip, kind == TPlaybackFileKind::Audio);
    PlaybackProject->FileName = fileName;
    PlaybackProject->OnPosition = [](TPlaybackProject &, int percent, int32_t position,
                                     int32_t duration) {
        if (PlaybackObservers.OnPosition)
            PlaybackObservers.OnPosition(percent, position, duration);
    };
    PlaybackProject->OnPlaybackEnd = [](TPlaybackProject &) {
        if (PlaybackObservers.OnPlaybackEnd)
            PlaybackObservers.OnPlaybackEnd();
    };
    if (!PlaybackProject->Build()) {
        const QString reason = PlaybackProject->BuildError;
        qCWarning(lcApp) << "cannot play" << fileName << ":" << reason;
        FreeEngine();
        ShowWarningText("Cannot play " + Named(fileName) + ": " +
                        (reason.isEmpty() ? QString("GStreamer cannot render it") : reason));
        return false;
    }
    if (!PlaybackProject->Play()) {
        qCWarning(lcApp) << "cannot start playing" << fileName;
        FreeEngine();
        ShowWarningText("Cannot play " + Named(fileName) + ".");
        return false;
    }
    qCInfo(lcApp) << "playing" << fileName;
    return true;
}

bool PausePlayback()
{
    return PlaybackProject && PlaybackProject->Playing && PlaybackProject->Pause();
}

bool ResumePlayback()
{
    return PlaybackProject && !PlaybackProject->Playing && PlaybackProject->Play();
}

bool StopPlayback()
{
    if (PlaybackProject)
        PlaybackProject->Stop();
    FreeEngine();
    return true;
}

bool SnapshotPlayback()
{
    const bool ok = PlaybackProject && PlaybackProject->TakeSnapshot();
    if (!ok)
        ShowWarning(1008);
    return ok;
}

bool ForwardPlayback()
{
    if (PlaybackProject)
        PlaybackProject->StepForward();
    return true;
}

bool BackwardPlayback()
{
    if (PlaybackProject)
        PlaybackProject->StepBackward();
    return true;
}

bool FasterPlayback()
{
    if (PlaybackProject)
        PlaybackProject->Faster();
    return true;
}

bool SlowerPlayback()
{
    if (PlaybackProject)
        PlaybackProject->Slower();
    return true;
}
