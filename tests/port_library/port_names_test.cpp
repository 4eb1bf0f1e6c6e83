#include "port_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using corvanel::Environment;
using corvanel::ListSerialDevices;
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

// A /dev and a /sys of files: what the listing takes from each, and which nodes it opens.
class SerialDeviceList : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvanel-devices-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        std::filesystem::create_directory(m_root / "dev");
        for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyUSB0", "tty1", "null"}) {
            std::ofstream(m_root / "dev" / node);
        }
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    void SetType(const std::string& name, const std::string& type) const {
        const auto dir = m_root / "sys/class/tty" / name;
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "type") << type;
    }
    std::vector<SerialDevice> List() {
        auto devices = ListSerialDevices((m_root / "dev").string(), (m_root / "sys").string(),
                                         [this](const std::string& path) {
                                             m_probed.push_back(path);
                                             return path.ends_with("ttyS2");
                                         });
        std::sort(devices.begin(), devices.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        return devices;
    }
    static std::vector<std::string> Describe(const std::vector<SerialDevice>& devices) {
        std::vector<std::string> text;
        for (const SerialDevice& device : devices) {
            text.push_back(device.name + (device.realUart ? "" : " (no UART)"));
        }
        return text;
    }

    std::filesystem::path m_root;
    std::vector<std::string> m_probed;
};

TEST_F(SerialDeviceList, SysfsDecidesWithoutOpeningAnyNode) {
    SetType("ttyS0", "4\n");  // a 16550A
    SetType("ttyS1", "0\n");  // a node without hardware
    SetType("ttyS3", "4\n");
    SetType("ttyUSB0", "0\n");  // USB adapters are present whatever sysfs holds
    // ttyS2 has no entry: no driver behind the node.
    EXPECT_EQ(Describe(List()), (std::vector<std::string>{"ttyS0", "ttyS1 (no UART)",
                                                          "ttyS2 (no UART)", "ttyS3", "ttyUSB0"}));
    EXPECT_TRUE(m_probed.empty());
}

TEST_F(SerialDeviceList, WithoutSysfsTheNodesAreProbed) {
    EXPECT_EQ(Describe(List()), (std::vector<std::string>{"ttyS0 (no UART)", "ttyS1 (no UART)",
                                                          "ttyS2", "ttyS3 (no UART)", "ttyUSB0"}));
    std::sort(m_probed.begin(), m_probed.end());
    const std::string dev = (m_root / "dev").string();
    EXPECT_EQ(m_probed, (std::vector<std::string>{dev + "/ttyS0", dev + "/ttyS1", dev + "/ttyS2",
                                                  dev + "/ttyS3"}));
}

TEST_F(SerialDeviceList, MissingDevDirectoryListsNothing) {
    EXPECT_TRUE(ListSerialDevices((m_root / "none").string(), (m_root / "sys").string(),
                                  [](const std::string&) { return true; })
                    .empty());
}

}  // namespace
