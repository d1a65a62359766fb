#include "platform/TextCodec.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

unsigned SystemCodePage() {
    return GetACP();
}

size_t DecodeCodePageCharacter(unsigned codePage, std::string_view bytes, std::string& utf8) {
    if (bytes.empty())
        return 0;
    // The code pages in use here have characters of one or two bytes; a lead
    // byte names which.
    const size_t length =
        IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[0])) != 0 ? size_t{2} : size_t{1};
    if (bytes.size() < length)
        return 0;
    wchar_t wide[4];
    const int wideLength = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                               static_cast<int>(length), wide, 4);
    if (wideLength <= 0)
        return 0;
    char out[16];
    const int outLength =
        WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, out, sizeof out, nullptr, nullptr);
    if (outLength <= 0)
        return 0;
    utf8.append(out, static_cast<size_t>(outLength));
    return length;
}
