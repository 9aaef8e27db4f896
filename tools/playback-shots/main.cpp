// Documentation screenshots of the play lists: the Playback dialog on a done
// list of four recordings (one marked, two already in the play list) and
// the play-list window with the second of three files playing. The
// recordings are small stand-in files named as the recorder names them; the
// dialog shows only their names, times and folders, and nothing is played.
//
//   playback-shots OUTPUT_DIR   (writes two PNG files; run it under a
//                                virtual X server: scripts/playback-shots)
#include <QApplication>
#include <QDir>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "channels/languages.h"
#include "platform/program_folder.h"
#include "playback/forms/play_list_menu.h"
#include "playback/forms/playback_form.h"
#include "playback/playback_info.h"

namespace {

bool Save(QWidget *w, const QString &path)
{
    QApplication::processEvents();
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    return ok;
}

struct TShotRecording
{
    const char *Name;
    QDateTime Start;
    int Seconds;
    int Channel;
    const char *Description;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: playback-shots OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir folder;
    if (!folder.isValid() || !ProgramFolder::Init(folder.path() + "/program"))
        return 1;
    ProgramFolder::InstallShippedData();
    TMultiLangInfo lang(LangCfgPath());
    lang.SelectLanguage("English");
    MultiLangInfo = &lang;

    const QString videos = folder.path() + "/Videos/";
    QDir().mkpath(videos);
    const QDate day(2026, 12, 9);
    const TShotRecording recordings[] = {
        {"20261208_201500.mpg", QDateTime(day.addDays(-1), QTime(20, 15)), 5412, 4, ""},
        {"20261209_064500.mpg", QDateTime(day, QTime(6, 45)), 1803, 2, "Scheduled"},
        {"capture.mpg", QDateTime(day, QTime(12, 30, 10)), 645, 0, ""},
        {"ts0.mpv", QDateTime(day, QTime(21, 2, 44)), 2290, 7, "Time Shifting"},
    };
    TPlaybackInfo info;
    for (const TShotRecording &r : recordings) {
        auto item = std::make_unique<TPlaybackItem>();
        item->FileName = videos + r.Name;
        item->StartTime = DateTimeToDays(r.Start);
        item->EndTime = DateTimeToDays(r.Start.addSecs(r.Seconds));
        item->Channel = r.Channel;
        item->Description = r.Description;
        QFile file(item->FileName);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        info.AddDoneItem(std::move(item));
    }
    info.RecentList = {videos + "capture.mpg", videos + "20261208_201500.mpg"};
    PlaybackInfo = &info;

    int failures = 0;
    {
        TFormPlayback form(&info, false);
        form.resize(1040, 340);
        form.show();
        form.StringGridDoneList->setCurrentCell(0, 0);
        form.DoneRowDoubleClick(3);
        form.DoneRowDoubleClick(1);
        form.ToggleMark(2);
        failures += !Save(&form, out + "/playback_dialog.png");
    }

    info.PlayList = {videos + "20261208_201500.mpg", videos + "20261209_064500.mpg",
                     videos + "capture.mpg"};
    info.CurrentIndex = 1;
    info.CurrentFile = info.PlayList[1];
    TFormPlayListMenu *window = OpenPlayListMenu(nullptr);
    window->move(200, 200);
    window->SelectLine(1);
    failures += !Save(window, out + "/play_list_window.png");
    ClosePlayListMenu();
    QApplication::processEvents();

    PlaybackInfo = nullptr;
    MultiLangInfo = nullptr;
    return failures ? 1 : 0;
}
