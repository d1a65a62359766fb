// Number fields as numbers: integers that clamp, reals with every exponent
// letter, the same bits by strtod as by the fast path, the sign of zero.
#include "model/NumberParsing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

TEST(NumberParsing, Integers) {
    const int32_t kMax = std::numeric_limits<int32_t>::max();
    const int32_t kMin = std::numeric_limits<int32_t>::min();
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        // clang-format off
        {"0", 0}, {"  42", 42}, {"\t\v\f -7", -7}, {"+5", 5}, {"-0", 0}, {"12abc", 12}, {"abc", 0},
        {"", 0}, {"- 5", 0}, {"+-5", 0}, {"1d3", 1}, {"1.9", 1}, {"0x1F", 0},
        {"0000000000012", 12}, {"2147483647", kMax}, {"2147483648", kMax}, {"-2147483648", kMin},
        {"-2147483649", kMin}, {"99999999999999999999999", kMax},
        {"-99999999999999999999999", kMin}
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
    }
}

namespace {

// The reader's number cases, each with the value strtod in the C locale gives.
struct RealCase {
    const char* text;
    double value;
};
const double kInf = std::numeric_limits<double>::infinity();
const RealCase kRealCases[] = {
    // clang-format off
    {"1.5", 1.5}, {"  \t-2.25", -2.25}, {"+3", 3.0}, {"0.1", 0.1}, {".5", 0.5}, {"5.", 5.0},
    {"-.5", -0.5}, {"+.5", 0.5}, {"1.e2", 100.0}, {"1e3", 1000.0}, {"1E3", 1000.0},
    {"1d3", 1000.0}, {"2.5D+1", 25.0}, {"1d-2", 0.01}, {"1e", 1.0}, {"1e+", 1.0}, {"1dx", 1.0},
    {"1.5e3.2", 1500.0}, {"1,5", 1.0}, {"12x5", 12.0}, {"0x1p3", 0.0}, {"inf", 0.0},
    {"-infinity", 0.0}, {"nan", 0.0}, {".", 0.0}, {"-", 0.0}, {"e5", 0.0}, {"d5", 0.0},
    {"", 0.0}, {"123456789012345678901234567890", 123456789012345678901234567890.0},
    {"1e-310", 1e-310}, {"0e99999", 0.0}, {"1e400", kInf}, {"-1D400", -kInf},
    {"1e99999999999999999", kInf}, {"99e307", kInf}, {"0.1e309", 1e308},
    {"0.000000000000000000000000000000000000000000000000000000000000001e370", 1e307},
    {"1000000000000000000000000000000000000000000000000000e300", kInf}, {"1e-400", 0.0},
    {"1e-99999999999999999", 0.0}, {"-0", -0.0}, {"-0.0d5", -0.0}, {"-1e-400", -0.0},
    {"0", 0.0}, {"2.2250738585072011e-308", 2.2250738585072011e-308},
    {"4.9406564584124654e-324", 4.9406564584124654e-324}, {"2.4703282292062327e-324", 0.0},
    {"1.7976931348623157e308", 1.7976931348623157e308}, {"1.7976931348623159e308", kInf},
    {"9007199254740993", 9007199254740992.0}, {"0.30000000000000004", 0.30000000000000004}
    // clang-format on
};

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST(NumberParsing, Reals) {
    for (const RealCase& c : kRealCases) {
        EXPECT_EQ(ParseReal(c.text), c.value) << '"' << c.text << '"';
    }
}

// The build without a floating-point from_chars reads reals by strtod: both
// ways must give the same bits (the sign of zero included) on the cases
// above and on numbers as model files hold them, up to a line's 79
// characters: digits, a point, "e"/"E"/"d"/"D" exponents, signs.
TEST(NumberParsing, RealsByStrtodAlike) {
    for (const RealCase& c : kRealCases) {
        EXPECT_TRUE(SameBits(ParseRealByStrtod(c.text), ParseReal(c.text))) << '"' << c.text << '"';
    }
    std::mt19937 random(22);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* const exponentMarks = "eEdD";
    for (int i = 0; i < 200000; ++i) {
        std::string text(static_cast<size_t>(pick(3)), ' ');
        if (pick(3) == 0)
            text += pick(2) ? '-' : '+';
        const int before = pick(4) == 0 ? pick(40) : pick(8);
        for (int k = 0; k < before; ++k)
            text += static_cast<char>('0' + (k == 0 && pick(3) == 0 ? 0 : pick(10)));
        if (pick(2)) {
            text += '.';
            const int after = pick(4) == 0 ? pick(40) : pick(10);
            for (int k = 0; k < after; ++k)
                text += static_cast<char>('0' + pick(10));
        }
        if (pick(2)) {
            text += exponentMarks[pick(4)];
            if (pick(2))
                text += pick(2) ? '-' : '+';
            const int digits = 1 + pick(pick(8) == 0 ? 6 : 3);
            for (int k = 0; k < digits; ++k)
                text += static_cast<char>('0' + pick(10));
        }
        text.resize(std::min<size_t>(text.size(), 79));
        ASSERT_TRUE(SameBits(ParseRealByStrtod(text.c_str()), ParseReal(text.c_str())))
            << '"' << text << '"';
    }
}

TEST(NumberParsing, RealSignOfZero) {
    EXPECT_TRUE(std::signbit(ParseReal("-0")));
    EXPECT_TRUE(std::signbit(ParseReal("-0.0d5")));
    EXPECT_TRUE(std::signbit(ParseReal("-1e-400")));
    EXPECT_FALSE(std::signbit(ParseReal("0")));
    EXPECT_FALSE(std::signbit(ParseReal("1e-400")));
}
