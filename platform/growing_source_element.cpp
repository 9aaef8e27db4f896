// The growing-file source element.
#include "platform/growing_source_element.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <gst/base/gstbasesrc.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/timeshift_index.h"

namespace {

// Guarded by Lock: everything but Fd, which only the streaming thread and
// the state changes (start/stop, when it does not run) touch.
struct TSourceState
{
    std::mutex Lock;
    std::condition_variable Wake;
    std::string Location;
    std::string IndexLocation; // empty: Location + ".idx"
    bool Growing = true;
    unsigned PollMs = 20;
    bool Flushing = false;
    int Fd = -1;
    uint64_t ReadOffset = 0;
    int64_t PendingByteSeek = -1;
    TTimeShiftIndex Index;

    std::string IndexPath() const
    {
        return IndexLocation.empty() ? TimeShiftIndexName(Location) : IndexLocation;
    }
    void RefreshIndex() { Index.Refresh(IndexPath()); }
};

} // namespace

struct LyraGrowingSource
{
    GstBaseSrc Parent;
    TSourceState *State;
};

struct LyraGrowingSourceClass
{
    GstBaseSrcClass Parent;
};

G_DEFINE_TYPE(LyraGrowingSource, lyra_growing_source, GST_TYPE_BASE_SRC)

namespace {

enum
{
    PropLocation = 1,
    PropIndexLocation,
    PropGrowing,
    PropPollInterval,
    PropEarliest,
    PropLatest,
};

TSourceState &State(gpointer object)
{
    return *reinterpret_cast<LyraGrowingSource *>(object)->State;
}

gboolean Start(GstBaseSrc *src)
{
    TSourceState &s = State(src);
    std::lock_guard lock(s.Lock);
    s.Fd = s.Location.empty() ? -1 : open(s.Location.c_str(), O_RDONLY | O_CLOEXEC);
    if (s.Fd < 0) {
        const int code = s.Location.empty() ? ENOENT : errno;
        GST_ELEMENT_ERROR(
            src, RESOURCE, OPEN_READ,
            ("Could not open \"%s\" for reading: %s", s.Location.c_str(), strerror(code)),
            (nullptr));
        return FALSE;
    }
    s.ReadOffset = 0;
    s.PendingByteSeek = -1;
    s.Index.Clear();
    s.RefreshIndex();
    return TRUE;
}

gboolean Stop(GstBaseSrc *src)
{
    TSourceState &s = State(src);
    std::lock_guard lock(s.Lock);
    if (s.Fd >= 0)
        close(s.Fd);
    s.Fd = -1;
    return TRUE;
}

gboolean IsSeekable(GstBaseSrc *)
{
    return TRUE;
}

gboolean PrepareSeekSegment(GstBaseSrc *src, GstEvent *event, GstSegment *segment)
{
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType startType, stopType;
    gint64 start, stop;
    gst_event_parse_seek(event, &rate, &format, &flags, &startType, &start, &stopType, &stop);
    if (format == GST_FORMAT_TIME)
        return GST_BASE_SRC_CLASS(lyra_growing_source_parent_class)
            ->prepare_seek_segment(src, event, segment);
    if (format != GST_FORMAT_BYTES || startType != GST_SEEK_TYPE_SET || start < 0)
        return FALSE;
    // A byte position: read from there, with the time of the entry point
    // at or before it as the segment's start.
    TSourceState &s = State(src);
    uint64_t millis;
    {
        std::lock_guard lock(s.Lock);
        s.RefreshIndex();
        s.PendingByteSeek = start;
        millis = s.Index.MillisAt(uint64_t(start));
    }
    gboolean update;
    return gst_segment_do_seek(segment, rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                               gint64(millis * GST_MSECOND), GST_SEEK_TYPE_NONE, -1, &update);
}

gboolean DoSeek(GstBaseSrc *src, GstSegment *segment)
{
    TSourceState &s = State(src);
    std::lock_guard lock(s.Lock);
    if (s.PendingByteSeek >= 0) {
        s.ReadOffset = uint64_t(s.PendingByteSeek);
        s.PendingByteSeek = -1;
    } else {
        s.RefreshIndex();
        const uint64_t millis = segment->start / GST_MSECOND;
        const auto &entries = s.Index.Entries();
        if (millis > 0 && entries.empty())
            return FALSE; // no index: only the start can be found
        s.ReadOffset =
            entries.empty() || millis < entries.front().Millis ? 0 : s.Index.OffsetFor(millis);
    }
    segment->time = segment->start;
    return TRUE;
}

gboolean Unlock(GstBaseSrc *src)
{
    TSourceState &s = State(src);
    std::lock_guard lock(s.Lock);
    s.Flushing = true;
    s.Wake.notify_all();
    return TRUE;
}

gboolean UnlockStop(GstBaseSrc *src)
{
    TSourceState &s = State(src);
    std::lock_guard lock(s.Lock);
    s.Flushing = false;
    return TRUE;
}

GstFlowReturn Create(GstBaseSrc *src, guint64, guint size, GstBuffer **out)
{
    TSourceState &s = State(src);
    GstBuffer *buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::unique_lock lock(s.Lock);
    for (;;) {
        if (s.Flushing) {
            gst_buffer_unmap(buffer, &map);
            gst_buffer_unref(buffer);
            return GST_FLOW_FLUSHING;
        }
        const ssize_t n = pread(s.Fd, map.data, size, off_t(s.ReadOffset));
        if (n > 0) {
            gst_buffer_unmap(buffer, &map);
            gst_buffer_set_size(buffer, n);
            GST_BUFFER_OFFSET(buffer) = s.ReadOffset;
            s.ReadOffset += uint64_t(n);
            GST_BUFFER_OFFSET_END(buffer) = s.ReadOffset;
            *out = buffer;
            return GST_FLOW_OK;
        }
        if (n < 0 && errno != EINTR) {
            const int code = errno;
            gst_buffer_unmap(buffer, &map);
            gst_buffer_unref(buffer);
            GST_ELEMENT_ERROR(src, RESOURCE, READ,
                              ("Could not read \"%s\": %s", s.Location.c_str(), strerror(code)),
                              (nullptr));
            return GST_FLOW_ERROR;
        }
        if (n == 0) {
            // At the current end: more will come while the writer runs.
            s.RefreshIndex();
            const bool finished =
                !s.Growing || (s.Index.Complete() && s.ReadOffset >= s.Index.EndOffset());
            if (finished) {
                gst_buffer_unmap(buffer, &map);
                gst_buffer_unref(buffer);
                return GST_FLOW_EOS;
            }
            s.Wake.wait_for(lock, std::chrono::milliseconds(s.PollMs));
        }
    }
}

gboolean Query(GstBaseSrc *src, GstQuery *query)
{
    TSourceState &s = State(src);
    GstFormat format;
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION: {
        gst_query_parse_duration(query, &format, nullptr);
        std::lock_guard lock(s.Lock);
        struct stat st
        {
        };
        if (format == GST_FORMAT_BYTES && s.Fd >= 0 && fstat(s.Fd, &st) == 0) {
            gst_query_set_duration(query, format, st.st_size);
            return TRUE;
        }
        s.RefreshIndex();
        if (format != GST_FORMAT_TIME || s.Index.Entries().empty())
            return FALSE;
        gst_query_set_duration(query, format,
                               gint64(s.Index.Entries().back().Millis) * GST_MSECOND);
        return TRUE;
    }
    case GST_QUERY_POSITION: {
        gst_query_parse_position(query, &format, nullptr);
        if (format != GST_FORMAT_BYTES)
            break;
        std::lock_guard lock(s.Lock);
        gst_query_set_position(query, format, gint64(s.ReadOffset));
        return TRUE;
    }
    case GST_QUERY_SEEKING: {
        gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
        if (format != GST_FORMAT_TIME && format != GST_FORMAT_BYTES)
            break;
        gst_query_set_seeking(query, format, TRUE, 0, -1);
        return TRUE;
    }
    case GST_QUERY_CONVERT: {
        GstFormat from, to;
        gint64 value;
        gst_query_parse_convert(query, &from, &value, &to, nullptr);
        if (from == to) {
            gst_query_set_convert(query, from, value, to, value);
            return TRUE;
        }
        std::lock_guard lock(s.Lock);
        s.RefreshIndex();
        if (value < 0 || s.Index.Entries().empty())
            return FALSE;
        if (from == GST_FORMAT_TIME && to == GST_FORMAT_BYTES) {
            gst_query_set_convert(query, from, value, to,
                                  gint64(s.Index.OffsetFor(uint64_t(value) / GST_MSECOND)));
            return TRUE;
        }
        if (from == GST_FORMAT_BYTES && to == GST_FORMAT_TIME) {
            gst_query_set_convert(query, from, value, to,
                                  gint64(s.Index.MillisAt(uint64_t(value))) * GST_MSECOND);
            return TRUE;
        }
        return FALSE;
    }
    default:
        break;
    }
    return GST_BASE_SRC_CLASS(lyra_growing_source_parent_class)->query(src, query);
}

void SetProperty(GObject *object, guint id, const GValue *value, GParamSpec *spec)
{
    TSourceState &s = State(object);
    std::lock_guard lock(s.Lock);
    switch (id) {
    case PropLocation: {
        const gchar *text = g_value_get_string(value);
        s.Location = text ? text : "";
        break;
    }
    case PropIndexLocation: {
        const gchar *text = g_value_get_string(value);
        s.IndexLocation = text ? text : "";
        break;
    }
    case PropGrowing:
        s.Growing = g_value_get_boolean(value);
        s.Wake.notify_all();
        break;
    case PropPollInterval:
        s.PollMs = g_value_get_uint(value);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        break;
    }
}

void GetProperty(GObject *object, guint id, GValue *value, GParamSpec *spec)
{
    TSourceState &s = State(object);
    std::lock_guard lock(s.Lock);
    switch (id) {
    case PropLocation:
        g_value_set_string(value, s.Location.c_str());
        break;
    case PropIndexLocation:
        g_value_set_string(value, s.IndexPath().c_str());
        break;
    case PropGrowing:
        g_value_set_boolean(value, s.Growing);
        break;
    case PropPollInterval:
        g_value_set_uint(value, s.PollMs);
        break;
    case PropEarliest:
    case PropLatest: {
        s.RefreshIndex();
        int32_t earliest = -1, latest = -1;
        s.Index.SecondsRange(earliest, latest);
        g_value_set_int(value, id == PropEarliest ? earliest : latest);
        break;
    }
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        break;
    }
}

void Finalize(GObject *object)
{
    delete reinterpret_cast<LyraGrowingSource *>(object)->State;
    G_OBJECT_CLASS(lyra_growing_source_parent_class)->finalize(object);
}

} // namespace

static void lyra_growing_source_class_init(LyraGrowingSourceClass *klass)
{
    auto *object = G_OBJECT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    const auto rw = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    const auto ro = GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        object, PropLocation,
        g_param_spec_string("location", "Location", "The file to read", nullptr, rw));
    g_object_class_install_property(
        object, PropIndexLocation,
        g_param_spec_string("index-location", "Index location",
                            "The time index (default: the location followed by .idx)", nullptr,
                            rw));
    g_object_class_install_property(
        object, PropGrowing,
        g_param_spec_boolean("growing", "Growing",
                             "The file is still being written: wait at its end", TRUE, rw));
    g_object_class_install_property(
        object, PropPollInterval,
        g_param_spec_uint("poll-interval", "Poll interval",
                          "How often to look for more data at the end, in ms", 1, 1000, 20, rw));
    g_object_class_install_property(
        object, PropEarliest,
        g_param_spec_int("earliest-second", "Earliest second",
                         "The earliest second that can be played (-1: unknown)", -1, G_MAXINT, -1,
                         ro));
    g_object_class_install_property(
        object, PropLatest,
        g_param_spec_int("latest-second", "Latest second",
                         "The latest second recorded so far (-1: unknown)", -1, G_MAXINT, -1, ro));

    auto *element = GST_ELEMENT_CLASS(klass);
    GstCaps *any = gst_caps_new_any();
    gst_element_class_add_pad_template(
        element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, any));
    gst_caps_unref(any);
    gst_element_class_set_static_metadata(element, "Lyra growing file source", "Source/File",
                                          "Reads a file while it is still being written", "Lyra");
    auto *base = GST_BASE_SRC_CLASS(klass);
    base->start = Start;
    base->stop = Stop;
    base->is_seekable = IsSeekable;
    base->prepare_seek_segment = PrepareSeekSegment;
    base->do_seek = DoSeek;
    base->unlock = Unlock;
    base->unlock_stop = UnlockStop;
    base->create = Create;
    base->query = Query;
}

static void lyra_growing_source_init(LyraGrowingSource *self)
{
    self->State = new TSourceState;
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
    gst_base_src_set_blocksize(GST_BASE_SRC(self), 32768);
}

GType LyraGrowingSourceGetType()
{
    return lyra_growing_source_get_type();
}
