// The Windows platform layer's line settings and time-outs, read back from the port itself under
// Wine, against the Linux reader simulator on COM3 (scripts/windows-readers.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform.h"

namespace {

namespace platform = corvanel::platform;
using platform::Status;

DCB StateOf(platform::Handle handle) {
    DCB settings{};
    settings.DCBlength = sizeof settings;
    EXPECT_NE(GetCommState(handle, &settings), 0);
    return settings;
}

class Win32Line : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(platform::OpenDevice("COM3", &handle_), Status::Ok); }
    void TearDown() override {
        // The simulator's terminal outlives this test: leave it plain.
        DCB plain = StateOf(handle_);
        plain.StopBits = ONESTOPBIT;
        plain.fOutxCtsFlow = FALSE;
        plain.fRtsControl = RTS_CONTROL_ENABLE;
        plain.BaudRate = 19200;
        EXPECT_NE(SetCommState(handle_, &plain), 0);
        EXPECT_EQ(platform::CloseDevice(handle_), Status::Ok);
    }

    platform::Handle handle_ = platform::kInvalidHandle;
};

TEST_F(Win32Line, ConfigureSetsRateEightBitsNoParityAndKeepsTheRest) {
    DCB before = StateOf(handle_);
    before.BaudRate = 2400;
    before.ByteSize = 7;
    before.Parity = EVENPARITY;
    before.StopBits = TWOSTOPBITS;
    before.fOutxCtsFlow = TRUE;
    before.fRtsControl = RTS_CONTROL_HANDSHAKE;
    ASSERT_NE(SetCommState(handle_, &before), 0);

    ASSERT_EQ(platform::ConfigureLine(handle_, 19200), Status::Ok);
    const DCB after = StateOf(handle_);
    EXPECT_EQ(after.BaudRate, 19200u);
    EXPECT_EQ(after.ByteSize, 8);
    EXPECT_EQ(after.Parity, NOPARITY);
    EXPECT_EQ(after.StopBits, TWOSTOPBITS);
    // Wine reports RTS handshaking on a terminal as RTS enabled; CTS stands for both.
    EXPECT_TRUE(after.fOutxCtsFlow);
}

TEST_F(Win32Line, BaudChangeTouchesOnlyTheRate) {
    ASSERT_EQ(platform::ConfigureLine(handle_, 19200), Status::Ok);
    for (const std::uint32_t baud : {115200u, 9600u, 19200u}) {
        ASSERT_EQ(platform::SetBaud(handle_, baud), Status::Ok);
        std::uint32_t now = 0;
        ASSERT_EQ(platform::GetBaud(handle_, &now), Status::Ok);
        EXPECT_EQ(now, baud);
        EXPECT_EQ(StateOf(handle_).ByteSize, 8) << baud;
        EXPECT_EQ(StateOf(handle_).Parity, NOPARITY) << baud;
    }
}

TEST_F(Win32Line, ReadTimeoutsWaitForTheFirstByteOnly) {
    for (const std::uint32_t wait : {1400u, 20u}) {
        ASSERT_EQ(platform::SetReadTimeout(handle_, wait), Status::Ok);
        COMMTIMEOUTS timeouts{};
        ASSERT_NE(GetCommTimeouts(handle_, &timeouts), 0);
        EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
        EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, MAXDWORD);
        EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, wait);
        EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    }
}

}  // namespace
