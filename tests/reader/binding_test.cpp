// The binding: the port library is looked for beside the program only, and a library lacking one
// export is refused but stays loaded until the binding goes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "binding_test_support.h"
#include "port_library.h"
#include "reader_link.h"

namespace fs = std::filesystem;

namespace {

TEST(PortLibraryBinding, ProgramDirectoryHoldsCorvanel) {
    const std::string directory = ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), kSeparator);
    EXPECT_NE(directory.find(kSeparator), std::string::npos);
    EXPECT_TRUE(fs::exists(fs::path(directory) / kPortLibraryFileName));

    ShownMessages shown;
    const CPortLibrary library(shown.Sink());
    EXPECT_TRUE(library.IsBound());
    EXPECT_TRUE(shown.texts.empty());
    EXPECT_EQ(library.m_pfnGetCOMDLLVersion(), 0);
}

TEST(PortLibraryBinding, MissingLibraryShowsTheMessageOnce) {
    ShownMessages shown;
    const CPortLibrary library(shown.Sink(), LibraryFileName("no_such_corvanel"));
    EXPECT_EQ(shown.texts, std::vector<std::string>{"Load tessaly.dll failed !"});
    EXPECT_FALSE(library.IsLoaded());
    ExpectNoEntryPoints(library);
    ExpectNothingAttached(library);
}

TEST(PortLibraryBinding, LibraryLackingOneExportIsRefusedButStaysLoaded) {
    const fs::path path = fs::path(ProgramDirectory()) / kIncompleteLibrary;
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
    EXPECT_FALSE(IsMapped(path)) << "unloaded with the binding";
    EXPECT_EQ(shown.texts.size(), 1u);
}

TEST(PortLibraryBinding, CurrentDirectoryPlaysNoPart) {
    ScopedTempDir temp;
    ASSERT_FALSE(temp.path().empty());
    const std::string cwdOnly = LibraryFileName("cwd_only");
    fs::copy_file(fs::path(ProgramDirectory()) / kIncompleteLibrary, temp.path() / cwdOnly);
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());
    ShownMessages shown;
    const CPortLibrary library(shown.Sink(), cwdOnly);
    fs::current_path(previous);
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(shown.texts.size(), 1u);
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
