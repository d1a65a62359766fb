// Smoothed normals around one point. See SmoothFan.h for the rule; the
// reference is the plain rule itself, summing over every polygon around the
// point for every corner there, which a fan of tens of thousands of
// triangles round one apex makes quadratic.
#include "geometry/SmoothFan.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Up to this many polygons of one surface around a point, the plain rule is
// cheapest.
constexpr size_t kPlainRule = 16;
// Classes per leaf of the tree.
constexpr uint32_t kLeafClasses = 8;
constexpr uint32_t kNoChild = UINT32_MAX;

double Component(const Vec3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The plain sum, in the order of `positions` (ascending positions in the
// run), made unit.
void PlainSum(const SmoothScratch& s, const std::vector<uint32_t>& positions, Normal3& out,
              unsigned char& has) {
    Vec3 sum;
    for (const uint32_t k : positions) {
        const Vec3& n = s.classes[s.classOf[k]].normal;
        sum.x += n.x;
        sum.y += n.y;
        sum.z += n.z;
    }
    const Vec3 unit = Unit(sum);
    has = Dot(unit, unit) > 0; // opposite normals may cancel
    out = ToFloat(unit);
}

// Builds the subtree over treeOrder[begin .. end) and returns its index. A
// leaf sums its classes one after another, a node its two children, so a
// node's sums err by at most (kLeafClasses + its height) u times the sum of
// the magnitudes below it; `height` receives the subtree's height.
uint32_t BuildTree(SmoothScratch& s, uint32_t begin, uint32_t end, uint32_t& height) {
    const uint32_t index = static_cast<uint32_t>(s.nodes.size());
    s.nodes.push_back(SmoothNode{});
    SmoothNode node{};
    node.begin = begin;
    node.end = end;
    node.left = node.right = kNoChild;
    for (int a = 0; a < 3; ++a) {
        node.low[a] = HUGE_VAL;
        node.high[a] = -HUGE_VAL;
    }
    for (uint32_t i = begin; i < end; ++i) {
        const Vec3& n = s.classes[s.treeOrder[i]].normal;
        for (int a = 0; a < 3; ++a) {
            node.low[a] = std::min(node.low[a], Component(n, a));
            node.high[a] = std::max(node.high[a], Component(n, a));
        }
    }
    height = 0;
    if (end - begin <= kLeafClasses) {
        for (uint32_t i = begin; i < end; ++i) {
            const SmoothClass& c = s.classes[s.treeOrder[i]];
            const double count = c.count;
            for (int a = 0; a < 3; ++a) {
                node.sum[a] += count * Component(c.normal, a);
                node.absSum[a] += count * std::fabs(Component(c.normal, a));
            }
            node.count += c.count;
        }
    } else {
        int axis = 0;
        for (int a = 1; a < 3; ++a) {
            if (node.high[a] - node.low[a] > node.high[axis] - node.low[axis])
                axis = a;
        }
        const uint32_t middle = begin + (end - begin) / 2;
        std::nth_element(s.treeOrder.begin() + begin, s.treeOrder.begin() + middle,
                         s.treeOrder.begin() + end, [&](uint32_t p, uint32_t q) {
                             return Component(s.classes[p].normal, axis) <
                                    Component(s.classes[q].normal, axis);
                         });
        uint32_t leftHeight = 0, rightHeight = 0;
        node.left = BuildTree(s, begin, middle, leftHeight);
        node.right = BuildTree(s, middle, end, rightHeight);
        height = std::max(leftHeight, rightHeight) + 1;
        const SmoothNode& l = s.nodes[node.left];
        const SmoothNode& r = s.nodes[node.right];
        for (int a = 0; a < 3; ++a) {
            node.sum[a] = l.sum[a] + r.sum[a];
            node.absSum[a] = l.absSum[a] + r.absSum[a];
        }
        node.count = l.count + r.count;
    }
    s.nodes[index] = node;
    return index;
}

// The classes whose normal n has Dot(n, direction) >= threshold: whole
// subtrees that certainly pass go to insideNodes, classes tested one by one
// to insideClasses. Returns the sums over their entries.
struct Found {
    double sum[3] = {0, 0, 0};
    double absSum[3] = {0, 0, 0};
    uint64_t count = 0; // entries
    uint32_t parts = 0; // node and class sums added up
};

Found FindWithin(SmoothScratch& s, const Vec3& direction, double threshold) {
    // Rounding moves a computed dot product by far less than this, so a box
    // whose bounds clear the threshold by it holds only normals whose
    // computed test comes out the same way.
    constexpr double kMargin = 1e-12;
    const double d[3] = {direction.x, direction.y, direction.z};
    Found found;
    s.insideNodes.clear();
    s.insideClasses.clear();
    s.stack.assign(1, 0);
    auto take = [&](const double* sum, const double* absSum, uint64_t count) {
        for (int a = 0; a < 3; ++a) {
            found.sum[a] += sum[a];
            found.absSum[a] += absSum[a];
        }
        found.count += count;
        ++found.parts;
    };
    while (!s.stack.empty()) {
        const SmoothNode& node = s.nodes[s.stack.back()];
        const uint32_t nodeIndex = s.stack.back();
        s.stack.pop_back();
        double low = 0, high = 0;
        for (int a = 0; a < 3; ++a) {
            const double p = d[a] * node.low[a], q = d[a] * node.high[a];
            low += std::min(p, q);
            high += std::max(p, q);
        }
        if (low - kMargin >= threshold) {
            s.insideNodes.push_back(nodeIndex);
            take(node.sum, node.absSum, node.count);
            continue;
        }
        if (!(high + kMargin >= threshold))
            continue; // certainly outside (or a threshold that is not a number)
        if (node.left != kNoChild) {
            s.stack.push_back(node.left);
            s.stack.push_back(node.right);
            continue;
        }
        for (uint32_t i = node.begin; i < node.end; ++i) {
            const SmoothClass& c = s.classes[s.treeOrder[i]];
            if (Dot(c.normal, direction) >= threshold) {
                s.insideClasses.push_back(s.treeOrder[i]);
                const double count = c.count;
                const double sum[3] = {count * c.normal.x, count * c.normal.y, count * c.normal.z};
                const double absSum[3] = {std::fabs(sum[0]), std::fabs(sum[1]), std::fabs(sum[2])};
                take(sum, absSum, c.count);
            }
        }
    }
    return found;
}

// The positions in the run of the entries FindWithin found, plus `extra`
// (UINT32_MAX for none), ascending: sorted when they are few, else picked
// out of the whole run of g by their classes' marks.
void FoundPositions(SmoothScratch& s, uint32_t extra, size_t g) {
    s.positions.clear();
    size_t total = extra != UINT32_MAX ? 1 : 0;
    auto forEachClass = [&](auto visit) {
        for (const uint32_t n : s.insideNodes) {
            const SmoothNode& node = s.nodes[n];
            for (uint32_t i = node.begin; i < node.end; ++i)
                visit(s.treeOrder[i]);
        }
        for (const uint32_t c : s.insideClasses)
            visit(c);
    };
    forEachClass([&](uint32_t c) { total += s.classes[c].count; });
    if (total * 8 < g) {
        forEachClass([&](uint32_t c) {
            const SmoothClass& cls = s.classes[c];
            s.positions.insert(s.positions.end(), s.members.begin() + cls.first,
                               s.members.begin() + cls.first + cls.count);
        });
        if (extra != UINT32_MAX)
            s.positions.push_back(extra);
        std::sort(s.positions.begin(), s.positions.end());
        return;
    }
    s.classMark.assign(s.classes.size(), 0);
    forEachClass([&](uint32_t c) { s.classMark[c] = 1; });
    for (uint32_t k = 0; k < g; ++k) {
        if (s.classMark[s.classOf[k]] || k == extra)
            s.positions.push_back(k);
    }
}

// Whether the plain sum over the found entries, one after another, rounds
// to the same unit floats as `found.sum`, and those floats. Adding k terms
// one after another errs by less than k u times the sum of their magnitudes
// (u = 2^-53); the tree's sum, by less than (leaf size + tree height + the
// parts it added) u times the same. A unit vector then moves by at most
// twice the distance of the two sums over their length, and the unit's own
// rounding adds a few u. When the whole interval around each component
// rounds to one float, the plain sum's floats are those.
bool Certain(const Found& found, uint32_t treeHeight, Normal3& out) {
    constexpr double u = 0x1p-53;
    const double terms =
        static_cast<double>(found.count) + kLeafClasses + treeHeight + found.parts + 2;
    double bound = 0;
    for (int a = 0; a < 3; ++a)
        bound += terms * u * found.absSum[a];
    bound *= 1.01;
    const Vec3 sum{found.sum[0], found.sum[1], found.sum[2]};
    const double length = std::sqrt(Dot(sum, sum));
    if (!(length > 4 * bound) || !(length > 1e-200))
        return false;
    const double spread = 2 * bound / (length - bound) * 1.01 + 64 * u;
    const Vec3 unit = Unit(sum);
    const double c[3] = {unit.x, unit.y, unit.z};
    for (const double v : c) {
        const float f = static_cast<float>(v);
        if (!SameBits(static_cast<float>(v - spread), f) ||
            !SameBits(static_cast<float>(v + spread), f))
            return false;
    }
    out = ToFloat(unit);
    return true;
}

// Classes of equal normals among one surface's entries around the point
// (s.run), their entries in run order.
void GroupEqualNormals(const uint32_t* uses, const SmoothPolygons& polygons, SmoothScratch& s) {
    const size_t g = s.run.size();
    auto normalAt = [&](uint32_t position) -> const Vec3& {
        return polygons.normal[uses[s.run[position]]];
    };
    s.byNormal.resize(g);
    for (uint32_t i = 0; i < g; ++i)
        s.byNormal[i] = i;
    auto bits = [&](uint32_t position) {
        const Vec3& n = normalAt(position);
        uint64_t b[3];
        std::memcpy(&b[0], &n.x, 8);
        std::memcpy(&b[1], &n.y, 8);
        std::memcpy(&b[2], &n.z, 8);
        return std::array<uint64_t, 3>{b[0], b[1], b[2]};
    };
    std::stable_sort(s.byNormal.begin(), s.byNormal.end(),
                     [&](uint32_t a, uint32_t b) { return bits(a) < bits(b); });
    s.classes.clear();
    s.classOf.resize(g);
    s.members.resize(g);
    for (uint32_t i = 0; i < g; ++i) {
        const uint32_t position = s.byNormal[i];
        if (i == 0 || bits(position) != bits(s.byNormal[i - 1]))
            s.classes.push_back(SmoothClass{normalAt(position), i, 0});
        ++s.classes.back().count;
        s.members[i] = position;
        s.classOf[position] = static_cast<uint32_t>(s.classes.size() - 1);
    }
}

// The results for one surface's entries around the point (s.run).
void SmoothRun(const uint32_t* uses, const SmoothPolygons& polygons, SmoothScratch& s, Normal3* out,
               unsigned char* has) {
    const size_t g = s.run.size();
    const double threshold = polygons.threshold[uses[s.run[0]]];
    auto normalAt = [&](uint32_t position) -> const Vec3& {
        return polygons.normal[uses[s.run[position]]];
    };
    if (g <= kPlainRule) {
        for (uint32_t i = 0; i < g; ++i) {
            const Vec3& n = normalAt(i);
            Vec3 sum;
            for (uint32_t j = 0; j < g; ++j) {
                const Vec3& q = normalAt(j);
                if (j != i && !(Dot(q, n) >= threshold))
                    continue;
                sum.x += q.x;
                sum.y += q.y;
                sum.z += q.z;
            }
            const Vec3 unit = Unit(sum);
            has[s.run[i]] = Dot(unit, unit) > 0;
            out[s.run[i]] = ToFloat(unit);
        }
        return;
    }

    GroupEqualNormals(uses, polygons, s);
    const uint32_t classCount = static_cast<uint32_t>(s.classes.size());
    s.treeOrder.resize(classCount);
    for (uint32_t c = 0; c < classCount; ++c)
        s.treeOrder[c] = c;
    s.nodes.clear();
    uint32_t treeHeight = 0;
    BuildTree(s, 0, classCount, treeHeight);

    bool haveAll = false;
    Normal3 allOut;
    unsigned char allHas = 0;
    for (uint32_t c = 0; c < classCount; ++c) {
        const SmoothClass& cls = s.classes[c];
        const bool selfWithin = Dot(cls.normal, cls.normal) >= threshold;
        const Found found = FindWithin(s, cls.normal, threshold);
        if (!selfWithin) {
            // The polygon itself counts, its equals do not: one sum each.
            for (uint32_t i = 0; i < cls.count; ++i) {
                const uint32_t position = s.members[cls.first + i];
                FoundPositions(s, position, g);
                PlainSum(s, s.positions, out[s.run[position]], has[s.run[position]]);
            }
            continue;
        }
        Normal3 result;
        unsigned char resultHas = 1;
        if (found.count == g) {
            if (!haveAll) {
                s.positions.resize(g);
                for (uint32_t i = 0; i < g; ++i)
                    s.positions[i] = i;
                PlainSum(s, s.positions, allOut, allHas);
                haveAll = true;
            }
            result = allOut;
            resultHas = allHas;
        } else if (!Certain(found, treeHeight, result)) {
            FoundPositions(s, UINT32_MAX, g);
            PlainSum(s, s.positions, result, resultHas);
        }
        for (uint32_t i = 0; i < cls.count; ++i) {
            const uint32_t entry = s.run[s.members[cls.first + i]];
            out[entry] = result;
            has[entry] = resultHas;
        }
    }
}

} // namespace

void SmoothAroundPoint(const uint32_t* uses, size_t m, const SmoothPolygons& polygons,
                       SmoothScratch& s, Normal3* out, unsigned char* has) {
    if (m <= kPlainRule) {
        for (size_t i = 0; i < m; ++i) {
            const uint32_t p = uses[i];
            const Vec3& n = polygons.normal[p];
            const double threshold = polygons.threshold[p];
            Vec3 sum;
            for (size_t j = 0; j < m; ++j) {
                const uint32_t q = uses[j];
                if (polygons.surface[q] != polygons.surface[p])
                    continue;
                if (q != p && !(Dot(polygons.normal[q], n) >= threshold))
                    continue;
                sum.x += polygons.normal[q].x;
                sum.y += polygons.normal[q].y;
                sum.z += polygons.normal[q].z;
            }
            const Vec3 unit = Unit(sum);
            has[i] = Dot(unit, unit) > 0;
            out[i] = ToFloat(unit);
        }
        return;
    }
    // One run per surface, each in the order of `uses`.
    s.bySurface.resize(m);
    for (uint32_t k = 0; k < m; ++k)
        s.bySurface[k] = k;
    std::stable_sort(s.bySurface.begin(), s.bySurface.end(), [&](uint32_t a, uint32_t b) {
        return polygons.surface[uses[a]] < polygons.surface[uses[b]];
    });
    for (size_t first = 0; first < m;) {
        const int32_t surface = polygons.surface[uses[s.bySurface[first]]];
        s.run.clear();
        for (; first < m && polygons.surface[uses[s.bySurface[first]]] == surface; ++first)
            s.run.push_back(s.bySurface[first]);
        SmoothRun(uses, polygons, s, out, has);
    }
}
