// lyra-config decoder of "Relay.rec", the scheduling agent's request for an
// unattended recording.
#include <QFile>

#include "decoders.h"
#include "playback/scheduled_record.h"

namespace {

const char *const SourceNames[] = {"tv antenna", "tv cable", "tv memory",
                                   "composite",  "s-video",  "fm"};
const char *const FormatNames[] = {"MPEG 1",      "MPEG 2",    "MPEG 4",     "AVI",
                                   "VCD (NTSC)",  "VCD (PAL)", "DVD (NTSC)", "DVD (PAL)",
                                   "SVCD (NTSC)", "SVCD (PAL)"};
const char *const KindNames[] = {"audio and video", "audio only", "no audio"};

QJsonObject DecodeRelay(const QString &path, const QStringList &)
{
    QJsonObject json{{"file", path}};
    QFile file(path);
    if (!file.exists()) {
        json["status"] = "missing";
        json["program"] = "refuses the request (3028 with 3)";
        return json;
    }
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject{{"error", path + ": " + file.errorString()}};
    TRelayRequest r;
    if (!ReadRelayRecord(&file, r)) {
        json["status"] = "damaged";
        json["size"] = double(file.size());
        json["program"] = "refuses the request (3028 with 3); nothing is changed";
        return json;
    }
    json["status"] = "ok";
    json["recordLimit"] = r.RecordLimit;
    json["source"] = r.Source;
    json["sourceName"] = SourceNames[r.Source];
    json["channel"] = r.Channel;
    json["format"] = r.Format;
    json["formatName"] = FormatNames[r.Format];
    json["width"] = r.Width;
    json["height"] = r.Height;
    json["quality"] = r.Quality;
    json["bitRate"] = r.BitRate;
    json["frameRate"] = r.FrameRate;
    json["kind"] = r.Kind;
    json["kindName"] = KindNames[r.Kind];
    json["nameFormat"] = r.NameFormat == 0 ? "date-time" : "given name";
    json["fileName"] = r.FileName;
    return json;
}

const bool Registered = RegisterDecoder(
    {"Relay.rec", [](const QString &file) { return FileNameIs(file, "Relay.rec"); }, DecodeRelay});

} // namespace
