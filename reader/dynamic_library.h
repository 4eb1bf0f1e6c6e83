// Platform seam for run-time loading; one implementation file per platform.
#ifndef PELORIN_READER_DYNAMIC_LIBRARY_H
#define PELORIN_READER_DYNAMIC_LIBRARY_H

#include <string>

namespace pelorin::platform {

// Loads the library at an absolute path with every symbol bound now and kept local; null when it
// does not load.
void* OpenLibrary(const std::string& absolutePath);

// Address of an exported name; null when the module does not export it.
void* FindSymbol(void* module, const char* name);

// Unloads a module from OpenLibrary; 0 on success.
int CloseLibrary(void* module);

// Full path of the running program's file, links resolved; 0 on success.
int ExecutablePath(std::string& path);

// Separator between a directory and a file name.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace pelorin::platform

#endif
