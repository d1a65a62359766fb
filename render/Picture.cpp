// RenderPicture, step by step. The arrays are checked and the object is framed.
// Its primitives are drawn into the samples. Then each pixel is resolved from
// its samples. Every primitive seen in a pixel is shaded once, at the centre of
// the samples it covers there. Its colour is weighted by the number of those
// samples. The samples nothing covers make the pixel that much transparent.
//
// The bound on the work. Before drawing, the samples and rows each primitive
// would visit are estimated. The estimate is made at one sample per pixel,
// times the samples per pixel squared. The most samples per pixel whose
// estimate stays within the budget are taken, down to one. The budget is
// kVisitsPerPixel visits per pixel, plus a few per primitive. Drawing stops
// where the visits pass twice the budget. The primitives after that point are
// left out.
#include "render/Picture.h"

#include "render/Draw.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint64_t kVisitsPerPixel = 256;
constexpr uint64_t kVisitsPerPrimitive = 16;

// What drawing and resolving share.
struct Scene {
    const PictureInput& in;
    std::vector<uint32_t> cornerPolygon;
    std::vector<SurfaceLook> looks;
    std::vector<Projected> projected; // per point
    Camera camera;
    Samples samples;
};

Vec3d PagePoint(const PictureInput& in, uint32_t point) {
    const float* p = in.points + 3 * size_t{point};
    return {p[0], p[1], -double{p[2]}};
}

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

bool CheckInput(const PictureInput& in, std::string& error) {
    if ((in.pointCount && !in.points) || (in.cornerCount && !in.corners) ||
        (in.polygonCount && (!in.polygonSizes || !in.polygonSurfaces)) ||
        (in.triangleCount && (!in.triangles || !in.cornerNormals)) ||
        (in.surfaceCount && !in.surfaces))
        return Fail(error, "an array the picture needs is missing");
    // Corners are numbered in 32 bits, and so are the primitives drawn.
    if (in.cornerCount >= UINT32_MAX || in.polygonCount >= UINT32_MAX ||
        in.triangleCount >= UINT32_MAX - in.polygonCount)
        return Fail(error, "too many polygons and triangles for one picture");
    for (size_t i = 0; i < 3 * in.pointCount; ++i) {
        if (!std::isfinite(in.points[i]))
            return Fail(error, "a point is not a finite number");
    }
    uint64_t corners = 0;
    for (size_t p = 0; p < in.polygonCount; ++p) {
        corners += in.polygonSizes[p];
        if (in.polygonSurfaces[p] >= in.surfaceCount)
            return Fail(error, "a polygon names a surface that is not there");
    }
    if (corners != in.cornerCount)
        return Fail(error, "the polygons' sizes do not add up to the corners");
    for (size_t k = 0; k < in.cornerCount; ++k) {
        if (in.corners[k] >= in.pointCount)
            return Fail(error, "a corner names a point that is not there");
    }
    for (size_t t = 0; t < 3 * in.triangleCount; ++t) {
        if (in.triangles[t] >= in.cornerCount)
            return Fail(error, "a triangle names a corner that is not there");
    }
    return true;
}

// The camera for the box of every corner's point (the points a polygon uses).
Camera FrameObject(const PictureInput& in) {
    Vec3d low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (size_t k = 0; k < in.cornerCount; ++k) {
        const Vec3d p = PagePoint(in, in.corners[k]);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    return FrameCamera(low, high, in.cornerCount == 0);
}

void ProjectPoints(Scene& s, uint32_t width) {
    s.projected.resize(s.in.pointCount);
    for (size_t p = 0; p < s.in.pointCount; ++p)
        s.projected[p] = Project(s.camera, PagePoint(s.in, static_cast<uint32_t>(p)), width);
}

const Projected& CornerAt(const Scene& s, uint32_t corner) {
    return s.projected[s.in.corners[corner]];
}

const SurfaceLook& LookOfCorner(const Scene& s, uint32_t corner) {
    return s.looks[s.in.polygonSurfaces[s.cornerPolygon[corner]]];
}

// The visits drawing would cost at `perPixel` samples per pixel. It is
// estimated from the points projected at one sample per pixel. It counts the
// rows and samples of the triangles that are drawn, the columns and samples of
// lines, and the samples of dots.
double EstimatedVisits(const Scene& s, double perPixel) {
    const double step = static_cast<double>(kSubSteps);
    double rows = 0, area = 0;
    for (size_t t = 0; t < s.in.triangleCount; ++t) {
        const uint32_t* k = s.in.triangles + 3 * t;
        const Projected &a = CornerAt(s, k[0]), &b = CornerAt(s, k[1]), &c = CornerAt(s, k[2]);
        const int64_t turn = TurnOf(a, b, c);
        if (turn == 0 || (turn < 0 && !LookOfCorner(s, k[0]).doubleSided))
            continue;
        rows +=
            static_cast<double>(std::max({a.y, b.y, c.y}) - std::min({a.y, b.y, c.y})) / step + 1;
        area += static_cast<double>(turn < 0 ? -turn : turn) / (2 * step * step);
    }
    size_t corner = 0;
    for (size_t p = 0; p < s.in.polygonCount; ++p) {
        const uint32_t n = s.in.polygonSizes[p];
        if (n == 2) {
            const Projected &a = CornerAt(s, static_cast<uint32_t>(corner)),
                            &b = CornerAt(s, static_cast<uint32_t>(corner + 1));
            const double length =
                static_cast<double>(std::max(std::abs(b.x - a.x), std::abs(b.y - a.y))) / step + 1;
            rows += length;
            area += length;
        } else if (n == 1) {
            area += 4;
        }
        corner += n;
    }
    return static_cast<double>(s.in.triangleCount + s.in.polygonCount) + rows * perPixel +
           area * perPixel * perPixel;
}

// Draws every primitive while the visits stay within `limit`: triangles,
// then lines and dots.
void DrawAll(Scene& s, uint64_t limit) {
    uint64_t visits = 0;
    const uint32_t triangles = static_cast<uint32_t>(s.in.triangleCount);
    for (uint32_t t = 0; t < triangles && visits <= limit; ++t) {
        const uint32_t* k = s.in.triangles + 3 * size_t{t};
        visits += DrawTriangle(s.samples, CornerAt(s, k[0]), CornerAt(s, k[1]), CornerAt(s, k[2]),
                               t, LookOfCorner(s, k[0]).doubleSided);
    }
    uint32_t corner = 0;
    for (size_t p = 0; p < s.in.polygonCount && visits <= limit; ++p) {
        const uint32_t n = s.in.polygonSizes[p];
        const uint32_t id = triangles + static_cast<uint32_t>(p);
        if (n == 2)
            visits += DrawLine(s.samples, CornerAt(s, corner), CornerAt(s, corner + 1), id);
        else if (n == 1)
            visits += DrawDot(s.samples, CornerAt(s, corner), 2 * s.samples.perPixel, id);
        corner += n;
    }
}

// Edge p0 -> p1's test at (x, y) in fixed-point sample space.
double EdgeAt(const Projected& p0, const Projected& p1, double x, double y) {
    return static_cast<double>(p1.x - p0.x) * (y - static_cast<double>(p0.y)) -
           static_cast<double>(p1.y - p0.y) * (x - static_cast<double>(p0.x));
}

// Triangle t lit at (x, y), in fixed-point sample space. The corners' normals
// and points are weighted as the perspective has them there. A back that is
// drawn (double-sided) turns its normal round, as the page's view does.
Vec3d ShadeTriangle(const Scene& s, uint32_t t, double x, double y) {
    const uint32_t* k = s.in.triangles + 3 * size_t{t};
    const Projected &a = CornerAt(s, k[0]), &b = CornerAt(s, k[1]), &c = CornerAt(s, k[2]);
    double w[3] = {EdgeAt(b, c, x, y) * a.inverseDepth, EdgeAt(c, a, x, y) * b.inverseDepth,
                   EdgeAt(a, b, x, y) * c.inverseDepth};
    const double sum = w[0] + w[1] + w[2];
    for (double& v : w)
        v = sum != 0 ? v / sum : 1.0 / 3;
    Vec3d normal, at;
    for (int i = 0; i < 3; ++i) {
        const float* n = s.in.cornerNormals + 3 * size_t{k[i]};
        normal = normal + Vec3d{n[0], n[1], -double{n[2]}} * w[i];
        at = at + PagePoint(s.in, s.in.corners[k[i]]) * w[i];
    }
    if (TurnOf(a, b, c) < 0)
        normal = normal * -1.0;
    const Vec3d toEye = Normalised(s.camera.eye - at);
    normal = Normalised(normal);
    if (!(Dot(normal, normal) > 0.5))
        normal = toEye; // no normal to speak of (or not a number): facing the eye
    return ShadeLit(LookOfCorner(s, k[0]), normal, toEye);
}

// One primitive's share of a pixel: its samples there, and their centres' sum.
struct Hit {
    uint32_t id;
    uint32_t count;
    int64_t sumX, sumY;
};

void ResolvePixel(const Scene& s, uint32_t px, uint32_t py, uint8_t* rgba) {
    const uint32_t n = s.samples.perPixel;
    Hit hits[16];
    uint32_t distinct = 0, covered = 0;
    for (uint32_t j = py * n; j < py * n + n; ++j) {
        for (uint32_t i = px * n; i < px * n + n; ++i) {
            const uint32_t id = s.samples.id[size_t{j} * s.samples.width + i];
            if (id == kNothing)
                continue;
            ++covered;
            uint32_t h = 0;
            while (h < distinct && hits[h].id != id)
                ++h;
            if (h == distinct)
                hits[distinct++] = {id, 0, 0, 0};
            ++hits[h].count;
            hits[h].sumX += int64_t{i} * kSubSteps + kSubSteps / 2;
            hits[h].sumY += int64_t{j} * kSubSteps + kSubSteps / 2;
        }
    }
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
    if (covered == 0)
        return;
    Vec3d sum;
    const uint32_t triangles = static_cast<uint32_t>(s.in.triangleCount);
    for (uint32_t h = 0; h < distinct; ++h) {
        const Hit& hit = hits[h];
        Vec3d colour;
        if (hit.id < triangles) {
            const double count = hit.count;
            colour = ShadeTriangle(s, hit.id, static_cast<double>(hit.sumX) / count,
                                   static_cast<double>(hit.sumY) / count);
        } else {
            colour = s.looks[s.in.polygonSurfaces[hit.id - triangles]].base; // lines, dots: unlit
        }
        sum = sum + colour * static_cast<double>(hit.count);
    }
    sum = sum * (1.0 / covered);
    rgba[0] = EncodeSrgb(sum.x);
    rgba[1] = EncodeSrgb(sum.y);
    rgba[2] = EncodeSrgb(sum.z);
    rgba[3] = static_cast<uint8_t>((covered * 255 + n * n / 2) / (n * n));
}

} // namespace

bool RenderPicture(const PictureInput& in, uint32_t size, Picture& out, std::string& error) {
    if (size < kPictureMinSize || size > kPictureMaxSize) {
        error = "a picture is " + std::to_string(kPictureMinSize) + " to " +
                std::to_string(kPictureMaxSize) + " pixels across";
        return false;
    }
    if (!CheckInput(in, error))
        return false;
    Scene s{in, std::vector<uint32_t>(in.cornerCount), {}, {}, FrameObject(in), {}};
    for (uint32_t p = 0, k = 0; p < in.polygonCount; ++p) {
        for (uint32_t end = k + in.polygonSizes[p]; k < end; ++k)
            s.cornerPolygon[k] = p;
    }
    s.looks.reserve(in.surfaceCount);
    for (size_t i = 0; i < in.surfaceCount; ++i)
        s.looks.push_back(LookOf(in.surfaces[i]));

    // 4 x 4 samples per pixel up to 512 pixels, then fewer, down to 2 x 2,
    // so that the samples take at most 32 MB up to 1024 pixels.
    uint32_t perPixel = std::clamp<uint32_t>(2048 / size, 2, 4);
    ProjectPoints(s, size);
    const double pixels = static_cast<double>(size) * size;
    const double budget = static_cast<double>(kVisitsPerPixel) * pixels +
                          static_cast<double>(kVisitsPerPrimitive) *
                              static_cast<double>(in.triangleCount + in.polygonCount);
    while (perPixel > 1 && EstimatedVisits(s, perPixel) > budget)
        perPixel = perPixel > 2 ? 2 : 1;

    s.samples.perPixel = perPixel;
    s.samples.width = size * perPixel;
    const size_t count = size_t{s.samples.width} * s.samples.width;
    s.samples.depth.assign(count, 0.0f);
    s.samples.id.assign(count, kNothing);
    ProjectPoints(s, s.samples.width);
    DrawAll(s, static_cast<uint64_t>(2 * budget));

    out.size = size;
    out.rgba.assign(size_t{size} * size * 4, 0);
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x)
            ResolvePixel(s, x, y, &out.rgba[(size_t{y} * size + x) * 4]);
    }
    return true;
}

bool PictureShowsSomething(const Picture& picture) {
    for (size_t i = 3; i < picture.rgba.size(); i += 4) {
        if (picture.rgba[i] != 0)
            return true;
    }
    return false;
}
