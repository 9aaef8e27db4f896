#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cerrno>

#include <gtest/gtest.h>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "capture/capture_settings.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "platform/record_stream.h"
#include "platform/safe_file.h"
#include "test_env.h"

namespace {

struct RecordingPresenter : IWarningPresenter
{
    QList<QStringList> Shown;
    void Present(const QStringList &lines) override { Shown << lines; }
    void Close() override {}
};

class MainSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Folder = TestEnv::NewFolder("settings");
        File = Folder + "/QPAVO.cfg";
        SetWarningPresenter(&Presenter);
        Context.Main = &Main;
        Context.Audio = &Audio;
        Context.Capture = &Capture;
    }
    void TearDown() override
    {
        SetWarningPresenter(nullptr);
        SetFolderCheck(nullptr);
    }

    // A valid file with every item, letting a test change single items.
    QByteArray
    Build(const std::function<void(int item, TRecordWriter &w, bool &done)> &override_ = {})
    {
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        TRecordWriter w(&buf);
        auto item = [&](int n, const std::function<void()> &normal) {
            bool done = false;
            if (override_)
                override_(n, w, done);
            if (!done)
                normal();
        };
        item(1, [&] { w.WriteInt(MainSettingsMagic); });
        item(2, [&] { w.WriteBool(true); });
        item(3, [&] { w.WriteBool(false); });
        item(4, [&] { w.WriteBool(true); });
        item(5, [&] { w.WriteBool(false); });
        item(6, [&] { w.WriteBool(true); });
        item(7, [&] { w.WriteInt(1); });
        item(8, [&] { w.WriteStr(Folder + "/tv"); });
        item(9, [&] { w.WriteStr(Folder + "/fm/"); });
        item(10, [&] { w.WriteStr("spare"); });
        for (int k = 0; k < 5; ++k)
            item(11 + k, [&] { w.WriteInt(10 * (k + 1)); });
        item(16, [&] { w.WriteStr("German"); });
        item(17, [&] { w.WriteInt(3); });
        item(18, [&] { w.WriteInt(4); });
        item(19, [&] { w.WriteInt(30000); });
        for (int k = 0; k < 6; ++k)
            item(20 + k, [&] { w.WriteInt(k == 5 ? 2 : 1); });
        item(26, [&] { w.WriteInt(FormatDVDPAL); });
        item(27, [&] { w.WriteInt(1); });
        item(28, [&] { w.WriteInt(720); });
        item(29, [&] { w.WriteInt(576); });
        item(30, [&] { w.WriteInt(6000); });
        item(31, [&] { w.WriteInt(3); });
        item(32, [&] { w.WriteInt(6); });
        item(33, [&] { w.WriteBool(false); });
        item(34, [&] { w.WriteStr("news"); });
        item(35, [&] { w.WriteBool(true); });
        item(36, [&] { w.WriteInt(3600); });
        item(37, [&] { w.WriteBool(true); });
        item(38, [&] { w.WriteBool(false); });
        item(39, [&] { w.WriteInt(98500000); });
        item(40, [&] { w.WriteInt(2); });
        item(41, [&] { w.WriteInt(MainSettingsEndMark); });
        return bytes;
    }

    QString Folder, File;
    RecordingPresenter Presenter;
    TMainInfo Main;
    TAudioAdjustInfo Audio;
    TCaptureSettings Capture;
    TMainSettingsContext Context;
};

TEST_F(MainSettingsTest, EveryItemIsReadInOrder)
{
    TestEnv::WriteFile(File, Build());
    ASSERT_TRUE(LoadMainSettings(File, Context));
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    EXPECT_EQ(Main.AlwaysOnTop, 1);
    EXPECT_EQ(Main.PIPPlayback, 0);
    EXPECT_EQ(Main.StartInFM, 1);
    EXPECT_EQ(Main.SpareFlag, 1);
    EXPECT_EQ(Main.MPEG4Codec, 1);
    EXPECT_EQ(Main.CapturePath, Folder + "/tv/") << "a missing folder one level deep is created";
    EXPECT_TRUE(QFileInfo(Folder + "/tv").isDir());
    EXPECT_EQ(Main.FMCapturePath, Folder + "/fm/");
    EXPECT_EQ(Main.SpareBaseName, "spare");
    EXPECT_EQ(Main.VideoAdjustPercent[4], 50);
    EXPECT_EQ(Context.LanguageRead, "German");
    EXPECT_EQ(Audio.PlaybackLineIndex, 3);
    EXPECT_EQ(Audio.RecordLineIndex, 4);
    EXPECT_EQ(Audio.RecordVolume, 30000);
    EXPECT_EQ(Capture.VideoDeviceIndex, 1);
    EXPECT_EQ(Capture.CaptureAudioOption, 2);
    EXPECT_EQ(Capture.CaptureFormat, FormatDVDPAL);
    EXPECT_EQ(Capture.CaptureWidth, 720);
    EXPECT_EQ(Capture.BitRate, 6000);
    EXPECT_EQ(Capture.CaptureQuality, 6);
    EXPECT_FALSE(Capture.UseDateTimeFileName);
    EXPECT_EQ(Capture.CaptureBaseName, "news");
    EXPECT_EQ(Capture.TimeLimit, 3600);
    EXPECT_EQ(Capture.HighQualityPreview, 0);
    EXPECT_EQ(Capture.SavedFMFrequency, 98500000);
    EXPECT_EQ(Main.AspectRatio, 2);
}

TEST_F(MainSettingsTest, SaveThenLoadRoundTrips)
{
    Main.AlwaysOnTop = 1;
    Main.CapturePath = Folder + "/";
    Main.FMCapturePath = Folder + "/";
    Main.VideoAdjustPercent = {1, 2, 3, 4, 101};
    Main.AspectRatio = 1;
    Capture.CaptureFormat = FormatSVCDNTSC;
    Capture.CaptureBaseName = QString::fromUtf8("Nachrichten-Ä");
    Capture.FMFrequency = 91200000;
    Audio.RecordVolume = 12345;
    ASSERT_TRUE(SaveMainSettings(File, Context));

    TMainInfo main2;
    TCaptureSettings capture2;
    TAudioAdjustInfo audio2;
    TMainSettingsContext c2;
    c2.Main = &main2;
    c2.Capture = &capture2;
    c2.Audio = &audio2;
    ASSERT_TRUE(LoadMainSettings(File, c2));
    EXPECT_EQ(main2.AlwaysOnTop, 1);
    EXPECT_EQ(main2.CapturePath, Folder + "/");
    EXPECT_EQ(main2.VideoAdjustPercent, Main.VideoAdjustPercent);
    EXPECT_EQ(main2.AspectRatio, 1);
    EXPECT_EQ(capture2.CaptureFormat, FormatSVCDNTSC);
    EXPECT_EQ(capture2.CaptureBaseName, Capture.CaptureBaseName);
    EXPECT_EQ(capture2.SavedFMFrequency, 91200000) << "the tuned FM frequency is what is written";
    EXPECT_EQ(audio2.RecordVolume, 12345);
}

TEST_F(MainSettingsTest, ValueChecksOnReading)
{
    TestEnv::WriteFile(File, Build([&](int n, TRecordWriter &w, bool &done) {
                           done = true;
                           switch (n) {
                           case 8:
                               w.WriteStr("");
                               break; // unusable folder
                           case 10:
                               w.WriteStr("");
                               break; // empty base name
                           case 20:
                               w.WriteInt(-3);
                               break; // negative index
                           case 28:
                               w.WriteInt(0);
                               break; // width below 1
                           case 29:
                               w.WriteInt(-1);
                               break; // height below 1
                           case 30:
                               w.WriteInt(0);
                               break; // bit rate below 1
                           case 34:
                               w.WriteStr("");
                               break; // empty capture base name
                           case 36:
                               w.WriteInt(5);
                               break; // time limit of 10 or less
                           case 40:
                               w.WriteInt(-2);
                               break; // negative aspect ratio
                           default:
                               done = false;
                           }
                       }));
    int applied = -1;
    Context.ApplyAspectRatio = [&](int32_t r) { applied = r; };
    ASSERT_TRUE(LoadMainSettings(File, Context));
    EXPECT_EQ(Main.CapturePath, DefaultDocumentsFolder());
    EXPECT_EQ(Main.SpareBaseName, "capture");
    EXPECT_EQ(Capture.VideoDeviceIndex, 0);
    EXPECT_EQ(Capture.CaptureWidth, 320);
    EXPECT_EQ(Capture.CaptureHeight, 240);
    EXPECT_EQ(Capture.BitRate, 2000);
    EXPECT_EQ(Capture.CaptureBaseName, "capture");
    EXPECT_EQ(Capture.TimeLimit, 10);
    EXPECT_EQ(Main.AspectRatio, 0);
    EXPECT_EQ(applied, 0) << "the aspect ratio is applied at once";
}

TEST_F(MainSettingsTest, FolderOnReadOnlyMediaFallsBackToDocuments)
{
    const QString optical = Folder + "/cdrom";
    QDir().mkpath(optical);
    SetFolderCheck(
        [&](const QString &folder) { return !folder.startsWith(optical) && FolderUsable(folder); });
    TestEnv::WriteFile(File, Build([&](int n, TRecordWriter &w, bool &done) {
                           if (n == 9) {
                               w.WriteStr(optical + "/rec");
                               done = true;
                           }
                       }));
    ASSERT_TRUE(LoadMainSettings(File, Context));
    EXPECT_EQ(Main.FMCapturePath, DefaultDocumentsFolder());
    EXPECT_FALSE(QFileInfo(optical + "/rec").exists());
}

TEST_F(MainSettingsTest, DamagedFilesShow1103FallBackToDefaultsAndAreDeleted)
{
    struct Case
    {
        const char *Name;
        QByteArray Bytes;
    };
    const QByteArray good = Build();
    const QList<Case> cases = {
        {"truncated before the end mark", good.left(good.size() - 4)},
        {"wrong magic", Build([](int n, TRecordWriter &w, bool &done) {
             if (n == 1) {
                 w.WriteInt(0x9998);
                 done = true;
             }
         })},
        {"wrong end mark", Build([](int n, TRecordWriter &w, bool &done) {
             if (n == 41) {
                 w.WriteInt(0);
                 done = true;
             }
         })},
        {"over-long string", Build([](int n, TRecordWriter &w, bool &done) {
             if (n == 10) {
                 w.WriteInt(600);
                 w.WriteStr(QString(596, 'x')); // 4 + 596 bytes that are not skipped
                 done = true;
             }
         })},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        Presenter.Shown.clear();
        TestEnv::WriteFile(File, c.Bytes);
        Main.AlwaysOnTop = 1;
        Capture.CaptureWidth = 1;
        EXPECT_FALSE(LoadMainSettings(File, Context));
        ASSERT_EQ(Presenter.Shown.size(), 1);
        EXPECT_EQ(Presenter.Shown[0],
                  QStringList({"Main setting is corrupted, load default setting...", "(1103)"}));
        EXPECT_EQ(Main.AlwaysOnTop, 0);
        EXPECT_EQ(Capture.CaptureWidth, 640) << "capture-engine defaults";
        EXPECT_FALSE(QFileInfo::exists(File));
    }
}

TEST_F(MainSettingsTest, MissingOrEmptyFileIsSilent)
{
    EXPECT_FALSE(LoadMainSettings(File, Context));
    TestEnv::WriteFile(File, QByteArray());
    EXPECT_FALSE(LoadMainSettings(File, Context));
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(File)) << "an empty file is removed too";
    EXPECT_EQ(Main.CapturePath, DefaultDocumentsFolder());
    EXPECT_TRUE(Main.CapturePath.endsWith('/'));
}

TEST_F(MainSettingsTest, FailedWriteShowsTextAndLeavesNoFile)
{
    // The target's folder is a file: nothing can be created there.
    const QString blocker = Folder + "/not-a-folder";
    TestEnv::WriteFile(blocker, "x");
    const QString target = blocker + "/QPAVO.cfg";
    EXPECT_FALSE(SaveMainSettings(target, Context));
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Presenter.Shown[0], QStringList({"Cannot write config...."}));
    EXPECT_EQ(QDir(Folder).entryList(QDir::Files), QStringList({"not-a-folder"}));
}

TEST_F(MainSettingsTest, FailedWriteKeepsThePreviousFile)
{
    TestEnv::WriteFile(File, Build());
    const QByteArray before = TestEnv::ReadFile(File);
    // A folder that cannot take the temporary file beside the target.
    QFile::setPermissions(Folder, QFile::ReadOwner | QFile::ExeOwner);
    const bool root = QFileInfo(Folder).isWritable();
    const bool saved = SaveMainSettings(File, Context);
    QFile::setPermissions(Folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (root)
        GTEST_SKIP() << "running as root: permissions do not stop writes";
    EXPECT_FALSE(saved);
    EXPECT_EQ(TestEnv::ReadFile(File), before);
}

// A write that fails at any step (a full disk reports at the write, the
// flush to disk or the close) keeps the old file whole, leaves no temporary
// file and tells the user once.
TEST_F(MainSettingsTest, AFailureAtEveryStepOfTheSaveKeepsTheOldFile)
{
    TestEnv::WriteFile(File, Build());
    const QByteArray before = TestEnv::ReadFile(File);
    for (TSafeWriteStep step : {TSafeWriteStep::Open, TSafeWriteStep::Write, TSafeWriteStep::Sync,
                                TSafeWriteStep::Close, TSafeWriteStep::Rename}) {
        Presenter.Shown.clear();
        InjectSafeWriteFailure(step, ENOSPC);
        const bool saved = SaveMainSettings(File, Context);
        InjectSafeWriteFailure(TSafeWriteStep::None);
        EXPECT_FALSE(saved) << int(step);
        EXPECT_EQ(TestEnv::ReadFile(File), before) << int(step);
        EXPECT_EQ(QDir(Folder).entryList(QDir::Files | QDir::Hidden), QStringList({"QPAVO.cfg"}))
            << int(step);
        ASSERT_EQ(Presenter.Shown.size(), 1) << int(step);
        EXPECT_EQ(Presenter.Shown[0], QStringList({"Cannot write config...."}));
    }
    // And without a failure the new contents arrive, with the old file's
    // permissions.
    QFile::setPermissions(File, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(SaveMainSettings(File, Context));
    EXPECT_EQ(QFile::permissions(File) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

TEST(MainSettingsTool, LyraConfigShowsWhatTheProgramWouldDo)
{
    const QString folder = TestEnv::NewFolder("tool");
    const QString file = folder + "/QPAVO.cfg";
    QByteArray bytes;
    {
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        TRecordWriter w(&buf);
        w.WriteInt(MainSettingsMagic);
        w.WriteBool(true);
    }
    TestEnv::WriteFile(file, bytes);
    QProcess tool;
    tool.start(TestEnv::BinaryDir() + "/tools/lyra-config", {"show", file});
    ASSERT_TRUE(tool.waitForFinished(20000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().constData();
    const QJsonObject json = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    EXPECT_EQ(json["message"].toInt(), 1103);
    EXPECT_TRUE(json["deleted"].toBool());
    EXPECT_EQ(json["CaptureWidth"].toInt(), 640);
    EXPECT_TRUE(QFileInfo::exists(file)) << "the tool never deletes";

    // A good file: every field by name.
    TMainInfo main;
    TCaptureSettings capture;
    capture.TimeLimit = 120;
    main.CapturePath = folder + "/";
    TMainSettingsContext c;
    c.Main = &main;
    c.Capture = &capture;
    ASSERT_TRUE(SaveMainSettings(file, c));
    tool.start(TestEnv::BinaryDir() + "/tools/lyra-config", {"show", file});
    ASSERT_TRUE(tool.waitForFinished(20000));
    const QJsonObject good = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    EXPECT_FALSE(good.contains("message"));
    EXPECT_EQ(good["TimeLimit"].toInt(), 120);
    EXPECT_EQ(good["CapturePath"].toString(), folder + "/");
    EXPECT_EQ(good["Language"].toString(), "");
}

} // namespace
