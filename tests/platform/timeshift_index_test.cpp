// The time index: its reader on damaged and growing files, and the pack
// scanner that writes it.
#include <QFile>

#include <gtest/gtest.h>

#include "platform/ps_pack_scanner.h"
#include "platform/timeshift_index.h"
#include "test_env.h"

namespace {

std::vector<uint8_t> Image(const std::vector<TIndexRecord> &records, uint32_t unit = 2048)
{
    std::vector<uint8_t> bytes(IndexHeaderSize);
    EncodeIndexHeader(unit, bytes.data());
    for (const TIndexRecord &r : records) {
        uint8_t one[IndexRecordSize];
        EncodeIndexRecord(r, one);
        bytes.insert(bytes.end(), one, one + IndexRecordSize);
    }
    return bytes;
}

TEST(TimeShiftIndex, TakesRecordsUntilTheFirstThatDoesNotBelong)
{
    const std::vector<TIndexRecord> good = {
        {0, 540, IndexEntryPoint}, {40960, 1540, IndexEntryPoint}, {81920, 2540, IndexEntryPoint}};
    TTimeShiftIndex index;
    // A record cut short is not there yet.
    auto bytes = Image(good);
    ASSERT_TRUE(index.Parse(bytes.data(), bytes.size() - 5));
    EXPECT_EQ(index.Entries().size(), 2u);
    ASSERT_TRUE(index.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(index.Entries().size(), 3u);
    EXPECT_FALSE(index.Complete());

    // A flipped bit, a step back in time or in bytes, an offset off the
    // pack grid: that record and all after it are ignored.
    for (int damage = 0; damage < 4; ++damage) {
        auto records = good;
        records.push_back({122880, 3540, IndexEntryPoint});
        if (damage == 1)
            records[1].Millis = 100;
        if (damage == 2)
            records[2].Offset = 0;
        if (damage == 3)
            records[1].Offset = 41000;
        bytes = Image(records);
        if (damage == 0)
            bytes[IndexHeaderSize + IndexRecordSize + 9] ^= 4;
        ASSERT_TRUE(index.Parse(bytes.data(), bytes.size()));
        EXPECT_EQ(index.Entries().size(), damage == 2 ? 2u : 1u) << damage;
    }

    // The end record finishes the index; nothing counts after it.
    auto records = good;
    records.push_back({100000, 2600, IndexEnd});
    records.push_back({122880, 3540, IndexEntryPoint});
    bytes = Image(records);
    ASSERT_TRUE(index.Parse(bytes.data(), bytes.size()));
    EXPECT_TRUE(index.Complete());
    EXPECT_EQ(index.EndOffset(), 100000u);
    EXPECT_EQ(index.Entries().size(), 3u);

    // Not an index at all.
    bytes = Image(good);
    bytes[0] = 'X';
    EXPECT_FALSE(index.Parse(bytes.data(), bytes.size()));
    bytes = Image(good, 0);
    EXPECT_FALSE(index.Parse(bytes.data(), bytes.size()));
}

TEST(TimeShiftIndex, FindsWhereToReadForATime)
{
    TTimeShiftIndex index;
    int32_t earliest, latest;
    EXPECT_FALSE(index.SecondsRange(earliest, latest));
    EXPECT_EQ(index.OffsetFor(5000), 0u);
    const auto bytes = Image({{0, 540, IndexEntryPoint},
                              {40960, 1540, IndexEntryPoint},
                              {81920, 2540, IndexEntryPoint}});
    ASSERT_TRUE(index.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(index.OffsetFor(0), 0u);        // before the first: the first
    EXPECT_EQ(index.OffsetFor(1540), 40960u); // exactly on one
    EXPECT_EQ(index.OffsetFor(2539), 40960u); // the one before
    EXPECT_EQ(index.OffsetFor(99999), 81920u);
    EXPECT_EQ(index.MillisAt(40959), 540u);
    EXPECT_EQ(index.MillisAt(50000), 1540u);
    ASSERT_TRUE(index.SecondsRange(earliest, latest));
    EXPECT_EQ(earliest, 0);
    EXPECT_EQ(latest, 2);
}

TEST(TimeShiftIndex, RefreshFollowsTheWriter)
{
    const std::string path = (TestEnv::NewFolder("idx") + "/ts0.mpv.idx").toStdString();
    TTimeShiftIndexWriter writer;
    TTimeShiftIndex index;
    EXPECT_FALSE(index.Refresh(path)); // no file yet
    int error = 0;
    ASSERT_TRUE(writer.Open(path, 2324, &error));
    ASSERT_TRUE(index.Refresh(path));
    EXPECT_EQ(index.UnitSize(), 2324u);
    EXPECT_TRUE(index.Entries().empty());
    ASSERT_TRUE(writer.Add({0, 500, IndexEntryPoint}, &error));
    ASSERT_TRUE(writer.Add({2324 * 10, 1500, IndexEntryPoint}, &error));
    ASSERT_TRUE(index.Refresh(path));
    EXPECT_EQ(index.Entries().size(), 2u);
    ASSERT_TRUE(writer.Add({2324 * 20, 2500, IndexEntryPoint}, &error));
    ASSERT_TRUE(writer.Add({2324 * 25, 2500, IndexEnd}, &error));
    ASSERT_TRUE(index.Refresh(path));
    EXPECT_EQ(index.Entries().size(), 3u);
    EXPECT_TRUE(index.Complete());
    // A new recording over the old name starts from nothing.
    ASSERT_TRUE(writer.Open(path, 2048, &error));
    ASSERT_TRUE(index.Refresh(path));
    EXPECT_EQ(index.UnitSize(), 2048u);
    EXPECT_TRUE(index.Entries().empty());
    EXPECT_FALSE(index.Complete());
    // Where the index cannot be made, the writer says why.
    EXPECT_FALSE(writer.Open("/nonexistent/ts0.mpv.idx", 2048, &error));
    EXPECT_EQ(error, ENOENT);
}

// Builders of synthetic program-stream packs for the scanner.
void PackHeader(std::vector<uint8_t> &out, uint64_t scr)
{
    const uint8_t b[14] = {0,
                           0,
                           1,
                           0xBA,
                           uint8_t(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03)),
                           uint8_t(scr >> 20),
                           uint8_t(0x04 | ((scr >> 12) & 0xF8) | ((scr >> 13) & 0x03)),
                           uint8_t(scr >> 5),
                           uint8_t(0x04 | ((scr << 3) & 0xF8)),
                           0x01,
                           0x01,
                           0x89,
                           0xC3,
                           0xF8};
    out.insert(out.end(), b, b + 14);
}

// A video packet filling the rest of a 64-byte pack.
void VideoPacket(std::vector<uint8_t> &out, int64_t pts, const std::vector<uint8_t> &payload)
{
    const size_t start = out.size() % 64;
    const size_t header = pts >= 0 ? 14 : 9;
    const size_t length = 64 - start - 6;
    std::vector<uint8_t> p = {0, 0, 1, 0xE0, uint8_t(length >> 8), uint8_t(length), 0x80};
    if (pts >= 0) {
        p.insert(p.end(), {0x80, 5, uint8_t(0x21 | ((pts >> 29) & 0x0E)), uint8_t(pts >> 22),
                           uint8_t(((pts >> 14) & 0xFE) | 1), uint8_t(pts >> 7),
                           uint8_t(((pts << 1) & 0xFE) | 1)});
    } else {
        p.insert(p.end(), {0x00, 0});
    }
    std::vector<uint8_t> body(64 - start - header, 0xAA);
    std::copy(payload.begin(), payload.end(), body.end() - payload.size());
    if (payload.size() > 0 && payload[0] == 1) // continues a start code: at the front
        std::copy(payload.begin(), payload.end(), body.begin());
    out.insert(out.end(), p.begin(), p.end());
    out.insert(out.end(), body.begin(), body.end());
}

TEST(PackScanner, FindsSequenceHeadersAlsoAcrossPacksAndTimesThemByThePictures)
{
    std::vector<uint8_t> stream;
    // Pack 0: clock at 1 s; the first picture, with its sequence header, at
    // 1.5 s. Pack 1 ends with the first two bytes of the next sequence
    // header; pack 2 goes on with the rest under the stamp of another
    // picture.
    PackHeader(stream, 90000);
    VideoPacket(stream, 135000, {0, 0, 1, 0xB3, 0x16, 0x01});
    PackHeader(stream, 95000);
    VideoPacket(stream, -1, {0x00, 0x00});
    PackHeader(stream, 100000);
    VideoPacket(stream, 999999, {0x01, 0xB3, 0x16});
    ASSERT_EQ(stream.size(), 192u);

    TPackScanner scanner(64);
    // The writer's own stamps of the two I pictures, one second apart.
    scanner.AddKeyframe(1000);
    scanner.AddKeyframe(91000);
    std::vector<TIndexRecord> found;
    // Fed in odd pieces, as writes arrive.
    scanner.Feed(stream.data(), 50, found);
    scanner.Feed(stream.data() + 50, 100, found);
    EXPECT_EQ(found.size(), 1u);
    scanner.Feed(stream.data() + 150, 42, found);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].Offset, 0u);
    EXPECT_EQ(found[0].Millis, 500u);
    EXPECT_EQ(found[1].Offset, 64u); // where its start code begins
    EXPECT_EQ(found[1].Millis, 1500u);
    EXPECT_EQ(scanner.LastEntryMillis(), 1500u);
}

} // namespace
