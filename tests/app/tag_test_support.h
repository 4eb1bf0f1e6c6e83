// The main window against a reader simulator on COM3, with a write log in a temporary directory,
// for the tests of the tag operations and the continuous modes.
#ifndef PELORIN_TAG_TEST_SUPPORT_H
#define PELORIN_TAG_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "identity.h"
#include "identity_cipher.h"
#include "pelorin_dlg.h"
#include "reader_link.h"
#include "reader_simulator.h"
#include "ui_pelorin_dlg.h"
#include "write_log.h"

namespace tagtest {

using std::chrono::milliseconds;

// Every logged write of a test happens at this moment.
inline constexpr LogTime kLogTime{2011, 3, 5, 8, 4, 9};
inline constexpr char kLogFileName[] = "20110305080409.csv";
inline constexpr char kLogStamp[] = "20110305080409";

inline constexpr char kAlreadyWritten[] = "此卡刚刚已写入过，请换一张卡！";
inline constexpr char kAlreadyScrambled[] = "此卡已加密，请换一张卡！";

// Program-wide state goes back to its start values, so that tests do not see each other.
inline void ResetProgramState() {
    g_abLastWritten = {};
    g_abLastScrambled = {};
    g_abCipherKey = kDefaultCipherKey;
    g_bContWrite = 0;
    g_bContDes = 0;
}

// A tag whose memory starts with `record`.
inline readersim::TagMemory TagHolding(const TagRecord& record) {
    readersim::TagMemory tag{};
    std::copy(record.begin(), record.end(), tag.begin());
    return tag;
}

inline TagRecord RecordOf(const readersim::TagMemory& tag) {
    TagRecord record{};
    std::copy_n(tag.begin(), record.size(), record.begin());
    return record;
}

// What a read of `tag` delivers: status 0, then the tag's memory.
inline ReadBuffer ReadBufferOf(const readersim::TagMemory& tag) {
    ReadBuffer buffer{};
    std::copy(tag.begin(), tag.end(), buffer.begin() + 1);
    return buffer;
}

class TagWindow : public ::testing::Test {
protected:
    explicit TagWindow(readersim::Options options = {}) : sim(std::move(options)) {}

    void SetUp() override {
        ResetProgramState();
        ASSERT_TRUE(logDir.isValid());
        ports =
            std::make_unique<apptest::PortMap>(std::map<int, std::string>{{3, sim.devicePath()}});
        binding = std::make_unique<apptest::BoundPortLibrary>();
        watcher = std::make_unique<apptest::ModalWatcher>();
        dlg = std::make_unique<CPelorinDlg>();
        dlg->show();
        dlg->m_writeLog = CWriteLog(logDir.path().toStdString(), [] { return kLogTime; });
        // The start-up search found the reader with one signal.
        ASSERT_EQ(dlg->m_cbPort->currentText(), "COM3");
        beepsAtStart = sim.beepCount();
        sim.clearRequests();
    }

    void TearDown() override {
        dlg.reset();
        watcher.reset();
        binding.reset();
        ports.reset();
        ResetProgramState();
    }

    Ui::CPelorinDlg& Ui() { return dlg->Controls(); }

    int Beeps() const { return sim.beepCount() - beepsAtStart; }

    std::vector<std::uint16_t> Commands() const {
        std::vector<std::uint16_t> commands;
        for (const readersim::Request& request : sim.requests()) {
            EXPECT_EQ(request.address, 0);
            EXPECT_TRUE(request.checksumOk);
            commands.push_back(request.command);
        }
        return commands;
    }

    // Data bytes of every write request, in order.
    std::vector<std::vector<std::uint8_t>> WriteData() const {
        std::vector<std::vector<std::uint8_t>> data;
        for (const readersim::Request& request : sim.requests()) {
            if (request.command == RDR_CMD_WRITE_TAG) {
                data.push_back(request.data);
            }
        }
        return data;
    }

    std::string LogPath() const { return logDir.filePath(kLogFileName).toStdString(); }

    // The log's record lines, without the header.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::ifstream file(LogPath(), std::ios::binary);
        std::string line;
        bool header = true;
        while (std::getline(file, line)) {
            if (!header) {
                lines.push_back(line);
            }
            header = false;
        }
        return lines;
    }

    static std::string LogLine(const std::string& identity, const char* flag) {
        return identity + "," + kLogStamp + "," + flag + " ";
    }

    std::vector<QString> BoxTexts() const { return watcher->Texts(); }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Runs the window's event loop until `done` holds; false on time-out.
    template <typename Predicate>
    static bool RunUntil(Predicate done, milliseconds timeout) {
        return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
    }

    readersim::ReaderSimulator sim;
    QTemporaryDir logDir;
    std::unique_ptr<apptest::PortMap> ports;
    std::unique_ptr<apptest::BoundPortLibrary> binding;
    std::unique_ptr<apptest::ModalWatcher> watcher;
    std::unique_ptr<CPelorinDlg> dlg;
    int beepsAtStart = 0;
};

}  // namespace tagtest

#endif
