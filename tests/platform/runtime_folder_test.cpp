// Where the single-instance socket lives when the session has no runtime
// folder: a folder of this user's own that nobody else can enter.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/instance_channel.h"
#include "test_env.h"

namespace {

class RuntimeFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Saved = qgetenv("XDG_RUNTIME_DIR");
        SavedTmp = qgetenv("TMPDIR");
        Tmp = TestEnv::NewFolder("tmp");
        qputenv("TMPDIR", Tmp.toLocal8Bit());
    }
    void TearDown() override
    {
        qputenv("XDG_RUNTIME_DIR", Saved);
        if (SavedTmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", SavedTmp);
    }
    static mode_t Mode(const QString &path)
    {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
    }
    QByteArray Saved, SavedTmp;
    QString Tmp;
};

TEST_F(RuntimeFolder, TheSessionFolderWhenThereIsOne)
{
    const QString session = TestEnv::NewFolder("session");
    qputenv("XDG_RUNTIME_DIR", session.toLocal8Bit());
    EXPECT_EQ(::RuntimeFolder(), session);
    EXPECT_EQ(RuntimeSocketPath("QUOVIX_PAVO_MUTEX"), session + "/QUOVIX_PAVO_MUTEX");
}

TEST_F(RuntimeFolder, WithoutOneAPrivateFolderOfTheUser)
{
    qunsetenv("XDG_RUNTIME_DIR");
    const QString expected = Tmp + QString("/lyra-%1").arg(::getuid());
    EXPECT_EQ(::RuntimeFolder(), expected);
    EXPECT_EQ(Mode(expected), 0700u);

    // A folder that others could enter is closed again.
    ::chmod(QFile::encodeName(expected).constData(), 0777);
    EXPECT_EQ(::RuntimeFolder(), expected);
    EXPECT_EQ(Mode(expected), 0700u);

    // One that is a link, or belongs to somebody else, is never used.
    QDir(expected).removeRecursively();
    const QString elsewhere = TestEnv::NewFolder("elsewhere");
    ASSERT_TRUE(QFile::link(elsewhere, expected));
    const QString chosen = ::RuntimeFolder();
    EXPECT_NE(chosen, expected);
    EXPECT_EQ(Mode(chosen), 0700u);
    EXPECT_TRUE(chosen.startsWith(QDir::homePath())) << chosen.toStdString();
}

} // namespace
