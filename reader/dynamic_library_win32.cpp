#include <windows.h>

#include <cstddef>
#include <string>
#include <utility>

#include "dynamic_library.h"

namespace pelorin::platform {
namespace {

// "C:\dir" or "\\server\share": a path that the DLL search order plays no part in.
bool IsAbsolute(const std::string& path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
    return drive || share;
}

}  // namespace

void* OpenLibrary(const std::string& absolutePath) {
    if (!IsAbsolute(absolutePath)) {
        return nullptr;
    }
    return LoadLibraryA(absolutePath.c_str());
}

void* FindSymbol(void* module, const char* name) {
    if (module == nullptr || name == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

int CloseLibrary(void* module) {
    if (module == nullptr) {
        return -1;
    }
    return FreeLibrary(static_cast<HMODULE>(module)) != 0 ? 0 : -1;
}

int ExecutablePath(std::string& path) {
    // A full buffer means the name was cut; grow until it fits, up to the longest NT path.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return -1;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            path = std::move(buffer);
            return 0;
        }
        if (buffer.size() >= std::size_t{1} << 16) {
            return -1;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace pelorin::platform
