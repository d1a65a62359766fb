#include "standin/Trace.h"

#include "MemoryFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Quoted(const char* text) {
    std::string s;
    AppendQuoted(s, text);
    return s;
}

} // namespace

TEST(TraceQuoting, PrintableBytesStayAsTheyAre) {
    EXPECT_EQ(Quoted("Ostrel 1.4"), "\"Ostrel 1.4\"");
    EXPECT_EQ(Quoted(" ~"), "\" ~\"");
    EXPECT_EQ(Quoted(""), "\"\"");
}

TEST(TraceQuoting, QuoteAndBackslashAreEscaped) {
    EXPECT_EQ(Quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
}

TEST(TraceQuoting, OtherBytesAreLowercaseHex) {
    EXPECT_EQ(Quoted("\x1f\x7f\x80\xff\n\t"), "\"\\x1f\\x7f\\x80\\xff\\x0a\\x09\"");
    // Shift-JIS: the second byte 'F' (0x46) of 色 is printable and stays.
    EXPECT_EQ(Quoted("\x90\xdd\x92\xe8\x90\x46"), "\"\\x90\\xdd\\x92\\xe8\\x90F\"");
}

TEST(TraceQuoting, NullIsTheBareWordNull) {
    EXPECT_EQ(Quoted(nullptr), "null");
}

TEST(TraceQuoting, BytesWithNul) {
    std::string line;
    AppendQuotedBytes(line, "a\0b", 3);
    EXPECT_EQ(line, "\"a\\x00b\"");
}

TEST(TraceNumbers, FloatsUseNineDigits) {
    std::string line;
    AppendFloat9(line, -0.0f);
    line += ' ';
    AppendFloat9(line, 0.1f);
    line += ' ';
    AppendFloat9(line, 8.0f);
    line += ' ';
    AppendFloat9(line, 1e20f);
    EXPECT_EQ(line, "-0 0.100000001 8 1.00000002e+20");
}

TEST(TraceNumbers, DoublesUseSeventeenDigits) {
    std::string line;
    AppendDouble17(line, 44.5);
    line += ' ';
    AppendDouble17(line, 0.1);
    line += ' ';
    AppendDouble17(line, -0.0);
    EXPECT_EQ(line, "44.5 0.10000000000000001 -0");
}

TEST(TraceNumbers, IntegersAndHex) {
    std::string line;
    AppendInt(line, -2147483648LL);
    line += ' ';
    const unsigned char bytes[] = {0x00, 0x4f, 0xab, 0xff};
    AppendHexUpper(line, bytes, sizeof bytes);
    EXPECT_EQ(line, "-2147483648 004FABFF");
}

TEST(TraceOutput, LinesEndWithLineFeedAndNullTraceIsSilent) {
    MemoryFile f;
    ASSERT_NE(f.file, nullptr);
    Trace trace;
    trace.out = f.file;
    TraceLine(&trace, "startObject");
    TraceLine(&trace, "result 0");
    Trace silent;
    TraceLine(&silent, "nothing");
    TraceLine(nullptr, "nothing");
    EXPECT_EQ(f.Text(), "startObject\nresult 0\n");
    EXPECT_FALSE(trace.writeFailed);
}
