// One implementation of the reader exchange, as the exchange benchmark drives it: write the
// request, wait up to 1400 ms for the first answer byte, then read until 20 ms of silence.
#ifndef PELORIN_BENCH_EXCHANGE_PEER_H
#define PELORIN_BENCH_EXCHANGE_PEER_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace exchangebench {

struct ExchangeResult {
    bool ok = false;  // at least one answer byte
    std::size_t count = 0;
    std::chrono::steady_clock::time_point returnedAt;
    std::chrono::nanoseconds elapsed{};  // from the start of the exchange to its return
    std::chrono::nanoseconds cpu{};      // CPU time of the exchanging thread
};

class ExchangePeer {
public:
    virtual ~ExchangePeer() = default;
    virtual const char* Name() const = 0;
    // Opens the device at 19200 baud, 8 data bits, no parity.
    virtual bool Open(const std::string& device) = 0;
    virtual ExchangeResult Exchange(const std::vector<std::uint8_t>& request) = 0;
};

// CPU time of the calling thread.
std::chrono::nanoseconds ThreadCpuTime();

}  // namespace exchangebench

#endif
