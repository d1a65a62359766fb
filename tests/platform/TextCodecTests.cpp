#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(TextCodec, ShiftJisLabelsToUtf8) {
    EXPECT_EQ(ShiftJisToUtf8("\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb"), "読み込み対象");
    EXPECT_EQ(ShiftJisToUtf8("\x90\xdd\x92\xe8\x90\x46"), "設定色");
    EXPECT_EQ(ShiftJisToUtf8("Scale"), "Scale");
    EXPECT_EQ(ShiftJisToUtf8(""), "");
    // 表 and 示: the first has 0x5C as its second byte, which must not be
    // taken for a backslash.
    EXPECT_EQ(ShiftJisToUtf8("\x95\x5c\x8e\xa6"), "表示");
    // Half-width katakana are single bytes.
    EXPECT_EQ(ShiftJisToUtf8("\xb1\xb2"), "ｱｲ");
    // A lone lead byte at the end does not convert and shows as \xHH; so does
    // a lead byte followed by a byte that cannot trail it.
    EXPECT_EQ(ShiftJisToUtf8("ab\x82"), "ab\\x82");
    EXPECT_EQ(ShiftJisToUtf8("\x82\x20x"), "\\x82 x");
}

TEST(TextCodec, RecognisesUtf8) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("cube"));
    EXPECT_TRUE(IsValidUtf8("日本"));
    EXPECT_TRUE(IsValidUtf8("\xf0\x9f\x98\x80"));  // U+1F600
    EXPECT_FALSE(IsValidUtf8("\x95\x5c\x8e\xa6")); // Shift-JIS
    EXPECT_FALSE(IsValidUtf8("\xe6\x97"));         // cut short
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));         // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xe0\x80\xaf"));     // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\x80"));
}

TEST(TextCodec, NamesBecomeUtf8) {
    // UTF-8 stays as it is, even where the bytes would also be Shift-JIS.
    EXPECT_EQ(NameAsUtf8("箱", kShiftJisCodePage), "箱");
    EXPECT_EQ(NameAsUtf8("a\\b", kShiftJisCodePage), "a\\b");
    // Not UTF-8: decoded from the code page given.
    EXPECT_EQ(NameAsUtf8("\x95\x5c\x8e\xa6", kShiftJisCodePage), "表示");
    EXPECT_EQ(NameAsUtf8("\x95\x5c\x8e\xa6_1", kShiftJisCodePage), "表示_1");
    // Bytes that are neither: a visible escape, nothing dropped.
    EXPECT_EQ(NameAsUtf8("\xff\xfe"
                         "a",
                         kShiftJisCodePage),
              "\\xff\\xfea");
    EXPECT_EQ(NameAsUtf8("a\x95\\b", 1252), "a•\\b");
    EXPECT_EQ(NameAsUtf8("caf\xe9", 1252), "café");
}

// The Windows stage runs the tests under several ANSI code pages and names
// the one it set; without this the code-page cases above could all be
// skipped unnoticed.
TEST(TextCodec, SystemCodePageIsTheOneTheSystemSet) {
    const char* expected = std::getenv("OSTREL_EXPECT_CODE_PAGE");
    if (expected == nullptr)
        GTEST_SKIP() << "OSTREL_EXPECT_CODE_PAGE not set";
    EXPECT_EQ(std::to_string(SystemCodePage()), expected);
}

TEST(TextCodec, Utf8PrefixCutsBetweenCharacters) {
    EXPECT_EQ(Utf8Prefix("cube.rk4", 4), "cube");
    EXPECT_EQ(Utf8Prefix("cube", 60), "cube");
    EXPECT_EQ(Utf8Prefix("a日本", 4), "a日"); // exactly at a boundary
    EXPECT_EQ(Utf8Prefix("a日本", 6), "a日"); // inside 本: back to its start
    EXPECT_EQ(Utf8Prefix("日本", 2), "");
    EXPECT_EQ(Utf8Prefix("\xf0\x9f\x98\x80!", 3), "");
}
