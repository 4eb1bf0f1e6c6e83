// The four commands through the real libcorvanel.so, loaded by the binding, against the reader
// simulator on a pseudo-terminal.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "port_library.h"
#include "reader_link.h"
#include "reader_simulator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

constexpr std::int32_t kPort = 3;
constexpr readersim::TagMemory kTag = {0x00, 0x12, 0x34, 0xAA, 0x56, 0x03, 0x84, 0x00,
                                       0x01, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(setenv("CORVANEL_COM3", simulator.devicePath().c_str(), 1), 0);
        g_portLibrary.Reset(new CPortLibrary(
            [this](std::string_view text) { shown.emplace_back(text); }, kPortLibraryFileName));
        ASSERT_TRUE(g_portLibrary.m_pLibrary->IsBound());
        ASSERT_TRUE(shown.empty());
        ASSERT_EQ(g_portLibrary.m_pLibrary->CloseComPort(), 1);
        ASSERT_EQ(g_portLibrary.m_pLibrary->OpenComPort(kPort, 19200), 1);
        simulator.placeTag(kTag);
    }
    void TearDown() override {
        // Unloading the library closes the port.
        g_portLibrary.Reset();
        unsetenv("CORVANEL_COM3");
    }

    std::vector<std::uint16_t> CommandsReceived() const {
        std::vector<std::uint16_t> commands;
        for (const readersim::Request& request : simulator.requests()) {
            EXPECT_TRUE(request.checksumOk);
            EXPECT_EQ(request.address, 0);
            commands.push_back(request.command);
        }
        return commands;
    }

    readersim::ReaderSimulator simulator;
    std::vector<std::string> shown;
    CReaderLink link;
    std::uint8_t buffer[kReadBufferSize] = {};
};

TEST_F(EndToEnd, EachCommand) {
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.Signal(0), 0);
    EXPECT_EQ(simulator.beepCount(), 1);

    EXPECT_EQ(link.ReadTag(0, buffer), 0);
    EXPECT_EQ(Bytes(std::begin(buffer), std::end(buffer)), [] {
        Bytes read{0x00};
        read.insert(read.end(), kTag.begin(), kTag.end());
        return read;
    }());

    const std::uint8_t shortRecord[9] = {0x00, 0x00, 0x00, 0x30, 0x39, 0x03, 0x84, 0x00, 0x01};
    EXPECT_EQ(link.WriteTag(0, shortRecord), 0);
    const std::uint8_t longRecord[12] = {0xAA, 0x01, 0x02, 0x03, 0x04, 0x03,
                                         0x84, 0x01, 0x01, 0x0A, 0x0B, 0x0C};
    EXPECT_EQ(link.WriteTag(0, longRecord), 0);
    const std::vector<readersim::Request> requests = simulator.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[3].data, Bytes(std::begin(shortRecord), std::end(shortRecord)));
    EXPECT_EQ(requests[4].data, Bytes(std::begin(longRecord), std::end(longRecord)));
    EXPECT_EQ(CommandsReceived(),
              (std::vector<std::uint16_t>{RDR_CMD_CHECK, RDR_CMD_SIGNAL, RDR_CMD_READ_TAG,
                                          RDR_CMD_WRITE_TAG, RDR_CMD_WRITE_TAG}));
    ASSERT_TRUE(simulator.currentTag().has_value());
    EXPECT_TRUE(
        std::equal(std::begin(longRecord), std::end(longRecord), simulator.currentTag()->begin()));
}

TEST_F(EndToEnd, ReaderFailureStatusesPassThrough) {
    for (const std::uint8_t status : {std::uint8_t{0x05}, std::uint8_t{0xAA}, std::uint8_t{0xFF}}) {
        SCOPED_TRACE(int{status});
        readersim::Options options = simulator.options();
        options.fault = readersim::Fault::Status;
        options.faultStatus = status;
        simulator.setOptions(options);
        std::fill(std::begin(buffer), std::end(buffer), 0x5A);
        const std::uint8_t record[9] = {};
        EXPECT_EQ(link.Check(0), status);
        EXPECT_EQ(link.ReadTag(0, buffer), status);
        EXPECT_EQ(link.WriteTag(0, record), status);
        EXPECT_EQ(link.Signal(0), status);
        EXPECT_EQ(Bytes(std::begin(buffer), std::end(buffer)), Bytes(16, 0x5A));
    }
}

TEST_F(EndToEnd, NoTagOnTheReader) {
    simulator.removeTag();
    std::fill(std::begin(buffer), std::end(buffer), 0x5A);
    const std::uint8_t record[9] = {};
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.ReadTag(0, buffer), readersim::kStatusNoTag);
    EXPECT_EQ(link.WriteTag(0, record), readersim::kStatusNoTag);
    EXPECT_EQ(Bytes(std::begin(buffer), std::end(buffer)), Bytes(16, 0x5A));
    EXPECT_TRUE(simulator.writtenTags().empty());
}

TEST_F(EndToEnd, SilentReaderFailsAfterTheFirstByteWait) {
    simulator.setFault(readersim::Fault::Silent);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Check(0), 1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(1300));
    EXPECT_LT(waited, milliseconds(4000));
    EXPECT_EQ(simulator.requests().size(), 1u);
}

// Answers that break the rules never make a command read or write past its buffers (the sanitizer
// build checks); what they return follows from the length and status bytes alone.
TEST_F(EndToEnd, MalformedAnswers) {
    simulator.setFault(readersim::Fault::ShortAnswer);
    EXPECT_EQ(link.Check(0), 0);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);

    simulator.setFault(readersim::Fault::Overlong);
    EXPECT_EQ(link.ReadTag(0, buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_TRUE(std::equal(kTag.begin(), kTag.end(), buffer + 1));
}

TEST_F(EndToEnd, ClosedPortFailsEveryCommand) {
    EXPECT_EQ(g_portLibrary.m_pLibrary->CloseComPort(), 1);
    EXPECT_EQ(link.Check(0), 1);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);
    EXPECT_TRUE(simulator.requests().empty());
}

// A refused library reaches no reader: nothing is called, nothing goes out on the line.
TEST(EndToEndRefusedLibrary, NothingReachesTheReader) {
    readersim::ReaderSimulator simulator;
    ASSERT_EQ(setenv("CORVANEL_COM3", simulator.devicePath().c_str(), 1), 0);
    for (const char* fileName : {"libcorvanel_incomplete.so", "libcorvanel_absent.so"}) {
        SCOPED_TRACE(fileName);
        int messages = 0;
        g_portLibrary.Reset(new CPortLibrary([&](std::string_view) { ++messages; }, fileName));
        EXPECT_EQ(messages, 1);
        const CPortLibrary& library = *g_portLibrary.m_pLibrary;
        EXPECT_EQ(library.CloseComPort(), 1);
        EXPECT_EQ(library.OpenComPort(kPort, 19200), 0);
        CReaderLink link;
        EXPECT_NE(link.Check(0), 0);
        EXPECT_NE(link.Signal(0), 0);
        g_portLibrary.Reset();
    }
    EXPECT_FALSE(simulator.waitForRequests(1, milliseconds(100)));
    unsetenv("CORVANEL_COM3");
}

}  // namespace
