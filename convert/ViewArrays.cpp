#include "convert/ViewArrays.h"

#include "convert/Formats.h"
#include "geometry/Shading.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

// The vertices' points and, per surface, the indices of its triangles, lines
// and points. The vertices are those of the triangles, then one per point that
// only lines and points use.
std::vector<uint32_t> GatherParts(const ReceivedModel& model, const ShadingGeometry& geometry,
                                  size_t surfaceCount, std::vector<ViewPart>& parts) {
    std::vector<uint32_t> vertexPoint = geometry.vertexPoint;
    std::vector<uint32_t> pointVertex(model.points.size(), UINT32_MAX);
    for (size_t k = vertexPoint.size(); k-- > 0;)
        pointVertex[vertexPoint[k]] = static_cast<uint32_t>(k);

    parts.assign(surfaceCount * 3, {});
    for (size_t s = 0; s < surfaceCount; ++s) {
        parts[3 * s].kind = ViewPartKind::Triangles;
        parts[3 * s + 1].kind = ViewPartKind::Lines;
        parts[3 * s + 2].kind = ViewPartKind::Points;
    }
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        const size_t n = polygon.cornerCount;
        if (n == 0)
            continue;
        const size_t slot = SurfaceSlot(polygon.surface);
        assert(slot < surfaceCount); // ComputeShading checked every surface
        if (n >= 3) {
            // Each triangle reversed: a, c, b.
            std::vector<uint32_t>& tri = parts[3 * slot].indices;
            for (size_t t = geometry.triangleStart[p]; t < geometry.triangleStart[p + 1]; t += 3) {
                tri.push_back(geometry.cornerVertex[geometry.triangles[t]]);
                tri.push_back(geometry.cornerVertex[geometry.triangles[t + 2]]);
                tri.push_back(geometry.cornerVertex[geometry.triangles[t + 1]]);
            }
            continue;
        }
        std::vector<uint32_t>& list = parts[3 * slot + (n == 2 ? 1 : 2)].indices;
        for (uint32_t v : PointsOf(model, polygon)) {
            if (pointVertex[v] == UINT32_MAX) {
                pointVertex[v] = static_cast<uint32_t>(vertexPoint.size());
                vertexPoint.push_back(v);
            }
            list.push_back(pointVertex[v]);
        }
    }
    if (vertexPoint.empty() && !model.points.empty()) {
        ViewPart loose;
        loose.kind = ViewPartKind::Points;
        for (uint32_t v = 0; v < model.points.size(); ++v) {
            vertexPoint.push_back(v);
            loose.indices.push_back(v);
        }
        parts.push_back(std::move(loose));
    }
    return vertexPoint;
}

} // namespace

bool FormViewArrays(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                    ViewArrays& out, std::string& error, unsigned workers) {
    if (!CheckFinitePoints(model, error))
        return false;
    ShadingGeometry geometry;
    if (!ComputeShading(model, surfaces, geometry, error, ShadingParts{true, true, workers}))
        return false;
    out.triangleVertices = geometry.vertexPoint.size();
    const std::vector<uint32_t> vertexPoint =
        GatherParts(model, geometry, surfaces.size(), out.parts);

    out.positions.clear();
    out.positions.reserve(vertexPoint.size() * 3);
    float low[3] = {HUGE_VALF, HUGE_VALF, HUGE_VALF};
    float high[3] = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    for (uint32_t v : vertexPoint) {
        const ReceivedPoint& p = model.points[v];
        const float xyz[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], xyz[i]);
            high[i] = std::max(high[i], xyz[i]);
        }
        const ReceivedPoint r = RightHanded(p);
        out.positions.insert(out.positions.end(), {r.x, r.y, r.z});
    }
    for (int i = 0; i < 3; ++i)
        out.size[i] = vertexPoint.empty() ? 0.0 : double{high[i]} - double{low[i]};

    out.normals.clear();
    out.normals.reserve(geometry.vertexNormal.size() * 3);
    for (const Normal3& v : geometry.vertexNormal) {
        const Normal3 r = RightHanded(v);
        out.normals.insert(out.normals.end(), {r.x, r.y, r.z});
    }
    out.materials.clear();
    out.materials.reserve(surfaces.size());
    for (const ExportSurface& s : surfaces)
        out.materials.push_back(MaterialOf(s));
    // The points alone: the grey of a surface without attributes.
    if (out.parts.size() > 3 * surfaces.size())
        out.materials.push_back(MaterialOf(ExportSurface{}));
    return true;
}
