// Reading large inputs: the model reader's word-wise line scan against the
// plain line reader, the in-place number conversions, and the growable
// tables. Small texts never reach the word-wise path (it needs a full line
// and its look-ahead inside the block), so these build long ones.
#include "TestModel.h"
#include "model/NumberParsing.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct ExpectedPoint {
    int32_t value1;
    uint16_t value2, value3;
    int32_t value5;
    double x, y, z;
};

// The point section as the format's rules read it, line by line through
// ReadTextLine: what the reader must produce whatever its scanning method.
std::vector<ExpectedPoint> ReferencePoints(const std::string& text) {
    ByteSource s;
    InitMemorySource(s, text.data(), text.size());
    char line[80] = {};
    auto next = [&] { ReadTextLine(line, sizeof line, s); };
    while (!s.eof) { // the magic line, then up to POINT
        next();
        if (std::string(line) == "POINT") {
            break;
        }
    }
    std::vector<ExpectedPoint> points;
    while (!s.eof) {
        next();
        if (std::string(line) == "LINE0") {
            break;
        }
        ExpectedPoint p{};
        p.value1 = ParseInteger(line);
        next();
        p.value2 = static_cast<uint16_t>(ParseInteger(line));
        next();
        p.value3 = static_cast<uint16_t>(ParseInteger(line));
        next();
        next();
        p.value5 = ParseInteger(line);
        next();
        p.x = ParseReal(line);
        next();
        p.y = ParseReal(line);
        next();
        p.z = ParseReal(line);
        points.push_back(p);
    }
    return points;
}

// A point section of `records` records whose lines are of every awkward
// kind: 1 to 120 characters (split after 79), every line end pairing,
// empty lines, NUL bytes, signs, spaces, too many digits and exponents.
std::string AwkwardPointSection(uint32_t seed, int records) {
    std::mt19937 rng(seed);
    const char* ends[] = {"\n", "\r\n", "\r", "\n\r", "\r\r", "\n\n", "\r\n\n"};
    const char* odd[] = {"",
                         "-17",
                         " 42",
                         "+8",
                         "2147483648",
                         "-2147483649",
                         "1234567890",
                         "123456789",
                         "7x",
                         "1.5d3",
                         "-0.000000",
                         ".5",
                         "5.",
                         "0.1234567890123456",
                         "12.5E-3",
                         "9999999999999999e300",
                         "LINE0 ",
                         "LINE",
                         "-",
                         "-.",
                         ".",
                         "-0",
                         "7 ",
                         "+0.5",
                         "-12.",
                         "123456789012345",
                         "-1234567.89012345",
                         "000000000000000000012.5"};
    std::string text = "ROKU4 bulk\r\nPOINT\r\n";
    for (int i = 0; i < records * 8; ++i) {
        std::string line;
        const int kind = static_cast<int>(rng() % 10);
        if (kind < 4) {
            char number[32];
            std::snprintf(number, sizeof number, "%.6f",
                          std::uniform_real_distribution<double>(-2000, 2000)(rng));
            line = number;
        } else if (kind < 6) {
            line = std::to_string(rng() % 100000);
        } else if (kind < 8) {
            line = odd[rng() % (sizeof odd / sizeof odd[0])];
        } else {
            line.assign(60 + rng() % 61, '0');
            for (char& c : line) {
                c = static_cast<char>('0' + rng() % 10);
            }
            if (rng() % 4 == 0) {
                line[rng() % line.size()] = '\0';
            }
        }
        text += line;
        text += ends[rng() % (sizeof ends / sizeof ends[0])];
    }
    text += "\nLINE0\nFACE0\nEND00\n";
    return text;
}

void ExpectSamePoints(const std::string& text, bool useFile) {
    ByteSource source;
    std::FILE* file = nullptr;
    if (useFile) {
        file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
        std::rewind(file);
        InitFileSource(source, file);
    } else {
        InitMemorySource(source, text.data(), text.size());
    }
    ModelTables t;
    int32_t target = 0, doubleSided = 0;
    ASSERT_EQ(ReadModelFile(source, t, &target, &doubleSided), kReadOk);
    if (file != nullptr) {
        std::fclose(file);
    }
    const std::vector<ExpectedPoint> expected = ReferencePoints(text);
    ASSERT_EQ(t.points.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const PointRecord& p = t.points[i];
        const ExpectedPoint& e = expected[i];
        ASSERT_EQ(p.value1, e.value1) << "point " << i;
        ASSERT_EQ(p.value2, e.value2) << "point " << i;
        ASSERT_EQ(p.value3, e.value3) << "point " << i;
        ASSERT_EQ(p.value5, e.value5) << "point " << i;
        // Bitwise: the sign of zero matters too.
        ASSERT_EQ(std::memcmp(&p.x, &e.x, sizeof p.x), 0) << "point " << i << " x " << p.x;
        ASSERT_EQ(std::memcmp(&p.y, &e.y, sizeof p.y), 0) << "point " << i << " y " << p.y;
        ASSERT_EQ(std::memcmp(&p.z, &e.z, sizeof p.z), 0) << "point " << i << " z " << p.z;
    }
    ReleaseModel(t);
}

} // namespace

TEST(BulkReading, LongInputReadsAsLineByLine) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        ExpectSamePoints(AwkwardPointSection(seed, 3000), false);
    }
}

// Over 1 MiB, so lines straddle the file source's block boundary.
TEST(BulkReading, FileAcrossBlocksReadsAsLineByLine) {
    std::string text = AwkwardPointSection(9, 40000);
    ASSERT_GT(text.size(), kSourceBlockSize + 1000);
    ExpectSamePoints(text, true);
}

TEST(BulkReading, PlainDecimalsConvertLikeTheGeneralPath) {
    // Up to 15 digits take the exact fast conversion; more, or an exponent,
    // the general one. Both must agree with a correctly rounded strtod.
    const char* texts[] = {"0.1",         "-0.3",          "123456789012345", "1234567890123456",
                           "0.000000001", "99999.9999999", "-123.456789",     "1.7976931348623157"};
    for (const char* text : texts) {
        EXPECT_EQ(ParseReal(text), std::strtod(text, nullptr)) << text;
    }
    std::mt19937_64 rng(3);
    for (int i = 0; i < 20000; ++i) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*f", static_cast<int>(rng() % 10),
                      std::uniform_real_distribution<double>(-1e6, 1e6)(rng));
        ASSERT_EQ(ParseReal(text), std::strtod(text, nullptr)) << text;
    }
}

TEST(BulkReading, TablesGrowKeepAndCopyTheirRecords) {
    Table<int32_t> table;
    for (int32_t i = 0; i < 100000; ++i) {
        table.push_back(i);
    }
    // An element of the table itself, appended while the table moves.
    Table<int32_t> self;
    self.push_back(7);
    for (int i = 0; i < 40; ++i) {
        self.push_back(self[0]);
    }
    EXPECT_EQ(self.size(), 41u);
    EXPECT_EQ(self[40], 7);
    ASSERT_EQ(table.size(), 100000u);
    EXPECT_EQ(table[99999], 99999);
    Table<int32_t> copy = table;
    copy[0] = -1;
    EXPECT_EQ(table[0], 0);
    table.insert(table.end(), 3, 5);
    table.resize(table.size() + 2);
    ASSERT_EQ(table.size(), 100005u);
    EXPECT_EQ(table[100002], 5);
    EXPECT_EQ(table[100004], 0); // new elements are zero
    Table<int32_t>().swap(table);
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.data(), nullptr);
}

// A size that cannot be had is refused, never wrapped round to a small one.
// (Under AddressSanitizer such a request aborts by design, so it is not made.)
TEST(BulkReading, TablesRefuseImpossibleSizes) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP();
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP();
#endif
#endif
    Table<unsigned char> bytes;
    bytes.push_back(1);
    EXPECT_THROW(bytes.reserve(SIZE_MAX - 1), std::bad_alloc);
    EXPECT_EQ(bytes.size(), 1u);
    EXPECT_EQ(bytes[0], 1);
    bytes.resize(size_t{1} << 20); // mapped from here on
    EXPECT_THROW(bytes.reserve(SIZE_MAX - 4096), std::bad_alloc);
    EXPECT_EQ(bytes.size(), size_t{1} << 20);
    Table<int64_t> wide;
    EXPECT_THROW(wide.reserve(SIZE_MAX / 8), std::bad_alloc);
    EXPECT_TRUE(wide.empty());
}

// Big tables leave the heap for mapped memory and grow there, in place or
// moved when the address space after them is taken. Two tables growing in
// turn keep taking each other's room, so both ways are taken many times.
TEST(BulkReading, BigTablesKeepTheirRecordsWhileGrowingInTurn) {
    Table<int64_t> a;
    Table<int64_t> b;
    constexpr int64_t kCount = int64_t{12} << 20; // 96 MiB each
    for (int64_t i = 0; i < kCount; ++i) {
        a.push_back(i);
        b.push_back(-i);
    }
    int64_t wrongA = 0;
    int64_t wrongB = 0;
    for (int64_t i = 0; i < kCount; ++i) {
        wrongA += a[static_cast<size_t>(i)] != i ? 1 : 0;
        wrongB += b[static_cast<size_t>(i)] != -i ? 1 : 0;
    }
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
    Table<int64_t> copy = a;
    EXPECT_EQ(copy[static_cast<size_t>(kCount - 1)], kCount - 1);
    a.resize(3); // shrinking the count keeps the block
    EXPECT_EQ(a[2], 2);
}
