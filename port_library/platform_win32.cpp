// The Windows serial services. Reads wait by the port's own time-outs, which ApplyReadTimeout
// sets before each phase of an exchange, so ReadByte ignores its wait argument.
#include <windows.h>

#include <string>

#include "platform.h"

namespace corvanel::platform {
namespace {

// Errors with which a driver reports a device that is gone, such as an unplugged USB adapter.
Status FromLastError() {
    switch (GetLastError()) {
        case ERROR_DEVICE_REMOVED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_NOT_CONNECTED:
            return Status::HungUp;
        default:
            return Status::Failed;
    }
}

// Reads the line settings, lets `change` alter some and applies them; all others stay as found.
// Without the settings as found there is nothing to keep, so a failed read refuses the change.
template <typename Change>
Status ChangeState(Handle handle, Change change) {
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (GetCommState(handle, &settings) == 0) {
        return FromLastError();
    }
    change(settings);
    return SetCommState(handle, &settings) != 0 ? Status::Ok : FromLastError();
}

}  // namespace

Status OpenDevice(const char* name, Handle* handle) {
    // The device namespace prefix reaches COM10 and above as well.
    const std::string path = std::string("\\\\.\\") + name;
    // Share mode 0: a port that another process holds does not open.
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return Status::Failed;
    }
    *handle = opened;
    return Status::Ok;
}

Status CloseDevice(Handle handle) {
    // Output still queued would otherwise hold the close until the line has sent it.
    static_cast<void>(PurgeComm(handle, PURGE_TXCLEAR));
    return CloseHandle(handle) != 0 ? Status::Ok : Status::Failed;
}

Status ConfigureLine(Handle handle, std::uint32_t baud) {
    return ChangeState(handle, [baud](DCB& settings) {
        settings.BaudRate = baud;
        settings.ByteSize = 8;
        settings.Parity = NOPARITY;
    });
}

Status GetBaud(Handle handle, std::uint32_t* baud) {
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (GetCommState(handle, &settings) == 0) {
        return FromLastError();
    }
    *baud = settings.BaudRate;
    return Status::Ok;
}

Status SetBaud(Handle handle, std::uint32_t baud) {
    return ChangeState(handle, [baud](DCB& settings) { settings.BaudRate = baud; });
}

Status SetupQueues(Handle handle, std::uint32_t inQueue, std::uint32_t outQueue) {
    return SetupComm(handle, inQueue, outQueue) != 0 ? Status::Ok : FromLastError();
}

Status PurgeOutput(Handle handle) {
    return PurgeComm(handle, PURGE_TXCLEAR) != 0 ? Status::Ok : FromLastError();
}

Status PurgeInput(Handle handle) {
    return PurgeComm(handle, PURGE_RXCLEAR) != 0 ? Status::Ok : FromLastError();
}

Status SetReadTimeout(Handle handle, std::uint32_t timeoutMs) {
    // A read returns at once with a byte already queued, else with the first byte to arrive, else
    // empty after timeoutMs. Writes have no time-out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = timeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(handle, &timeouts) != 0 ? Status::Ok : FromLastError();
}

Status Write(Handle handle, const std::uint8_t* data, std::size_t length, std::size_t* written) {
    *written = 0;
    if (length > MAXDWORD) {
        return Status::Failed;
    }
    DWORD count = 0;
    const BOOL ok = WriteFile(handle, data, static_cast<DWORD>(length), &count, nullptr);
    *written = count;
    if (ok == 0) {
        return FromLastError();
    }
    return count == length ? Status::Ok : Status::Failed;
}

Status ReadByte(Handle handle, std::uint32_t, std::uint8_t* byte) {
    DWORD count = 0;
    if (ReadFile(handle, byte, 1, &count, nullptr) == 0) {
        return FromLastError();
    }
    return count == 1 ? Status::Ok : Status::TimedOut;
}

}  // namespace corvanel::platform
