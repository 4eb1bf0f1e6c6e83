#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake_port_library.h"
#include "port_library.h"
#include "reader_link.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RequestOf(const CReaderFrame& frame) {
    return Bytes(frame.m_abRequest, frame.m_abRequest + frame.m_nRequestLength);
}

Bytes Repeat(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct FrameCase {
    std::string name;
    std::uint16_t address;
    std::uint16_t command;
    Bytes data;
    Bytes wire;
};

TEST(ReaderFrame, BuildsStuffedRequests) {
    const FrameCase cases[] = {
        {"check", 0, RDR_CMD_CHECK, {}, {0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00}},
        {"read tag",
         0,
         RDR_CMD_READ_TAG,
         {},
         {0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x01, 0x03, 0x02}},
        {"signal", 0, RDR_CMD_SIGNAL, {}, {0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x06, 0x01, 0x07}},
        {"write tag, 9 data bytes", 0, RDR_CMD_WRITE_TAG, Repeat(9, 0),
         Concat({{0xAA, 0xBB, 0x0E, 0x00, 0x00, 0x00, 0x02, 0x03}, Repeat(9, 0), {0x01}})},
        {"address high byte and command bytes",
         0x1234,
         0x5678,
         {0x9A},
         {0xAA, 0xBB, 0x06, 0x00, 0x34, 0x12, 0x56, 0x78, 0x9A, 0x34 ^ 0x12 ^ 0x56 ^ 0x78 ^ 0x9A}},
        {"0xAA in data and checksum",
         0,
         RDR_CMD_CHECK,
         {0xAA},
         {0xAA, 0xBB, 0x06, 0x00, 0x00, 0x00, 0x01, 0x01, 0xAA, 0x00, 0xAA, 0x00}},
        {"0xAA in address low byte and checksum",
         0x00AA,
         RDR_CMD_CHECK,
         {},
         {0xAA, 0xBB, 0x05, 0x00, 0xAA, 0x00, 0x00, 0x01, 0x01, 0xAA, 0x00}},
        {"0xAA in both address and both command bytes",
         0xAAAA,
         0xAAAA,
         {},
         {0xAA, 0xBB, 0x05, 0x00, 0xAA, 0x00, 0xAA, 0x00, 0xAA, 0x00, 0xAA, 0x00, 0x00}},
        {"length byte 0xAA (165 data bytes)", 0, RDR_CMD_CHECK, Repeat(165, 0),
         Concat({{0xAA, 0xBB, 0xAA, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01}, Repeat(165, 0), {0x00}})},
        {"largest request: 250 data bytes of 0xAA", 0, RDR_CMD_CHECK, Repeat(250, 0xAA),
         Concat({{0xAA, 0xBB, 0xFF, 0x00, 0x00, 0x00, 0x01, 0x01},
                 [] {
                     Bytes stuffed;
                     for (int i = 0; i < 250; ++i) {
                         stuffed.insert(stuffed.end(), {0xAA, 0x00});
                     }
                     return stuffed;
                 }(),
                 {0x00}})},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CReaderFrame frame(c.address, c.command, c.data.data(), c.data.size());
        EXPECT_EQ(RequestOf(frame), c.wire);
        EXPECT_EQ(frame.m_nResponseCount, 0);
    }
}

TEST(ReaderFrame, UnframeableRequestStaysEmpty) {
    const Bytes tooLong(kMaxFrameData + 1, 0x11);
    EXPECT_EQ(CReaderFrame(0, RDR_CMD_CHECK, tooLong.data(), tooLong.size()).m_nRequestLength, 0u);
    EXPECT_EQ(CReaderFrame(0, RDR_CMD_CHECK, nullptr, 3).m_nRequestLength, 0u);
}

struct UnstuffCase {
    std::string name;
    Bytes received;
    Bytes unstuffed;
};

TEST(ReaderFrame, Unstuffs) {
    const UnstuffCase cases[] = {
        {"wire form of a request",
         {0xAA, 0xBB, 0x06, 0x00, 0x00, 0x00, 0x01, 0x01, 0xAA, 0x00, 0xAA, 0x00},
         {0xAA, 0xBB, 0x06, 0x00, 0x00, 0x00, 0x01, 0x01, 0xAA, 0xAA}},
        {"header bytes are never unstuffed", {0xAA, 0xAA, 0x01, 0x02}, {0xAA, 0xAA, 0x01, 0x02}},
        {"byte after 0xAA skipped whatever its value",
         {0, 0, 0xAA, 0x55, 0x66},
         {0, 0, 0xAA, 0x66}},
        {"0xAA as the last byte", {0, 0, 0x01, 0xAA}, {0, 0, 0x01, 0xAA}},
        {"nothing to unstuff", {0xAA, 0xBB, 0x05}, {0xAA, 0xBB, 0x05}},
        {"one byte", {0xAA}, {0xAA}},
    };
    for (const UnstuffCase& c : cases) {
        SCOPED_TRACE(c.name);
        CReaderFrame frame(0, RDR_CMD_CHECK, nullptr, 0);
        std::copy(c.received.begin(), c.received.end(), frame.m_abResponse);
        frame.m_nResponseCount = static_cast<std::int32_t>(c.received.size());
        frame.Unstuff();
        ASSERT_EQ(frame.m_nResponseCount, static_cast<std::int32_t>(c.unstuffed.size()));
        EXPECT_EQ(Bytes(frame.m_abResponse, frame.m_abResponse + c.unstuffed.size()), c.unstuffed);
        // Vacated positions keep what they held.
        EXPECT_EQ(
            Bytes(frame.m_abResponse + c.unstuffed.size(), frame.m_abResponse + c.received.size()),
            Bytes(c.received.begin() + static_cast<std::ptrdiff_t>(c.unstuffed.size()),
                  c.received.end()));
    }
}

TEST(ReaderFrame, UnstuffNeverTrustsTheCount) {
    const std::int32_t counts[] = {0, -1, -100000, 1025, 5000, INT32_MAX};
    for (const std::int32_t count : counts) {
        SCOPED_TRACE(count);
        CReaderFrame frame(0, RDR_CMD_CHECK, nullptr, 0);
        std::fill(std::begin(frame.m_abResponse), std::end(frame.m_abResponse), 0x11);
        frame.m_nResponseCount = count;
        frame.Unstuff();
        EXPECT_EQ(frame.m_nResponseCount, count <= 0 ? 0 : 1024);
    }
}

TEST(ReaderFrame, DataLengthFromLengthByte) {
    const std::pair<std::uint8_t, int> cases[] = {{0, 0},   {4, 0},   {5, 0},     {6, 1},
                                                  {15, 10}, {16, 11}, {0xFF, 250}};
    for (const auto& [lengthByte, expected] : cases) {
        CReaderFrame frame(0, RDR_CMD_CHECK, nullptr, 0);
        frame.m_abResponse[2] = lengthByte;
        EXPECT_EQ(frame.DataLength(), expected) << "length byte " << int{lengthByte};
    }
}

TEST(ReaderFrame, CopyDataStopsAtTheResponseArea) {
    CReaderFrame frame(0, RDR_CMD_CHECK, nullptr, 0);
    for (std::size_t i = 0; i < kFrameAreaSize; ++i) {
        frame.m_abResponse[i] = static_cast<std::uint8_t>(i);
    }
    frame.m_abResponse[2] = 0xFF;
    Bytes destination(2000, 0xEE);
    frame.CopyData(destination.data(), destination.size());
    EXPECT_EQ(Bytes(destination.begin(), destination.begin() + 1016),
              Bytes(frame.m_abResponse + 8, frame.m_abResponse + kFrameAreaSize));
    EXPECT_EQ(destination[1016], 0xEE);

    frame.m_abResponse[2] = 5;
    Bytes untouched(4, 0xEE);
    frame.CopyData(untouched.data(), untouched.size());
    EXPECT_EQ(untouched, Bytes(4, 0xEE));
}

struct Results {
    int check, readTag, writeTag, signal;
};

// The four commands against a scripted reader.
class ReaderCommands : public ::testing::Test {
protected:
    void SetUp() override {
        g_fakeTransport = FakeTransport{};
        g_portLibrary.Reset(new FakePortLibrary);
    }
    void TearDown() override { g_portLibrary.Reset(); }

    static Bytes SentRequest() {
        return Bytes(g_fakeTransport.request,
                     g_fakeTransport.request + g_fakeTransport.requestLength);
    }

    // An unstuffed answer with the given length byte and data (status byte first), stuffed.
    static void Answer(std::uint8_t lengthByte, const Bytes& data) {
        Bytes wire = {0xAA, 0xBB, lengthByte, 0x00, 0x00, 0x00, 0x01, 0x03};
        if (lengthByte == 0xAA) {
            wire.insert(wire.begin() + 3, 0x00);
        }
        for (const std::uint8_t byte : data) {
            wire.push_back(byte);
            if (byte == 0xAA) {
                wire.push_back(0x00);
            }
        }
        wire.push_back(0x00);
        g_fakeTransport.SetAnswer(wire.data(), wire.size());
    }

    Results RunAll() {
        const std::uint8_t record[9] = {};
        return {link.Check(0), link.ReadTag(0, buffer), link.WriteTag(0, record), link.Signal(0)};
    }

    CReaderLink link;
    std::uint8_t buffer[kReadBufferSize] = {};
};

TEST_F(ReaderCommands, SendTheirFrames) {
    g_fakeTransport.SetAnswer({0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00});
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(SentRequest(), Bytes({0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00}));
    EXPECT_EQ(link.Signal(0), 0);
    EXPECT_EQ(SentRequest(), Bytes({0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x06, 0x01, 0x07}));
    link.ReadTag(0, buffer);
    EXPECT_EQ(SentRequest(), Bytes({0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x01, 0x03, 0x02}));

    const std::uint8_t shortRecord[16] = {};
    EXPECT_EQ(link.WriteTag(0, shortRecord), 0);
    EXPECT_EQ(SentRequest(),
              Concat({{0xAA, 0xBB, 0x0E, 0x00, 0x00, 0x00, 0x02, 0x03}, Repeat(9, 0), {0x01}}));

    const std::uint8_t longRecord[12] = {1, 2, 3, 4, 5, 6, 7, 0x80, 9, 10, 11, 12};
    EXPECT_EQ(link.WriteTag(0, longRecord), 0);
    EXPECT_EQ(SentRequest(),
              Concat({{0xAA, 0xBB, 0x11, 0x00, 0x00, 0x00, 0x02, 0x03},
                      Bytes(std::begin(longRecord), std::end(longRecord)),
                      {0x02 ^ 0x03 ^ 1 ^ 2 ^ 3 ^ 4 ^ 5 ^ 6 ^ 7 ^ 0x80 ^ 9 ^ 10 ^ 11 ^ 12}}));
    EXPECT_EQ(g_fakeTransport.calls, 5);
}

TEST_F(ReaderCommands, WriteTagRefusesARecordShorterThanItsForm) {
    const std::uint8_t eight[8] = {};
    const std::uint8_t nineWithLongForm[9] = {0, 0, 0, 0, 0, 0, 0, 1, 0};
    EXPECT_EQ(link.WriteTag(0, eight), 1);
    EXPECT_EQ(link.WriteTag(0, nineWithLongForm), 1);
    EXPECT_EQ(link.WriteTag(0, {}), 1);
    EXPECT_EQ(g_fakeTransport.calls, 0);
}

TEST_F(ReaderCommands, TransportFailurePassesThroughUnchanged) {
    for (const std::int32_t failure : {1, 7, -3}) {
        g_fakeTransport.result = failure;
        std::fill(std::begin(buffer), std::end(buffer), 0x5A);
        const Results r = RunAll();
        EXPECT_EQ(r.check, failure);
        EXPECT_EQ(r.readTag, failure);
        EXPECT_EQ(r.writeTag, failure);
        EXPECT_EQ(r.signal, failure);
        EXPECT_EQ(Bytes(std::begin(buffer), std::end(buffer)), Bytes(16, 0x5A));
    }
}

TEST_F(ReaderCommands, WithoutABindingNothingIsAttached) {
    g_portLibrary.Reset();
    const Results r = RunAll();
    EXPECT_EQ(r.check, 1);
    EXPECT_EQ(r.readTag, 1);
    EXPECT_EQ(r.writeTag, 1);
    EXPECT_EQ(r.signal, 1);

    // A binding whose load failed has no entry points; its calls act as if no reader were there.
    g_portLibrary.Reset(new CPortLibrary(nullptr, "libdoes_not_exist.so"));
    EXPECT_FALSE(g_portLibrary.m_pLibrary->IsBound());
    EXPECT_EQ(g_portLibrary.m_pLibrary->OpenComPort(1, 19200), 0);
    EXPECT_EQ(g_portLibrary.m_pLibrary->CloseComPort(), 1);
    EXPECT_EQ(link.Check(0), 1);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);
    EXPECT_EQ(g_fakeTransport.calls, 0);
}

struct AnswerCase {
    std::string name;
    std::uint8_t lengthByte;
    Bytes data;  // status byte first
    Results expected;
    Bytes readBuffer;  // ReadTag's destination afterwards (filled with 0x5A before)
};

TEST_F(ReaderCommands, AnswerRules) {
    const Bytes record15 = {0, 1, 2, 3, 4, 0xAA, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    const Bytes untouched(16, 0x5A);
    auto readOf = [&](std::size_t copied, const Bytes& data) {
        Bytes expected = untouched;
        std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(copied),
                  expected.begin());
        return expected;
    };
    const Bytes data11 = Concat({{0}, Bytes(record15.begin(), record15.begin() + 10)});
    const Bytes data16 = Concat({{0}, record15});
    const Bytes data40 = Concat({{0}, record15, Repeat(24, 0xAA)});
    const AnswerCase cases[] = {
        {"reader failure status 5", 6, {0x05}, {5, 5, 5, 5}, untouched},
        {"reader failure status 0xAA",
         16,
         Concat({{0xAA}, Repeat(10, 0)}),
         {0xAA, 0xAA, 0xAA, 0xAA},
         untouched},
        {"data length 10 is too little for a read", 15, Repeat(10, 0), {0, 1, 0, 0}, untouched},
        {"data length 11 copies 11 bytes", 16, data11, {0, 0, 0, 0}, readOf(11, data11)},
        {"data length 16 fills the read buffer", 21, data16, {0, 0, 0, 0}, readOf(16, data16)},
        {"longer data copies the first 16 bytes", 45, data40, {0, 0, 0, 0}, readOf(16, data40)},
        {"length byte 0xAA",
         0xAA,
         Concat({data16, Repeat(149, 1)}),
         {0, 0, 0, 0},
         readOf(16, data16)},
        {"length byte below 5", 3, Repeat(20, 0), {0, 1, 0, 0}, untouched},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        Answer(c.lengthByte, c.data);
        std::fill(std::begin(buffer), std::end(buffer), 0x5A);
        const Results r = RunAll();
        EXPECT_EQ(r.check, c.expected.check);
        EXPECT_EQ(r.readTag, c.expected.readTag);
        EXPECT_EQ(r.writeTag, c.expected.writeTag);
        EXPECT_EQ(r.signal, c.expected.signal);
        EXPECT_EQ(Bytes(std::begin(buffer), std::end(buffer)), c.readBuffer);
    }
}

TEST_F(ReaderCommands, ShortAnswersReadAsStatusZero) {
    // Nothing past the bytes received is looked at but the zero-filled area.
    for (const Bytes& answer : {Bytes{0xAA, 0xBB, 0x05, 0x00, 0x00}, Bytes{0x00}, Bytes{0xAA}}) {
        g_fakeTransport.SetAnswer(answer.data(), answer.size());
        std::fill(std::begin(buffer), std::end(buffer), 0x5A);
        const Results r = RunAll();
        EXPECT_EQ(r.check, 0);
        EXPECT_EQ(r.readTag, 1);
        EXPECT_EQ(r.writeTag, 0);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(Bytes(std::begin(buffer), std::end(buffer)), Bytes(16, 0x5A));
    }
}

TEST_F(ReaderCommands, ReportedCountIsNeverTrusted) {
    Bytes full(kFrameAreaSize, 0x11);
    full[2] = 0x30;
    full[8] = 0;
    g_fakeTransport.SetAnswer(full.data(), full.size());
    g_fakeTransport.overrideCount = true;
    for (const std::int32_t count : {1025, 1 << 20, INT32_MAX, -1, INT32_MIN}) {
        SCOPED_TRACE(count);
        g_fakeTransport.reportedCount = count;
        EXPECT_EQ(link.Check(0), 0);
        EXPECT_EQ(link.ReadTag(0, buffer), 0);
    }
}

}  // namespace
