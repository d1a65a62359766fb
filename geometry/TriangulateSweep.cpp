// A simple polygon cut into triangles in O(n log n): a sweep from top to
// bottom splits it into pieces that are monotone along the sweep (joining
// each corner where the outline turns back, a split or a merge corner, to a
// corner it sees), and each piece is cut by walking its two sides down
// together. The same sweep keeps every edge it crosses in left-to-right
// order and tests each newly neighbouring pair for contact, which finds any
// crossing or touching of edges before it could mislead the sweep: a loop
// that passes is simple. Orientation tests are exact (a fast estimate with
// an error bound, else exact sums of exact products), so no rounding can
// make the sweep inconsistent.
#include "geometry/TriangulateSweep.h"

#include "geometry/MonotonePieces.h"

#include <algorithm>
#include <cmath>

namespace {

// The corners in sweep order (top to bottom, left to right at one height)
// and each corner's rank in it. False when two corners lie at one place.
bool OrderCorners(Sweep& s, std::vector<uint32_t>& order) {
    const uint32_t n = s.n;
    const double* x = s.x;
    const double* y = s.y;
    order.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return y[a] > y[b] || (y[a] == y[b] && x[a] < x[b]); });
    s.rank.assign(n, 0);
    for (uint32_t k = 0; k < n; ++k) {
        s.rank[order[k]] = k;
        if (k > 0 && x[order[k]] == x[order[k - 1]] && y[order[k]] == y[order[k - 1]]) {
            return false;
        }
    }
    return true;
}

} // namespace

bool TriangulateSimplePolygon(const double* x, const double* y, size_t count,
                              std::vector<uint32_t>& triangles) {
    if (count < 3 || count >= UINT32_MAX) {
        return false;
    }
    const uint32_t n = static_cast<uint32_t>(count);
    for (uint32_t i = 0; i < n; ++i) {
        if (!InExactRange(x[i]) || !InExactRange(y[i])) {
            return false;
        }
    }
    Sweep s(x, y, n);
    std::vector<uint32_t> order;
    if (!OrderCorners(s, order)) {
        return false; // two corners at one place
    }
    // The topmost corner of a simple loop is convex: its turn is the loop's
    // sense. A clockwise loop is walked the other way round.
    const uint32_t topCorner = order[0];
    const int sense = s.Turn(topCorner == 0 ? n - 1 : topCorner - 1, topCorner,
                             topCorner + 1 == n ? 0 : topCorner + 1);
    if (sense == 0) {
        return false;
    }
    const bool clockwise = sense < 0;
    s.next.resize(n);
    s.prev.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t after = i + 1 == n ? 0 : i + 1, before = i == 0 ? n - 1 : i - 1;
        s.next[i] = clockwise ? before : after;
        s.prev[i] = clockwise ? after : before;
    }
    s.Run(order);
    if (s.broken) {
        return false;
    }

    const size_t first = triangles.size();
    triangles.reserve(first + 3 * (count - 2));
    if (!CutMonotonePieces(s, topCorner, triangles) ||
        triangles.size() - first != 3 * (count - 2)) {
        triangles.resize(first);
        return false;
    }
    if (clockwise) {
        for (size_t k = first; k < triangles.size(); k += 3) {
            std::swap(triangles[k + 1], triangles[k + 2]);
        }
    }
    return true;
}
