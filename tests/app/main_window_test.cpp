// The operator window against the real libcorvanel.so and reader simulators on pseudo-terminals.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "about_dlg.h"
#include "app_test_support.h"
#include "data_exchange.h"
#include "pelorin_app.h"
#include "pelorin_dlg.h"
#include "reader_simulator.h"
#include "ui_pelorin_dlg.h"

namespace {

using apptest::BoundPortLibrary;
using apptest::ModalWatcher;
using apptest::PortMap;
using std::chrono::milliseconds;

readersim::Options SilentReader() {
    readersim::Options options;
    options.fault = readersim::Fault::Silent;
    return options;
}

std::vector<std::uint16_t> Commands(const readersim::ReaderSimulator& sim) {
    std::vector<std::uint16_t> commands;
    for (const readersim::Request& request : sim.requests()) {
        EXPECT_EQ(request.address, 0);
        commands.push_back(request.command);
    }
    return commands;
}

// Search, Open, Close as the operator sees them.
struct PortButtons {
    bool search;
    bool open;
    bool close;
    bool operator==(const PortButtons&) const = default;
};

PortButtons ButtonsOf(CPelorinDlg& dlg) {
    Ui::CPelorinDlg& ui = dlg.Controls();
    return {ui.IDC_1140_Search->isEnabled(), ui.IDC_1141_Open->isEnabled(),
            ui.IDC_1142_Close->isEnabled()};
}

constexpr PortButtons kNoPort{true, true, false};
constexpr PortButtons kPortInUse{false, false, true};

class PortControls : public ::testing::Test {
protected:
    readersim::ReaderSimulator reader;
    readersim::ReaderSimulator silent{SilentReader()};
};

TEST_F(PortControls, StartUpFindsTheReaderOnCom3) {
    PortMap ports({{2, silent.devicePath()}, {3, reader.devicePath()}});
    BoundPortLibrary binding;
    ModalWatcher watcher;
    CPelorinDlg dlg;
    dlg.show();

    EXPECT_EQ(Commands(silent), std::vector<std::uint16_t>{RDR_CMD_CHECK});
    EXPECT_EQ(Commands(reader), (std::vector<std::uint16_t>{RDR_CMD_CHECK, RDR_CMD_SIGNAL}));
    EXPECT_EQ(reader.beepCount(), 1);
    EXPECT_EQ(dlg.m_cbPort->currentText(), "COM3");
    EXPECT_EQ(ButtonsOf(dlg), kPortInUse);
    EXPECT_TRUE(binding.m_messages.empty());
    EXPECT_TRUE(watcher.Boxes().empty());

    // The port stays open for the tag buttons.
    EXPECT_EQ(dlg.m_readerLink.Check(0), 0);

    QTest::mouseClick(dlg.Controls().IDC_1142_Close, Qt::LeftButton);
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
    EXPECT_NE(dlg.m_readerLink.Check(0), 0);

    // Search again finds it again.
    reader.clearRequests();
    silent.clearRequests();
    QTest::mouseClick(dlg.Controls().IDC_1140_Search, Qt::LeftButton);
    EXPECT_EQ(Commands(silent), std::vector<std::uint16_t>{RDR_CMD_CHECK});
    EXPECT_EQ(Commands(reader), (std::vector<std::uint16_t>{RDR_CMD_CHECK, RDR_CMD_SIGNAL}));
    EXPECT_EQ(ButtonsOf(dlg), kPortInUse);
}

TEST_F(PortControls, NoReaderAnywhereLeavesSelectAndTheButtons) {
    PortMap ports({{1, silent.devicePath()}});
    BoundPortLibrary binding;
    ModalWatcher watcher;
    CPelorinDlg dlg;
    dlg.show();

    EXPECT_EQ(Commands(silent), std::vector<std::uint16_t>{RDR_CMD_CHECK});
    EXPECT_EQ(dlg.m_cbPort->currentText(), "Select");
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
    EXPECT_TRUE(watcher.Boxes().empty());

    // Close without an open port changes nothing and shows nothing.
    dlg.OnClosePort();
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(PortControls, ReaderOnCom9IsOnlyReachedByOpen) {
    PortMap ports({{9, reader.devicePath()}});
    BoundPortLibrary binding;
    CPelorinDlg dlg;
    dlg.show();
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(dlg.m_cbPort->currentText(), "Select");
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);

    dlg.m_cbPort->setCurrentIndex(9);
    QTest::mouseClick(dlg.Controls().IDC_1141_Open, Qt::LeftButton);
    EXPECT_EQ(ButtonsOf(dlg), kPortInUse);
    // Open itself sends nothing.
    EXPECT_TRUE(reader.requests().empty());
    EXPECT_EQ(dlg.m_readerLink.Check(0), 0);
    EXPECT_EQ(Commands(reader), std::vector<std::uint16_t>{RDR_CMD_CHECK});
}

TEST_F(PortControls, OpenWithSelectTriesPortZeroAfterClosing) {
    PortMap ports({{3, reader.devicePath()}});
    BoundPortLibrary binding;
    ModalWatcher watcher;
    CPelorinDlg dlg;
    dlg.show();
    ASSERT_EQ(ButtonsOf(dlg), kPortInUse);

    // Port 0 does not exist; the port found before is closed first.
    dlg.m_cbPort->setCurrentIndex(0);
    dlg.OnOpenPort();
    EXPECT_EQ(ButtonsOf(dlg), kPortInUse);
    EXPECT_NE(dlg.m_readerLink.Check(0), 0);

    QTest::mouseClick(dlg.Controls().IDC_1142_Close, Qt::LeftButton);
    QTest::mouseClick(dlg.Controls().IDC_1141_Open, Qt::LeftButton);
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(PortControls, WithoutABindingEveryPortActsAsEmpty) {
    PortMap ports({{3, reader.devicePath()}});
    g_portLibrary.Reset();
    CPelorinDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.m_cbPort->currentText(), "Select");
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
    dlg.m_cbPort->setCurrentIndex(3);
    dlg.OnOpenPort();
    dlg.OnSearch();
    dlg.OnClosePort();
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
    EXPECT_TRUE(reader.requests().empty());
}

// The window with no reader attached, for the tests of its boxes.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    }

    Ui::CPelorinDlg& ui() { return dlg.Controls(); }

    PortMap ports{{}};
    BoundPortLibrary binding;
    CPelorinDlg dlg;
};

TEST_F(MainWindow, StartUpValues) {
    EXPECT_EQ(dlg.windowTitle(), "Pelorin");
    EXPECT_EQ(dlg.size(), QSize(489, 611));
    EXPECT_EQ(dlg.m_writeLog.m_strLogFile, "0.csv");
    EXPECT_EQ(dlg.m_nAdd, 1);
    EXPECT_EQ(dlg.m_nFdxAdd, 1);

    EXPECT_EQ(ui().IDC_1129_Add->text(), "1");
    EXPECT_EQ(ui().IDC_1132_FdxAdd->text(), "1");
    for (QLineEdit* empty :
         {ui().IDC_1131_Country, ui().IDC_1139_National, ui().IDC_1133_FdxCountry,
          ui().IDC_1145_FdxNational, ui().IDC_1148_Key}) {
        EXPECT_TRUE(empty->text().isEmpty()) << empty->objectName().toStdString();
    }
    EXPECT_FALSE(ui().IDC_1095_Animal->isChecked());
    EXPECT_FALSE(ui().IDC_1096_FdxAnimal->isChecked());

    QStringList entries;
    for (int i = 0; i < dlg.m_cbPort->count(); ++i) {
        entries << dlg.m_cbPort->itemText(i);
    }
    EXPECT_EQ(entries, QStringList({"Select", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6",
                                    "COM7", "COM8", "COM9"}));

    EXPECT_TRUE(ui().IDC_1146_ContWrite->isEnabled());
    EXPECT_FALSE(ui().IDC_1147_StopWrite->isEnabled());
    EXPECT_TRUE(ui().IDC_1150_ContDes->isEnabled());
    EXPECT_FALSE(ui().IDC_1151_StopDes->isEnabled());
    EXPECT_TRUE(ui().IDC_1152_Des->isEnabled());
    EXPECT_TRUE(ui().IDC_1149_LoadKey->isEnabled());
    EXPECT_TRUE(ui().IDC_1148_Key->isEnabled());

    // The six controls nobody shows.
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{ui().IDC_1025, ui().IDC_1026, ui().IDC_1128, ui().IDC_1130,
                                         ui().IDC_1143_10D, ui().IDC_1144_10H}) {
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    }
    EXPECT_TRUE(ui().IDC_1143_10D->isChecked());
    EXPECT_FALSE(ui().IDC_1144_10H->isChecked());
}

TEST_F(MainWindow, FontsResolveToInstalledFaces) {
    // Chinese text must never come out as boxes.
    const QFontInfo dialogFont(dlg.font());
    EXPECT_EQ(dlg.font().family(), QString::fromUtf8("宋体"));
    EXPECT_EQ(dlg.font().pointSize(), 9);
    EXPECT_TRUE(QFontMetrics(dlg.font()).inFontUcs4(U'关')) << dialogFont.family().toStdString();
    EXPECT_TRUE(QFontMetrics(dlg.font()).inFontUcs4(U'确')) << dialogFont.family().toStdString();
    EXPECT_TRUE(dialogFont.family().startsWith("AR PL UMing")) << dialogFont.family().toStdString();

    for (QLineEdit* edit : {ui().IDC_1131_Country, ui().IDC_1139_National, ui().IDC_1129_Add,
                            ui().IDC_1133_FdxCountry, ui().IDC_1145_FdxNational,
                            ui().IDC_1132_FdxAdd, ui().IDC_1148_Key}) {
        EXPECT_EQ(edit->font().family(), "Arial") << edit->objectName().toStdString();
        EXPECT_EQ(edit->font().pointSize(), 16);
        EXPECT_EQ(QFontInfo(edit->font()).family(), "Liberation Sans");
    }
}

TEST_F(MainWindow, TemplateLayoutAndTabOrder) {
    // Dialog units at 1.5 pixels each.
    const std::map<QWidget*, QRect> geometry = {
        {ui().IDC_1011_Connect, {14, 21, 465, 81}},   {ui().IDC_1139_National, {138, 179, 173, 32}},
        {ui().IDC_1148_Key, {141, 326, 213, 32}},     {ui().IDC_1149_LoadKey, {369, 326, 83, 32}},
        {ui().IDC_STATIC_TagDes, {35, 525, 426, 60}}, {ui().IDC_1152_Des, {137, 548, 83, 21}},
    };
    for (const auto& [widget, rect] : geometry) {
        EXPECT_EQ(widget->geometry(), rect) << widget->objectName().toStdString();
    }
    // No caption is cut off.
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
            << label->objectName().toStdString();
    }
    for (const QCheckBox* check : {ui().IDC_1095_Animal, ui().IDC_1096_FdxAnimal}) {
        EXPECT_GE(check->width(), check->sizeHint().width()) << check->objectName().toStdString();
    }

    const std::vector<QWidget*> tabOrder = {
        ui().IDC_1016_Port,      ui().IDC_1101_Read,       ui().IDC_1102_Write,
        ui().IDC_1095_Animal,    ui().IDC_1129_Add,        ui().IDC_1131_Country,
        ui().IDC_1139_National,  ui().IDC_1140_Search,     ui().IDC_1141_Open,
        ui().IDC_1107_FdxRead,   ui().IDC_1108_FdxWrite,   ui().IDC_1096_FdxAnimal,
        ui().IDC_1132_FdxAdd,    ui().IDC_1133_FdxCountry, ui().IDC_1145_FdxNational,
        ui().IDC_1146_ContWrite, ui().IDC_1148_Key,        ui().IDC_1149_LoadKey,
        ui().IDC_1150_ContDes,   ui().IDC_1152_Des,
    };
    // Close, Stop Write and Stop DES are disabled and skipped.
    tabOrder.front()->setFocus();
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), tabOrder[i])
            << "after " << tabOrder[i - 1]->objectName().toStdString();
    }
}

TEST_F(MainWindow, TypingLimits) {
    struct Case {
        QLineEdit* edit;
        int limit;
    };
    const Case cases[] = {
        {ui().IDC_1131_Country, 3},    {ui().IDC_1139_National, 12},
        {ui().IDC_1133_FdxCountry, 3}, {ui().IDC_1145_FdxNational, 12},
        {ui().IDC_1148_Key, 15},       {ui().IDC_1129_Add, 20},
        {ui().IDC_1132_FdxAdd, 20},
    };
    for (const Case& c : cases) {
        c.edit->clear();
        QTest::keyClicks(c.edit, "12345678901234567890");
        EXPECT_EQ(c.edit->text(), QString("12345678901234567890").left(c.limit))
            << c.edit->objectName().toStdString();
    }
}

TEST_F(MainWindow, StoreAndRefresh) {
    ModalWatcher watcher;
    ui().IDC_1131_Country->setText("528");
    ui().IDC_1139_National->setText("000000012345");
    ui().IDC_1129_Add->setText(" -20000 ");
    ui().IDC_1132_FdxAdd->setText("+7");
    ui().IDC_1133_FdxCountry->setText("999");
    ui().IDC_1145_FdxNational->setText("1");
    ui().IDC_1148_Key->setText("123456789012345");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.m_strCountry, "528");
    EXPECT_EQ(dlg.m_strNational, "000000012345");
    EXPECT_EQ(dlg.m_nAdd, -20000);
    EXPECT_EQ(dlg.m_nFdxAdd, 7);
    EXPECT_EQ(dlg.m_strFdxCountry, "999");
    EXPECT_EQ(dlg.m_strFdxNational, "1");
    EXPECT_EQ(dlg.m_strKey, "123456789012345");
    EXPECT_TRUE(watcher.Boxes().empty());

    // A refresh overwrites whatever was typed since, and shows a text longer than the typing
    // limit whole.
    QTest::keyClicks(ui().IDC_1131_Country, "x");
    dlg.m_strNational = "1000000000000";
    dlg.UpdateData(false);
    EXPECT_EQ(ui().IDC_1131_Country->text(), "528");
    EXPECT_EQ(ui().IDC_1139_National->text(), "1000000000000");
    EXPECT_EQ(ui().IDC_1129_Add->text(), "-20000");
}

TEST_F(MainWindow, FailedStoreStopsAtTheField) {
    struct Case {
        const char* name;
        QLineEdit* failing;
        QString text;
        QString prompt;
    };
    const Case cases[] = {
        {"letters in Add", ui().IDC_1129_Add, "abc", QString::fromUtf8("请输入一个整数。")},
        {"empty FDX Add", ui().IDC_1132_FdxAdd, "", QString::fromUtf8("请输入一个整数。")},
        {"13 national characters", ui().IDC_1139_National, "1000000000000",
         QString::fromUtf8("请输入不超过 12 个字符。")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlg.m_strCountry = "111";
        dlg.m_strNational = "222";
        dlg.m_nAdd = 3;
        dlg.m_nFdxAdd = 4;
        dlg.m_strFdxCountry = "555";
        dlg.m_strFdxNational = "666";
        dlg.m_strKey = "777";
        dlg.UpdateData(false);
        for (QLineEdit* edit :
             {ui().IDC_1131_Country, ui().IDC_1139_National, ui().IDC_1133_FdxCountry,
              ui().IDC_1145_FdxNational, ui().IDC_1148_Key}) {
            edit->setText("9");
        }
        ui().IDC_1129_Add->setText("8");
        ui().IDC_1132_FdxAdd->setText("8");
        c.failing->setText(c.text);

        ModalWatcher watcher;
        EXPECT_FALSE(dlg.UpdateData(true));
        ASSERT_EQ(watcher.Boxes().size(), 1u);
        EXPECT_EQ(watcher.Boxes()[0].text, c.prompt);
        EXPECT_EQ(watcher.Boxes()[0].title, "Pelorin");
        EXPECT_EQ(watcher.Boxes()[0].buttons, QMessageBox::Ok);
        EXPECT_EQ(dlg.focusWidget(), c.failing);
        EXPECT_EQ(c.failing->selectedText(), c.failing->text());

        // Exchange order: country, national, Add, FDX Add, FDX country, FDX national, key.
        const bool failedAtNational = c.failing == ui().IDC_1139_National;
        const bool failedAtAdd = c.failing == ui().IDC_1129_Add;
        EXPECT_EQ(dlg.m_strCountry, "9");
        EXPECT_EQ(dlg.m_strNational, failedAtNational ? "1000000000000" : "9");
        EXPECT_EQ(dlg.m_nAdd, failedAtNational ? 3 : failedAtAdd ? 3 : 8);
        EXPECT_EQ(dlg.m_nFdxAdd, 4);
        EXPECT_EQ(dlg.m_strFdxCountry, "555");
        EXPECT_EQ(dlg.m_strFdxNational, "666");
        EXPECT_EQ(dlg.m_strKey, "777");
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
    };
    for (const Case& c : cases) {
        std::int32_t value = -77;
        EXPECT_EQ(ParseDialogInteger(QString::fromUtf8(c.text), value), c.ok)
            << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : -77) << '"' << c.text << '"';
    }
}

TEST_F(MainWindow, EnterStoresAndCloses) {
    ui().IDC_1139_National->setText("123");
    QTest::keyClick(ui().IDC_1139_National, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_strNational, "123");
}

TEST_F(MainWindow, EnterWithABadIncrementKeepsTheWindowOpen) {
    ModalWatcher watcher;
    ui().IDC_1132_FdxAdd->setText("x");
    QTest::keyClick(ui().IDC_1131_Country, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(watcher.Texts(), std::vector<QString>{QString::fromUtf8("请输入一个整数。")});
}

TEST_F(MainWindow, EnterOnAButtonPressesThatButton) {
    ui().IDC_1142_Close->setEnabled(true);
    ui().IDC_1142_Close->setFocus();
    QTest::keyClick(ui().IDC_1142_Close, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
}

TEST_F(MainWindow, EscClosesWithoutStoring) {
    ui().IDC_1139_National->setText("123");
    QTest::keyClick(ui().IDC_1139_National, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.m_strNational, "");
}

TEST_F(MainWindow, AboutBoxFromTheWindowMenu) {
    QStringList menuTexts;
    bool lastButOneIsSeparator = false;
    QString aboutTitle;
    QStringList aboutTexts;
    bool aboutHasIcon = false;
    bool aboutShown = false;

    // The menu is a popup with a loop of its own; the About box is modal.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            const QList<QAction*> actions = menu->actions();
            for (const QAction* action : actions) {
                menuTexts << action->text();
            }
            lastButOneIsSeparator =
                actions.size() >= 2 && actions[actions.size() - 2]->isSeparator();
            QTest::keyClick(menu, Qt::Key_A);
            return;
        }
        if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
            aboutShown = true;
            aboutTitle = about->windowTitle();
            for (const QLabel* label : about->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    aboutTexts << label->text();
                }
                aboutHasIcon = aboutHasIcon || !label->pixmap().isNull();
            }
            const QList<QPushButton*> buttons = about->findChildren<QPushButton*>();
            ASSERT_EQ(buttons.size(), 1);
            EXPECT_EQ(buttons[0]->text(), QString::fromUtf8("确定"));
            buttons[0]->click();
        }
    });
    poll.start(20);

    const QPoint inside(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, dlg.mapToGlobal(inside));
    QApplication::sendEvent(&dlg, &event);

    ASSERT_FALSE(menuTexts.isEmpty());
    EXPECT_EQ(menuTexts.last(), QString::fromUtf8("关于 Pelorin(&A)..."));
    EXPECT_TRUE(lastButOneIsSeparator);
    ASSERT_TRUE(aboutShown);
    EXPECT_EQ(aboutTitle, QString::fromUtf8("关于 Pelorin"));
    EXPECT_EQ(aboutTexts, QStringList{QString::fromUtf8("Pelorin 1.0 版")});
    EXPECT_TRUE(aboutHasIcon);
    EXPECT_TRUE(dlg.isVisible());
}

// The whole start-up and exit, with the library as the program's directory holds it.
struct StartUpCase {
    const char* name;
    const char* libraryFile;
    bool bound;
};

void PrintTo(const StartUpCase& startUp, std::ostream* os) {
    *os << startUp.name;
}

class ApplicationStartUp : public ::testing::TestWithParam<StartUpCase> {};

TEST_P(ApplicationStartUp, MessageOnceThenTheWindow) {
    readersim::ReaderSimulator reader;
    PortMap ports({{3, reader.devicePath()}});
    bool windowOpened = false;
    QString portShown;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* dlg = qobject_cast<CPelorinDlg*>(modal)) {
            windowOpened = true;
            portShown = dlg->m_cbPort->currentText();
            dlg->reject();
        }
    });

    CPelorinApp app(GetParam().libraryFile);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(windowOpened);
    ASSERT_NE(g_portLibrary.m_pLibrary, nullptr);
    EXPECT_EQ(g_portLibrary.m_pLibrary->IsBound(), GetParam().bound);
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(g_portLibrary.m_pLibrary, nullptr);

    if (GetParam().bound) {
        EXPECT_TRUE(watcher.Boxes().empty());
        EXPECT_EQ(portShown, "COM3");
        EXPECT_EQ(reader.beepCount(), 1);
    } else {
        ASSERT_EQ(watcher.Boxes().size(), 1u);
        EXPECT_EQ(watcher.Boxes()[0].text, "Load tessaly.dll failed !");
        EXPECT_EQ(watcher.Boxes()[0].title, "Pelorin");
        EXPECT_EQ(watcher.Boxes()[0].buttons, QMessageBox::Ok);
        EXPECT_EQ(portShown, "Select");
        EXPECT_TRUE(reader.requests().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, ApplicationStartUp,
                         ::testing::Values(StartUpCase{"Present", "libcorvanel.so", true},
                                           StartUpCase{"Missing", "libcorvanel_absent.so", false},
                                           StartUpCase{"LackingAnExport",
                                                       "libcorvanel_incomplete.so", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
