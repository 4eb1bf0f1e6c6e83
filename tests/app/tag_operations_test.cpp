// The buttons of the two identity groups against the real port library and the reader simulator.
#include <QDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tag_test_support.h"

namespace {

using namespace tagtest;
using std::chrono::milliseconds;

constexpr std::uint16_t kRead = RDR_CMD_READ_TAG;
constexpr std::uint16_t kWrite = RDR_CMD_WRITE_TAG;
constexpr std::uint16_t kSignal = RDR_CMD_SIGNAL;
using CommandList = std::vector<std::uint16_t>;

// 528 000000012345, an animal tag, exactly as the plain write puts it on a tag.
constexpr readersim::TagMemory kAnimalTag = {0x00, 0x00, 0x00, 0x30, 0x39, 0x02, 0x10, 0x00,
                                             0x80, 0,    0,    0,    0,    0,    0};

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

    // The request times of the signals, for the pauses between them.
    std::vector<std::chrono::steady_clock::time_point> SignalTimes() const {
        std::vector<std::chrono::steady_clock::time_point> times;
        for (const readersim::Request& request : sim.requests()) {
            if (request.command == kSignal) {
                times.push_back(request.receivedAt);
            }
        }
        return times;
    }

    // Three signals 50 ms apart, then the closing one.
    void ExpectFailureSignalPauses() {
        const auto times = SignalTimes();
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
    Ui().IDC_1095_Animal->setChecked(c.filled);

    Click(Ui().IDC_1101_Read);

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    EXPECT_EQ(Ui().IDC_1131_Country->text(), c.filled ? "528" : "");
    EXPECT_EQ(Ui().IDC_1139_National->text(), c.filled ? "000000012345" : "");
    // Flag byte 0x80 counts as an animal.
    EXPECT_EQ(Ui().IDC_1095_Animal->isChecked(), c.filled);
    if (!c.filled) {
        ExpectFailureSignalPauses();
    }
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_P(ReadButtons, UnscrambledRead) {
    const ReadCase& c = GetParam();
    Arrange(c.reader);
    dlg->m_strFdxCountry = "111";
    dlg->m_strFdxNational = "222";
    dlg->UpdateData(false);
    Ui().IDC_1096_FdxAnimal->setChecked(c.filled);

    Click(Ui().IDC_1107_FdxRead);

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    const ReadIdentity expected = UnscrambledRead(ReadBufferOf(kAnimalTag));
    EXPECT_EQ(Ui().IDC_1133_FdxCountry->text().toStdString(), c.filled ? expected.strCountry : "");
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text().toStdString(),
              c.filled ? expected.strNational : "");
    EXPECT_EQ(Ui().IDC_1096_FdxAnimal->isChecked(), c.filled);
    if (!c.filled) {
        ExpectFailureSignalPauses();
    }
    EXPECT_TRUE(BoxTexts().empty());
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
    Ui().IDC_1131_Country->setText("528");
    Ui().IDC_1139_National->setText("000000012345");
    Ui().IDC_1095_Animal->setChecked(true);

    Click(Ui().IDC_1102_Write);

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    const std::vector<std::uint8_t> record = {0x00, 0x00, 0x00, 0x30, 0x39, 0x02, 0x10, 0x00, 0x01};
    if (c.written) {
        EXPECT_EQ(WriteData(), std::vector<std::vector<std::uint8_t>>{record});
        ASSERT_EQ(sim.writtenTags().size(), 1u);
        EXPECT_EQ(RecordOf(sim.writtenTags()[0]), PlainWrite("528", "000000012345", true).record);
    }
    EXPECT_TRUE(sim.writtenTags().empty() != c.written);
    EXPECT_EQ(Ui().IDC_1131_Country->text(), "528");
    EXPECT_EQ(Ui().IDC_1139_National->text(), c.written ? "000000012346" : "000000012345");
    EXPECT_EQ(LogLines(), c.written ? std::vector<std::string>{LogLine("528000000012345", "N")}
                                    : std::vector<std::string>{});
    // The plain group never touches the remembered records.
    EXPECT_EQ(g_abLastWritten, RememberedRecord{});
    EXPECT_EQ(g_abLastScrambled, RememberedRecord{});
    EXPECT_TRUE(BoxTexts().empty());
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
    Ui().IDC_1131_Country->setText("111");
    Ui().IDC_1139_National->setText("222");
    Ui().IDC_1133_FdxCountry->setText("528");
    Ui().IDC_1145_FdxNational->setText("000000012345");
    Ui().IDC_1132_FdxAdd->setText("3");
    Ui().IDC_1096_FdxAnimal->setChecked(true);
    const WriteIdentity expected = ScrambledWrite("528", "000000012345", true);

    Click(Ui().IDC_1108_FdxWrite);

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    if (c.written) {
        ASSERT_EQ(sim.writtenTags().size(), 1u);
        EXPECT_EQ(RecordOf(sim.writtenTags()[0]), expected.record);
    }
    EXPECT_TRUE(sim.writtenTags().empty() != c.written);
    RememberedRecord remembered{};
    if (c.written) {
        std::copy_n(expected.record.begin(), remembered.size(), remembered.begin());
    }
    EXPECT_EQ(g_abLastWritten, remembered);
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text(), c.written ? "000000012348" : "000000012345");
    // The log holds the identity as entered, not as scrambled.
    EXPECT_EQ(LogLines(), c.written ? std::vector<std::string>{LogLine("528000000012345", "Y")}
                                    : std::vector<std::string>{});
    // The other group's texts are emptied whatever the outcome.
    EXPECT_EQ(Ui().IDC_1131_Country->text(), "");
    EXPECT_EQ(Ui().IDC_1139_National->text(), "");
    EXPECT_TRUE(BoxTexts().empty());
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
    std::function<void(CPelorinDlg&)> press;
    // The refused operation turns its continuous mode off.
    QPushButton* Ui::CPelorinDlg::*contButton;
    QPushButton* Ui::CPelorinDlg::*stopButton;
    std::uint8_t* flag;
    const char* message;
};

class Refusals : public TagOperations, public ::testing::WithParamInterface<RefusalCase> {
protected:
    void Press() { GetParam().press(*dlg); }
    void ExpectRefused(std::size_t writesBefore) {
        const RefusalCase& c = GetParam();
        EXPECT_EQ(Commands(), CommandList{kRead});
        EXPECT_EQ(sim.writtenTags().size(), writesBefore);
        ASSERT_EQ(watcher->Boxes().size(), 1u);
        const apptest::ShownBox& box = watcher->Boxes()[0];
        EXPECT_EQ(box.text, QString::fromUtf8(c.message));
        EXPECT_EQ(box.title, "Pelorin");
        EXPECT_EQ(box.buttons, QMessageBox::Ok);
        EXPECT_EQ(*c.flag, 0);
        EXPECT_TRUE((Ui().*c.contButton)->isEnabled());
        EXPECT_FALSE((Ui().*c.stopButton)->isEnabled());
    }
};

TEST_P(Refusals, SameTagTwiceInARow) {
    sim.placeBlankTag();
    Ui().IDC_1133_FdxCountry->setText("528");
    Ui().IDC_1145_FdxNational->setText("000000012345");
    Press();
    ASSERT_EQ(sim.writtenTags().size(), 1u);
    ASSERT_TRUE(BoxTexts().empty());
    // As if the mode were on.
    *GetParam().flag = 1;
    (Ui().*GetParam().contButton)->setEnabled(false);
    (Ui().*GetParam().stopButton)->setEnabled(true);
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
    ::testing::Values(
        RefusalCase{"FdxWrite",
                    [](CPelorinDlg& d) {
                        QTest::mouseClick(d.Controls().IDC_1108_FdxWrite, Qt::LeftButton);
                    },
                    &Ui::CPelorinDlg::IDC_1146_ContWrite, &Ui::CPelorinDlg::IDC_1147_StopWrite,
                    &g_bContWrite, kAlreadyWritten},
        RefusalCase{
            "Des",
            [](CPelorinDlg& d) { QTest::mouseClick(d.Controls().IDC_1152_Des, Qt::LeftButton); },
            &Ui::CPelorinDlg::IDC_1150_ContDes, &Ui::CPelorinDlg::IDC_1151_StopDes, &g_bContDes,
            kAlreadyScrambled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TagOperations, FdxWriteTwiceRefusesAlthoughTheNationalAdvanced) {
    sim.placeBlankTag();
    Ui().IDC_1133_FdxCountry->setText("528");
    Ui().IDC_1145_FdxNational->setText("000000012345");
    Click(Ui().IDC_1108_FdxWrite);
    Click(Ui().IDC_1108_FdxWrite);

    EXPECT_EQ(Commands(), (CommandList{kRead, kWrite, kSignal, kRead}));
    EXPECT_EQ(BoxTexts(), std::vector<QString>{QString::fromUtf8(kAlreadyWritten)});
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text(), "000000012346");
    EXPECT_EQ(LogLines().size(), 1u);
}

// The tag differs from the last one written only in its animal flag: still the same tag.
TEST_F(TagOperations, SameTagIgnoresTheAnimalFlag) {
    const WriteIdentity written = ScrambledWrite("528", "000000012345", false);
    RememberRecord(written.record, g_abLastWritten);
    TagRecord animal = written.record;
    animal[8] = 1;
    sim.placeTag(TagHolding(animal));
    Click(Ui().IDC_1108_FdxWrite);
    EXPECT_EQ(Commands(), CommandList{kRead});
    EXPECT_EQ(BoxTexts(), std::vector<QString>{QString::fromUtf8(kAlreadyWritten)});
}

// A plain write in between does not change what FDX-B Write compares with.
TEST_F(TagOperations, PlainWriteKeepsTheFdxRememberedRecord) {
    sim.placeBlankTag();
    Ui().IDC_1133_FdxCountry->setText("528");
    Ui().IDC_1145_FdxNational->setText("000000012345");
    Click(Ui().IDC_1108_FdxWrite);
    const RememberedRecord remembered = g_abLastWritten;
    Ui().IDC_1131_Country->setText("528");
    Ui().IDC_1139_National->setText("000000099999");
    Click(Ui().IDC_1102_Write);
    EXPECT_EQ(g_abLastWritten, remembered);
}

TEST_F(TagOperations, IncrementZeroWritesTheSameIdentityToTheNextTag) {
    sim.placeBlankTag();
    Ui().IDC_1133_FdxCountry->setText("528");
    Ui().IDC_1145_FdxNational->setText("000000012345");
    Ui().IDC_1132_FdxAdd->setText("0");
    Click(Ui().IDC_1108_FdxWrite);
    sim.placeBlankTag();
    Click(Ui().IDC_1108_FdxWrite);

    const auto written = sim.writtenTags();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(RecordOf(written[0]), RecordOf(written[1]));
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text(), "000000012345");
    EXPECT_EQ(LogLines(), std::vector<std::string>(2, LogLine("528000000012345", "Y")));
}

// FDX-B Write then FDX-B Read gives back the identity entered; the tag holds it scrambled.
struct KeyCase {
    const char* name;
    const char* key;  // null: the built-in key
};

class FdxRoundTrip : public TagOperations, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(FdxRoundTrip, ReadsBackTheEnteredIdentity) {
    if (GetParam().key != nullptr) {
        Ui().IDC_1148_Key->setText(GetParam().key);
        Click(Ui().IDC_1149_LoadKey);
        ASSERT_TRUE(BoxTexts().empty());
    }
    sim.placeBlankTag();
    Ui().IDC_1133_FdxCountry->setText("528");
    Ui().IDC_1145_FdxNational->setText("012345678901");
    Ui().IDC_1096_FdxAnimal->setChecked(true);
    Click(Ui().IDC_1108_FdxWrite);

    ASSERT_EQ(sim.writtenTags().size(), 1u);
    const TagRecord onTag = RecordOf(sim.writtenTags()[0]);
    EXPECT_EQ(onTag, ScrambledWrite("528", "012345678901", true).record);
    const bool plain =
        GetParam().key != nullptr && std::string(GetParam().key) == "000000000000000";
    EXPECT_EQ(onTag == PlainWrite("528", "012345678901", true).record, plain);

    Ui().IDC_1133_FdxCountry->clear();
    Ui().IDC_1145_FdxNational->clear();
    Ui().IDC_1096_FdxAnimal->setChecked(false);
    Click(Ui().IDC_1107_FdxRead);
    EXPECT_EQ(Ui().IDC_1133_FdxCountry->text(), "528");
    EXPECT_EQ(Ui().IDC_1145_FdxNational->text(), "012345678901");
    EXPECT_TRUE(Ui().IDC_1096_FdxAnimal->isChecked());
}

INSTANTIATE_TEST_SUITE_P(Keys, FdxRoundTrip,
                         ::testing::Values(KeyCase{"BuiltIn", nullptr},
                                           KeyCase{"Loaded", "907132465801234"},
                                           KeyCase{"AllZero", "000000000000000"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Load Key.
struct LoadKeyCase {
    const char* name;
    const char* text;
    const char* message;  // null: accepted
};

class LoadKeyButton : public TagOperations, public ::testing::WithParamInterface<LoadKeyCase> {};

TEST_P(LoadKeyButton, Outcome) {
    const LoadKeyCase& c = GetParam();
    Ui().IDC_1148_Key->setText(QString::fromUtf8(c.text));
    Click(Ui().IDC_1149_LoadKey);

    const bool loaded = c.message == nullptr;
    EXPECT_EQ(BoxTexts(),
              loaded ? std::vector<QString>{} : std::vector<QString>{QString::fromUtf8(c.message)});
    EXPECT_EQ(Ui().IDC_1149_LoadKey->isEnabled(), !loaded);
    EXPECT_EQ(Ui().IDC_1148_Key->isEnabled(), !loaded);
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
                      // Two bytes per character in GBK: 16 bytes.
                      LoadKeyCase{"ChineseCharacter", "12345678901234中", "密钥必须15位！"}),
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
    Ui().IDC_1133_FdxCountry->setText("111");

    const auto start = std::chrono::steady_clock::now();
    Click(Ui().IDC_1152_Des);
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Beeps(), c.beeps);
    RememberedRecord remembered{};
    if (c.written) {
        const TagRecord expected = ScrambleInPlace(ReadBufferOf(kAnimalTag));
        ASSERT_EQ(sim.writtenTags().size(), 1u);
        EXPECT_EQ(RecordOf(sim.writtenTags()[0]), expected);
        // The animal flag byte goes back as it was read.
        EXPECT_EQ(expected[8], 0x80);
        std::copy_n(expected.begin(), remembered.size(), remembered.begin());
        // The pause after a scramble.
        EXPECT_GE(took, milliseconds(500));
    } else {
        EXPECT_TRUE(sim.writtenTags().empty());
    }
    EXPECT_EQ(g_abLastScrambled, remembered);
    EXPECT_EQ(g_abLastWritten, RememberedRecord{});
    // No store, no refresh, no log.
    EXPECT_EQ(dlg->m_strFdxCountry, "");
    EXPECT_EQ(Ui().IDC_1133_FdxCountry->text(), "111");
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(BoxTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DesButton,
    ::testing::Values(DesCase{"Success", Reader::kTag, {kRead, kWrite, kSignal}, 1, true},
                      // A failed read ends DES silently.
                      DesCase{"NoTag", Reader::kNoTag, {kRead}, 0, false},
                      DesCase{"FailureStatus", Reader::kFailureStatus, {kRead}, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TagOperations, StopButtonsWorkWithTheModesOff) {
    dlg->OnStopWrite();
    dlg->OnStopDes();
    EXPECT_TRUE(Ui().IDC_1146_ContWrite->isEnabled());
    EXPECT_FALSE(Ui().IDC_1147_StopWrite->isEnabled());
    EXPECT_TRUE(Ui().IDC_1150_ContDes->isEnabled());
    EXPECT_FALSE(Ui().IDC_1151_StopDes->isEnabled());
    EXPECT_EQ(g_bContWrite, 0);
    EXPECT_EQ(g_bContDes, 0);
}

// A log that cannot be written ends the write at its log line: the tag stays written and the
// national number advanced, but nothing after the log line happens.
struct LogFailureCase {
    const char* name;
    QPushButton* Ui::CPelorinDlg::*button;
    QLineEdit* Ui::CPelorinDlg::*country;
    QLineEdit* Ui::CPelorinDlg::*national;
    QString CPelorinDlg::*nationalMember;
    CommandList commands;
};

class LogFailure : public TagOperations, public ::testing::WithParamInterface<LogFailureCase> {};

TEST_P(LogFailure, EndsTheOperationAtTheLogLine) {
    const LogFailureCase& c = GetParam();
    sim.placeBlankTag();
    // A directory where the file should be.
    ASSERT_TRUE(QDir(logDir.path()).mkdir(kLogFileName));
    (Ui().*c.country)->setText("528");
    (Ui().*c.national)->setText("000000012345");

    Click(Ui().*c.button);

    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(sim.writtenTags().size(), 1u);
    EXPECT_EQ(dlg.get()->*c.nationalMember, "000000012346");
    // Shown advanced, so that the next write does not store the old number back.
    EXPECT_EQ((Ui().*c.national)->text(), "000000012346");
    ASSERT_EQ(watcher->Boxes().size(), 1u);
    const apptest::ShownBox& box = watcher->Boxes()[0];
    EXPECT_TRUE(box.text.contains(QString::fromUtf8(kLogFileName))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QString::fromUtf8(std::strerror(EISDIR))))
        << box.text.toStdString();
    EXPECT_EQ(box.title, "Pelorin");
    EXPECT_EQ(box.buttons, QMessageBox::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, LogFailure,
    ::testing::Values(
        // The closing signal comes after the log line and is not sent.
        LogFailureCase{"PlainWrite", &Ui::CPelorinDlg::IDC_1102_Write,
                       &Ui::CPelorinDlg::IDC_1131_Country, &Ui::CPelorinDlg::IDC_1139_National,
                       &CPelorinDlg::m_strNational, CommandList{kWrite}},
        // Its one signal comes before the log line.
        LogFailureCase{"FdxWrite", &Ui::CPelorinDlg::IDC_1108_FdxWrite,
                       &Ui::CPelorinDlg::IDC_1133_FdxCountry,
                       &Ui::CPelorinDlg::IDC_1145_FdxNational, &CPelorinDlg::m_strFdxNational,
                       CommandList{kRead, kWrite, kSignal}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
