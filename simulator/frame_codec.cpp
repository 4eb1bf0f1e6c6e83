#include "frame_codec.h"

#include "reader_simulator.h"

namespace readersim {

namespace {
constexpr std::uint8_t kHead1 = 0xAA;
constexpr std::uint8_t kHead2 = 0xBB;
constexpr std::uint8_t kMinLength = 5;
constexpr std::size_t kMaxData = 250;
}  // namespace

std::vector<std::uint8_t> BuildFrame(std::uint16_t address, std::uint16_t command,
                                     const std::vector<std::uint8_t>& data) {
    const std::size_t n = data.size() < kMaxData ? data.size() : kMaxData;
    std::vector<std::uint8_t> out{kHead1, kHead2};
    out.reserve(15 + 2 * n);
    auto put = [&out](std::uint8_t b) {
        out.push_back(b);
        if (b == kHead1) {
            out.push_back(0x00);
        }
    };
    const std::uint8_t addrLo = address & 0xFF;
    const std::uint8_t addrHi = address >> 8;
    const std::uint8_t cmdHi = command >> 8;
    const std::uint8_t cmdLo = command & 0xFF;
    put(static_cast<std::uint8_t>(n + kMinLength));
    out.push_back(0x00);
    std::uint8_t sum = addrLo ^ addrHi ^ cmdHi ^ cmdLo;
    put(addrLo);
    put(addrHi);
    put(cmdHi);
    put(cmdLo);
    for (std::size_t i = 0; i < n; ++i) {
        put(data[i]);
        sum ^= data[i];
    }
    put(sum);
    return out;
}

TagMemory BlankTag(std::uint32_t serial) {
    const std::uint64_t national = 100000000000ULL + serial;
    constexpr std::uint16_t kCountry = 999;
    TagMemory tag{};
    for (int i = 0; i < 5; ++i) {
        tag[i] = static_cast<std::uint8_t>(national >> (8 * (4 - i)));
    }
    tag[5] = kCountry >> 8;
    tag[6] = kCountry & 0xFF;
    return tag;
}

void FrameParser::Restart() {
    state_ = State::Body;
    afterAA_ = false;
    body_.clear();
}

std::optional<ParsedFrame> FrameParser::Feed(std::uint8_t byte) {
    switch (state_) {
        case State::Hunt:
            if (byte == kHead1) {
                state_ = State::GotAA;
            }
            return std::nullopt;
        case State::GotAA:
            if (byte == kHead2) {
                Restart();
            } else if (byte != kHead1) {
                state_ = State::Hunt;
            }
            return std::nullopt;
        case State::Body:
            break;
    }

    if (afterAA_) {
        afterAA_ = false;
        if (byte == 0x00) {
            return std::nullopt;  // stuffing
        }
        if (byte == kHead2) {
            Restart();
        } else {
            state_ = byte == kHead1 ? State::GotAA : State::Hunt;
        }
        return std::nullopt;
    }

    body_.push_back(byte);
    const bool badLength = body_.size() == 1 && byte < kMinLength;
    const bool badZero = body_.size() == 2 && byte != 0x00;
    if (badLength || badZero) {
        state_ = byte == kHead1 ? State::GotAA : State::Hunt;
        return std::nullopt;
    }
    const std::size_t length = body_[0];
    // Length byte, 0x00, address (2), command (2), data (length - 5), checksum.
    if (body_.size() < length + 2) {
        afterAA_ = byte == kHead1;
        return std::nullopt;
    }

    ParsedFrame frame;
    frame.address = static_cast<std::uint16_t>(body_[2] | (body_[3] << 8));
    frame.command = static_cast<std::uint16_t>((body_[4] << 8) | body_[5]);
    frame.data.assign(body_.begin() + 6, body_.begin() + 6 + (length - kMinLength));
    std::uint8_t sum = body_[2] ^ body_[3] ^ body_[4] ^ body_[5];
    for (std::uint8_t b : frame.data) {
        sum ^= b;
    }
    frame.checksumOk = sum == body_.back();
    state_ = State::Hunt;
    body_.clear();
    return frame;
}

}  // namespace readersim
