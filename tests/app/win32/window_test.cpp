// The real dialog of Pelorin.exe, run on a thread of its own and driven from the test's thread
// with window messages, under Wine against the simulated reader on COM3
// (scripts/windows-readers.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "pelorin_window.h"
#include "port_library.h"
#include "reader_link.h"
#include "utf16.h"

namespace {

using namespace std::chrono_literals;
using Record = std::array<std::uint8_t, 9>;

constexpr int kStaticId = -1;
// The text of a message box.
constexpr int kMessageBoxText = 0xFFFF;

// Waits for `done`, looking every 20 ms; false on time-out.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::wstring TextOf(HWND hWnd) {
    wchar_t text[256] = {};
    // WM_GETTEXT, so that the window's own thread answers.
    SendMessageW(hWnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring ClassOf(HWND hWnd) {
    wchar_t name[64] = {};
    GetClassNameW(hWnd, name, 64);
    return name;
}

std::vector<HWND> ThreadWindows(DWORD threadId) {
    std::vector<HWND> windows;
    EnumThreadWindows(
        threadId,
        [](HWND hWnd, LPARAM lParam) {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

class Win32Window : public testing::Test {
protected:
    void SetUp() override {
        // A directory of our own: the write log goes to the current directory, and the logs
        // already there count as written before.
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        logDir = std::filesystem::path(temp) /
                 ("pelorin-window-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::remove_all(logDir);
        std::filesystem::create_directories(logDir);
        ASSERT_TRUE(SetCurrentDirectoryW(logDir.c_str()));

        g_portLibrary.Reset(new CPortLibrary(
            [this](std::string_view text) { shown.emplace_back(text); }, kPortLibraryFileName));
        ASSERT_TRUE(g_portLibrary.m_pLibrary->IsBound());
        Start();
    }

    void TearDown() override {
        if (dialog.joinable()) {
            if (hDlg != nullptr && IsWindow(hDlg)) {
                PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
            }
            dialog.join();
        }
        g_portLibrary.Reset();
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        std::filesystem::remove_all(logDir);
    }

    // Runs the window on its own thread and waits until it shows.
    void Start() {
        window = std::make_unique<CPelorinWindow>();
        result = 0;
        std::promise<DWORD> threadId;
        auto started = threadId.get_future();
        dialog = std::thread([this, &threadId] {
            threadId.set_value(GetCurrentThreadId());
            result = window->DoModal();
        });
        dialogThread = started.get();
        ASSERT_TRUE(WaitFor([this] {
            for (HWND hWnd : ThreadWindows(dialogThread)) {
                if (IsWindowVisible(hWnd) && ClassOf(hWnd) == L"#32770") {
                    hDlg = hWnd;
                    return true;
                }
            }
            return false;
        })) << "the window did not show";
    }

    // Waits for the window's thread to end; the window's result.
    INT_PTR Ended() {
        EXPECT_TRUE(WaitFor([this] { return !IsWindow(hDlg); })) << "the window stayed open";
        dialog.join();
        return result;
    }

    HWND Item(int nID) const { return GetDlgItem(hDlg, nID); }
    std::wstring Text(int nID) const { return TextOf(Item(nID)); }
    void SetText(int nID, const wchar_t* text) {
        SendMessageW(Item(nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    // Returns once the handler of the click has returned.
    void Click(int nID) { SendMessageW(Item(nID), BM_CLICK, 0, 0); }

    // The message box the window shows, or null.
    HWND MessageBoxShown() const {
        for (HWND hWnd : ThreadWindows(dialogThread)) {
            if (hWnd != hDlg && IsWindowVisible(hWnd) && ClassOf(hWnd) == L"#32770" &&
                GetWindow(hWnd, GW_OWNER) == hDlg) {
                return hWnd;
            }
        }
        return nullptr;
    }
    // Waits for a message box and returns its text.
    std::wstring AwaitMessageBox(HWND& hBox) const {
        EXPECT_TRUE(WaitFor([&] { return (hBox = MessageBoxShown()) != nullptr; }))
            << "no message box";
        if (hBox == nullptr) {
            return {};
        }
        EXPECT_EQ(TextOf(hBox), L"Pelorin");
        return TextOf(GetDlgItem(hBox, kMessageBoxText));
    }
    void CloseMessageBox(HWND hBox) {
        PostMessageW(hBox, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(hBox); }));
    }

    // The record on the simulated reader's tag, read while the window waits for messages.
    Record TagRecordOnReader() {
        std::uint8_t buffer[kReadBufferSize] = {};
        EXPECT_EQ(CReaderLink().ReadTag(0, buffer), 0);
        Record record{};
        std::copy_n(buffer + 1, record.size(), record.begin());
        return record;
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        for (const auto& entry : std::filesystem::directory_iterator(logDir)) {
            std::ifstream file(entry.path(), std::ios::binary);
            std::string line;
            for (bool header = true; std::getline(file, line); header = false) {
                if (!header) {
                    lines.push_back(line);
                }
            }
        }
        return lines;
    }

    std::filesystem::path logDir;
    std::vector<std::string> shown;
    std::unique_ptr<CPelorinWindow> window;
    std::thread dialog;
    DWORD dialogThread = 0;
    HWND hDlg = nullptr;
    std::atomic<INT_PTR> result = 0;
};

struct ControlCase {
    int nID;  // kStaticId: found by caption and place
    const wchar_t* className;
    const wchar_t* caption;  // null: not compared
    RECT place;              // x, y, width, height in dialog units
};

// The template's controls as the window shows them.
constexpr ControlCase kControls[] = {
    {IDC_CONNECT_GROUP, L"Button", L"Connect", {9, 14, 310, 54}},
    {IDC_PORT, L"ComboBox", L"COM3", {55, 38, 47, 0}},
    {IDC_PLAIN_GROUP, L"Button", L"11784/11785 ", {9, 81, 310, 107}},
    {IDC_PORT_LABEL, L"Static", L"Port", {29, 38, 17, 8}},
    {IDC_NATIONAL_LABEL, L"Static", L"National ID:", {94, 105, 29, 8}},
    {IDC_COUNTRY_LABEL, L"Static", L"Country ID:", {38, 106, 29, 8}},
    {IDC_READ, L"Button", L"Read", {92, 158, 55, 14}},
    {IDC_WRITE, L"Button", L"Write", {158, 158, 55, 14}},
    {kStaticId, L"Static", L"+", {217, 127, 8, 8}},
    {kStaticId, L"Static", L"Add:", {235, 106, 21, 8}},
    {IDC_ANIMAL, L"Button", L"Animal", {44, 161, 32, 10}},
    {IDC_ADD, L"Edit", L"1", {233, 118, 44, 22}},
    {IDC_COUNTRY, L"Edit", L"", {37, 120, 40, 20}},
    {IDC_NATIONAL, L"Edit", L"", {92, 119, 115, 21}},
    {IDC_SEARCH, L"Button", L"Search", {127, 38, 50, 14}},
    {IDC_OPEN, L"Button", L"Open", {192, 38, 50, 14}},
    {IDC_CLOSE, L"Button", L"Close", {255, 38, 50, 14}},
    {IDC_FDX_GROUP, L"Button", L"FDX-B ", {9, 204, 310, 194}},
    {IDC_FDX_NATIONAL_LABEL, L"Static", L"National ID:", {94, 249, 29, 8}},
    {IDC_FDX_COUNTRY_LABEL, L"Static", L"Country ID:", {38, 250, 29, 8}},
    {IDC_FDX_READ, L"Button", L"Read", {92, 305, 55, 14}},
    {IDC_FDX_WRITE, L"Button", L"Write", {159, 305, 55, 14}},
    {kStaticId, L"Static", L"+", {218, 270, 8, 8}},
    {kStaticId, L"Static", L"Add:", {234, 250, 21, 8}},
    {IDC_FDX_ANIMAL, L"Button", L"Animal", {50, 308, 32, 10}},
    {IDC_FDX_ADD, L"Edit", L"1", {232, 262, 44, 22}},
    {IDC_FDX_COUNTRY, L"Edit", L"", {36, 264, 40, 20}},
    {IDC_FDX_NATIONAL, L"Edit", L"", {92, 263, 115, 21}},
    {IDC_CONT_WRITE, L"Button", L"CONT Write", {227, 305, 55, 14}},
    {IDC_STOP_WRITE, L"Button", L"Stop Write", {227, 329, 55, 14}},
    {IDC_KEY, L"Edit", L"", {94, 217, 142, 21}},
    {kStaticId, L"Static", L"15 Num：", {35, 225, 58, 8}},
    {IDC_LOAD_KEY, L"Button", L"Load Key", {246, 217, 55, 21}},
    {IDC_CONT_DES, L"Button", L"CONT DES", {159, 365, 55, 14}},
    {IDC_STOP_DES, L"Button", L"Stop DES", {227, 365, 55, 14}},
    {IDC_DES, L"Button", L"DES", {91, 365, 55, 14}},
    {kStaticId, L"Button", L"TAG DES", {23, 350, 284, 40}},
};

// Each control with its id, class, caption and place in dialog units; a drop-down list's height
// is its list's, which the window does not show.
TEST_F(Win32Window, ControlsSitAtTheirTemplatePlaces) {
    EXPECT_EQ(TextOf(hDlg), L"Pelorin");
    RECT client{};
    GetClientRect(hDlg, &client);
    RECT size{0, 0, 326, 407};
    MapDialogRect(hDlg, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    for (const ControlCase& c : kControls) {
        SCOPED_TRACE(testing::Message() << c.nID << " " << Utf8FromUtf16(c.caption));
        // Place and size are mapped apart, as the dialog manager does.
        RECT expected = c.place;
        MapDialogRect(hDlg, &expected);
        expected.right += expected.left;
        expected.bottom += expected.top;
        HWND hItem = nullptr;
        if (c.nID == kStaticId) {
            for (HWND hChild = GetWindow(hDlg, GW_CHILD); hChild != nullptr;
                 hChild = GetWindow(hChild, GW_HWNDNEXT)) {
                RECT place{};
                GetWindowRect(hChild, &place);
                MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&place), 2);
                if (TextOf(hChild) == c.caption && ClassOf(hChild) == c.className &&
                    place.left == expected.left && place.top == expected.top) {
                    hItem = hChild;
                }
            }
        } else {
            hItem = Item(c.nID);
        }
        ASSERT_NE(hItem, nullptr);
        EXPECT_EQ(ClassOf(hItem), c.className);
        EXPECT_EQ(TextOf(hItem), c.caption);
        EXPECT_TRUE(IsWindowVisible(hItem));
        RECT place{};
        GetWindowRect(hItem, &place);
        MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, expected.left);
        EXPECT_EQ(place.top, expected.top);
        EXPECT_EQ(place.right, expected.right);
        if (c.place.bottom != 0) {
            EXPECT_EQ(place.bottom, expected.bottom);
        }
    }
    for (const int nID : {IDC_HIDDEN_BUTTON1, IDC_HIDDEN_BUTTON2, IDC_HIDDEN_EDIT1,
                          IDC_HIDDEN_EDIT2, IDC_10D, IDC_10H}) {
        ASSERT_NE(Item(nID), nullptr) << nID;
        EXPECT_FALSE(IsWindowVisible(Item(nID))) << nID;
    }
}

TEST_F(Win32Window, StartUpFindsTheReaderOnCom3) {
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Text(IDC_PORT), L"COM3");
    EXPECT_EQ(SendMessageW(Item(IDC_PORT), CB_GETCOUNT, 0, 0), 10);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SEARCH)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_OPEN)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CLOSE)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CONT_WRITE)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_STOP_WRITE)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_STOP_DES)));

    // The edit font: Arial at 16 points.
    const auto hFont = reinterpret_cast<HFONT>(SendMessageW(Item(IDC_NATIONAL), WM_GETFONT, 0, 0));
    LOGFONTW font{};
    ASSERT_NE(GetObjectW(hFont, sizeof(font), &font), 0);
    EXPECT_STREQ(font.lfFaceName, L"Arial");
    HDC hdc = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(16, GetDeviceCaps(hdc, LOGPIXELSY), 72));
    ReleaseDC(nullptr, hdc);

    // The window menu ends with About and the write guard's items.
    HMENU hMenu = GetSystemMenu(hDlg, FALSE);
    ASSERT_NE(hMenu, nullptr);
    const int nItems = GetMenuItemCount(hMenu);
    const std::pair<UINT, const wchar_t*> tail[] = {{0, nullptr},
                                                    {IDM_ABOUTBOX, L"关于 Pelorin(&A)..."},
                                                    {0, nullptr},
                                                    {IDM_VERIFY_WRITE, L"写后校验(&V)"},
                                                    {IDM_WRITE_RECORD, L"写卡记录(&R)..."}};
    ASSERT_GE(nItems, 5);
    for (int i = 0; i < 5; ++i) {
        const int position = nItems - 5 + i;
        const auto& [nID, text] = tail[i];
        if (text == nullptr) {
            EXPECT_EQ(GetMenuState(hMenu, position, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
            continue;
        }
        wchar_t itemText[64] = {};
        GetMenuStringW(hMenu, position, itemText, 64, MF_BYPOSITION);
        EXPECT_EQ(GetMenuItemID(hMenu, position), nID);
        EXPECT_STREQ(itemText, text);
    }

    // About opens the About box.
    PostMessageW(hDlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (hAbout = MessageBoxShown()) != nullptr; }));
    EXPECT_EQ(TextOf(hAbout), L"关于 Pelorin");
    EXPECT_EQ(TextOf(GetDlgItem(hAbout, IDOK)), L"确定");
    CloseMessageBox(hAbout);
}

// Write and FDX-B Write put their records on the tag and log one line each; the same tag
// again is refused.
TEST_F(Win32Window, WritesReachTheTag) {
    SetText(IDC_COUNTRY, L"528");
    SetText(IDC_NATIONAL, L"000000012344");
    SendMessageW(Item(IDC_ANIMAL), BM_CLICK, 0, 0);
    Click(IDC_WRITE);
    EXPECT_EQ(TagRecordOnReader(), (Record{0x00, 0x00, 0x00, 0x30, 0x38, 0x02, 0x10, 0x00, 0x01}));
    EXPECT_EQ(Text(IDC_NATIONAL), L"000000012345");
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("528000000012344,[0-9]{14},N "))) << lines[0];

    SetText(IDC_FDX_COUNTRY, L"528");
    SetText(IDC_FDX_NATIONAL, L"000000012345");
    SetText(IDC_FDX_ADD, L"3");
    SendMessageW(Item(IDC_FDX_ANIMAL), BM_CLICK, 0, 0);
    Click(IDC_FDX_WRITE);
    EXPECT_EQ(TagRecordOnReader(), (Record{0x02, 0x3C, 0x4E, 0xBB, 0x16, 0x01, 0xBE, 0x00, 0x01}));
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), L"000000012348");
    EXPECT_EQ(Text(IDC_NATIONAL), L"");
    lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("528000000012345,[0-9]{14},Y "))) << lines[1];

    PostMessageW(Item(IDC_FDX_WRITE), BM_CLICK, 0, 0);
    HWND hBox = nullptr;
    EXPECT_EQ(AwaitMessageBox(hBox), L"此卡刚刚已写入过，请换一张卡！");
    CloseMessageBox(hBox);
    EXPECT_EQ(LogLines().size(), 2u);
}

// Continuous scrambling scrambles the tag (timer message 1), then refuses it with a box (message
// 2); the box's loop still delivers the timer's messages, and the first of them (message 3)
// stops the timer, whose flag the refusal cleared.
TEST_F(Win32Window, TimerMessagesArriveInsideTheRefusalBox) {
    PostMessageW(Item(IDC_CONT_DES), BM_CLICK, 0, 0);
    HWND hBox = nullptr;
    EXPECT_EQ(AwaitMessageBox(hBox), L"此卡已加密，请换一张卡！");
    ASSERT_NE(hBox, nullptr);
    EXPECT_TRUE(WaitFor([&] { return window->TimerMessages() >= 3; }, 5s));
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(window->TimerMessages(), 3);
    EXPECT_TRUE(IsWindow(hBox));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CONT_DES)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_STOP_DES)));
    CloseMessageBox(hBox);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(window->TimerMessages(), 3);
}

// Enter stores and closes; a store that fails keeps the window open after its prompt.
TEST_F(Win32Window, EnterStoresThenCloses) {
    SetText(IDC_ADD, L"x");
    PostMessageW(Item(IDC_COUNTRY), WM_KEYDOWN, VK_RETURN, 0);
    HWND hBox = nullptr;
    EXPECT_EQ(AwaitMessageBox(hBox), L"请输入一个整数。");
    CloseMessageBox(hBox);
    EXPECT_TRUE(IsWindow(hDlg));

    SetText(IDC_ADD, L"2");
    PostMessageW(Item(IDC_COUNTRY), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Ended(), IDOK);
    EXPECT_EQ(window->Dlg().m_nAdd, 2);
}

TEST_F(Win32Window, EscCloses) {
    SetText(IDC_ADD, L"x");
    PostMessageW(Item(IDC_COUNTRY), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(Ended(), IDCANCEL);
    EXPECT_EQ(window->Dlg().m_nAdd, 1);
}

}  // namespace
