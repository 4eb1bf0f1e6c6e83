#include "identity_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "gbk_text.h"

namespace {

DigitString Digits(std::string_view text) {
    DigitString digits{};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        digits[i] = static_cast<std::uint8_t>(text[i] - '0');
    }
    return digits;
}

class CipherTest : public testing::Test {
protected:
    void SetUp() override { g_abCipherKey = kDefaultCipherKey; }
    void TearDown() override { g_abCipherKey = kDefaultCipherKey; }
};

TEST(CipherTables, RowsArePermutationsThatKeepPosition3) {
    for (const auto& row : g_abDigitSubst) {
        auto sorted = row;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::array<std::uint8_t, 10>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    }
    for (const auto& row : g_abDigitPerm) {
        auto sorted = row;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (DigitString{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
        EXPECT_EQ(row[3], 3);
    }
}

struct KnownAnswer {
    const char* pszKey;
    const char* pszPlain;
    const char* pszScrambled;
};

class KnownAnswerTest : public CipherTest, public testing::WithParamInterface<KnownAnswer> {};

// Worked out apart from this code, from the tables and the round description alone.
TEST_P(KnownAnswerTest, ScramblesAndUnscrambles) {
    g_abCipherKey = Digits(GetParam().pszKey);
    EXPECT_EQ(ScrambleDigits(Digits(GetParam().pszPlain)), Digits(GetParam().pszScrambled));
    EXPECT_EQ(UnscrambleDigits(Digits(GetParam().pszScrambled)), Digits(GetParam().pszPlain));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KnownAnswerTest,
    testing::Values(KnownAnswer{"381604927513862", "528000000012345", "446009601727254"},
                    KnownAnswer{"381604927513862", "999999999999999", "637901459820496"},
                    KnownAnswer{"381604927513862", "000000000000000", "563041298970350"},
                    KnownAnswer{"123456789012345", "528000000012345", "730060346494812"},
                    KnownAnswer{"123456789012345", "999999999999999", "869971045173206"},
                    KnownAnswer{"123456789012345", "000000000000000", "796052358049711"},
                    KnownAnswer{"900000000000001", "528000000012345", "724055325359505"},
                    KnownAnswer{"900000000000001", "999999999999999", "888988880888858"},
                    KnownAnswer{"900000000000001", "000000000000000", "555055585575555"}));

TEST_F(CipherTest, DefaultKeyIsDigitsAndNotZero) {
    EXPECT_TRUE(std::all_of(kDefaultCipherKey.begin(), kDefaultCipherKey.end(),
                            [](std::uint8_t k) { return k <= 9; }));
    EXPECT_TRUE(std::any_of(kDefaultCipherKey.begin(), kDefaultCipherKey.end(),
                            [](std::uint8_t k) { return k != 0; }));
}

TEST_F(CipherTest, RandomKeysInvertKeepPosition3AndGiveDigits) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int round = 0; round < 5000; ++round) {
        for (auto& k : g_abCipherKey) {
            k = static_cast<std::uint8_t>(digit(random));
        }
        DigitString plain;
        for (auto& d : plain) {
            d = static_cast<std::uint8_t>(digit(random));
        }
        const DigitString scrambled = ScrambleDigits(plain);
        ASSERT_EQ(scrambled[3], plain[3]);
        ASSERT_TRUE(std::all_of(scrambled.begin(), scrambled.end(), [](auto v) { return v <= 9; }));
        const DigitString back = UnscrambleDigits(scrambled);
        ASSERT_EQ(back, plain);
        // Every digit string is some scrambled one, so the inverse gives digits from any of them.
        const DigitString unscrambled = UnscrambleDigits(plain);
        ASSERT_EQ(unscrambled[3], plain[3]);
        ASSERT_TRUE(
            std::all_of(unscrambled.begin(), unscrambled.end(), [](auto v) { return v <= 9; }));
        ASSERT_EQ(ScrambleDigits(unscrambled), plain);
    }
}

TEST_F(CipherTest, ZeroKeyPassesEverythingThrough) {
    g_abCipherKey = {};
    const DigitString input = {5, 2, 8, 0xF0, 0, 0, 0, 0, 0, 0x11, 1, 2, 3, 4, 5};
    EXPECT_EQ(ScrambleDigits(input), input);
    EXPECT_EQ(UnscrambleDigits(input), input);
}

TEST_F(CipherTest, NonDigitAtPosition3StaysAndCountsInEverySum) {
    g_abCipherKey = Digits("123456789012345");
    // A space typed as first national digit; worked out apart from this code.
    const DigitString input = {5, 2, 8, 0xF0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5};
    const DigitString expected = {7, 3, 0, 0xF0, 6, 0, 3, 4, 6, 4, 9, 4, 8, 1, 2};
    EXPECT_EQ(ScrambleDigits(input), expected);
}

struct KeyCase {
    std::string strText;
    KeyLoadResult eResult;
};

class LoadKeyTest : public CipherTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(LoadKeyTest, RefusesAllButFifteenDigits) {
    const CipherKey before = g_abCipherKey;
    const KeyLoadResult result = LoadCipherKey(GetParam().strText);
    EXPECT_EQ(result, GetParam().eResult);
    if (result == KeyLoadResult::kLoaded) {
        EXPECT_EQ(g_abCipherKey, Digits(GetParam().strText));
        EXPECT_EQ(KeyLoadMessage(result), nullptr);
    } else {
        EXPECT_EQ(g_abCipherKey, before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LoadKeyTest,
    testing::Values(KeyCase{"123456789012345", KeyLoadResult::kLoaded},
                    KeyCase{"000000000000000", KeyLoadResult::kLoaded},
                    KeyCase{"12345678901234", KeyLoadResult::kWrongLength},
                    KeyCase{"1234567890123456", KeyLoadResult::kWrongLength},
                    KeyCase{"", KeyLoadResult::kWrongLength},
                    KeyCase{"12345678901234a", KeyLoadResult::kNotDigits},
                    KeyCase{"1234567 9012345", KeyLoadResult::kNotDigits},
                    KeyCase{"/23456789012345", KeyLoadResult::kNotDigits},
                    // Length counts GBK bytes: one Chinese character is two.
                    KeyCase{GbkFromUtf8("密1234567890123"), KeyLoadResult::kNotDigits},
                    KeyCase{GbkFromUtf8("密12345678901234"), KeyLoadResult::kWrongLength}));

TEST_F(CipherTest, RefusalsNameTheRuleAndKeepTheKeyInForce) {
    ASSERT_EQ(LoadCipherKey("123456789012345"), KeyLoadResult::kLoaded);
    EXPECT_STREQ(KeyLoadMessage(LoadCipherKey("12345678901234")), "密钥必须15位！");
    EXPECT_STREQ(KeyLoadMessage(LoadCipherKey("12345678901234x")), "密钥必须为数字！");
    EXPECT_EQ(ScrambleDigits(Digits("528000000012345")), Digits("730060346494812"));
}

TEST_F(CipherTest, LoadedZeroKeyPassesIdentitiesThrough) {
    ASSERT_EQ(LoadCipherKey("000000000000000"), KeyLoadResult::kLoaded);
    EXPECT_EQ(ScrambleDigits(Digits("528000000012345")), Digits("528000000012345"));
}

}  // namespace
