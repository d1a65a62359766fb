// Polygon and corner normals as the host smooths, the triangles of every
// polygon, and the merge of corners into vertices. Rules: see MeshGeometry.h.
#include "convert/MeshGeometry.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kNone = UINT32_MAX;

Vec3 PointAt(const ReceivedModel& model, uint16_t index) {
    const ReceivedPoint& p = model.points[index];
    return Vec3{p.x, p.y, p.z};
}

double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Unit length, or all zero when `v` has no direction.
Vec3 Unit(const Vec3& v) {
    const double length = std::sqrt(Dot(v, v));
    if (!(length > 0) || !std::isfinite(length))
        return Vec3{};
    return Vec3{v.x / length, v.y / length, v.z / length};
}

Normal3 ToFloat(const Vec3& v) {
    return Normal3{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

bool SameBits(const Normal3& a, const Normal3& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

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

    // Corner normals and vertices.
    out.cornerNormal.assign(corners, Normal3{});
    out.cornerVertex.assign(corners, kNone);
    std::vector<uint32_t> firstVertex(pointCount, kNone);
    std::vector<uint32_t> nextVertex; // the next vertex of the same point
    for (size_t p = 0; p < polygonCount; ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        if (polygon.points.size() < 3)
            continue;
        const ExportSurface& surface = surfaces[SurfaceSlot(polygon.surface)];
        const Normal3 flat = hasArea[p] ? ToFloat(normals[p]) : Normal3{0, 1, 0};
        const double threshold = std::cos(double{surface.smoothingAngle});
        for (size_t i = 0; i < polygon.points.size(); ++i) {
            const uint16_t v = polygon.points[i];
            Normal3 n = flat;
            if (smoothPolygon(p)) {
                // Summed in the point's order of uses, so that corners with
                // the same neighbours get the same bits and share a vertex.
                Vec3 sum;
                for (size_t k = useStart[v]; k < useStart[size_t{v} + 1]; ++k) {
                    const uint32_t q = uses[k];
                    if (model.polygons[q].surface != polygon.surface)
                        continue;
                    if (q != p && !(Dot(normals[q], normals[p]) >= threshold))
                        continue;
                    sum.x += normals[q].x;
                    sum.y += normals[q].y;
                    sum.z += normals[q].z;
                }
                const Vec3 unit = Unit(sum);
                if (Dot(unit, unit) > 0) // opposite normals may cancel
                    n = ToFloat(unit);
            }
            const size_t corner = out.cornerStart[p] + i;
            out.cornerNormal[corner] = n;
            uint32_t vertex = firstVertex[v];
            while (vertex != kNone && !SameBits(out.vertexNormal[vertex], n))
                vertex = nextVertex[vertex];
            if (vertex == kNone) {
                vertex = static_cast<uint32_t>(out.vertexPoint.size());
                out.vertexPoint.push_back(v);
                out.vertexNormal.push_back(n);
                nextVertex.push_back(firstVertex[v]);
                firstVertex[v] = vertex;
            }
            out.cornerVertex[corner] = vertex;
        }
    }
    return true;
}
