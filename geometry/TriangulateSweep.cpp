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

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// ----------------------------------------------------- exact orientation ---

// a + b as the rounded sum and its exact error.
inline void TwoSum(double a, double b, double& sum, double& error) {
    sum = a + b;
    const double bVirtual = sum - a;
    const double aVirtual = sum - bVirtual;
    error = (a - aVirtual) + (b - bVirtual);
}

// a * b as the rounded product and its exact error (Dekker's splitting;
// exact while no intermediate overflows or underflows, which the range
// check on the coordinates guarantees).
inline void TwoProduct(double a, double b, double& product, double& error) {
    constexpr double kSplitter = 134217729.0; // 2^27 + 1
    product = a * b;
    const double ca = kSplitter * a;
    const double aHigh = ca - (ca - a);
    const double aLow = a - aHigh;
    const double cb = kSplitter * b;
    const double bHigh = cb - (cb - b);
    const double bLow = b - bHigh;
    error = aLow * bLow - (((product - aHigh * bHigh) - aLow * bHigh) - aHigh * bLow);
}

// The sign of (a - c) x (b - c): positive when a, b, c turn
// counter-clockwise, negative clockwise, zero when they lie on one line.
int Orient(double ax, double ay, double bx, double by, double cx, double cy) {
    const double left = (ax - cx) * (by - cy);
    const double right = (ay - cy) * (bx - cx);
    const double estimate = left - right;
    // The estimate's error stays below this bound (differences, products and
    // their difference each rounded once).
    const double bound = 3.3306690738754716e-16 * (std::fabs(left) + std::fabs(right));
    if (estimate > bound) {
        return 1;
    }
    if (-estimate > bound) {
        return -1;
    }
    // Exactly: ax by - ax cy - cx by - ay bx + ay cx + cy bx, as a sum of
    // twelve exact parts grown into a non-overlapping expansion, whose sign
    // is that of its largest component.
    const double factors[6][2] = {{ax, by}, {-ax, cy}, {-cx, by}, {-ay, bx}, {ay, cx}, {cy, bx}};
    double expansion[12];
    int length = 0;
    auto grow = [&](double value) {
        double q = value;
        for (int i = 0; i < length; ++i) {
            double sum, error;
            TwoSum(q, expansion[i], sum, error);
            expansion[i] = error;
            q = sum;
        }
        expansion[length++] = q;
    };
    for (const auto& f : factors) {
        double product, error;
        TwoProduct(f[0], f[1], product, error);
        grow(error);
        grow(product);
    }
    for (int i = length - 1; i >= 0; --i) {
        if (expansion[i] != 0) {
            return expansion[i] > 0 ? 1 : -1;
        }
    }
    return 0;
}

// Whether every coordinate keeps the exact tests exact.
bool InExactRange(double v) {
    const double a = std::fabs(v);
    return a == 0 || (a >= 0x1p-400 && a <= 0x1p400);
}

// ------------------------------------------------------------ the sweep ---

enum CornerKind : unsigned char { kRegular, kStart, kEnd, kSplit, kMerge };

struct Sweep;

// Orders the edges the sweep line crosses from left to right; edge i runs
// from corner i to next[i]. A vertex key asks where a corner lies among them.
struct VertexKey {
    uint32_t corner;
};
struct EdgeLess {
    using is_transparent = void;
    Sweep* s;
    bool operator()(uint32_t e, uint32_t f) const;
    bool operator()(uint32_t e, VertexKey v) const;
};

struct Sweep {
    const double* x;
    const double* y;
    uint32_t n;
    std::vector<uint32_t> next, prev; // counter-clockwise
    std::vector<uint32_t> rank;       // position in the sweep (0 = top)
    std::vector<unsigned char> kind;
    std::vector<uint32_t> helper; // per edge
    std::set<uint32_t, EdgeLess> status;
    std::vector<std::set<uint32_t, EdgeLess>::iterator> where; // per edge in the status
    std::vector<uint32_t> diagonals;                           // pairs of corners
    bool broken = false;                                       // the loop is found not simple

    explicit Sweep(const double* px, const double* py, uint32_t count)
        : x(px), y(py), n(count), status(EdgeLess{this}) {}

    int Turn(uint32_t a, uint32_t b, uint32_t c) const {
        return Orient(x[a], y[a], x[b], y[b], x[c], y[c]);
    }
    // Whether corner a comes before corner b in the sweep: higher, or as
    // high and further left.
    bool Before(uint32_t a, uint32_t b) const { return rank[a] < rank[b]; }
    uint32_t Upper(uint32_t e) const { return Before(e, next[e]) ? e : next[e]; }
    uint32_t Lower(uint32_t e) const { return Before(e, next[e]) ? next[e] : e; }
    // The sign of corner p's side of edge e: positive left of it (seen
    // along the edge upwards), negative right of it.
    int Side(uint32_t e, uint32_t p) const { return Turn(Lower(e), Upper(e), p); }

    bool Adjacent(uint32_t e, uint32_t f) const { return next[e] == f || next[f] == e; }
    // Whether p, known to lie on the line through a and b, lies between them.
    bool Within(uint32_t a, uint32_t b, uint32_t p) const {
        return std::min(x[a], x[b]) <= x[p] && x[p] <= std::max(x[a], x[b]) &&
               std::min(y[a], y[b]) <= y[p] && y[p] <= std::max(y[a], y[b]);
    }
    // Whether two edges of the loop meet where a simple loop's edges never
    // do: anywhere, for edges that do not follow each other; along a common
    // stretch, for edges that do.
    bool Meet(uint32_t e, uint32_t f) const {
        const uint32_t e0 = e, e1 = next[e], f0 = f, f1 = next[f];
        if (Adjacent(e, f)) {
            const uint32_t shared = e1 == f0 ? e1 : e0;
            const uint32_t a = shared == e0 ? e1 : e0;
            const uint32_t b = shared == f0 ? f1 : f0;
            if (Turn(shared, a, b) != 0) {
                return false;
            }
            const auto direction = [&](uint32_t p) {
                return x[p] != x[shared] ? (x[p] > x[shared] ? 1 : -1)
                                         : (y[p] > y[shared] ? 1 : -1);
            };
            return direction(a) == direction(b);
        }
        const int o1 = Turn(e0, e1, f0), o2 = Turn(e0, e1, f1);
        const int o3 = Turn(f0, f1, e0), o4 = Turn(f0, f1, e1);
        if (o1 * o2 < 0 && o3 * o4 < 0) {
            return true;
        }
        return (o1 == 0 && Within(e0, e1, f0)) || (o2 == 0 && Within(e0, e1, f1)) ||
               (o3 == 0 && Within(f0, f1, e0)) || (o4 == 0 && Within(f0, f1, e1));
    }
    void CheckPair(std::set<uint32_t, EdgeLess>::iterator a,
                   std::set<uint32_t, EdgeLess>::iterator b) {
        if (a != status.end() && b != status.end() && Meet(*a, *b)) {
            broken = true;
        }
    }
    void Insert(uint32_t e) {
        const auto it = status.insert(e).first;
        where[e] = it;
        if (it != status.begin()) {
            CheckPair(std::prev(it), it);
        }
        CheckPair(it, std::next(it));
    }
    void Erase(uint32_t e) {
        auto it = where[e];
        const auto after = status.erase(it);
        if (after != status.begin()) {
            CheckPair(std::prev(after), after);
        }
    }
    // The edge directly left of corner v, which a simple loop always has
    // where it is asked for (the loop's inside lies right of it).
    uint32_t LeftOf(uint32_t v) {
        auto it = status.lower_bound(VertexKey{v});
        if (it == status.begin()) {
            broken = true;
            return n;
        }
        --it;
        const uint32_t e = *it;
        if (!Before(e, next[e])) { // runs upwards: the outside lies right of it
            broken = true;
            return n;
        }
        return e;
    }
    void Diagonal(uint32_t a, uint32_t b) {
        diagonals.push_back(a);
        diagonals.push_back(b);
    }
    void JoinMergeHelper(uint32_t v, uint32_t e) {
        if (e < n && kind[helper[e]] == kMerge) {
            Diagonal(v, helper[e]);
        }
    }

    void Run(const std::vector<uint32_t>& order) {
        kind.assign(n, kRegular);
        for (uint32_t v = 0; v < n; ++v) {
            const bool prevBelow = Before(v, prev[v]);
            const bool nextBelow = Before(v, next[v]);
            if (prevBelow != nextBelow) {
                continue;
            }
            const int turn = Turn(prev[v], v, next[v]);
            if (turn == 0) { // the outline doubles back on itself
                broken = true;
                return;
            }
            kind[v] = prevBelow ? (turn > 0 ? kStart : kSplit) : (turn > 0 ? kEnd : kMerge);
        }
        helper.assign(n, 0);
        where.resize(n);
        for (const uint32_t v : order) {
            const uint32_t in = prev[v]; // the edge that ends at v, going round
            // Edges that end here leave the sweep first.
            if (Before(in, v)) {
                // A merge corner left as the helper of that edge is joined
                // to v (v is an end, a merge or a corner of the left side).
                JoinMergeHelper(v, in);
                Erase(in);
            }
            if (Before(next[v], v)) {
                Erase(v);
            }
            if (broken) {
                return;
            }
            switch (kind[v]) {
            case kStart:
                break;
            case kEnd:
                break;
            case kSplit: {
                const uint32_t left = LeftOf(v);
                if (broken) {
                    return;
                }
                Diagonal(v, helper[left]);
                helper[left] = v;
                break;
            }
            case kMerge:
            case kRegular:
                if (kind[v] == kMerge || !Before(prev[v], v)) {
                    // The inside lies left of v: v becomes the helper of
                    // the edge there.
                    const uint32_t left = LeftOf(v);
                    if (broken) {
                        return;
                    }
                    JoinMergeHelper(v, left);
                    helper[left] = v;
                }
                break;
            }
            // Edges that start here enter the sweep.
            if (Before(v, next[v])) {
                helper[v] = v;
                Insert(v);
            }
            if (Before(v, in)) {
                helper[in] = v;
                Insert(in);
            }
            if (broken) {
                return;
            }
        }
    }
};

bool EdgeLess::operator()(uint32_t e, uint32_t f) const {
    if (e == f) {
        return false;
    }
    // Compare where the later of the two upper ends lies against the other
    // edge; edges of a simple loop do not cross, so the answer holds as long
    // as both are in the sweep.
    const uint32_t eu = s->Upper(e), fu = s->Upper(f);
    if (eu == fu) { // both start at one corner: their lower ends decide
        const int side = s->Side(f, s->Lower(e));
        if (side == 0) {
            s->broken = true;
            return e < f;
        }
        return side > 0;
    }
    if (s->Before(fu, eu)) {
        const int side = s->Side(f, eu);
        if (side == 0) {
            s->broken = true;
            return e < f;
        }
        return side > 0;
    }
    const int side = s->Side(e, fu);
    if (side == 0) {
        s->broken = true;
        return e < f;
    }
    return side < 0;
}

bool EdgeLess::operator()(uint32_t e, VertexKey v) const {
    const int side = s->Side(e, v.corner);
    if (side == 0) {
        s->broken = true;
    }
    return side < 0;
}

// ------------------------------------------------------- monotone pieces ---

// The corners, loop edges and diagonals as a plane graph: around each
// corner its neighbours in counter-clockwise order.
struct Pieces {
    const Sweep& s;
    std::vector<uint32_t> start;     // per corner, into `neighbour`
    std::vector<uint32_t> neighbour; // around each corner, counter-clockwise
    std::vector<unsigned char> used; // per entry: the side of that edge is walked

    explicit Pieces(const Sweep& sweep) : s(sweep) {}

    // Counter-clockwise from the direction of +x: the upper half-plane
    // first (with +x itself), then the lower one.
    bool AngleLess(uint32_t v, uint32_t a, uint32_t b) const {
        const auto half = [&](uint32_t p) {
            return s.y[p] > s.y[v] || (s.y[p] == s.y[v] && s.x[p] > s.x[v]) ? 0 : 1;
        };
        const int ha = half(a), hb = half(b);
        if (ha != hb) {
            return ha < hb;
        }
        return s.Turn(v, a, b) > 0;
    }

    void Build() {
        const uint32_t n = s.n;
        start.assign(n + 1, 2);
        start[n] = 0;
        for (size_t k = 0; k < s.diagonals.size(); ++k) {
            ++start[s.diagonals[k]];
        }
        uint32_t total = 0;
        for (uint32_t v = 0; v <= n; ++v) {
            const uint32_t count = v < n ? start[v] : 0;
            start[v] = total;
            total += count;
        }
        neighbour.assign(total, 0);
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (uint32_t v = 0; v < n; ++v) {
            neighbour[fill[v]++] = s.prev[v];
            neighbour[fill[v]++] = s.next[v];
        }
        for (size_t k = 0; k < s.diagonals.size(); k += 2) {
            const uint32_t a = s.diagonals[k], b = s.diagonals[k + 1];
            neighbour[fill[a]++] = b;
            neighbour[fill[b]++] = a;
        }
        for (uint32_t v = 0; v < n; ++v) {
            std::sort(neighbour.begin() + start[v], neighbour.begin() + start[v + 1],
                      [&](uint32_t a, uint32_t b) { return AngleLess(v, a, b); });
        }
        used.assign(total, 0);
    }

    // The entry of `a` among the neighbours of `v`.
    uint32_t EntryOf(uint32_t v, uint32_t a) const {
        const auto first = neighbour.begin() + start[v], last = neighbour.begin() + start[v + 1];
        const auto it = std::lower_bound(
            first, last, a, [&](uint32_t p, uint32_t q) { return AngleLess(v, p, q); });
        return it != last && *it == a ? static_cast<uint32_t>(it - neighbour.begin()) : UINT32_MAX;
    }

    // Walks the piece to the left of the edge from `from` to the neighbour at
    // `entry`, appending its corners counter-clockwise. False when the walk
    // does not close as the pieces of a simple loop do.
    bool Walk(uint32_t from, uint32_t entry, std::vector<uint32_t>& piece) {
        piece.clear();
        uint32_t u = from;
        uint32_t at = entry;
        for (size_t steps = 0; steps <= s.n; ++steps) {
            if (used[at]) {
                return at == entry && piece.size() >= 3;
            }
            used[at] = 1;
            piece.push_back(u);
            const uint32_t w = neighbour[at];
            const uint32_t back = EntryOf(w, u);
            if (back == UINT32_MAX) {
                return false;
            }
            // Turn as far right as possible at w: the neighbour before u.
            at = back == start[w] ? start[w + 1] - 1 : back - 1;
            u = w;
        }
        return false;
    }
};

// Cuts one piece, monotone along the sweep and given counter-clockwise, by
// walking its two sides down together.
bool CutMonotone(const Sweep& s, const std::vector<uint32_t>& piece,
                 std::vector<uint32_t>& triangles, std::vector<uint32_t>& merged,
                 std::vector<unsigned char>& onLeft, std::vector<size_t>& stack) {
    const size_t m = piece.size();
    size_t top = 0, bottom = 0;
    for (size_t i = 1; i < m; ++i) {
        top = s.Before(piece[i], piece[top]) ? i : top;
        bottom = s.Before(piece[bottom], piece[i]) ? i : bottom;
    }
    // Counter-clockwise from the top runs down the left side.
    merged.clear();
    onLeft.clear();
    size_t left = top, right = top;
    merged.push_back(piece[top]);
    onLeft.push_back(1);
    while (merged.size() < m) {
        const size_t l = (left + 1) % m, r = (right + m - 1) % m;
        const bool leftOpen = left != bottom, rightOpen = right != bottom;
        if (leftOpen && (!rightOpen || s.Before(piece[l], piece[r]))) {
            left = l;
            merged.push_back(piece[l]);
            onLeft.push_back(l == bottom ? 2 : 1);
        } else if (rightOpen) {
            right = r;
            merged.push_back(piece[r]);
            onLeft.push_back(r == bottom ? 2 : 0);
        } else {
            return false;
        }
    }
    auto emit = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (s.Turn(a, b, c) < 0) {
            std::swap(b, c);
        }
        triangles.insert(triangles.end(), {a, b, c});
    };
    stack.clear();
    stack.push_back(0);
    stack.push_back(1);
    for (size_t j = 2; j + 1 < m; ++j) {
        const uint32_t u = merged[j];
        if (onLeft[j] != onLeft[stack.back()]) {
            for (size_t k = 0; k + 1 < stack.size(); ++k) {
                emit(u, merged[stack[k]], merged[stack[k + 1]]);
            }
            const size_t last = stack.back();
            stack.clear();
            stack.push_back(last);
            stack.push_back(j);
        } else {
            size_t last = stack.back();
            stack.pop_back();
            while (!stack.empty()) {
                const uint32_t a = merged[stack.back()], b = merged[last];
                // The diagonal from u to a lies inside when the side turns
                // towards the inside at b.
                const int turn = onLeft[j] ? s.Turn(a, b, u) : s.Turn(a, u, b);
                if (turn <= 0) {
                    break;
                }
                emit(a, b, u);
                last = stack.back();
                stack.pop_back();
            }
            stack.push_back(last);
            stack.push_back(j);
        }
    }
    const uint32_t u = merged[m - 1];
    for (size_t k = 0; k + 1 < stack.size(); ++k) {
        emit(u, merged[stack[k]], merged[stack[k + 1]]);
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
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return y[a] > y[b] || (y[a] == y[b] && x[a] < x[b]); });
    s.rank.assign(n, 0);
    for (uint32_t k = 0; k < n; ++k) {
        s.rank[order[k]] = k;
        if (k > 0 && x[order[k]] == x[order[k - 1]] && y[order[k]] == y[order[k - 1]]) {
            return false; // two corners at one place
        }
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
    std::vector<uint32_t> piece, merged;
    std::vector<size_t> stack;
    std::vector<unsigned char> onLeft;
    bool ok = true;
    if (s.diagonals.empty()) {
        piece.resize(n);
        uint32_t v = topCorner;
        for (uint32_t k = 0; k < n; ++k, v = s.next[v]) {
            piece[k] = v;
        }
        ok = CutMonotone(s, piece, triangles, merged, onLeft, stack);
    } else {
        Pieces graph(s);
        graph.Build();
        for (uint32_t v = 0; v < n && ok; ++v) {
            for (uint32_t at = graph.start[v]; at < graph.start[v + 1] && ok; ++at) {
                // Every edge side that faces the inside: the loop's edges
                // going round, and diagonals both ways.
                if (graph.used[at] || graph.neighbour[at] == s.prev[v]) {
                    continue;
                }
                ok = graph.Walk(v, at, piece) &&
                     CutMonotone(s, piece, triangles, merged, onLeft, stack);
            }
        }
    }
    if (!ok || triangles.size() - first != 3 * (count - 2)) {
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
