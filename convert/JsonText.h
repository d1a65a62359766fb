// JSON text, appended to a string as it is written. It is compact, or indented
// by two spaces per level. The layout is that of the JSON library the glTF
// files were first written with. A member is `"key":value`, or `"key": value`
// when indented. An empty object or array is `{}` or `[]`. Numbers take the
// shortest form that reads back as the same double.
// The caller writes the members of an object in the byte order of their keys.
// Every step is an append. So memory running out is a std::bad_alloc and leaves
// nothing half-made to free.
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
    // `s` is UTF-8. Quotes, backslashes and control characters are escaped.
    void String(std::string_view s);
    void Unsigned(uint64_t value);
    // The shortest digits that read back as `value`, with ".0" on whole
    // numbers. A value that is not finite is written as null.
    void Number(double value);

    void Member(const char* key, uint64_t value);
    void Member(const char* key, int value); // value >= 0
    void Member(const char* key, std::string_view value);
    void Numbers(const char* key, const double* values, size_t n); // an array

  private:
    void NewLine();
};
