// The picture as a PNG file, by stb_image_write. That is Debian's libstb-dev, a
// header that carries its own deflate. No system library takes part, so every
// build gives the same bytes, the WebAssembly and Windows ones included. Its
// file functions are left out, since the bytes come back in memory.
#include "render/Picture.h"

#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

void Append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<size_t>(size));
}

} // namespace

bool EncodePng(const Picture& picture, std::string& png, std::string& error) {
    png.clear();
    const int side = static_cast<int>(picture.size);
    if (picture.size == 0 || picture.rgba.size() != size_t{picture.size} * picture.size * 4) {
        error = "no picture to encode";
        return false;
    }
    if (stbi_write_png_to_func(&Append, &png, side, side, 4, picture.rgba.data(), side * 4) == 0) {
        png.clear();
        error = "not enough memory to encode the picture";
        return false;
    }
    return true;
}
