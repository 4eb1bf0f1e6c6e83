// pelorin-readersim: a reader on a pseudo-terminal, for running Pelorin without the hardware.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "reader_simulator.h"

namespace {

const char kUsage[] =
    "Usage: pelorin-readersim [options]\n"
    "Stands in for the reader/writer on a pseudo-terminal until interrupted.\n"
    "\n"
    "  --port N           print the line that points COM<N> of the port library here\n"
    "  --link PATH        make a symbolic link PATH to the terminal (removed on exit)\n"
    "  --tags N           N blank tags: the first on the reader, the rest laid on one by one\n"
    "                     after each successful write (default 1)\n"
    "  --no-tag           nothing on the reader\n"
    "  --baud N           pacing of answer bytes (default 19200)\n"
    "  --processing-ms N  reader's time before its first answer byte (default 2)\n"
    "  --swap-ms N        time the next tag takes to appear after a write (default 300)\n"
    "  --lift-ms N        time the written tag stays on the reader before it is taken off\n"
    "                     (default 0)\n"
    "  --fault NAME       silent, status, two-bursts, stale-bytes, overlong, short, hang-up,\n"
    "                     lost-write (writes answered as done but not kept on the tag)\n"
    "  --burst-gap-ms N   pause between the two bursts of the two-bursts fault (default 30)\n"
    "  --verbose          print every request and answer with a time stamp\n"
    "  --help             this text\n";

struct FaultName {
    std::string_view name;
    readersim::Fault fault;
};
constexpr FaultName kFaults[] = {
    {"none", readersim::Fault::None},
    {"silent", readersim::Fault::Silent},
    {"status", readersim::Fault::Status},
    {"two-bursts", readersim::Fault::TwoBursts},
    {"stale-bytes", readersim::Fault::StaleBytes},
    {"overlong", readersim::Fault::Overlong},
    {"short", readersim::Fault::ShortAnswer},
    {"hang-up", readersim::Fault::HangUp},
    {"lost-write", readersim::Fault::LostWrite},
};

struct Settings {
    readersim::Options options;
    long port = 0;
    std::string link;
    long tags = 1;
    bool verbose = false;
};

bool ParseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

// 0 to run, 1 for a usage error, 2 after --help.
int ParseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 2;
        }
        if (arg == "--no-tag") {
            settings.tags = 0;
            continue;
        }
        if (arg == "--verbose") {
            settings.verbose = true;
            continue;
        }
        constexpr std::string_view kValued[] = {"--port",    "--link",          "--tags",
                                                "--baud",    "--processing-ms", "--swap-ms",
                                                "--lift-ms", "--fault",         "--burst-gap-ms"};
        if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued)) {
            std::fprintf(stderr, "pelorin-readersim: unknown option %s\n", argv[i]);
            return 1;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "pelorin-readersim: %s needs a value\n", argv[i]);
            return 1;
        }
        const char* value = argv[++i];
        long number = 0;
        bool ok = true;
        if (arg == "--port") {
            ok = ParseNumber(value, 1, 255, settings.port);
        } else if (arg == "--link") {
            settings.link = value;
        } else if (arg == "--tags") {
            ok = ParseNumber(value, 0, 1000000, settings.tags);
        } else if (arg == "--baud") {
            ok = ParseNumber(value, 0, 4000000, number);
            settings.options.baud = static_cast<unsigned>(number);
        } else if (arg == "--processing-ms") {
            ok = ParseNumber(value, 0, 60000, number);
            settings.options.processing = std::chrono::milliseconds(number);
        } else if (arg == "--swap-ms") {
            ok = ParseNumber(value, 0, 600000, number);
            settings.options.tagSwapDelay = std::chrono::milliseconds(number);
        } else if (arg == "--lift-ms") {
            ok = ParseNumber(value, 0, 600000, number);
            settings.options.tagLiftDelay = std::chrono::milliseconds(number);
        } else if (arg == "--burst-gap-ms") {
            ok = ParseNumber(value, 0, 60000, number);
            settings.options.burstGap = std::chrono::milliseconds(number);
        } else if (arg == "--fault") {
            ok = false;
            for (const FaultName& f : kFaults) {
                if (f.name == value) {
                    settings.options.fault = f.fault;
                    ok = true;
                }
            }
        }
        if (!ok) {
            std::fprintf(stderr, "pelorin-readersim: bad value %s for %s\n", value, argv[i - 1]);
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    const int parsed = ParseArguments(argc, argv, settings);
    if (parsed != 0) {
        if (parsed == 1) {
            std::fputs(kUsage, stderr);
        }
        return parsed == 2 ? 0 : 2;
    }

    // Block the stop signals before the simulator's thread starts, so only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        std::perror("pelorin-readersim: pthread_sigmask");
        return 1;
    }

    try {
        readersim::ReaderSimulator sim(settings.options);
        if (settings.tags > 0) {
            sim.placeBlankTag();
            sim.queueBlankTags(static_cast<std::size_t>(settings.tags - 1));
        }
        if (settings.verbose) {
            const auto start = std::chrono::steady_clock::now();
            sim.setTrace(
                [start](std::chrono::steady_clock::time_point at, const std::string& line) {
                    const auto us =
                        std::chrono::duration_cast<std::chrono::microseconds>(at - start).count();
                    std::printf("%10.3f ms  %s\n", static_cast<double>(us) / 1000.0, line.c_str());
                    std::fflush(stdout);
                });
        }
        if (!settings.link.empty() &&
            symlink(sim.devicePath().c_str(), settings.link.c_str()) != 0) {
            std::fprintf(stderr, "pelorin-readersim: cannot link %s: %s\n", settings.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
        if (settings.port > 0) {
            std::printf("export CORVANEL_COM%ld=%s\n", settings.port, sim.devicePath().c_str());
        } else {
            std::printf("%s\n", sim.devicePath().c_str());
        }
        std::fflush(stdout);

        int signal = 0;
        while (sigwait(&stopSignals, &signal) != 0) {
        }
        if (!settings.link.empty()) {
            unlink(settings.link.c_str());
        }
        if (settings.verbose) {
            std::printf("stopped by signal %d after %zu requests, %d beeps\n", signal,
                        sim.requests().size(), sim.beepCount());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelorin-readersim: %s\n", e.what());
        return 1;
    }
    return 0;
}
