// The four commands through the real port library, loaded by the binding from the program's
// directory, against reader simulators: in this process on Linux, Linux simulators mapped to COM
// ports under Wine (see reader_ports.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "port_library.h"
#include "reader_link.h"
#include "reader_ports.h"
#include "simulator/reader_simulator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using reader_ports::Reader;
using reader_ports::ReaderPorts;
using std::chrono::milliseconds;

// A tag with a byte the line stuffs, laid on the reader where its tag field is in reach.
constexpr readersim::TagMemory kTag = {0x00, 0x12, 0x34, 0xAA, 0x56, 0x03, 0x84, 0x00,
                                       0x01, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};

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

    ReaderPorts readers;
    std::vector<std::string> shown;
    CReaderLink link;
    std::uint8_t buffer[kReadBufferSize] = {};
};

// Records full of the bytes a line could mistake for control characters go out and come back
// unchanged.
TEST_F(EndToEnd, EachCommand) {
    const bool placed = readers.Place(Reader::Tag, kTag);
    Open(readers.Port(Reader::Tag));
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.Signal(0), 0);
    ASSERT_EQ(link.ReadTag(0, buffer), 0);
    if (placed) {
        EXPECT_EQ(buffer[0], 0);
        EXPECT_TRUE(std::equal(kTag.begin(), kTag.end(), buffer + 1));
    }

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

    if (const auto seen = readers.Look(Reader::Tag)) {
        EXPECT_EQ(seen->beeps, 1);
        std::vector<std::uint16_t> commands;
        for (const readersim::Request& request : seen->requests) {
            EXPECT_TRUE(request.checksumOk);
            EXPECT_EQ(request.address, 0);
            commands.push_back(request.command);
        }
        EXPECT_EQ(commands, (std::vector<std::uint16_t>{
                                RDR_CMD_CHECK, RDR_CMD_SIGNAL, RDR_CMD_READ_TAG, RDR_CMD_WRITE_TAG,
                                RDR_CMD_READ_TAG, RDR_CMD_WRITE_TAG, RDR_CMD_READ_TAG}));
        ASSERT_EQ(seen->requests.size(), 7u);
        EXPECT_EQ(seen->requests[3].data, Bytes(std::begin(shortRecord), std::end(shortRecord)));
        EXPECT_EQ(seen->requests[5].data, Bytes(std::begin(longRecord), std::end(longRecord)));
        ASSERT_TRUE(seen->tag.has_value());
        EXPECT_TRUE(std::equal(std::begin(longRecord), std::end(longRecord), seen->tag->begin()));
    }
}

TEST_F(EndToEnd, ReaderFailureStatusesPassThrough) {
    for (const std::uint8_t status : ReaderPorts::FailureStatuses()) {
        SCOPED_TRACE(int{status});
        Open(readers.StatusPort(status));
        std::fill(std::begin(buffer), std::end(buffer), 0x5A);
        const std::uint8_t record[9] = {};
        EXPECT_EQ(link.Check(0), status);
        EXPECT_EQ(link.ReadTag(0, buffer), status);
        EXPECT_EQ(link.WriteTag(0, record), status);
        EXPECT_EQ(link.Signal(0), status);
        EXPECT_EQ(ReadAnswer(buffer, kReadBufferSize), Bytes(16, 0x5A));
    }
}

TEST_F(EndToEnd, NoTagOnTheReader) {
    Open(readers.Port(Reader::NoTag));
    std::fill(std::begin(buffer), std::end(buffer), 0x5A);
    const std::uint8_t record[9] = {};
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.ReadTag(0, buffer), readersim::kStatusNoTag);
    EXPECT_EQ(link.WriteTag(0, record), readersim::kStatusNoTag);
    EXPECT_EQ(ReadAnswer(buffer, kReadBufferSize), Bytes(16, 0x5A));
    if (const auto seen = readers.Look(Reader::NoTag)) {
        EXPECT_TRUE(seen->written.empty());
    }
}

TEST_F(EndToEnd, SilentReaderFailsAfterTheFirstByteWait) {
    Open(readers.Port(Reader::Silent));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Check(0), 1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(1300));
    EXPECT_LT(waited, milliseconds(4000));
    if (const auto seen = readers.Look(Reader::Silent)) {
        EXPECT_EQ(seen->requests.size(), 1u);
    }
}

// Answers that break the rules never make a command read or write past its buffers (the sanitizer
// build checks); what they return follows from the length and status bytes alone.
TEST_F(EndToEnd, MalformedAnswers) {
    Open(readers.Port(Reader::ShortAnswer));
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);

    Open(readers.Port(Reader::Overlong));
    EXPECT_EQ(link.ReadTag(0, buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    const readersim::TagMemory tag = readersim::BlankTag(1);
    EXPECT_TRUE(std::equal(tag.begin(), tag.end(), buffer + 1));
}

TEST_F(EndToEnd, ClosedPortFailsEveryCommand) {
    Open(readers.Port(Reader::Tag));
    EXPECT_EQ(g_portLibrary.m_pLibrary->CloseComPort(), 1);
    EXPECT_EQ(link.Check(0), 1);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);
    if (const auto seen = readers.Look(Reader::Tag)) {
        EXPECT_TRUE(seen->requests.empty());
    }
}

// A refused library reaches no reader: nothing is called, nothing goes out on the line.
TEST(EndToEndRefusedLibrary, NothingReachesTheReader) {
    ReaderPorts readers;
    const int port = readers.Port(Reader::Tag);
    for (const char* fileName : {CORVANEL_INCOMPLETE, CORVANEL_ABSENT}) {
        SCOPED_TRACE(fileName);
        int messages = 0;
        g_portLibrary.Reset(new CPortLibrary([&](std::string_view) { ++messages; }, fileName));
        EXPECT_EQ(messages, 1);
        const CPortLibrary& library = *g_portLibrary.m_pLibrary;
        EXPECT_EQ(library.CloseComPort(), 1);
        EXPECT_EQ(library.OpenComPort(port, 19200), 0);
        CReaderLink link;
        EXPECT_NE(link.Check(0), 0);
        EXPECT_NE(link.Signal(0), 0);
        g_portLibrary.Reset();
    }
    std::this_thread::sleep_for(milliseconds(100));
    if (const auto seen = readers.Look(Reader::Tag)) {
        EXPECT_TRUE(seen->requests.empty());
    }
}

}  // namespace
