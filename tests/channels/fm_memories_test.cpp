// The FM radio's frequency texts, the dial's needle position and the choice
// of memory for a new station.
#include <gtest/gtest.h>

#include "channels/fm_memories.h"

namespace {

TEST(FMText, FormatMHzKeepsTheSignificantDecimals)
{
    EXPECT_EQ(FormatMHz(88700000), "88.7");
    EXPECT_EQ(FormatMHz(100000000), "100.0");
    EXPECT_EQ(FormatMHz(55250000), "55.25");
    EXPECT_EQ(FormatMHz(87500000), "87.5");
    EXPECT_EQ(FormatMHz(107500000), "107.5");
    EXPECT_EQ(FormatMHz(90000000), "90.0");
    // Digits far below the MHz are kept, leading zeros of the fraction too.
    EXPECT_EQ(FormatMHz(88050000), "88.05");
    EXPECT_EQ(FormatMHz(98000001), "98.000001");
    EXPECT_EQ(FormatMHz(0), "0.0");
}

TEST(FMText, NeedleRoundsHalvesToEvenAndStaysOnTheDial)
{
    // Band 0..100 on a dial 88 wide: x = f * 0.88.
    EXPECT_EQ(DialNeedleX(50, 0, 100, 88), 44);
    // 2.5 -> 2 and 3.5 -> 4 (halves to the even neighbour).
    EXPECT_EQ(DialNeedleX(25, 0, 100, 10), 2);
    EXPECT_EQ(DialNeedleX(35, 0, 100, 10), 4);
    EXPECT_EQ(DialNeedleX(87500000, 87500000, 108000000, 88), 1) << "the lower limit draws at 1";
    EXPECT_EQ(DialNeedleX(80000000, 87500000, 108000000, 88), 1);
    EXPECT_EQ(DialNeedleX(108000000, 87500000, 108000000, 88), 88);
    EXPECT_EQ(DialNeedleX(120000000, 87500000, 108000000, 88), 88);
    EXPECT_EQ(DialNeedleX(100000000, 100000000, 100000000, 88), 1) << "an empty band";
    // Whole FM band in Hz: no overflow on the way.
    EXPECT_EQ(DialNeedleX(97750000, 76000000, 108000000, 88), 60); // 59.8125
}

TEST(FMMemories, NewStationGoesToTheFirstEmptyMemoryOrTheFirst)
{
    TFMList memories;
    EXPECT_EQ(FirstFreeFMMemory(memories), 1);
    for (int n = 1; n <= FMMemoryCount; ++n)
        memories[n].Frequency = 88000000 + n;
    EXPECT_EQ(FirstFreeFMMemory(memories), 1) << "all 50 used";
    memories[50].Frequency = 0;
    EXPECT_EQ(FirstFreeFMMemory(memories), 50);

    EXPECT_TRUE(StoreFMMemory(memories, 50, 91500000, "Talk"));
    EXPECT_EQ(memories[50].Frequency, 91500000);
    EXPECT_EQ(memories[50].Name, "Talk");
    EXPECT_FALSE(StoreFMMemory(memories, 0, 91500000, "x"));
    EXPECT_FALSE(StoreFMMemory(memories, 51, 91500000, "x"));
    EXPECT_FALSE(StoreFMMemory(memories, 3, 0, "x"));
    EXPECT_EQ(memories[3].Frequency, 88000003);
}

} // namespace
