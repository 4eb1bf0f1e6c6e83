// The port object: one serial line, one timed request/response exchange at a time.
#ifndef CORVANEL_SERIAL_PORT_H
#define CORVANEL_SERIAL_PORT_H

#include <cstdint>

#include "platform.h"

// Room in the caller's response area.
inline constexpr std::int32_t kResponseCapacity = 1024;
// The longest an answer may wait for its first byte, and for each later byte.
inline constexpr std::uint32_t kFirstByteTimeoutMs = 1400;
inline constexpr std::uint32_t kNextByteTimeoutMs = 20;
// Bytes read in one exchange at most; a line that never falls silent would hold the caller
// forever. What an answer has beyond the response area is read and dropped up to this limit.
inline constexpr std::int32_t kExchangeReadLimit = 4 * kResponseCapacity;

class CSerialPort {
public:
    CSerialPort() = default;
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // 1 when port "COM<port>" is open at `baud`, 8 data bits, no parity; 0 otherwise. A port that
    // was open before is closed first.
    int Open(std::int32_t port, std::uint32_t baud, std::uint32_t inQueue, std::uint32_t outQueue);
    // Always 1: the handle is released even when the system reports a failed close.
    int Close();
    // 0 when at least one answer byte arrived; the answer is stored in `response` (at most
    // kResponseCapacity bytes) and counted in `*count`. The count is not touched unless the
    // request went out.
    int Communicate(const std::uint8_t* request, std::int32_t length, std::uint8_t* response,
                    std::int32_t* count);
    // 1 when the open port runs at `baud` afterwards.
    int SetBaud(std::uint32_t baud);
    // 1 after dropping unsent output and unread input, 0 when no port is open.
    int Purge();
    // Always 1; the wait applies to the following reads of the open port.
    int ApplyReadTimeout(std::uint32_t timeoutMs);

    bool IsOpen() const { return m_hComm != corvanel::platform::kInvalidHandle; }

private:
    corvanel::platform::Handle m_hComm = corvanel::platform::kInvalidHandle;
    std::uint32_t m_dwReadTimeout = kFirstByteTimeoutMs;
    std::uint32_t m_dwInQueue = kResponseCapacity;
    std::uint32_t m_dwOutQueue = kResponseCapacity;
    // The wait the next read uses, as the last ApplyReadTimeout set it.
    std::uint32_t m_dwAppliedTimeout = kFirstByteTimeoutMs;
};

#endif
