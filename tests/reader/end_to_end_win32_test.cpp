// The four commands through the real Corvanel.dll, loaded by the binding from the program's
// directory, under Wine against Linux reader simulators mapped to COM ports
// (scripts/windows-readers.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "port_library.h"
#include "reader_link.h"
#include "simulator/reader_simulator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

constexpr std::int32_t kReaderPort = 3;
constexpr std::int32_t kNoTagPort = 4;
constexpr std::int32_t kSilentPort = 5;
constexpr std::int32_t kOverlongPort = 8;
constexpr std::int32_t kShortAnswerPort = 9;
constexpr std::int32_t kStatusPort = 10;
constexpr std::uint8_t kFaultStatus = 0x05;

Bytes ReadAnswer(const std::uint8_t (&buffer)[kReadBufferSize], std::size_t length) {
    return Bytes(buffer, buffer + length);
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override {
        g_portLibrary.Reset(new CPortLibrary(
            [this](std::string_view text) { shown.emplace_back(text); }, kPortLibraryFileName));
        ASSERT_TRUE(g_portLibrary.m_pLibrary->IsBound());
        ASSERT_TRUE(shown.empty());
    }
    // Unloading the library closes the port.
    void TearDown() override { g_portLibrary.Reset(); }

    void Open(std::int32_t port) {
        ASSERT_EQ(g_portLibrary.m_pLibrary->CloseComPort(), 1);
        ASSERT_EQ(g_portLibrary.m_pLibrary->OpenComPort(port, 19200), 1) << "COM" << port;
    }

    std::vector<std::string> shown;
    CReaderLink link;
    std::uint8_t buffer[kReadBufferSize] = {};
};

// Records full of the bytes a line could mistake for control characters go out and come back
// unchanged.
TEST_F(EndToEnd, EachCommand) {
    Open(kReaderPort);
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.Signal(0), 0);

    const std::uint8_t shortRecord[9] = {0x11, 0x13, 0xAA, 0x0D, 0x0A, 0x1A, 0xFF, 0x00, 0x01};
    ASSERT_EQ(link.WriteTag(0, shortRecord), 0);
    ASSERT_EQ(link.ReadTag(0, buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(ReadAnswer(buffer, 10),
              (Bytes{0x00, 0x11, 0x13, 0xAA, 0x0D, 0x0A, 0x1A, 0xFF, 0x00, 0x01}));

    const std::uint8_t longRecord[12] = {0xAA, 0x01, 0x7F, 0x80, 0x04, 0x03,
                                         0x84, 0x01, 0x01, 0x1B, 0x08, 0x03};
    ASSERT_EQ(link.WriteTag(0, longRecord), 0);
    ASSERT_EQ(link.ReadTag(0, buffer), 0);
    EXPECT_TRUE(std::equal(std::begin(longRecord), std::end(longRecord), buffer + 1));
}

TEST_F(EndToEnd, ReaderFailureStatusesPassThrough) {
    Open(kStatusPort);
    std::fill(std::begin(buffer), std::end(buffer), 0x5A);
    const std::uint8_t record[9] = {};
    EXPECT_EQ(link.Check(0), kFaultStatus);
    EXPECT_EQ(link.ReadTag(0, buffer), kFaultStatus);
    EXPECT_EQ(link.WriteTag(0, record), kFaultStatus);
    EXPECT_EQ(link.Signal(0), kFaultStatus);
    EXPECT_EQ(ReadAnswer(buffer, kReadBufferSize), Bytes(16, 0x5A));
}

TEST_F(EndToEnd, NoTagOnTheReader) {
    Open(kNoTagPort);
    std::fill(std::begin(buffer), std::end(buffer), 0x5A);
    const std::uint8_t record[9] = {};
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.ReadTag(0, buffer), readersim::kStatusNoTag);
    EXPECT_EQ(link.WriteTag(0, record), readersim::kStatusNoTag);
    EXPECT_EQ(ReadAnswer(buffer, kReadBufferSize), Bytes(16, 0x5A));
}

TEST_F(EndToEnd, SilentReaderFailsAfterTheFirstByteWait) {
    Open(kSilentPort);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Check(0), 1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(1300));
    EXPECT_LT(waited, milliseconds(4000));
}

TEST_F(EndToEnd, MalformedAnswers) {
    Open(kShortAnswerPort);
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);

    Open(kOverlongPort);
    EXPECT_EQ(link.ReadTag(0, buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    const readersim::TagMemory tag = readersim::BlankTag(1);
    EXPECT_TRUE(std::equal(tag.begin(), tag.end(), buffer + 1));
}

TEST_F(EndToEnd, ClosedPortFailsEveryCommand) {
    Open(kReaderPort);
    EXPECT_EQ(g_portLibrary.m_pLibrary->CloseComPort(), 1);
    EXPECT_EQ(link.Check(0), 1);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);
}

// A refused library reaches no reader: nothing is called, every command fails.
TEST(EndToEndRefusedLibrary, NothingReachesTheReader) {
    for (const char* fileName : {CORVANEL_INCOMPLETE, "corvanel_absent.dll"}) {
        SCOPED_TRACE(fileName);
        int messages = 0;
        g_portLibrary.Reset(new CPortLibrary([&](std::string_view) { ++messages; }, fileName));
        EXPECT_EQ(messages, 1);
        const CPortLibrary& library = *g_portLibrary.m_pLibrary;
        EXPECT_EQ(library.CloseComPort(), 1);
        EXPECT_EQ(library.OpenComPort(kReaderPort, 19200), 0);
        CReaderLink link;
        EXPECT_NE(link.Check(0), 0);
        EXPECT_NE(link.Signal(0), 0);
        g_portLibrary.Reset();
    }
}

}  // namespace
