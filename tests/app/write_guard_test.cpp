// The write guard against the real port library and the reader simulator: identities that the
// write logs already hold, the read-back after every write, and the window-menu items.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core_test_support.h"

namespace {

using namespace tagtest;
using std::chrono::milliseconds;
using tagtest::PrintTo;

using Lines = std::vector<std::string>;

constexpr char kEarlierLog[] = "20100101120000.csv";
constexpr char kVerifySetting[] = "Settings/VerifyAfterWrite";

std::string Question(const std::string& identity, const std::string& time,
                     const std::string& file) {
    return "卡号 " + identity + " 已于 " + time + " 写入过（" + file + "），仍要写入吗？";
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class WriteGuard : public TagWindow {
protected:
    explicit WriteGuard(readersim::Options options = {}) : TagWindow(std::move(options)) {}

    // Files in the log directory before start-up, by name and content.
    std::vector<std::pair<std::string, std::string>> earlierFiles;

    void BeforeStartUp() override {
        for (const auto& [name, content] : earlierFiles) {
            std::ofstream(logDir.Path() / name, std::ios::binary) << content;
        }
    }

    static std::string Log(const Lines& records) {
        std::string text(WriteLogHeader());
        for (const std::string& record : records) {
            text += record + " \n";
        }
        return text;
    }

    void EnterPlain(const char* national) {
        Text(IDC_COUNTRY) = "528";
        Text(IDC_NATIONAL) = national;
        Text(IDC_ADD) = "1";
    }
    void EnterFdx(const char* national) {
        Text(IDC_FDX_COUNTRY) = "528";
        Text(IDC_FDX_NATIONAL) = national;
        Text(IDC_FDX_ADD) = "1";
    }

    std::string Report() {
        const std::size_t shown = Messages().size();
        EXPECT_TRUE(dlg->OnSysCommand(IDM_WRITE_RECORD));
        return Messages().size() == shown + 1 ? Messages().back() : std::string();
    }

    std::string ReportHead() const {
        const std::u8string dir = std::filesystem::absolute(logDir.Path()).u8string();
        return "记录目录：" + std::string(dir.begin(), dir.end()) + "\n";
    }
};

// An earlier run logged 528 000000012345.
class LoggedBefore : public WriteGuard {
protected:
    void BeforeStartUp() override {
        earlierFiles = {{kEarlierLog, Log({"528000000012345,20100101120000,N"})}};
        WriteGuard::BeforeStartUp();
    }
};

// Write and FDX-B Write of an identity an earlier run logged.
struct AskCase {
    const char* name;
    void (CPelorinDlg::*press)();
    bool bFdx;
    bool bYes;
    CommandList commands;
};

class EarlierRun : public LoggedBefore, public ::testing::WithParamInterface<AskCase> {};

TEST_P(EarlierRun, IsAskedAbout) {
    const AskCase& c = GetParam();
    sim.placeBlankTag();
    Text(IDC_COUNTRY) = "111";
    Text(IDC_NATIONAL) = "222";
    if (c.bFdx) {
        EnterFdx("000000012345");
    } else {
        EnterPlain("000000012345");
    }
    window.m_bAnswerYes = c.bYes;

    ((*dlg).*c.press)();

    EXPECT_EQ(window.m_questions,
              Lines{Question("528000000012345", "2010-01-01 12:00:00", kEarlierLog)});
    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(sim.writtenTags().size(), c.bYes ? 1u : 0u);
    EXPECT_EQ(Beeps(), c.bYes ? 1 : 0);
    EXPECT_EQ(LogLines(), c.bYes ? Lines{LogLine("528000000012345", c.bFdx ? "Y" : "N")} : Lines{});
    const int national = c.bFdx ? IDC_FDX_NATIONAL : IDC_NATIONAL;
    EXPECT_EQ(Text(national), c.bYes ? "000000012346" : "000000012345");
    if (c.bFdx) {
        // Emptied only on the way to a write.
        EXPECT_EQ(Text(IDC_COUNTRY), c.bYes ? "" : "111");
        EXPECT_EQ(g_abLastWritten == RememberedRecord{}, !c.bYes);
    }
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, EarlierRun,
    ::testing::Values(
        AskCase{"WriteYes", &CPelorinDlg::OnWrite, false, true, {kWrite, kSignal}},
        AskCase{"WriteNo", &CPelorinDlg::OnWrite, false, false, {}},
        AskCase{"FdxWriteYes", &CPelorinDlg::OnFdxWrite, true, true, {kRead, kWrite, kSignal}},
        // Only the same-tag test's read.
        AskCase{"FdxWriteNo", &CPelorinDlg::OnFdxWrite, true, false, {kRead}}),
    [](const auto& info) { return std::string(info.param.name); });

// An identity typed again in the same run is caught as well, whichever group wrote it first.
TEST_F(WriteGuard, DuplicateWithinTheRun) {
    sim.placeBlankTag();
    EnterPlain("000000012345");
    dlg->OnWrite();
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_TRUE(window.m_questions.empty());

    sim.placeBlankTag();
    EnterFdx("000000012345");
    window.m_bAnswerYes = false;
    dlg->OnFdxWrite();

    EXPECT_EQ(window.m_questions,
              Lines{Question("528000000012345", "2011-03-05 08:04:09", kLogFileName)});
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(LogLines().size(), 1u);
}

// Continuous writing meets an identity an earlier run logged: it stops with nothing written.
class ContinuousDuplicate : public WriteGuard {
protected:
    ContinuousDuplicate() : WriteGuard(QuickSwap()) {}

    void BeforeStartUp() override {
        earlierFiles = {{kEarlierLog, Log({"528000000012346,20100101120000,Y"})}};
        WriteGuard::BeforeStartUp();
    }
};

TEST_F(ContinuousDuplicate, StopsContinuousWriting) {
    EnterFdx("000000012345");
    sim.placeBlankTag();
    sim.queueBlankTags(2);
    bool timerActiveWhileShown = true;
    window.m_onMessageOpen = [&](const std::string&) {
        window.DeliverTimerMessage();
        timerActiveWhileShown = window.IsTimerActive(kContWriteTimer);
    };

    dlg->OnContWrite();
    ASSERT_TRUE(RunTimersUntil([this] { return !Messages().empty(); }, kRunTimeout));

    EXPECT_EQ(Messages(), Lines{"卡号 528000000012346 已于 2010-01-01 12:00:00 写入过（" +
                                std::string(kEarlierLog) + "），连续写卡已停止！"});
    EXPECT_FALSE(timerActiveWhileShown);
    EXPECT_TRUE(window.m_questions.empty());
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(LogLines(), Lines{LogLine("528000000012345", "Y")});
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), "000000012346");
    EXPECT_EQ(Beeps(), 1);
    EXPECT_EQ(g_bContWrite, 0);
    EXPECT_TRUE(Enabled(IDC_CONT_WRITE));
    EXPECT_FALSE(Enabled(IDC_STOP_WRITE));
    // The second step read the next tag and wrote nothing.
    const CommandList commands = Commands();
    EXPECT_EQ(CommandList(commands.end() - 2, commands.end()), (CommandList{kSignal, kRead}));
}

// The question's modal loop delivers timer messages; CONT Write must not write under it.
struct HeldCase {
    const char* name;
    void (CPelorinDlg::*press)();
    bool bFdx;
};

class QuestionInsideContWrite : public LoggedBefore,
                                public ::testing::WithParamInterface<HeldCase> {};

TEST_P(QuestionInsideContWrite, NoStepRunsWhileAsking) {
    const HeldCase& c = GetParam();
    sim.placeBlankTag();
    // Continuous writing would write a new identity onto the tag on the reader.
    EnterFdx(c.bFdx ? "000000012345" : "000000077777");
    if (!c.bFdx) {
        EnterPlain("000000012345");
    }
    std::size_t requestsDuringQuestion = 0;
    window.m_onMessageOpen = [&](const std::string&) {
        const std::size_t before = sim.requests().size();
        window.DeliverTimerMessage();
        window.DeliverTimerMessage();
        requestsDuringQuestion = sim.requests().size() - before;
    };

    dlg->OnContWrite();
    ((*dlg).*c.press)();
    window.m_onMessageOpen = nullptr;
    dlg->OnStopWrite();
    window.DeliverTimerMessage();

    EXPECT_EQ(window.m_questions.size(), 1u);
    EXPECT_EQ(requestsDuringQuestion, 0u);
    ASSERT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(LogLines(), Lines{LogLine("528000000012345", c.bFdx ? "Y" : "N")});
    EXPECT_FALSE(window.IsTimerActive(kContWriteTimer));
}

INSTANTIATE_TEST_SUITE_P(Buttons, QuestionInsideContWrite,
                         ::testing::Values(HeldCase{"Write", &CPelorinDlg::OnWrite, false},
                                           HeldCase{"FdxWrite", &CPelorinDlg::OnFdxWrite, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Malformed logs are read past, never changed, and counted in the write record.
class MalformedLogs : public WriteGuard {
protected:
    void BeforeStartUp() override {
        earlierFiles = {
            {kEarlierLog,
             Log({"528000000000001,20100101120000,Y", "528000000000002,20100101120500,N",
                  "528000000000003,2010010112,Y", "garbage"})},
            // Named like a log, without the header: none of it counts.
            {"20100102000000.csv", "528000000000009,20100102000000,Y \n"},
            {"notes.csv", Log({"528000000000008,20100101120000,Y"})},
        };
        WriteGuard::BeforeStartUp();
    }
};

TEST_F(MalformedLogs, SkippedAndReported) {
    EXPECT_EQ(Report(), ReportHead() +
                            "本次写卡记录：还没有写入\n"
                            "查重：2 个卡号，来自启动时读取的 1 个记录文件；跳过格式不对的 2 "
                            "行、没有表头的 1 个文件\n"
                            "写后校验：关");

    // Only the good lines guard; the headerless file and the other name do not.
    sim.placeBlankTag();
    EnterFdx("000000000009");
    dlg->OnFdxWrite();
    sim.placeBlankTag();
    EnterFdx("000000000008");
    dlg->OnFdxWrite();
    EXPECT_TRUE(window.m_questions.empty());
    sim.placeBlankTag();
    EnterFdx("000000000002");
    window.m_bAnswerYes = false;
    dlg->OnFdxWrite();
    EXPECT_EQ(window.m_questions,
              Lines{Question("528000000000002", "2010-01-01 12:05:00", kEarlierLog)});

    EXPECT_EQ(Report(), ReportHead() + "本次写卡记录：" + kLogFileName +
                            "，2 行\n"
                            "查重：4 个卡号，来自启动时读取的 1 个记录文件；跳过格式不对的 2 "
                            "行、没有表头的 1 个文件\n"
                            "写后校验：关");
    for (const auto& [name, content] : earlierFiles) {
        EXPECT_EQ(ReadFile(logDir.Path() / name), content) << name;
    }
}

// A log directory that cannot be listed does not stop the window; the record says so.
class UnreadableDirectory : public TagWindow {
protected:
    std::filesystem::path LogDirectory() const override { return logDir.Path() / "missing"; }
};

TEST_F(UnreadableDirectory, StartsAndReportsIt) {
    EXPECT_TRUE(Messages().empty());
    ASSERT_TRUE(dlg->OnSysCommand(IDM_WRITE_RECORD));
    ASSERT_EQ(Messages().size(), 1u);
    const std::string& text = Messages()[0];
    EXPECT_NE(text.find("记录目录未能读全，查重只含读到的记录（" + LogDirectory().string()),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("查重：0 个卡号"), std::string::npos) << text;
}

// Verify after write: one read-back after every good write; a write the tag did not keep is a
// failed write.
enum class Op { kWrite, kFdxWrite, kDes, kContStep };

struct VerifyCase {
    const char* name;
    Op op;
    CommandList off;      // verify off: as without the option
    CommandList on;       // verify on, the tag kept the write
    CommandList lost;     // verify on, the tag kept its old record
    int lostBeeps;        // the operation's failure signal
    const char* logFlag;  // null: the operation logs nothing
};

class VerifyAfterWrite : public WriteGuard, public ::testing::WithParamInterface<VerifyCase> {
protected:
    void Run() {
        sim.placeBlankTag();
        EnterPlain("000000012345");
        EnterFdx("000000012345");
        switch (GetParam().op) {
            case Op::kWrite:
                dlg->OnWrite();
                break;
            case Op::kFdxWrite:
                dlg->OnFdxWrite();
                break;
            case Op::kDes:
                dlg->OnDes();
                break;
            case Op::kContStep:
                dlg->OnContWrite();
                window.DeliverTimerMessage();
                dlg->OnStopWrite();
                window.DeliverTimerMessage();
                ASSERT_FALSE(window.AnyTimerActive());
                break;
        }
    }
    int NationalBox() const {
        return GetParam().op == Op::kWrite ? IDC_NATIONAL : IDC_FDX_NATIONAL;
    }
    void TurnVerifyOn() {
        ASSERT_TRUE(dlg->OnSysCommand(IDM_VERIFY_WRITE));
        ASSERT_TRUE(dlg->m_bVerifyWrite);
    }
};

TEST_P(VerifyAfterWrite, OffSendsTheFramesAsBefore) {
    Run();
    EXPECT_EQ(Commands(), GetParam().off);
    EXPECT_EQ(sim.writtenTags().size(), 1u);
}

TEST_P(VerifyAfterWrite, GoodWriteReadsBackOnce) {
    const VerifyCase& c = GetParam();
    TurnVerifyOn();
    Run();
    EXPECT_EQ(Commands(), c.on);
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(Beeps(), 1);
    EXPECT_EQ(LogLines(),
              c.logFlag != nullptr ? Lines{LogLine("528000000012345", c.logFlag)} : Lines{});
    if (c.op != Op::kDes) {
        EXPECT_EQ(Text(NationalBox()), "000000012346");
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_P(VerifyAfterWrite, LostWriteIsAFailedWrite) {
    const VerifyCase& c = GetParam();
    TurnVerifyOn();
    sim.setFault(readersim::Fault::LostWrite);
    Run();
    EXPECT_EQ(Commands(), c.lost);
    EXPECT_EQ(Beeps(), c.lostBeeps);
    EXPECT_TRUE(sim.writtenTags().empty());
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(Text(NationalBox()), "000000012345");
    EXPECT_EQ(g_abLastWritten, RememberedRecord{});
    EXPECT_EQ(g_abLastScrambled, RememberedRecord{});
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Operations, VerifyAfterWrite,
                         ::testing::Values(
                             // The failure signal, then the closing one.
                             VerifyCase{"Write",
                                        Op::kWrite,
                                        {kWrite, kSignal},
                                        {kWrite, kRead, kSignal},
                                        {kWrite, kRead, kSignal, kSignal, kSignal, kSignal},
                                        4,
                                        "N"},
                             VerifyCase{"FdxWrite",
                                        Op::kFdxWrite,
                                        {kRead, kWrite, kSignal},
                                        {kRead, kWrite, kRead, kSignal},
                                        {kRead, kWrite, kRead, kSignal, kSignal, kSignal, kSignal},
                                        4,
                                        "Y"},
                             VerifyCase{"Des",
                                        Op::kDes,
                                        {kRead, kWrite, kSignal},
                                        {kRead, kWrite, kRead, kSignal},
                                        {kRead, kWrite, kRead},
                                        0,
                                        nullptr},
                             VerifyCase{"ContWriteStep",
                                        Op::kContStep,
                                        {kRead, kWrite, kSignal},
                                        {kRead, kWrite, kRead, kSignal},
                                        {kRead, kWrite, kRead},
                                        0,
                                        "Y"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Continuous writing over a stack with verify on: the written tag must stay on the reader long
// enough to be read back before it is lifted.
class VerifiedStack : public WriteGuard {
protected:
    VerifiedStack() : WriteGuard(Options()) {}
    static readersim::Options Options() {
        readersim::Options options;
        options.tagSwapDelay = milliseconds(100);
        options.tagLiftDelay = milliseconds(50);
        return options;
    }
};

TEST_F(VerifiedStack, EveryTagReadBackAndLogged) {
    ASSERT_TRUE(dlg->OnSysCommand(IDM_VERIFY_WRITE));
    EnterFdx("000000012345");
    sim.placeBlankTag();
    sim.queueBlankTags(2);

    dlg->OnContWrite();
    ASSERT_TRUE(RunTimersUntil([this] { return LogLines().size() == 3; }, kRunTimeout));
    dlg->OnStopWrite();
    ASSERT_TRUE(
        RunTimersUntil([this] { return !window.IsTimerActive(kContWriteTimer); }, kRunTimeout));

    EXPECT_EQ(sim.writtenTags().size(), 3u);
    EXPECT_EQ(LogLines(), (Lines{LogLine("528000000012345", "Y"), LogLine("528000000012346", "Y"),
                                 LogLine("528000000012347", "Y")}));
    const CommandList commands = Commands();
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (commands[i] == kWrite) {
            ASSERT_LT(i + 2, commands.size());
            EXPECT_EQ(commands[i + 1], kRead) << i;
            EXPECT_EQ(commands[i + 2], kSignal) << i;
        }
    }
    EXPECT_TRUE(Messages().empty());
}

// The menu items, and the setting kept between runs.
TEST_F(WriteGuard, MenuItemsAndTheStoredSetting) {
    EXPECT_EQ(window.m_menu, (std::vector<std::pair<unsigned, std::string>>{
                                 {0, ""},
                                 {IDM_VERIFY_WRITE, kVerifyWriteMenuText},
                                 {IDM_WRITE_RECORD, kWriteRecordMenuText}}));
    // Off by default.
    EXPECT_FALSE(dlg->m_bVerifyWrite);
    EXPECT_FALSE(window.m_menuChecked.contains(IDM_VERIFY_WRITE));

    ASSERT_TRUE(dlg->OnSysCommand(IDM_VERIFY_WRITE));
    EXPECT_TRUE(dlg->m_bVerifyWrite);
    EXPECT_TRUE(window.m_menuChecked.contains(IDM_VERIFY_WRITE));
    EXPECT_EQ(window.m_profile[kVerifySetting], 1);
    EXPECT_TRUE(Report().ends_with("写后校验：开"));

    // The next run starts with it on.
    CFakeWindow next;
    next.m_profile = window.m_profile;
    CPelorinDlg nextDlg(next);
    nextDlg.m_writeLog = CWriteLog(logDir.Path().string(), [] { return kLogTime; });
    nextDlg.OnInitDialog();
    EXPECT_TRUE(nextDlg.m_bVerifyWrite);
    EXPECT_TRUE(next.m_menuChecked.contains(IDM_VERIFY_WRITE));

    ASSERT_TRUE(dlg->OnSysCommand(IDM_VERIFY_WRITE));
    EXPECT_FALSE(dlg->m_bVerifyWrite);
    EXPECT_FALSE(window.m_menuChecked.contains(IDM_VERIFY_WRITE));
    EXPECT_EQ(window.m_profile[kVerifySetting], 0);
    EXPECT_EQ(Messages().size(), 1u);
}

// A setting that cannot be stored still switches the option for this run, and says so.
TEST_F(WriteGuard, SettingNotStored) {
    window.m_bSettingsWritable = false;
    ASSERT_TRUE(dlg->OnSysCommand(IDM_VERIFY_WRITE));
    EXPECT_TRUE(dlg->m_bVerifyWrite);
    EXPECT_TRUE(window.m_menuChecked.contains(IDM_VERIFY_WRITE));
    EXPECT_EQ(Messages().size(), 1u);
}

}  // namespace
