#include "model/NumberParsing.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#if OSTREL_HAVE_FLOAT_CHARCONV
#include <charconv>
#endif

namespace {

// The C locale's white space; the host's locale must not change it.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

int32_t ParseInteger(const char* text) {
    const char* p = text;
    while (IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulate towards the limit of the sign and stop growing there: the
    // value clamps instead of overflowing.
    const int64_t limit = negative ? int64_t{2147483648} : int64_t{2147483647};
    int64_t value = 0;
    while (IsDecimalDigit(*p)) {
        value = value * 10 + (*p - '0');
        if (value > limit) {
            value = limit;
        }
        ++p;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

namespace {

// A plain decimal without exponent; see ScanPlainDecimal.
bool ParsePlainDecimal(const char* p, double& value) {
    const char* end = ScanPlainDecimal(p, value);
    return end != nullptr && *end != 'e' && *end != 'E' && *end != 'd' && *end != 'D';
}

// A real's text past its white space, as both conversions below take it:
// the longest numeric prefix, "d"/"D" turned into "e", without a leading "+"
// (from_chars takes none), and what the overflow rule needs to know of it.
struct RealText {
    // A line holds at most 79 characters; longer texts are only ever cut
    // numbers, so 128 is ample for the mantissa digits that matter.
    char number[128];
    size_t length = 0;
    bool negative = false;
    bool anyDigit = false;
    bool seenNonZero = false;
    int64_t digitsBeforePoint = 0; // position of the point relative to the first non-zero digit
    int64_t exponent = 0;          // the exponent's value, counted up to a million
    const char* end = nullptr;     // where the number ends in the text
};

void ScanReal(const char* p, RealText& t) {
    auto put = [&](char c) {
        if (t.length + 1 < sizeof t.number) {
            t.number[t.length++] = c;
        }
    };
    if (*p == '+' || *p == '-') {
        t.negative = *p == '-';
        ++p;
    }
    if (t.negative) {
        put('-');
    }
    while (IsDecimalDigit(*p)) {
        t.anyDigit = true;
        t.seenNonZero = t.seenNonZero || *p != '0';
        if (t.seenNonZero) {
            ++t.digitsBeforePoint;
        }
        put(*p++);
    }
    if (*p == '.') {
        const char* afterPoint = p + 1;
        if (t.anyDigit || IsDecimalDigit(*afterPoint)) {
            put('.');
            p = afterPoint;
            while (IsDecimalDigit(*p)) {
                t.anyDigit = true;
                if (!t.seenNonZero) {
                    if (*p != '0') {
                        t.seenNonZero = true;
                    } else {
                        --t.digitsBeforePoint;
                    }
                }
                put(*p++);
            }
        }
    }
    t.end = p;
    if (!t.anyDigit) {
        return;
    }
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        const char* q = p + 1;
        bool expNegative = false;
        if (*q == '+' || *q == '-') {
            expNegative = *q == '-';
            ++q;
        }
        if (IsDecimalDigit(*q)) {
            put('e');
            if (expNegative) {
                put('-');
            }
            while (IsDecimalDigit(*q)) {
                if (t.exponent < 1000000) {
                    t.exponent = t.exponent * 10 + (*q - '0');
                }
                put(*q++);
            }
            if (expNegative) {
                t.exponent = -t.exponent;
            }
            t.end = q;
        }
    }
    t.number[t.length] = '\0';
}

// strtod on the scanned text: an infinity of the sign beyond the double
// range, a zero of the sign below it. The text holds no "inf", "nan" or hex
// form (the scan copies digits, a point and an "e" only); only the point
// could be misread, by a locale whose separator differs (it may take more
// than one byte), so it is replaced by the locale's.
double RealByStrtod(const RealText& t) {
    const char* separator = std::localeconv()->decimal_point;
    const char* point = std::strchr(t.number, '.');
    if (point == nullptr || std::strcmp(separator, ".") == 0) {
        return std::strtod(t.number, nullptr);
    }
    char local[sizeof t.number + 8];
    const size_t before = static_cast<size_t>(point - t.number);
    const size_t separatorLength = std::min(std::strlen(separator), size_t{8});
    std::memcpy(local, t.number, before);
    std::memcpy(local + before, separator, separatorLength);
    std::strcpy(local + before + separatorLength, point + 1);
    return std::strtod(local, nullptr);
}

#if OSTREL_HAVE_FLOAT_CHARCONV
double RealByFromChars(const RealText& t) {
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(t.number, t.number + t.length, value);
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value untouched; strtod gives an infinity
        // of the sign for an overflow and a zero of the sign for an
        // underflow. A non-zero mantissa with magnitude above 1 (decimal
        // exponent of its first digit) only overflows.
        const bool overflow = t.seenNonZero && t.digitsBeforePoint + t.exponent > 0;
        const double magnitude = overflow ? std::numeric_limits<double>::infinity() : 0.0;
        value = t.negative ? -magnitude : magnitude;
    }
    return value;
}
#endif

const char* SkipSpace(const char* p) {
    while (IsSpace(*p)) {
        ++p;
    }
    return p;
}

} // namespace

double ParseReal(const char* text) {
    const char* p = SkipSpace(text);
    if (double value; ParsePlainDecimal(p, value)) {
        return value;
    }
    RealText t;
    ScanReal(p, t);
    if (!t.anyDigit) {
        return 0.0;
    }
#if OSTREL_HAVE_FLOAT_CHARCONV
    return RealByFromChars(t);
#else
    return RealByStrtod(t);
#endif
}

const char* NumberEnd(const char* text, bool real) {
    const char* p = SkipSpace(text);
    if (real) {
        RealText t;
        ScanReal(p, t);
        return t.anyDigit ? t.end : nullptr;
    }
    p += (*p == '+' || *p == '-') ? 1 : 0;
    const char* digits = p;
    while (IsDecimalDigit(*p)) {
        ++p;
    }
    return p == digits ? nullptr : p;
}

double ParseRealByStrtod(const char* text) {
    RealText t;
    ScanReal(SkipSpace(text), t);
    return t.anyDigit ? RealByStrtod(t) : 0.0;
}
