// The geometry the triangle- and normal-carrying formats share: each
// polygon cut into triangles, a normal for each polygon corner as the host
// shades it, and the corners merged into vertices wherever point and normal
// agree. Computed once here, in the host's own space and orientation; the
// writers only turn it into their handedness (negate Z of points and normals,
// reverse each loop and triangle) and format it.
//
// This is the folder's one header. Where each part lives: TriangulateLoop
// and NewellNormal, with ear clipping, in TriangulateEar.cpp; the sweep for
// large loops in TriangulateSweep.cpp (its state in Sweep.h, its exact tests
// in ExactOrientation.h, its pieces cut in MonotonePieces.cpp); the smoothing
// around one point in SmoothFan.cpp; ComputeShading, stage by stage, in
// CornerNormals.cpp; the surfaces it reads in Surfaces.h.
//
// Triangles (TriangulateEar.cpp, TriangulateSweep.cpp). A polygon of n >= 3
// corners becomes n - 2 triangles, worked out in the plane the polygon is
// projected on along the axis its Newell normal is closest to (differences
// of the received floats stay exact there, so collinear corners test as
// exactly collinear). Below 64 corners, ears are clipped: a corner is cut off
// when it is strictly convex and no corner that is not strictly convex lies
// inside or on its triangle. From 64 corners on, a sweep with exact
// orientation tests first decides whether the loop is simple, and if it is,
// cuts it into monotone pieces and those into triangles, in O(n log n) for
// any shape (spiral, comb, star). For a simple polygon (convex or concave,
// with collinear corners or not) the triangles cover the polygon exactly
// once and turn the way the loop does. A polygon that is not simple (edges
// that cross or touch, a corner repeated) still gives n - 2 triangles, by
// ear clipping with these rules in turn: when no corner is an ear, a corner
// on a line with its neighbours is cut off, else any strictly convex corner,
// else the next corner; past a bound of corner tests (64 n log n + n^2 below
// 64 corners, 8 n log n from 64 on) the rest is cut into a fan, so the work
// stays within O(n log n). Loops that only touch themselves (a hole joined by
// a bridge, lobes meeting at a corner) are still cut exactly that way. A
// loop that encloses no area at all (every corner on one line, or crossing
// parts that cancel) is cut into a fan from its first corner.
//
// Normals (CornerNormals.cpp, SmoothFan.cpp). A polygon's normal is the
// normalised Newell normal of its whole loop, in double precision; for the
// host's clockwise loops it points to the front the host shows. On a surface
// with smoothing on, the normal at a corner is the normalised sum of the
// normals of the polygons of the same surface that use that point and whose
// normals lie within the smoothing angle of the corner's polygon (itself
// included), summed in the order of the polygons, so that corners with the
// same neighbours get the same bits and share a vertex; with smoothing off
// every corner takes its polygon's normal. The work stays near-linear in the
// polygons around a point however many meet there (see SmoothFan.h). A
// polygon that encloses no area has no direction: it adds to no other normal,
// and its corners take +Y. One- and two-point polygons (points and lines)
// get no normal and no triangles.
#pragma once

#include "geometry/Surfaces.h"
#include "standin/Received.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the smoothing of a surface compares with: two polygons' unit
// normals smooth together where their dot product (the cosine of the angle
// between them) is at least the cosine of the block's smoothing angle.
inline double SmoothingThreshold(const ExportSurface& surface) {
    return std::cos(double{surface.smoothingAngle});
}

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// The Newell normal of the loop `corners[0..n)`, not normalised: its length
// is twice the area of a flat loop. Zero for fewer than three corners.
Vec3 NewellNormal(const Vec3* corners, size_t n);

// Appends 3 (n - 2) numbers to `triangles`: for each triangle, three corner
// numbers (0-based, into `corners`) in the turning sense of the loop.
// Appends nothing for n < 3.
void TriangulateLoop(const Vec3* corners, size_t n, std::vector<uint32_t>& triangles);

struct Normal3 {
    float x = 0, y = 0, z = 0;
};

// The writers' change of handedness (Writers.h), in one place: a normal with
// Z negated (a zero stays +0 rather than becoming -0), and which corner the
// i-th written corner of a loop of n is: the loop reversed from the same
// first corner (p0, pn-1, ..., p1); lines and points keep their order.
inline Normal3 RightHanded(const Normal3& n) {
    return {n.x, n.y, 0.0f - n.z};
}
// A point with Z negated (exact in single precision; -0 stays apart from 0).
inline ReceivedPoint RightHanded(const ReceivedPoint& p) {
    return {p.x, p.y, -p.z};
}
inline size_t ReversedCorner(size_t i, size_t n) {
    return n >= 3 && i != 0 ? n - i : i;
}

struct ShadingGeometry {
    // Polygon p of model.polygons has corners cornerStart[p] .. cornerStart[p+1]
    // - 1 (its points in loop order) and, when it has three corners or more,
    // triangles triangleStart[p] / 3 .. triangleStart[p+1] / 3 - 1.
    std::vector<size_t> cornerStart;
    std::vector<size_t> triangleStart;
    // Three corner numbers per triangle, the host's turning sense.
    std::vector<uint32_t> triangles;
    // Per polygon: its unit normal (the Newell normal of its loop), zero
    // where it has no direction (fewer than three corners, or no area).
    std::vector<Vec3> polygonNormal;
    // Per polygon: 1 where its corners are smoothed (it has a direction and
    // its surface has smoothing on), 0 where each takes the polygon's normal.
    std::vector<unsigned char> polygonSmooth;
    // Per corner of polygons of three corners or more (others: zero, and
    // cornerVertex UINT32_MAX).
    std::vector<Normal3> cornerNormal;
    std::vector<uint32_t> cornerVertex;
    // The vertices: one per distinct (point, normal) among those corners.
    std::vector<uint32_t> vertexPoint;
    std::vector<Normal3> vertexNormal;
};

// What is formed besides the normals: the writers need both; a front end
// that builds a mesh of its own no vertices, and one of faces no triangles.
struct ShadingParts {
    bool triangles = true; // else `triangles` stays empty
    bool vertices = true;  // else cornerVertex and the vertices stay empty
};

// Fills `out` for `model`, whose polygons name surfaces of `surfaces`
// (ExportSurfaces()). False with a reason when a polygon names a surface that
// was never looked up.
bool ComputeShading(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                    ShadingGeometry& out, std::string& error, ShadingParts parts = {});
