// lyra-config decoders of the channel files: "QPAVO2.cfg" (the channel table
// and preview settings) and "TVTable.tbl" (the frequency tables).
#include <QFile>
#include <QJsonArray>

#include "channels/channel_file.h"
#include "channels/frequency_table.h"
#include "decoders.h"
#include "platform/messages.h"

namespace {

QJsonArray TVList(const TTVList &list)
{
    QJsonArray out;
    for (int n = 1; n <= TVChannelCount; ++n) {
        const TTVChannel &c = list[n];
        if (!c.Enabled)
            continue;
        out.append(QJsonObject{{"number", n},
                               {"signalFound", c.SignalFound != 0},
                               {"standard", c.Standard},
                               {"audioMode", c.AudioMode},
                               {"frequency", c.Frequency},
                               {"tableFrequency", c.TableFrequency},
                               {"name", c.Name},
                               {"extra", c.Extra}});
    }
    return out;
}

QJsonObject DecodeChannelFile(const QString &path, const QStringList &)
{
    QJsonObject json{{"file", path}};
    QFile file(path);
    if (!file.exists()) {
        json["status"] = "missing";
        json["program"] = "defaults, no message";
        return json;
    }
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject{{"error", QStringLiteral("%1: %2").arg(path, file.errorString())}};
    TChannelFileData d;
    switch (ReadChannelFile(&file, d)) {
    case TChannelFileStatus::Empty:
        json["status"] = "empty";
        json["program"] = "defaults, no message";
        return json;
    case TChannelFileStatus::Damaged:
        json["status"] = "damaged";
        json["program"] = "message 1104, defaults, file deleted";
        json["message"] = MessageText(1104);
        return json;
    case TChannelFileStatus::Ok:
        break;
    }
    json["status"] = "ok";
    json["tableNumber"] = d.TableNumber;
    json["defaultStandard"] = d.DefaultStandard;
    json["countryCode"] = d.CountryCode;
    json["systemChoice"] = d.SystemChoice;
    json["cableType"] = d.CableType;
    json["mode"] = d.Mode;
    json["compositeStandard"] = d.CompositeStandard;
    json["sVideoStandard"] = d.SVideoStandard;
    json["source"] = d.Source;
    json["currentChannel"] = d.CurrentChannel;
    json["lastChannel"] = d.LastChannel;
    json["currentMemory"] = d.CurrentMemory;
    json["lastMemory"] = d.LastMemory;
    json["currentFM"] = d.CurrentFM;
    json["lastFM"] = d.LastFM;
    json["antenna"] = TVList(d.Antenna);
    json["cable"] = TVList(d.Cable);
    QJsonArray memories;
    for (int n = 1; n <= MemoryCount; ++n) {
        const TMemoryChannel &m = d.Memory[n];
        if (m.Enabled)
            memories.append(QJsonObject{{"number", n}, {"list", m.List}, {"channel", m.Number}, {"name", m.Name}});
    }
    json["memories"] = memories;
    QJsonArray fm;
    for (int n = 1; n <= FMMemoryCount; ++n) {
        const TFMMemory &m = d.FMMemory[n];
        if (m.Frequency)
            fm.append(QJsonObject{{"number", n}, {"frequency", m.Frequency}, {"name", m.Name}});
    }
    json["fmMemories"] = fm;
    QJsonArray cells;
    for (int row = 0; row < PreviewGridMax; ++row)
        for (int col = 0; col < PreviewGridMax; ++col) {
            const TPreviewCell &c = d.CustomCells[row][col];
            if (c.Kind || c.Channel)
                cells.append(QJsonObject{{"row", row}, {"column", col}, {"kind", c.Kind}, {"channel", c.Channel}});
        }
    json["preview"] = QJsonObject{{"customize", d.Customize},
                                  {"dimension", d.Dimension},
                                  {"interval", d.Interval},
                                  {"customCells", cells}};
    return json;
}

QJsonArray Half(const TFrequencyRecord &r, int half)
{
    QJsonArray out;
    for (int k = 1; k <= FrequencyTableChannels; ++k)
        if (const int32_t hz = r.FrequencyHz(half, k))
            out.append(QJsonObject{{"channel", k}, {"mhz", hz / 1e6}});
    return out;
}

QJsonObject DecodeFrequencyTable(const QString &path, const QStringList &args)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject{{"error", QStringLiteral("%1: %2 (the program shows message 1007)")
                                         .arg(path, file.errorString())}};
    const int count = FrequencyRecordCount(&file);
    QJsonObject json{{"file", path}, {"records", count}};
    if (file.size() % FrequencyRecordSize)
        json["trailingBytes"] = int(file.size() % FrequencyRecordSize);
    if (args.isEmpty()) {
        QJsonArray summary;
        for (int t = 0; t < count; ++t) {
            TFrequencyRecord r;
            ReadFrequencyRecord(&file, t, r);
            summary.append(QJsonObject{{"record", t},
                                       {"antennaChannels", Half(r, 0).size()},
                                       {"cableChannels", Half(r, 1).size()}});
        }
        json["summary"] = summary;
        return json;
    }
    bool ok = false;
    const int record = args[0].toInt(&ok);
    TFrequencyRecord r;
    if (!ok || !ReadFrequencyRecord(&file, record, r))
        return QJsonObject{{"error", QStringLiteral("%1: no record %2 (%3 records; the program shows message 1007)")
                                         .arg(path, args[0]).arg(count)}};
    json["record"] = record;
    json["antenna"] = Half(r, 0);
    json["cable"] = Half(r, 1);
    return json;
}

const bool registered = RegisterDecoder({"QPAVO2.cfg", [](const QString &f) { return FileNameIs(f, "QPAVO2.cfg"); },
                                         DecodeChannelFile}) &&
                        RegisterDecoder({"TVTable.tbl [RECORD]",
                                         [](const QString &f) { return FileNameIs(f, "TVTable.tbl"); },
                                         DecodeFrequencyTable});

} // namespace
