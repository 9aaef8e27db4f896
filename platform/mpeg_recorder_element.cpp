// The MPEG recorder element: pads, properties and state changes around
// TMpegRecorderCore.
#include "platform/mpeg_recorder_element.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <tuple>

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include "platform/gst_av_formats.h"
#include "platform/mpeg_recorder_core.h"

namespace {

// State of one element. Settings are set on the application thread and
// read when the element starts and by caps queries; the segments, the
// video info and the core's streams belong to their pads' threads.
struct TRecorderState
{
    std::mutex SettingsLock;
    TMpegSettings Settings;
    std::string Location;

    TMpegRecorderCore Core;
    GstSegment VideoSegment{}, AudioSegment{};
    GstVideoInfo VideoInfo{};
    bool HaveVideoInfo = false;

    std::mutex EosLock;
    bool VideoEos = false, AudioEos = false, EosPosted = false;
    std::atomic<bool> ErrorPosted{false}, IndexWarned{false};
};

const char *const VideoCaps =
    "video/x-raw, format=(string){ I420, YV12, YUY2, UYVY, YVYU, BGRx, RGBx, xRGB, xBGR, BGRA,"
    " RGBA, ARGB, ABGR, RGB, BGR, RGB15, RGB16, NV12, NV21, Y42B, Y444, Y41B, GRAY8 },"
    " width=(int)[ 16, 4096 ], height=(int)[ 16, 4096 ], framerate=(fraction)[ 0/1, MAX ]";
const char *const AudioCaps = "audio/x-raw, format=(string)S16LE, layout=(string)interleaved,"
                              " channels=(int)2, rate=(int){ 32000, 44100, 48000 }";

} // namespace

struct LyraMpegRecorder
{
    GstElement Parent;
    GstPad *VideoPad;
    GstPad *AudioPad; // null until requested
    TRecorderState *State;
};

struct LyraMpegRecorderClass
{
    GstElementClass Parent;
};

G_DEFINE_TYPE(LyraMpegRecorder, lyra_mpeg_recorder, GST_TYPE_ELEMENT)

namespace {

enum
{
    PropLocation = 1,
    PropProfile,
    PropMpegType,
    PropBitRate,
    PropQuality,
    PropWidth,
    PropHeight,
    PropSampleRate,
    PropFrameRateIndex,
    PropTimeShift,
    PropOpenGops,
    PropBytesWritten,
    PropFramesEncoded,
    PropFramesRepeated,
    PropFramesDropped,
};

LyraMpegRecorder *Self(gpointer object)
{
    return reinterpret_cast<LyraMpegRecorder *>(object);
}

void PostCoreError(LyraMpegRecorder *self)
{
    TRecorderState &state = *self->State;
    if (state.ErrorPosted.exchange(true))
        return;
    const std::string text = state.Core.ErrorText();
    const int code = state.Core.ErrorErrno();
    if (code == ENOSPC)
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT, ("%s", text.c_str()), ("errno %d", code));
    else if (code)
        GST_ELEMENT_ERROR(self, RESOURCE, WRITE, ("%s", text.c_str()), ("errno %d", code));
    else
        GST_ELEMENT_ERROR(self, STREAM, ENCODE, ("%s", text.c_str()), (nullptr));
}

void WarnAboutIndex(LyraMpegRecorder *self)
{
    TRecorderState &state = *self->State;
    if (state.Core.IndexFailed() && !state.IndexWarned.exchange(true))
        GST_ELEMENT_WARNING(self, RESOURCE, WRITE,
                            ("The time index beside the recording cannot be written"), (nullptr));
}

// Every pad has ended: the file is finished, the pipeline is told.
void PadEnded(LyraMpegRecorder *self, bool video)
{
    TRecorderState &state = *self->State;
    const bool ok = video ? state.Core.EndVideo() : state.Core.EndAudio();
    if (!ok)
        PostCoreError(self);
    WarnAboutIndex(self);
    bool post = false;
    {
        std::lock_guard lock(state.EosLock);
        (video ? state.VideoEos : state.AudioEos) = true;
        if (state.VideoEos && (state.AudioEos || !self->AudioPad) && !state.EosPosted)
            post = state.EosPosted = true;
    }
    if (post)
        gst_element_post_message(GST_ELEMENT(self), gst_message_new_eos(GST_OBJECT(self)));
}

int PlannedSampleRate(TRecorderState &state)
{
    std::lock_guard lock(state.SettingsLock);
    TMpegPlan plan;
    return PlanRecording(state.Settings, plan, nullptr) ? plan.SampleRate
                                                        : state.Settings.SampleRate;
}

gboolean SinkEvent(GstPad *pad, GstObject *parent, GstEvent *event)
{
    LyraMpegRecorder *self = Self(parent);
    TRecorderState &state = *self->State;
    const bool video = pad == self->VideoPad;
    gboolean result = TRUE;
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        GstCaps *caps;
        gst_event_parse_caps(event, &caps);
        if (video) {
            state.HaveVideoInfo =
                gst_video_info_from_caps(&state.VideoInfo, caps) &&
                PixelFormat(GST_VIDEO_INFO_FORMAT(&state.VideoInfo)) != AV_PIX_FMT_NONE;
            result = state.HaveVideoInfo;
        } else {
            GstAudioInfo info;
            result = gst_audio_info_from_caps(&info, caps) &&
                     GST_AUDIO_INFO_RATE(&info) == PlannedSampleRate(state) &&
                     GST_AUDIO_INFO_CHANNELS(&info) == 2;
        }
        break;
    }
    case GST_EVENT_SEGMENT: {
        const GstSegment *segment;
        gst_event_parse_segment(event, &segment);
        if (segment->format != GST_FORMAT_TIME) {
            GST_ELEMENT_ERROR(self, STREAM, FORMAT, ("The recorder needs time-stamped data"),
                              (nullptr));
            result = FALSE;
            break;
        }
        gst_segment_copy_into(segment, video ? &state.VideoSegment : &state.AudioSegment);
        break;
    }
    case GST_EVENT_EOS:
        PadEnded(self, video);
        break;
    case GST_EVENT_FLUSH_STOP:
        gst_segment_init(video ? &state.VideoSegment : &state.AudioSegment, GST_FORMAT_TIME);
        break;
    default:
        break;
    }
    gst_event_unref(event);
    return result;
}

gboolean SinkQuery(GstPad *pad, GstObject *parent, GstQuery *query)
{
    LyraMpegRecorder *self = Self(parent);
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS || pad == self->VideoPad)
        return gst_pad_query_default(pad, parent, query);
    // Sound at the recording's rate only: upstream resamples.
    GstCaps *caps = gst_pad_get_pad_template_caps(pad);
    caps = gst_caps_make_writable(caps);
    gst_caps_set_simple(caps, "rate", G_TYPE_INT, PlannedSampleRate(*self->State), nullptr);
    GstCaps *filter = nullptr;
    gst_query_parse_caps(query, &filter);
    if (filter) {
        GstCaps *both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    gst_query_set_caps_result(query, caps);
    gst_caps_unref(caps);
    return TRUE;
}

GstClockTime RunningTime(const GstSegment &segment, GstBuffer *buffer)
{
    if (!GST_BUFFER_PTS_IS_VALID(buffer))
        return GST_CLOCK_TIME_NONE;
    return gst_segment_to_running_time(&segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
}

GstFlowReturn VideoChain(GstPad *, GstObject *parent, GstBuffer *buffer)
{
    LyraMpegRecorder *self = Self(parent);
    TRecorderState &state = *self->State;
    const GstClockTime time = RunningTime(state.VideoSegment, buffer);
    GstVideoFrame frame;
    if (!state.HaveVideoInfo || !GST_CLOCK_TIME_IS_VALID(time) ||
        !gst_video_frame_map(&frame, &state.VideoInfo, buffer, GST_MAP_READ)) {
        gst_buffer_unref(buffer);
        return state.HaveVideoInfo ? GST_FLOW_OK : GST_FLOW_NOT_NEGOTIATED;
    }
    TVideoPicture picture;
    picture.Format = PixelFormat(GST_VIDEO_FRAME_FORMAT(&frame));
    picture.Width = GST_VIDEO_FRAME_WIDTH(&frame);
    picture.Height = GST_VIDEO_FRAME_HEIGHT(&frame);
    for (guint i = 0; i < GST_VIDEO_FRAME_N_PLANES(&frame) && i < 4; ++i) {
        picture.Data[i] = static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, i));
        picture.Stride[i] = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, i);
    }
    if (GST_VIDEO_FRAME_FORMAT(&frame) == GST_VIDEO_FORMAT_YV12) {
        std::swap(picture.Data[1], picture.Data[2]);
        std::swap(picture.Stride[1], picture.Stride[2]);
    }
    const bool ok = state.Core.PushVideo(picture, int64_t(time));
    gst_video_frame_unmap(&frame);
    gst_buffer_unref(buffer);
    WarnAboutIndex(self);
    if (!ok) {
        PostCoreError(self);
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

GstFlowReturn AudioChain(GstPad *, GstObject *parent, GstBuffer *buffer)
{
    LyraMpegRecorder *self = Self(parent);
    TRecorderState &state = *self->State;
    const GstClockTime time = RunningTime(state.AudioSegment, buffer);
    GstMapInfo map;
    bool ok = true;
    if (GST_CLOCK_TIME_IS_VALID(time) && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        ok = state.Core.PushAudio(reinterpret_cast<const int16_t *>(map.data), int(map.size / 4),
                                  int64_t(time));
        gst_buffer_unmap(buffer, &map);
    }
    gst_buffer_unref(buffer);
    if (!ok) {
        PostCoreError(self);
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

void SetupSinkPad(GstPad *pad, GstPadChainFunction chain)
{
    gst_pad_set_chain_function(pad, chain);
    gst_pad_set_event_function(pad, SinkEvent);
    gst_pad_set_query_function(pad, SinkQuery);
}

GstPad *RequestNewPad(GstElement *element, GstPadTemplate *templ, const gchar *, const GstCaps *)
{
    LyraMpegRecorder *self = Self(element);
    // One sound stream, added before the recording starts.
    if (self->AudioPad || GST_STATE(element) > GST_STATE_READY)
        return nullptr;
    GstPad *pad = gst_pad_new_from_template(templ, "audio");
    SetupSinkPad(pad, AudioChain);
    self->AudioPad = pad;
    gst_element_add_pad(element, pad);
    return pad;
}

void ReleasePad(GstElement *element, GstPad *pad)
{
    LyraMpegRecorder *self = Self(element);
    if (pad != self->AudioPad)
        return;
    self->AudioPad = nullptr;
    gst_element_remove_pad(element, pad);
}

bool Start(LyraMpegRecorder *self)
{
    TRecorderState &state = *self->State;
    TMpegSettings settings;
    std::string location;
    {
        std::lock_guard lock(state.SettingsLock);
        settings = state.Settings;
        location = state.Location;
    }
    if (location.empty()) {
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("No file name given to the recorder"),
                          (nullptr));
        return false;
    }
    state.ErrorPosted = state.IndexWarned = false;
    if (!state.Core.Open(settings, location, self->AudioPad != nullptr)) {
        const std::string text = state.Core.ErrorText();
        if (state.Core.ErrorErrno() == EINVAL)
            GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("%s", text.c_str()), (nullptr));
        else
            GST_ELEMENT_ERROR(self, RESOURCE, OPEN_WRITE, ("%s", text.c_str()), (nullptr));
        state.Core.Close();
        return false;
    }
    WarnAboutIndex(self);
    gst_segment_init(&state.VideoSegment, GST_FORMAT_TIME);
    gst_segment_init(&state.AudioSegment, GST_FORMAT_TIME);
    state.HaveVideoInfo = false;
    std::lock_guard lock(state.EosLock);
    state.VideoEos = state.AudioEos = state.EosPosted = false;
    return true;
}

// The streaming threads have stopped: what did not end with an end of
// stream is finished here.
void Stop(LyraMpegRecorder *self)
{
    TRecorderState &state = *self->State;
    if (!state.Core.Finished() && !state.Core.Failed()) {
        if (!state.Core.EndVideo() || !state.Core.EndAudio())
            PostCoreError(self);
    }
    state.Core.Close();
}

GstStateChangeReturn ChangeState(GstElement *element, GstStateChange transition)
{
    LyraMpegRecorder *self = Self(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED && !Start(self))
        return GST_STATE_CHANGE_FAILURE;
    const GstStateChangeReturn result =
        GST_ELEMENT_CLASS(lyra_mpeg_recorder_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        Stop(self);
    return result;
}

void SetProperty(GObject *object, guint id, const GValue *value, GParamSpec *spec)
{
    TRecorderState &state = *Self(object)->State;
    std::lock_guard lock(state.SettingsLock);
    TMpegSettings &s = state.Settings;
    switch (id) {
    case PropLocation: {
        const gchar *text = g_value_get_string(value);
        state.Location = text ? text : "";
        break;
    }
    case PropProfile: {
        const gchar *text = g_value_get_string(value);
        if (!text || !ParseMpegProfile(text, s.Profile))
            g_warning("lyrampegrecorder: unknown profile \"%s\"", text ? text : "");
        break;
    }
    case PropMpegType:
        s.MpegType = g_value_get_int(value);
        break;
    case PropBitRate:
        s.BitRate = g_value_get_int(value);
        break;
    case PropQuality: {
        s.Quality = g_value_get_int(value);
        const TEncoderTuning row = MpegQualityTuning(s.Quality);
        s.Tuning.CompareSatd = row.CompareSatd;
        s.Tuning.BPictures = row.BPictures;
        s.Tuning.RateDistortion = row.RateDistortion;
        std::copy(std::begin(row.Ranges), std::end(row.Ranges), s.Tuning.Ranges);
        break;
    }
    case PropWidth:
        s.Width = g_value_get_int(value);
        break;
    case PropHeight:
        s.Height = g_value_get_int(value);
        break;
    case PropSampleRate:
        s.SampleRate = g_value_get_int(value);
        break;
    case PropFrameRateIndex:
        s.FrameRateIndex = g_value_get_int(value);
        break;
    case PropTimeShift:
        s.TimeShift = g_value_get_boolean(value);
        break;
    case PropOpenGops:
        s.OpenGops = g_value_get_boolean(value);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        break;
    }
}

void GetProperty(GObject *object, guint id, GValue *value, GParamSpec *spec)
{
    TRecorderState &state = *Self(object)->State;
    std::lock_guard lock(state.SettingsLock);
    const TMpegSettings &s = state.Settings;
    switch (id) {
    case PropLocation:
        g_value_set_string(value, state.Location.c_str());
        break;
    case PropProfile:
        g_value_set_string(value, MpegProfileName(s.Profile));
        break;
    case PropMpegType:
        g_value_set_int(value, s.MpegType);
        break;
    case PropBitRate:
        g_value_set_int(value, s.BitRate);
        break;
    case PropQuality:
        g_value_set_int(value, s.Quality);
        break;
    case PropWidth:
        g_value_set_int(value, s.Width);
        break;
    case PropHeight:
        g_value_set_int(value, s.Height);
        break;
    case PropSampleRate:
        g_value_set_int(value, s.SampleRate);
        break;
    case PropFrameRateIndex:
        g_value_set_int(value, s.FrameRateIndex);
        break;
    case PropTimeShift:
        g_value_set_boolean(value, s.TimeShift);
        break;
    case PropOpenGops:
        g_value_set_boolean(value, s.OpenGops);
        break;
    case PropBytesWritten:
        g_value_set_uint64(value, state.Core.BytesWritten());
        break;
    case PropFramesEncoded:
        g_value_set_int64(value, state.Core.FramesEncoded());
        break;
    case PropFramesRepeated:
        g_value_set_int64(value, state.Core.FramesRepeated());
        break;
    case PropFramesDropped:
        g_value_set_int64(value, state.Core.FramesDropped());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        break;
    }
}

void Finalize(GObject *object)
{
    delete Self(object)->State;
    G_OBJECT_CLASS(lyra_mpeg_recorder_parent_class)->finalize(object);
}

void IntProperty(GObjectClass *klass, guint id, const char *name, const char *blurb, int min,
                 int max, int def)
{
    g_object_class_install_property(
        klass, id,
        g_param_spec_int(name, name, blurb, min, max, def,
                         GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
}

void CounterProperty(GObjectClass *klass, guint id, const char *name, const char *blurb)
{
    g_object_class_install_property(
        klass, id,
        g_param_spec_int64(name, name, blurb, 0, G_MAXINT64, 0,
                           GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
}

} // namespace

static void lyra_mpeg_recorder_class_init(LyraMpegRecorderClass *klass)
{
    auto *object = G_OBJECT_CLASS(klass);
    auto *element = GST_ELEMENT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    const auto rw = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        object, PropLocation,
        g_param_spec_string("location", "Location", "The file to write", nullptr, rw));
    g_object_class_install_property(
        object, PropProfile,
        g_param_spec_string("profile", "Profile",
                            "auto, mpeg1, mpeg2, vcd, svcd or dvd (auto: from the settings)",
                            "auto", rw));
    const TMpegSettings d;
    IntProperty(object, PropMpegType, "mpeg-type", "MPEG-1 or MPEG-2 video", 1, 2, d.MpegType);
    IntProperty(object, PropBitRate, "bitrate", "Video bit rate in bit/s", 64000, 40000000,
                d.BitRate);
    IntProperty(object, PropQuality, "quality", "Encoder effort, 0 fastest to 6 highest", 0, 6,
                d.Quality);
    IntProperty(object, PropWidth, "width", "Recorded width", 16, 1920, d.Width);
    IntProperty(object, PropHeight, "height", "Recorded height", 16, 1152, d.Height);
    IntProperty(object, PropSampleRate, "sample-rate", "Sound sample rate", 32000, 48000,
                d.SampleRate);
    IntProperty(object, PropFrameRateIndex, "frame-rate-index",
                "1 = 23.976, 2 = 24, 3 = 25, 4 = 29.97, 5 = 30 frames/s", 1, 5, d.FrameRateIndex);
    g_object_class_install_property(
        object, PropTimeShift,
        g_param_spec_boolean("time-shift", "Time shift",
                             "Write the time index beside the file; closed GOPs", FALSE, rw));
    g_object_class_install_property(object, PropOpenGops,
                                    g_param_spec_boolean("open-gops", "Open GOPs",
                                                         "Pictures may refer across GOP borders",
                                                         TRUE, rw));
    g_object_class_install_property(
        object, PropBytesWritten,
        g_param_spec_uint64("bytes-written", "Bytes written", "Size of the file so far", 0,
                            G_MAXUINT64, 0,
                            GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    CounterProperty(object, PropFramesEncoded, "frames-encoded",
                    "Pictures encoded from the source");
    CounterProperty(object, PropFramesRepeated, "frames-repeated",
                    "Pictures repeated to keep the frame rate");
    CounterProperty(object, PropFramesDropped, "frames-dropped",
                    "Pictures dropped as arriving early");

    for (auto [name, presence, text] :
         {std::tuple{"video", GST_PAD_ALWAYS, VideoCaps}, {"audio", GST_PAD_REQUEST, AudioCaps}}) {
        GstCaps *caps = gst_caps_from_string(text);
        gst_element_class_add_pad_template(
            element, gst_pad_template_new(name, GST_PAD_SINK, presence, caps));
        gst_caps_unref(caps);
    }
    gst_element_class_set_static_metadata(element, "Lyra MPEG recorder", "Sink/Muxer/Encoder",
                                          "Records MPEG-1/2 program streams with libavcodec and "
                                          "libavformat",
                                          "Lyra");
    element->change_state = ChangeState;
    element->request_new_pad = RequestNewPad;
    element->release_pad = ReleasePad;
}

static void lyra_mpeg_recorder_init(LyraMpegRecorder *self)
{
    self->State = new TRecorderState;
    self->AudioPad = nullptr;
    GstPadTemplate *templ =
        gst_element_class_get_pad_template(GST_ELEMENT_GET_CLASS(self), "video");
    self->VideoPad = gst_pad_new_from_template(templ, "video");
    SetupSinkPad(self->VideoPad, VideoChain);
    gst_element_add_pad(GST_ELEMENT(self), self->VideoPad);
    GST_OBJECT_FLAG_SET(self, GST_ELEMENT_FLAG_SINK);
}

GType LyraMpegRecorderGetType()
{
    return lyra_mpeg_recorder_get_type();
}

TMpegSettings LyraMpegRecorderSettings(GstElement *recorder)
{
    TRecorderState &state = *Self(recorder)->State;
    std::lock_guard lock(state.SettingsLock);
    return state.Settings;
}

void LyraMpegRecorderChange(GstElement *recorder,
                            const std::function<void(TMpegSettings &)> &change)
{
    TRecorderState &state = *Self(recorder)->State;
    std::lock_guard lock(state.SettingsLock);
    change(state.Settings);
}
