#include "platform/NumberText.h"

#include <cmath>
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

// The shortest "%.*e" text that reads back to `value` (finite): the digits
// without the point, and the decimal exponent of the first digit. The
// correctly rounded text of each length is the closest decimal of that
// length, so the first length that reads back is the shortest, and the
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
        // A whole number: every fixed form of it is as long, so the closest,
        // the exact value, is the one (and printf's "%.0f" is exact).
        char buffer[400];
        const int n = std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(value));
        out.append(buffer, static_cast<size_t>(n));
    } else {
        out.append(digits, 0, static_cast<size_t>(exponent + 1));
        out += '.';
        out.append(digits, static_cast<size_t>(exponent + 1));
    }
}

#if OSTREL_HAVE_FLOAT_CHARCONV

void AppendGeneral(std::string& out, double value, int precision) {
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    out.append(buffer, r.ptr);
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

void AppendGeneral(std::string& out, double value, int precision) {
    AppendGeneralByPrintf(out, value, precision);
}

void AppendShortest(std::string& out, double value, NumberNotation notation) {
    AppendShortestByPrintf(out, value, notation);
}

#endif
