// What only the Qt window does, against the real libcorvanel.so and reader simulators: the form,
// fonts, typing limits, prompts, keys, menus, the About box, nested message loops, the wiring of
// the buttons to the handlers.
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
#include <QSettings>
#include <QTest>
#include <chrono>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "about_dlg.h"
#include "core_test_support.h"
#include "data_exchange.h"
#include "message_box.h"
#include "modal_watcher.h"
#include "pelorin_app.h"
#include "pelorin_window.h"
#include "port_test_support.h"
#include "reader_simulator.h"
#include "ui_pelorin_dlg.h"

namespace {

using apptest::BoundPortLibrary;
using apptest::Commands;
using apptest::kNoPort;
using apptest::kPortInUse;
using apptest::ModalWatcher;
using apptest::PortButtons;
using apptest::PortMap;
using std::chrono::milliseconds;

PortButtons ButtonsOf(CPelorinWindow& dlg) {
    Ui::CPelorinDlg& ui = dlg.Controls();
    return {ui.IDC_1140_Search->isEnabled(), ui.IDC_1141_Open->isEnabled(),
            ui.IDC_1142_Close->isEnabled()};
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
    CPelorinWindow dlg;
};

TEST_F(MainWindow, StartUpValues) {
    EXPECT_EQ(dlg.windowTitle(), "Pelorin");
    EXPECT_EQ(dlg.size(), QSize(489, 611));

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
    for (int i = 0; i < ui().IDC_1016_Port->count(); ++i) {
        entries << ui().IDC_1016_Port->itemText(i);
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

// Every Chinese text the window shows has glyphs in the font it is drawn with, whichever
// installed face supplies them; the edit boxes use the template's Arial at 16 points.
TEST_F(MainWindow, ChineseTextsHaveGlyphs) {
    struct Shown {
        QString text;
        QFont font;
    };
    std::vector<Shown> shown;
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        shown.push_back({label->text(), label->font()});
    }
    ASSERT_NE(dlg.SystemMenu(), nullptr);
    for (const QAction* action : dlg.SystemMenu()->actions()) {
        shown.push_back({action->text(), dlg.SystemMenu()->font()});
    }
    CAboutDlg about(&dlg);
    shown.push_back({about.windowTitle(), about.font()});
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        shown.push_back({label->text(), label->font()});
    }
    for (const QPushButton* button : about.findChildren<QPushButton*>()) {
        shown.push_back({button->text(), button->font()});
    }
    const QFont boxFont = QMessageBox(&dlg).font();
    for (const char* message : {kAlreadyWrittenMessage, kAlreadyScrambledMessage, kPromptInteger,
                                kDuplicateQuestion, kDuplicateStopMessage,
                                "请输入不超过 12 个字符。", "密钥必须15位！", "密钥必须为数字！"}) {
        shown.push_back({QString::fromUtf8(message), boxFont});
    }

    int chinese = 0;
    for (const Shown& item : shown) {
        const QFontMetrics metrics(item.font);
        for (const char32_t c : item.text.toUcs4()) {
            if (c < 0x80) {
                continue;
            }
            ++chinese;
            EXPECT_TRUE(metrics.inFontUcs4(c))
                << "U+" << std::hex << static_cast<unsigned>(c) << " of " << item.text.toStdString()
                << " in " << QFontInfo(item.font).family().toStdString();
        }
    }
    EXPECT_GT(chinese, 50);

    for (QLineEdit* edit : {ui().IDC_1131_Country, ui().IDC_1139_National, ui().IDC_1129_Add,
                            ui().IDC_1133_FdxCountry, ui().IDC_1145_FdxNational,
                            ui().IDC_1132_FdxAdd, ui().IDC_1148_Key}) {
        EXPECT_EQ(edit->font().family(), "Arial") << edit->objectName().toStdString();
        EXPECT_EQ(edit->font().pointSize(), 16);
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

    // The limits are bytes of the GBK text: a Chinese character takes two.
    const QString chinese = QString::fromUtf8("中中中中中中中中");
    const struct {
        QLineEdit* edit;
        QString typed;
        QString kept;
    } bytes[] = {
        {ui().IDC_1131_Country, chinese, QString::fromUtf8("中")},
        {ui().IDC_1131_Country, QString::fromUtf8("1中中"), QString::fromUtf8("1中")},
        {ui().IDC_1145_FdxNational, chinese, QString::fromUtf8("中中中中中中")},
        {ui().IDC_1148_Key, chinese, QString::fromUtf8("中中中中中中中")},
    };
    for (const auto& c : bytes) {
        c.edit->clear();
        for (const QChar ch : c.typed) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(c.edit, &press);
        }
        EXPECT_EQ(c.edit->text(), c.kept) << c.edit->objectName().toStdString();
        // Pasting is held to the same limit.
        c.edit->clear();
        c.edit->insert(c.typed);
        EXPECT_EQ(c.edit->text(), QString()) << c.edit->objectName().toStdString();
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
    ASSERT_TRUE(dlg.Dlg().UpdateData(true));
    EXPECT_EQ(dlg.Dlg().m_strCountry, "528");
    EXPECT_EQ(dlg.Dlg().m_strNational, "000000012345");
    EXPECT_EQ(dlg.Dlg().m_nAdd, -20000);
    EXPECT_EQ(dlg.Dlg().m_nFdxAdd, 7);
    EXPECT_EQ(dlg.Dlg().m_strFdxCountry, "999");
    EXPECT_EQ(dlg.Dlg().m_strFdxNational, "1");
    EXPECT_EQ(dlg.Dlg().m_strKey, "123456789012345");
    EXPECT_TRUE(watcher.Boxes().empty());

    // A refresh overwrites whatever was typed since, and shows a text longer than the typing
    // limit whole.
    QTest::keyClicks(ui().IDC_1131_Country, "x");
    dlg.Dlg().m_strNational = "1000000000000";
    dlg.Dlg().UpdateData(false);
    EXPECT_EQ(ui().IDC_1131_Country->text(), "528");
    EXPECT_EQ(ui().IDC_1139_National->text(), "1000000000000");
    EXPECT_EQ(ui().IDC_1129_Add->text(), "-20000");
}

// The prompt of a failed check is a message box; the box that failed gets the focus, its text
// selected. Where the exchange stops is the handlers' own and tested there.
TEST_F(MainWindow, FailedStorePromptsAtTheField) {
    const struct {
        QLineEdit* failing;
        QString text;
        QString prompt;
    } cases[] = {
        {ui().IDC_1129_Add, "abc", QString::fromUtf8("请输入一个整数。")},
        {ui().IDC_1133_FdxCountry, QString::fromUtf8("中中"),
         QString::fromUtf8("请输入不超过 3 个字符。")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prompt.toStdString());
        ui().IDC_1129_Add->setText("1");
        ui().IDC_1133_FdxCountry->setText("1");
        c.failing->setText(c.text);
        ui().IDC_1131_Country->setFocus();

        ModalWatcher watcher;
        EXPECT_FALSE(dlg.Dlg().UpdateData(true));
        ASSERT_EQ(watcher.Boxes().size(), 1u);
        EXPECT_EQ(watcher.Boxes()[0].text, c.prompt);
        EXPECT_EQ(watcher.Boxes()[0].title, "Pelorin");
        EXPECT_EQ(watcher.Boxes()[0].buttons, QMessageBox::Ok);
        EXPECT_EQ(dlg.focusWidget(), c.failing);
        EXPECT_EQ(c.failing->selectedText(), c.failing->text());
    }
}

TEST_F(MainWindow, EnterStoresAndCloses) {
    ui().IDC_1139_National->setText("123");
    QTest::keyClick(ui().IDC_1139_National, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Dlg().m_strNational, "123");
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
    EXPECT_EQ(dlg.Dlg().m_strNational, "");
}

// Opens the window menu with a right click on the window's background and chooses the item
// whose accelerator is `key`; returns the menu's texts as shown ("-" for a separator).
QStringList ChooseFromWindowMenu(CPelorinWindow& dlg, Qt::Key key) {
    QStringList menuTexts;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions()) {
                menuTexts << (action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            QTest::keyClick(menu, key);
        }
    });
    poll.start(20);
    const QPoint inside(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, dlg.mapToGlobal(inside));
    QApplication::sendEvent(&dlg, &event);
    return menuTexts;
}

QAction* VerifyAction(CPelorinWindow& dlg) {
    for (QAction* action : dlg.SystemMenu()->actions()) {
        if (action->text() == QString::fromUtf8(kVerifyWriteMenuText)) {
            return action;
        }
    }
    return nullptr;
}

TEST_F(MainWindow, AboutBoxFromTheWindowMenu) {
    QString aboutTitle;
    QStringList aboutTexts;
    bool aboutHasIcon = false;
    bool aboutShown = false;

    // The menu is a popup with a loop of its own; the About box is modal.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
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

    const QStringList menuTexts = ChooseFromWindowMenu(dlg, Qt::Key_A);

    EXPECT_EQ(
        menuTexts,
        (QStringList{QString::fromUtf8("最小化(&N)"), QString::fromUtf8("关闭(&C)\tAlt+F4"), "-",
                     QString::fromUtf8("关于 Pelorin(&A)..."), "-",
                     QString::fromUtf8("写后校验(&V)"), QString::fromUtf8("写卡记录(&R)...")}));
    ASSERT_TRUE(aboutShown);
    EXPECT_EQ(aboutTitle, QString::fromUtf8("关于 Pelorin"));
    EXPECT_EQ(aboutTexts, QStringList{QString::fromUtf8("Pelorin 1.0 版")});
    EXPECT_TRUE(aboutHasIcon);
    EXPECT_TRUE(dlg.isVisible());
}

// Verify-after-write is a check mark in the window menu, off at first, kept in the user's settings
// and shown again by the next window.
TEST(WindowSettings, VerifyAfterWriteIsKeptBetweenRuns) {
    PortMap ports{{}};
    BoundPortLibrary binding;
    QSettings(QString::fromUtf8(kAppName), QString::fromUtf8(kAppName)).clear();
    const auto stored = [] {
        return QSettings(QString::fromUtf8(kAppName), QString::fromUtf8(kAppName))
            .value("Settings/VerifyAfterWrite");
    };

    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "turned on" : "turned off");
        CPelorinWindow dlg;
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        QAction* verify = VerifyAction(dlg);
        ASSERT_NE(verify, nullptr);
        EXPECT_TRUE(verify->isCheckable());
        EXPECT_EQ(verify->isChecked(), !on);
        EXPECT_EQ(dlg.Dlg().m_bVerifyWrite, !on);

        ChooseFromWindowMenu(dlg, Qt::Key_V);

        EXPECT_EQ(verify->isChecked(), on);
        EXPECT_EQ(dlg.Dlg().m_bVerifyWrite, on);
        EXPECT_EQ(stored().toInt(), on ? 1 : 0);
    }
}

// The write record is a message box of the application.
TEST_F(MainWindow, WriteRecordFromTheWindowMenu) {
    ModalWatcher watcher;
    ChooseFromWindowMenu(dlg, Qt::Key_R);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    const apptest::ShownBox& box = watcher.Boxes()[0];
    EXPECT_EQ(box.title, "Pelorin");
    EXPECT_EQ(box.buttons, QMessageBox::Ok);
    EXPECT_TRUE(box.text.contains(QString::fromUtf8("本次写卡记录：还没有写入")))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.endsWith(
        QString::fromUtf8(dlg.Dlg().m_bVerifyWrite ? "写后校验：开" : "写后校验：关")));
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
        if (auto* dlg = qobject_cast<CPelorinWindow*>(modal)) {
            windowOpened = true;
            portShown = dlg->Controls().IDC_1016_Port->currentText();
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

// The window with the reader simulator on COM3 and a write log in a temporary directory.
class ReaderWindow : public ::testing::Test {
protected:
    void SetUp() override {
        tagtest::ResetProgramState();
        ASSERT_TRUE(logDir.IsValid());
        dlg.Dlg().m_writeLog = CWriteLog(logDir.Path().string(), [] { return tagtest::kLogTime; });
        dlg.show();
        ASSERT_EQ(ui().IDC_1016_Port->currentText(), "COM3");
        sim.clearRequests();
    }
    void TearDown() override { tagtest::ResetProgramState(); }

    Ui::CPelorinDlg& ui() { return dlg.Controls(); }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    std::vector<std::uint16_t> TakeCommands() {
        std::vector<std::uint16_t> commands = Commands(sim);
        sim.clearRequests();
        return commands;
    }

    readersim::ReaderSimulator sim;
    tagtest::TempDir logDir;
    PortMap ports{{{3, sim.devicePath()}}};
    BoundPortLibrary binding;
    CPelorinWindow dlg;
};

// Each button runs its handler, which talks to the reader and shows its results in the boxes.
TEST_F(ReaderWindow, ButtonsRunTheirHandlers) {
    using Commands = std::vector<std::uint16_t>;
    constexpr std::uint16_t kRead = RDR_CMD_READ_TAG;
    constexpr std::uint16_t kWrite = RDR_CMD_WRITE_TAG;
    constexpr std::uint16_t kSignal = RDR_CMD_SIGNAL;
    ModalWatcher watcher;
    sim.placeBlankTag();

    ui().IDC_1131_Country->setText("528");
    ui().IDC_1139_National->setText("000000012345");
    ui().IDC_1095_Animal->setChecked(true);
    Click(ui().IDC_1102_Write);
    EXPECT_EQ(TakeCommands(), (Commands{kWrite, kSignal}));
    EXPECT_EQ(ui().IDC_1139_National->text(), "000000012346");

    ui().IDC_1131_Country->clear();
    ui().IDC_1095_Animal->setChecked(false);
    Click(ui().IDC_1101_Read);
    EXPECT_EQ(TakeCommands(), (Commands{kRead, kSignal}));
    EXPECT_EQ(ui().IDC_1131_Country->text(), "528");
    EXPECT_EQ(ui().IDC_1139_National->text(), "000000012345");
    EXPECT_TRUE(ui().IDC_1095_Animal->isChecked());

    ui().IDC_1148_Key->setText("000000000000000");
    Click(ui().IDC_1149_LoadKey);
    EXPECT_FALSE(ui().IDC_1149_LoadKey->isEnabled());
    EXPECT_FALSE(ui().IDC_1148_Key->isEnabled());

    // Under the all-zero key FDX-B reads and writes identities plainly.
    Click(ui().IDC_1107_FdxRead);
    EXPECT_EQ(TakeCommands(), (Commands{kRead, kSignal}));
    EXPECT_EQ(ui().IDC_1133_FdxCountry->text(), "528");
    EXPECT_EQ(ui().IDC_1145_FdxNational->text(), "000000012345");

    sim.placeBlankTag();
    ui().IDC_1145_FdxNational->setText("000000000007");
    Click(ui().IDC_1108_FdxWrite);
    EXPECT_EQ(TakeCommands(), (Commands{kRead, kWrite, kSignal}));
    EXPECT_EQ(ui().IDC_1145_FdxNational->text(), "000000000008");
    EXPECT_EQ(ui().IDC_1131_Country->text(), "");

    sim.placeBlankTag();
    Click(ui().IDC_1152_Des);
    EXPECT_EQ(TakeCommands(), (Commands{kRead, kWrite, kSignal}));
    EXPECT_EQ(sim.writtenTags().size(), 3u);

    Click(ui().IDC_1146_ContWrite);
    Click(ui().IDC_1150_ContDes);
    EXPECT_TRUE(dlg.IsTimerActive(kContWriteTimer));
    EXPECT_TRUE(dlg.IsTimerActive(kContDesTimer));
    EXPECT_FALSE(ui().IDC_1146_ContWrite->isEnabled());
    EXPECT_FALSE(ui().IDC_1150_ContDes->isEnabled());
    Click(ui().IDC_1147_StopWrite);
    Click(ui().IDC_1151_StopDes);
    EXPECT_EQ(g_bContWrite, 0);
    EXPECT_EQ(g_bContDes, 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return !dlg.IsTimerActive(kContWriteTimer) && !dlg.IsTimerActive(kContDesTimer); },
        60000));

    EXPECT_EQ(ButtonsOf(dlg), kPortInUse);
    Click(ui().IDC_1142_Close);
    EXPECT_EQ(ButtonsOf(dlg), kNoPort);
    Click(ui().IDC_1140_Search);
    EXPECT_EQ(TakeCommands(), (Commands{RDR_CMD_CHECK, kSignal}));
    EXPECT_EQ(ButtonsOf(dlg), kPortInUse);
    Click(ui().IDC_1142_Close);
    ui().IDC_1016_Port->setCurrentIndex(3);
    Click(ui().IDC_1141_Open);
    EXPECT_EQ(ButtonsOf(dlg), kPortInUse);
    EXPECT_TRUE(watcher.Boxes().empty());
}

// A refusal's message box runs a modal loop in which the window's timers still deliver: continuous
// writing, turned off by the refusal, has its timer stopped while the box is still open.
TEST_F(ReaderWindow, TimerMessagesArriveWhileARefusalIsShown) {
    bool timerActiveWhileShown = true;
    QString shown;
    QTimer answer;
    answer.setSingleShot(true);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        timerActiveWhileShown = dlg.IsTimerActive(kContWriteTimer);
        box->button(QMessageBox::Ok)->click();
    });
    answer.start(1000);
    // All zero, like the remembered record at start.
    sim.placeTag(readersim::TagMemory{});

    Click(ui().IDC_1146_ContWrite);
    Click(ui().IDC_1108_FdxWrite);

    EXPECT_EQ(shown, QString::fromUtf8(kAlreadyWrittenMessage));
    EXPECT_FALSE(timerActiveWhileShown);
    EXPECT_EQ(Commands(sim), std::vector<std::uint16_t>{RDR_CMD_READ_TAG});
    EXPECT_TRUE(ui().IDC_1146_ContWrite->isEnabled());
    EXPECT_FALSE(ui().IDC_1147_StopWrite->isEnabled());
}

}  // namespace
