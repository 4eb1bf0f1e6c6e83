#include "identity.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "identity_cipher.h"

RememberedRecord g_abLastWritten{};
RememberedRecord g_abLastScrambled{};

namespace {

// A character's code taken as a signed 8-bit number, as the accumulations require.
std::int8_t SignedCode(char c) {
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(c));
}

// Digit values of `text` right-aligned in `digits`. A text shorter than the run is taken as the
// number it spells, so its missing leading digits are '0': country "52" and national "12345" give
// 052000000012345, the identity whose numbers the plain write puts on the tag. A longer text gives
// its first characters. Either way nothing past the text is read.
void PutDigits(std::string_view text, std::span<std::uint8_t> digits) {
    const std::size_t taken = std::min(text.size(), digits.size());
    const std::size_t padding = digits.size() - taken;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const char c = i < padding ? '0' : text[i - padding];
        digits[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) - '0');
    }
}

// The record that carries the numbers spelled by a digit string.
TagRecord RecordFromDigits(const DigitString& digits, std::uint8_t animal) {
    const std::span<const std::uint8_t> all(digits);
    const std::uint16_t country = CountryFromText(TextFromDigits(all.first(kCountryDigits)));
    const std::int64_t national = NationalFromText(TextFromDigits(all.subspan(kCountryDigits)));
    return BuildTagRecord(national, country, animal);
}

// The first 3 and 12 characters of the decimal forms of the numbers on the tag.
DigitString DigitsFromRecord(ReadBufferView buffer) {
    const auto national = static_cast<std::int64_t>(NationalFromRecord(buffer));
    return DigitsFromFields(FormatCountry(CountryFromRecord(buffer)), FormatNational(national));
}

}  // namespace

DigitString DigitsFromFields(std::string_view country, std::string_view national) {
    DigitString digits{};
    const std::span<std::uint8_t> all(digits);
    PutDigits(country, all.first(kCountryDigits));
    PutDigits(national, all.subspan(kCountryDigits));
    return digits;
}

std::string TextFromDigits(std::span<const std::uint8_t> digits) {
    std::string text(digits.size(), '\0');
    for (std::size_t i = 0; i < digits.size(); ++i) {
        text[i] = static_cast<char>(static_cast<std::uint8_t>(digits[i] + '0'));
    }
    return text;
}

std::uint16_t CountryFromText(std::string_view text) {
    std::uint16_t value = 0;
    for (const char c : text) {
        value = static_cast<std::uint16_t>(value * 10 + (SignedCode(c) - '0'));
    }
    return value;
}

std::int64_t NationalFromText(std::string_view text) {
    // Unsigned arithmetic gives the two's-complement wrap without overflow.
    std::uint64_t value = 0;
    for (const char c : text) {
        value =
            value * 10 + static_cast<std::uint64_t>(static_cast<std::int64_t>(SignedCode(c) - '0'));
    }
    return static_cast<std::int64_t>(value);
}

std::string FormatCountry(std::uint16_t country) {
    char text[8];
    std::snprintf(text, sizeof text, "%03u", static_cast<unsigned>(country));
    return text;
}

std::string FormatNational(std::int64_t national) {
    char text[24];
    std::snprintf(text, sizeof text, "%012" PRId64, national);
    return text;
}

TagRecord BuildTagRecord(std::int64_t national, std::uint16_t country, std::uint8_t animal) {
    const auto bits = static_cast<std::uint64_t>(national);
    return {static_cast<std::uint8_t>(bits >> 32),
            static_cast<std::uint8_t>(bits >> 24),
            static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits),
            static_cast<std::uint8_t>(country >> 8),
            static_cast<std::uint8_t>(country),
            0,
            animal};
}

std::uint64_t NationalFromRecord(ReadBufferView buffer) {
    std::uint64_t value = 0;
    for (std::size_t i = 1; i <= 5; ++i) {
        value = (value << 8) | buffer[i];
    }
    return value;
}

std::uint16_t CountryFromRecord(ReadBufferView buffer) {
    return static_cast<std::uint16_t>(buffer[6] << 8 | buffer[7]);
}

bool SameIdentity(ReadBufferView buffer, const RememberedRecord& remembered) {
    for (std::size_t i = 0; i < 7; ++i) {
        if (buffer[i + 1] != remembered[i]) {
            return false;
        }
    }
    return true;
}

void RememberRecord(const TagRecord& record, RememberedRecord& remembered) {
    std::copy_n(record.begin(), remembered.size(), remembered.begin());
}

std::string AdvanceNational(std::string_view national, std::int32_t increment) {
    const auto sum = static_cast<std::uint64_t>(NationalFromText(national)) +
                     static_cast<std::uint64_t>(static_cast<std::int64_t>(increment));
    return FormatNational(static_cast<std::int64_t>(sum));
}

WriteIdentity PlainWrite(std::string_view country, std::string_view national, bool animal) {
    return {TextFromDigits(DigitsFromFields(country, national)),
            BuildTagRecord(NationalFromText(national), CountryFromText(country), animal ? 1 : 0)};
}

WriteIdentity ScrambledWrite(std::string_view country, std::string_view national, bool animal) {
    const DigitString entered = DigitsFromFields(country, national);
    return {TextFromDigits(entered), RecordFromDigits(ScrambleDigits(entered), animal ? 1 : 0)};
}

ReadIdentity PlainRead(ReadBufferView buffer) {
    return {FormatCountry(CountryFromRecord(buffer)),
            FormatNational(static_cast<std::int64_t>(NationalFromRecord(buffer))), buffer[9] != 0};
}

ReadIdentity UnscrambledRead(ReadBufferView buffer) {
    const DigitString plain = UnscrambleDigits(DigitsFromRecord(buffer));
    const std::span<const std::uint8_t> digits(plain);
    return {TextFromDigits(digits.first(kCountryDigits)),
            TextFromDigits(digits.subspan(kCountryDigits)), buffer[9] != 0};
}

TagRecord ScrambleInPlace(ReadBufferView buffer) {
    return RecordFromDigits(ScrambleDigits(DigitsFromRecord(buffer)), buffer[9]);
}
