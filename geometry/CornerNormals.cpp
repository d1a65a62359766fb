// Polygon and corner normals as the host smooths, the triangles of every
// polygon, and the merge of corners into vertices. Rules: see MeshGeometry.h.
#include "geometry/MeshGeometry.h"
#include "geometry/SmoothFan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

constexpr uint32_t kNone = UINT32_MAX;

Vec3 PointAt(const ReceivedModel& model, uint16_t index) {
    const ReceivedPoint& p = model.points[index];
    return Vec3{p.x, p.y, p.z};
}

bool SameBits(const Normal3& a, const Normal3& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The vertices of each point, one per distinct normal there, numbered in
// order of first use. A point's few vertices are found along a chain; a
// point with many (the apex of a cone of thousands of triangles) is looked
// up by its normal's bits instead.
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

    uint32_t Find(MeshGeometry& g, uint32_t point, const Normal3& n) {
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

} // namespace

bool ComputeMeshGeometry(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                         MeshGeometry& out, std::string& error) {
    const size_t polygonCount = model.polygons.size();
    out = MeshGeometry{};
    out.cornerStart.resize(polygonCount + 1);
    out.triangleStart.resize(polygonCount + 1);
    size_t corners = 0, triangleIndices = 0;
    for (size_t p = 0; p < polygonCount; ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        const size_t n = polygon.points.size();
        if (n != 0 && SurfaceSlot(polygon.surface) >= surfaces.size()) {
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

    // Polygon normals and triangles.
    std::vector<Vec3> normals(polygonCount);
    std::vector<unsigned char> hasArea(polygonCount, 0);
    out.triangles.reserve(triangleIndices);
    std::vector<Vec3> loop;
    std::vector<uint32_t> local;
    for (size_t p = 0; p < polygonCount; ++p) {
        const std::vector<uint16_t>& points = model.polygons[p].points;
        if (points.size() < 3)
            continue;
        loop.resize(points.size());
        for (size_t i = 0; i < points.size(); ++i)
            loop[i] = PointAt(model, points[i]);
        normals[p] = Unit(NewellNormal(loop.data(), loop.size()));
        hasArea[p] = Dot(normals[p], normals[p]) > 0;
        local.clear();
        TriangulateLoop(loop.data(), loop.size(), local);
        const uint32_t base = static_cast<uint32_t>(out.cornerStart[p]);
        for (uint32_t k : local)
            out.triangles.push_back(base + k);
    }

    // The polygons using each point, each once, for the smooth surfaces.
    const size_t pointCount = model.points.size();
    std::vector<size_t> useStart(pointCount + 1, 0);
    std::vector<uint32_t> uses;
    std::vector<uint32_t> lastUser;
    auto smoothPolygon = [&](size_t p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        return polygon.points.size() >= 3 && hasArea[p] &&
               surfaces[SurfaceSlot(polygon.surface)].smooth;
    };
    // Calls visit(point, polygon) once for each point a smooth polygon uses.
    auto forEachUse = [&](auto visit) {
        lastUser.assign(pointCount, kNone);
        for (size_t p = 0; p < polygonCount; ++p) {
            if (!smoothPolygon(p))
                continue;
            for (uint16_t v : model.polygons[p].points) {
                if (lastUser[v] != p) {
                    lastUser[v] = static_cast<uint32_t>(p);
                    visit(v, static_cast<uint32_t>(p));
                }
            }
        }
    };
    forEachUse([&](uint16_t v, uint32_t) { ++useStart[size_t{v} + 1]; });
    for (size_t v = 1; v <= pointCount; ++v)
        useStart[v] += useStart[v - 1];
    uses.resize(useStart[pointCount]);
    std::vector<size_t> fill(useStart.begin(), useStart.end() - 1);
    forEachUse([&](uint16_t v, uint32_t p) { uses[fill[v]++] = p; });

    // The smoothed normal of each use, point by point.
    std::vector<int32_t> surfaceOf(polygonCount, 0);
    std::vector<double> thresholdOf(polygonCount, 0);
    for (size_t p = 0; p < polygonCount; ++p) {
        if (!smoothPolygon(p))
            continue;
        surfaceOf[p] = model.polygons[p].surface;
        thresholdOf[p] = std::cos(double{surfaces[SurfaceSlot(surfaceOf[p])].smoothingAngle});
    }
    const SmoothPolygons smooth{normals.data(), surfaceOf.data(), thresholdOf.data()};
    std::vector<Normal3> useNormal(uses.size());
    std::vector<unsigned char> useHas(uses.size(), 0);
    SmoothScratch scratch;
    for (size_t v = 0; v < pointCount; ++v) {
        const size_t start = useStart[v], count = useStart[v + 1] - start;
        if (count != 0)
            SmoothAroundPoint(uses.data() + start, count, smooth, scratch, useNormal.data() + start,
                              useHas.data() + start);
    }

    // Corner normals and vertices.
    out.cornerNormal.assign(corners, Normal3{});
    out.cornerVertex.assign(corners, kNone);
    VertexIndex vertices;
    vertices.first.assign(pointCount, kNone);
    vertices.count.assign(pointCount, 0);
    for (size_t p = 0; p < polygonCount; ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        if (polygon.points.size() < 3)
            continue;
        const Normal3 flat = hasArea[p] ? ToFloat(normals[p]) : Normal3{0, 1, 0};
        const bool smoothed = smoothPolygon(p);
        for (size_t i = 0; i < polygon.points.size(); ++i) {
            const uint16_t v = polygon.points[i];
            Normal3 n = flat;
            if (smoothed) {
                // The polygon's entry among the point's uses (in polygon order).
                const auto first = uses.begin() + static_cast<std::ptrdiff_t>(useStart[v]);
                const auto last =
                    uses.begin() + static_cast<std::ptrdiff_t>(useStart[size_t{v} + 1]);
                const size_t k = static_cast<size_t>(
                    std::lower_bound(first, last, static_cast<uint32_t>(p)) - uses.begin());
                if (useHas[k])
                    n = useNormal[k];
            }
            const size_t corner = out.cornerStart[p] + i;
            out.cornerNormal[corner] = n;
            out.cornerVertex[corner] = vertices.Find(out, v, n);
        }
    }
    return true;
}
