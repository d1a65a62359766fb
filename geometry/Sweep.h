// The sweep of a loop from top to bottom (TriangulateSweep.cpp). It keeps the
// edges it crosses in left-to-right order. Each edge is tested for contact
// against its new neighbours. A loop that passes these tests is simple. The
// sweep also finds the diagonals that split the loop into pieces monotone along
// the sweep. MonotonePieces.cpp cuts those pieces. It is all inline, so the
// ordered set's comparisons stay where they are used.
#pragma once

#include "geometry/ExactOrientation.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>
#include <vector>

enum CornerKind : unsigned char { kRegular, kStart, kEnd, kSplit, kMerge };

struct Sweep;

// Orders the edges the sweep line crosses from left to right. Edge i runs from
// corner i to next[i]. A vertex key asks where a corner lies among them.
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
    // The sign of corner p's side of edge e, seen along the edge upwards. It is
    // positive left of the edge and negative right of it.
    int Side(uint32_t e, uint32_t p) const { return Turn(Lower(e), Upper(e), p); }

    bool Adjacent(uint32_t e, uint32_t f) const { return next[e] == f || next[f] == e; }
    // Whether p, known to lie on the line through a and b, lies between them.
    bool Within(uint32_t a, uint32_t b, uint32_t p) const {
        return std::min(x[a], x[b]) <= x[p] && x[p] <= std::max(x[a], x[b]) &&
               std::min(y[a], y[b]) <= y[p] && y[p] <= std::max(y[a], y[b]);
    }
    // Whether two edges of the loop meet where a simple loop's edges never do.
    // Edges that do not follow each other must not meet anywhere. Edges that
    // follow each other must not run along a common stretch.
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
    // The edge directly left of corner v. A simple loop always has one where it
    // is asked for. The loop's inside lies right of it.
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
                // A merge corner left as the helper of that edge is joined to
                // v. Here v is an end, a merge or a corner of the left side.
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

inline bool EdgeLess::operator()(uint32_t e, uint32_t f) const {
    if (e == f) {
        return false;
    }
    // Compare where the later of the two upper ends lies against the other
    // edge. Edges of a simple loop do not cross. So the answer holds as long as
    // both are in the sweep.
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

inline bool EdgeLess::operator()(uint32_t e, VertexKey v) const {
    const int side = s->Side(e, v.corner);
    if (side == 0) {
        s->broken = true;
    }
    return side < 0;
}
