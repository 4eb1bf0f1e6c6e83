// Request parsing and answer building of the reader simulator; no platform calls.
#ifndef PELORIN_SIMULATOR_FRAME_CODEC_H
#define PELORIN_SIMULATOR_FRAME_CODEC_H

#include <cstdint>
#include <optional>
#include <vector>

namespace readersim {

struct ParsedFrame {
    std::uint16_t address = 0;
    std::uint16_t command = 0;
    std::vector<std::uint8_t> data;
    bool checksumOk = true;
};

// Takes the line byte by byte and yields each complete request. Garbage is skipped: a frame
// starts at 0xAA 0xBB, and 0xAA 0xBB inside a frame starts a new one.
class FrameParser {
public:
    std::optional<ParsedFrame> Feed(std::uint8_t byte);

private:
    enum class State { Hunt, GotAA, Body };
    void Restart();

    State state_ = State::Hunt;
    bool afterAA_ = false;
    std::vector<std::uint8_t> body_;  // un-stuffed bytes from the length byte on
};

}  // namespace readersim

#endif
