// The installer under Wine: a silent install puts Pelorin.exe and Corvanel.dll under Program
// Files with a shortcut and an uninstall entry, the installed program starts and finds the
// simulated reader on COM3, and the silent uninstall removes it all again.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "resource.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

fs::path ProgramDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return std::wstring(value, length);
}

// Runs a command line to its end; its exit code, or -1 when it did not start.
long RunToEnd(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

bool UninstallEntryExists() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                      KEY_READ | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS) {
        return false;
    }
    bool found = false;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(hKey, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        wchar_t displayName[256] = {};
        DWORD size = sizeof(displayName);
        if (RegGetValueW(hKey, name, L"DisplayName", RRF_RT_REG_SZ, nullptr, displayName, &size) ==
                ERROR_SUCCESS &&
            std::wstring(displayName) == L"Pelorin") {
            found = true;
        }
    }
    RegCloseKey(hKey);
    return found;
}

struct Search {
    DWORD processId;
    HWND hWnd;
};

HWND FindWindowOf(DWORD processId) {
    Search search{processId, nullptr};
    EnumWindows(
        [](HWND hWnd, LPARAM lParam) {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hWnd, &owner);
            if (owner == s->processId && IsWindowVisible(hWnd) &&
                GetDlgItem(hWnd, IDC_PORT) != nullptr) {
                s->hWnd = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.hWnd;
}

TEST(Installer, InstallsRunsAndUninstalls) {
    const fs::path msi = ProgramDir().parent_path() / PELORIN_MSI_NAME;
    ASSERT_TRUE(fs::exists(msi)) << msi;
    const fs::path installDir = fs::path(Environment(L"ProgramW6432")) / L"Pelorin";
    // Windows puts a per-machine shortcut into the common Start menu; Wine's installer puts it
    // into the user's.
    const fs::path menu = L"Microsoft\\Windows\\Start Menu\\Programs\\Pelorin.lnk";
    const fs::path shortcuts[] = {fs::path(Environment(L"ProgramData")) / menu,
                                  fs::path(Environment(L"APPDATA")) / menu};
    const auto shortcutExists = [&] {
        return fs::exists(shortcuts[0]) || fs::exists(shortcuts[1]);
    };

    ASSERT_EQ(RunToEnd(L"msiexec /i \"" + msi.wstring() + L"\" /qn"), 0);
    EXPECT_TRUE(fs::exists(installDir / L"Pelorin.exe")) << installDir;
    EXPECT_TRUE(fs::exists(installDir / L"Corvanel.dll"));
    EXPECT_TRUE(shortcutExists());
    EXPECT_TRUE(UninstallEntryExists());

    // The installed program, started where the shortcut starts it.
    const std::wstring documents = Environment(L"USERPROFILE") + L"\\Documents";
    std::wstring commandLine = L"\"" + (installDir / L"Pelorin.exe").wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               documents.c_str(), &startup, &process));
    HWND hDlg = nullptr;
    for (int i = 0; i < 500 && hDlg == nullptr; ++i) {
        std::this_thread::sleep_for(20ms);
        hDlg = FindWindowOf(process.dwProcessId);
    }
    EXPECT_NE(hDlg, nullptr) << "the installed program showed no window";
    if (hDlg != nullptr) {
        wchar_t port[16] = {};
        SendMessageW(GetDlgItem(hDlg, IDC_PORT), WM_GETTEXT, 16, reinterpret_cast<LPARAM>(port));
        EXPECT_STREQ(port, L"COM3");
        PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    if (hDlg == nullptr) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    ASSERT_EQ(RunToEnd(L"msiexec /x \"" + msi.wstring() + L"\" /qn"), 0);
    EXPECT_FALSE(fs::exists(installDir / L"Pelorin.exe"));
    EXPECT_FALSE(fs::exists(installDir / L"Corvanel.dll"));
    EXPECT_FALSE(shortcutExists());
    EXPECT_FALSE(UninstallEntryExists());
}

}  // namespace
