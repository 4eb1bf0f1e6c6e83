#include "port_names.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <tuple>

namespace corvanel {
namespace {

constexpr std::string_view kPortPrefix = "COM";
constexpr std::string_view kVariablePrefix = "CORVANEL_COM";

std::optional<unsigned> ParseDecimal(std::string_view digits) {
    unsigned number = 0;
    const char* const last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(digits.data(), last, number);
    if (digits.empty() || error != std::errc{} || end != last) {
        return std::nullopt;
    }
    return number;
}

// A port number as "COM%d" writes it: decimal, no sign, no leading zero, at least 1.
std::optional<unsigned> PortNumberAfter(std::string_view text, std::string_view prefix) {
    if (!text.starts_with(prefix) || text.substr(prefix.size()).starts_with('0')) {
        return std::nullopt;
    }
    return ParseDecimal(text.substr(prefix.size()));
}

// Device nodes count from 0: "ttyUSB0".
std::optional<unsigned> NodeNumberAfter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) {
        return std::nullopt;
    }
    return ParseDecimal(name.substr(prefix.size()));
}

std::optional<std::string> FromDevices(unsigned port, const std::vector<SerialDevice>& devices) {
    // USB adapters first: that is where a desktop reader normally hangs.
    constexpr std::array<std::string_view, 3> kFamilies = {"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::tuple<std::size_t, unsigned, const std::string*>> present;
    for (const SerialDevice& device : devices) {
        for (std::size_t family = 0; family < kFamilies.size(); ++family) {
            const auto number = NodeNumberAfter(device.name, kFamilies[family]);
            if (number && (kFamilies[family] != "ttyS" || device.realUart)) {
                present.emplace_back(family, *number, &device.name);
            }
        }
    }
    std::sort(present.begin(), present.end());
    if (port > present.size()) {
        return std::nullopt;
    }
    return "/dev/" + *std::get<2>(present[port - 1]);
}

// The serial core gives every UART a type; 0 means no hardware answered at that address.
bool HasUartType(const std::filesystem::path& typeFile) {
    std::ifstream in(typeFile);
    int type = 0;
    return static_cast<bool>(in >> type) && type != 0;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& devDir, const std::string& sysDir,
                                            const UartProbe& probe) {
    namespace fs = std::filesystem;
    const fs::path ttyClass = fs::path(sysDir) / "class" / "tty";
    std::error_code error;
    const bool haveSysfs = fs::is_directory(ttyClass, error);
    std::vector<SerialDevice> devices;
    for (fs::directory_iterator it(devDir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with("ttyUSB") || name.starts_with("ttyACM")) {
            devices.push_back({name, true});
        } else if (name.starts_with("ttyS")) {
            const bool real =
                haveSysfs ? HasUartType(ttyClass / name / "type") : probe(it->path().string());
            devices.push_back({name, real});
        }
    }
    return devices;
}

bool UsesExplicitMap(const Environment& env) {
    return std::any_of(env.begin(), env.end(), [](const auto& variable) {
        return PortNumberAfter(variable.first, kVariablePrefix).has_value();
    });
}

std::optional<std::string> ResolvePortDevice(std::string_view portName, const Environment& env,
                                             const std::vector<SerialDevice>& devices) {
    const auto port = PortNumberAfter(portName, kPortPrefix);
    if (!port) {
        return std::nullopt;
    }
    if (UsesExplicitMap(env)) {
        const auto it = env.find(std::string(kVariablePrefix) + std::to_string(*port));
        if (it == env.end() || it->second.empty()) {
            return std::nullopt;
        }
        return it->second;
    }
    return FromDevices(*port, devices);
}

}  // namespace corvanel
