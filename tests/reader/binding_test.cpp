#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "binding_test_support.h"
#include "port_library.h"
#include "reader_link.h"

namespace fs = std::filesystem;

namespace {

constexpr char kIncompleteLibrary[] = "libcorvanel_incomplete.so";

fs::path BinDir() {
    return fs::path(ProgramDirectory());
}

// A library still mapped into the process, found without loading it again.
bool IsMapped(const fs::path& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    dlclose(handle);
    return true;
}

TEST(PortLibraryBinding, MissingLibraryShowsTheMessageOnce) {
    ShownMessages shown;
    const CPortLibrary library(shown.Sink(), "libno_such_corvanel.so");
    EXPECT_EQ(shown.texts, std::vector<std::string>{"Load tessaly.dll failed !"});
    EXPECT_FALSE(library.IsLoaded());
    ExpectNoEntryPoints(library);
    ExpectNothingAttached(library);
}

TEST(PortLibraryBinding, LibraryLackingOneExportIsRefusedButStaysLoaded) {
    const fs::path path = BinDir() / kIncompleteLibrary;
    ASSERT_TRUE(fs::exists(path));
    ShownMessages shown;
    auto* library = new CPortLibrary(shown.Sink(), kIncompleteLibrary);
    EXPECT_EQ(shown.texts, std::vector<std::string>{"Load tessaly.dll failed !"});
    EXPECT_TRUE(library->IsLoaded());
    EXPECT_NE(library->Resolve("CommunicateRFResult"), nullptr);
    ExpectNoEntryPoints(*library);
    ExpectNothingAttached(*library);

    g_portLibrary.Reset(library);
    CReaderLink link;
    std::uint8_t buffer[kReadBufferSize] = {};
    const std::uint8_t record[9] = {};
    EXPECT_EQ(link.Check(0), 1);
    EXPECT_EQ(link.ReadTag(0, buffer), 1);
    EXPECT_EQ(link.WriteTag(0, record), 1);
    EXPECT_EQ(link.Signal(0), 1);

    const auto* calls = static_cast<const int*>(library->Resolve("incomplete_corvanel_calls"));
    ASSERT_NE(calls, nullptr);
    EXPECT_EQ(*calls, 0);

    ASSERT_TRUE(IsMapped(path));
    g_portLibrary.Reset();
    EXPECT_FALSE(IsMapped(path));
    EXPECT_EQ(shown.texts.size(), 1u);
}

TEST(PortLibraryBinding, CurrentDirectoryPlaysNoPart) {
    ScopedTempDir temp;
    ASSERT_FALSE(temp.path().empty());
    fs::copy_file(BinDir() / kIncompleteLibrary, temp.path() / "libcwd_only.so");
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());
    ShownMessages shown;
    const CPortLibrary library(shown.Sink(), "libcwd_only.so");
    fs::current_path(previous);
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(shown.texts.size(), 1u);
}

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
    fs::copy_file(BinDir() / "reader_binding_probe", longDir / "probe");
    fs::copy_file(BinDir() / kIncompleteLibrary, longDir / kIncompleteLibrary);
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

TEST(PortLibraryBinding, HolderOwnsItsBinding) {
    struct Tracked : CPortLibrary {
        explicit Tracked(int& deleted) : deleted_(deleted) {}
        ~Tracked() override { ++deleted_; }
        int& deleted_;
    };
    int deleted = 0;
    {
        CPortLibraryHolder holder;
        holder.Reset(new Tracked(deleted));
        holder.Reset(new Tracked(deleted));
        EXPECT_EQ(deleted, 1);
    }
    EXPECT_EQ(deleted, 2);
}

}  // namespace
