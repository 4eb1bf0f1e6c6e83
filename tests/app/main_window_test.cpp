// Start-up, the port controls and the data exchange of the main window on a fake window, against
// the real libcorvanel.so and reader simulators on pseudo-terminals.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "data_exchange.h"
#include "fake_window.h"
#include "pelorin_dlg.h"
#include "port_test_support.h"
#include "reader_simulator.h"

namespace {

using apptest::BoundPortLibrary;
using apptest::Commands;
using apptest::kNoPort;
using apptest::kPortInUse;
using apptest::PortButtons;
using apptest::PortMap;
using apptest::SilentReader;

// The handlers on a fake window, started up.
struct Window {
    Window() {
        window.m_pDlg = &dlg;
        dlg.OnInitDialog();
    }
    PortButtons Buttons() const {
        return {window.IsEnabled(IDC_SEARCH), window.IsEnabled(IDC_OPEN),
                window.IsEnabled(IDC_CLOSE)};
    }

    CFakeWindow window;
    CPelorinDlg dlg{window};
};

class PortControls : public ::testing::Test {
protected:
    readersim::ReaderSimulator reader;
    readersim::ReaderSimulator silent{SilentReader()};
};

TEST_F(PortControls, StartUpFindsTheReaderOnCom3) {
    PortMap ports({{2, silent.devicePath()}, {3, reader.devicePath()}});
    BoundPortLibrary binding;
    Window w;

    EXPECT_EQ(Commands(silent), std::vector<std::uint16_t>{RDR_CMD_CHECK});
    EXPECT_EQ(Commands(reader), (std::vector<std::uint16_t>{RDR_CMD_CHECK, RDR_CMD_SIGNAL}));
    EXPECT_EQ(reader.beepCount(), 1);
    EXPECT_EQ(w.window.ListText(), "COM3");
    EXPECT_EQ(w.Buttons(), kPortInUse);
    EXPECT_TRUE(binding.m_messages.empty());
    EXPECT_TRUE(w.window.m_messages.empty());

    // The port stays open for the tag buttons.
    EXPECT_EQ(w.dlg.m_readerLink.Check(0), 0);

    w.dlg.OnClosePort();
    EXPECT_EQ(w.Buttons(), kNoPort);
    EXPECT_NE(w.dlg.m_readerLink.Check(0), 0);

    // Search again finds it again.
    reader.clearRequests();
    silent.clearRequests();
    w.dlg.OnSearch();
    EXPECT_EQ(Commands(silent), std::vector<std::uint16_t>{RDR_CMD_CHECK});
    EXPECT_EQ(Commands(reader), (std::vector<std::uint16_t>{RDR_CMD_CHECK, RDR_CMD_SIGNAL}));
    EXPECT_EQ(w.Buttons(), kPortInUse);
}

TEST_F(PortControls, NoReaderAnywhereLeavesSelectAndTheButtons) {
    PortMap ports({{1, silent.devicePath()}});
    BoundPortLibrary binding;
    Window w;

    EXPECT_EQ(Commands(silent), std::vector<std::uint16_t>{RDR_CMD_CHECK});
    EXPECT_EQ(w.window.ListText(), "Select");
    EXPECT_EQ(w.Buttons(), kNoPort);
    EXPECT_TRUE(w.window.m_messages.empty());

    // Close without an open port changes nothing and shows nothing.
    w.dlg.OnClosePort();
    EXPECT_EQ(w.Buttons(), kNoPort);
    EXPECT_TRUE(w.window.m_messages.empty());
}

TEST_F(PortControls, ReaderOnCom9IsOnlyReachedByOpen) {
    PortMap ports({{9, reader.devicePath()}});
    BoundPortLibrary binding;
    Window w;
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(w.window.ListText(), "Select");
    EXPECT_EQ(w.Buttons(), kNoPort);

    w.window.m_nListSel = 9;
    w.dlg.OnOpenPort();
    EXPECT_EQ(w.Buttons(), kPortInUse);
    // Open itself sends nothing.
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(w.dlg.m_readerLink.Check(0), 0);
    EXPECT_EQ(Commands(reader), std::vector<std::uint16_t>{RDR_CMD_CHECK});
}

TEST_F(PortControls, OpenWithSelectTriesPortZeroAfterClosing) {
    PortMap ports({{3, reader.devicePath()}});
    BoundPortLibrary binding;
    Window w;
    ASSERT_EQ(w.Buttons(), kPortInUse);

    // Port 0 does not exist; the port found before is closed first.
    w.window.m_nListSel = 0;
    w.dlg.OnOpenPort();
    EXPECT_EQ(w.Buttons(), kPortInUse);
    EXPECT_NE(w.dlg.m_readerLink.Check(0), 0);

    w.dlg.OnClosePort();
    w.dlg.OnOpenPort();
    EXPECT_EQ(w.Buttons(), kNoPort);
    EXPECT_TRUE(w.window.m_messages.empty());
}

TEST_F(PortControls, WithoutABindingEveryPortActsAsEmpty) {
    PortMap ports({{3, reader.devicePath()}});
    g_portLibrary.Reset();
    Window w;
    EXPECT_EQ(w.window.ListText(), "Select");
    EXPECT_EQ(w.Buttons(), kNoPort);
    w.window.m_nListSel = 3;
    w.dlg.OnOpenPort();
    w.dlg.OnSearch();
    w.dlg.OnClosePort();
    EXPECT_EQ(w.Buttons(), kNoPort);
    EXPECT_TRUE(reader.requests().empty());
}

// The window with no reader attached, for the tests of its boxes.
class MainWindow : public ::testing::Test {
protected:
    std::string& Text(int nID) { return w.window.m_texts[nID]; }

    PortMap ports{{}};
    BoundPortLibrary binding;
    Window w;
};

TEST_F(MainWindow, StartUpValues) {
    EXPECT_EQ(w.dlg.m_writeLog.m_strLogFile, "0.csv");
    EXPECT_EQ(w.dlg.m_nAdd, 1);
    EXPECT_EQ(w.dlg.m_nFdxAdd, 1);
    EXPECT_EQ(Text(IDC_ADD), "1");
    EXPECT_EQ(Text(IDC_FDX_ADD), "1");
    for (const int nID : {IDC_COUNTRY, IDC_NATIONAL, IDC_FDX_COUNTRY, IDC_FDX_NATIONAL, IDC_KEY}) {
        EXPECT_EQ(Text(nID), "") << nID;
    }
    EXPECT_FALSE(w.window.IsButtonChecked(IDC_ANIMAL));
    EXPECT_FALSE(w.window.IsButtonChecked(IDC_FDX_ANIMAL));
    EXPECT_TRUE(w.window.IsButtonChecked(IDC_10D));
    EXPECT_FALSE(w.window.IsButtonChecked(IDC_10H));

    EXPECT_EQ(w.window.m_list, (std::vector<std::string>{"Select", "COM1", "COM2", "COM3", "COM4",
                                                         "COM5", "COM6", "COM7", "COM8", "COM9"}));
    EXPECT_EQ(w.window.m_nListSel, 0);

    // CONT DES, DES, Load Key and the key box stay as the template has them.
    EXPECT_EQ(w.window.m_disabled, (std::set<int>{IDC_CLOSE, IDC_STOP_WRITE, IDC_STOP_DES}));
    // Typing limits, in GBK bytes; the increment boxes have none.
    EXPECT_EQ(w.window.m_limits, (std::map<int, int>{{IDC_COUNTRY, 3},
                                                     {IDC_NATIONAL, 12},
                                                     {IDC_FDX_COUNTRY, 3},
                                                     {IDC_FDX_NATIONAL, 12},
                                                     {IDC_KEY, 15}}));
    EXPECT_TRUE(w.window.m_timers.empty());
    EXPECT_TRUE(w.window.m_messages.empty());
}

TEST_F(MainWindow, StoreAndRefresh) {
    Text(IDC_COUNTRY) = "528";
    Text(IDC_NATIONAL) = "000000012345";
    Text(IDC_ADD) = " -20000 ";
    Text(IDC_FDX_ADD) = "+7";
    Text(IDC_FDX_COUNTRY) = "999";
    Text(IDC_FDX_NATIONAL) = "1";
    Text(IDC_KEY) = "123456789012345";
    ASSERT_TRUE(w.dlg.UpdateData(true));
    EXPECT_EQ(w.dlg.m_strCountry, "528");
    EXPECT_EQ(w.dlg.m_strNational, "000000012345");
    EXPECT_EQ(w.dlg.m_nAdd, -20000);
    EXPECT_EQ(w.dlg.m_nFdxAdd, 7);
    EXPECT_EQ(w.dlg.m_strFdxCountry, "999");
    EXPECT_EQ(w.dlg.m_strFdxNational, "1");
    EXPECT_EQ(w.dlg.m_strKey, "123456789012345");
    EXPECT_TRUE(w.window.m_messages.empty());

    // A refresh overwrites whatever was typed since, and shows a text longer than the typing
    // limit whole.
    Text(IDC_COUNTRY) = "528x";
    w.dlg.m_strNational = "1000000000000";
    w.dlg.UpdateData(false);
    EXPECT_EQ(Text(IDC_COUNTRY), "528");
    EXPECT_EQ(Text(IDC_NATIONAL), "1000000000000");
    EXPECT_EQ(Text(IDC_ADD), "-20000");
}

// A failed check prompts, puts the focus on its box and stops the exchange there; the limits are
// bytes of the GBK text, two for a Chinese character.
TEST_F(MainWindow, FailedStoreStopsAtTheField) {
    struct Case {
        const char* name;
        int failing;
        std::string text;
        std::string prompt;  // empty: the store succeeds
    };
    const Case cases[] = {
        {"letters in Add", IDC_ADD, "abc", "请输入一个整数。"},
        {"empty FDX Add", IDC_FDX_ADD, "", "请输入一个整数。"},
        {"13 national characters", IDC_NATIONAL, "1000000000000", "请输入不超过 12 个字符。"},
        {"two Chinese characters in a country", IDC_COUNTRY, "中中", "请输入不超过 3 个字符。"},
        {"one Chinese character in a country", IDC_COUNTRY, "中", ""},
        {"a Chinese character and a digit", IDC_COUNTRY, "中1", ""},
        {"seven Chinese characters in an FDX national", IDC_FDX_NATIONAL, "中中中中中中中",
         "请输入不超过 12 个字符。"},
        {"six Chinese characters in an FDX national", IDC_FDX_NATIONAL, "中中中中中中", ""},
        {"eight Chinese characters in the key", IDC_KEY, "中中中中中中中中",
         "请输入不超过 15 个字符。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.dlg.m_strCountry = "111";
        w.dlg.m_strNational = "222";
        w.dlg.m_nAdd = 3;
        w.dlg.m_nFdxAdd = 4;
        w.dlg.m_strFdxCountry = "555";
        w.dlg.m_strFdxNational = "666";
        w.dlg.m_strKey = "777";
        w.dlg.UpdateData(false);
        for (const int nID : {IDC_COUNTRY, IDC_NATIONAL, IDC_FDX_COUNTRY, IDC_FDX_NATIONAL}) {
            Text(nID) = "9";
        }
        Text(IDC_KEY) = "9";
        Text(IDC_ADD) = "8";
        Text(IDC_FDX_ADD) = "8";
        Text(c.failing) = c.text;
        w.window.m_messages.clear();
        w.window.m_nFocus = 0;

        const bool fails = !c.prompt.empty();
        EXPECT_EQ(w.dlg.UpdateData(true), !fails);
        if (!fails) {
            EXPECT_TRUE(w.window.m_messages.empty());
            EXPECT_EQ(w.dlg.m_strKey, c.failing == IDC_KEY ? c.text : "9");
            continue;
        }
        EXPECT_EQ(w.window.m_messages, std::vector<std::string>{c.prompt});
        EXPECT_EQ(w.window.m_nFocus, c.failing);

        // Exchange order: country, national, Add, FDX Add, FDX country, FDX national, key.
        const int order[] = {IDC_COUNTRY,     IDC_NATIONAL,     IDC_ADD, IDC_FDX_ADD,
                             IDC_FDX_COUNTRY, IDC_FDX_NATIONAL, IDC_KEY};
        const auto reached = [&](int nID) {
            for (const int step : order) {
                if (step == nID) {
                    return true;
                }
                if (step == c.failing) {
                    return false;
                }
            }
            return false;
        };
        // A text that fails its check is taken all the same; an integer is not.
        const auto text = [&](int nID, const char* before) {
            return nID == c.failing ? c.text : reached(nID) ? "9" : before;
        };
        EXPECT_EQ(w.dlg.m_strCountry, text(IDC_COUNTRY, "111"));
        EXPECT_EQ(w.dlg.m_strNational, text(IDC_NATIONAL, "222"));
        EXPECT_EQ(w.dlg.m_nAdd, reached(IDC_ADD) && c.failing != IDC_ADD ? 8 : 3);
        EXPECT_EQ(w.dlg.m_nFdxAdd, reached(IDC_FDX_ADD) && c.failing != IDC_FDX_ADD ? 8 : 4);
        EXPECT_EQ(w.dlg.m_strFdxCountry, text(IDC_FDX_COUNTRY, "555"));
        EXPECT_EQ(w.dlg.m_strFdxNational, text(IDC_FDX_NATIONAL, "666"));
        EXPECT_EQ(w.dlg.m_strKey, text(IDC_KEY, "777"));
    }
}

TEST(DialogInteger, ReadsLikeTheFramework) {
    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    };
    const Case cases[] = {
        {"1", true, 1},
        {"0", true, 0},
        {"00012", true, 12},
        {"  -20000\t", true, -20000},
        {"+5", true, 5},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"", false, 0},
        {"   ", false, 0},
        {"-0", false, 0},
        {"+", false, 0},
        {"abc", false, 0},
        {"12a", false, 0},
        {"1 2", false, 0},
        {"1.5", false, 0},
        {"0x10", false, 0},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"１２", false, 0},
    };
    for (const Case& c : cases) {
        std::int32_t value = -77;
        EXPECT_EQ(ParseDialogInteger(c.text, value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : -77) << '"' << c.text << '"';
    }
}

TEST_F(MainWindow, AboutItemOpensTheAboutBox) {
    EXPECT_TRUE(w.dlg.OnSysCommand(IDM_ABOUTBOX));
    // The low four bits belong to the window system.
    EXPECT_TRUE(w.dlg.OnSysCommand(IDM_ABOUTBOX | 0x000F));
    EXPECT_EQ(w.window.m_nAboutBoxes, 2);
    // Everything else is the window's own.
    EXPECT_FALSE(w.dlg.OnSysCommand(0xF020));
    EXPECT_EQ(w.window.m_nAboutBoxes, 2);
}

}  // namespace
