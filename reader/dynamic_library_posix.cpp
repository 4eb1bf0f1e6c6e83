#include <dlfcn.h>
#include <unistd.h>

#include <cstddef>
#include <string>
#include <utility>

#include "dynamic_library.h"

namespace pelorin::platform {

void* OpenLibrary(const std::string& absolutePath) {
    if (absolutePath.empty() || absolutePath.front() != '/') {
        return nullptr;
    }
    return dlopen(absolutePath.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindSymbol(void* module, const char* name) {
    if (module == nullptr || name == nullptr) {
        return nullptr;
    }
    return dlsym(module, name);
}

int CloseLibrary(void* module) {
    if (module == nullptr) {
        return -1;
    }
    return dlclose(module) == 0 ? 0 : -1;
}

int ExecutablePath(std::string& path) {
    // readlink does not say how long the target is; grow until the answer fits with room to spare.
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return -1;
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            path = std::move(buffer);
            return 0;
        }
        if (buffer.size() >= (std::size_t{1} << 20)) {
            return -1;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace pelorin::platform
