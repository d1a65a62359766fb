#include "platform/TextCodec.h"

#include <iconv.h>

#include <string>

unsigned SystemCodePage() {
    return kShiftJisCodePage;
}

namespace {

// One converter per code page and thread, for the thread's life: iconv_t is
// not shareable between threads, and the converter reads a model's warnings
// beside its import and imports several models at once.
struct Converter {
    unsigned openedFor = 0;
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
    Converter() = default;
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (handle != reinterpret_cast<iconv_t>(-1))
            iconv_close(handle);
    }
};

iconv_t ConverterFor(unsigned codePage) {
    thread_local Converter converter;
    if (converter.openedFor == codePage)
        return converter.handle;
    if (converter.handle != reinterpret_cast<iconv_t>(-1))
        iconv_close(converter.handle);
    const std::string name = "CP" + std::to_string(codePage);
    converter.handle = iconv_open("UTF-8", name.c_str());
    if (converter.handle == reinterpret_cast<iconv_t>(-1) && codePage == kShiftJisCodePage)
        converter.handle = iconv_open("UTF-8", "SHIFT_JIS");
    converter.openedFor = codePage;
    return converter.handle;
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
