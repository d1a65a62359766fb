#include "standin/Trace.h"

#include "platform/NumberText.h"

#include <cstdio>

void TraceLine(Trace* trace, const std::string& line) noexcept {
    if (!TraceEnabled(trace))
        return;
    if (trace->out != nullptr &&
        (std::fwrite(line.data(), 1, line.size(), trace->out) != line.size() ||
         std::fputc('\n', trace->out) == EOF)) {
        trace->writeFailed = true;
    }
    if (trace->text != nullptr) {
        try {
            trace->text->append(line).push_back('\n');
        } catch (...) {
            trace->writeFailed = true; // out of memory: the trace is incomplete
        }
    }
}

void AppendQuotedBytes(std::string& line, const char* bytes, size_t size) {
    static const char kHex[] = "0123456789abcdef";
    line += '"';
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            line += '\\';
            line += static_cast<char>(c);
        } else if (c >= 0x20 && c <= 0x7E) {
            line += static_cast<char>(c);
        } else {
            line += "\\x";
            line += kHex[c >> 4];
            line += kHex[c & 15];
        }
    }
    line += '"';
}

void AppendQuoted(std::string& line, const char* text) {
    if (text == nullptr) {
        line += "null";
        return;
    }
    AppendQuotedBytes(line, text, std::char_traits<char>::length(text));
}

void AppendInt(std::string& line, long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld", value);
    line += buffer;
}

void AppendFloat9(std::string& line, float value) {
    AppendGeneral(line, static_cast<double>(value), 9);
}

void AppendDouble17(std::string& line, double value) {
    AppendGeneral(line, value, 17);
}

void AppendHexUpper(std::string& line, const void* bytes, size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    line.reserve(line.size() + 2 * size);
    for (size_t i = 0; i < size; ++i) {
        line += kHex[p[i] >> 4];
        line += kHex[p[i] & 15];
    }
}
