#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "gbk_text.h"
#include "utf8_sequence.h"

namespace {

// Without a converter only ASCII can be kept.
std::string AsciiOnly(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        out.push_back(lead < 0x80 ? utf8[i] : '?');
        i += lead < 0x80 ? 1 : std::min(Utf8SequenceLength(lead), utf8.size() - i);
    }
    return out;
}

}  // namespace

std::string GbkFromUtf8(std::string_view utf8) {
    const iconv_t converter = iconv_open("GBK", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return AsciiOnly(utf8);
    }
    // GBK never needs more bytes than UTF-8 for the same characters, and '?' replaces at least one.
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            break;
        }
        // An unencodable character or a malformed or cut-off sequence: one '?' in its place.
        const std::size_t length =
            std::min(Utf8SequenceLength(static_cast<unsigned char>(*in)), inLeft);
        std::size_t skipped = 1;
        while (skipped < length && (static_cast<unsigned char>(in[skipped]) & 0xC0) == 0x80) {
            ++skipped;
        }
        *next++ = '?';
        --outLeft;
        in += skipped;
        inLeft -= skipped;
    }
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}
