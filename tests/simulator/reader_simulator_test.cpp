#include "reader_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace readersim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Received {
    Bytes bytes;
    std::vector<Clock::time_point> times;  // arrival of each read() chunk's last byte
    bool hungUp = false;
};

// The program's side of the line, in plain POSIX calls.
class Line {
public:
    explicit Line(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Line() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool ok() const { return fd_ >= 0; }

    void Send(const Bytes& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Collects bytes until `silence` passes without one, or `firstWait` passes before the first.
    Received Collect(std::chrono::milliseconds silence = 60ms,
                     std::chrono::milliseconds firstWait = 1000ms) {
        Received got;
        for (;;) {
            pollfd pfd{fd_, POLLIN, 0};
            const auto wait = got.bytes.empty() ? firstWait : silence;
            if (poll(&pfd, 1, static_cast<int>(wait.count())) <= 0) {
                return got;
            }
            std::uint8_t buf[2048];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) {
                got.hungUp = true;
                return got;
            }
            got.bytes.insert(got.bytes.end(), buf, buf + n);
            got.times.insert(got.times.end(), n, Clock::now());
        }
    }

    Bytes Exchange(std::uint16_t command, const Bytes& data = {}) {
        Send(BuildFrame(0, command, data));
        return Collect().bytes;
    }

private:
    int fd_;
};

Bytes Answer(std::uint16_t command, const Bytes& data) {
    return BuildFrame(0, command, data);
}

Bytes WithStatus(std::uint8_t status, const TagMemory& tag) {
    Bytes data(1 + tag.size());
    data[0] = status;
    std::copy(tag.begin(), tag.end(), data.begin() + 1);
    return data;
}

Options Fast() {
    Options options;
    options.baud = 115200;
    options.processing = 500us;
    options.tagSwapDelay = 100ms;
    return options;
}

class SimulatorTest : public ::testing::Test {
protected:
    ReaderSimulator sim{Fast()};
    Line line{sim.devicePath()};
    const TagMemory tag{0x01, 0xAA, 0x02, 0x03, 0x04, 0x02, 0x10, 0x00, 0x01, 0xAA};
};

TEST_F(SimulatorTest, AnswersEveryCommand) {
    ASSERT_TRUE(line.ok());
    const Bytes record9{0x00, 0x00, 0x00, 0x30, 0x39, 0x02, 0x10, 0x00, 0x01};
    TagMemory afterWrite = tag;
    std::copy(record9.begin(), record9.end(), afterWrite.begin());
    struct Case {
        const char* name;
        bool tagOnReader;
        std::uint16_t command;
        Bytes data;
        Bytes answerData;
    };
    const Case cases[] = {
        {"check", false, kCmdCheck, {}, {kStatusOk}},
        {"read", true, kCmdReadTag, {}, WithStatus(kStatusOk, tag)},
        {"read without tag", false, kCmdReadTag, {}, {kStatusNoTag}},
        {"write", true, kCmdWriteTag, record9, {kStatusOk}},
        {"read after write", true, kCmdReadTag, {}, WithStatus(kStatusOk, afterWrite)},
        {"write without tag", false, kCmdWriteTag, record9, {kStatusNoTag}},
        {"write of 5 bytes", true, kCmdWriteTag, Bytes(5, 0x11), {kStatusBadLength}},
        {"signal", false, kCmdSignal, {}, {kStatusOk}},
        {"unknown", false, 0x0999, {}, {kStatusUnknownCommand}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.tagOnReader) {
            sim.removeTag();
        } else if (!sim.currentTag()) {
            sim.placeTag(tag);
        }
        EXPECT_EQ(line.Exchange(c.command, c.data), Answer(c.command, c.answerData));
    }
    EXPECT_EQ(sim.beepCount(), 1);
    EXPECT_EQ(sim.writtenTags(), std::vector<TagMemory>{afterWrite});
    const std::vector<Request> requests = sim.requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    EXPECT_EQ(requests[3].command, kCmdWriteTag);
    EXPECT_EQ(requests[3].data, record9);
}

TEST_F(SimulatorTest, StuffsAnswersAndReadsStuffedRequests) {
    sim.placeTag(tag);
    const Bytes answer = line.Exchange(kCmdReadTag);
    // Status, then tag bytes 0xAA at record positions 1 and 9: each followed by 0x00.
    const Bytes expected{0xAA, 0xBB, 0x15, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00,
                         0x01, 0xAA, 0x00, 0x02, 0x03, 0x04, 0x02, 0x10, 0x00,
                         0x01, 0xAA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x15};
    EXPECT_EQ(answer, expected);

    const Bytes record12{0xAA, 0xAA, 0, 0, 0, 0, 0, 0x01, 0, 0xAA, 0xBB, 0xCC};
    ASSERT_EQ(line.Exchange(kCmdWriteTag, record12), Answer(kCmdWriteTag, {kStatusOk}));
    ASSERT_EQ(sim.requests().back().data, record12);
    EXPECT_TRUE(sim.requests().back().checksumOk);
}

// Bytes that a terminal would act on (XON, XOFF, CR, LF, interrupt, suspend, quit, end of file,
// erase) travel unchanged both ways: to the reader in a write, and back in the answer to a read.
TEST_F(SimulatorTest, ControlBytesPassUnchanged) {
    sim.placeTag(tag);
    const Bytes record{0x11, 0x13, 0x0D, 0x0A, 0x03, 0x1A, 0x1C, 0x04, 0x7F, 0x15, 0x00, 0xFF};
    ASSERT_EQ(line.Exchange(kCmdWriteTag, record), Answer(kCmdWriteTag, {kStatusOk}));
    EXPECT_EQ(sim.requests().back().data, record);
    TagMemory written = tag;
    std::copy(record.begin(), record.end(), written.begin());
    EXPECT_EQ(line.Exchange(kCmdReadTag), Answer(kCmdReadTag, WithStatus(kStatusOk, written)));
}

TEST_F(SimulatorTest, IgnoresGarbageAndBadChecksum) {
    Bytes bad = BuildFrame(0, kCmdSignal, {});
    bad.back() ^= 0xFF;
    line.Send(bad);
    EXPECT_TRUE(line.Collect(60ms, 200ms).bytes.empty());
    ASSERT_EQ(sim.requests().size(), 1u);
    EXPECT_FALSE(sim.requests()[0].checksumOk);
    EXPECT_EQ(sim.beepCount(), 0);

    line.Send({0x13, 0xAA, 0xBB, 0x09, 0x00});
    EXPECT_EQ(line.Exchange(kCmdCheck), Answer(kCmdCheck, {kStatusOk}));
}

TEST_F(SimulatorTest, SwapsTagsAfterEachWrite) {
    sim.placeBlankTag();
    sim.queueBlankTags(2);
    const TagMemory first = *sim.currentTag();
    const Bytes record{0, 0, 0, 0, 1, 0x02, 0x10, 0, 1};
    ASSERT_EQ(line.Exchange(kCmdWriteTag, record), Answer(kCmdWriteTag, {kStatusOk}));
    EXPECT_EQ(sim.currentTag(), std::nullopt);
    EXPECT_EQ(line.Exchange(kCmdReadTag), Answer(kCmdReadTag, {kStatusNoTag}));

    std::this_thread::sleep_for(sim.options().tagSwapDelay + 50ms);
    const std::optional<TagMemory> second = sim.currentTag();
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*second, first);
    EXPECT_EQ(line.Exchange(kCmdReadTag), Answer(kCmdReadTag, WithStatus(kStatusOk, *second)));

    ASSERT_EQ(line.Exchange(kCmdWriteTag, record), Answer(kCmdWriteTag, {kStatusOk}));
    std::this_thread::sleep_for(sim.options().tagSwapDelay + 50ms);
    const std::optional<TagMemory> third = sim.currentTag();
    ASSERT_TRUE(third.has_value());
    EXPECT_NE(*third, *second);

    // Queue empty: the written tag stays on the reader.
    ASSERT_EQ(line.Exchange(kCmdWriteTag, record), Answer(kCmdWriteTag, {kStatusOk}));
    ASSERT_TRUE(sim.currentTag().has_value());
    EXPECT_EQ(sim.writtenTags().size(), 3u);
    EXPECT_EQ(sim.writtenTags()[0][4], 1);
}

// The tag on the reader after a write of `record`.
TagMemory Written(TagMemory tag, const Bytes& record) {
    std::copy(record.begin(), record.end(), tag.begin());
    return tag;
}

TEST_F(SimulatorTest, LostWriteIsAnsweredButNotKept) {
    const Bytes record{0, 0, 0, 0x30, 0x39, 0x02, 0x10, 0, 1};
    const Bytes ok = Answer(kCmdWriteTag, {kStatusOk});
    sim.placeTag(tag);
    sim.setFault(Fault::LostWrite);
    EXPECT_EQ(line.Exchange(kCmdWriteTag, record), ok);
    EXPECT_EQ(line.Exchange(kCmdReadTag), Answer(kCmdReadTag, WithStatus(kStatusOk, tag)));
    EXPECT_TRUE(sim.writtenTags().empty());
    // The reader's other answers stay as they were.
    EXPECT_EQ(line.Exchange(kCmdWriteTag, Bytes(5, 0x11)),
              Answer(kCmdWriteTag, {kStatusBadLength}));
    EXPECT_EQ(line.Exchange(kCmdSignal), Answer(kCmdSignal, {kStatusOk}));
    EXPECT_EQ(sim.beepCount(), 1);
    sim.removeTag();
    EXPECT_EQ(line.Exchange(kCmdWriteTag, record), Answer(kCmdWriteTag, {kStatusNoTag}));

    // With more tags waiting, the hand still takes the tag away and lays on the next one.
    sim.placeBlankTag();
    sim.queueBlankTags(1);
    const TagMemory first = *sim.currentTag();
    EXPECT_EQ(line.Exchange(kCmdWriteTag, record), ok);
    EXPECT_EQ(sim.currentTag(), std::nullopt);
    std::this_thread::sleep_for(sim.options().tagSwapDelay + 50ms);
    const std::optional<TagMemory> next = sim.currentTag();
    ASSERT_TRUE(next.has_value());
    EXPECT_NE(*next, first);
    EXPECT_NE(*next, Written(*next, record));  // a blank tag, not the record

    sim.setFault(Fault::None);
    EXPECT_EQ(line.Exchange(kCmdWriteTag, record), ok);
    EXPECT_EQ(sim.writtenTags(), std::vector<TagMemory>{Written(*next, record)});
}

// A hand that waits for the beep: the written tag can be read back before it goes.
TEST(SimulatorTags, WrittenTagStaysUntilLifted) {
    const Bytes record{0, 0, 0, 0x30, 0x39, 0x02, 0x10, 0, 1};
    struct Case {
        std::chrono::milliseconds lift;
        std::chrono::milliseconds swap;
    };
    for (const Case c : {Case{300ms, 800ms}, Case{800ms, 500ms}}) {
        SCOPED_TRACE(c.lift.count());
        Options options = Fast();
        options.tagLiftDelay = c.lift;
        options.tagSwapDelay = c.swap;
        ReaderSimulator sim(options);
        Line line(sim.devicePath());
        sim.placeBlankTag();
        sim.queueBlankTags(1);
        const TagMemory written = Written(*sim.currentTag(), record);

        const Clock::time_point start = Clock::now();
        ASSERT_EQ(line.Exchange(kCmdWriteTag, record), Answer(kCmdWriteTag, {kStatusOk}));
        EXPECT_EQ(line.Exchange(kCmdReadTag), Answer(kCmdReadTag, WithStatus(kStatusOk, written)));
        if (c.lift < c.swap) {
            std::this_thread::sleep_until(start + c.lift + 200ms);
            EXPECT_EQ(sim.currentTag(), std::nullopt);
        } else {
            std::this_thread::sleep_until(start + c.swap - 200ms);
            EXPECT_EQ(sim.currentTag(), written);
        }
        std::this_thread::sleep_until(start + c.swap + 200ms);
        EXPECT_EQ(sim.currentTag(), BlankTag(2));
        std::this_thread::sleep_until(start + c.lift + 200ms);
        EXPECT_EQ(sim.currentTag(), BlankTag(2));
    }
}

TEST(SimulatorPacing, PacesAnswerAtBaudRate) {
    Options options;  // 19200 baud: about 0.52 ms per byte
    options.processing = 5ms;
    ReaderSimulator sim(options);
    sim.placeTag(BlankTag(1));
    Line line(sim.devicePath());
    line.Send(BuildFrame(0, kCmdReadTag, {}));
    ASSERT_TRUE(sim.waitForRequests(1, 1s));
    const Clock::time_point received = sim.requests()[0].receivedAt;
    const Received got = line.Collect();
    ASSERT_EQ(got.bytes.size(), BuildFrame(0, kCmdReadTag, WithStatus(0, BlankTag(1))).size());
    EXPECT_GE(got.times.front() - received, 4ms);
    EXPECT_LT(got.times.back() - got.times.front(), 200ms);
    // The pacing is measured where the bytes leave: a busy machine can hold this reader back
    // until the whole answer waits in one read, but cannot make the simulator send early. The
    // processing time plus 24 or more byte times: about 17 ms.
    const auto last = sim.lastAnswerByteAt();
    ASSERT_TRUE(last.has_value());
    EXPECT_GE(*last - received, 15ms);
    EXPECT_LE(*last, got.times.back());
    EXPECT_GE(*last, got.times.front());
}

TEST_F(SimulatorTest, FaultModes) {
    const Bytes check = Answer(kCmdCheck, {kStatusOk});

    sim.setFault(Fault::Silent);
    line.Send(BuildFrame(0, kCmdSignal, {}));
    EXPECT_TRUE(line.Collect(60ms, 300ms).bytes.empty());
    EXPECT_EQ(sim.beepCount(), 0);

    sim.setFault(Fault::Status);
    EXPECT_EQ(line.Exchange(kCmdCheck), Answer(kCmdCheck, {sim.options().faultStatus}));

    sim.setFault(Fault::ShortAnswer);
    EXPECT_EQ(line.Exchange(kCmdCheck), Bytes{0xAA});

    sim.setFault(Fault::Overlong);
    Bytes overlong = line.Exchange(kCmdCheck);
    ASSERT_EQ(overlong.size(), sim.options().overlongLength);
    EXPECT_TRUE(std::equal(check.begin(), check.end(), overlong.begin()));
    EXPECT_EQ(overlong[1234], static_cast<std::uint8_t>(1234));

    sim.setFault(Fault::TwoBursts);
    line.Send(BuildFrame(0, kCmdCheck, {}));
    Received bursts = line.Collect(100ms);
    ASSERT_EQ(bursts.bytes, check);
    Clock::duration widestGap{};
    for (std::size_t i = 1; i < bursts.times.size(); ++i) {
        widestGap = std::max(widestGap, bursts.times[i] - bursts.times[i - 1]);
    }
    EXPECT_GE(widestGap, 25ms);

    sim.setFault(Fault::StaleBytes);
    line.Send(BuildFrame(0, kCmdCheck, {}));
    Received first = line.Collect(20ms);
    EXPECT_EQ(first.bytes, check);
    EXPECT_EQ(line.Collect(60ms, 300ms).bytes, sim.options().staleBytes);
}

TEST_F(SimulatorTest, HangUpMidAnswer) {
    sim.setFault(Fault::HangUp);
    line.Send(BuildFrame(0, kCmdCheck, {}));
    const Received got = line.Collect();
    EXPECT_EQ(got.bytes, (Bytes{0xAA, 0xBB, 0x06}));
    EXPECT_TRUE(got.hungUp);
    EXPECT_EQ(sim.lineSettings(), std::nullopt);
}

TEST(SimulatorLine, SurvivesReopenUntilHangUp) {
    ReaderSimulator sim(Fast());
    EXPECT_TRUE(sim.lineSettings().has_value());
    for (int round = 0; round < 2; ++round) {
        Line line(sim.devicePath());
        ASSERT_TRUE(line.ok());
        EXPECT_EQ(line.Exchange(kCmdCheck), Answer(kCmdCheck, {kStatusOk}));
    }
    Line line(sim.devicePath());
    sim.hangUp();
    EXPECT_TRUE(line.Collect().hungUp);
    EXPECT_EQ(sim.lineSettings(), std::nullopt);
}

}  // namespace
}  // namespace readersim
