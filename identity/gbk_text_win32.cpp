#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "gbk_text.h"
#include "utf8_sequence.h"

namespace {

constexpr UINT kGbkCodePage = 936;

// The code point of the well-formed sequence of `length` bytes at `text`, or -1: a cut-off
// sequence, an overlong form or a surrogate.
long DecodeSequence(const unsigned char* text, std::size_t length) {
    static constexpr long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    long point = text[0] & kLeadBits[length];
    for (std::size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) {
            return -1;
        }
        point = (point << 6) | (text[i] & 0x3F);
    }
    const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
    return point < kSmallest[length] || point > 0x10FFFF || surrogate ? -1 : point;
}

}  // namespace

std::string GbkFromUtf8(std::string_view utf8) {
    // Decoded here rather than by the system, so that a bad sequence and a character outside the
    // Basic Multilingual Plane (never in GBK) each become exactly one '?', as on Linux.
    std::wstring wide;
    const auto* text = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = std::min(Utf8SequenceLength(text[i]), utf8.size() - i);
        const long point = text[i] < 0x80 ? text[i]
                           : length == Utf8SequenceLength(text[i]) && length > 1
                               ? DecodeSequence(text + i, length)
                               : -1;
        wide.push_back(point < 0 || point > 0xFFFF ? L'?' : static_cast<wchar_t>(point));
        std::size_t skipped = 1;
        while (point < 0 && skipped < length && (text[i + skipped] & 0xC0) == 0x80) {
            ++skipped;
        }
        i += point < 0 ? skipped : length;
    }
    if (wide.empty()) {
        return {};
    }
    // No best-fit look-alikes: a character that GBK lacks becomes '?'.
    const int size = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                         static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size <= 0 || WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                         static_cast<int>(wide.size()), out.data(), size, "?",
                                         nullptr) != size) {
        return std::string(wide.size(), '?');
    }
    return out;
}
