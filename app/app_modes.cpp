// The mode machine: SetAppMode with its exit and entry actions, and the
// dispatcher's predicates.
#include "app/app_modes.h"

#include <QFile>

#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "platform/log.h"
#include "platform/messages.h"

TModeEngines ModeEngines;

namespace {

const TModeEngines &E()
{
    return ModeEngines;
}

bool Missing(const char *what)
{
    qCWarning(lcApp) << "mode change refused:" << what << "is not available";
    return false;
}

bool StopPreview()
{
    return E().Capture ? E().Capture->StopPreview() : Missing("the preview");
}

bool StartPreview(bool firstStart)
{
    return E().Capture ? E().Capture->StartPreview(firstStart) : Missing("the preview");
}

bool RestartPreview()
{
    return E().Capture ? E().Capture->RestartPreview() : Missing("the preview");
}

// The engines an entry action needs. Checked before the old mode is left, so
// that a change that cannot happen leaves the old activity running.
bool EntryPossible(uint8_t from, uint8_t to)
{
    switch (to) {
    case ModeLive:
        if (from == ModeFM)
            return E().FM || Missing("FM radio");
        return from == ModeChannelPreview || E().Capture || Missing("the preview");
    case ModeChannelPreview:
        return E().Mosaic || Missing("the channel preview");
    case ModeCapture:
        return (E().Recording && E().Capture) || Missing("recording");
    case ModeScheduledCapture:
        return (E().Scheduled && E().Capture) || Missing("scheduled recording");
    case ModePlay:
        return (E().FilePlayback && E().Capture) || Missing("file playback");
    case ModeFM:
        return (from == ModeLive ? E().FM != nullptr : E().Capture != nullptr) ||
               Missing("FM radio");
    case ModeTimeShift:
        return E().TimeShift || Missing("time shifting");
    case ModeTimeShiftPlay:
        return (E().TimeShift && E().TimeShiftPlayback) || Missing("time-shift playback");
    default:
        return true;
    }
}

bool ClosePlayback(IPlayback *p)
{
    return !p || !p->Exists() || p->Close();
}

bool ExitAction(uint8_t from, uint8_t to)
{
    switch (from) {
    case ModeLive:
        if (to == ModeChannelPreview || to == ModePlay || to == ModeFM)
            return true;
        return StopPreview();
    case ModeChannelPreview:
        return E().Mosaic ? E().Mosaic->LeaveMosaic() : Missing("the channel preview");
    case ModeCapture: {
        if (!E().Recording)
            return Missing("recording");
        TFinishedRecording finished;
        if (!E().Recording->StopRecording(&finished))
            return false;
        if (!finished.FileName.isEmpty()) {
            TDoneRecording item;
            item.Recording = finished;
            if (E().Channels && E().Channels->Source() == SourceTuner)
                item.Channel = E().Channels->CurrentNumber();
            if (E().PlayLists)
                E().PlayLists->AddDoneItem(item);
            else
                qCWarning(lcApp) << "no play lists: the finished recording" << finished.FileName
                                 << "is not listed";
            MainInfo->LastCaptureFile = finished.FileName;
        }
        return true;
    }
    case ModeScheduledCapture:
        return E().Scheduled ? E().Scheduled->StopScheduled() : Missing("scheduled recording");
    case ModePlay: {
        const bool closed = ClosePlayback(E().FilePlayback) && ClosePlayback(E().TimeShiftPlayback);
        if (closed && E().Shell)
            E().Shell->ClosePlayListWindow();
        return closed;
    }
    case ModeFM:
        if (to == ModePlay)
            return true;
        return StopPreview();
    case ModeTimeShift:
        if (to == ModeTimeShiftPlay)
            return true;
        return E().TimeShift ? E().TimeShift->StopTimeShift() : Missing("time shifting");
    case ModeTimeShiftPlay:
        // Ends the delayed playback and the recording under it.
        if (!ClosePlayback(E().TimeShiftPlayback))
            return false;
        return E().TimeShift ? E().TimeShift->StopTimeShift() : Missing("time shifting");
    default: // ModeNone
        return true;
    }
}

bool EnterPlay(uint8_t from)
{
    TMainInfo &m = *MainInfo;
    IFilePlayback &playback = *E().FilePlayback;
    const bool pip = m.PIPPlayback != 0;
    // A file opened from outside plays as one file, the way the last
    // recording does.
    const QString outsideFile = m.PlayFileName;
    m.PlayFileName.clear();
    const bool single = m.PlayLastCapture || !outsideFile.isEmpty();
    const QString singleFile = outsideFile.isEmpty() ? m.LastCaptureFile : outsideFile;
    if (!outsideFile.isEmpty()) {
        // PlayFile names a file that is missing.
    } else if (m.PlayLastCapture) {
        if (m.LastCaptureFile.isEmpty() || !QFile::exists(m.LastCaptureFile)) {
            ShowWarning(1105);
            return false;
        }
    } else if (!E().Shell || !E().Shell->ShowPlaybackDialog()) {
        return false;
    }
    if (E().Shell)
        E().Shell->LeaveWallpaper();
    if (from == ModeFM || !pip)
        StopPreview();
    const int items = single ? (playback.OpenFile(singleFile) ? 1 : 0) : playback.PlayList();
    if (items <= 0) {
        playback.Free();
        if (!pip)
            RestartPreview();
        return false;
    }
    if (!single && items >= 2 && E().Shell)
        E().Shell->OpenPlayListWindow();
    return true;
}

bool EntryAction(uint8_t from, uint8_t to, bool firstStart)
{
    switch (to) {
    case ModeLive:
        if (from == ModeChannelPreview)
            return true;
        if (from == ModeFM) {
            if (!E().FM->LeaveFMMode())
                return false;
            if (E().Shell)
                E().Shell->ShowMainWindow();
            return true;
        }
        if (from == ModePlay)
            return MainInfo->PIPPlayback ? true : RestartPreview();
        return StartPreview(firstStart);
    case ModeChannelPreview:
        if (!E().Mosaic->HasMarkedChannels()) {
            ShowWarning(1006);
            return false;
        }
        return E().Mosaic->EnterMosaic();
    case ModeCapture:
        if (E().Recording->StartRecording())
            return true;
        // The engine has torn its recording graph down; bring the picture
        // (or the radio) back.
        RestartPreview();
        return false;
    case ModeScheduledCapture:
        if (E().Scheduled->StartScheduled())
            return true;
        RestartPreview();
        return false;
    case ModePlay:
        return EnterPlay(from);
    case ModeFM:
        if (from == ModeLive)
            return E().FM->EnterFMMode();
        if (!StartPreview(firstStart))
            qCWarning(lcApp) << "the FM graph did not start; FM mode is entered anyway";
        return true;
    case ModeTimeShift:
        return E().TimeShift->StartTimeShift();
    case ModeTimeShiftPlay:
        return E().TimeShiftPlayback->StartPlayback();
    default: // ModeNone
        return true;
    }
}

} // namespace

bool TMainInfo::SetAppMode(uint8_t mode)
{
    if (mode > ModeNone)
        return false;
    const uint8_t from = AppMode;
    if (mode == from)
        return true;
    if (!EntryPossible(from, mode))
        return false;
    // Leaving ModeNone is the first start: the entry builds the graph.
    const bool firstStart = from == ModeNone;
    if (!ExitAction(from, mode)) {
        qCInfo(lcApp).noquote() << "leaving" << AppModeName(from) << "for" << AppModeName(mode)
                                << "failed";
        return false;
    }
    if (!EntryAction(from, mode, firstStart)) {
        qCInfo(lcApp).noquote() << "entering" << AppModeName(mode) << "from" << AppModeName(from)
                                << "failed";
        return false;
    }
    AppMode = mode;
    if (OnModeChanged)
        OnModeChanged(mode);
    return true;
}

bool TVIdle()
{
    return MainInfo && MainInfo->AppMode == ModeLive &&
           !(ModeEngines.Channels && ModeEngines.Channels->Scanning());
}

bool TunerLive()
{
    return TVIdle() && ModeEngines.Channels && ModeEngines.Channels->Source() == SourceTuner;
}

bool NumericOK()
{
    if (TunerLive())
        return true;
    return MainInfo && MainInfo->PIPPlayback && ModeEngines.FilePlayback &&
           ModeEngines.FilePlayback->Exists();
}

bool Playing()
{
    return MainInfo && (MainInfo->AppMode == ModePlay || MainInfo->AppMode == ModeTimeShiftPlay);
}

bool InFM()
{
    return MainInfo && MainInfo->AppMode == ModeFM;
}

bool PlaybackActive()
{
    return (ModeEngines.FilePlayback && ModeEngines.FilePlayback->Exists()) ||
           (ModeEngines.TimeShiftPlayback && ModeEngines.TimeShiftPlayback->Exists());
}

QString AppModeName(int mode)
{
    static const char *const names[] = {"ModeLive",      "ModeChannelPreview",
                                        "ModeCapture",   "ModeScheduledCapture",
                                        "ModePlay",      "ModeFM",
                                        "ModeTimeShift", "ModeTimeShiftPlay",
                                        "ModeNone"};
    return mode >= 0 && mode <= ModeNone ? QString(names[mode]) : QString();
}
