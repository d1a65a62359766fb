// The geometry the writers share: triangles that cover each polygon exactly
// once (checked by the sum of unsigned triangle areas against the polygon's
// area, by the orientation of every triangle, and by every triangle's centre
// lying inside the polygon), robustness on loops that are not simple, and
// the corner normals as the host smooths.
#include "convert/MeshGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <numbers>
#include <random>
#include <set>

namespace {

using Loop2 = std::vector<std::array<double, 2>>;

Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double Length(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}

// A rotation out of every axis plane, then a shift: the loop's plane is
// neither axis-aligned nor through the origin.
std::vector<Vec3> Tilted(const Loop2& loop, double turn) {
    const double a = 0.7 + turn, b = 0.4 - turn / 3, c = 1.1;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const double cc = std::cos(c), sc = std::sin(c);
    std::vector<Vec3> out;
    for (const auto& p : loop) {
        Vec3 v{p[0], p[1], 0};
        v = {v.x, ca * v.y - sa * v.z, sa * v.y + ca * v.z};
        v = {cb * v.x + sb * v.z, v.y, -sb * v.x + cb * v.z};
        v = {cc * v.x - sc * v.y, sc * v.x + cc * v.y, v.z};
        out.push_back({v.x + 3, v.y - 5, v.z + 2});
    }
    return out;
}

double Area2(const Loop2& loop) {
    double twice = 0;
    for (size_t i = 0; i < loop.size(); ++i) {
        const auto& p = loop[i];
        const auto& q = loop[(i + 1) % loop.size()];
        twice += p[0] * q[1] - p[1] * q[0];
    }
    return twice / 2;
}

bool Inside(const Loop2& loop, double x, double y) {
    bool in = false;
    for (size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
        const auto& a = loop[i];
        const auto& b = loop[j];
        if ((a[1] > y) != (b[1] > y) && x < (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]) + a[0])
            in = !in;
    }
    return in;
}

// Checks the triangles of a simple loop, given in the plane and tilted.
void ExpectExactCover(const Loop2& loop, double turn = 0) {
    const std::vector<Vec3> corners = Tilted(loop, turn);
    std::vector<uint32_t> t;
    TriangulateLoop(corners.data(), corners.size(), t);
    ASSERT_EQ(t.size(), 3 * (loop.size() - 2));
    const Vec3 normal = NewellNormal(corners.data(), corners.size());
    const double area = std::fabs(Area2(loop));
    EXPECT_NEAR(Length(normal) / 2, area, 1e-9 * area);
    double sum = 0;
    for (size_t k = 0; k < t.size(); k += 3) {
        ASSERT_LT(t[k], loop.size());
        ASSERT_LT(t[k + 1], loop.size());
        ASSERT_LT(t[k + 2], loop.size());
        const Vec3 n =
            Cross(Sub(corners[t[k + 1]], corners[t[k]]), Sub(corners[t[k + 2]], corners[t[k]]));
        sum += Length(n) / 2;
        EXPECT_GE(Dot(n, normal), -1e-9 * area * area) << "triangle " << k / 3 << " turns back";
        const double cx = (loop[t[k]][0] + loop[t[k + 1]][0] + loop[t[k + 2]][0]) / 3;
        const double cy = (loop[t[k]][1] + loop[t[k + 1]][1] + loop[t[k + 2]][1]) / 3;
        if (Length(n) > 1e-9 * area) {
            EXPECT_TRUE(Inside(loop, cx, cy)) << "triangle " << k / 3 << " lies outside";
        }
    }
    EXPECT_NEAR(sum, area, 1e-9 * area);
}

Loop2 Reversed(Loop2 loop) {
    std::reverse(loop.begin(), loop.end());
    return loop;
}

Loop2 Comb(int teeth) {
    Loop2 loop = {{0, 0}, {2.0 * teeth - 1, 0}};
    for (int k = teeth - 1; k >= 0; --k) {
        const double x = 2.0 * k;
        loop.push_back({x + 1, 3});
        loop.push_back({x, 3});
        if (k > 0) {
            loop.push_back({x, 1});
            loop.push_back({x - 1, 1});
        }
    }
    return loop;
}

Loop2 Star(int spikes, double inner) {
    Loop2 loop;
    for (int k = 0; k < 2 * spikes; ++k) {
        const double a = std::numbers::pi * k / spikes;
        const double r = k % 2 == 0 ? 1 : inner;
        loop.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return loop;
}

// A band of width `width` wound `turns` times around the centre.
Loop2 Spiral(int steps, double turns) {
    Loop2 outer, inner;
    for (int k = 0; k <= steps; ++k) {
        const double a = 2 * std::numbers::pi * turns * k / steps;
        const double r = 1 + a;
        outer.push_back({(r + 1) * std::cos(a), (r + 1) * std::sin(a)});
        inner.push_back({(r + 0.5) * std::cos(a), (r + 0.5) * std::sin(a)});
    }
    outer.insert(outer.end(), inner.rbegin(), inner.rend());
    return outer;
}

// Star-shaped about the origin with random radii: simple, mostly concave.
Loop2 RandomStarShaped(std::mt19937& random, int n) {
    std::uniform_real_distribution<double> angle(0, 2 * std::numbers::pi), radius(0.1, 1);
    std::set<double> angles;
    for (;;) {
        while (angles.size() < static_cast<size_t>(n))
            angles.insert(angle(random));
        // Simple only without a gap of half a turn or more between angles.
        double gap = *angles.begin() + 2 * std::numbers::pi - *angles.rbegin();
        for (auto it = std::next(angles.begin()); it != angles.end(); ++it)
            gap = std::max(gap, *it - *std::prev(it));
        if (gap < std::numbers::pi * 0.9)
            break;
        angles.clear();
    }
    Loop2 loop;
    for (double a : angles) {
        const double r = radius(random);
        loop.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return loop;
}

TEST(Triangles, SimpleShapesCoveredExactlyOnce) {
    const Loop2 u = {{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    const Loop2 shapes[] = {
        u,
        Comb(4),
        Comb(50),
        Star(5, 0.4),
        Star(200, 0.9),
        Spiral(300, 3),
        {{0, 0}, {4, 0}, {4, 1}, {3, 0.2}}, // a quad with a reflex corner
        {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {1.5, 2}, {0, 2}}, // collinear runs
    };
    for (const Loop2& shape : shapes) {
        SCOPED_TRACE(shape.size());
        ExpectExactCover(shape);
        ExpectExactCover(Reversed(shape), 0.3);
    }
    std::mt19937 random(13);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        ExpectExactCover(RandomStarShaped(random, 4 + round % 60), round * 0.01);
    }
}

TEST(Triangles, CollinearCornersGiveNoSlivers) {
    // Corners in the middle of straight edges join the other corners.
    const Loop2 square = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
    const std::vector<Vec3> corners = Tilted(square, 0);
    std::vector<uint32_t> t;
    TriangulateLoop(corners.data(), corners.size(), t);
    ASSERT_EQ(t.size(), 18u);
    for (size_t k = 0; k < t.size(); k += 3) {
        const Vec3 n =
            Cross(Sub(corners[t[k + 1]], corners[t[k]]), Sub(corners[t[k + 2]], corners[t[k]]));
        EXPECT_GT(Length(n), 0.5) << "triangle " << k / 3;
    }
    ExpectExactCover(square, 0.2);
}

TEST(Triangles, LoopsThatAreNotSimpleStillGiveTriangles) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-1, 1);
    Loop2 scribble;
    for (int k = 0; k < 3000; ++k)
        scribble.push_back({coordinate(random), coordinate(random)});
    const Loop2 loops[] = {
        {{0, 0}, {1, 1}, {1, 0}, {0, 1}},                         // bow tie
        {{0, 0}, {2, 0}, {2, 2}, {0, 0}, {-2, 0}, {0, -2}},       // figure eight, repeated corner
        {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}},                 // all on one line
        {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},                 // one point
        {{0, 0}, {2, 0}, {2, 2}, {1, 2}, {1, 5}, {1, 2}, {0, 2}}, // a spike out and back
        scribble,
    };
    for (const Loop2& loop : loops) {
        SCOPED_TRACE(loop.size());
        const std::vector<Vec3> corners = Tilted(loop, 0.1);
        std::vector<uint32_t> t;
        TriangulateLoop(corners.data(), corners.size(), t);
        ASSERT_EQ(t.size(), 3 * (loop.size() - 2));
        for (uint32_t k : t)
            ASSERT_LT(k, loop.size());
    }
    // Coordinates that are not numbers or infinite, as a careless sender
    // may hand over.
    const Vec3 odd[] = {{NAN, 0, 1}, {HUGE_VAL, 0, 1},  {0, 0, 0},
                        {1, 2, 3},   {-HUGE_VAL, 5, 1}, {2, 0, NAN}};
    for (size_t n : {4, 6}) {
        std::vector<uint32_t> t;
        TriangulateLoop(odd, n, t);
        EXPECT_EQ(t.size(), 3 * (n - 2));
        for (uint32_t k : t)
            EXPECT_LT(k, n);
    }
    std::vector<Vec3> tilted(odd, odd + 6);
    tilted.insert(tilted.end(), {{5, 5, 5}, {6, 5, 4}, {7, 9, 1}}); // past the quad shortcut
    std::vector<uint32_t> t;
    TriangulateLoop(tilted.data(), tilted.size(), t);
    EXPECT_EQ(t.size(), 21u);
}

TEST(Triangles, ManyCornersInCloseToLinearTime) {
    // This thread's processor time, best of three runs, to stay clear of
    // other work on the machine.
    auto cpuNow = [] {
#if defined(_WIN32)
        // No thread clock in this runtime: the wall clock, best of three.
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
#else
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
#endif
    };
    auto seconds = [&](const Loop2& loop) {
        const std::vector<Vec3> corners = Tilted(loop, 0);
        double best = HUGE_VAL;
        for (int run = 0; run < 3; ++run) {
            std::vector<uint32_t> t;
            const double start = cpuNow();
            TriangulateLoop(corners.data(), corners.size(), t);
            const double d = cpuNow() - start;
            EXPECT_EQ(t.size(), 3 * (loop.size() - 2));
            best = std::min(best, d);
        }
        return best;
    };
    // A finely notched outline (notches as deep as they are wide): ten
    // times the corners may take at most 40 times as long (quadratic would
    // be 100), with a floor for clock noise.
    auto notched = [](int spikes) { return Star(spikes, 1 - 2 * std::numbers::pi / spikes); };
    const double small = std::max(seconds(notched(5000)), 1e-4);
    const double large = seconds(notched(50000));
    EXPECT_LT(large, 40 * small + 0.02) << small << " s, then " << large << " s";
}

// Large simple loops whose ear triangles keep spanning many corners' boxes:
// a band wound twenty times, and a star of deep spikes whose boxes cross the
// coarse cells of the corner index. Both are cut exactly (the unsigned
// areas add up to the loop's own), not given up on as a fan.
TEST(Triangles, LargeSpiralsAndDeepStarsCoveredExactly) {
    for (const Loop2& loop : {Spiral(2000, 20), Star(20000, 0.2)}) {
        const std::vector<Vec3> corners = Tilted(loop, 0);
        std::vector<uint32_t> t;
        TriangulateLoop(corners.data(), corners.size(), t);
        ASSERT_EQ(t.size(), 3 * (loop.size() - 2));
        double sum = 0;
        for (size_t k = 0; k < t.size(); k += 3)
            sum += Length(Cross(Sub(corners[t[k + 1]], corners[t[k]]),
                                Sub(corners[t[k + 2]], corners[t[k]]))) /
                   2;
        const double area = std::fabs(Area2(loop));
        EXPECT_NEAR(sum, area, 1e-9 * area) << loop.size() << " corners";
    }
}

// ------------------------------------------------------------ normals ---

std::vector<unsigned char> Block(bool smooth, float angle) {
    std::vector<unsigned char> b = {'C', 'O', 'L', 'R', 0,   4,   200, 100, 50,  0,   'F', 'L',
                                    'A', 'G', 0,   2,   0,   0,   'S', 'M', 'A', 'N', 0,   4,
                                    0,   0,   0,   0,   'D', 'I', 'F', 'F', 0,   2,   1,   0,
                                    'T', 'R', 'A', 'N', 0,   2,   0,   0,   'S', 'P', 'E', 'C',
                                    0,   2,   0,   0,   'G', 'L', 'O', 'S', 0,   2,   0,   0};
    b[17] = smooth ? 4 : 0;
    uint32_t bits;
    std::memcpy(&bits, &angle, 4);
    for (int k = 0; k < 4; ++k)
        b[24 + static_cast<size_t>(k)] = static_cast<unsigned char>(bits >> (24 - 8 * k));
    return b;
}

// A prism of `sides` quads around the Y axis, clockwise seen from outside
// (the host's front), and its two caps, in surfaces "side" and "cap".
ReceivedModel Prism(int sides, bool smooth, float angle, bool capsShareSurface = false) {
    ReceivedModel m;
    for (int k = 0; k < sides; ++k) {
        const double a = 2 * std::numbers::pi * k / sides;
        const float xyz[6] = {float(std::cos(a)), 0, float(std::sin(a)),
                              float(std::cos(a)), 2, float(std::sin(a))};
        ReceivePoints(m, 2, xyz);
    }
    const int32_t side = ReceiveLookupSurface(m, "side");
    const int32_t cap = capsShareSurface ? side : ReceiveLookupSurface(m, "cap");
    for (int k = 0; k < sides; ++k) {
        const uint16_t a = uint16_t(2 * k), b = uint16_t(2 * ((k + 1) % sides));
        const uint16_t quad[4] = {a, uint16_t(a + 1), uint16_t(b + 1), b};
        ReceivePolygon(m, 4, side, quad);
    }
    std::vector<uint16_t> bottom, top;
    for (int k = 0; k < sides; ++k) {
        bottom.push_back(uint16_t(2 * k));
        top.push_back(uint16_t(2 * (sides - 1 - k) + 1));
    }
    ReceivePolygon(m, sides, cap, bottom.data());
    ReceivePolygon(m, sides, cap, top.data());
    const std::vector<unsigned char> block = Block(smooth, angle);
    ReceiveSurfaceData(m, "side", 60, block.data());
    if (!capsShareSurface)
        ReceiveSurfaceData(m, "cap", 60, block.data());
    EXPECT_EQ(m.refusal, "");
    return m;
}

MeshGeometry Geometry(const ReceivedModel& m) {
    MeshGeometry g;
    std::string error;
    EXPECT_TRUE(ComputeMeshGeometry(m, ExportSurfaces(m), g, error)) << error;
    return g;
}

void ExpectNormal(const Normal3& n, double x, double y, double z) {
    EXPECT_NEAR(n.x, x, 1e-6);
    EXPECT_NEAR(n.y, y, 1e-6);
    EXPECT_NEAR(n.z, z, 1e-6);
}

TEST(Normals, SmoothingJoinsOnlyWithinTheAngle) {
    const int sides = 8; // 45 degrees between neighbouring sides
    const float wide = float(50 * std::numbers::pi / 180),
                narrow = float(44.5 * std::numbers::pi / 180);
    {
        // Within the angle: the sides' corners point straight out from the
        // axis, the caps stay flat (90 degrees away), and each point has one
        // vertex for the sides and one for its cap.
        const MeshGeometry g = Geometry(Prism(sides, true, wide));
        for (int k = 0; k < sides; ++k) {
            const double a = 2 * std::numbers::pi * k / sides;
            ExpectNormal(g.cornerNormal[4 * size_t(k)], std::cos(a), 0, std::sin(a));
        }
        ExpectNormal(g.cornerNormal[4 * sides], 0, -1, 0);
        ExpectNormal(g.cornerNormal[5 * sides], 0, 1, 0);
        EXPECT_EQ(g.vertexPoint.size(), 2u * 2 * sides);
    }
    for (const ReceivedModel& m : {Prism(sides, true, narrow), Prism(sides, false, wide)}) {
        // Outside the angle, or smoothing off: every corner its polygon's.
        const MeshGeometry g = Geometry(m);
        for (int k = 0; k < sides; ++k) {
            const double a = 2 * std::numbers::pi * (k + 0.5) / sides;
            for (size_t c = 0; c < 4; ++c)
                ExpectNormal(g.cornerNormal[4 * size_t(k) + c], std::cos(a), 0, std::sin(a));
        }
        EXPECT_EQ(g.vertexPoint.size(), 4u * sides + 2u * sides);
    }
    {
        // Caps on the sides' surface, angle past 90 degrees: all of it joins.
        const MeshGeometry g =
            Geometry(Prism(sides, true, float(std::numbers::pi / 2 + 0.01), true));
        const double x = 2 * std::cos(std::numbers::pi / sides), length = std::sqrt(x * x + 1);
        ExpectNormal(g.cornerNormal[0], x / length, -1 / length, 0);
        ExpectNormal(g.cornerNormal[4 * sides], x / length, -1 / length, 0);
        EXPECT_EQ(g.vertexPoint.size(), 2u * sides);
    }
}

TEST(Normals, LinesPointsAndFlatLoopsGetNoDirection) {
    ReceivedModel m;
    const float xyz[12] = {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 1};
    ReceivePoints(m, 4, xyz);
    const int32_t s = ReceiveLookupSurface(m, "a");
    const std::vector<unsigned char> block = Block(true, 3.0f);
    ReceiveSurfaceData(m, "a", 60, block.data());
    const uint16_t line[3] = {0, 1, 2}, triangle[3] = {0, 1, 3};
    ReceivePolygon(m, 3, s, line);     // no area
    ReceivePolygon(m, 2, s, line);     // a line
    ReceivePolygon(m, 1, s, line);     // a point
    ReceivePolygon(m, 3, s, triangle); // front toward -Y
    const MeshGeometry g = Geometry(m);
    ExpectNormal(g.cornerNormal[0], 0, 1, 0);
    ExpectNormal(g.cornerNormal[6], 0, -1, 0); // the flat loop does not pull it
    EXPECT_EQ(g.cornerVertex[3], UINT32_MAX);
    EXPECT_EQ(g.triangles.size(), 6u);
    EXPECT_EQ(g.triangleStart, (std::vector<size_t>{0, 3, 3, 3, 6}));
}

} // namespace
