// Which device stands behind a port name "COM<n>" on a system without COM device names.
#ifndef CORVANEL_PORT_NAMES_H
#define CORVANEL_PORT_NAMES_H

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvanel {

// A serial device node found under /dev.
struct SerialDevice {
    std::string name;      // node name without the directory, e.g. "ttyUSB0"
    bool realUart = true;  // false for a ttyS node without hardware behind it
};

// Environment variables, name to value.
using Environment = std::map<std::string, std::string, std::less<>>;

// Asked only where sysfs is absent: whether a UART answers behind the ttyS node at `path`.
using UartProbe = std::function<bool(const std::string& path)>;

// The serial device nodes in `devDir`. Whether a ttyS node has a UART behind it comes from its
// type in `<sysDir>/class/tty/<name>/type` (non-zero), without opening the node: an open raises
// and drops DTR and RTS, and fails for a port that another program holds. Only where that sysfs
// directory does not exist is `probe` asked.
std::vector<SerialDevice> ListSerialDevices(const std::string& devDir, const std::string& sysDir,
                                            const UartProbe& probe);

// True when a CORVANEL_COM<n> variable is set, so that the present devices play no part.
bool UsesExplicitMap(const Environment& env);

// The device path of port `portName`, or nothing when the port does not exist.
// When any CORVANEL_COM<n> variable is set, those variables alone decide: COM<n> is the path in
// CORVANEL_COM<n>, used verbatim. Otherwise COM<n> is entry n of the present devices in this
// order: ttyUSB by number, ttyACM by number, then ttyS by number that are real UARTs.
std::optional<std::string> ResolvePortDevice(std::string_view portName, const Environment& env,
                                             const std::vector<SerialDevice>& devices);

}  // namespace corvanel

#endif
