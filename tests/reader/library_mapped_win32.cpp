#include <windows.h>

#include "binding_test_support.h"

bool IsMapped(const std::filesystem::path& path) {
    return GetModuleHandleA(path.string().c_str()) != nullptr;
}
