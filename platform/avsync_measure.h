// Measures audio/video sync in a recording by its sync marks (a wholly
// white picture and a click in the sound at the same instant, as the
// virtual card's stations carry them): decodes the file with GStreamer and
// pairs every flash with the nearest click.
#pragma once

#include <string>
#include <vector>

struct TAvSyncResult
{
    bool Decoded = false;
    std::string Error;
    double VideoFrameSeconds = 0; // the picture period found in the file
    std::vector<double> Flashes;  // running time of each white picture, s
    std::vector<double> Clicks;   // running time of each click onset, s
    // Every flash that has a click within half a second: its time and the
    // click's offset from it (click minus flash).
    struct TMark
    {
        double Flash;
        double OffsetMs;
    };
    std::vector<TMark> Marks;
    double MeanMs = 0;
    double MaxAbsMs = 0;
};

TAvSyncResult MeasureAvSync(const std::string &path);
