// CONT Write and CONT DES on timers 1 and 2, against the real port library and the reader
// simulator swapping tags.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core_test_support.h"
#include "data_exchange.h"

namespace {

using namespace tagtest;
using std::chrono::milliseconds;
using std::chrono::steady_clock;
using tagtest::PrintTo;

class ContinuousModes : public TagWindow {
protected:
    ContinuousModes() : TagWindow(QuickSwap()) {}

    void EnterIdentity() {
        Text(IDC_FDX_COUNTRY) = "528";
        Text(IDC_FDX_NATIONAL) = "000000012345";
        Text(IDC_FDX_ADD) = "1";
    }

    static std::string National(int offset) { return FormatNational(12345 + offset); }

    // Writes took every tag's place in turn: tag i holds identity i, scrambled.
    void ExpectConsecutiveTags(std::size_t count) {
        const auto written = sim.writtenTags();
        ASSERT_EQ(written.size(), count);
        ASSERT_LE(count, std::size(kScrambled));
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(RecordOf(written[i]), kScrambled[i]) << "tag " << i;
        }
    }

    // 528 000000012345 to 000000012348, not animals, scrambled under the built-in key.
    static constexpr TagRecord kScrambled[] = {
        {0x02, 0x3C, 0x4E, 0xBB, 0x16, 0x01, 0xBE, 0x00, 0x00},
        {0x05, 0xFA, 0x9E, 0xB0, 0x14, 0x00, 0x11, 0x00, 0x00},
        {0x11, 0x61, 0x8E, 0xEB, 0x26, 0x01, 0xD8, 0x00, 0x00},
        {0x00, 0xFE, 0x27, 0xB3, 0x85, 0x03, 0xB3, 0x00, 0x00},
    };

    struct ModeButtons {
        bool cont;
        bool stop;
        bool operator==(const ModeButtons&) const = default;
    };
    ModeButtons WriteButtons() { return {Enabled(IDC_CONT_WRITE), Enabled(IDC_STOP_WRITE)}; }
    ModeButtons DesButtons() { return {Enabled(IDC_CONT_DES), Enabled(IDC_STOP_DES)}; }
    static constexpr ModeButtons kOff{true, false};
    static constexpr ModeButtons kOn{false, true};

    // Ends whatever still runs, so the next test starts with both timers stopped.
    void StopBoth() {
        dlg->OnStopWrite();
        dlg->OnStopDes();
        EXPECT_TRUE(RunTimersUntil(
            [this] {
                return !window.IsTimerActive(kContWriteTimer) &&
                       !window.IsTimerActive(kContDesTimer);
            },
            kRunTimeout));
    }
};

TEST_F(ContinuousModes, StateTable) {
    EXPECT_EQ(WriteButtons(), kOff);
    EXPECT_EQ(DesButtons(), kOff);

    dlg->OnContWrite();
    dlg->OnContDes();
    EXPECT_EQ(WriteButtons(), kOn);
    EXPECT_EQ(DesButtons(), kOn);
    EXPECT_EQ(g_bContWrite, 1);
    EXPECT_EQ(g_bContDes, 1);
    EXPECT_TRUE(window.IsTimerActive(kContWriteTimer));
    EXPECT_TRUE(window.IsTimerActive(kContDesTimer));

    // Stopping: the flag is off, the timer runs until its next message.
    dlg->OnStopWrite();
    dlg->OnStopDes();
    EXPECT_EQ(WriteButtons(), kOff);
    EXPECT_EQ(DesButtons(), kOff);
    EXPECT_EQ(g_bContWrite, 0);
    EXPECT_EQ(g_bContDes, 0);
    EXPECT_TRUE(window.IsTimerActive(kContWriteTimer));
    EXPECT_TRUE(window.IsTimerActive(kContDesTimer));

    // Stopping back to on before that message.
    dlg->OnContWrite();
    EXPECT_EQ(WriteButtons(), kOn);
    EXPECT_EQ(g_bContWrite, 1);

    dlg->OnStopWrite();
    // Either timer's message ends both stopping modes.
    EXPECT_TRUE(RunTimersUntil(
        [this] {
            return !window.IsTimerActive(kContWriteTimer) && !window.IsTimerActive(kContDesTimer);
        },
        kRunTimeout));
    EXPECT_TRUE(sim.requests().empty());
    EXPECT_TRUE(Messages().empty());
}

// Fresh tags one after another, then the last one stays on the reader.
TEST_F(ContinuousModes, WritesConsecutiveIdentitiesUntilTheLastTagStays) {
    EnterIdentity();
    sim.placeBlankTag();
    sim.queueBlankTags(3);

    dlg->OnContWrite();
    ASSERT_TRUE(RunTimersUntil([this] { return !Messages().empty(); }, kRunTimeout));
    ASSERT_TRUE(
        RunTimersUntil([this] { return !window.IsTimerActive(kContWriteTimer); }, kRunTimeout));

    ExpectConsecutiveTags(4);
    std::vector<std::string> lines;
    for (int i = 0; i < 4; ++i) {
        lines.push_back(LogLine("528" + National(i), "Y"));
    }
    EXPECT_EQ(LogLines(), lines);
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), National(4));
    EXPECT_EQ(Beeps(), 4);
    EXPECT_EQ(Messages(), std::vector<std::string>{kAlreadyWritten});
    EXPECT_EQ(WriteButtons(), kOff);
    EXPECT_EQ(g_bContWrite, 0);

    // After the last write's signal: 17 reads of the same tag and nothing else.
    const CommandList commands = Commands();
    const auto lastSignal = std::find(commands.rbegin(), commands.rend(), kSignal);
    ASSERT_NE(lastSignal, commands.rend());
    EXPECT_EQ(CommandList(lastSignal.base(), commands.end()), CommandList(17, kRead));
    const auto reads = TimesOf(kRead);
    ASSERT_GE(reads.size(), 17u);
    EXPECT_GE(reads.back() - reads[reads.size() - 17], milliseconds(16 * 200));

    // Every success is followed by the 500 ms pause before the next step.
    const auto writes = TimesOf(kWrite);
    for (std::size_t i = 1; i < writes.size(); ++i) {
        EXPECT_GE(writes[i] - writes[i - 1], milliseconds(500));
    }
}

TEST_F(ContinuousModes, NoTagMakesTwentyReadsAndAFailedWrite) {
    EnterIdentity();
    sim.removeTag();

    dlg->OnContWrite();
    ASSERT_TRUE(RunTimersUntil([this] { return sim.requests().size() >= 21; }, kRunTimeout));

    CommandList step(20, kRead);
    step.push_back(kWrite);
    const CommandList commands = Commands();
    EXPECT_EQ(CommandList(commands.begin(), commands.begin() + 21), step);
    // Failed reads take no pause.
    const auto reads = TimesOf(kRead);
    EXPECT_LT(reads[19] - reads[0], milliseconds(3000));
    EXPECT_EQ(Beeps(), 0);
    EXPECT_EQ(g_bContWrite, 1);
    EXPECT_TRUE(window.IsTimerActive(kContWriteTimer));
    EXPECT_EQ(WriteButtons(), kOn);
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), "000000012345");
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(Messages().empty());
    StopBoth();
}

TEST_F(ContinuousModes, StopBetweenStepsRunsNoFurtherStep) {
    EnterIdentity();
    sim.removeTag();
    dlg->OnContWrite();
    ASSERT_TRUE(RunTimersUntil([this] { return sim.requests().size() >= 21; }, kRunTimeout));

    dlg->OnStopWrite();
    const std::size_t requestsAtStop = sim.requests().size();
    EXPECT_TRUE(window.IsTimerActive(kContWriteTimer));
    ASSERT_TRUE(
        RunTimersUntil([this] { return !window.IsTimerActive(kContWriteTimer); }, kRunTimeout));
    std::this_thread::sleep_for(milliseconds(500));
    window.DeliverTimerMessage();
    EXPECT_EQ(sim.requests().size(), requestsAtStop);
    EXPECT_EQ(WriteButtons(), kOff);
}

// Every timer message runs the write step first; the scramble step then reads what it wrote.
TEST_F(ContinuousModes, BothModesWriteThenScramble) {
    EnterIdentity();
    sim.placeBlankTag();
    dlg->OnContWrite();
    dlg->OnContDes();
    ASSERT_TRUE(RunTimersUntil([this] { return sim.writtenTags().size() >= 2; }, kRunTimeout));
    StopBoth();

    const CommandList commands = Commands();
    ASSERT_GE(commands.size(), 6u);
    EXPECT_EQ(CommandList(commands.begin(), commands.begin() + 6),
              (CommandList{kRead, kWrite, kSignal, kRead, kWrite, kSignal}));
    const auto written = sim.writtenTags();
    EXPECT_EQ(RecordOf(written[0]), kScrambled[0]);
    // The first tag scrambled once more in place.
    EXPECT_EQ(RecordOf(written[1]),
              (TagRecord{0x15, 0xC2, 0xE4, 0x30, 0xD6, 0x00, 0x41, 0x00, 0x00}));
    EXPECT_EQ(LogLines().front(), LogLine("528" + National(0), "Y"));
}

// A refusal's message box runs a modal loop in which the timers still deliver: continuous writing,
// turned off by the refusal, has its timer stopped while the box is still open.
TEST_F(ContinuousModes, TimerMessagesArriveWhileARefusalIsShown) {
    bool timerActiveWhileShown = true;
    window.m_onMessageOpen = [&](const std::string&) {
        window.DeliverTimerMessage();
        timerActiveWhileShown = window.IsTimerActive(kContWriteTimer);
    };
    // All zero, like the remembered record at start.
    sim.placeTag(readersim::TagMemory{});

    dlg->OnContWrite();
    dlg->OnFdxWrite();

    EXPECT_EQ(Messages(), std::vector<std::string>{kAlreadyWritten});
    EXPECT_FALSE(timerActiveWhileShown);
    EXPECT_EQ(Commands(), CommandList{kRead});
    EXPECT_EQ(WriteButtons(), kOff);
}

TEST_F(ContinuousModes, ScramblingTheSameTagAgainIsRefused) {
    sim.placeBlankTag();
    dlg->OnContDes();
    ASSERT_TRUE(RunTimersUntil([this] { return !Messages().empty(); }, kRunTimeout));
    ASSERT_TRUE(
        RunTimersUntil([this] { return !window.IsTimerActive(kContDesTimer); }, kRunTimeout));

    EXPECT_EQ(Commands(), (CommandList{kRead, kWrite, kSignal, kRead}));
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(Messages(), std::vector<std::string>{kAlreadyScrambled});
    EXPECT_EQ(DesButtons(), kOff);
    EXPECT_EQ(g_bContDes, 0);
    EXPECT_TRUE(LogLines().empty());
}

// The log file turns into a directory after two tags and back after the failure was shown: the
// third tag is written without its line, and the mode goes on.
TEST_F(ContinuousModes, LogUnwritableInTheMiddleOfARun) {
    EnterIdentity();
    sim.placeBlankTag();
    sim.queueBlankTags(3);
    const std::filesystem::path logPath = LogPath();
    const std::filesystem::path savedPath = logDir.Path() / "saved.csv";
    enum class Log { kWritable, kBroken, kRestored } log = Log::kWritable;
    window.m_onMessageOpen = [&](const std::string& text) {
        if (log == Log::kBroken && text.find(kLogFileName) != std::string::npos) {
            std::filesystem::remove(logPath);
            std::filesystem::rename(savedPath, logPath);
            log = Log::kRestored;
        }
    };

    dlg->OnContWrite();
    ASSERT_TRUE(RunTimersUntil(
        [&] {
            if (log == Log::kWritable && LogLines().size() == 2) {
                std::filesystem::rename(logPath, savedPath);
                std::filesystem::create_directory(logPath);
                log = Log::kBroken;
            }
            return Messages().size() >= 2;
        },
        kRunTimeout));
    ASSERT_TRUE(
        RunTimersUntil([this] { return !window.IsTimerActive(kContWriteTimer); }, kRunTimeout));

    ExpectConsecutiveTags(4);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{LogLine("528" + National(0), "Y"),
                                                    LogLine("528" + National(1), "Y"),
                                                    LogLine("528" + National(3), "Y")}));
    const std::vector<std::string> texts = Messages();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find(kLogFileName), std::string::npos) << texts[0];
    EXPECT_EQ(texts[1], kAlreadyWritten);
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), National(4));
    EXPECT_EQ(Beeps(), 4);
}

// CONT Write runs while a Write button's store fails on an empty "Add" box: the store's prompt
// delivers a timer message. The step must not run inside the prompt, or it writes identity N on
// the tag and logs it, and the button's own write then goes over that tag.
struct NestedPromptCase {
    const char* name;
    void (CPelorinDlg::*press)();
};

class StoreInsideContWrite : public ContinuousModes,
                             public ::testing::WithParamInterface<NestedPromptCase> {
protected:
    // The identity that a tag carries, read the way its log flag says it was written.
    static std::string IdentityOnTag(const readersim::TagMemory& tag, const std::string& flag) {
        ReadBuffer buffer{};
        std::copy(tag.begin(), tag.end(), buffer.begin() + 1);
        const ReadIdentity read = flag == "Y" ? UnscrambledRead(buffer) : PlainRead(buffer);
        return read.strCountry + read.strNational;
    }
};

TEST_P(StoreInsideContWrite, EveryLoggedIdentityIsOnOneTag) {
    EnterIdentity();
    Text(IDC_COUNTRY) = "528";
    Text(IDC_NATIONAL) = "000000099999";
    ASSERT_TRUE(dlg->UpdateData(true));
    Text(IDC_ADD) = "";
    sim.placeBlankTag();
    window.m_onMessageOpen = [this](const std::string&) {
        if (window.m_nOpenMessages == 1) {
            window.DeliverTimerMessage();
        }
    };

    dlg->OnContWrite();
    ((*dlg).*GetParam().press)();
    window.m_onMessageOpen = nullptr;
    dlg->OnStopWrite();
    window.DeliverTimerMessage();

    const std::optional<readersim::TagMemory> tag = sim.currentTag();
    ASSERT_TRUE(tag.has_value());
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    for (const std::string& line : lines) {
        const std::string identity = line.substr(0, kIdentityDigits);
        const std::string flag = line.substr(line.rfind(',') + 1, 1);
        EXPECT_EQ(IdentityOnTag(*tag, flag), identity) << line;
    }
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(Messages(), std::vector<std::string>{kPromptInteger});
    EXPECT_FALSE(window.IsTimerActive(kContWriteTimer));
}

INSTANTIATE_TEST_SUITE_P(Buttons, StoreInsideContWrite,
                         ::testing::Values(NestedPromptCase{"Write", &CPelorinDlg::OnWrite},
                                           NestedPromptCase{"FdxWrite", &CPelorinDlg::OnFdxWrite}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
