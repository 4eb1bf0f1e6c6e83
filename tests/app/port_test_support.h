// Shared pieces of the window tests: the port map, the binding, and what the reader saw.
#ifndef PELORIN_PORT_TEST_SUPPORT_H
#define PELORIN_PORT_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "port_library.h"
#include "reader_simulator.h"

namespace apptest {

// Replaces every CORVANEL_COM<n> variable by an explicit map, port number to device path, so
// that only the listed ports exist (an empty map: none at all, whatever devices the machine has);
// restores the previous variables when it goes.
class PortMap {
public:
    explicit PortMap(const std::map<int, std::string>& ports);
    ~PortMap();
    PortMap(const PortMap&) = delete;
    PortMap& operator=(const PortMap&) = delete;

private:
    std::map<std::string, std::string> m_saved;
};

// The program's binding for the life of the object; messages of the binding are recorded
// instead of shown.
class BoundPortLibrary {
public:
    explicit BoundPortLibrary(std::string_view fileName = kPortLibraryFileName);
    ~BoundPortLibrary();
    BoundPortLibrary(const BoundPortLibrary&) = delete;
    BoundPortLibrary& operator=(const BoundPortLibrary&) = delete;

    std::vector<std::string> m_messages;
};

// A reader that never answers.
inline readersim::Options SilentReader() {
    readersim::Options options;
    options.fault = readersim::Fault::Silent;
    return options;
}

// The commands the reader received, all at address 0.
inline std::vector<std::uint16_t> Commands(const readersim::ReaderSimulator& sim) {
    std::vector<std::uint16_t> commands;
    for (const readersim::Request& request : sim.requests()) {
        EXPECT_EQ(request.address, 0);
        commands.push_back(request.command);
    }
    return commands;
}

// Search, Open, Close as the operator sees them.
struct PortButtons {
    bool search;
    bool open;
    bool close;
    bool operator==(const PortButtons&) const = default;
};

inline constexpr PortButtons kNoPort{true, true, false};
inline constexpr PortButtons kPortInUse{false, false, true};

}  // namespace apptest

#endif
