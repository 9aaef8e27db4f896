// Loads arbitrary bytes as "QPAVO.cfg" the way the program does at start-up,
// then saves and loads again: the second load must succeed.
#include <cstdint>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "capture/capture_settings.h"

namespace {
QTemporaryDir *Scratch()
{
    static QTemporaryDir *dir = [] {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        return new QTemporaryDir;
    }();
    return dir;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString file = Scratch()->filePath("QPAVO.cfg");
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    // Folders named by the input are only checked, never created.
    TMainInfo main;
    TCaptureSettings capture;
    TAudioAdjustInfo audio;
    TMainSettingsContext c;
    c.Main = &main;
    c.Capture = &capture;
    c.Audio = &audio;
    c.ShowMessages = false;
    c.CreateFolders = false;
    LoadMainSettings(file, c);
    if (!SaveMainSettings(file, c))
        std::abort();
    if (!LoadMainSettings(file, c))
        std::abort();
    return 0;
}
