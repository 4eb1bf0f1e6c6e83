// termios and poll(). Ports are opened non-blocking and every wait is a poll() against a
// monotonic deadline, since VTIME counts in tenths of a second and cannot express 20 ms.
#include <fcntl.h>
#include <linux/major.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform.h"
#include "port_names.h"

extern char** environ;

namespace corvanel::platform {
namespace {

using Clock = std::chrono::steady_clock;

// How long a write may make no progress (output held back by flow control) before it gives up.
constexpr std::chrono::milliseconds kWriteStall{1400};

constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> kSpeeds = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

bool SpeedFor(std::uint32_t baud, speed_t* speed) {
    const auto it = std::find_if(kSpeeds.begin(), kSpeeds.end(),
                                 [baud](const auto& entry) { return entry.first == baud; });
    if (it == kSpeeds.end()) {
        return false;
    }
    *speed = it->second;
    return true;
}

std::uint32_t BaudOf(speed_t speed) {
    const auto it = std::find_if(kSpeeds.begin(), kSpeeds.end(),
                                 [speed](const auto& entry) { return entry.second == speed; });
    return it == kSpeeds.end() ? 0 : it->first;
}

bool IsPseudoTerminal(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        return false;
    }
    const unsigned node = major(status.st_rdev);
    return node >= UNIX98_PTY_SLAVE_MAJOR && node < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}

Environment PortVariables() {
    Environment env;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto equals = text.find('=');
        if (text.starts_with("CORVANEL_COM") && equals != std::string_view::npos) {
            env.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return env;
}

// Only where sysfs is absent. A node that another program holds or that this user may not open is
// counted as present, so that it does not shift the numbers of the ports after it.
bool UartAnswers(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY || errno == EACCES;
    }
    serial_struct info{};
    const bool real = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return real;
}

std::optional<std::string> DevicePath(const char* name) {
    const Environment env = PortVariables();
    return ResolvePortDevice(name, env,
                             UsesExplicitMap(env) ? std::vector<SerialDevice>{}
                                                  : ListSerialDevices("/dev", "/sys", UartAnswers));
}

// Waits for `events` until `deadline`. The kernel lets a poll() time-out run late by 0.1 % of
// its length, and whole milliseconds would add up to one more: waits are given to ppoll() to the
// nanosecond, in slices of at most 50 ms, so the 1400 ms wait ends within a fraction of a
// millisecond. A signal does not move the deadline.
Status WaitFor(Handle fd, short events, Clock::time_point deadline, short* revents) {
    constexpr auto kSlice = std::chrono::milliseconds(50);
    for (;;) {
        const auto remaining =
            std::clamp<Clock::duration>(deadline - Clock::now(), Clock::duration::zero(), kSlice);
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(remaining);
        const timespec wait{
            static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(remaining - seconds).count())};
        pollfd entry{fd, events, 0};
        const int ready = ppoll(&entry, 1, &wait, nullptr);
        if (ready > 0) {
            *revents = entry.revents;
            return (entry.revents & POLLNVAL) != 0 ? Status::Failed : Status::Ok;
        }
        if (ready < 0 && errno != EINTR) {
            return Status::Failed;
        }
        if (ready == 0 && Clock::now() >= deadline) {
            return Status::TimedOut;
        }
    }
}

bool Hangs(short revents) {
    return (revents & (POLLHUP | POLLERR)) != 0;
}

Status FromErrno() {
    return errno == EIO || errno == ENXIO ? Status::HungUp : Status::Failed;
}

bool Confirmed(const termios& wanted, const termios& actual) {
    constexpr tcflag_t kIn =
        IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY;
    constexpr tcflag_t kLocal = ICANON | ECHO | ECHONL | ISIG | IEXTEN;
    constexpr tcflag_t kControl = CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    return (actual.c_iflag & kIn) == (wanted.c_iflag & kIn) &&
           (actual.c_oflag & OPOST) == (wanted.c_oflag & OPOST) &&
           (actual.c_lflag & kLocal) == (wanted.c_lflag & kLocal) &&
           (actual.c_cflag & kControl) == (wanted.c_cflag & kControl) &&
           cfgetispeed(&actual) == cfgetispeed(&wanted) &&
           cfgetospeed(&actual) == cfgetospeed(&wanted);
}

// Applies `wanted` and reads it back: tcsetattr() reports success when any part took effect.
Status Apply(Handle fd, const termios& wanted) {
    termios actual{};
    if (tcsetattr(fd, TCSANOW, &wanted) != 0 || tcgetattr(fd, &actual) != 0) {
        return FromErrno();
    }
    return Confirmed(wanted, actual) ? Status::Ok : Status::Failed;
}

}  // namespace

Status OpenDevice(const char* name, Handle* handle) {
    const auto path = DevicePath(name);
    if (!path) {
        return Status::Failed;
    }
    const int fd = open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Status::Failed;
    }
    // flock() keeps out every cooperating process, TIOCEXCL every other open except root's. A
    // pseudo-terminal lives on with its master, so the flag of a holder that was killed would
    // lock everyone else out until then; there the lock alone guards it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || (!IsPseudoTerminal(fd) && ioctl(fd, TIOCEXCL) != 0)) {
        close(fd);
        return Status::Failed;
    }
    *handle = fd;
    return Status::Ok;
}

Status CloseDevice(Handle handle) {
    // Output held back by flow control would make close() wait for it, 30 s by default.
    const bool discarded = tcflush(handle, TCOFLUSH) == 0;
    // Fails on a port that hung up; the close below still releases it.
    ioctl(handle, TIOCNXCL);
    // Linux frees the descriptor even when close() reports an error.
    const bool closed = close(handle) == 0;
    return discarded && closed ? Status::Ok : Status::Failed;
}

Status ConfigureLine(Handle handle, std::uint32_t baud) {
    termios settings{};
    speed_t speed{};
    if (!SpeedFor(baud, &speed) || tcgetattr(handle, &settings) != 0) {
        return Status::Failed;
    }
    // No software flow control: XON and XOFF are ordinary frame bytes here.
    settings.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // With VMIN 1 a non-blocking read without data fails with EAGAIN; 0 then means hang-up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0) {
        return Status::Failed;
    }
    return Apply(handle, settings);
}

Status GetBaud(Handle handle, std::uint32_t* baud) {
    termios settings{};
    if (tcgetattr(handle, &settings) != 0) {
        return FromErrno();
    }
    *baud = BaudOf(cfgetospeed(&settings));
    return Status::Ok;
}

Status SetBaud(Handle handle, std::uint32_t baud) {
    termios previous{};
    speed_t speed{};
    if (!SpeedFor(baud, &speed) || tcgetattr(handle, &previous) != 0) {
        return Status::Failed;
    }
    termios settings = previous;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0) {
        return Status::Failed;
    }
    const Status status = Apply(handle, settings);
    if (status == Status::Ok) {
        return status;
    }
    // tcsetattr() may have taken part of the change; the line goes back to what it was.
    const Status restored = Apply(handle, previous);
    return restored == Status::Ok ? status : restored;
}

Status SetupQueues(Handle, std::uint32_t, std::uint32_t) {
    // The tty layer sizes its own buffers.
    return Status::Ok;
}

Status PurgeOutput(Handle handle) {
    return tcflush(handle, TCOFLUSH) == 0 ? Status::Ok : FromErrno();
}

Status PurgeInput(Handle handle) {
    return tcflush(handle, TCIFLUSH) == 0 ? Status::Ok : FromErrno();
}

Status SetReadTimeout(Handle, std::uint32_t) {
    // Every ReadByte() call carries its own wait.
    return Status::Ok;
}

Status Write(Handle handle, const std::uint8_t* data, std::size_t length, std::size_t* written) {
    *written = 0;
    auto stallDeadline = Clock::now() + kWriteStall;
    while (*written < length) {
        const ssize_t count = write(handle, data + *written, length - *written);
        if (count > 0) {
            *written += static_cast<std::size_t>(count);
            stallDeadline = Clock::now() + kWriteStall;
            continue;
        }
        if (count == 0) {
            return Status::Failed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return FromErrno();
        }
        short revents = 0;
        if (const Status status = WaitFor(handle, POLLOUT, stallDeadline, &revents);
            status != Status::Ok) {
            return status;
        }
        if (Hangs(revents)) {
            return Status::HungUp;
        }
    }
    return Status::Ok;
}

Status ReadByte(Handle handle, std::uint32_t timeoutMs, std::uint8_t* byte) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool hungUp = false;
    for (;;) {
        // A byte already queued is taken without a wait, so a burst costs one call per byte.
        const ssize_t count = read(handle, byte, 1);
        if (count == 1) {
            return Status::Ok;
        }
        if (count == 0) {
            return Status::HungUp;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return FromErrno();
        }
        // Readable without data after a hang-up would otherwise spin until the deadline.
        if (hungUp) {
            return Status::HungUp;
        }
        short revents = 0;
        if (const Status status = WaitFor(handle, POLLIN, deadline, &revents);
            status != Status::Ok) {
            return status;
        }
        hungUp = Hangs(revents);
    }
}

}  // namespace corvanel::platform
