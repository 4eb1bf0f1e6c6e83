#include "identity_cipher.h"

#include <algorithm>
#include <cstddef>

const CipherKey kDefaultCipherKey = {3, 8, 1, 6, 0, 4, 9, 2, 7, 5, 1, 3, 8, 6, 2};
CipherKey g_abCipherKey = kDefaultCipherKey;

constexpr std::array<std::array<std::uint8_t, 10>, 10> g_abDigitSubst = {{
    {2, 4, 9, 0, 6, 1, 7, 5, 8, 3},
    {5, 1, 7, 2, 8, 6, 3, 9, 4, 0},
    {8, 3, 4, 6, 1, 2, 9, 7, 0, 5},
    {4, 5, 9, 7, 3, 0, 8, 1, 6, 2},
    {0, 3, 5, 6, 8, 4, 1, 9, 2, 7},
    {2, 0, 5, 1, 6, 7, 9, 3, 8, 4},
    {1, 6, 2, 7, 5, 3, 8, 0, 4, 9},
    {4, 2, 7, 3, 8, 9, 1, 5, 0, 6},
    {3, 7, 8, 4, 9, 0, 5, 2, 6, 1},
    {6, 4, 9, 5, 0, 1, 3, 7, 2, 8},
}};

constexpr std::array<std::array<std::uint8_t, kIdentityDigits>, 10> g_abDigitPerm = {{
    {9, 1, 10, 3, 4, 12, 6, 14, 0, 8, 2, 11, 13, 5, 7},
    {1, 4, 12, 3, 6, 14, 0, 8, 2, 11, 13, 5, 7, 9, 10},
    {10, 12, 14, 3, 0, 8, 2, 11, 13, 5, 7, 9, 1, 4, 6},
    {4, 6, 0, 3, 2, 11, 13, 5, 7, 9, 1, 10, 12, 14, 8},
    {12, 14, 8, 3, 11, 13, 5, 7, 9, 1, 10, 4, 6, 0, 2},
    {6, 0, 2, 3, 5, 9, 1, 10, 4, 12, 14, 8, 11, 13, 7},
    {14, 8, 11, 3, 13, 7, 1, 4, 12, 6, 0, 2, 5, 9, 10},
    {0, 2, 5, 3, 9, 10, 12, 14, 8, 11, 13, 7, 1, 4, 6},
    {8, 11, 13, 3, 7, 1, 4, 6, 0, 5, 9, 10, 12, 14, 2},
    {2, 5, 9, 3, 10, 12, 14, 8, 13, 7, 1, 4, 6, 0, 11},
}};

namespace {

constexpr std::size_t kRounds = 8;
// The first national digit is never scrambled.
constexpr std::size_t kFixedPosition = 3;

bool IsZeroKey(const CipherKey& key) {
    return std::all_of(key.begin(), key.end(), [](std::uint8_t k) { return k == 0; });
}

// Byte sums decide the result for the non-digit values that a mistyped field gives.
std::uint8_t MixingSum(const DigitString& w) {
    std::uint8_t s = 0;
    for (const std::uint8_t v : w) {
        s = static_cast<std::uint8_t>(static_cast<std::uint8_t>(s + v) % 10);
    }
    return s;
}

// Each substitution row read backwards: the index of the first entry that holds a value. Values a
// row does not hold (only non-digits) map to themselves.
constexpr auto kInverseSubst = [] {
    std::array<std::array<std::uint8_t, 256>, 10> inverse{};
    for (std::size_t row = 0; row < inverse.size(); ++row) {
        for (std::size_t v = 0; v < inverse[row].size(); ++v) {
            inverse[row][v] = static_cast<std::uint8_t>(v);
        }
        for (std::size_t index = g_abDigitSubst[row].size(); index-- > 0;) {
            inverse[row][g_abDigitSubst[row][index]] = static_cast<std::uint8_t>(index);
        }
    }
    return inverse;
}();

}  // namespace

DigitString ScrambleDigits(const DigitString& input) {
    const CipherKey& k = g_abCipherKey;
    if (IsZeroKey(k)) {
        return input;
    }
    DigitString w = input;
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (i != kFixedPosition) {
            w[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(input[i] + k[i]) % 10);
        }
    }
    for (std::size_t r = 0; r < kRounds; ++r) {
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (i != kFixedPosition) {
                w[i] = g_abDigitSubst[k[r]][w[i]];
            }
        }
        const auto& perm = g_abDigitPerm[MixingSum(w)];
        DigitString moved;
        for (std::size_t m = 0; m < w.size(); ++m) {
            moved[m] = w[perm[m]];
        }
        w = moved;
    }
    return w;
}

DigitString UnscrambleDigits(const DigitString& scrambled) {
    const CipherKey& k = g_abCipherKey;
    if (IsZeroKey(k)) {
        return scrambled;
    }
    DigitString w = scrambled;
    for (std::size_t r = kRounds; r-- > 0;) {
        const auto& perm = g_abDigitPerm[MixingSum(w)];
        DigitString moved;
        for (std::size_t m = 0; m < w.size(); ++m) {
            moved[perm[m]] = w[m];
        }
        w = moved;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (i != kFixedPosition) {
                w[i] = kInverseSubst[k[r]][w[i]];
            }
        }
    }
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (i != kFixedPosition) {
            w[i] = static_cast<std::uint8_t>(w[i] >= k[i] ? w[i] - k[i] : w[i] - k[i] + 10);
        }
    }
    return w;
}

KeyLoadResult LoadCipherKey(std::string_view keyText) {
    if (keyText.size() != kIdentityDigits) {
        return KeyLoadResult::kWrongLength;
    }
    CipherKey key;
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(keyText[i]) - '0');
        if (key[i] > 9) {
            return KeyLoadResult::kNotDigits;
        }
    }
    g_abCipherKey = key;
    return KeyLoadResult::kLoaded;
}

const char* KeyLoadMessage(KeyLoadResult result) {
    switch (result) {
        case KeyLoadResult::kWrongLength:
            return kKeyLengthMessage;
        case KeyLoadResult::kNotDigits:
            return kKeyDigitsMessage;
        case KeyLoadResult::kLoaded:
            break;
    }
    return nullptr;
}
