// JSON text appended to a string as it is written, compact or with two
// spaces per level, in the layout of the JSON library the glTF files were
// first written with: `"key":value` (or `"key": value`), an empty object or
// array as `{}` or `[]`, numbers in the shortest form that reads back as the
// same double. The caller writes the members of an object in the byte order
// of their keys. Every step is an append, so memory running out is a
// std::bad_alloc and leaves nothing half-made to free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct JsonText {
    std::string& out;
    bool pretty;
    int depth = 0;
    bool empty = true; // the innermost open object or array has no item yet

    void Open(char bracket);  // '{' or '['
    void Close(char bracket); // '}' or ']'
    void Item();              // before each element of an array
    void Key(const char* name);
    // `s` is UTF-8; quotes, backslashes and control characters escaped.
    void String(std::string_view s);
    void Unsigned(uint64_t value);
    // The shortest digits that read back as `value`, with ".0" on whole
    // numbers; a value that is not finite as null.
    void Number(double value);

    void Member(const char* key, uint64_t value);
    void Member(const char* key, int value); // value >= 0
    void Member(const char* key, std::string_view value);
    void Numbers(const char* key, const double* values, size_t n); // an array

  private:
    void NewLine();
};
