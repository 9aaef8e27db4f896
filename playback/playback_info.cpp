#include "playback/playback_info.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <cmath>

#include "platform/log.h"
#include "platform/record_stream.h"
#include "platform/safe_file.h"
#include "platform/timeshift_index.h"

TPlaybackInfo *PlaybackInfo = nullptr;

namespace {

const QDateTime &Epoch()
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    return epoch;
}

bool FileExists(const QString &path)
{
    return QFileInfo::exists(path);
}

bool IsTimeShiftVideo(const QString &file)
{
    return file.endsWith(".mpv", Qt::CaseInsensitive);
}

// A time-shift recording's sound beside its video: "ts0.mpv" -> "ts0.mpa".
QString SoundOf(const QString &video)
{
    QString sound = video;
    sound[sound.size() - 1] = QChar(video.back() == 'V' ? 'A' : 'a');
    return sound;
}

QString IndexOf(const QString &video)
{
    return QString::fromStdString(TimeShiftIndexName(video.toStdString()));
}

} // namespace

QStringList RecordingCompanions(const QString &file)
{
    QStringList companions;
    if (IsTimeShiftVideo(file))
        for (const QString &companion : {SoundOf(file), IndexOf(file)})
            if (QFileInfo::exists(companion))
                companions << companion;
    return companions;
}

bool RenameRecording(const QString &from, const QString &to)
{
    QList<std::pair<QString, QString>> moves = {{from, to}};
    if (IsTimeShiftVideo(from)) {
        const std::pair<QString, QString> companions[] = {{SoundOf(from), SoundOf(to)},
                                                          {IndexOf(from), IndexOf(to)}};
        for (const auto &[old, renamed] : companions) {
            if (!QFileInfo::exists(old))
                continue;
            // Only a ".mpv" finds its sound and index again.
            if (!IsTimeShiftVideo(to))
                return false;
            moves.append({old, renamed});
        }
    }
    for (const auto &move : moves)
        if (QFileInfo::exists(move.second))
            return false;
    for (qsizetype i = 0; i < moves.size(); ++i) {
        if (QFile::rename(moves[i].first, moves[i].second))
            continue;
        qCWarning(lcFiles) << "cannot rename" << moves[i].first << "to" << moves[i].second;
        while (--i >= 0)
            if (!QFile::rename(moves[i].second, moves[i].first))
                qCWarning(lcFiles) << "cannot rename" << moves[i].second << "back";
        return false;
    }
    return true;
}

double DateTimeToDays(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    const qint64 days = Epoch().date().daysTo(local.date());
    return double(days) + local.time().msecsSinceStartOfDay() / 86400000.0;
}

QDateTime DaysToDateTime(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return {};
    const double whole = std::floor(days);
    const qint64 msecs = qint64(std::llround((days - whole) * 86400000.0));
    return QDateTime(Epoch().date().addDays(qint64(whole)), QTime(0, 0)).addMSecs(msecs);
}

bool TPlaybackInfo::AddDoneItem(std::unique_ptr<TPlaybackItem> item)
{
    if (!item)
        return false;
    for (const auto &listed : DoneList)
        if (listed->FileName == item->FileName)
            return false;
    DoneList.insert(DoneList.begin(), std::move(item));
    return true;
}

bool TPlaybackInfo::DeleteDoneItem(int index, bool deleteFile)
{
    if (index < 0 || index >= int(DoneList.size()))
        return false;
    const QString &file = DoneList[size_t(index)]->FileName;
    // A recording that cannot be deleted keeps its entry: dropped from the
    // list it would still fill the disk, and come back at the next start.
    if (deleteFile && QFile::exists(file) && !QFile::remove(file)) {
        qCWarning(lcFiles) << "cannot delete" << file;
        return false;
    }
    // Without its video a time shift's sound and index are of no use.
    if (deleteFile)
        for (const QString &companion : RecordingCompanions(file))
            if (!QFile::remove(companion))
                qCWarning(lcFiles) << "cannot delete" << companion;
    DoneList.erase(DoneList.begin() + index);
    return true;
}

void TPlaybackInfo::ClearDoneItems(bool deleteFiles)
{
    for (int i = int(DoneList.size()) - 1; i >= 0; --i)
        DeleteDoneItem(i, deleteFiles);
}

bool TPlaybackInfo::DeletePlayListItem(int index)
{
    if (PlayList.isEmpty() || index < 0 || index >= PlayList.size())
        return false;
    PlayList.removeAt(index);
    // CurrentIndex keeps naming the item that plays.
    if (index < CurrentIndex)
        --CurrentIndex;
    return true;
}

void TPlaybackInfo::AddRecentFile(const QString &path)
{
    const QString upper = path.toUpper();
    for (const QString &listed : RecentList)
        if (listed.toUpper() == upper)
            return;
    RecentList.prepend(path);
}

bool TPlaybackInfo::PlayItem(int index)
{
    if (index < 0 || index >= PlayList.size())
        return false;
    if (!PlayFile) {
        qCWarning(lcPlayback) << "no playback engine: cannot play" << PlayList[index];
        return false;
    }
    CurrentIndex = index;
    CurrentFile = PlayList[index];
    if (!PlayFile(CurrentFile)) {
        PlayList.removeAt(CurrentIndex);
        return false;
    }
    AddRecentFile(CurrentFile);
    if (OnItemChanged)
        OnItemChanged(*this, index);
    return true;
}

bool TPlaybackInfo::PlayNext()
{
    return PlayItem(CurrentIndex >= PlayList.size() - 1 ? 0 : CurrentIndex + 1);
}

bool TPlaybackInfo::PlayPrevious()
{
    return PlayItem(CurrentIndex <= 0 ? PlayList.size() - 1 : CurrentIndex - 1);
}

bool ReadDoneList(QIODevice *device, std::vector<std::unique_ptr<TPlaybackItem>> &items,
                  bool (*exists)(const QString &))
{
    TRecordReader in(device);
    int32_t magic = 0, count = 0;
    if (!in.ReadInt(magic) || magic != TPlaybackInfo::DoneListMagic || !in.ReadInt(count))
        return false;
    // Every record takes at least 32 bytes: a count the file cannot hold
    // ends at the first short read.
    for (int32_t i = 0; i < count; ++i) {
        auto item = std::make_unique<TPlaybackItem>();
        in.ReadDouble(item->StartTime);
        in.ReadDouble(item->EndTime);
        in.ReadInt(item->Channel);
        in.ReadBool(item->Scheduled);
        in.ReadBool(item->AudioOnly);
        in.ReadStr(item->FileName);
        in.ReadStr(item->Description);
        if (!in.Ok())
            return false;
        if (!exists || exists(item->FileName))
            items.push_back(std::move(item));
    }
    return in.ReadInt(magic) && magic == TPlaybackInfo::DoneListMagic;
}

QByteArray WriteDoneList(const std::vector<std::unique_ptr<TPlaybackItem>> &items, bool *ok)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TRecordWriter out(&buffer);
    out.WriteInt(TPlaybackInfo::DoneListMagic);
    out.WriteInt(int32_t(items.size()));
    for (const auto &item : items) {
        out.WriteDouble(item->StartTime);
        out.WriteDouble(item->EndTime);
        out.WriteInt(item->Channel);
        out.WriteBool(item->Scheduled);
        out.WriteBool(item->AudioOnly);
        out.WriteStr(item->FileName);
        out.WriteStr(item->Description);
    }
    out.WriteInt(TPlaybackInfo::DoneListMagic);
    if (ok)
        *ok = out.Ok();
    return bytes;
}

void TPlaybackInfo::LoadDoneList(const QString &path)
{
    QFile file(path);
    if (!file.exists() || file.size() == 0)
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcFiles) << "cannot read" << path << file.errorString();
        return;
    }
    std::vector<std::unique_ptr<TPlaybackItem>> items;
    const bool good = ReadDoneList(&file, items, FileExists);
    file.close();
    for (auto &item : items)
        DoneList.push_back(std::move(item));
    if (!good) {
        qCWarning(lcFiles) << path << "is damaged; it is deleted," << DoneList.size()
                           << "recordings kept";
        QFile::remove(path);
    }
}

bool TPlaybackInfo::SaveDoneList(const QString &path) const
{
    if (DoneList.empty())
        return true;
    bool ok = false;
    const QByteArray bytes = WriteDoneList(DoneList, &ok);
    QString error;
    if (!ok || !WriteFileSafely(path, bytes, &error)) {
        qCWarning(lcFiles) << "cannot write" << path << error;
        return false;
    }
    return true;
}

QStringList ReadRecentList(const QByteArray &bytes)
{
    QStringList list;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            list << QString::fromUtf8(line);
    }
    return list;
}

void TPlaybackInfo::LoadRecentList(const QString &path)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    RecentList << ReadRecentList(file.readAll());
}

bool TPlaybackInfo::SaveRecentList(const QString &path) const
{
    if (RecentList.isEmpty())
        return true;
    QByteArray bytes;
    for (const QString &line : RecentList)
        bytes += line.toUtf8() + "\r\n";
    QString error;
    if (!WriteFileSafely(path, bytes, &error)) {
        qCWarning(lcFiles) << "cannot write" << path << error;
        return false;
    }
    return true;
}
