// The capture engine's persisted settings: device choice, formats and the
// recording block. The engine (TCaptureInfo) derives from this so the
// fields read as its own; the settings store loads and saves them.
#pragma once

#include <cstdint>

#include <QString>

// CaptureFormat values.
enum TCaptureFormat : int32_t {
    FormatMPEG1 = 0,
    FormatMPEG2 = 1,
    FormatMPEG4 = 2,
    FormatAVI = 3,
    FormatVCDNTSC = 4,
    FormatVCDPAL = 5,
    FormatDVDNTSC = 6,
    FormatDVDPAL = 7,
    FormatSVCDNTSC = 8,
    FormatSVCDPAL = 9,
};

struct TCaptureSettings
{
    // Device choice.
    int32_t VideoDeviceIndex = 0;
    int32_t CaptureInputFormat = 1; // 0 UYVY, 1 YUY2, 2 RGB
    int32_t VideoFormatIndex = 0;
    int32_t AudioDeviceIndex = -1;
    int32_t AudioCaptureFormatIndex = 0;
    int32_t AudioSourceIndex = -1;
    uint8_t HighQualityPreview = 1;

    // Recording block.
    int32_t CaptureAudioOption = 0; // 0 audio and video, 1 audio only, 2 no audio
    int32_t CaptureFormat = FormatMPEG2;
    int32_t CaptureAudioFormat = 0; // 0 Wave, 1 MP3
    int32_t CaptureWidth = 640;
    int32_t CaptureHeight = 480;
    int32_t BitRate = 4000;
    int32_t FrameRateIndex = 5; // list index + 1
    int32_t CaptureQuality = 3; // 0 "Fastest" ... 6 "Highest"
    bool UseDateTimeFileName = true;
    QString CaptureBaseName = "capture";
    bool TimeLimitEnabled = false;
    int32_t TimeLimit = 60; // seconds
    bool SaveTimeShiftResult = false;

    // FM: the frequency tuned now, and the one read from the settings file.
    int32_t FMFrequency = 100000000;
    int32_t SavedFMFrequency = 100000000;

    // The defaults of the recording block and device choice (the engine's
    // ResetCaptureSettings adds its device-dependent parts).
    void ResetCaptureBlock() { *this = TCaptureSettings(); }
};
