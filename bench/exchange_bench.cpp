// The reader exchange through Corvanel against the reader simulator, beside the same exchange
// done with QSerialPort and with pyserial, and optionally through the Windows build's Corvanel.dll
// under Wine: delay from the last answer byte to the return, the accuracy of the 1400 ms
// first-byte wait, and CPU time per exchange.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "corvanel.h"
#include "peers/exchange_peer.h"
#include "peers/qt_serial_peer.h"
#include "reader_simulator.h"

extern char** environ;

namespace exchangebench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::chrono::nanoseconds ThreadCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

namespace {

constexpr int kCorvanelPort = 1;

class CorvanelPeer : public ExchangePeer {
public:
    ~CorvanelPeer() override { CloseComPort(); }
    const char* Name() const override { return "Corvanel"; }
    bool Open(const std::string& device) override {
        const std::string variable = "CORVANEL_COM" + std::to_string(kCorvanelPort);
        return setenv(variable.c_str(), device.c_str(), 1) == 0 &&
               OpenComPort(kCorvanelPort, 19200) == 1;
    }
    ExchangeResult Exchange(const std::vector<std::uint8_t>& request) override {
        ExchangeResult result;
        std::int32_t count = 0;
        const auto start = Clock::now();
        const auto cpu = ThreadCpuTime();
        const std::int32_t rc = CommunicateRFResult(
            request.data(), static_cast<std::int32_t>(request.size()), response_.data(), &count);
        result.cpu = ThreadCpuTime() - cpu;
        result.returnedAt = Clock::now();
        result.elapsed = result.returnedAt - start;
        result.ok = rc == 0;
        result.count = static_cast<std::size_t>(count);
        return result;
    }

private:
    std::array<std::uint8_t, 1024> response_{};
};

// Drives a peer program one exchange per line: "e" asks for an exchange, the answer line is
// "ok|fail <count> <returned ns> <cpu ns> <elapsed ns>", "q" ends the program. A peer that cannot
// read this process's clock reports 0 as its return, and the time its line arrives stands in.
class LinePeer : public ExchangePeer {
public:
    ~LinePeer() override {
        if (toChild_) {
            std::fputs("q\n", toChild_);
            std::fclose(toChild_);
        }
        if (fromChild_) {
            std::fclose(fromChild_);
        }
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    void SetRequest(const std::vector<std::uint8_t>& request) {
        for (std::uint8_t b : request) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", b);
            requestHex_ += hex;
        }
    }
    ExchangeResult Exchange(const std::vector<std::uint8_t>&) override {
        ExchangeResult result;
        if (!toChild_ || std::fputs("e\n", toChild_) < 0 || std::fflush(toChild_) != 0) {
            return result;
        }
        char line[256];
        if (!std::fgets(line, sizeof line, fromChild_)) {
            return result;
        }
        const auto arrived = Clock::now();
        char status[8] = {};
        unsigned long count = 0;
        long long returned = 0;
        long long cpu = 0;
        long long elapsed = 0;
        if (std::sscanf(line, "%7s %lu %lld %lld %lld", status, &count, &returned, &cpu,
                        &elapsed) != 5) {
            return result;
        }
        result.ok = std::strcmp(status, "ok") == 0;
        result.count = count;
        result.returnedAt =
            returned == 0 ? arrived : Clock::time_point(std::chrono::nanoseconds(returned));
        result.cpu = std::chrono::nanoseconds(cpu);
        result.elapsed = std::chrono::nanoseconds(elapsed);
        return result;
    }

protected:
    bool Start(std::vector<std::string> args) {
        int in[2];
        int out[2];
        if (pipe(in) != 0) {
            return false;
        }
        if (pipe(out) != 0) {
            close(in[0]);
            close(in[1]);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        if (rc != 0) {
            pid_ = -1;
            close(in[1]);
            close(out[0]);
            return false;
        }
        toChild_ = fdopen(in[1], "w");
        fromChild_ = fdopen(out[0], "r");
        return toChild_ && fromChild_;
    }

    std::string requestHex_;

private:
    pid_t pid_ = -1;
    FILE* toChild_ = nullptr;
    FILE* fromChild_ = nullptr;
};

// bench/peers/pyserial_exchange.py; the script times itself on CLOCK_MONOTONIC, as steady_clock.
class PyserialPeer : public LinePeer {
public:
    explicit PyserialPeer(std::string script) : script_(std::move(script)) {}
    const char* Name() const override { return "pyserial"; }
    bool Open(const std::string& device) override {
        return Start({"/usr/bin/python3", script_, device, requestHex_});
    }

private:
    std::string script_;
};

// Corvanel.dll under Wine: bench_exchange_peer.exe of a Windows build, on COM11 of that build's
// Wine prefix, which scripts/wine-run.sh maps to <build>/readersim/com11. Its return is taken when
// its line arrives, so pipe and Wine console overhead count against it.
class WinePeer : public LinePeer {
public:
    explicit WinePeer(std::string build) : build_(std::move(build)) {}
    ~WinePeer() override {
        if (!link_.empty()) {
            unlink(link_.c_str());
        }
    }
    const char* Name() const override { return "Corvanel.dll"; }
    bool Open(const std::string& device) override {
        const std::string directory = build_ + "/readersim";
        mkdir(directory.c_str(), 0755);
        link_ = directory + "/com11";
        unlink(link_.c_str());
        return symlink(device.c_str(), link_.c_str()) == 0 &&
               Start(
                   {PELORIN_WINE_RUN, build_ + "/bin/bench_exchange_peer.exe", "11", requestHex_});
    }

private:
    std::string build_;
    std::string link_;
};

struct Figures {
    std::vector<double> delayMs;    // last answer byte to return
    std::vector<double> timeoutMs;  // silent reader: call to return
    double cpuNs = 0;
    std::size_t cpuExchanges = 0;
    int failures = 0;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, index == 0 ? 0 : index - 1)];
}

double MeanDeviation(const std::vector<double>& values, double target) {
    double sum = 0;
    for (double v : values) {
        sum += v - target;
    }
    return values.empty() ? NAN : sum / static_cast<double>(values.size());
}

double MaxDeviation(const std::vector<double>& values, double target) {
    double worst = 0;
    for (double v : values) {
        worst = std::max(worst, std::abs(v - target));
    }
    return worst;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Contender {
    std::unique_ptr<ExchangePeer> peer;
    std::unique_ptr<readersim::ReaderSimulator> sim;
    Figures figures;
};

void RunAnswered(Contender& c, const std::vector<std::uint8_t>& request, std::size_t expected,
                 int count, bool record) {
    for (int i = 0; i < count; ++i) {
        const ExchangeResult r = c.peer->Exchange(request);
        const auto last = c.sim->lastAnswerByteAt();
        if (!record) {
            continue;
        }
        if (!r.ok || r.count != expected || !last) {
            ++c.figures.failures;
            continue;
        }
        c.figures.delayMs.push_back(Ms(r.returnedAt - *last));
        c.figures.cpuNs += static_cast<double>(r.cpu.count());
        ++c.figures.cpuExchanges;
    }
}

void RunSilent(Contender& c, const std::vector<std::uint8_t>& request) {
    c.sim->setFault(readersim::Fault::Silent);
    const ExchangeResult r = c.peer->Exchange(request);
    c.sim->setFault(readersim::Fault::None);
    if (r.ok) {
        ++c.figures.failures;
        return;
    }
    c.figures.timeoutMs.push_back(Ms(r.elapsed));
}

const char* Verdict(bool ok) {
    return ok ? "met" : "MISSED";
}

}  // namespace
}  // namespace exchangebench

int main(int argc, char** argv) {
    using namespace exchangebench;
    QCoreApplication app(argc, argv);

    int exchanges = 200;
    int silentRuns = 5;
    readersim::Options simOptions;
    std::string script = PELORIN_PYSERIAL_PEER;
    std::string windowsBuild;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--exchanges") {
            exchanges = std::max(10, std::atoi(argv[i + 1]));
        } else if (arg == "--silent-runs") {
            silentRuns = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--baud") {
            simOptions.baud = static_cast<unsigned>(std::max(0, std::atoi(argv[i + 1])));
        } else if (arg == "--pyserial-peer") {
            script = argv[i + 1];
        } else if (arg == "--windows-build") {
            windowsBuild = argv[i + 1];
        }
    }

    const std::vector<std::uint8_t> request = readersim::BuildFrame(0, readersim::kCmdReadTag, {});
    std::vector<std::uint8_t> answerData{readersim::kStatusOk};
    const readersim::TagMemory tag = readersim::BlankTag(1);
    answerData.insert(answerData.end(), tag.begin(), tag.end());
    const std::size_t expected =
        readersim::BuildFrame(0, readersim::kCmdReadTag, answerData).size();

    auto python = std::make_unique<PyserialPeer>(script);
    python->SetRequest(request);
    std::vector<Contender> contenders;
    contenders.push_back({std::make_unique<CorvanelPeer>(), nullptr, {}});
    contenders.push_back({std::make_unique<QtSerialPeer>(), nullptr, {}});
    contenders.push_back({std::move(python), nullptr, {}});
    if (!windowsBuild.empty()) {
        auto wine = std::make_unique<WinePeer>(windowsBuild);
        wine->SetRequest(request);
        contenders.push_back({std::move(wine), nullptr, {}});
    }
    for (Contender& c : contenders) {
        c.sim = std::make_unique<readersim::ReaderSimulator>(simOptions);
        c.sim->placeTag(tag);
        if (!c.peer->Open(c.sim->devicePath())) {
            std::fprintf(stderr, "bench_exchange: %s cannot open %s\n", c.peer->Name(),
                         c.sim->devicePath().c_str());
            return 1;
        }
        RunAnswered(c, request, expected, 5, false);
    }

    // Interleaved blocks, so that load from elsewhere on the machine falls on all alike.
    constexpr int kBlock = 25;
    for (int done = 0; done < exchanges; done += kBlock) {
        for (Contender& c : contenders) {
            RunAnswered(c, request, expected, std::min(kBlock, exchanges - done), true);
        }
    }
    for (int i = 0; i < silentRuns; ++i) {
        for (Contender& c : contenders) {
            RunSilent(c, request);
        }
    }

    std::printf(
        "Reader exchange: READ_TAG, %zu-byte answer paced at %u baud (0: in one burst) after "
        "2 ms; %d exchanges and %d silent exchanges per implementation.\n"
        "CPU: the exchanging thread's CPU time (pyserial: its own, measured in Python).\n\n",
        expected, simOptions.baud, exchanges, silentRuns);
    double load[1] = {NAN};
    if (getloadavg(load, 1) == 1) {
        std::printf("Load average during the run: %.2f\n\n", load[0]);
    }
    std::printf("%-12s %13s %10s %10s %16s %16s %14s %9s\n", "", "delay median", "p90", "p99",
                "time-out mean", "time-out max", "CPU/exchange", "failures");
    std::printf("%-12s %13s %10s %10s %16s %16s %14s %9s\n", "", "(ms)", "(ms)", "(ms)", "dev (ms)",
                "|dev| (ms)", "(ms)", "");
    struct Row {
        double median, p90, p99, meanDev, maxDev, cpuMs;
    };
    std::vector<Row> rows;
    for (const Contender& c : contenders) {
        const Figures& f = c.figures;
        const Row row{Percentile(f.delayMs, 0.5),
                      Percentile(f.delayMs, 0.9),
                      Percentile(f.delayMs, 0.99),
                      MeanDeviation(f.timeoutMs, 1400.0),
                      MaxDeviation(f.timeoutMs, 1400.0),
                      f.cpuExchanges ? f.cpuNs / static_cast<double>(f.cpuExchanges) / 1e6 : NAN};
        rows.push_back(row);
        std::printf("%-12s %13.3f %10.3f %10.3f %+16.3f %16.3f %14.4f %9d\n", c.peer->Name(),
                    row.median, row.p90, row.p99, row.meanDev, row.maxDev, row.cpuMs, f.failures);
    }

    const Row& own = rows[0];
    // The Linux peers; the Wine row is Corvanel itself on another platform.
    constexpr std::size_t kPeers = 3;
    std::printf("\nCorvanel / peer (below 1 is better):\n");
    for (std::size_t i = 1; i < kPeers; ++i) {
        const Row& peer = rows[i];
        std::printf(
            "  vs %-12s delay median %.3f, delay p99 %.3f, time-out max |dev| %.3f, "
            "CPU %.3f\n",
            contenders[i].peer->Name(), own.median / peer.median, own.p99 / peer.p99,
            own.maxDev / peer.maxDev, own.cpuMs / peer.cpuMs);
    }
    bool asGood = true;
    for (std::size_t i = 1; i < kPeers; ++i) {
        asGood = asGood && own.p99 <= rows[i].p99 && own.maxDev <= rows[i].maxDev &&
                 own.cpuMs <= rows[i].cpuMs;
    }
    std::printf("\nGoals for Corvanel:\n");
    std::printf("  return within 21 ms of the last byte at p99:  %.3f ms  %s\n", own.p99,
                Verdict(own.p99 <= 21.0));
    std::printf("  time-out within 1400 ms +- 5 ms:              %.3f ms  %s\n", own.maxDev,
                Verdict(own.maxDev <= 5.0));
    std::printf("  under 0.2 ms CPU per exchange:                %.4f ms  %s\n", own.cpuMs,
                Verdict(own.cpuMs < 0.2));
    std::printf("  at least as good as both peers:                         %s\n", Verdict(asGood));
    const bool failed = contenders[0].figures.failures > 0;
    return failed ? 1 : 0;
}
