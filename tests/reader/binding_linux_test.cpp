// The binding on Linux, where a program can be reached through a symbolic link.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "binding_test_support.h"
#include "port_library.h"

namespace fs = std::filesystem;

namespace {

// The probe program, copied into a directory whose path is far longer than 260 characters and
// started through a symbolic link elsewhere, finds the library beside its real file.
TEST(PortLibraryBinding, LongProgramPathReachedThroughALink) {
    ScopedTempDir temp;
    ASSERT_FALSE(temp.path().empty());
    fs::path longDir = temp.path();
    for (int i = 0; i < 12; ++i) {
        longDir /= std::string(60, static_cast<char>('a' + i));
    }
    fs::create_directories(longDir);
    ASSERT_GT(longDir.string().size(), 700u);
    const fs::path bin = ProgramDirectory();
    fs::copy_file(bin / "reader_binding_probe", longDir / "probe");
    fs::copy_file(bin / kIncompleteLibrary, longDir / kIncompleteLibrary);
    fs::create_directory_symlink(longDir, temp.path() / "short");
    fs::create_symlink(temp.path() / "short" / "probe", temp.path() / "run-probe");

    const std::string command =
        (temp.path() / "run-probe").string() + " " + kIncompleteLibrary + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
        output += chunk;
    }
    EXPECT_EQ(pclose(pipe), 0) << output;
    // Loaded but refused: found beside the real file, one message.
    EXPECT_EQ(output, fs::canonical(longDir).string() + "\n1 0 1\n");
}

}  // namespace
