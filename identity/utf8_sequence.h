// UTF-8 sequence lengths, for the GBK conversions that replace a bad sequence as a whole.
#ifndef PELORIN_UTF8_SEQUENCE_H
#define PELORIN_UTF8_SEQUENCE_H

#include <cstddef>

// Bytes of the UTF-8 sequence that starts with `lead`; 1 for a byte that cannot start one.
inline std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    return lead >= 0xC2 ? 2 : 1;
}

#endif
