// Corvanel through its C entry points against reader simulators: in this process on Linux, in
// another one under Wine (see reader_ports.h). The tests that need a pseudo-terminal's own view
// of the line are in corvanel_linux_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "corvanel.h"
#include "exchange_support.h"
#include "reader_ports.h"
#include "simulator/reader_simulator.h"

namespace {

using namespace std::chrono_literals;
using namespace exchange_support;
using reader_ports::Reader;
using reader_ports::ReaderPorts;

const Bytes kReadTag = readersim::BuildFrame(0, readersim::kCmdReadTag, {});

// The status byte of a read-tag answer.
std::uint8_t ReadTagStatus() {
    const Bytes answer = Communicate(kReadTag).Answer();
    return answer.size() > 8 ? answer[8] : 0xFF;
}

TEST_F(Corvanel, ConstantEntryPoints) {
    Open(Reader::Tag);
    EXPECT_EQ(GetCOMDLLVersion(), 0);
    EXPECT_EQ(OpenLPTPort(1, 2), 0);
    EXPECT_EQ(CloseLPTPort(), 0);
    FreeComData(nullptr);
    FreeComData(std::malloc(16));
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the LPT calls left the port alone";
}

TEST_F(Corvanel, OpenAndClose) {
    EXPECT_EQ(CloseComPort(), 1) << "nothing open";
    Open(Reader::Tag);
    EXPECT_EQ(OpenComPort(readers_.Port(Reader::Tag), kBaud), 1) << "the same port again";
    EXPECT_EQ(Communicate(kCheck).result, 0);
    EXPECT_EQ(CloseComPort(), 1);
    EXPECT_EQ(CloseComPort(), 1);
    const Exchange closed = Communicate(kCheck);
    EXPECT_EQ(closed.result, 1);
    EXPECT_EQ(closed.count, kUntouched);
}

TEST_F(Corvanel, FailedOpenLeavesNoPortOpen) {
    for (const reader_ports::FailingOpen& c : readers_.FailingOpens(kBaud)) {
        Open(Reader::Tag);
        EXPECT_EQ(OpenComPort(c.port, c.baud), 0) << c.what;
        const Exchange x = Communicate(kCheck);
        EXPECT_EQ(x.result, 1) << c.what << ": the earlier port was closed";
        EXPECT_EQ(x.count, kUntouched) << c.what;
    }
}

TEST_F(Corvanel, OpeningAnotherPortMovesTheLine) {
    Open(Reader::Tag);
    EXPECT_EQ(ReadTagStatus(), readersim::kStatusOk);
    Open(Reader::NoTag);
    EXPECT_EQ(ReadTagStatus(), readersim::kStatusNoTag) << "the empty reader answers now";
    Open(Reader::Tag);
    EXPECT_EQ(ReadTagStatus(), readersim::kStatusOk);
}

TEST_F(Corvanel, ExchangeDeliversTheAnswer) {
    Open(Reader::Tag);
    for (int round = 0; round < 3; ++round) {
        const Exchange x = Communicate(kCheck);
        EXPECT_EQ(x.result, 0);
        EXPECT_EQ(x.Answer(), kCheckAnswer);
        EXPECT_TRUE(x.GuardIntact());
        EXPECT_LT(x.Ms(), 1000);
    }
    if (const auto seen = readers_.Look(Reader::Tag)) {
        ASSERT_EQ(seen->requests.size(), 3u);
        EXPECT_EQ(seen->requests.back().command, readersim::kCmdCheck);
        EXPECT_TRUE(seen->requests.back().checksumOk);
    }
}

TEST_F(Corvanel, NothingToSendFailsWithCountUntouched) {
    Exchange x;
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, x.area.data(), &x.count), 1) << "no port";
    EXPECT_EQ(x.count, kUntouched);
    Open(Reader::Tag);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 0, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), -1, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(nullptr, 9, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, nullptr, &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, x.area.data(), nullptr), 1);
    EXPECT_EQ(x.count, kUntouched);
    if (const auto seen = readers_.Look(Reader::Tag)) {
        EXPECT_TRUE(seen->requests.empty());
    }
}

TEST_F(Corvanel, SilentReaderTimesOutAfterFirstByteWait) {
    Open(Reader::Silent);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 1);
    EXPECT_EQ(x.count, 0);
    EXPECT_GE(x.Ms(), 1350);
    EXPECT_LE(x.Ms(), 2000);
}

TEST_F(Corvanel, PauseEndsTheAnswerAndTheRestIsDropped) {
    Open(Reader::TwoBursts);
    const Exchange first = Communicate(kCheck);
    EXPECT_EQ(first.result, 0);
    EXPECT_TRUE(IsPrefix(first.Answer(), kCheckAnswer));
    EXPECT_LT(first.Answer().size(), kCheckAnswer.size()) << "only the first burst";
    // The second burst comes 30 ms after the first in this process, 80 ms under Wine.
    std::this_thread::sleep_for(200ms);
    const Bytes next = readers_.Calm(Reader::TwoBursts) ? kCheckAnswer : first.Answer();
    EXPECT_EQ(Communicate(kCheck).Answer(), next) << "the second burst was dropped";
}

TEST_F(Corvanel, BytesBeforeTheRequestNeverReachTheAnswer) {
    Open(Reader::StaleBytes);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer);
    // The stale bytes come 40 ms after the answer.
    std::this_thread::sleep_for(100ms);
    readers_.Calm(Reader::StaleBytes);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "late tail of an earlier answer";
    if (readers_.Inject(Reader::StaleBytes, {0xAA, 0xBB, 0x11, 0x13, 0x00})) {
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "noise on an idle line";
    }
}

TEST_F(Corvanel, OneByteAnswer) {
    Open(Reader::ShortAnswer);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 0);
    EXPECT_EQ(x.Answer(), Bytes{0xAA});
    EXPECT_EQ(x.area[1], kFill);
}

TEST_F(Corvanel, OverlongAnswerIsCutAtTheResponseArea) {
    Open(Reader::Overlong);
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
    if (readers_.Calm(Reader::Overlong)) {
        EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the tail was not left behind";
    }
}

TEST_F(Corvanel, BaudChange) {
    EXPECT_EQ(SetCommBaud(9600), 0) << "no port open";
    Open(Reader::Tag);
    struct Step {
        std::uint32_t baud;
        std::int32_t result;
        std::uint32_t line;  // the line's rate afterwards
        bool refused;        // a rate the line does not know
    };
    const Step steps[] = {
        {kBaud, 1, 19200, false},    // already there
        {115200, 1, 115200, false},  // changed
        {12345, 0, 115200, true},    // nothing changes
        {0, 0, 115200, true},       {9600, 1, 9600, false},
    };
    for (const Step& step : steps) {
        if (step.refused && !ReaderPorts::kRefusesUnknownRates) {
            continue;
        }
        EXPECT_EQ(SetCommBaud(step.baud), step.result) << step.baud;
        if (const auto line = readers_.LineRate(Reader::Tag)) {
            EXPECT_EQ(*line, step.line) << step.baud;
        }
    }
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the line still works";
    EXPECT_EQ(SetCommBaud(kBaud), 1);
}

}  // namespace
