// CONT Write and CONT DES on timers 1 and 2, against the real port library and the reader
// simulator swapping tags.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tag_test_support.h"

namespace {

using namespace tagtest;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr std::uint16_t kRead = RDR_CMD_READ_TAG;
constexpr std::uint16_t kWrite = RDR_CMD_WRITE_TAG;
constexpr std::uint16_t kSignal = RDR_CMD_SIGNAL;
using CommandList = std::vector<std::uint16_t>;

constexpr milliseconds kRunTimeout(60000);

readersim::Options QuickSwap() {
    readersim::Options options;
    options.tagSwapDelay = milliseconds(100);
    return options;
}

class ContinuousModes : public TagWindow {
protected:
    ContinuousModes() : TagWindow(QuickSwap()) {}

    void EnterIdentity() {
        Ui().IDC_1133_FdxCountry->setText("528");
        Ui().IDC_1145_FdxNational->setText("000000012345");
        Ui().IDC_1132_FdxAdd->setText("1");
    }

    static std::string National(int offset) { return FormatNational(12345 + offset); }

    // Writes took every tag's place in turn: tag i holds identity i, scrambled.
    void ExpectConsecutiveTags(std::size_t count) {
        const auto written = sim.writtenTags();
        ASSERT_EQ(written.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(RecordOf(written[i]),
                      ScrambledWrite("528", National(static_cast<int>(i)), false).record)
                << "tag " << i;
        }
    }

    struct ModeButtons {
        bool cont;
        bool stop;
        bool operator==(const ModeButtons&) const = default;
    };
    ModeButtons WriteButtons() {
        return {Ui().IDC_1146_ContWrite->isEnabled(), Ui().IDC_1147_StopWrite->isEnabled()};
    }
    ModeButtons DesButtons() {
        return {Ui().IDC_1150_ContDes->isEnabled(), Ui().IDC_1151_StopDes->isEnabled()};
    }
    static constexpr ModeButtons kOff{true, false};
    static constexpr ModeButtons kOn{false, true};

    std::vector<steady_clock::time_point> TimesOf(std::uint16_t command) const {
        std::vector<steady_clock::time_point> times;
        for (const readersim::Request& request : sim.requests()) {
            if (request.command == command) {
                times.push_back(request.receivedAt);
            }
        }
        return times;
    }

    // Ends whatever still runs, so the next test starts with both timers stopped.
    void StopBoth() {
        dlg->OnStopWrite();
        dlg->OnStopDes();
        EXPECT_TRUE(RunUntil(
            [this] {
                return !dlg->IsTimerActive(kContWriteTimer) && !dlg->IsTimerActive(kContDesTimer);
            },
            kRunTimeout));
    }
};

TEST_F(ContinuousModes, StateTable) {
    EXPECT_EQ(WriteButtons(), kOff);
    EXPECT_EQ(DesButtons(), kOff);

    Click(Ui().IDC_1146_ContWrite);
    Click(Ui().IDC_1150_ContDes);
    EXPECT_EQ(WriteButtons(), kOn);
    EXPECT_EQ(DesButtons(), kOn);
    EXPECT_EQ(g_bContWrite, 1);
    EXPECT_EQ(g_bContDes, 1);
    EXPECT_TRUE(dlg->IsTimerActive(kContWriteTimer));
    EXPECT_TRUE(dlg->IsTimerActive(kContDesTimer));

    // Stopping: the flag is off, the timer runs until its next message.
    Click(Ui().IDC_1147_StopWrite);
    Click(Ui().IDC_1151_StopDes);
    EXPECT_EQ(WriteButtons(), kOff);
    EXPECT_EQ(DesButtons(), kOff);
    EXPECT_EQ(g_bContWrite, 0);
    EXPECT_EQ(g_bContDes, 0);
    EXPECT_TRUE(dlg->IsTimerActive(kContWriteTimer));
    EXPECT_TRUE(dlg->IsTimerActive(kContDesTimer));

    // Stopping back to on before that message.
    Click(Ui().IDC_1146_ContWrite);
    EXPECT_EQ(WriteButtons(), kOn);
    EXPECT_EQ(g_bContWrite, 1);

    Click(Ui().IDC_1147_StopWrite);
    // Either timer's message ends both stopping modes.
    EXPECT_TRUE(RunUntil(
        [this] {
            return !dlg->IsTimerActive(kContWriteTimer) && !dlg->IsTimerActive(kContDesTimer);
        },
        kRunTimeout));
    EXPECT_TRUE(sim.requests().empty());
    EXPECT_TRUE(BoxTexts().empty());
}

// Fresh tags one after another, then the last one stays on the reader.
TEST_F(ContinuousModes, WritesConsecutiveIdentitiesUntilTheLastTagStays) {
    EnterIdentity();
    sim.placeBlankTag();
    sim.queueBlankTags(3);

    Click(Ui().IDC_1146_ContWrite);
    ASSERT_TRUE(RunUntil([this] { return !BoxTexts().empty(); }, kRunTimeout));
    ASSERT_TRUE(RunUntil([this] { return !dlg->IsTimerActive(kContWriteTimer); }, kRunTimeout));

    ExpectConsecutiveTags(4);
    std::vector<std::string> lines;
    for (int i = 0; i < 4; ++i) {
        lines.push_back(LogLine("528" + National(i), "Y"));
    }
    EXPECT_EQ(LogLines(), lines);
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text().toStdString(), National(4));
    EXPECT_EQ(Beeps(), 4);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{QString::fromUtf8(kAlreadyWritten)});
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

    Click(Ui().IDC_1146_ContWrite);
    ASSERT_TRUE(RunUntil([this] { return sim.requests().size() >= 21; }, kRunTimeout));

    CommandList step(20, kRead);
    step.push_back(kWrite);
    const CommandList commands = Commands();
    EXPECT_EQ(CommandList(commands.begin(), commands.begin() + 21), step);
    // Failed reads take no pause.
    const auto reads = TimesOf(kRead);
    EXPECT_LT(reads[19] - reads[0], milliseconds(3000));
    EXPECT_EQ(Beeps(), 0);
    EXPECT_EQ(g_bContWrite, 1);
    EXPECT_TRUE(dlg->IsTimerActive(kContWriteTimer));
    EXPECT_EQ(WriteButtons(), kOn);
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text(), "000000012345");
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(BoxTexts().empty());
    StopBoth();
}

TEST_F(ContinuousModes, StopBetweenStepsRunsNoFurtherStep) {
    EnterIdentity();
    sim.removeTag();
    Click(Ui().IDC_1146_ContWrite);
    ASSERT_TRUE(RunUntil([this] { return sim.requests().size() >= 21; }, kRunTimeout));

    Click(Ui().IDC_1147_StopWrite);
    const std::size_t requestsAtStop = sim.requests().size();
    EXPECT_TRUE(dlg->IsTimerActive(kContWriteTimer));
    ASSERT_TRUE(RunUntil([this] { return !dlg->IsTimerActive(kContWriteTimer); }, kRunTimeout));
    QTest::qWait(500);
    EXPECT_EQ(sim.requests().size(), requestsAtStop);
    EXPECT_EQ(WriteButtons(), kOff);
}

// Every timer message runs the write step first; the scramble step then reads what it wrote.
TEST_F(ContinuousModes, BothModesWriteThenScramble) {
    EnterIdentity();
    sim.placeBlankTag();
    Click(Ui().IDC_1146_ContWrite);
    Click(Ui().IDC_1150_ContDes);
    ASSERT_TRUE(RunUntil([this] { return sim.writtenTags().size() >= 2; }, kRunTimeout));
    StopBoth();

    const CommandList commands = Commands();
    ASSERT_GE(commands.size(), 6u);
    EXPECT_EQ(CommandList(commands.begin(), commands.begin() + 6),
              (CommandList{kRead, kWrite, kSignal, kRead, kWrite, kSignal}));
    const auto written = sim.writtenTags();
    EXPECT_EQ(RecordOf(written[0]), ScrambledWrite("528", National(0), false).record);
    EXPECT_EQ(RecordOf(written[1]), ScrambleInPlace(ReadBufferOf(written[0])));
    EXPECT_EQ(LogLines().front(), LogLine("528" + National(0), "Y"));
}

// A refusal's message box runs a modal loop in which the timers still deliver: continuous writing,
// turned off by the refusal, has its timer stopped while the box is still open.
TEST_F(ContinuousModes, TimerMessagesArriveWhileARefusalIsShown) {
    watcher.reset();
    bool timerActiveWhileShown = true;
    QString shown;
    QTimer answer;
    answer.setSingleShot(true);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        timerActiveWhileShown = dlg->IsTimerActive(kContWriteTimer);
        box->button(QMessageBox::Ok)->click();
    });
    answer.start(1000);
    // All zero, like the remembered record at start.
    sim.placeTag(readersim::TagMemory{});

    Click(Ui().IDC_1146_ContWrite);
    Click(Ui().IDC_1108_FdxWrite);

    EXPECT_EQ(shown, QString::fromUtf8(kAlreadyWritten));
    EXPECT_FALSE(timerActiveWhileShown);
    EXPECT_EQ(Commands(), CommandList{kRead});
    EXPECT_EQ(WriteButtons(), kOff);
}

TEST_F(ContinuousModes, ScramblingTheSameTagAgainIsRefused) {
    sim.placeBlankTag();
    Click(Ui().IDC_1150_ContDes);
    ASSERT_TRUE(RunUntil([this] { return !BoxTexts().empty(); }, kRunTimeout));
    ASSERT_TRUE(RunUntil([this] { return !dlg->IsTimerActive(kContDesTimer); }, kRunTimeout));

    EXPECT_EQ(Commands(), (CommandList{kRead, kWrite, kSignal, kRead}));
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{QString::fromUtf8(kAlreadyScrambled)});
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
    const QString logPath = QString::fromStdString(LogPath());
    const QString savedPath = logDir.filePath("saved.csv");
    enum class Log { kWritable, kBroken, kRestored } log = Log::kWritable;
    QTimer saboteur;
    QObject::connect(&saboteur, &QTimer::timeout, [&] {
        if (log == Log::kWritable && LogLines().size() == 2) {
            ASSERT_TRUE(QFile::rename(logPath, savedPath));
            ASSERT_TRUE(QDir().mkdir(logPath));
            log = Log::kBroken;
        } else if (log == Log::kBroken && !BoxTexts().empty()) {
            ASSERT_TRUE(QDir().rmdir(logPath));
            ASSERT_TRUE(QFile::rename(savedPath, logPath));
            log = Log::kRestored;
        }
    });
    saboteur.start(10);

    Click(Ui().IDC_1146_ContWrite);
    ASSERT_TRUE(RunUntil([this] { return BoxTexts().size() >= 2; }, kRunTimeout));
    ASSERT_TRUE(RunUntil([this] { return !dlg->IsTimerActive(kContWriteTimer); }, kRunTimeout));
    saboteur.stop();

    ExpectConsecutiveTags(4);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{LogLine("528" + National(0), "Y"),
                                                    LogLine("528" + National(1), "Y"),
                                                    LogLine("528" + National(3), "Y")}));
    const std::vector<QString> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].contains(QString::fromUtf8(kLogFileName))) << texts[0].toStdString();
    EXPECT_EQ(texts[1], QString::fromUtf8(kAlreadyWritten));
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text().toStdString(), National(4));
    EXPECT_EQ(Beeps(), 4);
}

}  // namespace
