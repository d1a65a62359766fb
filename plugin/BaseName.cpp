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
