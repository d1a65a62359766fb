// The stand-in host's call trace (--trace), in its fixed format:
// one line per call the plug-in makes to the host, in call
// order, ending with a `result` line.
//
// Lines are built as std::string with the Append* helpers and written whole
// by TraceLine, to a stream as they come (a large trace need not fit in
// memory), to a string, or both. A Trace with neither traces nothing
// (formatting is then skipped by the callers that test TraceEnabled).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct Trace {
    std::FILE* out = nullptr;
    std::string* text = nullptr;
    bool writeFailed = false; // a write to `out` failed (reported at the end)
};

inline bool TraceEnabled(const Trace* trace) {
    return trace != nullptr && (trace->out != nullptr || trace->text != nullptr);
}

// Writes `line` and a line feed. Never throws.
void TraceLine(Trace* trace, const std::string& line) noexcept;

// A text argument in double quotes: bytes 0x20..0x7E other than '"' and '\'
// as they are, '\"', '\\', every other byte as \xHH (lowercase hex). A null
// pointer is written as the bare word `null`.
void AppendQuoted(std::string& line, const char* text);
// The same for `size` bytes (NUL bytes included, escaped as \x00).
void AppendQuotedBytes(std::string& line, const char* bytes, size_t size);

void AppendInt(std::string& line, long long value);
// A 32-bit float with "%.9g" (so -0 prints as -0).
void AppendFloat9(std::string& line, float value);
// A double with "%.17g".
void AppendDouble17(std::string& line, double value);
// Bytes as uppercase hex, no separators.
void AppendHexUpper(std::string& line, const void* bytes, size_t size);
