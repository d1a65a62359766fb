#include "platform/NumberText.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if OSTREL_HAVE_FLOAT_CHARCONV
#include <charconv>
#endif

void AppendGeneralByPrintf(std::string& out, double value, int precision) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    out.append(buffer, static_cast<size_t>(n));
}

namespace {

// The shortest "%.*e" text that reads back to `value`, which is finite. It
// gives the digits without the point, and the decimal exponent of the first
// digit. The correctly rounded text of each length is the closest decimal of
// that length. So the first length that reads back is the shortest, and the
// closest among the shortest.
void ShortestDigits(double value, std::string& digits, int& exponent) {
    char buffer[64];
    for (int precision = 0; precision <= 16; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*e", precision, value);
        if (std::strtod(buffer, nullptr) == value || precision == 16)
            break;
    }
    const char* p = buffer + (buffer[0] == '-' ? 1 : 0);
    const char* e = std::strchr(p, 'e');
    digits.clear();
    for (const char* c = p; c != e; ++c) {
        if (*c != '.')
            digits += *c;
    }
    exponent = std::atoi(e + 1);
}

} // namespace

void AppendShortestByPrintf(std::string& out, double value, NumberNotation notation) {
    if (!std::isfinite(value)) {
        out += std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan")
                                 : (value < 0 ? "-inf" : "inf");
        return;
    }
    if (std::signbit(value))
        out += '-';
    if (value == 0) {
        out += notation == NumberNotation::Fixed ? "0" : "0e+00";
        return;
    }
    std::string digits;
    int exponent = 0;
    ShortestDigits(value, digits, exponent);
    if (notation == NumberNotation::Scientific) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        char text[16];
        std::snprintf(text, sizeof text, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += text;
        return;
    }
    // Fixed: the digits placed around the point, zeros filling either side.
    const int count = static_cast<int>(digits.size());
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
    } else if (exponent + 1 >= count) {
        // A whole number. Every fixed form of it is as long, so the closest
        // is the exact value. printf's "%.0f" is exact.
        char buffer[400];
        const int n = std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(value));
        out.append(buffer, static_cast<size_t>(n));
    } else {
        out.append(digits, 0, static_cast<size_t>(exponent + 1));
        out += '.';
        out.append(digits, static_cast<size_t>(exponent + 1));
    }
}

#if defined(__SIZEOF_INT128__)
#define OSTREL_HAVE_FAST_FLOAT_GENERAL 1

namespace {

using Wide = unsigned __int128;

struct PowersOfTen {
    Wide value[28];
    constexpr PowersOfTen() : value() {
        value[0] = 1;
        for (int i = 1; i < 28; ++i)
            value[i] = value[i - 1] * 10;
    }
};
constexpr PowersOfTen kPowersOfTen;

// 10^k for k 0 to 27.
Wide PowerOfTen(int k) {
    return kPowersOfTen.value[k];
}

// q / d rounded to the nearest integer, ties to even. That is printf's rounding
// of an exact value in the default rounding mode.
Wide DivideRounded(Wide q, Wide d) {
    const Wide whole = q / d, rest = q % d;
    const Wide twice = rest * 2;
    return twice > d || (twice == d && (whole & 1) != 0) ? whole + 1 : whole;
}

// The same for d = 2^shift (shift 1 to 127), without a division.
Wide ShiftRounded(Wide q, int shift) {
    const Wide whole = q >> shift, rest = q & ((Wide{1} << shift) - 1);
    const Wide half = Wide{1} << (shift - 1);
    return rest > half || (rest == half && (whole & 1) != 0) ? whole + 1 : whole;
}

namespace {

// Writes `precision` significant digits of a value whose decimal exponent is
// `exponent`, as "%.*g" does. `digits` holds them, below 10^9. The text is
// plain or with an exponent, with trailing zeros dropped. Returns the end of
// what it wrote.
char* WriteDecimal(char* at, bool negative, uint32_t digits, int exponent, int precision) {
    char text[16];
    uint32_t d = digits;
    for (int n = precision; n-- > 0; d /= 10)
        text[n] = static_cast<char>('0' + d % 10);
    int kept = precision; // trailing zeros are not written
    // The longest text is a sign, "0.000" and nine digits, or a sign, the
    // digits and "e-45".
    if (negative)
        *at++ = '-';
    if (exponent >= -4 && exponent < precision) {
        const int whole = exponent < 0 ? 0 : exponent + 1;
        while (kept > whole && kept > 1 && text[kept - 1] == '0')
            --kept;
        if (exponent < 0) {
            *at++ = '0';
            *at++ = '.';
            for (int i = -1; i > exponent; --i)
                *at++ = '0';
        } else {
            std::memcpy(at, text, static_cast<size_t>(whole));
            at += whole;
            if (kept > whole)
                *at++ = '.';
        }
        std::memcpy(at, text + whole, static_cast<size_t>(kept - whole));
        at += kept - whole;
    } else {
        while (kept > 1 && text[kept - 1] == '0')
            --kept;
        *at++ = text[0];
        if (kept > 1) {
            *at++ = '.';
            std::memcpy(at, text + 1, static_cast<size_t>(kept - 1));
            at += kept - 1;
        }
        const int a = exponent < 0 ? -exponent : exponent;
        *at++ = 'e';
        *at++ = exponent < 0 ? '-' : '+';
        if (a >= 10)
            *at++ = static_cast<char>('0' + a / 10);
        else
            *at++ = '0';
        *at++ = static_cast<char>('0' + a % 10);
    }
    return at;
}

} // namespace

// "%.*g" of a float widened to double, by exact integer arithmetic. Every
// writer formats such values, since the received coordinates and normals are
// floats. The float is m * 2^e. Its `precision` leading digits are
// m * 10^k * 2^e, rounded. 128 bits hold that exactly for the exponents taken
// here.
// Returns null, writing nothing, for the values it does not take: zero, not a
// float, not finite, or outside the range. The general way formats those.
char* WriteFloatGeneral(char* at, double value, int precision) {
    if (!(precision >= 1 && precision <= 9) || !std::isfinite(value) || value == 0)
        return nullptr;
    const float single = static_cast<float>(value);
    if (static_cast<double>(single) != value)
        return nullptr;
    uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    const int biased = static_cast<int>(bits >> 23 & 0xFF);
    const uint32_t mantissa = biased == 0 ? (bits & 0x7FFFFF) : (bits & 0x7FFFFF) | 0x800000;
    const int e = (biased == 0 ? 1 : biased) - 150;
    // Past these, m * 10^k * 2^e leaves 128 bits.
    if (e < -100 || e > 60)
        return nullptr;
    // The digits for a guess of the decimal exponent. The guess is corrected
    // when it was one off, with log10 near a power of ten, or when the rounding
    // carried.
    // The guess is floor(log10(2^b)) for the float's leading bit b, using
    // 78913 / 2^18 ~ log10(2). It is the decimal exponent, or one below it.
    const int leading = e + 31 - __builtin_clz(mantissa);
    int exponent = leading >= 0 ? (leading * 78913) >> 18 : -((-leading * 78913 + 262143) >> 18);
    const Wide low = PowerOfTen(precision - 1), high = PowerOfTen(precision);
    Wide digits = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int k = precision - 1 - exponent;
        if (k > 27 || k < -27)
            return nullptr;
        if (k >= 0) {
            const Wide scaled = Wide{mantissa} * PowerOfTen(k);
            digits = e >= 0 ? scaled << e : ShiftRounded(scaled, -e);
        } else {
            const Wide whole = e >= 0 ? Wide{mantissa} << e : Wide{mantissa};
            digits = e >= 0 ? DivideRounded(whole, PowerOfTen(-k))
                            : DivideRounded(whole, PowerOfTen(-k) << -e);
        }
        if (digits >= high)
            ++exponent;
        else if (digits < low)
            --exponent;
        else
            break;
    }
    if (digits < low || digits >= high)
        return nullptr;

    return WriteDecimal(at, value < 0, static_cast<uint32_t>(digits), exponent, precision);
}

} // namespace

#endif

#if OSTREL_HAVE_FLOAT_CHARCONV

char* WriteGeneral(char* at, double value, int precision) {
#if OSTREL_HAVE_FAST_FLOAT_GENERAL
    if (char* end = WriteFloatGeneral(at, value, precision))
        return end;
#endif
    return std::to_chars(at, at + kGeneralTextMax, value, std::chars_format::general, precision)
        .ptr;
}

void AppendShortest(std::string& out, double value, NumberNotation notation) {
    // Room for the longest fixed form: 309 digits before the point of the
    // largest double, or 324 after it for the smallest.
    char buffer[400];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value,
                      notation == NumberNotation::Fixed ? std::chars_format::fixed
                                                        : std::chars_format::scientific);
    out.append(buffer, r.ptr);
}

#else

char* WriteGeneral(char* at, double value, int precision) {
#if OSTREL_HAVE_FAST_FLOAT_GENERAL
    if (char* end = WriteFloatGeneral(at, value, precision))
        return end;
#endif
    const int n = std::snprintf(at, kGeneralTextMax, "%.*g", precision, value);
    return at + n;
}

void AppendShortest(std::string& out, double value, NumberNotation notation) {
    AppendShortestByPrintf(out, value, notation);
}

#endif

void AppendGeneral(std::string& out, double value, int precision) {
    char buffer[kGeneralTextMax];
    out.append(buffer, WriteGeneral(buffer, value, precision));
}

namespace {

bool StartsWithSpace(const std::string& text) {
    return text.empty() || std::strchr(" \t\n\r\f\v", text[0]) != nullptr;
}

// The whole of `text` read by `convert`, such as strtod or strtoll. It takes no
// leading white space and leaves nothing over. Nothing out of range is taken.
template <typename T, typename Convert>
bool ParseWhole(const std::string& text, Convert convert, T& value) {
    if (StartsWithSpace(text))
        return false;
    errno = 0;
    char* end = nullptr;
    value = convert(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno != ERANGE;
}

} // namespace

bool ParseFiniteDouble(const std::string& text, double& out) {
    double value = 0;
    const auto real = [](const char* p, char** end) { return std::strtod(p, end); };
    if (!ParseWhole(text, real, value) || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool ParsePositiveDouble(const std::string& text, double& out) {
    double value = 0;
    if (!ParseFiniteDouble(text, value) || !(value > 0))
        return false;
    out = value;
    return true;
}

bool ParseInt32(const std::string& text, int32_t& out) {
    long long value = 0;
    const auto decimal = [](const char* p, char** end) { return std::strtoll(p, end, 10); };
    if (!ParseWhole(text, decimal, value) || value < INT32_MIN || value > INT32_MAX)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}
