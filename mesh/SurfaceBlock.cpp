#include "mesh/Mesh.h"

#include <algorithm>
#include <cstring>

namespace {

// Degrees to radians with the constant the block has always used: the
// double nearest 3.141592653589 / 180, a little below the double nearest
// pi / 180. Readers of stored blocks expect these exact bits.
constexpr double kDegreesToRadians = 0.01745329251993889;

// The brightest a triple can be: weights 2, 4, 1 on components up to 255.
constexpr int32_t kMaxBrightness = 7 * 255;

struct BlockWriter {
    SurfaceDataBlock& block;
    size_t at = 0;

    void Byte(unsigned v) { block[at++] = static_cast<unsigned char>(v & 0xFFu); }
    void Word(unsigned v) {
        Byte(v >> 8);
        Byte(v);
    }
    void Long(uint32_t v) {
        Word(v >> 16);
        Word(v & 0xFFFFu);
    }
    void Tag(const char* tag, unsigned length) {
        for (int i = 0; i < 4; ++i) {
            Byte(static_cast<unsigned char>(tag[i]));
        }
        Word(length);
    }
};

int32_t Clamp8(int32_t v) {
    return std::clamp(v, 0, 255);
}

} // namespace

SurfaceDataBlock MakeSurfaceDataBlock(const PaletteEntry& entry, int32_t colourSet, int32_t smooth,
                                      double smoothingAngle, int32_t doubleSided) {
    // Components outside 0..255 are clamped first: the colour bytes stay
    // meaningful and the specular divisor below stays positive.
    const int32_t br = Clamp8(entry.brightRed), bg = Clamp8(entry.brightGreen),
                  bb = Clamp8(entry.brightBlue);
    const int32_t dr = Clamp8(entry.darkRed), dg = Clamp8(entry.darkGreen),
                  db = Clamp8(entry.darkBlue);
    int32_t bright = 2 * br + 4 * bg + bb;
    int32_t dark = 2 * dr + 4 * dg + db;
    int32_t red, green, blue;
    if (colourSet == 0) {
        red = br, green = bg, blue = bb;
        dark = bright;
    } else if (colourSet == 2) {
        red = dr, green = dg, blue = db;
        bright = dark;
    } else {
        red = (br + dr) / 2, green = (bg + dg) / 2, blue = (bb + db) / 2;
    }
    int32_t specular = 0;
    if (dark < bright) {
        const int32_t middle = (bright + dark) / 2;
        specular = ((bright - middle) * 256) / (kMaxBrightness - middle);
        specular /= 4;
    }
    const float angle = static_cast<float>(smoothingAngle * kDegreesToRadians);
    uint32_t angleBits;
    std::memcpy(&angleBits, &angle, sizeof angleBits);

    SurfaceDataBlock block{};
    BlockWriter w{block};
    w.Tag("COLR", 4);
    w.Byte(static_cast<unsigned>(red));
    w.Byte(static_cast<unsigned>(green));
    w.Byte(static_cast<unsigned>(blue));
    w.Byte(0);
    w.Tag("FLAG", 2);
    w.Word((smooth != 0 ? 0x0004u : 0u) | (doubleSided != 0 ? 0x0100u : 0u));
    w.Tag("SMAN", 4);
    w.Long(angleBits);
    w.Tag("DIFF", 2);
    w.Word(256);
    w.Tag("TRAN", 2);
    w.Word(0);
    w.Tag("SPEC", 2);
    w.Word(static_cast<unsigned>(specular));
    w.Tag("GLOS", 2);
    w.Word(0);
    return block;
}

void SendSurfaceAttributes(const ModelTables& t, const ColourFlags& colourUsed,
                           const SurfaceNames& names, const BuildOptions& options,
                           const ObjectSink& sink) {
    const int32_t count = std::min(PaletteCount(t), kColourCount);
    for (int32_t i = 0; i < count; ++i) {
        if (!colourUsed[static_cast<size_t>(i)]) {
            continue;
        }
        const SurfaceDataBlock block =
            MakeSurfaceDataBlock(t.palette[static_cast<size_t>(i)], options.colourSet,
                                 options.smooth, options.smoothingAngle, options.doubleSided);
        sink.storeSurfaceData(sink.context, names[static_cast<size_t>(i)].c_str(),
                              kSurfaceBlockSize, block.data());
    }
}
