// The picture a station sends, as the virtual card and the emulated V4L2
// cards (tools/v4l2-emu) show it: a moving test pattern with the channel
// name and a clock, snow between stations, with brightness, contrast, hue
// and saturation applied. One description and one way to set it, so both
// cards show the same thing.
#pragma once

#include <QString>

#include <gst/gst.h>

#include "platform/streaming_properties.h"

// The start of a bin description: videotestsrc "src" ! capsfilter "srccaps"
// ! textoverlay "title" ! clockoverlay "clock" ! videobalance "balance".
// The caller sets the caps of "srccaps" (a raw format the overlays and the
// balance take: YUY2, UYVY, I420, BGRx...) and links the balance on.
extern const char *const StationPictureChain;

struct TStationPicture
{
    QString Pattern = "snow"; // a videotestsrc pattern name
    QString Title;            // empty: no title
    bool Clock = false;
    // videobalance levels: brightness -1..1, contrast 0..2, hue -1..1,
    // saturation 0..2.
    double Brightness = 0, Contrast = 1, Hue = 0, Saturation = 1;
};

// A control value as a videobalance level: the control's default gives the
// middle of [low, high], its minimum and maximum the ends.
double BalanceLevel(int value, int min, int def, int max, double low, double high);

// Sets the elements of a bin built from StationPictureChain. With `source`
// (the "src" element's), the pattern changes between two frames.
void ShowStationPicture(GstElement *bin, const TStationPicture &picture,
                        TStreamingProperties *source = nullptr);
