// Triangles, lines and dots, drawn into the samples.
//
// Coverage is decided in exact integer arithmetic on the fixed-point corners. A
// sample belongs to a triangle when it lies inside each edge. A sample exactly
// on an edge shared by two triangles belongs to the one that owns the edge, by
// the rule below. So a closed surface has neither gaps nor samples drawn twice.
// Each row's span is solved from the edges. So the work is the rows plus the
// samples covered, however thin or slanted the triangle.
//
// Depth is the inverse depth, which is linear across a triangle on the screen.
// It is worked out in double precision in a fixed order, and kept as a float.
// The nearer wins. Of two at the same depth, the one drawn first wins.
#include "render/Draw.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr int64_t kHalfStep = kSubSteps / 2; // a sample's centre, from its corner
// Lines and dots are drawn this much nearer, so that a line along a face's
// edge is not lost to the face.
constexpr double kLift = 1 + 1.0 / 1024;

int64_t FloorDiv(int64_t n, int64_t d) {
    int64_t q = n / d;
    if (n % d != 0 && (n < 0) != (d < 0))
        --q;
    return q;
}
int64_t CeilDiv(int64_t n, int64_t d) {
    return -FloorDiv(-n, d);
}

// The first sample whose centre lies at or after `fixed`.
int64_t FirstCentreFrom(int64_t fixed) {
    return CeilDiv(fixed - kHalfStep, kSubSteps);
}

// An edge from p0 to p1, as a function of the sample (i, j). The value
// a i + b j + c is the edge test at the sample's centre. The sample is inside
// when the value is at least `least`. The edge is owned when it runs down the
// screen, or exactly across it leftwards. An owned edge has `least` 0, so
// samples on it count. Two triangles that share an edge run along it in
// opposite directions. So exactly one of them owns it.
struct Edge {
    int64_t a, b, c, least;
};
Edge EdgeOf(const Projected& p0, const Projected& p1) {
    const int64_t dx = p1.x - p0.x, dy = p1.y - p0.y;
    const bool owned = dy > 0 || (dy == 0 && dx < 0);
    return {-kSubSteps * dy, kSubSteps * dx, dx * (kHalfStep - p0.y) - dy * (kHalfStep - p0.x),
            owned ? 0 : 1};
}

void KeepNearerSample(Samples& samples, size_t at, float depth, uint32_t id) {
    if (depth > samples.depth[at]) {
        samples.depth[at] = depth;
        samples.id[at] = id;
    }
}

// The samples of row j inside all three edges, within [lo, hi].
void RowSpan(const Edge (&edges)[3], int64_t j, int64_t& lo, int64_t& hi) {
    for (const Edge& e : edges) {
        const int64_t rest = e.least - (e.b * j + e.c); // a i >= rest
        if (e.a > 0) {
            lo = std::max(lo, CeilDiv(rest, e.a));
        } else if (e.a < 0) {
            hi = std::min(hi, FloorDiv(rest, e.a));
        } else if (rest > 0) {
            hi = lo - 1;
            return;
        }
    }
}

} // namespace

uint64_t DrawTriangle(Samples& samples, Projected a, Projected b, Projected c, uint32_t id,
                      bool bothSides) {
    if (!(a.inverseDepth > 0 && b.inverseDepth > 0 && c.inverseDepth > 0))
        return 1;
    int64_t turn = TurnOf(a, b, c);
    if (turn == 0)
        return 1;
    if (turn < 0) {
        if (!bothSides)
            return 1; // its back, culled
        std::swap(b, c);
        turn = -turn;
    }
    const int64_t last = int64_t{samples.width} - 1;
    const int64_t i0 = std::max<int64_t>(0, FirstCentreFrom(std::min({a.x, b.x, c.x})));
    const int64_t i1 = std::min(last, FirstCentreFrom(std::max({a.x, b.x, c.x}) + 1) - 1);
    const int64_t j0 = std::max<int64_t>(0, FirstCentreFrom(std::min({a.y, b.y, c.y})));
    const int64_t j1 = std::min(last, FirstCentreFrom(std::max({a.y, b.y, c.y}) + 1) - 1);
    if (i0 > i1 || j0 > j1)
        return 1;
    // Edge k is opposite corner k: its test over `turn` is that corner's weight.
    const Edge edges[3] = {EdgeOf(b, c), EdgeOf(c, a), EdgeOf(a, b)};
    const double area = static_cast<double>(turn);
    const double wa = a.inverseDepth, wb = b.inverseDepth, wc = c.inverseDepth;
    auto plane = [&](int64_t Edge::*term) {
        return (static_cast<double>(edges[0].*term) * wa +
                static_cast<double>(edges[1].*term) * wb +
                static_cast<double>(edges[2].*term) * wc) /
               area;
    };
    const double perColumn = plane(&Edge::a), perRow = plane(&Edge::b), start = plane(&Edge::c);
    uint64_t visits = 1;
    for (int64_t j = j0; j <= j1; ++j) {
        int64_t lo = i0, hi = i1;
        RowSpan(edges, j, lo, hi);
        ++visits;
        if (lo > hi)
            continue;
        visits += static_cast<uint64_t>(hi - lo + 1);
        const double rowDepth = start + perRow * static_cast<double>(j);
        const size_t row = static_cast<size_t>(j) * samples.width;
        for (int64_t i = lo; i <= hi; ++i) {
            const float depth = static_cast<float>(rowDepth + perColumn * static_cast<double>(i));
            KeepNearerSample(samples, row + static_cast<size_t>(i), depth, id);
        }
    }
    return visits;
}

uint64_t DrawDot(Samples& samples, Projected p, uint32_t across, uint32_t id) {
    if (!(p.inverseDepth > 0))
        return 1;
    const int64_t extent = int64_t{across} * kHalfStep;
    const int64_t last = int64_t{samples.width} - 1;
    const int64_t i0 = std::max<int64_t>(0, FirstCentreFrom(p.x - extent));
    const int64_t i1 = std::min(last, FirstCentreFrom(p.x + extent) - 1);
    const int64_t j0 = std::max<int64_t>(0, FirstCentreFrom(p.y - extent));
    const int64_t j1 = std::min(last, FirstCentreFrom(p.y + extent) - 1);
    const float depth = static_cast<float>(p.inverseDepth * kLift);
    uint64_t visits = 1;
    for (int64_t j = j0; j <= j1; ++j) {
        for (int64_t i = i0; i <= i1; ++i)
            KeepNearerSample(samples,
                             static_cast<size_t>(j) * samples.width + static_cast<size_t>(i), depth,
                             id);
        visits += static_cast<uint64_t>(std::max<int64_t>(0, i1 - i0 + 1));
    }
    return visits;
}

uint64_t DrawLine(Samples& samples, Projected a, Projected b, uint32_t id) {
    if (!(a.inverseDepth > 0 && b.inverseDepth > 0))
        return 1;
    const int64_t thick = samples.perPixel;
    const bool acrossX = std::abs(b.x - a.x) >= std::abs(b.y - a.y);
    // Along the major axis u, one run of `thick` samples across it per sample.
    auto u = [acrossX](const Projected& p) { return acrossX ? p.x : p.y; };
    auto v = [acrossX](const Projected& p) { return acrossX ? p.y : p.x; };
    if (u(b) < u(a))
        std::swap(a, b);
    const int64_t du = u(b) - u(a), dv = v(b) - v(a);
    if (du < kSubSteps * thick)
        return DrawDot(samples, a, samples.perPixel, id);
    const int64_t last = int64_t{samples.width} - 1;
    const int64_t k0 = std::max<int64_t>(0, FirstCentreFrom(u(a)));
    const int64_t k1 = std::min(last, FirstCentreFrom(u(b) + 1) - 1);
    const int64_t extent = thick * kHalfStep;
    uint64_t visits = 1;
    for (int64_t k = k0; k <= k1; ++k) {
        const int64_t along = k * kSubSteps + kHalfStep - u(a);
        const int64_t across = v(a) + FloorDiv(along * dv, du);
        const int64_t m0 = std::max<int64_t>(0, FirstCentreFrom(across - extent));
        const int64_t m1 = std::min(last, FirstCentreFrom(across + extent) - 1);
        const double t = static_cast<double>(along) / static_cast<double>(du);
        const float depth =
            static_cast<float>((a.inverseDepth + (b.inverseDepth - a.inverseDepth) * t) * kLift);
        for (int64_t m = m0; m <= m1; ++m) {
            const int64_t i = acrossX ? k : m, j = acrossX ? m : k;
            KeepNearerSample(samples,
                             static_cast<size_t>(j) * samples.width + static_cast<size_t>(i), depth,
                             id);
        }
        visits += 1 + static_cast<uint64_t>(std::max<int64_t>(0, m1 - m0 + 1));
    }
    return visits;
}
