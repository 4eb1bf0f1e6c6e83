// The binding's Windows side under Wine: Corvanel.dll is looked for beside the program only, a
// library lacking one export is refused but stays loaded until the binding goes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "binding_test_support.h"
#include "port_library.h"
#include "reader_link.h"

namespace fs = std::filesystem;

namespace {

TEST(PortLibraryBinding, ProgramDirectoryHoldsCorvanel) {
    const std::string directory = ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '\\');
    EXPECT_NE(directory.find('\\'), std::string::npos);
    EXPECT_TRUE(fs::exists(fs::path(directory) / "Corvanel.dll"));

    ShownMessages shown;
    const CPortLibrary library(shown.Sink());
    EXPECT_TRUE(library.IsBound());
    EXPECT_TRUE(shown.texts.empty());
    EXPECT_EQ(library.m_pfnGetCOMDLLVersion(), 0);
}

TEST(PortLibraryBinding, MissingLibraryShowsTheMessageOnce) {
    ShownMessages shown;
    const CPortLibrary library(shown.Sink(), "no_such_corvanel.dll");
    EXPECT_EQ(shown.texts, std::vector<std::string>{"Load tessaly.dll failed !"});
    EXPECT_FALSE(library.IsLoaded());
    ExpectNoEntryPoints(library);
    ExpectNothingAttached(library);
}

TEST(PortLibraryBinding, LibraryLackingOneExportIsRefusedButStaysLoaded) {
    const std::string path = ProgramDirectory() + "\\" + CORVANEL_INCOMPLETE;
    ShownMessages shown;
    auto* library = new CPortLibrary(shown.Sink(), CORVANEL_INCOMPLETE);
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

    EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr);
    g_portLibrary.Reset();
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "unloaded with the binding";
    EXPECT_EQ(shown.texts.size(), 1u);
}

TEST(PortLibraryBinding, CurrentDirectoryPlaysNoPart) {
    ScopedTempDir temp;
    fs::copy_file(fs::path(ProgramDirectory()) / CORVANEL_INCOMPLETE, temp.path() / "cwd_only.dll");
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());
    ShownMessages shown;
    const CPortLibrary library(shown.Sink(), "cwd_only.dll");
    fs::current_path(previous);
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(shown.texts.size(), 1u);
}

}  // namespace
