// The camera, the lights and the colours of a picture. The camera and the
// lights are kViewSetup's, which the page's view takes too. The material is as
// the glb states it. Everything is worked out with + - * / and square roots
// only, so every build gets the same numbers. Constants that would need a sine
// or a power are written by their square roots. sRGB's power curve is solved by
// Newton's method, not taken from the C library.
#include "render/Draw.h"
#include "render/Picture.h"

#include <algorithm>
#include <array>

namespace {

constexpr double kPi = 3.141592653589793;

// White lights: kViewSetup's ambient level, and its two directional lights.
constexpr double kAmbient = kViewSetup.ambient;
struct Light {
    Vec3d towards;
    double intensity;
};
Vec3d VectorOf(const double (&v)[3]) {
    return {v[0], v[1], v[2]};
}
const std::array<Light, 2>& Lights() {
    static const std::array<Light, 2> lights = {
        Light{Normalised(VectorOf(kViewSetup.lights[0].from)), kViewSetup.lights[0].intensity},
        Light{Normalised(VectorOf(kViewSetup.lights[1].from)), kViewSetup.lights[1].intensity},
    };
    return lights;
}

// x^2.4 for x in [0, 1], as the fifth root of x^12. Newton's method starts from
// x^2, which lies above the root. So the steps fall monotonically onto it. They
// stop when a step no longer falls, after at most 64.
double Power24(double x) {
    if (x <= 0)
        return 0;
    const double x2 = x * x, x4 = x2 * x2, x8 = x4 * x4;
    const double target = x8 * x4;
    double y = x2;
    for (int i = 0; i < 64; ++i) {
        const double y2 = y * y;
        const double next = (4 * y + target / (y2 * y2)) / 5;
        if (!(next < y))
            break;
        y = next;
    }
    return y;
}

// sRGB's curve from its encoded value (0..1) to linear light.
double SrgbToLinear(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : Power24((encoded + 0.055) / 1.055);
}

// The linear light at which the nearest byte turns from k - 1 to k, for
// k = 1..255. Entry 0 is unused.
const std::array<double, 256>& ByteThresholds() {
    static const std::array<double, 256> thresholds = [] {
        std::array<double, 256> t{};
        for (int k = 1; k < 256; ++k)
            t[static_cast<size_t>(k)] = SrgbToLinear((k - 0.5) / 255.0);
        return t;
    }();
    return thresholds;
}

// The specular part of three.js's standard material, for one light. Metalness
// is 0, which means a reflectance of 0.04 at normal incidence. It uses the GGX
// distribution and its correlated Smith visibility. Schlick's Fresnel term
// comes in its original fifth-power form.
double Specular(double alpha, const Vec3d& normal, const Vec3d& toLight, const Vec3d& toEye,
                double dotNL) {
    const Vec3d half = Normalised(toLight + toEye);
    const double dotNV = std::clamp(Dot(normal, toEye), 0.0, 1.0);
    const double dotNH = std::clamp(Dot(normal, half), 0.0, 1.0);
    const double dotVH = std::clamp(Dot(toEye, half), 0.0, 1.0);
    const double m = 1 - dotVH, m2 = m * m;
    const double fresnel = 0.04 + (1 - 0.04) * (m2 * m2 * m);
    const double a2 = alpha * alpha;
    const double gv = dotNL * std::sqrt(a2 + (1 - a2) * (dotNV * dotNV));
    const double gl = dotNV * std::sqrt(a2 + (1 - a2) * (dotNL * dotNL));
    const double visibility = 0.5 / (gv + gl + 1e-6);
    const double denominator = dotNH * dotNH * (a2 - 1) + 1;
    const double distribution = a2 / (kPi * denominator * denominator);
    return fresnel * visibility * distribution;
}

} // namespace

Camera FrameCamera(const Vec3d& low, const Vec3d& high, bool empty) {
    Vec3d centre;
    double radius = 1;
    if (!empty) {
        centre = (low + high) * 0.5;
        radius = std::max(std::sqrt(Dot(high - low, high - low)) * 0.5, 1e-6);
    }
    // sin 22.5 degrees and 1 / tan 22.5 degrees, by their square roots.
    static_assert(kViewSetup.fieldOfView == 45, "the sines below are of half of 45 degrees");
    const double sinHalfView = std::sqrt(2 - std::sqrt(2.0)) / 2;
    Camera camera;
    camera.focal = std::sqrt(2.0) + 1;
    camera.back = Normalised(VectorOf(kViewSetup.cameraFrom));
    camera.eye = centre + camera.back * (radius / sinHalfView);
    // Y up, as three.js's lookAt: right = up x back, up = back x right.
    camera.right = Normalised({camera.back.z, 0, -camera.back.x});
    camera.up = Cross(camera.back, camera.right);
    return camera;
}

Projected Project(const Camera& camera, const Vec3d& world, uint32_t width) {
    const Vec3d d = world - camera.eye;
    const double depth = -Dot(d, camera.back);
    Projected p;
    if (!(depth > 0))
        return p; // behind the eye: inverseDepth 0, drawn by nothing
    const double half = width * 0.5;
    const double scale = half * camera.focal / depth;
    const double x = half + Dot(d, camera.right) * scale;
    const double y = half - Dot(d, camera.up) * scale;
    // Every drawn point lies inside the framed sphere, so in the picture; the
    // clamp only keeps the fixed-point products far from overflow.
    const double limit = double{int64_t{1} << 24};
    p.x = static_cast<int64_t>(std::floor(std::clamp(x * kSubSteps, -limit, limit) + 0.5));
    p.y = static_cast<int64_t>(std::floor(std::clamp(y * kSubSteps, -limit, limit) + 0.5));
    p.inverseDepth = 1 / depth;
    return p;
}

double DecodeSrgb(uint8_t value) {
    return SrgbToLinear(value / 255.0);
}

uint8_t EncodeSrgb(double linear) {
    if (!(linear > 0))
        return 0; // also not a number
    const std::array<double, 256>& t = ByteThresholds();
    // The number of thresholds at or below `linear`: the byte.
    const auto at = std::upper_bound(t.begin() + 1, t.end(), linear);
    return static_cast<uint8_t>(at - (t.begin() + 1));
}

SurfaceLook LookOf(const PictureSurface& surface) {
    // Not a number reads as none.
    const double diffuse = surface.diffuse >= 0 ? double{surface.diffuse} : 0.0;
    const double specular = surface.specular >= 0 ? double{surface.specular} : 0.0;
    SurfaceLook look;
    look.base = {std::min(1.0, DecodeSrgb(surface.red) * diffuse),
                 std::min(1.0, DecodeSrgb(surface.green) * diffuse),
                 std::min(1.0, DecodeSrgb(surface.blue) * diffuse)};
    look.roughness = std::clamp(1 - specular, 0.0, 1.0);
    look.doubleSided = surface.doubleSided;
    return look;
}

Vec3d ShadeLit(const SurfaceLook& look, const Vec3d& normal, const Vec3d& toEye) {
    // three.js keeps a least roughness, and squares it.
    const double roughness = std::clamp(look.roughness, 0.0525, 1.0);
    const double alpha = roughness * roughness;
    double diffuse = kAmbient / kPi;
    double specular = 0;
    for (const Light& light : Lights()) {
        const double dotNL = std::clamp(Dot(normal, light.towards), 0.0, 1.0);
        if (dotNL <= 0)
            continue;
        const double irradiance = dotNL * light.intensity;
        diffuse += irradiance / kPi;
        specular += irradiance * Specular(alpha, normal, light.towards, toEye, dotNL);
    }
    return {look.base.x * diffuse + specular, look.base.y * diffuse + specular,
            look.base.z * diffuse + specular};
}
