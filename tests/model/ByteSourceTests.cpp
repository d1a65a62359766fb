// The line reader over a byte source in memory and through a file: line
// ends, long lines, the end-of-file indicator, NUL bytes, block boundaries.
#include "model/ByteSource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace std::string_literals;

namespace {

// A byte source over `bytes`, either in memory or through a temporary file.
struct TestSource {
    std::string bytes;
    ByteSource source;
    std::FILE* file = nullptr;
    TestSource(const std::string& text, bool useFile) : bytes(text) {
        if (!useFile) {
            InitMemorySource(source, bytes.data(), bytes.size());
            return;
        }
        file = std::tmpfile();
        EXPECT_NE(file, nullptr);
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::rewind(file);
        InitFileSource(source, file);
    }
    ~TestSource() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

// Every line until the null return, joined by '|'; a '.' follows the line
// after which the end-of-file indicator was set.
std::string ReadAllLines(const std::string& bytes, bool useFile, int32_t capacity = 80) {
    TestSource s(bytes, useFile);
    std::string out;
    char buffer[128];
    bool first = true;
    while (ReadTextLine(buffer, capacity, s.source) != nullptr) {
        out += (first ? "" : "|") + std::string(buffer) + (s.source.eof ? "." : "");
        first = false;
    }
    return out;
}

} // namespace

TEST(LineReader, LineEndsAndEndOfFileTiming) {
    const struct {
        std::string bytes, lines;
    } cases[] = {
        // clang-format off
        {"a\rb", "a|b."}, {"a\nb", "a|b."}, {"a\r\nb", "a|b."}, {"a\n\rb", "a|b."},
        {"a\r\rb", "a||b."}, {"a\n\nb", "a||b."}, {"a\r\n\nb", "a||b."}, {"a\n", "a."},
        {"a\r", "a."}, {"a\r\n", "a|."}, {"a\n\r", "a|."}, {"", "."}, {"\r\n\r\n", "||."},
        {"a\xFF" "b\n", "a\xFF" "b."}
        // clang-format on
    };
    for (bool useFile : {false, true}) {
        for (const auto& c : cases) {
            EXPECT_EQ(ReadAllLines(c.bytes, useFile), c.lines) << "file " << useFile;
        }
    }
}

TEST(LineReader, LongLinesAreSplitAtTheCapacity) {
    const std::string x79(79, 'x');
    for (bool useFile : {false, true}) {
        EXPECT_EQ(ReadAllLines(x79 + "\ny", useFile), x79 + "||y.");
        EXPECT_EQ(ReadAllLines(x79 + "x\n", useFile), x79 + "|x.");
        EXPECT_EQ(ReadAllLines(std::string(100, 'x') + "\r\n", useFile),
                  x79 + "|" + std::string(21, 'x') + "|.");
        EXPECT_EQ(ReadAllLines("abcd\n", useFile, 3), "ab|cd|.");
    }
}

TEST(LineReader, AtTheEndReturnsNullAndLeavesTheBuffer) {
    TestSource s("last", false);
    char buffer[80];
    ASSERT_NE(ReadTextLine(buffer, 80, s.source), nullptr);
    EXPECT_TRUE(s.source.eof);
    std::strcpy(buffer, "kept");
    EXPECT_EQ(ReadTextLine(buffer, 80, s.source), nullptr);
    EXPECT_EQ(ReadTextLine(buffer, 80, s.source), nullptr);
    EXPECT_STREQ(buffer, "kept");
}

TEST(LineReader, NulBytesAreStoredAsData) {
    for (bool useFile : {false, true}) {
        TestSource s("a\0b\nc"s, useFile);
        char buffer[80];
        std::memset(buffer, '#', sizeof buffer);
        ASSERT_EQ(ReadTextLine(buffer, 80, s.source), buffer);
        EXPECT_EQ(std::string(buffer, 5), "a\0b\0#"s);
        ASSERT_NE(ReadTextLine(buffer, 80, s.source), nullptr);
        EXPECT_STREQ(buffer, "c");
    }
}

TEST(LineReader, FileSourceAcrossTheBlockBoundary) {
    // Filler lines of ten bytes bring the interesting bytes to the end of the
    // first 1 MiB block: a line cut by the boundary, a CR LF pair cut by it,
    // and a CR CR cut by it.
    const std::string filler = [] {
        std::string f;
        for (size_t i = 0; i < kSourceBlockSize / 10; ++i) {
            f += "123456789\n";
        }
        return f;
    }();
    ASSERT_EQ(kSourceBlockSize - filler.size(), 6u);
    const struct {
        std::string tail, lines;
    } cases[] = {{"abcdefghij\nz", "abcdefghij|z."},
                 {"abcde\r\nz", "abcde|z."},
                 {"abcde\r\rz", "abcde||z."},
                 {"abcdef\n", "abcdef."}};
    for (const auto& c : cases) {
        const std::string all = ReadAllLines(filler + c.tail, true);
        ASSERT_GT(all.size(), filler.size());
        EXPECT_EQ(all.substr(filler.size()), c.lines);
        TestSource s(filler + c.tail, true);
        char buffer[80];
        while (ReadTextLine(buffer, 80, s.source) != nullptr) {
        }
        EXPECT_EQ(SourcePosition(s.source), filler.size() + c.tail.size());
    }
}
