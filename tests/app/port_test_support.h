// Shared pieces of the window tests: the port map and the binding.
#ifndef PELORIN_PORT_TEST_SUPPORT_H
#define PELORIN_PORT_TEST_SUPPORT_H

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "port_library.h"

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

}  // namespace apptest

#endif
