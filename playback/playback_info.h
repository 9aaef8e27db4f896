// The play lists' data: the done list of finished recordings
// ("PLAYITEMS.LST"), the recent list of files played ("PLAYRECENT.LST") and
// the play list of the current playback run. One instance (PlaybackInfo)
// lives from start-up to exit; it loads both files when created by the
// shell and saves them at exit. GUI thread only.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;

// One finished recording.
struct TPlaybackItem
{
    // Days since 1899-12-30, the fraction the time of day, local time.
    double StartTime = 0;
    double EndTime = 0;
    int32_t Channel = 0; // 0 when the source was not the tuner
    bool Scheduled = false;
    bool AudioOnly = false;
    QString FileName;    // full path; the key of the list
    QString Description; // "Time Shifting", "Scheduled" or empty
};

// Local date-time <-> days since 1899-12-30.
double DateTimeToDays(const QDateTime &time);
QDateTime DaysToDateTime(double days);

class TPlaybackInfo
{
public:
    static constexpr int32_t DoneListMagic = 8888;

    int32_t CurrentIndex = -1;
    QString CurrentFile;
    // Newest first; the list owns its items.
    std::vector<std::unique_ptr<TPlaybackItem>> DoneList;
    // Full paths, most recent first.
    QStringList RecentList;
    // Full paths in play order.
    QStringList PlayList;
    // Plays one file; the playback engine installs it. Without it nothing
    // plays and the play list stays as it is.
    std::function<bool(const QString &)> PlayFile;
    // Called after an item started playing (the play-list window selects
    // its line).
    std::function<void(TPlaybackInfo &, int)> OnItemChanged;

    // False for a null item or a FileName already listed (case-sensitive);
    // else the item goes to the front.
    bool AddDoneItem(std::unique_ptr<TPlaybackItem> item);
    // False outside the list; deleteFile also deletes the recorded file
    // (with its companions), and when that fails the entry stays and the
    // result is false.
    bool DeleteDoneItem(int index, bool deleteFile);
    // Deletes every entry as DeleteDoneItem does; entries whose files could
    // not be deleted stay.
    void ClearDoneItems(bool deleteFiles);
    // Removes a play-list line; CurrentIndex follows the item playing.
    bool DeletePlayListItem(int index);
    // Plays PlayList[index]. On success the file joins the recent list and
    // OnItemChanged runs; a file that fails to play leaves the play list
    // (CurrentIndex keeps its value, so the next attempt plays the item
    // that moved into its place).
    bool PlayItem(int index);
    // The next item, or the first after the last.
    bool PlayNext();
    // The previous item, or the last before the first.
    bool PlayPrevious();
    // Puts a file played successfully at the front, unless listed already
    // (compared upper-cased).
    void AddRecentFile(const QString &path);

    // The list files. Loading appends to the lists and deletes a damaged
    // done-list file (keeping the records read before the damage); saving
    // writes only a list that is not empty (an empty list leaves the old
    // file as it was), through WriteFileSafely.
    void LoadDoneList(const QString &path);
    bool SaveDoneList(const QString &path) const;
    void LoadRecentList(const QString &path);
    bool SaveRecentList(const QString &path) const;
};

// The done list's reader on any device: appends the records it takes to
// `items` (those whose file `exists` says is there; null `exists` keeps
// all). Returns false when the stream is damaged (bad marker, short read);
// the records read before the damage stay in `items`.
bool ReadDoneList(QIODevice *device, std::vector<std::unique_ptr<TPlaybackItem>> &items,
                  bool (*exists)(const QString &) = nullptr);
QByteArray WriteDoneList(const std::vector<std::unique_ptr<TPlaybackItem>> &items, bool *ok);
// The recent list's lines (CR LF or LF ended); empty lines are skipped.
QStringList ReadRecentList(const QByteArray &bytes);

// The files on disk that belong to a recording besides itself: a time-shift
// recording's sound ("ts0.mpv" -> "ts0.mpa") and time index
// ("ts0.mpv.idx").
QStringList RecordingCompanions(const QString &file);
// Renames a recording with its companions, all or none: false (and nothing
// moved) when any new name exists already or any rename fails, and for a
// time-shift recording with companions whose new name is not a ".mpv".
bool RenameRecording(const QString &from, const QString &to);

extern TPlaybackInfo *PlaybackInfo;
