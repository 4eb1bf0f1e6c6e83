// The main window's handlers on a fake window, against the real port library and a reader
// simulator on COM3, with a write log in a temporary directory.
#ifndef PELORIN_CORE_TEST_SUPPORT_H
#define PELORIN_CORE_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fake_window.h"
#include "identity.h"
#include "identity_cipher.h"
#include "log_record_lines.h"
#include "pelorin_dlg.h"
#include "port_test_support.h"
#include "reader_link.h"
#include "reader_simulator.h"
#include "write_log.h"

namespace tagtest {

using std::chrono::milliseconds;

// Parameterised cases print as their name, as the test names show them, not as a dump of their
// bytes. A test file takes this into the namespace of its cases with `using tagtest::PrintTo;`.
template <typename Case>
requires requires(const Case& c) {
    std::string_view(c.name);
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

inline constexpr std::uint16_t kRead = RDR_CMD_READ_TAG;
inline constexpr std::uint16_t kWrite = RDR_CMD_WRITE_TAG;
inline constexpr std::uint16_t kSignal = RDR_CMD_SIGNAL;
// The commands on the line, in order.
using CommandList = std::vector<std::uint16_t>;

// Long enough for any run of the continuous modes.
inline constexpr milliseconds kRunTimeout(60000);

// A simulator that lays the next tag on 100 ms after a write.
inline readersim::Options QuickSwap() {
    readersim::Options options;
    options.tagSwapDelay = milliseconds(100);
    return options;
}

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

// A directory of its own for the life of the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelorin-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool IsValid() const { return !m_path.empty(); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The handlers after start-up, which found the reader on COM3 with one signal.
class TagWindow : public ::testing::Test {
protected:
    explicit TagWindow(readersim::Options options = {}) : sim(std::move(options)) {}

    void SetUp() override {
        ResetProgramState();
        ASSERT_TRUE(logDir.IsValid());
        ports =
            std::make_unique<apptest::PortMap>(std::map<int, std::string>{{3, sim.devicePath()}});
        binding = std::make_unique<apptest::BoundPortLibrary>();
        BeforeStartUp();
        dlg = std::make_unique<CPelorinDlg>(window);
        window.m_pDlg = dlg.get();
        dlg->m_writeLog = CWriteLog(LogDirectory().string(), [] { return kLogTime; });
        dlg->OnInitDialog();
        ASSERT_EQ(window.ListText(), "COM3");
        beepsAtStart = sim.beepCount();
        sim.clearRequests();
    }

    void TearDown() override {
        dlg.reset();
        binding.reset();
        ports.reset();
        ResetProgramState();
    }

    // Runs before the window starts, which reads the write logs of LogDirectory().
    virtual void BeforeStartUp() {}
    virtual std::filesystem::path LogDirectory() const { return logDir.Path(); }

    std::string& Text(int nID) { return window.m_texts[nID]; }
    void Check(int nID, bool bChecked) { window.m_checked[nID] = bChecked; }
    bool Checked(int nID) const { return window.IsButtonChecked(nID); }
    bool Enabled(int nID) const { return window.IsEnabled(nID); }
    const std::vector<std::string>& Messages() const { return window.m_messages; }

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

    std::vector<std::chrono::steady_clock::time_point> TimesOf(std::uint16_t command) const {
        std::vector<std::chrono::steady_clock::time_point> times;
        for (const readersim::Request& request : sim.requests()) {
            if (request.command == command) {
                times.push_back(request.receivedAt);
            }
        }
        return times;
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

    std::string LogPath() const { return (logDir.Path() / kLogFileName).string(); }

    // The log's record lines, without the header.
    std::vector<std::string> LogLines() const { return LogRecordLines(LogPath()); }

    static std::string LogLine(const std::string& identity, const char* flag) {
        return identity + "," + kLogStamp + "," + flag + " ";
    }

    // Delivers a timer message every 200 ms while a timer runs, until `done` holds; false on
    // time-out.
    template <typename Predicate>
    bool RunTimersUntil(Predicate done, milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(milliseconds(200));
            window.DeliverTimerMessage();
        }
        return true;
    }

    readersim::ReaderSimulator sim;
    TempDir logDir;
    std::unique_ptr<apptest::PortMap> ports;
    std::unique_ptr<apptest::BoundPortLibrary> binding;
    CFakeWindow window;
    std::unique_ptr<CPelorinDlg> dlg;
    int beepsAtStart = 0;
};

}  // namespace tagtest

#endif
