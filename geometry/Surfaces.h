// The surfaces of a received object, as the writers need them. They come in the
// order of their values. Each carries the attributes decoded from the block the
// plug-in stored for it: colour, flags, smoothing angle and the four
// percentages.
#pragma once

#include "standin/Received.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A surface without an attribute block gets this colour. It is a neutral
// mid-light grey, also the host's usual default.
constexpr uint8_t kDefaultGrey = 200;

struct ExportSurface {
    std::string name;                                  // bytes as received
    const std::vector<unsigned char>* block = nullptr; // the last one received; null: none
    uint8_t red = kDefaultGrey, green = kDefaultGrey, blue = kDefaultGrey;
    bool smooth = false;
    bool doubleSided = false;
    float smoothingAngle = 0;  // radians
    uint16_t diffuse = 256;    // 256 = 100 %
    uint16_t transparency = 0; // 256 = 100 %
    uint16_t specular = 0;     // 256 = 100 %
    uint16_t glossiness = 0;   // 256 = 100 %
};

// The surfaces looked up, in the order of their values: 1, 2, 3, ... So a
// polygon's surface value v names entry v - 1. Blocks for names never looked up
// are left out, since no polygon can use them.
std::vector<ExportSurface> ExportSurfaces(const ReceivedModel& model);

// Index into ExportSurfaces() of a polygon's surface value.
inline size_t SurfaceSlot(int32_t surface) {
    return static_cast<size_t>(
        static_cast<uint16_t>(surface) == 0 ? 65535u : static_cast<uint16_t>(surface) - 1u);
}

// A surface's material. It is the one rule every front end shows a surface by:
// the glb and the web page's view, the FBX and OBJ files, and the engine's
// callers such as the Blender add-on. It is stated in the metallic-roughness
// terms that glTF and Blender share. Each value lies in 0..1.
// The base colour is the block's colour (sRGB bytes) made linear, times the
// diffuse level. Each of its components is at most 1. Alpha is
// 1 - transparency. Roughness is 1 - the specular level. So a surface with a
// highlight shows one where only roughness can say so (glTF). Specular is the
// level itself, for shaders that take it: Blender's specular input, FBX and
// MTL. There is no metal.
struct SurfaceMaterial {
    double colour[4] = {0, 0, 0, 1}; // red, green, blue (linear light), alpha
    double roughness = 1;
    double specular = 0;
    double metallic = 0;
    bool doubleSided = false;
    bool blend = false; // alpha below 1
};
SurfaceMaterial MaterialOf(const ExportSurface& surface);

// The colour a surface shows under full light. Each component is scaled from
// 0..255 to 0..1, then multiplied by the diffuse level. `Real` is the precision
// the format's writer keeps, float or double. The colour is computed in it
// throughout, so a format's bytes do not depend on the caller.
template <typename Real> struct DiffuseColour { Real red, green, blue; };
template <typename Real> DiffuseColour<Real> DiffuseColourOf(const ExportSurface& surface) {
    const Real diffuse = surface.diffuse / Real(256);
    return {surface.red / Real(255) * diffuse, surface.green / Real(255) * diffuse,
            surface.blue / Real(255) * diffuse};
}
