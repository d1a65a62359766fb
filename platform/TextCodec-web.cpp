#include "platform/TextCodec.h"

#include <cstdint>
#include <string>

// The WebAssembly build has no system converter for Shift-JIS (the C
// library's knows an older form of it, without the Windows extensions), so
// it carries the table of code page 932, generated at build time by
// tools/cp932-table.py. Other code pages decode nothing: this build only ever
// reads names as Shift-JIS or UTF-8.

unsigned SystemCodePage() {
    return kShiftJisCodePage;
}

namespace {

// Lead bytes 0x81-0x9F and 0xE0-0xFC by trail bytes 0x40-0xFC; 0: no
// character.
constexpr uint16_t kDoubleByte[60][189] = {
#include <cp932-table.inc>
};

bool IsLeadByte(unsigned b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

void AppendUtf8(std::string& out, unsigned c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

size_t DecodeCodePageCharacter(unsigned codePage, std::string_view bytes, std::string& utf8) {
    if (codePage != kShiftJisCodePage || bytes.empty())
        return 0;
    const unsigned b = static_cast<unsigned char>(bytes[0]);
    if (b < 0x80) {
        utf8 += static_cast<char>(b);
        return 1;
    }
    if (b >= 0xA1 && b <= 0xDF) { // half-width katakana
        AppendUtf8(utf8, 0xFF61 + (b - 0xA1));
        return 1;
    }
    if (!IsLeadByte(b) || bytes.size() < 2)
        return 0;
    const unsigned trail = static_cast<unsigned char>(bytes[1]);
    if (trail < 0x40 || trail > 0xFC)
        return 0;
    const unsigned row = b <= 0x9F ? b - 0x81 : b - 0xE0 + 31;
    const unsigned c = kDoubleByte[row][trail - 0x40];
    if (c == 0)
        return 0;
    AppendUtf8(utf8, c);
    return 2;
}
