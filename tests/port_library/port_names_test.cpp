#include "port_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using corvanel::Environment;
using corvanel::ResolvePortDevice;
using corvanel::SerialDevice;

struct Case {
    const char* what;
    const char* port;
    Environment env;
    std::vector<SerialDevice> devices;
    std::optional<std::string> expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

const std::vector<SerialDevice> kMixed = {
    {"ttyS1", true},  {"ttyACM0", true}, {"ttyUSB10", true}, {"ttyS0", false}, {"ttyUSB2", true},
    {"ttyS10", true}, {"ttyS2", true},   {"tty1", true},     {"ttyUSB", true}, {"ttyACMx", true},
};

class ResolvePort : public testing::TestWithParam<Case> {};

TEST_P(ResolvePort, MapsNameToDevice) {
    const Case& c = GetParam();
    EXPECT_EQ(ResolvePortDevice(c.port, c.env, c.devices), c.expected) << c.what;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ResolvePort, testing::Values(
    Case{"USB numerically before ACM", "COM1", {}, kMixed, "/dev/ttyUSB2"},
    Case{"ttyUSB10 after ttyUSB2", "COM2", {}, kMixed, "/dev/ttyUSB10"},
    Case{"then ACM", "COM3", {}, kMixed, "/dev/ttyACM0"},
    Case{"ttyS without hardware skipped", "COM4", {}, kMixed, "/dev/ttyS1"},
    Case{"ttyS by number", "COM5", {}, kMixed, "/dev/ttyS2"},
    Case{"ttyS10 last", "COM6", {}, kMixed, "/dev/ttyS10"},
    Case{"past the list", "COM7", {}, kMixed, std::nullopt},
    Case{"no devices", "COM1", {}, {}, std::nullopt},
    Case{"port 0", "COM0", {}, kMixed, std::nullopt},
    Case{"leading zero", "COM01", {}, kMixed, std::nullopt},
    Case{"not a port name", "LPT1", {}, kMixed, std::nullopt},
    Case{"negative", "COM-1", {}, kMixed, std::nullopt},
    Case{"huge", "COM99999999999", {}, kMixed, std::nullopt},
    Case{"variable used verbatim", "COM3", {{"CORVANEL_COM3", "/dev/pts/7"}}, kMixed, "/dev/pts/7"},
    Case{"variables alone decide", "COM1", {{"CORVANEL_COM3", "/dev/pts/7"}}, kMixed,
         std::nullopt},
    Case{"two-digit port", "COM12", {{"CORVANEL_COM12", "/tmp/x"}, {"CORVANEL_COM1", "/tmp/y"}},
         {}, "/tmp/x"},
    Case{"empty variable: no port, still explicit", "COM1", {{"CORVANEL_COM1", ""}}, kMixed,
         std::nullopt},
    Case{"malformed names ignored", "COM1",
         {{"CORVANEL_COM", "/a"}, {"CORVANEL_COM01", "/b"}, {"CORVANEL_COMX", "/c"},
          {"PATH", "/bin"}},
         kMixed, "/dev/ttyUSB2"}));
// clang-format on

}  // namespace
