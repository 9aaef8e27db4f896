// The time-shift player's controls: play, pause, seek and the catch-up rule.
#include <QTimer>
#include <algorithm>
#include <limits>

#include "platform/gui_wait.h"
#include "platform/log.h"
#include "platform/media_interfaces.h"
#include "platform/messages.h"
#include "playback/timeshift_playback.h"

namespace {

constexpr int64_t Second = 1000000000; // positions of the graph are in ns
// What the messages show: positions in 100-ns units.
constexpr int64_t Unit = 100;

} // namespace

bool TTimeShiftPlaybackProject::Play()
{
    Playing = Video->Run();
    if (Playing)
        TickTimer->start();
    else
        TickTimer->stop();
    if (UseAudioGraph)
        Audio->Run();
    return Playing;
}

bool TTimeShiftPlaybackProject::Pause()
{
    bool paused = Video->Pause();
    if (!paused) {
        GuiWait(200);
        paused = Video->Pause();
    }
    Playing = !paused;
    if (UseAudioGraph)
        Audio->Pause();
    // A live recording's timer keeps running while paused, so that position
    // and recorded length stay current.
    if (!LiveSource) {
        if (Playing)
            TickTimer->start();
        else
            TickTimer->stop();
    }
    return paused;
}

bool TTimeShiftPlaybackProject::Stop()
{
    const bool stopped = Video->Stop();
    if (stopped)
        Playing = false;
    if (Playing)
        TickTimer->start();
    else
        TickTimer->stop();
    if (UseAudioGraph)
        Audio->Stop();
    return stopped;
}

bool TTimeShiftPlaybackProject::UsesRecordedLength() const
{
    return LiveSource || SplitterFilter;
}

int64_t TTimeShiftPlaybackProject::RecordedLength()
{
    if (LiveSource)
        return RecordedSeconds ? std::max<int64_t>(0, RecordedSeconds()) : 0;
    // A stored file has no recorder behind it: its own length counts, not
    // that of whatever was recorded last.
    const qint64 duration = Video->Duration();
    if (duration > 0)
        return duration / Second;
    int32_t latest = -1;
    if (ITimeShiftSource *source = SourceInterface();
        source && source->GetSourceValue(2, latest) == 0)
        return latest;
    return 0;
}

int TTimeShiftPlaybackProject::GetPositionPercent()
{
    // 1.
    if (!Video->Active() || !VideoSource)
        return 0;
    // 2. A failed reading keeps what is known.
    const qint64 current = Video->CurrentPosition();
    if (current < 0)
        return DurationSeconds > 0
                   ? std::clamp(PositionSeconds * PositionScale / DurationSeconds, 0, PositionScale)
                   : 0;
    // 3.
    if (UsesRecordedLength()) {
        DurationSeconds = int32_t(RecordedLength());
    } else {
        const qint64 stop = Video->Duration();
        DurationSeconds = stop > 0 ? int32_t(stop / Second) : 0;
    }
    // 4. Once per engine.
    if (StepPercent < 1) {
        const int divisor = DurationSeconds < 10     ? 3
                            : DurationSeconds < 100  ? 5
                            : DurationSeconds < 500  ? 10
                            : DurationSeconds < 2000 ? 20
                                                     : 30;
        StepPercent = PositionScale / divisor;
    }
    // 5, 6.
    PositionSeconds = int32_t(current / Second);
    if (DurationSeconds <= 0) {
        PositionSeconds = DurationSeconds = 0;
        return 0;
    }
    return std::clamp(PositionSeconds * PositionScale / DurationSeconds, 0, PositionScale);
}

void TTimeShiftPlaybackProject::SeekPercent(int percent)
{
    // 1.
    if (!Video->Active() || !VideoSource || percent < 0 || percent > PositionScale)
        return;
    // 2.
    int64_t total = 0;
    if (UsesRecordedLength()) {
        DurationSeconds = int32_t(RecordedLength());
        total = int64_t(DurationSeconds) * Second;
    } else {
        total = std::max<qint64>(0, Video->Duration());
        DurationSeconds = int32_t(total / Second);
    }
    // 3.
    int64_t target = total * percent / PositionScale;
    // 4. Never closer to the recorded end than the source can serve
    // smoothly; never before the start of the recording.
    if (SplitterFilter || LiveSource) {
        const int64_t distance = (SplitterFilter ? 5 : 10) * Second;
        if (total - target < distance)
            target = total - distance;
    }
    target = std::max<int64_t>(0, target);
    if (SplitterFilter) {
        // 5.
        if (!Pause())
            return;
        if (ITimeShiftSource *source = SourceInterface()) {
            int32_t lo = 0, hi = 0;
            source->GetSourceValue(1, lo);
            source->GetSourceValue(2, hi);
            lo = std::max(lo, 0);
            hi = std::max(hi, lo);
            target = std::clamp(target, int64_t(lo) * Second, int64_t(hi) * Second);
        }
        if (!Video->SetPositions(target))
            qCWarning(lcGst) << "time shift: cannot seek to" << target << Video->LastError();
        if (!Play())
            return;
    } else {
        // 6.
        if (Video->SetPositions(target)) {
            PositionSeconds = int32_t(target / Second);
        } else {
            ShowWarningText("Cannot set video position" + QString::number(target / Unit) + " and " +
                            QString::number(total / Unit));
        }
        if (UseAudioGraph && Audio->Active())
            Audio->SetPositions(target);
    }
    // 7.
    if (OnPosition)
        OnPosition(this, percent, PositionSeconds, DurationSeconds);
}

void TTimeShiftPlaybackProject::StepForward()
{
    const int p = GetPositionPercent();
    SeekPercent(std::min(PositionScale, p + StepPercent));
}

void TTimeShiftPlaybackProject::StepBackward()
{
    const int p = GetPositionPercent();
    SeekPercent(std::max(0, p - StepPercent));
}

void TTimeShiftPlaybackProject::TimerTick()
{
    // 1.
    ++TickCount;
    const int p = GetPositionPercent();
    if (PositionSeconds >= DurationSeconds) {
        // 2. Caught up with the recording: wait for more. A pause the user
        // made stays the user's (the timer will not undo it).
        if (Playing) {
            Pause();
            HeldAtLiveEdge = !Playing;
        }
        if (OnPosition)
            OnPosition(this, p, std::max(0, DurationSeconds - 1), DurationSeconds);
        return;
    }
    // 3. More has been recorded: play on. The flag stays while the restart
    // fails, so the next tick tries again.
    if (HeldAtLiveEdge)
        HeldAtLiveEdge = !Play();
    if (OnPosition)
        OnPosition(this, p, PositionSeconds, DurationSeconds);
}
