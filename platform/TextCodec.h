// Text: the byte strings the plug-in and the system hand over, and the UTF-8
// that terminals and the glTF, OBJ and FBX formats expect. The byte strings are
// labels, surface names and file names.
//
// The one platform difference is how a character of a code page is decoded.
// TextCodec-posix.cpp uses iconv. TextCodec-win32.cpp uses the Win32 code page
// functions. Everything else here is the same on every system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Shift-JIS as the host's Japanese systems use it (Windows code page 932).
constexpr unsigned kShiftJisCodePage = 932;

// The code page the system's own byte strings are in. On Windows it is the ANSI
// code page. Elsewhere it is 932, since a name that is not UTF-8 there can only
// have come from a model file named on such a system, or from a typed `--name`.
unsigned SystemCodePage();

// Decodes the one character at the start of `bytes` from `codePage`, and
// appends it to `utf8`. `bytes` must not be empty. Returns how many bytes it
// took. Returns 0, appending nothing, when they do not start a character of
// that code page.
size_t DecodeCodePageCharacter(unsigned codePage, std::string_view bytes, std::string& utf8);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// `bytes` decoded from `codePage`. A byte that starts no character of it is
// written as the four characters "\xHH", in lowercase hex. Decoding goes on
// after it. ASCII stays as it is.
std::string CodePageToUtf8(unsigned codePage, std::string_view bytes);

// The rule for names shown to people and written into formats that are read as
// UTF-8. Valid UTF-8 is kept as it is. Anything else is taken as text of
// `codePage`; for what the system hands over, that is SystemCodePage(). Bytes
// that decode in neither become "\xHH".
std::string NameAsUtf8(std::string_view bytes, unsigned codePage);

// The longest start of `utf8` of at most `maxBytes` bytes that cuts no
// character in two (for text shown in a field of limited width).
std::string_view Utf8Prefix(std::string_view utf8, size_t maxBytes);

// `text` with the ASCII capitals A-Z made small; every other byte kept.
std::string AsciiLowercase(std::string_view text);

// The plug-in's labels and titles are Shift-JIS whatever the system.
inline std::string ShiftJisToUtf8(std::string_view bytes) {
    return CodePageToUtf8(kShiftJisCodePage, bytes);
}
