// The simulator's few platform services: a pseudo-terminal, a wake-up channel and a timed wait.
// Every function returns 0 on success and -1 on failure unless it says otherwise.
#ifndef PELORIN_SIMULATOR_SIM_PLATFORM_H
#define PELORIN_SIMULATOR_SIM_PLATFORM_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "reader_simulator.h"

namespace readersim::platform {

struct Pty {
    int master = -1;
    int slave = -1;  // held open so the master never sees the line vanish between users
    std::string path;
};

// A master in non-blocking mode and its slave in raw mode, so answers are not echoed back.
int OpenPty(Pty& pty);
// Closing the master hangs up every open file of the slave.
void ClosePty(Pty& pty);
int ReadLineSettings(const Pty& pty, LineSettings& settings);
// Bytes written to the master that the other side has not read yet; -1 on failure.
long PendingInput(const Pty& pty);

struct Waker {
    int readFd = -1;
    int writeFd = -1;
};
int OpenWaker(Waker& waker);
void Wake(const Waker& waker);
void CloseWaker(Waker& waker);

enum Event : unsigned {
    kReadable = 1u << 0,
    kWritable = 1u << 1,
    kWoken = 1u << 2,
};
// Waits for input on the master (when open), room for output when asked, a wake-up, or the
// deadline; EINTR keeps the deadline. Sets `events` to what happened.
int Wait(const Pty& pty, const Waker& waker, bool wantWrite,
         std::optional<std::chrono::steady_clock::time_point> deadline, unsigned& events);

// Number of bytes moved, 0 when the line has no data or no room right now, -1 on failure.
long ReadLine(const Pty& pty, std::uint8_t* buffer, std::size_t capacity);
long WriteLine(const Pty& pty, const std::uint8_t* bytes, std::size_t count);

}  // namespace readersim::platform

#endif
