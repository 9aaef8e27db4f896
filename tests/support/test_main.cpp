// Test entry point: private folders for the whole process, offscreen Qt,
// GStreamer initialised once.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdlib>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "platform/program_folder.h"
#include "platform/video_window.h"
#include "test_env.h"

namespace TestEnv {
void InitRoot();
void CleanUp();
} // namespace TestEnv

int main(int argc, char **argv)
{
    // Before Qt reads them: HOME, XDG folders and the runtime folder all live
    // under the test's temporary root.
    TestEnv::InitRoot();
    const QByteArray root = TestEnv::Root().toUtf8();
    for (const char *sub : {"home", "home/Documents", "runtime", "data", "config", "cache"})
        QDir().mkpath(TestEnv::Root() + "/" + sub);
    QFile::setPermissions(TestEnv::Root() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("HOME", root + "/home", 1);
    setenv("XDG_DATA_HOME", root + "/data", 1);
    setenv("XDG_CONFIG_HOME", root + "/config", 1);
    setenv("XDG_CACHE_HOME", root + "/cache", 1);
    setenv("XDG_RUNTIME_DIR", root + "/runtime", 1);
    setenv("XDG_DOCUMENTS_DIR", root + "/home/Documents", 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No session bus in tests: screen-saver inhibit and power-off requests
    // must find nothing to talk to.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    QStandardPaths::setTestModeEnabled(false);
    // A sound client must never start a sound server of its own: tests that
    // want one start it themselves (sound_server.h).
    QDir().mkpath(TestEnv::Root() + "/config/pulse");
    QFile clientConf(TestEnv::Root() + "/config/pulse/client.conf");
    if (clientConf.open(QIODevice::WriteOnly))
        clientConf.write("autospawn = no\n");
    clientConf.close();
    unsetenv("PULSE_SERVER");

    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    ProgramFolder::Init(TestEnv::Root() + "/program");
    // As the shell does at start-up: engines get real video windows, here
    // top-level ones that stay hidden unless a test shows them.
    TVideoWindowHost videoHost;
    SetVideoWindowHost(&videoHost);

    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    SetVideoWindowHost(nullptr);
    TestEnv::CleanUp();
    return result;
}
