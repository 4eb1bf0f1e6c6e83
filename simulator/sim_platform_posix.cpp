#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "sim_platform.h"

namespace readersim::platform {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

unsigned BaudFromSpeed(speed_t speed) {
    struct Entry {
        speed_t speed;
        unsigned baud;
    };
    static constexpr Entry kTable[] = {
        {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
        {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
        {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    for (const Entry& e : kTable) {
        if (e.speed == speed) {
            return e.baud;
        }
    }
    return 0;
}

}  // namespace

int OpenPty(Pty& pty) {
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pty.master < 0) {
        return -1;
    }
    char name[64];
    if (grantpt(pty.master) != 0 || unlockpt(pty.master) != 0 ||
        ptsname_r(pty.master, name, sizeof name) != 0) {
        ClosePty(pty);
        return -1;
    }
    pty.path = name;
    pty.slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pty.slave < 0) {
        ClosePty(pty);
        return -1;
    }
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0) {
        ClosePty(pty);
        return -1;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(pty.slave, TCSANOW, &tio) != 0) {
        ClosePty(pty);
        return -1;
    }
    return 0;
}

void ClosePty(Pty& pty) {
    CloseFd(pty.slave);
    CloseFd(pty.master);
}

int ReadLineSettings(const Pty& pty, LineSettings& settings) {
    termios tio{};
    if (pty.slave < 0 || tcgetattr(pty.slave, &tio) != 0) {
        return -1;
    }
    settings.baud = BaudFromSpeed(cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            settings.dataBits = 5;
            break;
        case CS6:
            settings.dataBits = 6;
            break;
        case CS7:
            settings.dataBits = 7;
            break;
        default:
            settings.dataBits = 8;
            break;
    }
    settings.parity = (tio.c_cflag & PARENB) != 0;
    settings.twoStopBits = (tio.c_cflag & CSTOPB) != 0;
    settings.hardwareFlowControl = (tio.c_cflag & CRTSCTS) != 0;
    settings.softwareFlowControl = (tio.c_iflag & (IXON | IXOFF)) != 0;
    settings.canonical = (tio.c_lflag & ICANON) != 0;
    settings.echo = (tio.c_lflag & ECHO) != 0;
    return 0;
}

long PendingInput(const Pty& pty) {
    int count = 0;
    if (pty.slave < 0 || ioctl(pty.slave, TIOCINQ, &count) != 0) {
        return -1;
    }
    return count;
}

int OpenWaker(Waker& waker) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        return -1;
    }
    waker.readFd = fds[0];
    waker.writeFd = fds[1];
    return 0;
}

void Wake(const Waker& waker) {
    const std::uint8_t one = 1;
    // A full pipe already holds a pending wake-up.
    [[maybe_unused]] ssize_t n = write(waker.writeFd, &one, 1);
}

void CloseWaker(Waker& waker) {
    CloseFd(waker.readFd);
    CloseFd(waker.writeFd);
}

int Wait(const Pty& pty, const Waker& waker, bool wantWrite,
         std::optional<std::chrono::steady_clock::time_point> deadline, unsigned& events) {
    events = 0;
    pollfd fds[2] = {
        {waker.readFd, POLLIN, 0},
        {pty.master, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
    };
    const nfds_t count = pty.master >= 0 ? 2 : 1;
    for (;;) {
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (deadline) {
            const auto left = *deadline - std::chrono::steady_clock::now();
            const auto ns = std::max<std::int64_t>(
                0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
            timeoutPtr = &timeout;
        }
        const int rc = ppoll(fds, count, timeoutPtr, nullptr);
        if (rc >= 0) {
            break;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
    if (fds[0].revents & POLLIN) {
        std::uint8_t drain[64];
        while (read(waker.readFd, drain, sizeof drain) > 0) {
        }
        events |= kWoken;
    }
    if (count == 2) {
        if (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) {
            events |= kReadable;
        }
        if (fds[1].revents & POLLOUT) {
            events |= kWritable;
        }
    }
    return 0;
}

long ReadLine(const Pty& pty, std::uint8_t* buffer, std::size_t capacity) {
    const ssize_t n = read(pty.master, buffer, capacity);
    if (n >= 0) {
        return n;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

long WriteLine(const Pty& pty, const std::uint8_t* bytes, std::size_t count) {
    const ssize_t n = write(pty.master, bytes, count);
    if (n >= 0) {
        return n;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

}  // namespace readersim::platform
