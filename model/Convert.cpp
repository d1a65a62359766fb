#include "model/Model.h"

#include <charconv>
#include <cstdint>
#include <limits>

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

} // namespace

double ParseReal(const char* text) {
    const char* p = text;
    while (IsSpace(*p)) {
        ++p;
    }
    if (double value; ParsePlainDecimal(p, value)) {
        return value;
    }
    // Copy the longest numeric prefix, "d"/"D" turned into "e", without a
    // leading "+" (from_chars takes none). A line holds at most 79
    // characters; longer texts are only ever cut numbers, so 128 is ample
    // for the mantissa digits that matter, the rest is counted.
    char number[128];
    size_t length = 0;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t digitsBeforePoint = 0; // position of the point relative to the first non-zero digit
    bool seenNonZero = false;
    bool anyDigit = false;
    auto put = [&](char c) {
        if (length + 1 < sizeof number) {
            number[length++] = c;
        }
    };
    if (negative) {
        put('-');
    }
    while (IsDecimalDigit(*p)) {
        anyDigit = true;
        seenNonZero = seenNonZero || *p != '0';
        if (seenNonZero) {
            ++digitsBeforePoint;
        }
        put(*p++);
    }
    if (*p == '.') {
        const char* afterPoint = p + 1;
        if (anyDigit || IsDecimalDigit(*afterPoint)) {
            put('.');
            p = afterPoint;
            while (IsDecimalDigit(*p)) {
                anyDigit = true;
                if (!seenNonZero) {
                    if (*p != '0') {
                        seenNonZero = true;
                    } else {
                        --digitsBeforePoint;
                    }
                }
                put(*p++);
            }
        }
    }
    if (!anyDigit) {
        return 0.0;
    }
    int64_t exponent = 0;
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
                if (exponent < 1000000) {
                    exponent = exponent * 10 + (*q - '0');
                }
                put(*q++);
            }
            if (expNegative) {
                exponent = -exponent;
            }
        }
    }
    double value = 0.0;
    std::from_chars_result r = std::from_chars(number, number + length, value);
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value untouched; strtod gives an infinity
        // of the sign for an overflow and a zero of the sign for an
        // underflow. A non-zero mantissa with magnitude above 1 (decimal
        // exponent of its first digit) only overflows.
        const bool overflow = seenNonZero && digitsBeforePoint + exponent > 0;
        const double magnitude = overflow ? std::numeric_limits<double>::infinity() : 0.0;
        value = negative ? -magnitude : magnitude;
    }
    return value;
}
