// The seam between the port object and the operating system's serial interface. Each platform
// provides these functions in a file of its own; nothing else in the library calls the system.
#ifndef CORVANEL_PLATFORM_H
#define CORVANEL_PLATFORM_H

#include <cstddef>
#include <cstdint>

namespace corvanel::platform {

enum class [[nodiscard]] Status{
    Ok,
    Failed,    // the system refused; the handle stays usable
    TimedOut,  // nothing happened within the given time
    HungUp,    // the device is gone; every later call on the handle fails at once
};

#if defined(_WIN32)
using Handle = void*;
inline Handle const kInvalidHandle = reinterpret_cast<Handle>(~std::uintptr_t{0});
#else
using Handle = int;
inline constexpr Handle kInvalidHandle = -1;
#endif

// Opens the port known as `name` ("COM3") for exclusive use; no other process may open it (on
// Linux a pseudo-terminal only keeps out processes that lock it too).
Status OpenDevice(const char* name, Handle* handle);
// Discards output not yet sent (flow control may hold it back, and the close would wait for it),
// gives up exclusive use and closes. The handle is released whatever the result: Failed only
// reports what the system said, and the caller never uses the handle again.
Status CloseDevice(Handle handle);
// Raw binary line, 8 data bits, no parity, `baud`; stop bits and hardware flow control stay as
// found. Ok only when the port confirms every setting.
Status ConfigureLine(Handle handle, std::uint32_t baud);
// The current line rate; 0 when the port runs at a rate outside the supported table.
Status GetBaud(Handle handle, std::uint32_t* baud);
// Changes the rate only; on Failed the line keeps its previous settings.
Status SetBaud(Handle handle, std::uint32_t baud);
// Asks the driver for queues of these sizes.
Status SetupQueues(Handle handle, std::uint32_t inQueue, std::uint32_t outQueue);
// Drops output not yet sent.
Status PurgeOutput(Handle handle);
// Drops input received but not yet read.
Status PurgeInput(Handle handle);
// Makes `timeoutMs` the wait of the following reads on platforms that keep it with the port.
Status SetReadTimeout(Handle handle, std::uint32_t timeoutMs);
// Writes all of `data`; `*written` tells how much went out, also on failure.
Status Write(Handle handle, const std::uint8_t* data, std::size_t length, std::size_t* written);
// Reads exactly one byte, waiting at most `timeoutMs` for it.
Status ReadByte(Handle handle, std::uint32_t timeoutMs, std::uint8_t* byte);

}  // namespace corvanel::platform

#endif
