// Loads the library named on the command line the way the program does and prints what it found:
// the program directory, whether the file loaded, whether all entry points bound, and how many
// messages were shown.
#include <cstdio>
#include <string_view>

#include "port_library.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY-FILE-NAME\n", argv[0]);
        return 2;
    }
    int messages = 0;
    const CPortLibrary library([&](std::string_view) { ++messages; }, argv[1]);
    std::printf("%s\n%d %d %d\n", ProgramDirectory().c_str(), library.IsLoaded() ? 1 : 0,
                library.IsBound() ? 1 : 0, messages);
    return 0;
}
