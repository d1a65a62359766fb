// The model file's number fields as text to numbers, the same on every
// system and in every locale: integers that clamp, reals with the file's
// exponent letters, and the plain decimal fast path the reader takes for the
// usual field.
#pragma once

#include <cstdint>

// Leading white space, optional sign, decimal digits; no digits gives 0.
// Values beyond 32 bits clamp to INT32_MIN / INT32_MAX.
int32_t ParseInteger(const char* text);
// Leading white space, then the longest prefix forming a decimal number with
// optional "e", "E", "d" or "D" exponent, point as separator whatever the
// locale; no number gives 0.0; beyond the double range gives an infinity of
// the sign (an underflow gives a zero of the sign).
double ParseReal(const char* text);
// The same by strtod in the C locale's manner: what a C++ library without a
// floating-point std::from_chars (the WebAssembly build's) uses, and what the
// tests compare the other way with.
double ParseRealByStrtod(const char* text);
// Where the number that ParseReal (`real`) or ParseInteger reads from `text`
// ends; null when the text holds none (read as 0). For telling the user of a
// field that holds more than a number, or none.
const char* NumberEnd(const char* text, bool real);

// The decimal digits, whatever the locale.
inline bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// The common plain decimal ("-123.456789"): optional sign, digits, optional
// point and digits, at most 15 digits in all, at `p`. Returns the position
// after it and sets `value`, or returns null for anything else (no digit, a
// 16th digit). Its digits form an integer below 2^53 and its point a division
// by an exact power of ten, so one IEEE division gives the correctly rounded
// value, the one ParseReal gives for it. Reads no more than 20 bytes, so it may
// scan a buffer that is not terminated but holds that many.
inline const char* ScanPlainDecimal(const char* p, double& value) {
    constexpr double kExactPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = *p == '-';
    p += (*p == '+' || *p == '-') ? 1 : 0;
    uint64_t digits = 0;
    int32_t count = 0;
    int32_t fraction = 0;
    for (; count <= 15 && IsDecimalDigit(*p); ++p, ++count) {
        digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (*p == '.') {
        for (++p; count <= 15 && IsDecimalDigit(*p); ++p, ++count, ++fraction) {
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
        }
    }
    if (count == 0 || count > 15) {
        return nullptr;
    }
    const double magnitude = static_cast<double>(digits) / kExactPowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return p;
}
