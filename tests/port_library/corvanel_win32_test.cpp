// Corvanel.dll through its C entry points under Wine, against Linux reader simulators on
// pseudo-terminals that scripts/windows-readers.sh maps to COM ports: one simulator per
// behaviour, since a simulator in another process keeps the fault it was started with. The
// library's port object is process-wide, so every test ends closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "corvanel.h"
#include "exchange_support.h"
#include "simulator/reader_simulator.h"

namespace {

using namespace std::chrono_literals;
using namespace exchange_support;

// The ports of scripts/windows-readers.sh.
constexpr int kAbsentPort = 1;
constexpr int kReaderPort = 3;
constexpr int kNoTagPort = 4;
constexpr int kSilentPort = 5;
constexpr int kTwoBurstsPort = 6;
constexpr int kStaleBytesPort = 7;
constexpr int kOverlongPort = 8;
constexpr int kShortAnswerPort = 9;

const Bytes kReadTag = readersim::BuildFrame(0, readersim::kCmdReadTag, {});

// The status byte of a read-tag answer.
std::uint8_t ReadTagStatus() {
    const Bytes answer = Communicate(kReadTag).Answer();
    return answer.size() > 8 ? answer[8] : 0xFF;
}

class Corvanel : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(CloseComPort(), 1); }
    static void Open(int port) { ASSERT_EQ(OpenComPort(port, kBaud), 1) << "COM" << port; }
};

TEST_F(Corvanel, ConstantEntryPoints) {
    Open(kReaderPort);
    EXPECT_EQ(GetCOMDLLVersion(), 0);
    EXPECT_EQ(OpenLPTPort(1, 2), 0);
    EXPECT_EQ(CloseLPTPort(), 0);
    FreeComData(nullptr);
    FreeComData(std::malloc(16));
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the LPT calls left the port alone";
}

TEST_F(Corvanel, OpenAndClose) {
    EXPECT_EQ(CloseComPort(), 1) << "nothing open";
    Open(kReaderPort);
    EXPECT_EQ(OpenComPort(kReaderPort, kBaud), 1) << "the same port again";
    EXPECT_EQ(Communicate(kCheck).result, 0);
    EXPECT_EQ(CloseComPort(), 1);
    EXPECT_EQ(CloseComPort(), 1);
    const Exchange closed = Communicate(kCheck);
    EXPECT_EQ(closed.result, 1);
    EXPECT_EQ(closed.count, kUntouched);
}

TEST_F(Corvanel, FailedOpenLeavesNoPortOpen) {
    for (const int port : {kAbsentPort, 0, -1}) {
        Open(kReaderPort);
        EXPECT_EQ(OpenComPort(port, kBaud), 0) << "COM" << port;
        const Exchange x = Communicate(kCheck);
        EXPECT_EQ(x.result, 1) << "COM" << port << ": the earlier port was closed";
        EXPECT_EQ(x.count, kUntouched);
    }
}

TEST_F(Corvanel, OpeningAnotherPortMovesTheLine) {
    Open(kReaderPort);
    EXPECT_EQ(ReadTagStatus(), readersim::kStatusOk);
    Open(kNoTagPort);
    EXPECT_EQ(ReadTagStatus(), readersim::kStatusNoTag) << "the empty reader answers now";
    Open(kReaderPort);
    EXPECT_EQ(ReadTagStatus(), readersim::kStatusOk);
}

TEST_F(Corvanel, ExchangeDeliversTheAnswer) {
    Open(kReaderPort);
    for (int round = 0; round < 3; ++round) {
        const Exchange x = Communicate(kCheck);
        EXPECT_EQ(x.result, 0);
        EXPECT_EQ(x.Answer(), kCheckAnswer);
        EXPECT_TRUE(x.GuardIntact());
        EXPECT_LT(x.Ms(), 1000);
    }
}

TEST_F(Corvanel, NothingToSendFailsWithCountUntouched) {
    Exchange x;
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, x.area.data(), &x.count), 1) << "no port";
    EXPECT_EQ(x.count, kUntouched);
    Open(kReaderPort);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 0, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), -1, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(nullptr, 9, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, nullptr, &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, x.area.data(), nullptr), 1);
    EXPECT_EQ(x.count, kUntouched);
}

TEST_F(Corvanel, SilentReaderTimesOutAfterFirstByteWait) {
    Open(kSilentPort);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 1);
    EXPECT_EQ(x.count, 0);
    EXPECT_GE(x.Ms(), 1350);
    EXPECT_LE(x.Ms(), 2000);
}

TEST_F(Corvanel, PauseEndsTheAnswerAndTheRestIsDropped) {
    Open(kTwoBurstsPort);
    const Exchange first = Communicate(kCheck);
    EXPECT_EQ(first.result, 0);
    EXPECT_TRUE(IsPrefix(first.Answer(), kCheckAnswer));
    EXPECT_LT(first.Answer().size(), kCheckAnswer.size()) << "only the first burst";
    // The second burst comes 80 ms after the first (scripts/windows-readers.sh).
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Communicate(kCheck).Answer(), first.Answer()) << "the second burst was dropped";
}

TEST_F(Corvanel, BytesBeforeTheRequestNeverReachTheAnswer) {
    Open(kStaleBytesPort);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "late tail of an earlier answer";
}

TEST_F(Corvanel, OneByteAnswer) {
    Open(kShortAnswerPort);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 0);
    EXPECT_EQ(x.Answer(), Bytes{0xAA});
    EXPECT_EQ(x.area[1], kFill);
}

TEST_F(Corvanel, OverlongAnswerIsCutAtTheResponseArea) {
    Open(kOverlongPort);
    Bytes wire = kCheckAnswer;
    for (std::size_t i = wire.size(); i < kArea; ++i) {
        wire.push_back(static_cast<std::uint8_t>(i));
    }
    for (int round = 0; round < 2; ++round) {
        const Exchange x = Communicate(kCheck);
        EXPECT_EQ(x.result, 0);
        ASSERT_EQ(x.count, 1024);
        EXPECT_TRUE(x.GuardIntact()) << "nothing stored past 1024 bytes";
        EXPECT_EQ(x.Answer(), wire) << "round " << round << ": the tail was not left behind";
    }
}

TEST_F(Corvanel, BaudChange) {
    EXPECT_EQ(SetCommBaud(9600), 0) << "no port open";
    Open(kReaderPort);
    EXPECT_EQ(SetCommBaud(kBaud), 1) << "already there";
    EXPECT_EQ(SetCommBaud(115200), 1);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the line still works";
    EXPECT_EQ(SetCommBaud(kBaud), 1);
}

}  // namespace
