#include "platform/TextCodec.h"

#include <cstdio>

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t length;
        unsigned long code;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (bytes.size() - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto d = static_cast<unsigned char>(bytes[i + k]);
            if ((d & 0xC0u) != 0x80u)
                return false;
            code = (code << 6) | (d & 0x3Fu);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

std::string CodePageToUtf8(unsigned codePage, std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t taken = DecodeCodePageCharacter(codePage, bytes.substr(i), out);
        if (taken != 0) {
            i += taken;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", c);
        out += escape;
        ++i;
    }
    return out;
}

std::string_view Utf8Prefix(std::string_view utf8, size_t maxBytes) {
    if (utf8.size() <= maxBytes)
        return utf8;
    size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0u) == 0x80u)
        --cut;
    return utf8.substr(0, cut);
}

std::string NameAsUtf8(std::string_view bytes, unsigned codePage) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return CodePageToUtf8(codePage, bytes);
}

std::string AsciiLowercase(std::string_view text) {
    std::string s(text);
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}
