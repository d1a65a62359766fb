// Decimal text of numbers, byte for byte the same from every build. It gives
// the printf forms that the trace and the OBJ writer use. It also gives the
// shortest form that reads back to the same value, which the panel shows.
//
// Two ways lead to the same bytes. The C++ library's <charconv> is the fast
// one. But not every library has it for floating point, and the WebAssembly
// build's has none. printf and strtod in the C locale exist everywhere. The
// build takes <charconv> where the library has it (NumberText.cpp). The tests
// hold the printf way to the same bytes.
#pragma once

#include <cstdint>
#include <string>

// As printf's "%.*g" with `precision` (1 to 17) in the C locale: "0.100000001",
// "-0", "1e+20", "inf", "nan".
void AppendGeneral(std::string& out, double value, int precision);
// The same text, written at `at`, which has room for kGeneralTextMax
// characters. The longest text is 24 characters: "-2.2250738585072014e-308".
// Returns its end. For writers that form a line in a buffer of their own.
constexpr int kGeneralTextMax = 32;
char* WriteGeneral(char* at, double value, int precision);
// The longest of those texts at `precision`: a sign, the digits, the point
// and an exponent such as "e-308". For writers that size their text first.
constexpr int GeneralTextMost(int precision) {
    return precision + 7;
}

// The fewest significant digits that read back to `value`. Where several
// decimals have as few, the closest is taken. It is written in fixed notation
// ("0.125", "100", "0.0000001") or in scientific notation ("1.25e-01",
// "1e+20"). Infinities are written "inf" and "-inf", and NaN "nan" or "-nan".
enum class NumberNotation { Fixed, Scientific };
void AppendShortest(std::string& out, double value, NumberNotation notation);

// The same two, by printf and strtod alone, whatever the library has. The build
// without <charconv> uses these, and the tests compare with them.
void AppendGeneralByPrintf(std::string& out, double value, int precision);
void AppendShortestByPrintf(std::string& out, double value, NumberNotation notation);

// Numbers as a user types them, read whole. Each returns false for text that is
// not such a number, and then leaves `out` alone. No white space is taken,
// before or after. Nothing out of range is taken either.
bool ParseFiniteDouble(const std::string& text, double& out);   // a finite real
bool ParsePositiveDouble(const std::string& text, double& out); // ... above 0
bool ParseInt32(const std::string& text, int32_t& out);         // a decimal integer
