#include "plugin/Plugin.h"

#include <cstring>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

void DeriveBaseName(const char* path, LeadBytePredicate isLeadByte, char* out) {
    const char* p = path;
    if (p[0] != '\0' && p[1] == ':') {
        p += 2; // drive letter
    }
    const char* start = p;
    const char* lastDot = nullptr;
    while (*p != '\0') {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (isLeadByte != nullptr && isLeadByte(c) && p[1] != '\0') {
            p += 2; // the second byte of a double-byte character is no separator
            continue;
        }
        if (c == '/' || c == '\\') {
            start = p + 1;
        } else if (c == '.') {
            lastDot = p;
        }
        ++p;
    }
    const char* stop = (lastDot != nullptr && lastDot >= start) ? lastDot : p;
    size_t length = static_cast<size_t>(stop - start);
    if (length > kBaseNameCapacity - 1) {
        length = kBaseNameCapacity - 1;
    }
    std::memcpy(out, start, length);
    out[length] = '\0';
}

LeadBytePredicate SystemLeadBytePredicate() {
#if defined(_WIN32)
    return [](unsigned char byte) { return IsDBCSLeadByte(byte) != 0; };
#else
    return nullptr;
#endif
}

LeadBytePredicate CodePageLeadBytePredicate(uint32_t codePage) {
    switch (codePage) {
    case 932:
        return [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
    case 936:
    case 949:
    case 950:
        return [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    default:
        return nullptr;
    }
}

namespace {

// Whether `text` is UTF-8 throughout: every sequence whole, none longer
// than it needs, no surrogate, nothing past U+10FFFF.
[[maybe_unused]] bool IsUtf8(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        const unsigned char c = *p;
        const int tail = c < 0x80                 ? 0
                         : c >= 0xC2 && c <= 0xDF ? 1
                         : c >= 0xE0 && c <= 0xEF ? 2
                         : c >= 0xF0 && c <= 0xF4 ? 3
                                                  : -1;
        if (tail < 0)
            return false;
        if (tail >= 2) {
            const unsigned char d = p[1];
            if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) || (c == 0xF0 && d < 0x90) ||
                (c == 0xF4 && d > 0x8F))
                return false;
        }
        for (int i = 1; i <= tail; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        p += 1 + tail;
    }
    return true;
}

} // namespace

LeadBytePredicate BaseNameLeadBytes(const char* path, uint32_t codePage) {
#if defined(_WIN32)
    (void)path;
    return codePage == 0 ? SystemLeadBytePredicate() : CodePageLeadBytePredicate(codePage);
#else
    if (IsUtf8(path))
        return nullptr;
    return CodePageLeadBytePredicate(codePage == 0 ? kPluginCodePage : codePage);
#endif
}
