#include "platform/station_picture.h"

#include <algorithm>

const char *const StationPictureChain =
    "videotestsrc name=src is-live=true horizontal-speed=2 ! capsfilter name=srccaps"
    " ! textoverlay name=title valignment=top halignment=left font-desc=\"Sans 20\""
    " shaded-background=true ! clockoverlay name=clock valignment=bottom halignment=right"
    " time-format=\"%H:%M:%S\" font-desc=\"Sans 16\" ! videobalance name=balance";

double BalanceLevel(int value, int min, int def, int max, double low, double high)
{
    const double mid = (low + high) / 2;
    if (value <= def)
        return low + (mid - low) * (value - min) / std::max(1, def - min);
    return mid + (high - mid) * (value - def) / std::max(1, max - def);
}

namespace {

GstElement *Child(GstElement *bin, const char *name)
{
    GstElement *e = gst_bin_get_by_name(GST_BIN(bin), name);
    if (e)
        gst_object_unref(e); // the bin keeps it alive
    return e;
}

} // namespace

void ShowStationPicture(GstElement *bin, const TStationPicture &picture,
                        TStreamingProperties *source)
{
    if (source)
        source->Set("pattern", picture.Pattern);
    else if (GstElement *src = Child(bin, "src"))
        gst_util_set_object_arg(G_OBJECT(src), "pattern", picture.Pattern.toUtf8().constData());
    if (GstElement *title = Child(bin, "title"))
        g_object_set(title, "text", picture.Title.toUtf8().constData(), "silent",
                     picture.Title.isEmpty(), nullptr);
    if (GstElement *clock = Child(bin, "clock"))
        g_object_set(clock, "silent", !picture.Clock, nullptr);
    if (GstElement *balance = Child(bin, "balance"))
        g_object_set(balance, "brightness", picture.Brightness, "contrast", picture.Contrast, "hue",
                     picture.Hue, "saturation", picture.Saturation, nullptr);
}
