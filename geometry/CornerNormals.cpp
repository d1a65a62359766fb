// ComputeShading, stage by stage. First come the polygon normals and triangles.
// Then the smooth polygons around each point are found. Then each corner gets
// its normal as the host smooths. Last, the corners are merged into vertices.
// The rules are in Shading.h.
#include "geometry/Shading.h"
#include "geometry/SmoothFan.h"
#include "geometry/Spread.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <unordered_map>

namespace {

constexpr uint32_t kNone = UINT32_MAX;

Vec3 PointAt(const ReceivedModel& model, uint32_t index) {
    const ReceivedPoint& p = model.points[index];
    return Vec3{p.x, p.y, p.z};
}

bool SameBits(const Normal3& a, const Normal3& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The vertices of each point, one per distinct normal there, numbered in order
// of first use. A point's few vertices are found along a chain. A point with
// many, such as the apex of a cone of thousands of triangles, is looked up by
// its normal's bits instead.
struct VertexIndex {
    static constexpr uint32_t kChainLimit = 16;
    std::vector<uint32_t> first, count; // per point
    std::vector<uint32_t> next;         // per vertex: the next of the same point
    struct Key {
        uint32_t point, x, y, z;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            uint64_t h = k.point * 0x9E3779B97F4A7C15ull;
            for (const uint32_t v : {k.x, k.y, k.z})
                h = (h ^ v) * 0xFF51AFD7ED558CCDull;
            return static_cast<size_t>(h ^ (h >> 32));
        }
    };
    std::unordered_map<Key, uint32_t, KeyHash> many;

    static Key KeyOf(uint32_t point, const Normal3& n) {
        Key k{point, 0, 0, 0};
        std::memcpy(&k.x, &n.x, 4);
        std::memcpy(&k.y, &n.y, 4);
        std::memcpy(&k.z, &n.z, 4);
        return k;
    }

    uint32_t Find(ShadingGeometry& g, uint32_t point, const Normal3& n) {
        if (count[point] < kChainLimit) {
            uint32_t vertex = first[point];
            while (vertex != kNone && !SameBits(g.vertexNormal[vertex], n))
                vertex = next[vertex];
            if (vertex != kNone)
                return vertex;
        } else {
            const auto it = many.find(KeyOf(point, n));
            if (it != many.end())
                return it->second;
        }
        const uint32_t vertex = static_cast<uint32_t>(g.vertexPoint.size());
        g.vertexPoint.push_back(point);
        g.vertexNormal.push_back(n);
        next.push_back(first[point]);
        first[point] = vertex;
        if (++count[point] == kChainLimit) {
            for (uint32_t v = first[point]; v != kNone; v = next[v])
                many.emplace(KeyOf(point, g.vertexNormal[v]), v);
        } else if (count[point] > kChainLimit) {
            many.emplace(KeyOf(point, n), vertex);
        }
        return vertex;
    }
};

// Stage 1: where each polygon's corners and triangle numbers start. False
// when a polygon names a surface that was never looked up.
bool LayOut(const ReceivedModel& model, size_t surfaceCount, ShadingGeometry& out,
            std::string& error) {
    const size_t polygonCount = model.polygons.size();
    out.cornerStart.resize(polygonCount + 1);
    out.triangleStart.resize(polygonCount + 1);
    size_t corners = 0, triangleIndices = 0;
    for (size_t p = 0; p < polygonCount; ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        const size_t n = polygon.cornerCount;
        if (n != 0 && SurfaceSlot(polygon.surface) >= surfaceCount) {
            error = "a polygon names a surface that was never looked up";
            return false;
        }
        out.cornerStart[p] = corners;
        out.triangleStart[p] = triangleIndices;
        corners += n;
        triangleIndices += n >= 3 ? 3 * (n - 2) : 0;
    }
    out.cornerStart[polygonCount] = corners;
    out.triangleStart[polygonCount] = triangleIndices;
    return true;
}

// Stage 2: each polygon's unit normal and, when asked, its triangles. Where a
// polygon has no direction, its normal is zero and it has no area. Each
// polygon's triangles go where LayOut placed them: n - 2 of them for n
// corners.
void NormalsAndTriangles(const ReceivedModel& model, bool triangles, unsigned workers,
                         ShadingGeometry& out, std::vector<Vec3>& normals,
                         std::vector<unsigned char>& hasArea) {
    const size_t polygonCount = model.polygons.size();
    normals.assign(polygonCount, Vec3{});
    hasArea.assign(polygonCount, 0);
    if (triangles)
        out.triangles.resize(out.triangleStart[polygonCount]);
    SpreadOver(workers, polygonCount, [&](size_t begin, size_t end) {
        std::vector<Vec3> loop;
        std::vector<uint32_t> local;
        for (size_t p = begin; p < end; ++p) {
            const std::span<const uint32_t> points = PointsOf(model, model.polygons[p]);
            if (points.size() < 3)
                continue;
            loop.resize(points.size());
            for (size_t i = 0; i < points.size(); ++i)
                loop[i] = PointAt(model, points[i]);
            normals[p] = Unit(NewellNormal(loop.data(), loop.size()));
            hasArea[p] = Dot(normals[p], normals[p]) > 0;
            if (!triangles)
                continue;
            local.clear();
            TriangulateLoop(loop.data(), loop.size(), local);
            const uint32_t base = static_cast<uint32_t>(out.cornerStart[p]);
            uint32_t* at = out.triangles.data() + out.triangleStart[p];
            for (uint32_t k : local)
                *at++ = base + k;
        }
    });
}

// The smooth polygons around each point, and the normal each takes there. Those
// of point v are uses[useStart[v] .. useStart[v + 1]), each once, in polygon
// order. useHas is false where the sum has no direction.
struct PointUses {
    std::vector<size_t> useStart;
    std::vector<uint32_t> uses;
    std::vector<Normal3> useNormal;
    std::vector<unsigned char> useHas;
};

// Stage 3: the smooth polygons using each point, each once. `smooth` says per
// polygon whether it is smooth.
void FindPointUses(const ReceivedModel& model, const std::vector<unsigned char>& smooth,
                   PointUses& out) {
    const size_t polygonCount = model.polygons.size();
    const size_t pointCount = model.points.size();
    std::vector<size_t>& useStart = out.useStart;
    std::vector<uint32_t>& uses = out.uses;
    useStart.assign(pointCount + 1, 0);
    std::vector<uint32_t> lastUser;
    // Calls visit(point, polygon) once for each point a smooth polygon uses.
    auto forEachUse = [&](auto visit) {
        lastUser.assign(pointCount, kNone);
        for (size_t p = 0; p < polygonCount; ++p) {
            if (!smooth[p])
                continue;
            for (uint32_t v : PointsOf(model, model.polygons[p])) {
                if (lastUser[v] != p) {
                    lastUser[v] = static_cast<uint32_t>(p);
                    visit(v, static_cast<uint32_t>(p));
                }
            }
        }
    };
    forEachUse([&](uint32_t v, uint32_t) { ++useStart[size_t{v} + 1]; });
    for (size_t v = 1; v <= pointCount; ++v)
        useStart[v] += useStart[v - 1];
    uses.resize(useStart[pointCount]);
    std::vector<size_t> fill(useStart.begin(), useStart.end() - 1);
    forEachUse([&](uint32_t v, uint32_t p) { uses[fill[v]++] = p; });
}

// Stage 4: the smoothed normal of each use, point by point.
void SmoothUses(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                const std::vector<Vec3>& normals, const std::vector<unsigned char>& smooth,
                unsigned workers, PointUses& u) {
    const size_t polygonCount = model.polygons.size();
    const size_t pointCount = model.points.size();
    std::vector<double> thresholdOfSurface;
    for (const ExportSurface& surface : surfaces)
        thresholdOfSurface.push_back(SmoothingThreshold(surface));
    std::vector<int32_t> surfaceOf(polygonCount, 0);
    std::vector<double> thresholdOf(polygonCount, 0);
    for (size_t p = 0; p < polygonCount; ++p) {
        if (!smooth[p])
            continue;
        surfaceOf[p] = model.polygons[p].surface;
        thresholdOf[p] = thresholdOfSurface[SurfaceSlot(surfaceOf[p])];
    }
    const SmoothPolygons polygons{normals.data(), surfaceOf.data(), thresholdOf.data()};
    u.useNormal.assign(u.uses.size(), Normal3{});
    u.useHas.assign(u.uses.size(), 0);
    SpreadOver(workers, pointCount, [&](size_t begin, size_t end) {
        SmoothScratch scratch;
        for (size_t v = begin; v < end; ++v) {
            const size_t start = u.useStart[v], count = u.useStart[v + 1] - start;
            if (count != 0)
                SmoothAroundPoint(u.uses.data() + start, count, polygons, scratch,
                                  u.useNormal.data() + start, u.useHas.data() + start);
        }
    });
}

// Stage 5: each corner's normal. A corner takes its polygon's normal or the
// smoothed one at its point. It takes +Y where neither has a direction.
void CornerNormals(const ReceivedModel& model, const std::vector<Vec3>& normals,
                   const std::vector<unsigned char>& hasArea,
                   const std::vector<unsigned char>& smooth, const PointUses& u, unsigned workers,
                   ShadingGeometry& out) {
    const size_t polygonCount = model.polygons.size();
    out.cornerNormal.assign(out.cornerStart[polygonCount], Normal3{});
    SpreadOver(workers, polygonCount, [&](size_t begin, size_t end) {
        for (size_t p = begin; p < end; ++p) {
            const std::span<const uint32_t> points = PointsOf(model, model.polygons[p]);
            if (points.size() < 3)
                continue;
            const Normal3 flat = hasArea[p] ? ToFloat(normals[p]) : Normal3{0, 1, 0};
            for (size_t i = 0; i < points.size(); ++i) {
                const uint32_t v = points[i];
                Normal3 n = flat;
                if (smooth[p]) {
                    // The polygon's entry among the point's uses (in polygon order).
                    const auto first = u.uses.begin() + static_cast<std::ptrdiff_t>(u.useStart[v]);
                    const auto last =
                        u.uses.begin() + static_cast<std::ptrdiff_t>(u.useStart[size_t{v} + 1]);
                    const size_t k = static_cast<size_t>(
                        std::lower_bound(first, last, static_cast<uint32_t>(p)) - u.uses.begin());
                    if (u.useHas[k])
                        n = u.useNormal[k];
                }
                out.cornerNormal[out.cornerStart[p] + i] = n;
            }
        }
    });
}

// Stage 6: the corners merged into vertices, numbered in the order of the
// corners: one thread, as each number depends on those before it.
void MergeVertices(const ReceivedModel& model, ShadingGeometry& out) {
    const size_t polygonCount = model.polygons.size();
    VertexIndex vertices;
    out.cornerVertex.assign(out.cornerStart[polygonCount], kNone);
    vertices.first.assign(model.points.size(), kNone);
    vertices.count.assign(model.points.size(), 0);
    for (size_t p = 0; p < polygonCount; ++p) {
        const std::span<const uint32_t> points = PointsOf(model, model.polygons[p]);
        if (points.size() < 3)
            continue;
        for (size_t i = 0; i < points.size(); ++i) {
            const size_t corner = out.cornerStart[p] + i;
            out.cornerVertex[corner] = vertices.Find(out, points[i], out.cornerNormal[corner]);
        }
    }
}

} // namespace

bool ComputeShading(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                    ShadingGeometry& out, std::string& error, ShadingParts parts) {
    out = ShadingGeometry{};
    if (!LayOut(model, surfaces.size(), out, error))
        return false;
    std::vector<unsigned char> hasArea;
    NormalsAndTriangles(model, parts.triangles, parts.workers, out, out.polygonNormal, hasArea);
    const std::vector<Vec3>& normals = out.polygonNormal;
    // A polygon's corners are smoothed when it has a direction and its
    // surface has smoothing on; every surface it names exists (LayOut).
    std::vector<unsigned char>& smooth = out.polygonSmooth;
    smooth.assign(model.polygons.size(), 0);
    for (size_t p = 0; p < smooth.size(); ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        smooth[p] =
            polygon.cornerCount >= 3 && hasArea[p] && surfaces[SurfaceSlot(polygon.surface)].smooth;
    }
    PointUses uses;
    FindPointUses(model, smooth, uses);
    SmoothUses(model, surfaces, normals, smooth, parts.workers, uses);
    CornerNormals(model, normals, hasArea, smooth, uses, parts.workers, out);
    if (parts.vertices)
        MergeVertices(model, out);
    return true;
}
