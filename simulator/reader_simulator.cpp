#include "reader_simulator.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "frame_codec.h"
#include "sim_platform.h"

namespace readersim {

namespace {

using Clock = std::chrono::steady_clock;

// 8 data bits, a start bit and a stop bit.
Clock::duration ByteTime(unsigned baud) {
    if (baud == 0) {
        return Clock::duration::zero();
    }
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10000000000LL) /
                                                       baud);
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    if (!out.empty()) {
        out.pop_back();
    }
    return out;
}

// A pty drops unread input when the master closes; the bytes sent before a hang-up should still
// reach the program, as they would on a real line. The settle time lets the kernel hand written
// bytes on to the terminal's input queue, where they become visible as pending.
constexpr auto kHangUpSettle = std::chrono::milliseconds(10);
constexpr auto kHangUpGrace = std::chrono::milliseconds(200);
constexpr auto kHangUpPoll = std::chrono::milliseconds(1);

}  // namespace

struct ReaderSimulator::Impl {
    enum class Kind { Answer, Other, HangUp };
    struct OutItem {
        Clock::time_point due;
        std::uint8_t byte = 0;
        Kind kind = Kind::Other;
        bool lastOfAnswer = false;
        Clock::time_point latest{};  // a hang-up waits for the other side to read, up to this
    };

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    platform::Pty pty;
    platform::Waker waker;
    std::thread thread;

    Options options;
    FrameParser parser;
    std::optional<TagMemory> current;
    std::deque<TagMemory> queue;
    std::vector<TagMemory> written;
    std::optional<Clock::time_point> liftAt;
    std::optional<Clock::time_point> swapAt;
    std::uint32_t nextBlankSerial = 1;
    std::vector<Request> requests;
    int beeps = 0;
    std::optional<Clock::time_point> lastAnswerByte;
    std::deque<OutItem> out;
    bool outputBlocked = false;
    std::vector<std::uint8_t> answerSent;  // bytes of the answer on its way, for the trace
    Trace trace;
    bool stop = false;
    bool hangUpRequested = false;
    bool hungUp = false;

    void Run();
    void HandleInput(const std::uint8_t* bytes, std::size_t count, Clock::time_point now,
                     std::vector<std::string>& traceLines);
    std::vector<std::uint8_t> Execute(const ParsedFrame& frame, Clock::time_point now);
    void Schedule(std::vector<std::uint8_t> wire, Clock::time_point receivedAt);
    void SendDue(Clock::time_point now, std::vector<std::string>& traceLines);
    void DoHangUp() {
        platform::ClosePty(pty);
        hungUp = true;
        out.clear();
        changed.notify_all();
    }
};

ReaderSimulator::ReaderSimulator(Options options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    if (platform::OpenPty(impl_->pty) != 0) {
        throw std::system_error(errno, std::generic_category(), "pseudo-terminal");
    }
    if (platform::OpenWaker(impl_->waker) != 0) {
        const int err = errno;
        platform::ClosePty(impl_->pty);
        throw std::system_error(err, std::generic_category(), "wake-up pipe");
    }
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
}

ReaderSimulator::~ReaderSimulator() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stop = true;
    }
    platform::Wake(impl_->waker);
    impl_->thread.join();
    platform::ClosePty(impl_->pty);
    platform::CloseWaker(impl_->waker);
}

void ReaderSimulator::Impl::Run() {
    std::array<std::uint8_t, 512> buffer;
    std::vector<std::string> traceLines;
    for (;;) {
        std::optional<Clock::time_point> deadline;
        bool wantWrite = false;
        {
            std::lock_guard lock(mutex);
            if (stop) {
                return;
            }
            if (hangUpRequested && !hungUp) {
                DoHangUp();
            }
            if (!out.empty() && !outputBlocked) {
                deadline = out.front().due;
            }
            for (const std::optional<Clock::time_point>& move : {liftAt, swapAt}) {
                if (move && (!deadline || *move < *deadline)) {
                    deadline = move;
                }
            }
            wantWrite = outputBlocked;
        }
        unsigned events = 0;
        if (platform::Wait(pty, waker, wantWrite, deadline, events) != 0) {
            std::lock_guard lock(mutex);
            DoHangUp();
            continue;
        }
        long got = 0;
        if (events & platform::kReadable) {
            got = platform::ReadLine(pty, buffer.data(), buffer.size());
        }
        Trace traceFn;
        {
            std::lock_guard lock(mutex);
            const Clock::time_point now = Clock::now();
            // Tags move before the input is answered: a request after the moment sees the move.
            if (liftAt && now >= *liftAt) {
                liftAt.reset();
                current.reset();
            }
            if (swapAt && now >= *swapAt) {
                swapAt.reset();
                if (!queue.empty()) {
                    current = queue.front();
                    queue.pop_front();
                }
            }
            if (got < 0) {
                DoHangUp();
            } else if (got > 0) {
                HandleInput(buffer.data(), static_cast<std::size_t>(got), now, traceLines);
            }
            if (events & platform::kWritable) {
                outputBlocked = false;
            }
            if (!hungUp) {
                SendDue(now, traceLines);
            }
            traceFn = trace;
        }
        if (traceFn) {
            for (const std::string& line : traceLines) {
                traceFn(Clock::now(), line);
            }
        }
        traceLines.clear();
    }
}

void ReaderSimulator::Impl::HandleInput(const std::uint8_t* bytes, std::size_t count,
                                        Clock::time_point now,
                                        std::vector<std::string>& traceLines) {
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<ParsedFrame> frame = parser.Feed(bytes[i]);
        if (!frame) {
            continue;
        }
        requests.push_back({now, frame->address, frame->command, frame->data, frame->checksumOk});
        changed.notify_all();
        char head[96];
        std::snprintf(head, sizeof head,
                      "request  address %04X command %04X%s data: ", frame->address, frame->command,
                      frame->checksumOk ? "" : " BAD CHECKSUM");
        traceLines.push_back(head + Hex(frame->data));
        if (!frame->checksumOk || options.fault == Fault::Silent) {
            continue;
        }
        const std::vector<std::uint8_t> data = options.fault == Fault::Status
                                                   ? std::vector<std::uint8_t>{options.faultStatus}
                                                   : Execute(*frame, now);
        Schedule(BuildFrame(0, frame->command, data), now);
    }
}

std::vector<std::uint8_t> ReaderSimulator::Impl::Execute(const ParsedFrame& frame,
                                                         Clock::time_point now) {
    switch (frame.command) {
        case kCmdCheck:
            return {kStatusOk};
        case kCmdReadTag: {
            if (!current) {
                return {kStatusNoTag};
            }
            std::vector<std::uint8_t> answer{kStatusOk};
            answer.insert(answer.end(), current->begin(), current->end());
            return answer;
        }
        case kCmdWriteTag:
            if (!current) {
                return {kStatusNoTag};
            }
            if (frame.data.size() != 9 && frame.data.size() != 12) {
                return {kStatusBadLength};
            }
            if (options.fault != Fault::LostWrite) {
                std::copy(frame.data.begin(), frame.data.end(), current->begin());
                written.push_back(*current);
            }
            if (!queue.empty()) {
                swapAt = now + options.tagSwapDelay;
                if (options.tagLiftDelay <= std::chrono::milliseconds::zero()) {
                    current.reset();
                } else if (options.tagLiftDelay < options.tagSwapDelay) {
                    liftAt = now + options.tagLiftDelay;
                }
            }
            return {kStatusOk};
        case kCmdSignal:
            ++beeps;
            return {kStatusOk};
        default:
            return {kStatusUnknownCommand};
    }
}

void ReaderSimulator::Impl::Schedule(std::vector<std::uint8_t> wire, Clock::time_point receivedAt) {
    const Clock::duration byteTime = ByteTime(options.baud);
    Clock::time_point start = receivedAt + options.processing;
    if (!out.empty()) {
        start = std::max(start, out.back().due + byteTime);
    }
    switch (options.fault) {
        case Fault::Overlong:
            for (std::size_t i = wire.size(); i < options.overlongLength; ++i) {
                wire.push_back(static_cast<std::uint8_t>(i));
            }
            break;
        case Fault::ShortAnswer:
            wire = {0xAA};
            break;
        default:
            break;
    }
    std::size_t sendCount = wire.size();
    if (options.fault == Fault::HangUp) {
        sendCount = std::min(sendCount, options.hangUpAfterBytes);
    }
    const std::size_t half = std::max<std::size_t>(1, wire.size() / 2);
    Clock::time_point due = start;
    for (std::size_t i = 0; i < sendCount; ++i) {
        due = start + static_cast<int>(i) * byteTime;
        if (options.fault == Fault::TwoBursts && i >= half) {
            due += options.burstGap;
        }
        out.push_back({due, wire[i], Kind::Answer, i + 1 == sendCount});
    }
    if (options.fault == Fault::HangUp) {
        const Clock::time_point at = start + static_cast<int>(sendCount) * byteTime + kHangUpSettle;
        out.push_back({at, 0, Kind::HangUp, false, at + kHangUpGrace});
    }
    if (options.fault == Fault::StaleBytes) {
        const Clock::time_point staleStart = due + byteTime + options.staleDelay;
        for (std::size_t i = 0; i < options.staleBytes.size(); ++i) {
            out.push_back(
                {staleStart + static_cast<int>(i) * byteTime, options.staleBytes[i], Kind::Other});
        }
    }
}

void ReaderSimulator::Impl::SendDue(Clock::time_point now, std::vector<std::string>& traceLines) {
    if (outputBlocked) {
        return;
    }
    std::vector<std::uint8_t> batch;
    bool hangUpAfter = false;
    for (OutItem& item : out) {
        if (item.due > now) {
            break;
        }
        if (item.kind == Kind::HangUp) {
            if (batch.empty() && platform::PendingInput(pty) > 0 && now < item.latest) {
                item.due = now + kHangUpPoll;
            } else {
                // Bytes ahead of it go out first; it comes round again at once.
                hangUpAfter = batch.empty();
            }
            break;
        }
        batch.push_back(item.byte);
    }
    if (!batch.empty()) {
        const long n = platform::WriteLine(pty, batch.data(), batch.size());
        if (n < 0) {
            DoHangUp();
            return;
        }
        const Clock::time_point sentAt = Clock::now();
        const auto sent = static_cast<std::size_t>(n);
        for (std::size_t i = 0; i < sent; ++i) {
            const OutItem item = out.front();
            out.pop_front();
            if (item.kind != Kind::Answer) {
                continue;
            }
            lastAnswerByte = sentAt;
            answerSent.push_back(item.byte);
            if (item.lastOfAnswer) {
                traceLines.push_back("answer   " + Hex(answerSent));
                answerSent.clear();
            }
        }
        if (sent < batch.size()) {
            outputBlocked = true;
            return;
        }
    }
    if (hangUpAfter) {
        traceLines.push_back("hang-up after " + Hex(answerSent));
        answerSent.clear();
        DoHangUp();
    }
}

const std::string& ReaderSimulator::devicePath() const {
    return impl_->pty.path;
}

void ReaderSimulator::placeTag(const TagMemory& tag) {
    std::lock_guard lock(impl_->mutex);
    impl_->current = tag;
    impl_->liftAt.reset();
    impl_->swapAt.reset();
}

void ReaderSimulator::removeTag() {
    std::lock_guard lock(impl_->mutex);
    impl_->current.reset();
    impl_->liftAt.reset();
    impl_->swapAt.reset();
}

std::optional<TagMemory> ReaderSimulator::currentTag() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->current;
}

void ReaderSimulator::queueTags(const std::vector<TagMemory>& tags) {
    std::lock_guard lock(impl_->mutex);
    impl_->queue.insert(impl_->queue.end(), tags.begin(), tags.end());
}

void ReaderSimulator::queueBlankTags(std::size_t count) {
    std::lock_guard lock(impl_->mutex);
    for (std::size_t i = 0; i < count; ++i) {
        impl_->queue.push_back(BlankTag(impl_->nextBlankSerial++));
    }
}

void ReaderSimulator::placeBlankTag() {
    std::lock_guard lock(impl_->mutex);
    impl_->current = BlankTag(impl_->nextBlankSerial++);
    impl_->liftAt.reset();
    impl_->swapAt.reset();
}

std::vector<TagMemory> ReaderSimulator::writtenTags() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->written;
}

void ReaderSimulator::setFault(Fault fault) {
    std::lock_guard lock(impl_->mutex);
    impl_->options.fault = fault;
}

void ReaderSimulator::setOptions(const Options& options) {
    std::lock_guard lock(impl_->mutex);
    impl_->options = options;
}

Options ReaderSimulator::options() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->options;
}

void ReaderSimulator::injectBytes(const std::vector<std::uint8_t>& bytes) {
    {
        std::lock_guard lock(impl_->mutex);
        const Clock::time_point now = Clock::now();
        for (std::uint8_t b : bytes) {
            impl_->out.push_back({now, b, Impl::Kind::Other});
        }
    }
    platform::Wake(impl_->waker);
}

void ReaderSimulator::hangUp() {
    std::unique_lock lock(impl_->mutex);
    impl_->hangUpRequested = true;
    platform::Wake(impl_->waker);
    impl_->changed.wait(lock, [this] { return impl_->hungUp; });
}

std::vector<Request> ReaderSimulator::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

void ReaderSimulator::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->requests.clear();
}

int ReaderSimulator::beepCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->beeps;
}

std::optional<std::chrono::steady_clock::time_point> ReaderSimulator::lastAnswerByteAt() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastAnswerByte;
}

bool ReaderSimulator::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->requests.size() >= count; });
}

std::optional<LineSettings> ReaderSimulator::lineSettings() const {
    std::lock_guard lock(impl_->mutex);
    LineSettings settings;
    if (impl_->hungUp || platform::ReadLineSettings(impl_->pty, settings) != 0) {
        return std::nullopt;
    }
    return settings;
}

void ReaderSimulator::setTrace(Trace trace) {
    std::lock_guard lock(impl_->mutex);
    impl_->trace = std::move(trace);
}

}  // namespace readersim
