// Tuner control of the capture engine: TV and FM tuning with the lock test,
// FM seek, TV/FM mode, video standard, TV audio mode, country code and the
// tuner's ranges. GUI thread only; every wait goes through GuiWait.
#include <QCoreApplication>
#include <algorithm>

#include "app/main_info.h"
#include "app/oem_info.h"
#include "capture/capture_info.h"
#include "channels/country_info.h"
#include "channels/tuner_port.h"
#include "platform/gui_wait.h"
#include "platform/log.h"
#include "platform/messages.h"

namespace {

uint8_t Family()
{
    return MainInfo ? MainInfo->ChipFamily : uint8_t(FamilyNone);
}

bool GraphRunning(TFilterGraph *graph)
{
    if (!graph || !graph->Active())
        return false;
    GstState pending = GST_STATE_VOID_PENDING, current = GST_STATE_NULL;
    gst_element_get_state(graph->PipelineElement(), &current, &pending, 0);
    return current == GST_STATE_PLAYING || pending == GST_STATE_PLAYING;
}

struct TStandardRow
{
    int32_t Bit;
    const char *Name;
    bool Lines525;
};

const TStandardRow StandardTable[] = {
    {0x1, "NTSC M", true},        {0x2, "NTSC M (Japan)", true}, {0x4, "NTSC 433", true},
    {0x10, "PAL B", false},       {0x20, "PAL D", false},        {0x80, "PAL H", false},
    {0x100, "PAL I", false},      {0x200, "PAL M", true},        {0x400, "PAL N", false},
    {0x800, "PAL 60", false},     {0x1000, "SECAM B", false},    {0x2000, "SECAM D", false},
    {0x4000, "SECAM G", false},   {0x8000, "SECAM H", false},    {0x10000, "SECAM K", false},
    {0x20000, "SECAM K1", false}, {0x40000, "SECAM L", false},   {0x80000, "SECAM L1", false}};

const TStandardRow *FindStandard(int32_t bit)
{
    for (const TStandardRow &row : StandardTable)
        if (row.Bit == bit)
            return &row;
    return nullptr;
}

constexpr int PausedTuneWaitMs = 500;
constexpr int TuneWaitMs = 300;
constexpr int LockReadingWaitMs = 50;
constexpr int FMWaitMs = 100;
constexpr int UnmuteWaitMs = 100;
constexpr int32_t SeekSkip = 200000;
constexpr int32_t SeekGrid = 100000;

} // namespace

int32_t TCaptureInfo::SignalChecks() const
{
    const int32_t n = SignalCheckCount > 0 ? SignalCheckCount
                      : MainInfo           ? MainInfo->SignalCheckCount
                                           : 1;
    return std::clamp(n, 1, 10);
}

bool TCaptureInfo::TuneTV(int32_t frequency, bool pauseGraph)
{
    HasSignal = 0;
    // A recording graph is never paused for a tune; in FM mode the tuner
    // would take the frequency as an FM frequency.
    if (Capturing || FMMode)
        return false;
    // Only a running graph is paused, and it runs again on every way out:
    // a failed tune must not leave the picture frozen.
    bool paused = pauseGraph && GraphRunning(FilterGraph.get()) && FilterGraph->Pause();
    auto finish = [&](bool result) {
        if (paused)
            FilterGraph->Run();
        return result;
    };
    if (frequency < TVMinFrequency || frequency > TVMaxFrequency) {
        TVPLLOffset = -10;
        return finish(false);
    }
    if (!Tuner)
        return finish(false);
    if (int err = Tuner->SetFrequency(frequency, CoarseTuning ? 3 : 1)) {
        qCDebug(lcApp) << "tuning" << frequency << "Hz failed:" << strerror(err);
        return finish(false);
    }
    if (paused) {
        GuiWait(PausedTuneWaitMs);
        FilterGraph->Run();
        paused = false;
    } else {
        GuiWait(TuneWaitMs);
    }
    TTunerStatus status;
    if (Tuner->GetStatus(status) == 0)
        TVPLLOffset = status.PLLOffset;

    // Conexant cards count as locked only when every reading is; the other
    // families stop at the first locked reading.
    const bool allReadings = Family() == FamilyConexant;
    const int32_t checks = SignalChecks();
    int32_t locked = 0;
    for (int32_t i = 0; i < checks; ++i) {
        // A card without the decoder interface counts as locked.
        bool reading = true;
        if (VideoDecoderControl && VideoDecoderControl->HorizontalLocked(reading) != 0)
            reading = true;
        if (reading)
            ++locked;
        if (!allReadings && reading)
            break;
        if (i + 1 < checks)
            GuiWait(LockReadingWaitMs);
    }
    HasSignal = allReadings ? locked == checks : locked > 0;
    TVFrequency = frequency;
    return finish(true);
}

bool TCaptureInfo::TuneChannelFrequency(int32_t frequency, bool mute)
{
    if (frequency == 0)
        frequency = 100000000;
    // The OEM record's second flag byte asks for a paused tune.
    const bool pause = OEMInfo && OEMInfo->Reserved && !Quiet;
    if (mute)
        ChannelLineMute(true);
    const bool ok = TuneTV(frequency, pause);
    if (mute) {
        GuiWait(UnmuteWaitMs);
        ChannelLineMute(false);
    }
    return ok;
}

bool TCaptureInfo::TuneFM(int32_t frequency)
{
    // In TV mode the tuner would take the FM frequency as a TV frequency.
    if (Capturing || !FMMode)
        return false;
    if (frequency < FMMinFrequency || frequency > FMMaxFrequency) {
        HasSignal = 0;
        return false;
    }
    if (!Tuner)
        return false;
    // The tuner takes an FM frequency in two writes (channel 0, then 1)
    // with a status read between them.
    if (Tuner->SetFrequency(frequency, 1) != 0)
        return false;
    TTunerStatus status;
    GuiWait(FMWaitMs);
    Tuner->GetStatus(status);
    GuiWait(FMWaitMs);
    if (Tuner->SetFrequency(frequency, 1) != 0)
        return false;
    GuiWait(FMWaitMs);
    status = TTunerStatus();
    Tuner->GetStatus(status);
    HasSignal = status.SignalStrength != 0;
    FMFrequency = frequency;
    if (OnFMTuned)
        OnFMTuned(frequency, HasSignal);
    return true;
}

bool TCaptureInfo::FMFrequencyUp()
{
    return FMMode && TuneFM(FMFrequency + FMStep);
}

bool TCaptureInfo::FMFrequencyDown()
{
    return FMMode && TuneFM(FMFrequency - FMStep);
}

bool TCaptureInfo::SeekFM(int32_t start, int32_t step, bool up)
{
    // A seek inside a seek (a handler run between steps) is refused; the
    // shell stops a running seek by clearing SeekActive instead.
    if (!FMMode || SeekActive || step <= 0 || FMMaxFrequency <= FMMinFrequency)
        return false;
    SeekActive = 1;
    // The loop lets events through between its steps; input that arrives
    // meanwhile is held until the seek is over and stops it.
    TWaitScope scope([this] { SeekActive = 0; });
    const int32_t origin = FMFrequency;
    int32_t candidate;
    if (start == FMFrequency)
        candidate = up ? start + SeekSkip : start - SeekSkip;
    else
        candidate = start / SeekGrid * SeekGrid;
    // A start outside the band would never be passed again.
    start = std::clamp(start, FMMinFrequency, FMMaxFrequency);

    bool found = false, passed = false, fullTurn = false;
    // One full turn at most, even if the band changes under the loop.
    const int64_t maxSteps = (int64_t(FMMaxFrequency) - FMMinFrequency) / step + 3;
    // Events handled between steps may leave FM mode or free the devices.
    for (int64_t n = 0; SeekActive && FMMode && Tuner && !found && n < maxSteps; ++n) {
        candidate += up ? step : -step;
        if (candidate > FMMaxFrequency)
            candidate = FMMinFrequency;
        else if (candidate < FMMinFrequency)
            candidate = FMMaxFrequency;
        if (passed && (up ? candidate >= start : candidate <= start)) {
            fullTurn = true;
            break;
        }
        if (up ? candidate < start : candidate > start)
            passed = true;
        found = TuneFM(candidate) && HasSignal;
        if (!found) {
            if (OnSeekStep)
                OnSeekStep();
            else if (QCoreApplication::instance())
                QCoreApplication::processEvents();
        }
    }
    // Nothing anywhere: back to where the seek started rather than noise.
    if (fullTurn && FMMode)
        TuneFM(origin);
    SeekActive = 0;
    return found;
}

bool TCaptureInfo::SetFMMode(bool on)
{
    if (bool(FMMode) == on)
        return true;
    if (!HasTuner || !Tuner) {
        FMMode = 0;
        return !on;
    }
    if (on) {
        int32_t low = 0, high = 0;
        if (Tuner->ModeCaps(TunerModeFM, low, high) != 0) {
            if (!Quiet)
                ShowWarning(1014);
            FMMode = 0;
            return false;
        }
        if (Tuner->SetMode(TunerModeFM) != 0) {
            if (!Quiet)
                ShowWarning(1015);
            FMMode = 0;
            return false;
        }
        ReadTunerRanges();
    } else if (Tuner->SetMode(TunerModeTV) != 0) {
        if (!Quiet)
            ShowWarningText("Cannot set to TV mode");
        return false;
    }
    if (FilterGraph && FilterGraph->Active() && !FilterGraph->Stop())
        return false;
    FMMode = on ? 1 : 0;
    // In FM mode the re-render makes the sound path only.
    if (FilterGraph && FilterGraph->Active()) {
        if (RerenderPreviewHook)
            RerenderPreviewHook();
        else
            qCWarning(lcApp) << "no preview re-render after the FM mode change";
        FilterGraph->Run();
    }
    return true;
}

bool TCaptureInfo::Is525Line(int32_t bit)
{
    const TStandardRow *row = FindStandard(bit);
    return row && row->Lines525;
}

bool TCaptureInfo::Is525Line()
{
    if (TVStandard)
        return Is525Line(TVStandard);
    // The first build sets its size before it keeps the decoder's
    // interface: ask the capture filter then.
    IAnalogVideoDecoder *decoder = VideoDecoderControl;
    if (!decoder && VCapture && VCapture->Object())
        decoder = VCapture->Object()->Query<IAnalogVideoDecoder>();
    int32_t current = 0;
    return decoder && decoder->GetStandard(current) == 0 && (current & (Std_525Lines | 0x4));
}

QString TCaptureInfo::StandardName(int32_t bit)
{
    const TStandardRow *row = FindStandard(bit);
    return row ? QString::fromLatin1(row->Name) : QString();
}

bool TCaptureInfo::SetTVStandard(int32_t bit)
{
    if (bit == TVStandard)
        return true;
    const TStandardRow *row = FindStandard(bit);
    if (!row)
        return false;
    // The line count before the change: with no standard set yet it is the
    // decoder's, which the change itself is about to replace.
    const bool was525 = Is525Line();
    const bool running = GraphRunning(FilterGraph.get());
    if (running)
        FilterGraph->Stop();
    bool ok = false;
    if (VideoDecoderControl) {
        int32_t available = 0;
        if (VideoDecoderControl->AvailableStandards(available) == 0 && (available & bit))
            ok = VideoDecoderControl->SetStandard(bit) == 0;
    } else if (Tuner) {
        ok = Tuner->SetStandard(bit) == 0;
    }
    if (running)
        FilterGraph->Run();
    if (!ok)
        return false;

    const uint8_t family = Family();
    const bool resize = family >= FamilyConexant && family <= FamilyEmpia28x1 &&
                        Is525Line(bit) != was525;
    TVStandard = bit;
    TVStandardName = QString::fromLatin1(row->Name);
    if (resize) {
        if (!ReapplyPreviewSize)
            qCWarning(lcApp) << "no preview re-size for" << TVStandardName;
        else if (!ReapplyPreviewSize())
            qCWarning(lcApp) << "preview re-size for" << TVStandardName << "failed";
    }
    if (family == FamilyEmpia2800)
        ReselectEmpiaInput();
    return true;
}

bool TCaptureInfo::SetTVAudioMode(int32_t modes)
{
    if (!TVAudioControl)
        return false;
    if (Family() == FamilyEmpia2800) {
        IEmpiaControl *empia = MainInfo ? MainInfo->EmpiaControl.get() : nullptr;
        return empia && empia->IsOpen() && empia->SetAudioMode(modes) == 0;
    }
    int32_t available = 0;
    if (TVAudioControl->GetAvailableModes(available) != 0)
        available = 0;
    TVAudioModes = available;
    if (!(modes & TVAudioModes))
        return false;
    return TVAudioControl->SetMode(modes) == 0;
}

bool TCaptureInfo::SetCountryCode(int32_t code)
{
    // V4L2 tuners take frequencies in Hz and know no country: the code is
    // kept for the tuner's user, and the running graph is left alone.
    if (!Tuner)
        return false;
    TunerCountryCode = code;
    return true;
}

bool TCaptureInfo::ReadTunerRanges()
{
    if (!Tuner)
        return false;
    int32_t low = 0, high = 0;
    if (Tuner->ModeCaps(TunerModeTV, low, high) == 0 && low > 0 && high > low) {
        TVMinFrequency = low;
        TVMaxFrequency = high;
    }
    if (Tuner->ModeCaps(TunerModeFM, low, high) == 0 && low > 0 && high > low) {
        FMMinFrequency = low;
        FMMaxFrequency = high;
    }
    const int32_t country = CountryInfo ? CountryInfo->LocaleCountry : 0;
    if (country == 7)
        FMMinFrequency = 65000000;
    else if (country == 81) {
        FMMinFrequency = 76000000;
        FMMaxFrequency = 90000000;
    }
    return true;
}
