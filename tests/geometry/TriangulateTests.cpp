// Triangles that cover each polygon exactly once (checked by the sum of
// unsigned triangle areas against the polygon's area, by the orientation of
// every triangle, and by every triangle's centre lying inside the polygon),
// robustness on loops that are not simple, and the sweep against a plain
// simplicity check.
#include "geometry/Shading.h"
#include "geometry/SmoothFan.h"
#include "geometry/TriangulateSweep.h"

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

// Whether a loop is simple, by testing every pair of its edges: no two
// corners at one place, edges that do not follow each other do not meet,
// and edges that do meet only at their common corner.
bool IsSimple(const Loop2& l) {
    auto turn = [](const std::array<double, 2>& a, const std::array<double, 2>& b,
                   const std::array<double, 2>& c) {
        const double v = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
        return v > 0 ? 1 : v < 0 ? -1 : 0;
    };
    auto within = [](const std::array<double, 2>& a, const std::array<double, 2>& b,
                     const std::array<double, 2>& p) {
        return std::min(a[0], b[0]) <= p[0] && p[0] <= std::max(a[0], b[0]) &&
               std::min(a[1], b[1]) <= p[1] && p[1] <= std::max(a[1], b[1]);
    };
    const size_t n = l.size();
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            if (l[i] == l[j])
                return false;
            const auto &a = l[i], &b = l[(i + 1) % n], &c = l[j], &d = l[(j + 1) % n];
            if (j == i + 1 || (i == 0 && j == n - 1)) {
                const auto& shared = j == i + 1 ? b : a;
                const auto& p = j == i + 1 ? a : b;
                const auto& q = j == i + 1 ? d : c;
                const bool sameWay = p[0] != shared[0] ? (p[0] > shared[0]) == (q[0] > shared[0])
                                                       : (p[1] > shared[1]) == (q[1] > shared[1]);
                if (turn(shared, p, q) == 0 && sameWay)
                    return false;
                continue;
            }
            const int o1 = turn(a, b, c), o2 = turn(a, b, d), o3 = turn(c, d, a),
                      o4 = turn(c, d, b);
            if ((o1 * o2 < 0 && o3 * o4 < 0) || (o1 == 0 && within(a, b, c)) ||
                (o2 == 0 && within(a, b, d)) || (o3 == 0 && within(c, d, a)) ||
                (o4 == 0 && within(c, d, b)))
                return false;
        }
    }
    return true;
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

// Loops of many corners: the sum of the triangles' unsigned areas must be the
// loop's own area (a fan or any overlap would exceed it), and every triangle
// must turn the loop's way.
void ExpectAreasAddUp(const Loop2& loop) {
    const std::vector<Vec3> corners = Tilted(loop, 0);
    std::vector<uint32_t> t;
    TriangulateLoop(corners.data(), corners.size(), t);
    ASSERT_EQ(t.size(), 3 * (loop.size() - 2));
    const Vec3 normal = NewellNormal(corners.data(), corners.size());
    const double area = std::fabs(Area2(loop));
    double sum = 0;
    size_t turnedBack = 0;
    for (size_t k = 0; k < t.size(); k += 3) {
        const Vec3 n =
            Cross(Sub(corners[t[k + 1]], corners[t[k]]), Sub(corners[t[k + 2]], corners[t[k]]));
        sum += Length(n) / 2;
        turnedBack += Dot(n, normal) < -1e-9 * area * area ? 1 : 0;
    }
    EXPECT_NEAR(sum, area, 1e-9 * area) << loop.size() << " corners";
    EXPECT_EQ(turnedBack, 0u) << loop.size() << " corners";
}

// Finely notched outlines (notches as deep as they are wide), a comb of
// long teeth, and bands wound twenty times: shapes whose ear triangles keep
// spanning many other corners, all cut exactly.
TEST(Triangles, ManyCornersCoveredExactly) {
    auto notched = [](int spikes) { return Star(spikes, 1 - 2 * std::numbers::pi / spikes); };
    for (const Loop2& loop : {notched(5000), notched(50000), Comb(20000), Spiral(32499, 20)})
        ExpectAreasAddUp(loop);
}

// Loops that touch themselves but do not cross: an annulus whose hole is
// joined to the outside by a bridge (two corners each repeated), two lobes
// meeting at one corner. The sweep refuses them; the ear clipping that
// takes over still cuts them exactly.
TEST(Triangles, LoopsThatOnlyTouchThemselvesCutExactly) {
    const double pi = std::numbers::pi;
    const int n = 3000;
    Loop2 bridged, lobes;
    auto at = [&](double r, int k) { // the same point for k and k + n
        const double a = 2 * pi * (k % n) / n;
        return std::array<double, 2>{r * std::cos(a), r * std::sin(a)};
    };
    for (int k = 0; k <= n; ++k)
        bridged.push_back(at(10, k));
    for (int k = n; k >= 0; --k)
        bridged.push_back(at(5 + 0.5 * std::sin(23 * 2 * pi * k / n), k));
    for (int k = 0; k < n; ++k) {
        const auto p = at(5, k + n / 2);
        lobes.push_back({k == 0 ? 0.0 : 5 + p[0], p[1]}); // starts at the origin
    }
    for (int k = 0; k < n; ++k) {
        const auto p = at(5, k);
        lobes.push_back({k == 0 ? 0.0 : p[0] - 5, p[1]});
    }
    for (const Loop2& loop : {bridged, lobes}) {
        EXPECT_FALSE(IsSimple(loop));
        ExpectAreasAddUp(loop);
    }
}

TEST(Triangles, LargeSpiralsAndDeepStarsCoveredExactly) {
    for (const Loop2& loop : {Spiral(2000, 20), Star(20000, 0.2)})
        ExpectAreasAddUp(loop);
}

// Loops of a few corners on a coarse grid, where corners coincide, edges
// touch, cross and run along each other: the sweep must take exactly the
// simple ones (judged here by testing every pair of edges) and cut them
// exactly, and refuse the others without output.
TEST(Triangles, SweepTakesExactlyTheSimpleLoops) {
    std::mt19937 random(29);
    int taken = 0, refused = 0;
    for (int round = 0; round < 6000; ++round) {
        std::uniform_int_distribution<int> grid(0, 4 + round % 5);
        Loop2 loop;
        for (int k = 0; k < 3 + round % 8; ++k)
            loop.push_back({double(grid(random)), double(grid(random))});
        std::vector<double> x, y;
        for (const auto& p : loop) {
            x.push_back(p[0]);
            y.push_back(p[1]);
        }
        std::vector<uint32_t> t = {7};
        const bool cut = TriangulateSimplePolygon(x.data(), y.data(), loop.size(), t);
        ASSERT_EQ(cut, IsSimple(loop)) << "round " << round;
        if (!cut) {
            EXPECT_EQ(t, (std::vector<uint32_t>{7}));
            ++refused;
            continue;
        }
        ++taken;
        ASSERT_EQ(t.size(), 1 + 3 * (loop.size() - 2));
        const double area = Area2(loop);
        double sum = 0;
        for (size_t k = 1; k < t.size(); k += 3) {
            const auto &a = loop[t[k]], &b = loop[t[k + 1]], &c = loop[t[k + 2]];
            const double twice = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
            EXPECT_GE(twice * area, 0) << "round " << round << ": a triangle turns back";
            sum += std::fabs(twice) / 2;
        }
        EXPECT_EQ(sum, std::fabs(area)) << "round " << round;
    }
    EXPECT_GT(taken, 1000);
    EXPECT_GT(refused, 1000);
}

// Loops of 64 corners and more go to the sweep: random star-shaped ones,
// also on whole numbers with a corner in the middle of each edge (runs of
// exactly collinear corners, level and upright edges), both ways round and
// tilted.
TEST(Triangles, SweptLoopsCoveredExactlyOnce) {
    std::mt19937 random(31);
    int whole = 0;
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(round);
        Loop2 loop = RandomStarShaped(random, 64 + round * 3);
        if (round % 2 == 1) {
            Loop2 split;
            for (size_t i = 0; i < loop.size(); ++i) {
                const auto& p = loop[i];
                const auto& q = loop[(i + 1) % loop.size()];
                const double px = 2 * std::round(p[0] * 5000), py = 2 * std::round(p[1] * 5000);
                const double qx = 2 * std::round(q[0] * 5000), qy = 2 * std::round(q[1] * 5000);
                split.push_back({px, py});
                split.push_back({(px + qx) / 2, (py + qy) / 2});
            }
            if (!IsSimple(split))
                continue; // rounding made it touch itself
            loop = split;
            ++whole;
        }
        std::vector<double> x, y;
        for (const auto& p : loop) {
            x.push_back(p[0]);
            y.push_back(p[1]);
        }
        std::vector<uint32_t> plain;
        EXPECT_TRUE(TriangulateSimplePolygon(x.data(), y.data(), loop.size(), plain));
        ExpectExactCover(loop, round * 0.01);
        ExpectExactCover(Reversed(loop), round * 0.02);
    }
    EXPECT_GT(whole, 40);
}

} // namespace
