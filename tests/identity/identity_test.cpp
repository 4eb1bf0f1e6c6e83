#include "identity.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "identity_cipher.h"

namespace {

// A read buffer as the reader delivers the tag record.
ReadBuffer BufferOf(const TagRecord& record) {
    ReadBuffer buffer{};
    std::copy(record.begin(), record.end(), buffer.begin() + 1);
    return buffer;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        char cell[4];
        std::snprintf(cell, sizeof cell, "%02X ", b);
        text += cell;
    }
    text.pop_back();
    return text;
}

class CipherKeyGuard : public testing::Test {
protected:
    void SetUp() override { g_abCipherKey = kDefaultCipherKey; }
    void TearDown() override { g_abCipherKey = kDefaultCipherKey; }
};

struct PlainWriteCase {
    const char* pszCountry;
    const char* pszNational;
    bool bAnimal;
    const char* pszIdentity;
    const char* pszRecord;
};

class PlainWriteTest : public testing::TestWithParam<PlainWriteCase> {};

TEST_P(PlainWriteTest, GivesIdentityTextAndRecord) {
    const PlainWriteCase& c = GetParam();
    const WriteIdentity written = PlainWrite(c.pszCountry, c.pszNational, c.bAnimal);
    EXPECT_EQ(written.strIdentity, c.pszIdentity);
    EXPECT_EQ(Hex(written.record), c.pszRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, PlainWriteTest,
    testing::Values(
        PlainWriteCase{"528", "000000012345", true, "528000000012345",
                       "00 00 00 30 39 02 10 00 01"},
        PlainWriteCase{"999", "999999999999", false, "999999999999999",
                       "E8 D4 A5 0F FF 03 E7 00 00"},
        // 5*100 + ('A'-'0')*10 + 8.
        PlainWriteCase{"5A8", "000000012345", false, "5A8000000012345",
                       "00 00 00 30 39 02 A6 00 00"},
        // Short texts are numbers with their leading zeros left out.
        PlainWriteCase{"528", "12345", false, "528000000012345", "00 00 00 30 39 02 10 00 00"},
        PlainWriteCase{"52", "7", false, "052000000000007", "00 00 00 00 07 00 34 00 00"},
        PlainWriteCase{"", "", true, "000000000000000", "00 00 00 00 00 00 00 00 01"},
        // The record takes the whole text; the identity text its first 12 characters; bits above
        // 40 are dropped.
        PlainWriteCase{"528", "1099511627776", false, "528109951162777",
                       "00 00 00 00 00 02 10 00 00"}));

TEST(DigitsFromFields, TakesCharacterCodesModulo256) {
    const DigitString digits = DigitsFromFields("5A8", "00000001234 ");
    EXPECT_EQ(digits[1], 17);
    EXPECT_EQ(digits[14], 0xF0);
    EXPECT_EQ(TextFromDigits(digits), "5A800000001234 ");
}

TEST(DigitsFromFields, NeverReadsPastAShortText) {
    // Views into a larger buffer: reading past them would pick up the '9's.
    const std::string backing = "12999999999999";
    const DigitString digits = DigitsFromFields(std::string_view(backing).substr(0, 2),
                                                std::string_view(backing).substr(0, 1));
    EXPECT_EQ(TextFromDigits(digits), "012000000000001");
}

struct NumberCase {
    const char* pszText;
    std::uint16_t nCountry;
    std::int64_t nNational;
};

class NumberFromTextTest : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberFromTextTest, AccumulatesSignedCodes) {
    EXPECT_EQ(CountryFromText(GetParam().pszText), GetParam().nCountry);
    EXPECT_EQ(NationalFromText(GetParam().pszText), GetParam().nNational);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberFromTextTest,
    testing::Values(NumberCase{"", 0, 0}, NumberCase{"528", 528, 528}, NumberCase{"5A8", 678, 678},
                    NumberCase{"65536", 0, 65536}, NumberCase{"70000", 4464, 70000},
                    // '-' is 0x2D: -3 * 10 + 1.
                    NumberCase{"-1", 65507, -29},
                    // 0xB0 is -80 as a signed code.
                    NumberCase{"\xB0", 65408, -128},
                    NumberCase{"99999999999999999999", 65535, 7766279631452241919}));

TEST(FormatNumbers, PadWithZerosAfterTheSign) {
    EXPECT_EQ(FormatCountry(7), "007");
    EXPECT_EQ(FormatCountry(528), "528");
    EXPECT_EQ(FormatCountry(65535), "65535");
    EXPECT_EQ(FormatNational(0), "000000000000");
    EXPECT_EQ(FormatNational(12346), "000000012346");
    EXPECT_EQ(FormatNational(-7655), "-00000007655");
    EXPECT_EQ(FormatNational(1099511627775), "1099511627775");
    EXPECT_EQ(FormatNational(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

struct AdvanceCase {
    const char* pszNational;
    std::int32_t nIncrement;
    const char* pszAdvanced;
};

class AdvanceNationalTest : public testing::TestWithParam<AdvanceCase> {};

TEST_P(AdvanceNationalTest, AddsToTheFullNumber) {
    EXPECT_EQ(AdvanceNational(GetParam().pszNational, GetParam().nIncrement),
              GetParam().pszAdvanced);
}

INSTANTIATE_TEST_SUITE_P(
    Increments, AdvanceNationalTest,
    testing::Values(AdvanceCase{"000000012345", 1, "000000012346"},
                    AdvanceCase{"000000012345", 0, "000000012345"},
                    AdvanceCase{"000000012345", -20000, "-00000007655"},
                    AdvanceCase{"12345", 1, "000000012346"},
                    AdvanceCase{"999999999999", 1, "1000000000000"},
                    AdvanceCase{"0", std::numeric_limits<std::int32_t>::min(), "-02147483648"},
                    AdvanceCase{"9223372036854775807", 1, "-9223372036854775808"}));

TEST(ReadBuffer, GivesTheNumbersOnTheTag) {
    ReadBuffer buffer{0x00, 0x00, 0x00, 0x00, 0x30, 0x39, 0x02, 0x10, 0x00, 0x01};
    EXPECT_EQ(NationalFromRecord(buffer), 12345u);
    EXPECT_EQ(CountryFromRecord(buffer), 528);

    // The plain array that the reader commands fill is accepted as well.
    std::uint8_t raw[16] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(NationalFromRecord(raw), 1099511627775u);
    EXPECT_EQ(CountryFromRecord(raw), 65535);
}

struct PlainReadCase {
    ReadBuffer buffer;
    const char* pszCountry;
    const char* pszNational;
    bool bAnimal;
};

class PlainReadTest : public testing::TestWithParam<PlainReadCase> {};

TEST_P(PlainReadTest, ShowsTheNumbersWhole) {
    const ReadIdentity read = PlainRead(GetParam().buffer);
    EXPECT_EQ(read.strCountry, GetParam().pszCountry);
    EXPECT_EQ(read.strNational, GetParam().pszNational);
    EXPECT_EQ(read.bAnimal, GetParam().bAnimal);
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, PlainReadTest,
    testing::Values(
        PlainReadCase{{0, 0, 0, 0, 0x30, 0x39, 0x02, 0x10, 0, 0x01}, "528", "000000012345", true},
        PlainReadCase{{0, 0, 0, 0, 0x30, 0x39, 0x02, 0x10, 0, 0x80}, "528", "000000012345", true},
        PlainReadCase{{0, 0, 0, 0, 0x30, 0x39, 0x02, 0x10, 0xFF, 0}, "528", "000000012345", false},
        PlainReadCase{{0, 0, 0, 0, 0, 0, 0, 0x07}, "007", "000000000000", false},
        PlainReadCase{{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                       0xFF, 0xFF, 0xFF},
                      "65535",
                      "1099511627775",
                      true}));

TEST(SameIdentity, ComparesNationalAndCountryOnly) {
    const TagRecord record = BuildTagRecord(12345, 528, 1);
    RememberedRecord remembered{};
    RememberRecord(record, remembered);
    EXPECT_EQ(Hex(remembered), "00 00 00 30 39 02 10 00");

    ReadBuffer buffer = BufferOf(record);
    EXPECT_TRUE(SameIdentity(buffer, remembered));
    buffer[8] = 0x55;
    buffer[9] = 0;
    EXPECT_TRUE(SameIdentity(buffer, remembered));
    for (std::size_t i = 1; i <= 7; ++i) {
        ReadBuffer changed = BufferOf(record);
        changed[i] ^= 0x01;
        EXPECT_FALSE(SameIdentity(changed, remembered)) << "byte " << i;
    }
}

TEST(SameIdentity, ZeroTagMatchesTheStartRecord) {
    EXPECT_TRUE(SameIdentity(ReadBuffer{}, RememberedRecord{}));
}

using ChainTest = CipherKeyGuard;

TEST_F(ChainTest, ScrambledWriteLogsTheEnteredIdentity) {
    // Worked out by hand from the cipher tables: 528000000012345 scrambles to 446009601727254.
    const WriteIdentity written = ScrambledWrite("528", "000000012345", true);
    EXPECT_EQ(written.strIdentity, "528000000012345");
    EXPECT_EQ(Hex(written.record), "02 3C 4E BB 16 01 BE 00 01");
}

TEST_F(ChainTest, ZeroKeyWritesThePlainRecord) {
    g_abCipherKey = {};
    EXPECT_EQ(ScrambledWrite("528", "000000012345", true).record,
              PlainWrite("528", "000000012345", true).record);
}

TEST_F(ChainTest, UnscrambledReadUsesTheLeadingDigitsOfLongNumbers) {
    g_abCipherKey = {};
    ReadBuffer buffer;
    buffer.fill(0xFF);
    const ReadIdentity read = UnscrambledRead(buffer);
    EXPECT_EQ(read.strCountry, "655");
    EXPECT_EQ(read.strNational, "109951162777");
    EXPECT_TRUE(read.bAnimal);
}

TEST_F(ChainTest, ScrambledWriteReadsBackAsEntered) {
    std::mt19937 random(4);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int round = 0; round < 300; ++round) {
        for (auto& k : g_abCipherKey) {
            k = static_cast<std::uint8_t>(digit(random));
        }
        std::string country;
        std::string national;
        for (int i = 0; i < 3; ++i) {
            country += static_cast<char>('0' + digit(random));
        }
        for (int i = 0; i < 12; ++i) {
            national += static_cast<char>('0' + digit(random));
        }
        const bool animal = round % 2 == 0;
        const ReadIdentity read =
            UnscrambledRead(BufferOf(ScrambledWrite(country, national, animal).record));
        ASSERT_EQ(read.strCountry, country);
        ASSERT_EQ(read.strNational, national);
        ASSERT_EQ(read.bAnimal, animal);
    }
}

TEST_F(ChainTest, ShortFieldsReadBackRightAligned) {
    const ReadIdentity read =
        UnscrambledRead(BufferOf(ScrambledWrite("52", "12345", false).record));
    EXPECT_EQ(read.strCountry, "052");
    EXPECT_EQ(read.strNational, "000000012345");
}

TEST_F(ChainTest, ScrambleInPlaceReadsBackAsTheOldIdentity) {
    ReadBuffer tag = BufferOf(BuildTagRecord(12345, 528, 0));
    tag[9] = 0x80;
    const TagRecord scrambled = ScrambleInPlace(tag);
    EXPECT_EQ(Hex(scrambled), "02 3C 4E BB 16 01 BE 00 80");
    const ReadIdentity read = UnscrambledRead(BufferOf(scrambled));
    EXPECT_EQ(read.strCountry, "528");
    EXPECT_EQ(read.strNational, "000000012345");
    EXPECT_TRUE(read.bAnimal);
}

}  // namespace
