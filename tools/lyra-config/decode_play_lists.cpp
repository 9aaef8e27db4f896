// lyra-config decoders of the play lists: "PLAYITEMS.LST" (the finished
// recordings) and "PLAYRECENT.LST" (the files played lately).
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include "decoders.h"
#include "playback/playback_info.h"

namespace {

QJsonObject DecodeDoneList(const QString &path, const QStringList &)
{
    QJsonObject json{{"file", path}};
    QFile file(path);
    if (!file.exists()) {
        json["status"] = "missing";
        json["program"] = "an empty done list";
        return json;
    }
    if (file.size() == 0) {
        json["status"] = "empty";
        json["program"] = "nothing is read; the file stays";
        return json;
    }
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject{{"error", path + ": " + file.errorString()}};
    // Every record, as read; "listed" says whether the program keeps it
    // (its file must exist).
    std::vector<std::unique_ptr<TPlaybackItem>> items;
    const bool good = ReadDoneList(&file, items);
    QJsonArray records;
    for (const auto &item : items) {
        const QDateTime start = DaysToDateTime(item->StartTime);
        const QDateTime end = DaysToDateTime(item->EndTime);
        records.append(QJsonObject{{"startTime", item->StartTime},
                                   {"start", start.toString(Qt::ISODate)},
                                   {"endTime", item->EndTime},
                                   {"end", end.toString(Qt::ISODate)},
                                   {"channel", item->Channel},
                                   {"scheduled", item->Scheduled},
                                   {"audioOnly", item->AudioOnly},
                                   {"fileName", item->FileName},
                                   {"description", item->Description},
                                   {"listed", QFileInfo::exists(item->FileName)}});
    }
    json["items"] = records;
    json["status"] = good ? "ok" : "damaged";
    if (!good)
        json["program"] = "keeps the records before the damage and deletes the file";
    return json;
}

QJsonObject DecodeRecentList(const QString &path, const QStringList &)
{
    QJsonObject json{{"file", path}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        json["status"] = file.exists() ? "unreadable" : "missing";
        return json;
    }
    json["status"] = "ok";
    json["files"] = QJsonArray::fromStringList(ReadRecentList(file.readAll()));
    return json;
}

const bool registered =
    RegisterDecoder({"PLAYITEMS.LST",
                     [](const QString &f) { return FileNameIs(f, "PLAYITEMS.LST"); },
                     DecodeDoneList}) &&
    RegisterDecoder({"PLAYRECENT.LST",
                     [](const QString &f) { return FileNameIs(f, "PLAYRECENT.LST"); },
                     DecodeRecentList});

} // namespace
