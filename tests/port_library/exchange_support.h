// One exchange through Corvanel's entry point, with a guard area behind the 1024-byte response
// area and the time it took; shared by the Linux and Windows library tests.
#ifndef PELORIN_TESTS_EXCHANGE_SUPPORT_H
#define PELORIN_TESTS_EXCHANGE_SUPPORT_H

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "corvanel.h"
#include "simulator/reader_simulator.h"

namespace exchange_support {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

inline constexpr std::uint32_t kBaud = 19200;
inline constexpr std::size_t kArea = 1024;
inline constexpr std::size_t kGuard = 64;
inline constexpr std::uint8_t kFill = 0xE5;
inline constexpr std::int32_t kUntouched = -7;

inline const Bytes kCheck = readersim::BuildFrame(0, readersim::kCmdCheck, {});
// The reader's answer to a check: status 0.
inline const Bytes kCheckAnswer = readersim::BuildFrame(0, readersim::kCmdCheck, {0x00});

struct Exchange {
    std::int32_t result = -1;
    std::int32_t count = kUntouched;
    std::array<std::uint8_t, kArea + kGuard> area{};
    Clock::duration took{};

    Bytes Answer() const {
        const auto n = static_cast<std::size_t>(std::clamp<std::int32_t>(count, 0, kArea));
        return Bytes(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(n));
    }
    bool GuardIntact() const {
        return std::all_of(area.begin() + kArea, area.end(), [](auto b) { return b == kFill; });
    }
    long Ms() const { return std::chrono::duration_cast<std::chrono::milliseconds>(took).count(); }
};

inline Exchange Communicate(const Bytes& request) {
    Exchange x;
    x.area.fill(kFill);
    const auto start = Clock::now();
    x.result = CommunicateRFResult(request.data(), static_cast<std::int32_t>(request.size()),
                                   x.area.data(), &x.count);
    x.took = Clock::now() - start;
    return x;
}

inline bool IsPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

}  // namespace exchange_support

#endif
