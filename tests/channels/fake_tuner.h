// A scriptable stand-in for the capture engine's tuner side, and helpers that
// install it, a recording wait and a recording warning presenter for one test.
#pragma once

#include <QStringList>

#include "channels/tuner_port.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"

class TFakeTuner : public ITunerPort
{
public:
    bool Tuner = true;
    bool StandardOk = true;
    bool CountryOk = true;
    bool InputOk = true;
    bool RestartOk = true;
    // Audio-mode bits the broadcast offers; a request outside them fails.
    uint32_t AvailableAudio = 0x1 | 0x2 | 0x10 | 0x20 | 0x40;
    uint32_t Standard = 0;
    int32_t FMMin = 76000000;
    int32_t FMMax = 108000000;
    QStringList Calls;

    bool HasTuner() override { return Tuner; }
    bool SetTVStandard(uint32_t bit) override
    {
        Calls << QString("standard %1").arg(bit, 0, 16);
        if (StandardOk)
            Standard = bit;
        return StandardOk;
    }
    uint32_t TVStandard() override { return Standard; }
    QString TVStandardName() override { return QString("std-%1").arg(Standard, 0, 16); }
    bool TuneChannelFrequency(int32_t f, bool) override
    {
        Calls << QString("tune %1").arg(f);
        return true;
    }
    bool SetTVAudioMode(uint32_t modes) override
    {
        Calls << QString("audio %1").arg(modes, 0, 16);
        return (modes & AvailableAudio) == modes;
    }
    bool SetCountryCode(int32_t code) override
    {
        Calls << QString("country %1").arg(code);
        return CountryOk;
    }
    bool SetInputType(int32_t type) override
    {
        Calls << QString("input %1").arg(type);
        return InputOk;
    }
    bool TuneFM(int32_t f) override
    {
        Calls << QString("fm %1").arg(f);
        return true;
    }
    int32_t FMMinimum() override { return FMMin; }
    int32_t FMMaximum() override { return FMMax; }
    void SetSignalCheckCount(int32_t n) override { Calls << QString("checks %1").arg(n); }
    bool RestartPreview() override
    {
        Calls << "restart";
        return RestartOk;
    }
    bool EmpiaSetStandard(int32_t v) override
    {
        Calls << QString("empia %1").arg(v);
        return true;
    }

    // Scans hear nothing on the fake; the scan tests run on the virtual card.
    bool ScanTune(int32_t f, bool &signal, int32_t &offset) override
    {
        Calls << QString("scan %1").arg(f);
        signal = false;
        offset = 0;
        return Tuner;
    }
    void SetCoarseTuning(bool on) override { Calls << QString("coarse %1").arg(on); }
    int32_t TVMinimum() override { return 45250000; }
    int32_t TVMaximum() override { return 889250000; }
    bool SelectAudioSource(int32_t index) override
    {
        Calls << QString("record sound %1").arg(index);
        return true;
    }

    int CountCalls(const QString &prefix) const
    {
        int n = 0;
        for (const QString &c : Calls)
            n += c.startsWith(prefix) ? 1 : 0;
        return n;
    }
};

class TRecordingPresenter : public IWarningPresenter
{
public:
    QList<QStringList> Shown;
    void Present(const QStringList &lines) override { Shown << lines; }
    void Close() override {}
};

// Installs the fake, a wait that only records, and the presenter; undoes it
// all when it goes.
class TChannelTestScope
{
public:
    TChannelTestScope()
    {
        TunerPort = &Tuner;
        SetWarningPresenter(&Presenter);
        SetGuiWaitFunction([this](int ms) { Waits << ms; });
        SetChannelLineMuteFunction(
            [this](bool mute) { Tuner.Calls << (mute ? "mute" : "unmute"); });
    }
    ~TChannelTestScope()
    {
        TunerPort = nullptr;
        SetWarningPresenter(nullptr);
        SetGuiWaitFunction(nullptr);
        SetChannelLineMuteFunction(nullptr);
    }
    TFakeTuner Tuner;
    TRecordingPresenter Presenter;
    QList<int> Waits;
};
