// Forms of an animal identity and the conversions between them.
//
// Texts are byte strings in the GBK code page, taken exactly as the operator typed them: nothing
// is checked, and non-digit characters flow through the arithmetic below.
#ifndef PELORIN_IDENTITY_H
#define PELORIN_IDENTITY_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::size_t kCountryDigits = 3;
inline constexpr std::size_t kNationalDigits = 12;
inline constexpr std::size_t kIdentityDigits = kCountryDigits + kNationalDigits;

// Three country digits then twelve national digits, most significant first.
using DigitString = std::array<std::uint8_t, kIdentityDigits>;
// National number as 40 bits big-endian, country as 16 bits big-endian, kind byte 0, animal flag.
using TagRecord = std::array<std::uint8_t, 9>;
// Status byte 0 followed by the tag record as the reader returns it.
using ReadBuffer = std::array<std::uint8_t, 16>;
using RememberedRecord = std::array<std::uint8_t, 8>;
// Accepts a ReadBuffer as well as the plain 16-byte array that the reader commands fill.
using ReadBufferView = std::span<const std::uint8_t, 16>;

// Record bytes 0 to 7 of the last successful FDX-B write and of the last scramble in place.
extern RememberedRecord g_abLastWritten;
extern RememberedRecord g_abLastScrambled;

// The first 3 and 12 characters; a shorter text is right-aligned behind '0' digits, as the number
// it spells, and is never read past.
DigitString DigitsFromFields(std::string_view country, std::string_view national);
std::string TextFromDigits(std::span<const std::uint8_t> digits);
std::uint16_t CountryFromText(std::string_view text);
std::int64_t NationalFromText(std::string_view text);
std::string FormatCountry(std::uint16_t country);
std::string FormatNational(std::int64_t national);
TagRecord BuildTagRecord(std::int64_t national, std::uint16_t country, std::uint8_t animal);
std::uint64_t NationalFromRecord(ReadBufferView buffer);
std::uint16_t CountryFromRecord(ReadBufferView buffer);
bool SameIdentity(ReadBufferView buffer, const RememberedRecord& remembered);
void RememberRecord(const TagRecord& record, RememberedRecord& remembered);

// The national text that follows a successful write: the full 64-bit number plus the increment.
std::string AdvanceNational(std::string_view national, std::int32_t increment);

// What a write puts on the tag, and the identity text that goes into the write log.
struct WriteIdentity {
    std::string strIdentity;
    TagRecord record;
};

// What a read shows in a group's fields.
struct ReadIdentity {
    std::string strCountry;
    std::string strNational;
    bool bAnimal;
};

// "11784/11785" Write: the record carries the numbers of the whole texts.
WriteIdentity PlainWrite(std::string_view country, std::string_view national, bool animal);
// "FDX-B" Write and continuous writing: the record carries the identity scrambled under the
// current key; the identity text stays the one entered.
WriteIdentity ScrambledWrite(std::string_view country, std::string_view national, bool animal);
// "11784/11785" Read: the numbers on the tag, shown whole.
ReadIdentity PlainRead(ReadBufferView buffer);
// "FDX-B" Read: the identity on the tag unscrambled under the current key.
ReadIdentity UnscrambledRead(ReadBufferView buffer);
// "DES": the tag's own identity scrambled under the current key, its animal flag unchanged.
TagRecord ScrambleInPlace(ReadBufferView buffer);

#endif
