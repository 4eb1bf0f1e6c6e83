// Continuous writing of a stack of tags through the real window (offscreen), libcorvanel.so and
// the reader simulator swapping tags, once with verify-after-write off and once on: tags per
// minute beside the best rate that the reader exchanges and the fixed pauses allow, and a check
// that nothing was lost or written twice.
//
//   cont_write_soak [tags] [tag swap delay in ms]
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "identity.h"
#include "pelorin_window.h"
#include "port_library.h"
#include "reader_link.h"
#include "reader_simulator.h"
#include "ui_pelorin_dlg.h"
#include "write_log.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kPort = 3;
constexpr int kCalibrationRounds = 20;
constexpr double kTimerPeriodMs = 200.0;
constexpr double kWrittenPauseMs = 500.0;
constexpr double kGoal = 0.05;
constexpr char kCountry[] = "528";
// The written tag stays this long before it is lifted, so that a read-back finds it.
constexpr std::chrono::milliseconds kTagLiftDelay(100);
constexpr std::int64_t kFirstNational = 1;

// Only COM3 exists: the simulator.
void MapPorts(const std::string& device) {
    std::vector<std::string> names;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (text.starts_with("CORVANEL_COM")) {
            names.push_back(text.substr(0, text.find('=')));
        }
    }
    for (const std::string& name : names) {
        unsetenv(name.c_str());
    }
    setenv(("CORVANEL_COM" + std::to_string(kPort)).c_str(), device.c_str(), 1);
}

template <typename Exchange>
double MedianMs(Exchange exchange) {
    std::vector<double> times;
    for (int i = 0; i < kCalibrationRounds; ++i) {
        const auto start = Clock::now();
        if (exchange() != 0) {
            std::fprintf(stderr, "calibration exchange failed\n");
            std::exit(2);
        }
        times.push_back(Ms(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<std::string> LogRecordLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
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

struct Failures {
    int count = 0;
    void Check(bool ok, const std::string& what) {
        if (!ok) {
            ++count;
            if (count <= 10) {
                std::printf("  FAILED: %s\n", what.c_str());
            }
        }
    }
};

struct PassResult {
    double floorMs = 0;
    double cycleMs = 0;
    int failures = 0;
};

// One run over a stack of `tags` fresh tags on a simulator of its own, with a log directory of
// its own so that no identity of an earlier pass counts as written.
PassResult RunPass(bool verify, std::size_t tags, long swapDelayMs) {
    PassResult result;
    readersim::Options options;
    options.tagSwapDelay = std::chrono::milliseconds(swapDelayMs);
    options.tagLiftDelay = kTagLiftDelay;
    readersim::ReaderSimulator sim(options);
    MapPorts(sim.devicePath());
    g_abLastWritten = {};

    QTemporaryDir logDir;
    CPelorinWindow window;
    CPelorinDlg& dlg = window.Dlg();
    dlg.m_writeLog = CWriteLog(logDir.path().toStdString(), LocalLogTime);
    window.show();
    if (dlg.m_cbPort.GetCurSel() != kPort) {
        std::fprintf(stderr, "the window did not find the reader on COM%d\n", kPort);
        std::exit(2);
    }
    if (dlg.m_bVerifyWrite != verify) {
        window.OnSysCommand(IDM_VERIFY_WRITE);
    }

    // The exchanges of a step, timed on their own through the same window link.
    sim.placeBlankTag();
    const TagRecord calibrationRecord = ScrambledWrite("999", "000000000000", false).record;
    std::uint8_t buffer[kReadBufferSize];
    const double readMs = MedianMs([&] { return dlg.m_readerLink.ReadTag(0, buffer); });
    const double writeMs =
        MedianMs([&] { return dlg.m_readerLink.WriteTag(0, calibrationRecord); });
    const double signalMs = MedianMs([&] { return dlg.m_readerLink.Signal(0); });
    const std::size_t writesBefore = sim.writtenTags().size();
    const int beepsBefore = sim.beepCount();

    // The stack: the tag on the reader and the ones after it.
    sim.placeBlankTag();
    sim.queueBlankTags(tags - 1);
    Ui::CPelorinDlg& ui = window.Controls();
    ui.IDC_1133_FdxCountry->setText(kCountry);
    ui.IDC_1145_FdxNational->setText(QString::fromStdString(FormatNational(kFirstNational)));
    ui.IDC_1132_FdxAdd->setText("1");
    sim.clearRequests();

    std::vector<QString> boxes;
    std::size_t boxesBeforeStop = 0;
    bool stopped = false;
    auto lastProgress = Clock::now();
    std::size_t lastCount = 0;
    bool stalled = false;
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back(box->text());
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                ok->click();
            } else {
                box->reject();
            }
            return;
        }
        const std::size_t done = sim.writtenTags().size() - writesBefore;
        if (done != lastCount) {
            lastCount = done;
            lastProgress = Clock::now();
        }
        if (!stopped && (done >= tags || Clock::now() - lastProgress > std::chrono::seconds(30))) {
            stalled = done < tags;
            boxesBeforeStop = boxes.size();
            ui.IDC_1147_StopWrite->click();
            stopped = true;
        }
        if (stopped && !window.IsTimerActive(kContWriteTimer)) {
            loop.quit();
        }
    });
    watch.start(5);

    std::printf("\nVerify after write %s: %zu tags\n", verify ? "on" : "off", tags);
    std::fflush(stdout);
    ui.IDC_1146_ContWrite->click();
    loop.exec();

    // Rate: from the first write request to the last, one cycle per tag.
    std::vector<Clock::time_point> writes;
    for (const readersim::Request& request : sim.requests()) {
        if (request.command == RDR_CMD_WRITE_TAG) {
            writes.push_back(request.receivedAt);
        }
    }
    Failures failures;
    failures.Check(!stalled, "the run stalled before the last tag");
    failures.Check(writes.size() == tags, "write requests: " + std::to_string(writes.size()) +
                                              ", expected " + std::to_string(tags));
    if (writes.size() < 2) {
        result.failures = failures.count + 1;
        return result;
    }
    const double runMs = Ms(writes.back() - writes.front()).count();

    // With verify on, every write is followed by one read-back.
    const double exchangesMs = readMs + writeMs + (verify ? readMs : 0.0) + signalMs;
    result.floorMs = std::max(kTimerPeriodMs, exchangesMs + kWrittenPauseMs);
    result.cycleMs = runMs / static_cast<double>(writes.size() - 1);

    std::printf("  exchange times, median of %d each, through the window's reader link:\n",
                kCalibrationRounds);
    std::printf("  read tag %.1f ms, write tag %.1f ms, signal %.1f ms\n", readMs, writeMs,
                signalMs);
    std::printf(
        "  floor per tag: one step reads the new tag once, writes it, %ssignals once\n"
        "  and pauses 500 ms: %.1f ms. Timer 1 runs every 200 ms, shorter than a step,\n"
        "  so its next message is already due when a step ends and adds no wait.\n",
        verify ? "reads it back, " : "", exchangesMs + kWrittenPauseMs);

    // Nothing lost, nothing twice.
    const auto written = sim.writtenTags();
    failures.Check(written.size() - writesBefore == tags,
                   "tags written: " + std::to_string(written.size() - writesBefore));
    for (std::size_t i = 0; i < tags && writesBefore + i < written.size(); ++i) {
        const std::string national = FormatNational(kFirstNational + static_cast<std::int64_t>(i));
        const TagRecord expected = ScrambledWrite(kCountry, national, false).record;
        failures.Check(
            std::equal(expected.begin(), expected.end(), written[writesBefore + i].begin()),
            "tag " + std::to_string(i) + " does not hold identity " + national);
    }
    const std::vector<std::string> lines = LogRecordLines(
        logDir.filePath(QString::fromStdString(dlg.m_writeLog.m_strLogFile)).toStdString());
    failures.Check(lines.size() == tags, "log lines: " + std::to_string(lines.size()));
    std::set<std::string> identities;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string identity = lines[i].substr(0, lines[i].find(','));
        const std::string expected =
            kCountry + FormatNational(kFirstNational + static_cast<std::int64_t>(i));
        failures.Check(identity == expected, "log line " + std::to_string(i) + ": " + lines[i]);
        failures.Check(lines[i].ends_with(",Y "), "log line " + std::to_string(i) + " flag");
        failures.Check(identities.insert(identity).second, "identity twice: " + identity);
    }
    failures.Check(ui.IDC_1145_FdxNational->text().toStdString() ==
                       FormatNational(kFirstNational + static_cast<std::int64_t>(tags)),
                   "national box shows " + ui.IDC_1145_FdxNational->text().toStdString());
    failures.Check(sim.beepCount() - beepsBefore == static_cast<int>(tags),
                   "beeps: " + std::to_string(sim.beepCount() - beepsBefore));
    failures.Check(boxesBeforeStop == 0,
                   "message boxes during the run: " + std::to_string(boxesBeforeStop));

    std::printf("  %zu tags, %zu log lines, %zu distinct identities, %d check(s) failed\n",
                written.size() - writesBefore, lines.size(), identities.size(), failures.count);
    result.failures = failures.count;
    window.close();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const std::size_t tags = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const long swapDelayMs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 300;
    if (tags < 2) {
        std::fprintf(stderr, "usage: %s [tags >= 2] [tag swap delay ms]\n", argv[0]);
        return 2;
    }

    QApplication application(argc, argv);
    // The passes switch verify-after-write through the window menu; the user's settings stay.
    const QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    g_portLibrary.Reset(new CPortLibrary([](std::string_view message) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
    }));
    if (!g_portLibrary.m_pLibrary->IsBound()) {
        return 2;
    }

    std::printf(
        "Continuous writing of %zu tags: window offscreen, libcorvanel.so, reader simulator at "
        "19200 baud with tag swap delay %ld ms and tag lift delay %lld ms\n",
        tags, swapDelayMs, static_cast<long long>(kTagLiftDelay.count()));
    const PassResult off = RunPass(false, tags, swapDelayMs);
    const PassResult on = RunPass(true, tags, swapDelayMs);

    std::printf("\n  %-30s %10s %14s %12s\n", "", "ms per tag", "tags per min", "below floor");
    bool withinGoal = true;
    for (const auto& [name, pass] : {std::pair{"verify off", off}, std::pair{"verify on", on}}) {
        const double shortfall = pass.cycleMs > 0 ? 1.0 - pass.floorMs / pass.cycleMs : 1.0;
        withinGoal = withinGoal && shortfall <= kGoal;
        std::printf("  %-30s %10.1f %14.1f\n", (std::string(name) + ": floor").c_str(),
                    pass.floorMs, 60000.0 / pass.floorMs);
        std::printf("  %-30s %10.1f %14.1f %11.2f %%\n", (std::string(name) + ": measured").c_str(),
                    pass.cycleMs, pass.cycleMs > 0 ? 60000.0 / pass.cycleMs : 0.0,
                    shortfall * 100.0);
    }
    std::printf("  goal: each measured rate within %.0f %% of its floor's\n", kGoal * 100.0);

    const bool ok = off.failures == 0 && on.failures == 0 && withinGoal;
    std::printf("%s\n", ok ? "RESULT: nothing lost, rates within the goal" : "RESULT: goal missed");
    g_portLibrary.Reset();
    return ok ? 0 : 1;
}
