// Argument 1 as a file to play: the three known words keep their meaning in
// any letter case, anything else is a file, made a full path from the
// folder the program was started in.
#include <QDir>

#include <gtest/gtest.h>

#include "app/startup.h"

namespace {

TEST(PlayFileArguments, OnlyWhatIsNotAKnownWordIsAFile)
{
    for (const char *word : {"srec_tv", "SREC_FM", "Fm"})
        EXPECT_TRUE(ParseArguments({word}).FileToPlay().isEmpty()) << word;
    EXPECT_TRUE(ParseArguments({}).FileToPlay().isEmpty());
    EXPECT_TRUE(ParseArguments({"--program-folder", "/tmp/x"}).FileToPlay().isEmpty());

    const TStartArguments relative = ParseArguments({"clips/a.mpg", "--virtual-card=cx88"});
    EXPECT_EQ(relative.FileToPlay(), QDir::current().absoluteFilePath("clips/a.mpg"));
    EXPECT_EQ(relative.VirtualCard, "cx88");
    EXPECT_EQ(ParseArguments({"/media/FM.mp3"}).FileToPlay(), "/media/FM.mp3");
    // A file named like a word is reachable by its path.
    EXPECT_EQ(ParseArguments({"./fm"}).FileToPlay(), QDir::current().absoluteFilePath("fm"));
}

} // namespace
