// Move-only owners of GStreamer references. Adopt() takes over a reference
// the caller already holds (for example the result of gst_element_get_static_pad);
// Ref() adds one (gst_object_ref_sink, so a floating element is sunk first).
#pragma once

#include <utility>

#include <gst/gst.h>

template <typename T>
class TGstRef
{
public:
    TGstRef() = default;
    static TGstRef Adopt(T *object)
    {
        TGstRef r;
        r.Object = object;
        return r;
    }
    static TGstRef Ref(T *object)
    {
        TGstRef r;
        if (object)
            r.Object = static_cast<T *>(gst_object_ref_sink(object));
        return r;
    }
    TGstRef(const TGstRef &) = delete;
    TGstRef &operator=(const TGstRef &) = delete;
    TGstRef(TGstRef &&other) noexcept : Object(std::exchange(other.Object, nullptr)) {}
    TGstRef &operator=(TGstRef &&other) noexcept
    {
        if (this != &other) {
            Reset();
            Object = std::exchange(other.Object, nullptr);
        }
        return *this;
    }
    ~TGstRef() { Reset(); }

    void Reset()
    {
        if (Object)
            gst_object_unref(Object);
        Object = nullptr;
    }
    T *Get() const { return Object; }
    T *operator->() const { return Object; }
    explicit operator bool() const { return Object != nullptr; }

private:
    T *Object = nullptr;
};

using TElementRef = TGstRef<GstElement>;
using TPadRef = TGstRef<GstPad>;
using TBusRef = TGstRef<GstBus>;

// Messages and caps are mini objects with their own unref.
struct TGstMessageDeleter {
    void operator()(GstMessage *m) const { gst_message_unref(m); }
};
struct TGstCapsDeleter {
    void operator()(GstCaps *c) const { gst_caps_unref(c); }
};
