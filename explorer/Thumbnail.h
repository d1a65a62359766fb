// The picture of a model file as a file explorer's thumbnail: the file's
// bytes in, the picture `ostrel MODEL -o x.png --size N` draws out, as RGBA
// and as the 32-bit premultiplied BGRA rows a Windows bitmap holds. The
// import runs through the engine (engine/ostrel.h: the converter's build of
// the plug-in, the whole object, the host's shading), the picture through the
// renderer (render/Picture.h): the same arrays, so the same pixels, as the
// png writer's.
//
// Nothing here knows Windows: the thumbnail handler's COM server
// (Provider-win32.cpp, Server-win32.cpp) wraps these calls, and the native
// tests check them on every build.
#pragma once

#include "render/Picture.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The largest model file that gets a thumbnail. A thumbnail is worth a
// moment: under Wine on a busy 2-core machine a generated model of 16 MB
// took 0.3 to 0.7 s, one of 30 MB 1.3 s (a working set of 140 MB) and one
// of 60 MB 3.3 s (260 MB); the shell waits only so long, and the handler's
// process holds the tables meanwhile (a hostile file's, many times its
// size). A larger file keeps its icon.
constexpr size_t kThumbnailMaxModelBytes = size_t{32} << 20;

enum class ThumbnailStatus {
    Drawn,
    NoPicture,   // not a model file, not readable, or nothing to draw
    TooLarge,    // more than kThumbnailMaxModelBytes
    OutOfMemory, // memory ran out anywhere on the way
};

struct Thumbnail {
    ThumbnailStatus status = ThumbnailStatus::NoPicture;
    std::string reason; // one line, when not drawn (may be empty when memory ran out)
    Picture picture;    // when drawn: straight RGBA, row after row from the top
};

// The side of the square picture drawn for a request of `requested` pixels:
// the request, within the renderer's sizes (kPictureMinSize..kPictureMaxSize).
// A request below the smallest gets the smallest, which the shell scales down.
uint32_t ThumbnailSide(uint32_t requested);

// The thumbnail of the model file whose bytes are `model`, ThumbnailSide
// (requested) pixels square. A model whose picture shows nothing (no polygon
// with points, every primitive culled) is NoPicture: the file keeps its icon.
// Never throws.
Thumbnail DrawThumbnail(std::string_view model, uint32_t requested) noexcept;

// `picture`'s pixels as 4 bytes each, blue, green, red, alpha, each colour
// premultiplied by alpha (c * a / 255, rounded to nearest), rows from the
// top, into `out` (4 * size * size bytes): the layout of a 32-bit top-down
// DIB section whose alpha the shell takes as valid (WTSAT_ARGB).
void WritePremultipliedBgra(const Picture& picture, uint8_t* out) noexcept;
