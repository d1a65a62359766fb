// The picture: exact bytes of a tiny scene (which every build must draw
// alike), culling and double sides, transparency around the object, lines
// and dots in their colour, coverage without gaps or overlaps where
// triangles meet, the bound on the work, and what the arrays must satisfy.
#include "render/Draw.h"
#include "render/Picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

// A scene in the host's space, polygon by polygon, each with one normal.
struct Scene {
    std::vector<float> points, normals;
    std::vector<uint32_t> corners, sizes, surfaces, triangles;
    std::vector<PictureSurface> looks{PictureSurface{}};

    uint32_t Point(float x, float y, float z) {
        points.insert(points.end(), {x, y, z});
        return static_cast<uint32_t>(points.size() / 3 - 1);
    }
    // A polygon of `loop`, cut into a fan when it has three points or more.
    void Polygon(std::vector<uint32_t> loop, float nx = 0, float ny = 0, float nz = -1,
                 uint32_t surface = 0) {
        const uint32_t first = static_cast<uint32_t>(corners.size());
        for (uint32_t p : loop) {
            corners.push_back(p);
            normals.insert(normals.end(), {nx, ny, nz});
        }
        for (uint32_t k = 2; k < loop.size(); ++k)
            triangles.insert(triangles.end(), {first, first + k - 1, first + k});
        sizes.push_back(static_cast<uint32_t>(loop.size()));
        surfaces.push_back(surface);
    }
    PictureInput Input() const {
        PictureInput in;
        in.points = points.data();
        in.pointCount = points.size() / 3;
        in.corners = corners.data();
        in.cornerCount = corners.size();
        in.cornerNormals = normals.data();
        in.polygonSizes = sizes.data();
        in.polygonSurfaces = surfaces.data();
        in.polygonCount = sizes.size();
        in.triangles = triangles.data();
        in.triangleCount = triangles.size() / 3;
        in.surfaces = looks.data();
        in.surfaceCount = looks.size();
        return in;
    }
};

Picture Draw(const Scene& scene, uint32_t size) {
    Picture picture;
    std::string error;
    EXPECT_TRUE(RenderPicture(scene.Input(), size, picture, error)) << error;
    return picture;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 0x100000001b3ull;
    return h;
}

size_t Covered(const Picture& p) {
    size_t n = 0;
    for (size_t i = 3; i < p.rgba.size(); i += 4)
        n += p.rgba[i] != 0;
    return n;
}

// A triangle facing the camera: clockwise as the host sees it, its normal
// towards the viewer (-Z in the host's space).
Scene FacingTriangle(bool reversed = false) {
    Scene s;
    const uint32_t a = s.Point(0, 0, 0), b = s.Point(0, 1, 0), c = s.Point(1, 0, 0);
    if (reversed)
        s.Polygon({a, c, b}, 0, 0, 1);
    else
        s.Polygon({a, b, c});
    s.looks[0] = {180, 40, 20, 1, 0, false};
    return s;
}

} // namespace

// The exact bytes: what every build (32-bit, Windows, WebAssembly) must draw.
TEST(Picture, OneTriangleExactly) {
    const Picture p = Draw(FacingTriangle(), 16);
    ASSERT_EQ(p.rgba.size(), 16u * 16 * 4);
    EXPECT_EQ(Fnv1a(p.rgba), 0x06b6655bad93444dull) << std::hex << Fnv1a(p.rgba);
    // Transparent around the object, opaque inside it.
    EXPECT_EQ(p.rgba[3], 0);
    EXPECT_EQ(p.rgba[p.rgba.size() - 1], 0);
    EXPECT_GT(Covered(p), 20u);
    bool opaque = false;
    for (size_t i = 3; i < p.rgba.size(); i += 4)
        opaque = opaque || p.rgba[i] == 255;
    EXPECT_TRUE(opaque);
}

// A face turned away is culled unless double-sided; its back drawn is the
// front's picture, normal turned round.
TEST(Picture, BacksCulledUnlessDoubleSided) {
    Scene back = FacingTriangle(true);
    EXPECT_EQ(Covered(Draw(back, 32)), 0u);
    back.looks[0].doubleSided = true;
    EXPECT_EQ(Draw(back, 32).rgba, Draw(FacingTriangle(), 32).rgba);
}

// Lines and dots, unlit: every pixel they touch has their colour exactly.
TEST(Picture, LinesAndDotsInTheirColour) {
    Scene s;
    s.Polygon({s.Point(0, 0, 0), s.Point(4, 3, 1)});
    s.Polygon({s.Point(2, -1, 0)});
    s.looks[0] = {10, 200, 30, 1, 0, false};
    const Picture p = Draw(s, 64);
    EXPECT_GT(Covered(p), 40u);
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
        if (p.rgba[i + 3] != 0) {
            ASSERT_TRUE(p.rgba[i] == 10 && p.rgba[i + 1] == 200 && p.rgba[i + 2] == 30) << i / 4;
        }
    }
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(EncodeSrgb(DecodeSrgb(static_cast<uint8_t>(v))), v);
}

// A fan of triangles round an off-grid centre, filling the sample grid:
// drawn one by one, every sample is covered by exactly one of them.
TEST(Picture, TrianglesMeetWithoutGapOrOverlap) {
    const int64_t w = 24 * kSubSteps;
    const Projected centre{w / 3 + 5, w / 2 - 3, 1};
    const Projected ring[] = {{-1, -1, 1},       {w / 2 + 7, -1, 1}, {w + 1, -1, 1},
                              {w + 1, w + 1, 1}, {w / 3, w + 1, 1},  {-1, w + 1, 1}};
    std::vector<int> count(24 * 24, 0);
    for (size_t k = 0; k < 6; ++k) {
        Samples s{24, 1, std::vector<float>(24 * 24, 0), std::vector<uint32_t>(24 * 24, kNothing)};
        DrawTriangle(s, centre, ring[k], ring[(k + 1) % 6], 0, true);
        for (size_t i = 0; i < count.size(); ++i)
            count[i] += s.id[i] != kNothing;
    }
    for (size_t i = 0; i < count.size(); ++i)
        ASSERT_EQ(count[i], 1) << "sample " << i;
}

// A million full-view layers: the work stays bounded, and the picture shows.
TEST(Picture, OverlappingLayersAreBounded) {
    Scene s;
    s.Polygon({s.Point(-1, -1, 0), s.Point(-1, 2, 0), s.Point(2, -1, 0)});
    for (int i = 0; i < 1000000; ++i)
        s.triangles.insert(s.triangles.end(), {0, 1, 2});
    EXPECT_GT(Covered(Draw(s, 64)), 400u);
}

TEST(Picture, RefusesArraysThatDoNotFit) {
    Picture p;
    std::string error;
    Scene s = FacingTriangle();
    EXPECT_FALSE(RenderPicture(s.Input(), 15, p, error));
    EXPECT_FALSE(RenderPicture(s.Input(), 2049, p, error));
    EXPECT_EQ(error, "a picture is 16 to 2048 pixels across");
    const struct {
        void (*spoil)(Scene&);
        const char* why;
    } cases[] = {
        {[](Scene& t) { t.corners[1] = 3; }, "a corner names a point that is not there"},
        {[](Scene& t) { t.triangles[2] = 3; }, "a triangle names a corner that is not there"},
        {[](Scene& t) { t.surfaces[0] = 1; }, "a polygon names a surface that is not there"},
        {[](Scene& t) { t.sizes[0] = 2; }, "the polygons' sizes do not add up to the corners"},
        {[](Scene& t) { t.points[4] = NAN; }, "a point is not a finite number"},
    };
    for (const auto& c : cases) {
        Scene t = s;
        c.spoil(t);
        EXPECT_FALSE(RenderPicture(t.Input(), 16, p, error)) << c.why;
        EXPECT_EQ(error, c.why);
    }
}
