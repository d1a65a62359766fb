// A simple loop's monotone pieces, found by walking the plane graph of its
// edges and the sweep's diagonals, each cut into triangles by walking its two
// sides down together.
#include "geometry/MonotonePieces.h"

#include <algorithm>

namespace {

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

bool CutMonotonePieces(const Sweep& s, uint32_t topCorner, std::vector<uint32_t>& triangles) {
    const uint32_t n = s.n;
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
    return ok;
}
