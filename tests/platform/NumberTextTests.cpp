// Number text: the build's way (<charconv> where the library has it) and the
// printf way of the build without it give the same bytes, on the numbers the
// trace, the OBJ writer and the panel format: floats of every exponent,
// doubles of every kind, the values of the example models, and the edges.
#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string General(double v, int precision) {
    std::string s;
    AppendGeneral(s, v, precision);
    return s;
}

std::string Shortest(double v, NumberNotation notation) {
    std::string s;
    AppendShortest(s, v, notation);
    return s;
}

// Both ways, every form, one value.
void ExpectAlike(double v) {
    for (int precision : {1, 6, 9, 17}) {
        std::string byPrintf;
        AppendGeneralByPrintf(byPrintf, v, precision);
        ASSERT_EQ(General(v, precision), byPrintf) << v << " %." << precision << "g";
    }
    for (NumberNotation notation : {NumberNotation::Fixed, NumberNotation::Scientific}) {
        std::string byPrintf;
        AppendShortestByPrintf(byPrintf, v, notation);
        ASSERT_EQ(Shortest(v, notation), byPrintf)
            << v << (notation == NumberNotation::Fixed ? " fixed" : " scientific");
    }
}

double FromBits(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

float FloatFromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

} // namespace

TEST(NumberText, KnownForms) {
    EXPECT_EQ(General(static_cast<double>(0.1f), 9), "0.100000001");
    EXPECT_EQ(General(-0.0, 9), "-0");
    EXPECT_EQ(General(1e20, 9), "1e+20");
    EXPECT_EQ(General(-8, 9), "-8");
    EXPECT_EQ(General(0.1, 17), "0.10000000000000001");
    EXPECT_EQ(Shortest(0.125, NumberNotation::Fixed), "0.125");
    EXPECT_EQ(Shortest(100, NumberNotation::Fixed), "100");
    EXPECT_EQ(Shortest(1e-7, NumberNotation::Fixed), "0.0000001");
    EXPECT_EQ(Shortest(44.5, NumberNotation::Fixed), "44.5");
    EXPECT_EQ(Shortest(-0.0, NumberNotation::Fixed), "-0");
    EXPECT_EQ(Shortest(1e-7, NumberNotation::Scientific), "1e-07");
    EXPECT_EQ(Shortest(1.25e20, NumberNotation::Scientific), "1.25e+20");
    EXPECT_EQ(Shortest(1e300, NumberNotation::Scientific), "1e+300");
}

TEST(NumberText, EdgesAreAlike) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> edges = {
        0.0,
        -0.0,
        1.0,
        -1.0,
        0.5,
        10,
        90,
        44.5,
        1e15,
        1e-5,
        9.999999999999999e14,
        1e16,
        0.1,
        0.2,
        0.3,
        1.0 / 3,
        2.0 / 3,
        123456789,
        1e22,
        1e23,
        5e-324,
        -5e-324,
        std::numeric_limits<double>::min(),
        std::numeric_limits<double>::max(),
        -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::epsilon(),
        inf,
        -inf,
        static_cast<double>(std::numeric_limits<float>::max()),
        static_cast<double>(std::numeric_limits<float>::denorm_min()),
        9007199254740993.0,
        0.30000000000000004,
        1e-310,
        2.2250738585072009e-308};
    for (double v : edges)
        ExpectAlike(v);
    std::string nan;
    AppendGeneral(nan, std::nan(""), 9);
    EXPECT_TRUE(nan == "nan" || nan == "-nan") << nan;
}

TEST(NumberText, FloatsOfEveryExponentAreAlike) {
    // What the trace and the OBJ writer format: received floats, widened.
    std::mt19937 random(7);
    for (uint32_t exponent = 0; exponent < 255; ++exponent) {
        for (int i = 0; i < 40; ++i) {
            const uint32_t low = static_cast<uint32_t>(random()) & 0x7FFFFFu;
            const uint32_t sign = static_cast<uint32_t>(random()) & 1u;
            const uint32_t bits = exponent << 23 | low | sign << 31;
            ExpectAlike(static_cast<double>(FloatFromBits(bits)));
        }
    }
    // Scaled file coordinates: six decimals, times the plug-in's 8.
    for (int i = 0; i < 20000; ++i) {
        const double file =
            static_cast<double>(static_cast<int64_t>(random() % 20000001) - 10000000) / 1e6;
        ExpectAlike(static_cast<double>(static_cast<float>(file * 8)));
        ExpectAlike(file);
    }
}

TEST(NumberText, FloatsOnRoundingTiesAndCarriesAreAlike) {
    // Floats whose dropped digits are exactly one half (odd / 16 near 1e5
    // has ten significant digits ending in 5: ties to even), and those
    // whose rounding carries into a new digit (just below powers of ten).
    for (uint32_t odd = 1600001; odd < 1600001 + 2 * 4000; odd += 2) {
        const double v = odd / 16.0;
        for (int precision = 1; precision <= 9; ++precision) {
            std::string byPrintf;
            AppendGeneralByPrintf(byPrintf, v, precision);
            ASSERT_EQ(General(v, precision), byPrintf) << v << " %." << precision << "g";
        }
    }
    for (int power = -20; power <= 20; ++power) {
        const float ten = static_cast<float>(std::pow(10.0, power));
        float v = ten;
        for (int step = 0; step < 40; ++step) {
            for (int precision = 1; precision <= 9; ++precision) {
                std::string byPrintf;
                AppendGeneralByPrintf(byPrintf, double{v}, precision);
                ASSERT_EQ(General(double{v}, precision), byPrintf)
                    << double{v} << " %." << precision << "g";
            }
            v = std::nextafter(v, 0.0f);
        }
    }
}

TEST(NumberText, DoublesOfEveryExponentAreAlike) {
    // What the panel shows and the trace's doubles: any double at all.
    std::mt19937_64 random(11);
    for (uint64_t exponent = 0; exponent < 2047; exponent += 3) {
        for (int i = 0; i < 6; ++i) {
            const uint64_t bits =
                exponent << 52 | (random() & 0xFFFFFFFFFFFFFull) | (random() & 1) << 63;
            ExpectAlike(FromBits(bits));
        }
    }
    // Short decimals, the kind a user types into the panel.
    for (int i = 0; i < 5000; ++i) {
        const double typed = static_cast<double>(random() % 100000) /
                             std::pow(10.0, static_cast<double>(random() % 8));
        ExpectAlike(typed);
    }
}

// A number typed by a user is read whole, or not at all.
TEST(NumberText, TypedNumbersAreReadWhole) {
    double d = 0;
    EXPECT_TRUE(ParseFiniteDouble("-0.5e1", d));
    EXPECT_EQ(d, -5.0);
    EXPECT_FALSE(ParseFiniteDouble("", d) || ParseFiniteDouble("inf", d) ||
                 ParseFiniteDouble(" 2", d) || ParseFiniteDouble("2 ", d));
    EXPECT_FALSE(ParsePositiveDouble("-0", d));
    int32_t v = 0;
    EXPECT_TRUE(ParseInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(ParseInt32("2147483648", v) || ParseInt32("1.5", v));
    EXPECT_EQ(v, INT32_MIN);
}
