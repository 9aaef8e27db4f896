#include "platform/version_gate.h"

#include <gst/gst.h>

const QStringList &RequiredElements()
{
    static const QStringList elements = {
        "videotestsrc", "audiotestsrc", "tee",      "queue",        "videoconvert",
        "videoscale",   "videobalance", "textoverlay", "clockoverlay", "appsink",
        "fakesink",     "filesink",     "avimux",   "wavenc",       "lamemp3enc",
        "avenc_mpeg4",  "decodebin",    "deinterlace", "audioconvert", "audioresample",
        "volume",
    };
    return elements;
}

bool TVersionGate::Passed() const
{
    const bool recent = Major > 1 || (Major == 1 && Minor >= 22);
    return recent && MissingElements.isEmpty();
}

QString TVersionGate::Message() const
{
    if (Passed())
        return QString();
    QString text = QString("Your GStreamer Version is V%1.%2.%3. Sorry, we need GStreamer 1.22 "
                           "above. \rPlease Insatll GStreamer 1.22 with its base, good, bad, ugly "
                           "and libav plugins to get the best capability.")
                       .arg(Major)
                       .arg(Minor)
                       .arg(Micro);
    if (!MissingElements.isEmpty())
        text += "\rMissing: " + MissingElements.join(", ");
    return text;
}

TVersionGate CheckMediaFramework()
{
    TVersionGate gate;
    guint major = 0, minor = 0, micro = 0, nano = 0;
    gst_version(&major, &minor, &micro, &nano);
    gate.Major = int(major);
    gate.Minor = int(minor);
    gate.Micro = int(micro);
    for (const QString &name : RequiredElements()) {
        GstElementFactory *factory = gst_element_factory_find(name.toUtf8().constData());
        if (!factory)
            gate.MissingElements << name;
        else
            gst_object_unref(factory);
    }
    return gate;
}
