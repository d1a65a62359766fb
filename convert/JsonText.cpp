#include "convert/JsonText.h"

#include <nlohmann/json.hpp> // for its number form alone (detail::to_chars)

#include <cassert>
#include <cmath>
#include <cstdio>

void JsonText::NewLine() {
    if (pretty) {
        out += '\n';
        out.append(static_cast<size_t>(2 * depth), ' ');
    }
}

void JsonText::Open(char bracket) {
    out += bracket;
    ++depth;
    empty = true;
}

void JsonText::Close(char bracket) {
    --depth;
    if (!empty)
        NewLine();
    out += bracket;
    empty = false; // the enclosing object or array holds this one
}

void JsonText::Item() {
    if (!empty)
        out += ',';
    NewLine();
    empty = false;
}

void JsonText::Key(const char* name) {
    Item();
    String(name);
    out += pretty ? ": " : ":";
}

void JsonText::String(std::string_view s) {
    out += '"';
    for (const char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c; // UTF-8 bytes as they are
            }
        }
    }
    out += '"';
}

void JsonText::Unsigned(uint64_t value) {
    out += std::to_string(value);
}

void JsonText::Number(double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char digits[64];
    const char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<size_t>(end - digits));
}

void JsonText::Member(const char* key, uint64_t value) {
    Key(key);
    Unsigned(value);
}

void JsonText::Member(const char* key, int value) {
    assert(value >= 0);
    Member(key, static_cast<uint64_t>(value));
}

void JsonText::Member(const char* key, std::string_view value) {
    Key(key);
    String(value);
}

void JsonText::Numbers(const char* key, const double* values, size_t n) {
    Key(key);
    Open('[');
    for (size_t i = 0; i < n; ++i) {
        Item();
        Number(values[i]);
    }
    Close(']');
}
