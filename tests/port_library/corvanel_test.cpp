// Corvanel through its C entry points, against the reader simulator (or a bare pty peer) on a
// real pseudo-terminal. The library's port object is process-wide, so every test ends closed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numeric>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "corvanel.h"
#include "exchange_support.h"
#include "simulator/reader_simulator.h"

namespace {

using namespace std::chrono_literals;
using namespace exchange_support;

constexpr int kPort = 5;
constexpr int kOtherPort = 6;

void MapPort(int port, const std::string& path) {
    setenv(("CORVANEL_COM" + std::to_string(port)).c_str(), path.c_str(), 1);
}

// The settings of the terminal behind `path`, read through any descriptor this process holds.
std::optional<termios> LineOf(const std::string& path) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path) {
            termios settings{};
            if (tcgetattr(std::stoi(entry.path().filename()), &settings) == 0) {
                return settings;
            }
        }
    }
    return std::nullopt;
}

// The descriptor this process holds on `path`, or -1.
int DescriptorOf(const std::string& path) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path) {
            return std::stoi(entry.path().filename());
        }
    }
    return -1;
}

// Runs `body` in a child process as the unprivileged user nobody; its result is the exit code.
template <typename Body>
pid_t StartAsNobody(Body body) {
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(255);
        }
        _exit(body());
    }
    return child;
}

int ExitCodeOf(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Corvanel : public testing::Test {
protected:
    void SetUp() override { Start({}); }
    void TearDown() override {
        EXPECT_EQ(CloseComPort(), 1);
        unsetenv(("CORVANEL_COM" + std::to_string(kPort)).c_str());
        unsetenv(("CORVANEL_COM" + std::to_string(kOtherPort)).c_str());
    }
    void Start(const readersim::Options& options) {
        sim_ = std::make_unique<readersim::ReaderSimulator>(options);
        MapPort(kPort, sim_->devicePath());
    }
    void Open() { ASSERT_EQ(OpenComPort(kPort, kBaud), 1); }
    void SetFault(readersim::Fault fault) { sim_->setFault(fault); }

    std::unique_ptr<readersim::ReaderSimulator> sim_;
};

TEST_F(Corvanel, ConstantEntryPoints) {
    Open();
    EXPECT_EQ(GetCOMDLLVersion(), 0);
    EXPECT_EQ(OpenLPTPort(1, 2), 0);
    EXPECT_EQ(CloseLPTPort(), 0);
    FreeComData(nullptr);
    FreeComData(std::malloc(16));
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the LPT calls left the port alone";
}

TEST_F(Corvanel, OpenAndClose) {
    EXPECT_EQ(CloseComPort(), 1) << "nothing open";
    Open();
    EXPECT_EQ(OpenComPort(kPort, kBaud), 1) << "the same port again";
    EXPECT_EQ(Communicate(kCheck).result, 0);
    EXPECT_EQ(CloseComPort(), 1);
    EXPECT_EQ(CloseComPort(), 1);
    const Exchange closed = Communicate(kCheck);
    EXPECT_EQ(closed.result, 1);
    EXPECT_EQ(closed.count, kUntouched);
}

TEST_F(Corvanel, FailedOpenLeavesNoPortOpen) {
    struct Case {
        const char* what;
        const char* device;  // null: no variable for the port
        std::uint32_t baud;
    };
    const Case cases[] = {
        {"device missing", "/dev/pelorin-no-such-device", kBaud},
        {"port not mapped", nullptr, kBaud},
        {"not a terminal", "/dev/null", kBaud},
        {"unsupported rate", "", 12345},
        {"rate 0", "", 0},
    };
    for (const Case& c : cases) {
        Open();
        const std::string device = c.device == nullptr ? ""
                                   : *c.device == '\0' ? sim_->devicePath()
                                                       : c.device;
        unsetenv(("CORVANEL_COM" + std::to_string(kOtherPort)).c_str());
        if (c.device != nullptr) {
            MapPort(kOtherPort, device);
        }
        EXPECT_EQ(OpenComPort(kOtherPort, c.baud), 0) << c.what;
        const Exchange x = Communicate(kCheck);
        EXPECT_EQ(x.result, 1) << c.what << ": the earlier port was closed";
        EXPECT_EQ(x.count, kUntouched) << c.what;
    }
}

TEST_F(Corvanel, OpeningAnotherPortClosesTheFirst) {
    readersim::ReaderSimulator other;
    MapPort(kOtherPort, other.devicePath());
    Open();
    ASSERT_EQ(OpenComPort(kOtherPort, kBaud), 1);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer);
    EXPECT_EQ(other.requests().size(), 1u);
    EXPECT_TRUE(sim_->requests().empty());
    const int fd = open(sim_->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "the first port was released";
    close(fd);
}

TEST_F(Corvanel, ExchangeDeliversTheAnswer) {
    Open();
    for (int round = 0; round < 3; ++round) {
        const Exchange x = Communicate(kCheck);
        EXPECT_EQ(x.result, 0);
        EXPECT_EQ(x.Answer(), kCheckAnswer);
        EXPECT_TRUE(x.GuardIntact());
        EXPECT_LT(x.Ms(), 1000);
    }
    ASSERT_EQ(sim_->requests().size(), 3u);
    EXPECT_EQ(sim_->requests().back().command, readersim::kCmdCheck);
    EXPECT_TRUE(sim_->requests().back().checksumOk);
}

TEST_F(Corvanel, NothingToSendFailsWithCountUntouched) {
    Exchange x;
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, x.area.data(), &x.count), 1) << "no port";
    EXPECT_EQ(x.count, kUntouched);
    Open();
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 0, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), -1, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(nullptr, 9, x.area.data(), &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, nullptr, &x.count), 1);
    EXPECT_EQ(CommunicateRFResult(kCheck.data(), 9, x.area.data(), nullptr), 1);
    EXPECT_EQ(x.count, kUntouched);
    EXPECT_TRUE(sim_->requests().empty());
}

TEST_F(Corvanel, SilentReaderTimesOutAfterFirstByteWait) {
    Open();
    SetFault(readersim::Fault::Silent);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 1);
    EXPECT_EQ(x.count, 0);
    EXPECT_GE(x.Ms(), 1350);
    EXPECT_LE(x.Ms(), 2000);
}

TEST_F(Corvanel, PauseEndsTheAnswerAndTheRestIsDropped) {
    Open();
    SetFault(readersim::Fault::TwoBursts);
    const Exchange first = Communicate(kCheck);
    EXPECT_EQ(first.result, 0);
    EXPECT_TRUE(IsPrefix(first.Answer(), kCheckAnswer));
    EXPECT_LT(first.Answer().size(), kCheckAnswer.size()) << "only the first burst";
    std::this_thread::sleep_for(60ms);
    SetFault(readersim::Fault::None);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the second burst was dropped";
}

TEST_F(Corvanel, BytesBeforeTheRequestNeverReachTheAnswer) {
    Open();
    SetFault(readersim::Fault::StaleBytes);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer);
    std::this_thread::sleep_for(sim_->options().staleDelay + 60ms);
    SetFault(readersim::Fault::None);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "late tail of an earlier answer";
    sim_->injectBytes({0xAA, 0xBB, 0x11, 0x13, 0x00});
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "noise on an idle line";
}

TEST_F(Corvanel, OneByteAnswer) {
    Open();
    SetFault(readersim::Fault::ShortAnswer);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 0);
    EXPECT_EQ(x.Answer(), Bytes{0xAA});
    EXPECT_EQ(x.area[1], kFill);
}

TEST_F(Corvanel, OverlongAnswerIsCutAtTheResponseArea) {
    Open();
    SetFault(readersim::Fault::Overlong);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 0);
    ASSERT_EQ(x.count, 1024);
    EXPECT_TRUE(x.GuardIntact()) << "nothing stored past 1024 bytes";
    Bytes wire = kCheckAnswer;
    for (std::size_t i = wire.size(); i < kArea; ++i) {
        wire.push_back(static_cast<std::uint8_t>(i));
    }
    EXPECT_EQ(x.Answer(), wire);
    SetFault(readersim::Fault::None);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the tail was not left behind";
}

// A pty never waits on close, so the freeze itself (a UART whose output flow control holds back
// a request, and the kernel's closing wait of up to 30 s) shows only on real hardware. What a
// fixture can show is that the close discards the output still queued: a master in packet mode
// is told of every discard of the terminal's output.
TEST_F(Corvanel, CloseDiscardsOutputStillQueued) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(master, 0);
    int on = 1;
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    ASSERT_EQ(ioctl(master, TIOCPKT, &on), 0);
    MapPort(kOtherPort, ptsname(master));
    ASSERT_EQ(OpenComPort(kOtherPort, kBaud), 1);
    // The far end never reads: the request stays queued and no answer comes.
    EXPECT_EQ(Communicate(kCheck).result, 1);
    std::uint8_t status = 0;
    // The exchange's own purge came first.
    ASSERT_EQ(read(master, &status, 1), 1);
    ASSERT_NE(status & TIOCPKT_FLUSHWRITE, 0) << "control packet " << int{status};

    EXPECT_EQ(CloseComPort(), 1);
    ASSERT_EQ(read(master, &status, 1), 1);
    EXPECT_EQ(status & TIOCPKT_FLUSHWRITE, TIOCPKT_FLUSHWRITE)
        << "control packet " << int{status} << ": the queued request was not discarded";
    close(master);
}

class CorvanelHangUp : public Corvanel {
protected:
    // Slow pacing, so that the bytes before the hang-up are read before the line goes.
    void SetUp() override {
        readersim::Options options;
        options.baud = 1200;
        options.fault = readersim::Fault::HangUp;
        Start(options);
    }
};

TEST_F(CorvanelHangUp, MidAnswerEndsTheAnswer) {
    Open();
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 0);
    EXPECT_GE(x.count, 1);
    EXPECT_LE(x.count, 3);
    EXPECT_TRUE(IsPrefix(x.Answer(), kCheckAnswer));
    for (int round = 0; round < 2; ++round) {
        const Exchange later = Communicate(kCheck);
        EXPECT_EQ(later.result, 1) << "the line is gone";
        EXPECT_LT(later.Ms(), 200) << "fails at once";
    }
}

TEST_F(CorvanelHangUp, BeforeTheAnswerFailsTheExchange) {
    auto options = sim_->options();
    options.hangUpAfterBytes = 0;
    sim_->setOptions(options);
    Open();
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 1);
    EXPECT_EQ(x.count, 0);
    EXPECT_LT(x.Ms(), 1000) << "the hang-up ends the wait, not the time-out";
    const Exchange later = Communicate(kCheck);
    EXPECT_EQ(later.result, 1);
    EXPECT_LT(later.Ms(), 200);
}

// A bare pseudo-terminal whose far end the test drives byte by byte.
class RawPeer {
public:
    RawPeer() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            path_ = ptsname(master_);
        }
    }
    ~RawPeer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        close(master_);
    }
    const std::string& path() const { return path_; }

    // Reads `length` bytes, then writes `answer`.
    void Answer(std::size_t length, Bytes answer) {
        thread_ = std::thread([this, length, answer = std::move(answer)] {
            while (received_.size() < length && Wait(POLLIN)) {
                std::uint8_t buffer[256];
                const ssize_t n = read(master_, buffer, sizeof buffer);
                if (n <= 0) {
                    return;
                }
                received_.insert(received_.end(), buffer, buffer + n);
            }
            WriteAll(answer);
        });
    }
    // Writes without pause until stopped.
    void Babble() {
        thread_ = std::thread([this] {
            Bytes chunk(256);
            std::iota(chunk.begin(), chunk.end(), 0);
            while (!stop_ && WriteAll(chunk)) {
            }
        });
    }
    void Stop() {
        stop_ = true;
        thread_.join();
    }
    const Bytes& received() const { return received_; }

private:
    bool Wait(short events) {
        for (int waited = 0; waited < 3000 && !stop_; waited += 50) {
            pollfd entry{master_, events, 0};
            if (poll(&entry, 1, 50) > 0) {
                return true;
            }
        }
        return false;
    }
    bool WriteAll(const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (!Wait(POLLOUT)) {
                return false;
            }
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    int master_ = -1;
    std::string path_;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    Bytes received_;
};

// A close the system complains about still gives the descriptor up (Linux always does), so the
// port object must forget it: otherwise it refuses every later open, and a file that receives
// the same number is written to as the port.
TEST_F(Corvanel, CloseForgetsTheHandleWhateverTheSystemSays) {
    RawPeer peer;
    ASSERT_FALSE(peer.path().empty());
    MapPort(kOtherPort, peer.path());
    ASSERT_EQ(OpenComPort(kOtherPort, kBaud), 1);
    const int fd = DescriptorOf(peer.path());
    ASSERT_GE(fd, 0);
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
    // Closed behind the library's back, the close below gets EBADF.
    ASSERT_EQ(close(fd), 0);
    EXPECT_EQ(CloseComPort(), 1);
    ASSERT_EQ(dup3(pipeFds[1], fd, O_CLOEXEC), fd);
    const Exchange x = Communicate(kCheck);
    EXPECT_EQ(x.result, 1);
    EXPECT_EQ(x.count, kUntouched);
    std::uint8_t byte = 0;
    EXPECT_EQ(read(pipeFds[0], &byte, 1), -1) << "the request went into the reused descriptor";
    close(fd);
    close(pipeFds[0]);
    close(pipeFds[1]);

    peer.Answer(kCheck.size(), kCheckAnswer);
    ASSERT_EQ(OpenComPort(kOtherPort, kBaud), 1) << "the port object still holds the old handle";
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer);
}

TEST_F(Corvanel, EveryByteValuePassesUnchanged) {
    RawPeer peer;
    ASSERT_FALSE(peer.path().empty());
    MapPort(kOtherPort, peer.path());
    ASSERT_EQ(OpenComPort(kOtherPort, kBaud), 1);
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);
    Bytes reversed(all.rbegin(), all.rend());
    peer.Answer(all.size(), reversed);
    const Exchange x = Communicate(all);
    EXPECT_EQ(x.result, 0);
    EXPECT_EQ(x.Answer(), reversed);
    peer.Stop();
    EXPECT_EQ(peer.received(), all);
}

TEST_F(Corvanel, LineThatNeverFallsSilentStillEndsTheExchange) {
    RawPeer peer;
    ASSERT_FALSE(peer.path().empty());
    MapPort(kOtherPort, peer.path());
    ASSERT_EQ(OpenComPort(kOtherPort, kBaud), 1);
    peer.Babble();
    const Exchange x = Communicate(kCheck);
    peer.Stop();
    EXPECT_EQ(x.result, 0);
    EXPECT_EQ(x.count, 1024);
    EXPECT_TRUE(x.GuardIntact());
}

// A pseudo-terminal is guarded by the lock alone (see below). The exclusive flag that also keeps
// out programs that do not lock is set only on other devices: only real hardware shows it.
TEST_F(Corvanel, PortIsHeldAgainstProgramsThatLock) {
    Open();
    const int fd = open(sim_->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0) << "held while open";
    ASSERT_EQ(CloseComPort(), 1);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "released on close";
    close(fd);
}

// The practice setup: the simulator keeps its pseudo-terminal open, so whatever a killed program
// left set on the terminal stays there for the next one.
TEST_F(Corvanel, KilledHolderDoesNotLockTheNextOneOut) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run children as another user";
    }
    ASSERT_EQ(chmod(sim_->devicePath().c_str(), 0666), 0);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = StartAsNobody([&] {
        const char opened = OpenComPort(kPort, kBaud) == 1 ? 'y' : 'n';
        if (write(ready[1], &opened, 1) != 1) {
            return 1;
        }
        pause();
        return 0;
    });
    ASSERT_GT(holder, 0);
    char opened = 0;
    ASSERT_EQ(read(ready[0], &opened, 1), 1);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(opened, 'y');

    const auto openAndCheck = [] {
        if (OpenComPort(kPort, kBaud) != 1) {
            return 1;
        }
        return Communicate(kCheck).Answer() == kCheckAnswer ? 0 : 2;
    };
    EXPECT_EQ(ExitCodeOf(StartAsNobody(openAndCheck)), 1) << "opened while the holder lives";
    ASSERT_EQ(kill(holder, SIGKILL), 0);
    ExitCodeOf(holder);
    EXPECT_EQ(ExitCodeOf(StartAsNobody(openAndCheck)), 0) << "locked out after the holder died";
}

struct LineCase {
    std::uint32_t baud;
    speed_t speed;
    tcflag_t keep;  // CSTOPB and CRTSCTS as the port had them
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.baud << ((c.keep & CSTOPB) != 0 ? " CSTOPB" : "")
        << ((c.keep & CRTSCTS) != 0 ? " CRTSCTS" : "");
}

class CorvanelLine : public Corvanel, public testing::WithParamInterface<LineCase> {};

// A pseudo-terminal always runs 8 data bits without parity and with the receiver on, whatever it
// is told, so these three settings can only be checked on real hardware.
TEST_P(CorvanelLine, OpenSetsARawLineAndKeepsStopBitsAndFlowControl) {
    const LineCase& c = GetParam();
    {
        const int fd = open(sim_->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios before{};
        ASSERT_EQ(tcgetattr(fd, &before), 0);
        before.c_cflag = (before.c_cflag & ~(CSTOPB | CRTSCTS | CLOCAL)) | c.keep;
        before.c_iflag |= ICRNL | INLCR | IXON | IXOFF | ISTRIP;
        before.c_oflag |= OPOST;
        before.c_lflag |= ICANON | ECHO | ISIG;
        cfsetspeed(&before, B2400);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &before), 0);
        close(fd);
    }
    ASSERT_EQ(OpenComPort(kPort, c.baud), 1);
    const auto line = LineOf(sim_->devicePath());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->c_cflag & CLOCAL, static_cast<tcflag_t>(CLOCAL));
    EXPECT_EQ(line->c_cflag & (CSTOPB | CRTSCTS), c.keep);
    EXPECT_EQ(line->c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | ISTRIP | PARMRK), 0u);
    EXPECT_EQ(line->c_oflag & OPOST, 0u);
    EXPECT_EQ(line->c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(cfgetispeed(&*line), c.speed);
    EXPECT_EQ(cfgetospeed(&*line), c.speed);
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer);
}

INSTANTIATE_TEST_SUITE_P(Table, CorvanelLine,
                         testing::Values(LineCase{19200, B19200, 0}, LineCase{9600, B9600, CSTOPB},
                                         LineCase{115200, B115200, CRTSCTS},
                                         LineCase{4000000, B4000000, CSTOPB | CRTSCTS},
                                         LineCase{50, B50, 0}));

TEST_F(Corvanel, BaudChange) {
    EXPECT_EQ(SetCommBaud(9600), 0) << "no port open";
    Open();
    struct Step {
        std::uint32_t baud;
        std::int32_t result;
        speed_t speed;  // the line afterwards
    };
    const Step steps[] = {
        {kBaud, 1, B19200},    // already there
        {115200, 1, B115200},  // changed
        {12345, 0, B115200},   // not a rate the line knows: nothing changes
        {0, 0, B115200},      {9600, 1, B9600},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(SetCommBaud(step.baud), step.result) << step.baud;
        const auto line = LineOf(sim_->devicePath());
        ASSERT_TRUE(line);
        EXPECT_EQ(cfgetospeed(&*line), step.speed) << step.baud;
        EXPECT_EQ(cfgetispeed(&*line), step.speed) << step.baud;
    }
    EXPECT_EQ(Communicate(kCheck).Answer(), kCheckAnswer) << "the line still works";
}

}  // namespace
