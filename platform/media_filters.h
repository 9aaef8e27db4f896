// The media filters Lyra brings itself, as the engines find them by name in
// the filter registry:
//   "videdazir Mpeg1/2 Recorder Filter": the MPEG-1/2 recorder
//     (lyrampegrecorder); inputs "Video" and "Audio"; interfaces
//     IMpegRecorderSettings, IMpegEncoderTuning, IFileSinkFilter.
//   "Async Source Filter": the time-shift source (lyragrowingsrc); output
//     "Output" (the program stream, for a demuxer); interfaces
//     IFileSourceFilter, ITimeShiftSource.
//   "HT MPEG TimeShift", "HT MPEG Video Decoder", "HT MPEG Audio Decoder":
//     the splitter of a time-shift stream and its decoders
//     (platform/ps_splitter_filter.h).
#pragma once

#include <vector>

#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/media_interfaces.h"

// Registers "lyrampegrecorder" and "lyragrowingsrc" with GStreamer in this
// process (once; later calls do nothing). Needed before naming them in a
// pipeline description; the filters below call it themselves.
bool RegisterLyraMediaElements();

// The registry entries of the filters below, in enumeration order.
std::vector<TRegisteredFilter> MediaFilterEntries();

class TMpegRecorderFilter : public TGraphFilter,
                            public IMpegRecorderSettings,
                            public IMpegEncoderTuning,
                            public IFileSinkFilter
{
public:
    TMpegRecorderFilter();

    int SetMpegType(int type) override;
    int SetBitRate(int bitsPerSecond) override;
    int SetQuality(int quality) override;
    int SetVideoSize(int width, int height) override;
    int SetAudioSampleRate(int rate) override;
    int SetFrameRateIndex(int index) override;
    int SetRecordingKind(bool timeShift, bool openGops) override;

    int SetMotionSearch(int mode) override;
    int SetKeyInterval(int tenths) override;
    int SetBPictureCount(int count) override;
    int SetSwitches(bool compareSatd, bool bPictures, bool rateDistortion) override;
    int SetSearchRanges(int px, int py, int bx, int by) override;

    int SetFileName(const QString &fileName) override;
    int GetCurFile(QString &fileName) override;

    // The sound input gets its converter and the recorder's sound pad when
    // it is connected; the picture input takes pictures only.
    bool PrepareInput(TPin *in, TPin *from) override;
    void PinDisconnected(TPin *pin) override;

    GstElement *Recorder() const { return RecorderElement; }

private:
    GstElement *RecorderElement = nullptr; // owned by the bin
    GstElement *AudioConvert = nullptr, *AudioResample = nullptr;
    GstPad *AudioPad = nullptr;
};

class TGrowingSourceFilter : public TGraphFilter, public IFileSourceFilter, public ITimeShiftSource
{
public:
    TGrowingSourceFilter();

    int Load(const QString &fileName) override;
    int GetCurFile(QString &fileName) override;
    int SetSourceState(int what, int value) override;
    int GetSourceValue(int what, int32_t &value) override;

    GstElement *Source() const { return SourceElement; }

private:
    GstElement *SourceElement = nullptr; // owned by the bin
};
