#include "platform/ps_splitter_filter.h"

#include "platform/filter_registry.h"
#include "platform/log.h"

namespace {

GstElement *SplitterBin()
{
    GstElement *bin = gst_bin_new(nullptr);
    GstElement *demux = gst_element_factory_make("mpegpsdemux", "demux");
    if (demux)
        gst_bin_add(GST_BIN(bin), demux);
    return bin;
}

} // namespace

TProgramStreamSplitter::TProgramStreamSplitter() : TGraphFilter("HT MPEG TimeShift", SplitterBin())
{
    Demux = gst_bin_get_by_name(GST_BIN(Bin()), "demux");
    if (!Demux)
        return;              // no pins: the caller's "cannot find pin" path runs
    gst_object_unref(Demux); // the bin keeps it
    GstPad *sink = gst_element_get_static_pad(Demux, "sink");
    AddPin("Input", TPinDirection::Input, TPinCategory::None, TMediaKind::Stream, sink);
    gst_object_unref(sink);
    AddTargetlessOutput("Video", TMediaKind::Video);
    AddTargetlessOutput("Audio", TMediaKind::Audio);
    PadAddedId = g_signal_connect(Demux, "pad-added", G_CALLBACK(PadAdded), this);
    NoMorePadsId = g_signal_connect(Demux, "no-more-pads", G_CALLBACK(NoMorePads), this);
}

TProgramStreamSplitter::~TProgramStreamSplitter()
{
    if (Demux) {
        g_signal_handler_disconnect(Demux, PadAddedId);
        g_signal_handler_disconnect(Demux, NoMorePadsId);
    }
}

void TProgramStreamSplitter::PadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<TProgramStreamSplitter *>(data);
    gchar *name = gst_pad_get_name(pad);
    const bool video = g_str_has_prefix(name, "video");
    const bool audio = g_str_has_prefix(name, "audio");
    g_free(name);
    std::atomic<bool> &found = video ? self->VideoFound : self->AudioFound;
    // The first stream of each kind plays; further ones stay unlinked.
    if ((!video && !audio) || found.exchange(true))
        return;
    TPin *pin = self->PinByName(video ? "Video" : "Audio");
    if (pin && !gst_ghost_pad_set_target(GST_GHOST_PAD(pin->Pad), pad))
        qCWarning(lcGst) << "splitter: cannot hand on the" << (video ? "video" : "audio")
                         << "stream";
}

void TProgramStreamSplitter::NoMorePads(GstElement *, gpointer data)
{
    auto *self = static_cast<TProgramStreamSplitter *>(data);
    for (const char *name : {"Video", "Audio"}) {
        const bool found = name[0] == 'V' ? self->VideoFound.load() : self->AudioFound.load();
        TPin *pin = self->PinByName(name);
        if (found || !pin || !pin->Pad)
            continue;
        // No such stream in the file: its branch ends (and prerolls) at once.
        GstPad *peer = gst_pad_get_peer(pin->Pad);
        if (!peer)
            continue;
        gst_pad_send_event(peer, gst_event_new_stream_start("lyra-empty"));
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_TIME);
        gst_pad_send_event(peer, gst_event_new_segment(&segment));
        gst_pad_send_event(peer, gst_event_new_eos());
        gst_object_unref(peer);
    }
}

// Each decoder starts with a queue: the demuxer feeds both streams from one
// thread, and a sink waiting for the other stream to start must not hold it.
TFilterPtr CreateTimeShiftVideoDecoder()
{
    return CreateChainFilter("HT MPEG Video Decoder",
                             "queue name=first max-size-buffers=0 max-size-bytes=0 "
                             "max-size-time=3000000000 ! mpegvideoparse ! avdec_mpeg2video ! "
                             "videoconvert name=last",
                             {{"Input", "first", "sink", TMediaKind::Stream}},
                             {{"Output", "last", "src", TMediaKind::Video}});
}

TFilterPtr CreateTimeShiftAudioDecoder()
{
    return CreateChainFilter(
        "HT MPEG Audio Decoder",
        "queue name=first max-size-buffers=0 max-size-bytes=0 max-size-time=3000000000 ! "
        "mpegaudioparse ! avdec_mp2float ! audioconvert ! audioresample name=last",
        {{"Input", "first", "sink", TMediaKind::Stream}},
        {{"Output", "last", "src", TMediaKind::Audio}});
}
