#include "geometry/Surfaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The attributes of the block's seven sub-chunks, at their fixed places.
void DecodeBlock(const std::vector<unsigned char>& block, ExportSurface& out) {
    const unsigned char* b = block.data();
    const size_t colour = SurfaceBlockDataAt(kBlockColour);
    out.red = b[colour];
    out.green = b[colour + 1];
    out.blue = b[colour + 2];
    const uint16_t flags = SurfaceBlockWord(b, kBlockFlags);
    out.smooth = (flags & kBlockFlagSmooth) != 0;
    out.doubleSided = (flags & kBlockFlagDoubleSided) != 0;
    const size_t angle = SurfaceBlockDataAt(kBlockSmoothing);
    const uint32_t angleBits = uint32_t{b[angle]} << 24 | uint32_t{b[angle + 1]} << 16 |
                               uint32_t{b[angle + 2]} << 8 | b[angle + 3];
    std::memcpy(&out.smoothingAngle, &angleBits, sizeof angleBits);
    out.diffuse = SurfaceBlockWord(b, kBlockDiffuse);
    out.transparency = SurfaceBlockWord(b, kBlockTransparency);
    out.specular = SurfaceBlockWord(b, kBlockSpecular);
    out.glossiness = SurfaceBlockWord(b, kBlockGlossiness);
}

// The block's colour bytes are sRGB; the base colour is linear.
double SrgbToLinear(uint8_t value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

SurfaceMaterial MaterialOf(const ExportSurface& surface) {
    SurfaceMaterial m;
    const double diffuse = surface.diffuse / 256.0;
    const double alpha = std::clamp(1.0 - surface.transparency / 256.0, 0.0, 1.0);
    m.colour[0] = std::min(1.0, SrgbToLinear(surface.red) * diffuse);
    m.colour[1] = std::min(1.0, SrgbToLinear(surface.green) * diffuse);
    m.colour[2] = std::min(1.0, SrgbToLinear(surface.blue) * diffuse);
    m.colour[3] = alpha;
    m.specular = std::clamp(surface.specular / 256.0, 0.0, 1.0);
    m.roughness = 1.0 - m.specular;
    m.doubleSided = surface.doubleSided;
    m.blend = alpha < 1.0;
    return m;
}

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
