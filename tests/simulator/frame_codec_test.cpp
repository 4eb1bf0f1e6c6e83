#include "frame_codec.h"

#include <gtest/gtest.h>

#include "reader_simulator.h"

namespace readersim {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<ParsedFrame> ParseAll(const Bytes& line) {
    FrameParser parser;
    std::vector<ParsedFrame> frames;
    for (std::uint8_t b : line) {
        if (auto frame = parser.Feed(b)) {
            frames.push_back(*frame);
        }
    }
    return frames;
}

TEST(BuildFrame, KnownWireForms) {
    struct Case {
        std::uint16_t address;
        std::uint16_t command;
        Bytes data;
        Bytes wire;
    };
    const Case cases[] = {
        {0, kCmdCheck, {}, {0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00}},
        {0, kCmdSignal, {}, {0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x06, 0x01, 0x07}},
        {0,
         kCmdCheck,
         {0xAA},
         {0xAA, 0xBB, 0x06, 0x00, 0x00, 0x00, 0x01, 0x01, 0xAA, 0x00, 0xAA, 0x00}},
        {0x00AA, kCmdCheck, {}, {0xAA, 0xBB, 0x05, 0x00, 0xAA, 0x00, 0x00, 0x01, 0x01, 0xAA, 0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildFrame(c.address, c.command, c.data), c.wire);
    }
    const Bytes longData(165, 0x01);
    const Bytes wire = BuildFrame(0, kCmdWriteTag, longData);
    EXPECT_EQ(wire[2], 0xAA);
    EXPECT_EQ(wire[3], 0x00);
}

TEST(FrameParser, RoundTripsAndResynchronises) {
    const Bytes data{0xAA, 0x00, 0xBB, 0xAA, 0xAA, 0x13, 0x11, 0xFF, 0x01};
    const Bytes frame = BuildFrame(0x00AA, kCmdWriteTag, data);
    struct Case {
        const char* name;
        Bytes line;
    };
    Bytes truncatedThenFrame{0xAA, 0xBB, 0x0E, 0x00, 0x00};
    truncatedThenFrame.insert(truncatedThenFrame.end(), frame.begin(), frame.end());
    Bytes garbageThenFrame{0x00, 0xAA, 0x01, 0xBB, 0xAA, 0xAA};
    garbageThenFrame.insert(garbageThenFrame.end(), frame.begin(), frame.end());
    Bytes badLengthThenFrame{0xAA, 0xBB, 0x03, 0x00};
    badLengthThenFrame.insert(badLengthThenFrame.end(), frame.begin(), frame.end());
    const Case cases[] = {
        {"plain", frame},
        {"truncated frame first", truncatedThenFrame},
        {"garbage first", garbageThenFrame},
        {"length below 5 first", badLengthThenFrame},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ParsedFrame> frames = ParseAll(c.line);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].address, 0x00AA);
        EXPECT_EQ(frames[0].command, kCmdWriteTag);
        EXPECT_EQ(frames[0].data, data);
        EXPECT_TRUE(frames[0].checksumOk);
    }
}

TEST(FrameParser, FlagsBadChecksum) {
    Bytes frame = BuildFrame(0, kCmdCheck, {});
    frame.back() ^= 0x01;
    const std::vector<ParsedFrame> frames = ParseAll(frame);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].checksumOk);
}

TEST(BlankTag, DistinctAndNonZero) {
    const TagMemory zero{};
    EXPECT_NE(BlankTag(1), zero);
    EXPECT_NE(BlankTag(1), BlankTag(2));
    const TagMemory tag = BlankTag(7);
    std::uint64_t national = 0;
    for (int i = 0; i < 5; ++i) {
        national = national << 8 | tag[i];
    }
    EXPECT_EQ(national, 100000000007u);
    EXPECT_EQ(tag[5] << 8 | tag[6], 999);
}

}  // namespace
}  // namespace readersim
