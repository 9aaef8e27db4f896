// avsync FILE: finds the sync marks of a recording (a white picture and a
// click at the same instant, as the virtual card's stations carry them),
// prints the offset of every click from its flash and their mean and
// maximum in milliseconds.
//
// Exit status: 0 when marks were found, 1 when the file has none, 2 when it
// cannot be decoded.
#include <cstdio>

#include <gst/gst.h>

#include "platform/avsync_measure.h"

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    if (argc != 2) {
        fprintf(stderr, "usage: avsync FILE\n");
        return 2;
    }
    const TAvSyncResult r = MeasureAvSync(argv[1]);
    if (!r.Decoded) {
        fprintf(stderr, "avsync: %s: %s\n", argv[1], r.Error.c_str());
        return 2;
    }
    printf("%s: %zu flashes, %zu clicks, picture period %.2f ms\n", argv[1], r.Flashes.size(),
           r.Clicks.size(), r.VideoFrameSeconds * 1000);
    for (size_t i = 0; i < r.Marks.size(); ++i)
        printf("mark %zu at %.3f s: click %+.1f ms from the flash\n", i + 1, r.Marks[i].Flash,
               r.Marks[i].OffsetMs);
    if (r.Marks.empty()) {
        fprintf(stderr, "avsync: %s: no sync marks found\n", argv[1]);
        return 1;
    }
    printf("marks: %zu, mean offset: %+.1f ms, max offset: %.1f ms\n", r.Marks.size(), r.MeanMs,
           r.MaxAbsMs);
    return 0;
}
