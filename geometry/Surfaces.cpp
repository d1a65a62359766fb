#include "geometry/Surfaces.h"

#include <cstring>

namespace {

uint16_t U2At(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

// The attributes of the block's seven sub-chunks, at their fixed places.
void DecodeBlock(const std::vector<unsigned char>& b, ExportSurface& out) {
    out.red = b[6];
    out.green = b[7];
    out.blue = b[8];
    const uint16_t flags = U2At(b, 16);
    out.smooth = (flags & 0x0004) != 0;
    out.doubleSided = (flags & 0x0100) != 0;
    const uint32_t angleBits = uint32_t{U2At(b, 24)} << 16 | U2At(b, 26);
    std::memcpy(&out.smoothingAngle, &angleBits, sizeof angleBits);
    out.diffuse = U2At(b, 34);
    out.transparency = U2At(b, 42);
    out.specular = U2At(b, 50);
    out.glossiness = U2At(b, 58);
}

} // namespace

std::vector<ExportSurface> ExportSurfaces(const ReceivedModel& model) {
    std::vector<const ReceivedSurface*> byValue;
    for (const ReceivedSurface& s : model.surfaces) {
        if (s.value <= 0)
            continue;
        const size_t slot = static_cast<size_t>(s.value) - 1;
        if (byValue.size() <= slot)
            byValue.resize(slot + 1, nullptr);
        byValue[slot] = &s;
    }
    std::vector<ExportSurface> surfaces(byValue.size());
    for (size_t i = 0; i < byValue.size(); ++i) {
        ExportSurface& out = surfaces[i];
        if (byValue[i] == nullptr)
            continue; // values are handed out without gaps; kept only for safety
        out.name = byValue[i]->name;
        // The host takes the last block sent for a name, as a later store
        // replaces an earlier one. Blocks the host refused never get here:
        // a refused load writes nothing.
        for (const std::vector<unsigned char>& b : byValue[i]->blocks) {
            if (IsSurfaceBlock(b.data(), b.size()))
                out.block = &b;
        }
        if (out.block != nullptr)
            DecodeBlock(*out.block, out);
    }
    return surfaces;
}
