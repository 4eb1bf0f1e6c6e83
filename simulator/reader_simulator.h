// A stand-in for the desktop reader/writer: the far end of a pseudo-terminal that parses request
// frames and answers them the way the hardware does, with a field of virtual tags and fault modes.
#ifndef PELORIN_READER_SIMULATOR_H
#define PELORIN_READER_SIMULATOR_H

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace readersim {

// Command codes the reader understands.
inline constexpr std::uint16_t kCmdCheck = 0x0101;
inline constexpr std::uint16_t kCmdReadTag = 0x0103;
inline constexpr std::uint16_t kCmdWriteTag = 0x0203;
inline constexpr std::uint16_t kCmdSignal = 0x0601;

// Status bytes of the answers.
inline constexpr std::uint8_t kStatusOk = 0x00;
inline constexpr std::uint8_t kStatusNoTag = 0x01;      // read or write with nothing on the reader
inline constexpr std::uint8_t kStatusBadLength = 0x02;  // write data neither 9 nor 12 bytes
inline constexpr std::uint8_t kStatusUnknownCommand = 0x03;

// What a tag stores: the record area a read returns after its status byte (15 bytes: national
// number 40 bits big-endian, country 16 bits big-endian, record kind, animal flag, 6 more bytes).
using TagMemory = std::array<std::uint8_t, 15>;

// One request as the reader received it, after un-stuffing.
struct Request {
    std::chrono::steady_clock::time_point receivedAt;  // when its last byte arrived
    std::uint16_t address = 0;
    std::uint16_t command = 0;
    std::vector<std::uint8_t> data;
    bool checksumOk = true;  // a request with a wrong checksum is logged but never answered
};

// The line settings the program left on the terminal.
struct LineSettings {
    unsigned baud = 0;  // 0 when the speed is not one of the standard rates
    unsigned dataBits = 8;
    bool parity = false;
    bool twoStopBits = false;
    bool hardwareFlowControl = false;
    bool softwareFlowControl = false;  // IXON or IXOFF
    bool canonical = false;
    bool echo = false;
    bool operator==(const LineSettings&) const = default;
};

enum class Fault {
    None,
    Silent,       // never answers
    Status,       // answers every command with Options::faultStatus
    TwoBursts,    // answer split in two halves, Options::burstGap apart
    StaleBytes,   // Options::staleBytes sent right after the answer, Options::staleDelay later
    Overlong,     // the answer, then filler (wire position i carries i mod 256) up to
                  // Options::overlongLength bytes in all
    ShortAnswer,  // one byte only (0xAA)
    HangUp,       // closes the line after Options::hangUpAfterBytes bytes of the next answer,
                  // once the other side has read them (10 ms to 200 ms after the last one)
    LostWrite,    // a write is answered with status 0 but the tag keeps its old memory
};
// Under Silent and Status a command has no effect on the tag field or the beep count; under
// LostWrite a write changes no tag and joins no written tags, yet the tag is taken off and the
// next one laid on as after a good write; under the other faults a command takes effect and only
// the delivery of its answer is disturbed.

struct Options {
    unsigned baud = 19200;                        // pacing of answer bytes
    std::chrono::microseconds processing{2000};   // reader's time before its first byte
    std::chrono::milliseconds tagSwapDelay{300};  // queued tag appears this long after a write
    // The written tag stays on the reader this long before it is taken off (0: at once); a delay
    // not shorter than tagSwapDelay leaves it there until the next tag replaces it.
    std::chrono::milliseconds tagLiftDelay{0};
    Fault fault = Fault::None;
    std::uint8_t faultStatus = 0x05;
    std::chrono::milliseconds burstGap{30};
    std::vector<std::uint8_t> staleBytes{0xAA, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00};
    std::chrono::milliseconds staleDelay{40};
    std::size_t overlongLength = 1500;
    std::size_t hangUpAfterBytes = 3;
};

class ReaderSimulator {
public:
    // Opens a pseudo-terminal in raw mode and starts answering on it from a thread of its own.
    explicit ReaderSimulator(Options options = {});
    ~ReaderSimulator();
    ReaderSimulator(const ReaderSimulator&) = delete;
    ReaderSimulator& operator=(const ReaderSimulator&) = delete;

    // The terminal device a port library opens, e.g. /dev/pts/4.
    const std::string& devicePath() const;

    // The tag field.
    void placeTag(const TagMemory& tag);  // this tag now lies on the reader
    void removeTag();                     // nothing on the reader
    std::optional<TagMemory> currentTag() const;
    // Tags laid on the reader one after another: each successful write takes the written tag
    // away (tagLiftDelay later) and, tagSwapDelay later, places the next one from this queue.
    void queueTags(const std::vector<TagMemory>& tags);
    void queueBlankTags(std::size_t count);  // blank tags have distinct non-zero serial bytes
    void placeBlankTag();                    // a new blank tag now lies on the reader
    // Every tag successfully written, as it was after the write, in order. A write stores its 9
    // or 12 data bytes at the start of the tag's memory and leaves the rest as it was. The written
    // tag is taken off only when a queued tag is waiting to replace it.
    std::vector<TagMemory> writtenTags() const;

    // Fault modes and timing may be changed between exchanges.
    void setFault(Fault fault);
    void setOptions(const Options& options);
    Options options() const;

    // Writes raw bytes to the line now, outside any exchange.
    void injectBytes(const std::vector<std::uint8_t>& bytes);
    // Closes the line: the port library sees a hang-up.
    void hangUp();

    // Observations.
    std::vector<Request> requests() const;
    void clearRequests();
    int beepCount() const;
    // Time the last byte of the latest answer was written to the line (both bursts count as the
    // answer; stale and injected bytes do not).
    std::optional<std::chrono::steady_clock::time_point> lastAnswerByteAt() const;
    // Waits until `count` requests have arrived in all; false on time-out.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // What the other side set on the terminal; empty after a hang-up.
    std::optional<LineSettings> lineSettings() const;

    // Called from the simulator's thread with one line per request received and per answer
    // finished; must not call back into the simulator.
    using Trace = std::function<void(std::chrono::steady_clock::time_point, const std::string&)>;
    void setTrace(Trace trace);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Frame helpers shared with the command-line program and tests.
// Header, length byte, 0x00, address, command, data and checksum, with a 0x00 after every 0xAA
// past the header. At most 250 data bytes.
std::vector<std::uint8_t> BuildFrame(std::uint16_t address, std::uint16_t command,
                                     const std::vector<std::uint8_t>& data);
// The blank tag with the given serial: national number 100000000000 + serial, country 999.
TagMemory BlankTag(std::uint32_t serial);

}  // namespace readersim

#endif
