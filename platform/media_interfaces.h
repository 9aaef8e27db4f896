// Interfaces of the media filters (the MPEG recorder, the time-shift
// source), as the recording and playback engines ask a filter for them
// (TGraphFilter::Query / TFilterGraph::FindInterface). Like the device
// interfaces, every call returns 0 on success or an errno value.
//
// Settings take effect when the graph next starts; the engines set them on
// a stopped graph, before rendering.
#pragma once

#include <QString>
#include <cstdint>

// A filter that writes a file of its own.
class IFileSinkFilter
{
public:
    virtual ~IFileSinkFilter() = default;
    virtual int SetFileName(const QString &fileName) = 0;
    virtual int GetCurFile(QString &fileName) = 0;
};

// A source filter loaded with a file name.
class IFileSourceFilter
{
public:
    virtual ~IFileSourceFilter() = default;
    virtual int Load(const QString &fileName) = 0;
    virtual int GetCurFile(QString &fileName) = 0;
};

// The MPEG-1/2 recorder's settings, in the order the recording builder
// sets them. The frame-rate index: 1 = 23.976, 2 = 24, 3 = 25, 4 = 29.97,
// 5 = 30 frames/s.
class IMpegRecorderSettings
{
public:
    virtual ~IMpegRecorderSettings() = default;
    virtual int SetMpegType(int type) = 0;         // 1 or 2
    virtual int SetBitRate(int bitsPerSecond) = 0; // video
    virtual int SetQuality(int quality) = 0;       // 0 fastest .. 6 highest
    virtual int SetVideoSize(int width, int height) = 0;
    virtual int SetAudioSampleRate(int rate) = 0; // 44100 or 48000
    virtual int SetFrameRateIndex(int index) = 0;
    // timeShift: write the time index beside the file (docs/recording.md).
    // openGops: pictures may refer across GOP borders (better compression);
    // off, every GOP decodes on its own, as seeking in a time shift needs.
    virtual int SetRecordingKind(bool timeShift, bool openGops) = 0;
};

// Encoder tuning: three set-up calls, then the switches and search ranges
// of one quality step. Their mapping onto the encoder is in
// docs/recording.md.
class IMpegEncoderTuning
{
public:
    virtual ~IMpegEncoderTuning() = default;
    virtual int SetMotionSearch(int mode) = 0;   // 0 none, 1 predictive search
    virtual int SetKeyInterval(int tenths) = 0;  // an I picture at least this often
    virtual int SetBPictureCount(int count) = 0; // when B pictures are switched on
    virtual int SetSwitches(bool compareSatd, bool bPictures, bool rateDistortion) = 0;
    // Full-pel search ranges: P pictures horizontal and vertical, then B.
    virtual int SetSearchRanges(int px, int py, int bx, int by) = 0;
};

// The time-shift source: a file that may still be growing.
class ITimeShiftSource
{
public:
    virtual ~ITimeShiftSource() = default;
    // what 0: the writer is still writing (value 1) or has stopped (value 0):
    // once stopped, the source ends the stream at the end of the file
    // instead of waiting for more.
    virtual int SetSourceState(int what, int value) = 0;
    // what 1: the earliest available second; 2: the latest.
    virtual int GetSourceValue(int what, int32_t &value) = 0;
};
