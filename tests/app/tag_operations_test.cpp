// The buttons of the two identity groups against the real port library and the reader simulator.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core_test_support.h"

namespace {

using namespace tagtest;
using std::chrono::milliseconds;
using tagtest::PrintTo;

// 528 000000012345, an animal tag, exactly as the plain write puts it on a tag.
constexpr readersim::TagMemory kAnimalTag = {0x00, 0x00, 0x00, 0x30, 0x39, 0x02, 0x10, 0x00,
                                             0x80, 0,    0,    0,    0,    0,    0};
// 528 000000012345, an animal, scrambled under the built-in key.
constexpr TagRecord kScrambledAnimal = {0x02, 0x3C, 0x4E, 0xBB, 0x16, 0x01, 0xBE, 0x00, 0x01};
// kAnimalTag scrambled in place under the built-in key: the same numbers, its flag byte kept.
constexpr TagRecord kAnimalTagScrambled = {0x02, 0x3C, 0x4E, 0xBB, 0x16, 0x01, 0xBE, 0x00, 0x80};

enum class Reader { kTag, kNoTag, kFailureStatus };

readersim::Options OptionsFor(Reader reader) {
    readersim::Options options;
    if (reader == Reader::kFailureStatus) {
        options.fault = readersim::Fault::Status;
    }
    return options;
}

class TagOperations : public TagWindow {
protected:
    void Arrange(Reader reader) {
        if (reader == Reader::kTag) {
            sim.placeTag(kAnimalTag);
        } else {
            sim.removeTag();
        }
        // Faults are switched on only now, after the start-up search found the reader.
        sim.setOptions(OptionsFor(reader));
    }

    // Three signals 50 ms apart, then the closing one.
    void ExpectFailureSignalPauses() {
        const auto times = TimesOf(kSignal);
        ASSERT_EQ(times.size(), 4u);
        EXPECT_GE(times[1] - times[0], milliseconds(50));
        EXPECT_GE(times[2] - times[1], milliseconds(50));
    }
};

// The two Read buttons: the boxes they fill and the signals they send.
struct ReadCase {
    const char* name;
    Reader reader;
    CommandList commands;
    int beeps;
    bool filled;
};

class ReadButtons : public TagOperations, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadButtons, PlainRead) {
    const ReadCase& c = GetParam();
    Arrange(c.reader);
    dlg->m_strCountry = "111";
    dlg->m_strNational = "222";
    dlg->UpdateData(false);
    Check(IDC_ANIMAL, c.filled);

    dlg->OnRead();

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    EXPECT_EQ(Text(IDC_COUNTRY), c.filled ? "528" : "");
    EXPECT_EQ(Text(IDC_NATIONAL), c.filled ? "000000012345" : "");
    // Flag byte 0x80 counts as an animal.
    EXPECT_EQ(Checked(IDC_ANIMAL), c.filled);
    if (!c.filled) {
        ExpectFailureSignalPauses();
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ReadButtons, UnscrambledRead) {
    const ReadCase& c = GetParam();
    Arrange(c.reader);
    dlg->m_strFdxCountry = "111";
    dlg->m_strFdxNational = "222";
    dlg->UpdateData(false);
    Check(IDC_FDX_ANIMAL, c.filled);

    dlg->OnFdxRead();

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    // The tag's 528 000000012345 unscrambled under the built-in key.
    EXPECT_EQ(Text(IDC_FDX_COUNTRY), c.filled ? "667" : "");
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), c.filled ? "028385856060" : "");
    EXPECT_EQ(Checked(IDC_FDX_ANIMAL), c.filled);
    if (!c.filled) {
        ExpectFailureSignalPauses();
    }
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ReadButtons,
    ::testing::Values(
        ReadCase{"Success", Reader::kTag, {kRead, kSignal}, 1, true},
        ReadCase{"NoTag", Reader::kNoTag, {kRead, kSignal, kSignal, kSignal, kSignal}, 4, false},
        // The reader refuses everything, its signals included.
        ReadCase{"FailureStatus",
                 Reader::kFailureStatus,
                 {kRead, kSignal, kSignal, kSignal, kSignal},
                 0,
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

// "11784/11785" Write.
struct PlainWriteCase {
    const char* name;
    Reader reader;
    CommandList commands;
    int beeps;
    bool written;
};

class PlainWriteButton : public TagOperations,
                         public ::testing::WithParamInterface<PlainWriteCase> {};

TEST_P(PlainWriteButton, Outcome) {
    const PlainWriteCase& c = GetParam();
    Arrange(c.reader);
    Text(IDC_COUNTRY) = "528";
    Text(IDC_NATIONAL) = "000000012345";
    Check(IDC_ANIMAL, true);

    dlg->OnWrite();

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    const std::vector<std::uint8_t> record = {0x00, 0x00, 0x00, 0x30, 0x39, 0x02, 0x10, 0x00, 0x01};
    if (c.written) {
        EXPECT_EQ(WriteData(), std::vector<std::vector<std::uint8_t>>{record});
        ASSERT_EQ(sim.writtenTags().size(), 1u);
        const TagRecord onTag = RecordOf(sim.writtenTags()[0]);
        EXPECT_EQ(std::vector<std::uint8_t>(onTag.begin(), onTag.end()), record);
    }
    EXPECT_TRUE(sim.writtenTags().empty() != c.written);
    EXPECT_EQ(Text(IDC_COUNTRY), "528");
    EXPECT_EQ(Text(IDC_NATIONAL), c.written ? "000000012346" : "000000012345");
    EXPECT_EQ(LogLines(), c.written ? std::vector<std::string>{LogLine("528000000012345", "N")}
                                    : std::vector<std::string>{});
    // The plain group never touches the remembered records.
    EXPECT_EQ(g_abLastWritten, RememberedRecord{});
    EXPECT_EQ(g_abLastScrambled, RememberedRecord{});
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, PlainWriteButton,
    ::testing::Values(
        PlainWriteCase{"Success", Reader::kTag, {kWrite, kSignal}, 1, true},
        PlainWriteCase{
            "NoTag", Reader::kNoTag, {kWrite, kSignal, kSignal, kSignal, kSignal}, 4, false},
        PlainWriteCase{"FailureStatus",
                       Reader::kFailureStatus,
                       {kWrite, kSignal, kSignal, kSignal, kSignal},
                       0,
                       false}),
    [](const auto& info) { return std::string(info.param.name); });

// "FDX-B" Write.
struct FdxWriteCase {
    const char* name;
    Reader reader;
    CommandList commands;
    int beeps;
    bool written;
};

class FdxWriteButton : public TagOperations, public ::testing::WithParamInterface<FdxWriteCase> {};

TEST_P(FdxWriteButton, Outcome) {
    const FdxWriteCase& c = GetParam();
    Arrange(c.reader);
    Text(IDC_COUNTRY) = "111";
    Text(IDC_NATIONAL) = "222";
    Text(IDC_FDX_COUNTRY) = "528";
    Text(IDC_FDX_NATIONAL) = "000000012345";
    Text(IDC_FDX_ADD) = "3";
    Check(IDC_FDX_ANIMAL, true);

    dlg->OnFdxWrite();

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    if (c.written) {
        ASSERT_EQ(sim.writtenTags().size(), 1u);
        EXPECT_EQ(RecordOf(sim.writtenTags()[0]), kScrambledAnimal);
    }
    EXPECT_TRUE(sim.writtenTags().empty() != c.written);
    RememberedRecord remembered{};
    if (c.written) {
        std::copy_n(kScrambledAnimal.begin(), remembered.size(), remembered.begin());
    }
    EXPECT_EQ(g_abLastWritten, remembered);
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), c.written ? "000000012348" : "000000012345");
    // The log holds the identity as entered, not as scrambled.
    EXPECT_EQ(LogLines(), c.written ? std::vector<std::string>{LogLine("528000000012345", "Y")}
                                    : std::vector<std::string>{});
    // The other group's texts are emptied whatever the outcome.
    EXPECT_EQ(Text(IDC_COUNTRY), "");
    EXPECT_EQ(Text(IDC_NATIONAL), "");
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FdxWriteButton,
    ::testing::Values(
        FdxWriteCase{"Success", Reader::kTag, {kRead, kWrite, kSignal}, 1, true},
        // A failed read skips the same-tag test and goes on to write.
        FdxWriteCase{
            "NoTag", Reader::kNoTag, {kRead, kWrite, kSignal, kSignal, kSignal, kSignal}, 4, false},
        FdxWriteCase{"FailureStatus",
                     Reader::kFailureStatus,
                     {kRead, kWrite, kSignal, kSignal, kSignal, kSignal},
                     0,
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

// The same-tag refusals of FDX-B Write and DES.
struct RefusalCase {
    const char* name;
    void (CPelorinDlg::*press)();
    // The refused operation turns its continuous mode off.
    int contButton;
    int stopButton;
    std::uint8_t* flag;
    const char* message;
};

class Refusals : public TagOperations, public ::testing::WithParamInterface<RefusalCase> {
protected:
    void Press() { ((*dlg).*GetParam().press)(); }
    void ExpectRefused(std::size_t writesBefore) {
        const RefusalCase& c = GetParam();
        EXPECT_EQ(Commands(), CommandList{kRead});
        EXPECT_EQ(sim.writtenTags().size(), writesBefore);
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(*c.flag, 0);
        EXPECT_TRUE(Enabled(c.contButton));
        EXPECT_FALSE(Enabled(c.stopButton));
    }
};

TEST_P(Refusals, SameTagTwiceInARow) {
    sim.placeBlankTag();
    Text(IDC_FDX_COUNTRY) = "528";
    Text(IDC_FDX_NATIONAL) = "000000012345";
    Press();
    ASSERT_EQ(sim.writtenTags().size(), 1u);
    ASSERT_TRUE(Messages().empty());
    // As if the mode were on.
    *GetParam().flag = 1;
    window.EnableItem(GetParam().contButton, false);
    window.EnableItem(GetParam().stopButton, true);
    sim.clearRequests();
    const int beeps = Beeps();

    Press();

    ExpectRefused(1);
    EXPECT_EQ(Beeps(), beeps);
}

// The remembered records start all zero, so a tag holding 000 000000000000 counts as written.
TEST_P(Refusals, ZeroTagAsFirstOperation) {
    sim.placeTag(readersim::TagMemory{});
    Press();
    ExpectRefused(0);
    EXPECT_EQ(Beeps(), 0);
    EXPECT_TRUE(LogLines().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, Refusals,
    ::testing::Values(RefusalCase{"FdxWrite", &CPelorinDlg::OnFdxWrite, IDC_CONT_WRITE,
                                  IDC_STOP_WRITE, &g_bContWrite, kAlreadyWritten},
                      RefusalCase{"Des", &CPelorinDlg::OnDes, IDC_CONT_DES, IDC_STOP_DES,
                                  &g_bContDes, kAlreadyScrambled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TagOperations, FdxWriteTwiceRefusesAlthoughTheNationalAdvanced) {
    sim.placeBlankTag();
    Text(IDC_FDX_COUNTRY) = "528";
    Text(IDC_FDX_NATIONAL) = "000000012345";
    dlg->OnFdxWrite();
    dlg->OnFdxWrite();

    EXPECT_EQ(Commands(), (CommandList{kRead, kWrite, kSignal, kRead}));
    EXPECT_EQ(Messages(), std::vector<std::string>{kAlreadyWritten});
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), "000000012346");
    EXPECT_EQ(LogLines().size(), 1u);
}

// The tag differs from the last one written only in its animal flag: still the same tag.
TEST_F(TagOperations, SameTagIgnoresTheAnimalFlag) {
    TagRecord animal = kScrambledAnimal;
    animal[8] = 0;
    RememberRecord(animal, g_abLastWritten);
    animal[8] = 1;
    sim.placeTag(TagHolding(animal));
    dlg->OnFdxWrite();
    EXPECT_EQ(Commands(), CommandList{kRead});
    EXPECT_EQ(Messages(), std::vector<std::string>{kAlreadyWritten});
}

// A plain write in between does not change what FDX-B Write compares with.
TEST_F(TagOperations, PlainWriteKeepsTheFdxRememberedRecord) {
    sim.placeBlankTag();
    Text(IDC_FDX_COUNTRY) = "528";
    Text(IDC_FDX_NATIONAL) = "000000012345";
    dlg->OnFdxWrite();
    const RememberedRecord remembered = g_abLastWritten;
    Text(IDC_COUNTRY) = "528";
    Text(IDC_NATIONAL) = "000000099999";
    dlg->OnWrite();
    EXPECT_EQ(g_abLastWritten, remembered);
}

TEST_F(TagOperations, IncrementZeroWritesTheSameIdentityToTheNextTag) {
    sim.placeBlankTag();
    Text(IDC_FDX_COUNTRY) = "528";
    Text(IDC_FDX_NATIONAL) = "000000012345";
    Text(IDC_FDX_ADD) = "0";
    dlg->OnFdxWrite();
    sim.placeBlankTag();
    dlg->OnFdxWrite();

    // The second write asks, since the log holds the identity, and goes on with Yes.
    EXPECT_EQ(window.m_questions.size(), 1u);
    const auto written = sim.writtenTags();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(RecordOf(written[0]), RecordOf(written[1]));
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), "000000012345");
    EXPECT_EQ(LogLines(), std::vector<std::string>(2, LogLine("528000000012345", "Y")));
}

// FDX-B Write then FDX-B Read gives back the identity entered; the tag holds it scrambled.
struct KeyCase {
    const char* name;
    const char* key;  // null: the built-in key
    TagRecord onTag;  // 528 012345678901, an animal
};

class FdxRoundTrip : public TagOperations, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(FdxRoundTrip, ReadsBackTheEnteredIdentity) {
    if (GetParam().key != nullptr) {
        Text(IDC_KEY) = GetParam().key;
        dlg->OnLoadKey();
        ASSERT_TRUE(Messages().empty());
    }
    sim.placeBlankTag();
    Text(IDC_FDX_COUNTRY) = "528";
    Text(IDC_FDX_NATIONAL) = "012345678901";
    Check(IDC_FDX_ANIMAL, true);
    dlg->OnFdxWrite();

    ASSERT_EQ(sim.writtenTags().size(), 1u);
    const TagRecord onTag = RecordOf(sim.writtenTags()[0]);
    EXPECT_EQ(onTag, GetParam().onTag);

    Text(IDC_FDX_COUNTRY).clear();
    Text(IDC_FDX_NATIONAL).clear();
    Check(IDC_FDX_ANIMAL, false);
    dlg->OnFdxRead();
    EXPECT_EQ(Text(IDC_FDX_COUNTRY), "528");
    EXPECT_EQ(Text(IDC_FDX_NATIONAL), "012345678901");
    EXPECT_TRUE(Checked(IDC_FDX_ANIMAL));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FdxRoundTrip,
    ::testing::Values(
        KeyCase{"BuiltIn", nullptr, {0x01, 0x36, 0x7A, 0x66, 0xAF, 0x03, 0x7E, 0x00, 0x01}},
        KeyCase{
            "Loaded", "907132465801234", {0x09, 0xA1, 0x85, 0x52, 0x7A, 0x02, 0x69, 0x00, 0x01}},
        // The plain record: an all-zero key scrambles nothing.
        KeyCase{
            "AllZero", "000000000000000", {0x02, 0xDF, 0xDC, 0x1C, 0x35, 0x02, 0x10, 0x00, 0x01}}),
    [](const auto& info) { return std::string(info.param.name); });

// Load Key.
struct LoadKeyCase {
    const char* name;
    const char* text;
    const char* message;  // null: accepted
    const char* storePrompt = nullptr;
};

class LoadKeyButton : public TagOperations, public ::testing::WithParamInterface<LoadKeyCase> {};

TEST_P(LoadKeyButton, Outcome) {
    const LoadKeyCase& c = GetParam();
    Text(IDC_KEY) = c.text;
    dlg->OnLoadKey();

    const bool loaded = c.message == nullptr;
    std::vector<std::string> messages;
    if (c.storePrompt != nullptr) {
        messages.emplace_back(c.storePrompt);
    }
    if (!loaded) {
        messages.emplace_back(c.message);
    }
    EXPECT_EQ(Messages(), messages);
    EXPECT_EQ(Enabled(IDC_LOAD_KEY), !loaded);
    EXPECT_EQ(Enabled(IDC_KEY), !loaded);
    if (loaded) {
        EXPECT_EQ(g_abCipherKey, (CipherKey{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5}));
    } else {
        EXPECT_EQ(g_abCipherKey, kDefaultCipherKey);
    }
    EXPECT_TRUE(Commands().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LoadKeyButton,
    ::testing::Values(LoadKeyCase{"FifteenDigits", "123456789012345", nullptr},
                      LoadKeyCase{"FourteenDigits", "12345678901234", "密钥必须15位！"},
                      LoadKeyCase{"Letter", "12345678901234A", "密钥必须为数字！"},
                      LoadKeyCase{"Space", "1234567 9012345", "密钥必须为数字！"},
                      // Two bytes per character in GBK: 16 bytes, which the store reports first.
                      LoadKeyCase{"ChineseCharacter", "12345678901234中", "密钥必须15位！",
                                  "请输入不超过 15 个字符。"}),
    [](const auto& info) { return std::string(info.param.name); });

// DES: scramble the tag on the reader in place.
struct DesCase {
    const char* name;
    Reader reader;
    CommandList commands;
    int beeps;
    bool written;
};

class DesButton : public TagOperations, public ::testing::WithParamInterface<DesCase> {};

TEST_P(DesButton, Outcome) {
    const DesCase& c = GetParam();
    Arrange(c.reader);
    Text(IDC_FDX_COUNTRY) = "111";

    const auto start = std::chrono::steady_clock::now();
    dlg->OnDes();
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    RememberedRecord remembered{};
    if (c.written) {
        ASSERT_EQ(sim.writtenTags().size(), 1u);
        // The animal flag byte goes back as it was read.
        EXPECT_EQ(RecordOf(sim.writtenTags()[0]), kAnimalTagScrambled);
        std::copy_n(kAnimalTagScrambled.begin(), remembered.size(), remembered.begin());
        // The pause after a scramble.
        EXPECT_GE(took, milliseconds(500));
    } else {
        EXPECT_TRUE(sim.writtenTags().empty());
    }
    EXPECT_EQ(g_abLastScrambled, remembered);
    EXPECT_EQ(g_abLastWritten, RememberedRecord{});
    // No store, no refresh, no log.
    EXPECT_EQ(dlg->m_strFdxCountry, "");
    EXPECT_EQ(Text(IDC_FDX_COUNTRY), "111");
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DesButton,
    ::testing::Values(DesCase{"Success", Reader::kTag, {kRead, kWrite, kSignal}, 1, true},
                      // A failed read ends DES silently.
                      DesCase{"NoTag", Reader::kNoTag, {kRead}, 0, false},
                      DesCase{"FailureStatus", Reader::kFailureStatus, {kRead}, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Stop Write and Stop DES turn their mode off from on, and again when it is already off; the
// timers run on until their next message.
TEST_F(TagOperations, StopButtonsEndTheirModes) {
    dlg->OnContWrite();
    dlg->OnContDes();
    ASSERT_EQ(g_bContWrite, 1);
    ASSERT_EQ(g_bContDes, 1);
    ASSERT_FALSE(Enabled(IDC_CONT_WRITE));
    ASSERT_FALSE(Enabled(IDC_CONT_DES));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "modes on" : "modes off");
        dlg->OnStopWrite();
        dlg->OnStopDes();
        EXPECT_EQ(g_bContWrite, 0);
        EXPECT_EQ(g_bContDes, 0);
        EXPECT_TRUE(Enabled(IDC_CONT_WRITE));
        EXPECT_FALSE(Enabled(IDC_STOP_WRITE));
        EXPECT_TRUE(Enabled(IDC_CONT_DES));
        EXPECT_FALSE(Enabled(IDC_STOP_DES));
        EXPECT_TRUE(window.IsTimerActive(kContWriteTimer));
        EXPECT_TRUE(window.IsTimerActive(kContDesTimer));
    }
    EXPECT_TRUE(Commands().empty());
}

// A log that cannot be written ends the write at its log line: the tag stays written and the
// national number advanced, but nothing after the log line happens.
struct LogFailureCase {
    const char* name;
    void (CPelorinDlg::*press)();
    int country;
    int national;
    std::string CPelorinDlg::*nationalMember;
    CommandList commands;
};

class LogFailure : public TagOperations, public ::testing::WithParamInterface<LogFailureCase> {};

TEST_P(LogFailure, EndsTheOperationAtTheLogLine) {
    const LogFailureCase& c = GetParam();
    sim.placeBlankTag();
    // A directory where the file should be.
    ASSERT_TRUE(std::filesystem::create_directory(logDir.Path() / kLogFileName));
    Text(c.country) = "528";
    Text(c.national) = "000000012345";

    ((*dlg).*c.press)();

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ((*dlg).*c.nationalMember, "000000012346");
    // Shown advanced, so that the next write does not store the old number back.
    EXPECT_EQ(Text(c.national), "000000012346");
    ASSERT_EQ(Messages().size(), 1u);
    const std::string& text = Messages()[0];
    EXPECT_NE(text.find(kLogFileName), std::string::npos) << text;
    EXPECT_NE(text.find(std::strerror(EISDIR)), std::string::npos) << text;
    // The tag holds the identity, so it is guarded all the same.
    EXPECT_TRUE(dlg->m_writeLogIndex.Find("528000000012345").has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Writes, LogFailure,
    ::testing::Values(
        // The closing signal comes after the log line and is not sent.
        LogFailureCase{"PlainWrite", &CPelorinDlg::OnWrite, IDC_COUNTRY, IDC_NATIONAL,
                       &CPelorinDlg::m_strNational, CommandList{kWrite}},
        // Its one signal comes before the log line.
        LogFailureCase{"FdxWrite", &CPelorinDlg::OnFdxWrite, IDC_FDX_COUNTRY, IDC_FDX_NATIONAL,
                       &CPelorinDlg::m_strFdxNational, CommandList{kRead, kWrite, kSignal}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
