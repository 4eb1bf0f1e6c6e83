#include "gbk_text.h"

#include <gtest/gtest.h>

namespace {

struct GbkCase {
    const char* pszUtf8;
    const char* pszGbk;
};

class GbkFromUtf8Test : public testing::TestWithParam<GbkCase> {};

TEST_P(GbkFromUtf8Test, Converts) {
    EXPECT_EQ(GbkFromUtf8(GetParam().pszUtf8), GetParam().pszGbk);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GbkFromUtf8Test,
    testing::Values(GbkCase{"", ""}, GbkCase{"528 A-z", "528 A-z"},
                    GbkCase{"卡号", "\xBF\xA8\xBA\xC5"},
                    GbkCase{"密1",
                            "\xC3\xDC"
                            "1"},
                    // Not in GBK.
                    GbkCase{"1\xF0\x9F\x98\x80"
                            "2",
                            "1?2"},
                    // Malformed and cut-off sequences; the bytes after them survive.
                    GbkCase{"\xFF"
                            "5",
                            "?5"},
                    GbkCase{"\xE5"
                            "A",
                            "?A"},
                    GbkCase{"7\xE5\x8D", "7?"}));

}  // namespace
