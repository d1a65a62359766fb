// Ear clipping in the polygon's dominant projection plane. The corners that
// are not strictly convex are sorted along a Z-order (Morton) curve, so an
// ear test looks only at those whose code lies between the codes of its
// triangle's bounding-box corners: near-constant work per test for the
// usual shapes, whose corners lie along a curve (a uniform grid would hold
// about the square root of their number in every cell they cross). Rules
// and limits: see Shading.h.
#include "geometry/Shading.h"
#include "geometry/TriangulateSweep.h"

#include <algorithm>
#include <cmath>

namespace {

struct Ring {
    std::vector<double> x, y;
    std::vector<uint32_t> prev, next;
    std::vector<unsigned char> gone;      // clipped
    std::vector<unsigned char> nonConvex; // current state
    std::vector<unsigned char> listed;    // 1 in `sorted`, 2 in `overflow`
    // The non-convex corners at the start in Morton order (code, corner),
    // and those that became non-convex later (only after a forced cut).
    std::vector<uint64_t> sorted;
    std::vector<uint32_t> overflow;
    size_t liveSorted = 0; // entries of `sorted` still in the ring and non-convex
    double minX = 0, minY = 0, scaleX = 1, scaleY = 1;
    uint64_t work = 0;
};

double Cross(const Ring& r, uint32_t a, uint32_t b, uint32_t c) {
    return (r.x[b] - r.x[a]) * (r.y[c] - r.y[a]) - (r.y[b] - r.y[a]) * (r.x[c] - r.x[a]);
}

uint32_t Quantised(double v, double low, double scale) {
    const double q = std::floor((v - low) * scale);
    if (!(q > 0)) // also not a number
        return 0;
    return q >= 65535 ? 65535 : static_cast<uint32_t>(q);
}

uint32_t Spread(uint32_t v) {
    v = (v | v << 8) & 0x00FF00FFu;
    v = (v | v << 4) & 0x0F0F0F0Fu;
    v = (v | v << 2) & 0x33333333u;
    v = (v | v << 1) & 0x55555555u;
    return v;
}

uint32_t MortonCode(const Ring& r, double x, double y) {
    return Spread(Quantised(x, r.minX, r.scaleX)) | Spread(Quantised(y, r.minY, r.scaleY)) << 1;
}

void UpdateConvexity(Ring& r, uint32_t i) {
    const bool was = r.nonConvex[i];
    r.nonConvex[i] = Cross(r, r.prev[i], i, r.next[i]) <= 0;
    if (r.listed[i] == 1 && was != bool(r.nonConvex[i]))
        r.liveSorted += was ? size_t(-1) : 1;
    if (r.nonConvex[i] && !r.listed[i]) {
        r.listed[i] = 2;
        r.overflow.push_back(i);
    }
}

// Whether Morton code `z` lies in the box whose corner codes are `low` and
// `high`: each coordinate's bits compare on their own.
bool CodeInBox(uint32_t z, uint32_t low, uint32_t high) {
    const uint32_t xs = 0x55555555u, ys = 0xAAAAAAAAu;
    return (z & xs) >= (low & xs) && (z & xs) <= (high & xs) && (z & ys) >= (low & ys) &&
           (z & ys) <= (high & ys);
}

// The smallest code above `z` that lies in the box of corner codes `low` and
// `high` (z itself outside it, below `high`): the codes between lie outside,
// so a scan can jump there. Each bit either settles the answer or narrows
// the box to the half that can still hold it.
uint32_t NextCodeInBox(uint32_t z, uint32_t low, uint32_t high) {
    uint32_t best = high;
    for (int bit = 31; bit >= 0; --bit) {
        const uint32_t mask = 1u << bit;
        // This bit and the lower ones of the same coordinate.
        const uint32_t same = (bit % 2 == 0 ? 0x55555555u : 0xAAAAAAAAu) & ((mask << 1) - 1);
        const bool v = z & mask, lo = low & mask, hi = high & mask;
        if (!v && !lo && hi) {
            best = (low & ~same) | mask;            // the upper half's lowest code
            high = (high & ~same) | (same & ~mask); // go on in the lower half
        } else if (!v && lo && hi) {
            return low;
        } else if (v && !lo && !hi) {
            return best;
        } else if (v && !lo && hi) {
            low = (low & ~same) | mask;
        }
    }
    return best;
}

// Drops the entries of corners that are gone or convex once they are the
// majority, so that scans do not keep passing over them.
void CompactSorted(Ring& r) {
    if (r.sorted.size() < 64 || 2 * r.liveSorted >= r.sorted.size())
        return;
    r.sorted.erase(std::remove_if(r.sorted.begin(), r.sorted.end(),
                                  [&](uint64_t e) {
                                      const uint32_t p = static_cast<uint32_t>(e);
                                      return r.gone[p] || !r.nonConvex[p];
                                  }),
                   r.sorted.end());
    r.work += r.sorted.size();
}

// Whether corner p blocks the ear a, b, c (counter-clockwise): it is still in
// the ring, not strictly convex, and inside the triangle or on its edges.
bool Blocks(const Ring& r, uint32_t p, uint32_t a, uint32_t b, uint32_t c) {
    if (r.gone[p] || !r.nonConvex[p] || p == a || p == b || p == c)
        return false;
    return Cross(r, a, b, p) >= 0 && Cross(r, b, c, p) >= 0 && Cross(r, c, a, p) >= 0;
}

bool IsEar(Ring& r, uint32_t b) {
    const uint32_t a = r.prev[b], c = r.next[b];
    ++r.work;
    if (Cross(r, a, b, c) <= 0)
        return false;
    const double lowX = std::min({r.x[a], r.x[b], r.x[c]});
    const double highX = std::max({r.x[a], r.x[b], r.x[c]});
    const double lowY = std::min({r.y[a], r.y[b], r.y[c]});
    const double highY = std::max({r.y[a], r.y[b], r.y[c]});
    // Codes grow with each coordinate, so every corner in the box has a
    // code between those of the box's corners.
    const uint64_t low = uint64_t{MortonCode(r, lowX, lowY)} << 32;
    const uint64_t high = uint64_t{MortonCode(r, highX, highY)} << 32 | UINT32_MAX;
    const uint32_t lowCode = static_cast<uint32_t>(low >> 32);
    const uint32_t highCode = static_cast<uint32_t>(high >> 32);
    for (auto it = std::lower_bound(r.sorted.begin(), r.sorted.end(), low);
         it != r.sorted.end() && *it <= high;) {
        ++r.work;
        const uint32_t code = static_cast<uint32_t>(*it >> 32);
        if (!CodeInBox(code, lowCode, highCode)) {
            // A box across a coarse cell boundary spans a long run of codes
            // outside it: jump over them.
            const uint64_t next = uint64_t{NextCodeInBox(code, lowCode, highCode)} << 32;
            it = next > *it ? std::lower_bound(it, r.sorted.end(), next) : it + 1;
            continue;
        }
        const uint32_t p = static_cast<uint32_t>(*it);
        if (r.x[p] >= lowX && r.x[p] <= highX && r.y[p] >= lowY && r.y[p] <= highY &&
            Blocks(r, p, a, b, c))
            return false;
        ++it;
    }
    for (uint32_t p : r.overflow) {
        ++r.work;
        if (Blocks(r, p, a, b, c))
            return false;
    }
    return true;
}

void Clip(Ring& r, uint32_t b, std::vector<uint32_t>& triangles) {
    const uint32_t a = r.prev[b], c = r.next[b];
    triangles.push_back(a);
    triangles.push_back(b);
    triangles.push_back(c);
    if (r.listed[b] == 1 && r.nonConvex[b])
        --r.liveSorted;
    r.gone[b] = 1;
    r.next[a] = c;
    r.prev[c] = a;
    UpdateConvexity(r, a);
    UpdateConvexity(r, c);
}

void Fan(const uint32_t* order, size_t n, std::vector<uint32_t>& triangles) {
    for (size_t k = 1; k + 1 < n; ++k) {
        triangles.push_back(order[0]);
        triangles.push_back(order[k]);
        triangles.push_back(order[k + 1]);
    }
}

void SortNonConvex(Ring& r, size_t n) {
    double maxX = r.x[0], maxY = r.y[0];
    r.minX = r.x[0];
    r.minY = r.y[0];
    for (uint32_t i = 0; i < n; ++i) {
        r.minX = std::min(r.minX, r.x[i]);
        r.minY = std::min(r.minY, r.y[i]);
        maxX = std::max(maxX, r.x[i]);
        maxY = std::max(maxY, r.y[i]);
    }
    r.scaleX = maxX > r.minX ? 65535.0 / (maxX - r.minX) : 1;
    r.scaleY = maxY > r.minY ? 65535.0 / (maxY - r.minY) : 1;
    if (!std::isfinite(r.scaleX))
        r.scaleX = 1;
    if (!std::isfinite(r.scaleY))
        r.scaleY = 1;
    r.sorted.clear();
    r.liveSorted = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (r.nonConvex[i]) {
            r.sorted.push_back(uint64_t{MortonCode(r, r.x[i], r.y[i])} << 32 | i);
            r.listed[i] = 1;
            ++r.liveSorted;
        }
    }
    std::sort(r.sorted.begin(), r.sorted.end());
}

// Loops of this many corners or more are cut by the sweep; ear clipping
// cuts smaller ones, and those the sweep finds not simple.
constexpr size_t kSweepMinCorners = 64;

void ClipEars(Ring& r, size_t n, std::vector<uint32_t>& triangles) {
    double logN = 1;
    for (size_t m = n; m > 1; m >>= 1)
        ++logN;
    // Near-linear work for the usual shapes, and room for small loops whose
    // ear triangles keep spanning other corners' boxes; past the bound a
    // loop is cut into a fan rather than taking ever longer. Large loops
    // come here only when the sweep found them not simple: those that only
    // touch themselves (a hole joined by a bridge, lobes meeting at a
    // corner) need a few n log n tests; loops that cross themselves get no
    // exact cut anyway, and the tighter bound keeps them quick.
    const uint64_t perCorner = n < kSweepMinCorners ? 64 : 8;
    const uint64_t quadratic = n < kSweepMinCorners ? uint64_t{n} * n : 0;
    const uint64_t budget =
        static_cast<uint64_t>(double(perCorner) * double(n) * logN) + quadratic + 4096;
    size_t remaining = n;
    uint32_t current = 0, stop = 0;
    int mode = 0; // 0 ears; 1 flat corners; 2 any strictly convex corner; 3 any corner
    while (remaining > 3) {
        if (r.work > budget) {
            std::vector<uint32_t> order;
            order.reserve(remaining);
            uint32_t k = current;
            for (size_t i = 0; i < remaining; ++i, k = r.next[k])
                order.push_back(k);
            Fan(order.data(), order.size(), triangles);
            return;
        }
        bool cut = false;
        switch (mode) {
        case 0:
            CompactSorted(r);
            cut = IsEar(r, current);
            break;
        case 1:
            ++r.work;
            cut = Cross(r, r.prev[current], current, r.next[current]) == 0;
            break;
        case 2:
            ++r.work;
            cut = Cross(r, r.prev[current], current, r.next[current]) > 0;
            break;
        default:
            cut = true;
            break;
        }
        if (cut) {
            const uint32_t after = r.next[current];
            Clip(r, current, triangles);
            --remaining;
            // Moving on two corners avoids a fan of slivers around one corner.
            current = remaining > 3 ? r.next[after] : after;
            stop = current;
            mode = 0;
            continue;
        }
        current = r.next[current];
        if (current == stop)
            ++mode; // a whole round without a cut: relax the rule
    }
    const uint32_t b = r.next[current];
    triangles.push_back(current);
    triangles.push_back(b);
    triangles.push_back(r.next[b]);
}

thread_local Ring gRing;

} // namespace

Vec3 NewellNormal(const Vec3* corners, size_t n) {
    Vec3 sum;
    if (n < 3)
        return sum;
    // Relative to the first corner: the same value, less cancellation far
    // from the origin.
    const Vec3 o = corners[0];
    for (size_t i = 1; i + 1 < n; ++i) {
        const Vec3 u{corners[i].x - o.x, corners[i].y - o.y, corners[i].z - o.z};
        const Vec3 v{corners[i + 1].x - o.x, corners[i + 1].y - o.y, corners[i + 1].z - o.z};
        sum.x += u.y * v.z - u.z * v.y;
        sum.y += u.z * v.x - u.x * v.z;
        sum.z += u.x * v.y - u.y * v.x;
    }
    return sum;
}

void TriangulateLoop(const Vec3* corners, size_t n, std::vector<uint32_t>& triangles) {
    if (n < 3)
        return;
    if (n == 3) {
        triangles.insert(triangles.end(), {0, 1, 2});
        return;
    }
    const Vec3 normal = NewellNormal(corners, n);
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    if (!(ax > 0 || ay > 0 || az > 0)) { // no area (or not a number)
        for (uint32_t k = 1; k + 1 < n; ++k)
            triangles.insert(triangles.end(), {0, k, k + 1});
        return;
    }
    // Project on the plane of the two other axes, ordered so that the loop
    // turns counter-clockwise there.
    Ring& r = gRing;
    r.x.resize(n);
    r.y.resize(n);
    const int axis = az >= ax && az >= ay ? 2 : ax >= ay ? 0 : 1;
    const double along = axis == 2 ? normal.z : axis == 0 ? normal.x : normal.y;
    const double flip = along < 0 ? -1.0 : 1.0;
    for (size_t i = 0; i < n; ++i) {
        const Vec3& p = corners[i];
        r.x[i] = flip * (axis == 2 ? p.x : axis == 0 ? p.y : p.z);
        r.y[i] = axis == 2 ? p.y : axis == 0 ? p.z : p.x;
    }
    const uint32_t count = static_cast<uint32_t>(n);
    if (n == 4) {
        // The diagonal from 0 to 2 unless 1 or 3 is not strictly convex.
        const bool across = Cross(r, 0, 1, 2) <= 0 || Cross(r, 2, 3, 0) <= 0;
        if (across) {
            triangles.insert(triangles.end(), {1, 2, 3, 1, 3, 0});
        } else {
            triangles.insert(triangles.end(), {0, 1, 2, 0, 2, 3});
        }
        return;
    }
    if (n >= kSweepMinCorners && TriangulateSimplePolygon(r.x.data(), r.y.data(), n, triangles))
        return;
    r.prev.resize(n);
    r.next.resize(n);
    r.gone.assign(n, 0);
    r.nonConvex.assign(n, 0);
    r.listed.assign(n, 0);
    r.overflow.clear();
    r.work = 0;
    for (uint32_t i = 0; i < count; ++i) {
        r.prev[i] = i == 0 ? count - 1 : i - 1;
        r.next[i] = i + 1 == count ? 0 : i + 1;
    }
    for (uint32_t i = 0; i < count; ++i)
        r.nonConvex[i] = Cross(r, r.prev[i], i, r.next[i]) <= 0;
    SortNonConvex(r, n);
    ClipEars(r, n, triangles);
}
