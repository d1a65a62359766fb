// The drawing's parts, inside this folder. Scene.cpp holds the camera and the
// lights. Raster.cpp holds the samples and what is drawn into them. Picture.cpp
// holds RenderPicture, which ties them together.
//
// Spaces. The object is drawn in the page's space, as the glb file holds it.
// The page's space holds the host's points with Z negated: right-handed, Y up.
// A camera looks at it as the page's view does. A point projects to "sample
// space". There one unit is one sample, and perPixel x perPixel samples make a
// pixel. Y runs down. The point is rounded there to a fixed point of kSubSteps
// steps per sample. So exact integer arithmetic decides which samples a
// triangle covers. Triangles that share an edge leave no gap and cover no
// sample twice.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

struct Vec3d {
    double x = 0, y = 0, z = 0;
};
inline Vec3d operator+(Vec3d a, Vec3d b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3d operator-(Vec3d a, Vec3d b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3d operator*(Vec3d a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(Vec3d a, Vec3d b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3d Cross(Vec3d a, Vec3d b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// `v` at length 1; a zero vector stays zero.
inline Vec3d Normalised(Vec3d v) {
    const double length = std::sqrt(Dot(v, v));
    return length > 0 ? v * (1 / length) : v;
}

// Fixed-point steps per sample.
constexpr int64_t kSubSteps = 16;

// Where a point lands. It has sample-space coordinates in fixed point, and the
// inverse of its depth in front of the camera. The inverse depth is linear
// across a triangle on the screen, and larger for nearer points.
struct Projected {
    int64_t x = 0, y = 0;
    double inverseDepth = 0;
};

// The camera, as the page's frame() places it. It looks at the centre of the
// object's bounding sphere from the front, right and above. It stands as far
// away as a 45-degree field of view needs to hold the sphere.
struct Camera {
    Vec3d eye;
    Vec3d right, up, back; // the view's axes; `back` points from the object to the eye
    double focal = 1;      // 1 / tan(half the field of view)
};

// `low` and `high` are the object's box in the page's space. `empty` means no
// point is drawn. Then the unit sphere at the origin is framed.
Camera FrameCamera(const Vec3d& low, const Vec3d& high, bool empty);

// `world` (page space) in sample space of a square `width` samples across.
Projected Project(const Camera& camera, const Vec3d& world, uint32_t width);

// A surface's colours and gloss, decoded once.
struct SurfaceLook {
    Vec3d base; // linear light, as glTF's base colour factor
    double roughness = 1;
    bool doubleSided = false;
};
struct PictureSurface;
SurfaceLook LookOf(const PictureSurface& surface);

// The light a surface sends towards the eye, in linear light. The page's
// ambient light, key light and fill light fall on a rough dielectric of the
// surface's colour. `normal` is at length 1 and faces the side shown. `toEye`
// is at length 1.
Vec3d ShadeLit(const SurfaceLook& look, const Vec3d& normal, const Vec3d& toEye);

// One channel in linear light (0..1, clamped) as an sRGB byte, rounded to
// the nearest.
uint8_t EncodeSrgb(double linear);
// An sRGB byte in linear light.
double DecodeSrgb(uint8_t value);

// What each sample shows: the nearest primitive so far, and its inverse depth.
// A sample that shows nothing holds kNothing and an inverse depth of 0.
constexpr uint32_t kNothing = UINT32_MAX;
struct Samples {
    uint32_t width = 0;    // samples along each side
    uint32_t perPixel = 1; // samples along each side of a pixel
    std::vector<float> depth;
    std::vector<uint32_t> id;
};

// Each returns the samples and rows it visited, for the bound on the work.
// A triangle whose corners turn clockwise on the screen (in sample space) faces
// the camera. That is the host's front side. Its back is drawn only when
// `bothSides`.
uint64_t DrawTriangle(Samples& samples, Projected a, Projected b, Projected c, uint32_t id,
                      bool bothSides);
// A line one pixel across. It is lifted slightly towards the camera, so a line
// along a face's edge shows. A line shorter than a pixel becomes a dot of one
// pixel.
uint64_t DrawLine(Samples& samples, Projected a, Projected b, uint32_t id);
// A square dot `across` samples wide, centred on `p`, lifted as a line is.
uint64_t DrawDot(Samples& samples, Projected p, uint32_t across, uint32_t id);

// Twice the signed area of a, b, c in fixed-point sample space. It is above
// zero when they turn clockwise on the screen, where Y runs down.
inline int64_t TurnOf(const Projected& a, const Projected& b, const Projected& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}
