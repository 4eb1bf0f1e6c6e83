#include "port_test_support.h"

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace apptest {
namespace {

constexpr char kVariablePrefix[] = "CORVANEL_COM";
constexpr int kUnusedPort = 255;

std::map<std::string, std::string> CurrentPortVariables() {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string_view::npos && text.starts_with(kVariablePrefix)) {
            variables.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return variables;
}

void ReplacePortVariables(const std::map<std::string, std::string>& variables) {
    for (const auto& [name, value] : CurrentPortVariables()) {
        unsetenv(name.c_str());
    }
    for (const auto& [name, value] : variables) {
        setenv(name.c_str(), value.c_str(), 1);
    }
}

}  // namespace

PortMap::PortMap(const std::map<int, std::string>& ports) : m_saved(CurrentPortVariables()) {
    std::map<std::string, std::string> variables;
    for (const auto& [port, path] : ports) {
        variables.emplace(kVariablePrefix + std::to_string(port), path);
    }
    // Any variable, even an empty one, makes the map explicit.
    if (variables.empty()) {
        variables.emplace(kVariablePrefix + std::to_string(kUnusedPort), "");
    }
    ReplacePortVariables(variables);
}

PortMap::~PortMap() {
    ReplacePortVariables(m_saved);
}

BoundPortLibrary::BoundPortLibrary(std::string_view fileName) {
    g_portLibrary.Reset(new CPortLibrary(
        [this](std::string_view message) { m_messages.emplace_back(message); }, fileName));
}

// Unloading the library closes a port that is still open.
BoundPortLibrary::~BoundPortLibrary() {
    g_portLibrary.Reset();
}

}  // namespace apptest
