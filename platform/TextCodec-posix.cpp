#include "platform/TextCodec.h"

#include <iconv.h>

#include <string>

unsigned SystemCodePage() {
    return kShiftJisCodePage;
}

namespace {

// One converter per code page for the life of the process; iconv_t is not
// shareable between threads, and the stand-in host runs on one.
iconv_t ConverterFor(unsigned codePage) {
    static unsigned openedFor = 0;
    static iconv_t converter = reinterpret_cast<iconv_t>(-1);
    if (openedFor == codePage)
        return converter;
    if (converter != reinterpret_cast<iconv_t>(-1))
        iconv_close(converter);
    const std::string name = "CP" + std::to_string(codePage);
    converter = iconv_open("UTF-8", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1) && codePage == kShiftJisCodePage)
        converter = iconv_open("UTF-8", "SHIFT_JIS");
    openedFor = codePage;
    return converter;
}

} // namespace

size_t DecodeCodePageCharacter(unsigned codePage, std::string_view bytes, std::string& utf8) {
    iconv_t converter = ConverterFor(codePage);
    if (converter == reinterpret_cast<iconv_t>(-1) || bytes.empty())
        return 0;
    // The code pages in use here have characters of one or two bytes.
    for (size_t length = 1; length <= 2 && length <= bytes.size(); ++length) {
        char input[2] = {bytes[0], length == 2 ? bytes[1] : '\0'};
        char output[16];
        char* in = input;
        size_t inLeft = length;
        char* o = output;
        size_t outLeft = sizeof output;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        const size_t r = iconv(converter, &in, &inLeft, &o, &outLeft);
        if (r != static_cast<size_t>(-1) && inLeft == 0 && o != output) {
            utf8.append(output, static_cast<size_t>(o - output));
            return length;
        }
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    return 0;
}
