#include "serial_port.h"

#include <cstdio>

namespace platform = corvanel::platform;
using platform::Status;

namespace {
constexpr int kFailed = 1;
}  // namespace

CSerialPort::~CSerialPort() {
    Close();
}

int CSerialPort::Open(std::int32_t port, std::uint32_t baud, std::uint32_t inQueue,
                      std::uint32_t outQueue) {
    Close();
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", static_cast<int>(port));
    platform::Handle handle = platform::kInvalidHandle;
    if (platform::OpenDevice(name, &handle) != Status::Ok) {
        return 0;
    }
    m_hComm = handle;
    if (platform::ConfigureLine(m_hComm, baud) != Status::Ok) {
        Close();
        return 0;
    }
    m_dwInQueue = inQueue;
    m_dwOutQueue = outQueue;
    // Queue sizes are a request to the driver; a refusal does not spoil the port.
    static_cast<void>(platform::SetupQueues(m_hComm, m_dwInQueue, m_dwOutQueue));
    return 1;
}

int CSerialPort::Close() {
    if (IsOpen()) {
        // The handle is gone whatever the system reported, and its number may soon belong to
        // another file.
        static_cast<void>(platform::CloseDevice(m_hComm));
        m_hComm = platform::kInvalidHandle;
    }
    return 1;
}

int CSerialPort::Communicate(const std::uint8_t* request, std::int32_t length,
                             std::uint8_t* response, std::int32_t* count) {
    if (!IsOpen() || request == nullptr || length <= 0 || response == nullptr || count == nullptr) {
        return kFailed;
    }
    Purge();
    ApplyReadTimeout(m_dwReadTimeout);
    std::size_t written = 0;
    // A short write still goes on to the answer: the reader may have taken enough of it.
    static_cast<void>(
        platform::Write(m_hComm, request, static_cast<std::size_t>(length), &written));
    if (written == 0) {
        return kFailed;
    }
    *count = 0;
    std::uint8_t byte = 0;
    if (platform::ReadByte(m_hComm, m_dwAppliedTimeout, &byte) != Status::Ok) {
        return kFailed;
    }
    response[(*count)++] = byte;
    ApplyReadTimeout(kNextByteTimeoutMs);
    // Silence, a hang-up or a failed read all end the answer alike. Bytes beyond the response
    // area are read and dropped, so that the tail of an over-long answer is not taken for the
    // start of the next one.
    std::int32_t received = 1;
    while (received < kExchangeReadLimit &&
           platform::ReadByte(m_hComm, m_dwAppliedTimeout, &byte) == Status::Ok) {
        ++received;
        if (*count < kResponseCapacity) {
            response[(*count)++] = byte;
        }
    }
    return 0;
}

int CSerialPort::SetBaud(std::uint32_t baud) {
    std::uint32_t current = 0;
    if (!IsOpen() || platform::GetBaud(m_hComm, &current) != Status::Ok) {
        return 0;
    }
    if (current == baud) {
        return 1;
    }
    return platform::SetBaud(m_hComm, baud) == Status::Ok ? 1 : 0;
}

int CSerialPort::Purge() {
    if (!IsOpen()) {
        return 0;
    }
    // Left-over bytes that stay queued are harmless enough not to stop an exchange.
    static_cast<void>(platform::PurgeOutput(m_hComm));
    static_cast<void>(platform::PurgeInput(m_hComm));
    return 1;
}

int CSerialPort::ApplyReadTimeout(std::uint32_t timeoutMs) {
    if (IsOpen()) {
        static_cast<void>(platform::SetReadTimeout(m_hComm, timeoutMs));
        m_dwAppliedTimeout = timeoutMs;
    }
    return 1;
}
