// The identity cipher: a keyed digit substitution-permutation under a 15-digit key.
#ifndef PELORIN_IDENTITY_CIPHER_H
#define PELORIN_IDENTITY_CIPHER_H

#include <array>
#include <cstdint>
#include <string_view>

#include "identity.h"

using CipherKey = std::array<std::uint8_t, kIdentityDigits>;

// In force until a key is loaded.
extern const CipherKey kDefaultCipherKey;
// The current key; read by every cipher call.
extern CipherKey g_abCipherKey;

// Row k serves key digit k; every row is a permutation of 0 to 9.
extern const std::array<std::array<std::uint8_t, 10>, 10> g_abDigitSubst;
// Row s serves mixing sum s; entry m is the position that moves to m. Position 3 stays put.
extern const std::array<std::array<std::uint8_t, kIdentityDigits>, 10> g_abDigitPerm;

// Both directions leave position 3 (the first national digit) as it is, and pass everything
// through under the all-zero key.
DigitString ScrambleDigits(const DigitString& input);
DigitString UnscrambleDigits(const DigitString& scrambled);

enum class KeyLoadResult { kLoaded, kWrongLength, kNotDigits };

// Operator messages, UTF-8.
inline constexpr const char* kKeyLengthMessage = "密钥必须15位！";
inline constexpr const char* kKeyDigitsMessage = "密钥必须为数字！";

// Replaces the current key with the 15 digits of `keyText` (GBK bytes); on a refusal the key stays.
[[nodiscard]] KeyLoadResult LoadCipherKey(std::string_view keyText);
// The message to show for a refusal; null for kLoaded.
const char* KeyLoadMessage(KeyLoadResult result);

#endif
