// bench_exchange's peer for Corvanel.dll under Wine. Opens COM<port>, then for each line "e" on
// standard input does one exchange of the request given in hex and answers at once with
// "ok|fail <count> 0 <cpu ns> <elapsed ns>"; "q" ends it. The 0 tells the Linux side to take the
// time the line arrives as the return of the call, on its own clock.
#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "corvanel.h"

namespace {

std::int64_t ThreadCpuNs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) * 100;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PORT REQUEST-HEX\n", argv[0]);
        return 2;
    }
    std::vector<std::uint8_t> request;
    for (const char* hex = argv[2]; hex[0] != '\0' && hex[1] != '\0'; hex += 2) {
        const char pair[3] = {hex[0], hex[1], '\0'};
        request.push_back(static_cast<std::uint8_t>(std::strtoul(pair, nullptr, 16)));
    }
    if (OpenComPort(std::atoi(argv[1]), 19200) != 1) {
        std::fprintf(stderr, "cannot open COM%s\n", argv[1]);
        return 1;
    }
    std::array<std::uint8_t, 1024> response{};
    char line[16];
    while (std::fgets(line, sizeof line, stdin) != nullptr && line[0] == 'e') {
        std::int32_t count = 0;
        const auto start = std::chrono::steady_clock::now();
        const std::int64_t cpu = ThreadCpuNs();
        const std::int32_t rc = CommunicateRFResult(
            request.data(), static_cast<std::int32_t>(request.size()), response.data(), &count);
        const std::int64_t cpuNs = ThreadCpuNs() - cpu;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        std::printf("%s %d 0 %lld %lld\n", rc == 0 ? "ok" : "fail", static_cast<int>(count),
                    static_cast<long long>(cpuNs),
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
        std::fflush(stdout);
    }
    CloseComPort();
    return 0;
}
