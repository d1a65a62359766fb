// The geometry that the formats with triangles and normals share. Each polygon
// is cut into triangles. Each polygon corner gets the normal the host shades it
// with. Corners are merged into vertices wherever point and normal agree.
// All of it is computed once, here, in the host's own space and orientation.
// The writers only turn it into their handedness and format it. They negate Z
// of points and normals and reverse each loop and triangle.
//
// This is the folder's main header: start here. TriangulateEar.cpp holds
// TriangulateLoop and NewellNormal, with ear clipping. TriangulateSweep.cpp
// holds the sweep for large loops. Sweep.h keeps the sweep's state, and
// ExactOrientation.h its exact tests. MonotonePieces.cpp cuts the sweep's
// pieces. SmoothFan.cpp does the smoothing around one point. CornerNormals.cpp
// holds ComputeShading, stage by stage. Surfaces.h holds the surfaces it reads.
//
// Triangles (TriangulateEar.cpp, TriangulateSweep.cpp). A polygon of n >= 3
// corners becomes n - 2 triangles. They are worked out in a plane. The polygon
// is projected on it along the axis its Newell normal is closest to.
// Differences of the received floats stay exact there, so collinear corners
// test as exactly collinear.
// Below 64 corners, ears are clipped. A corner is cut off when it is strictly
// convex and no corner that is not strictly convex lies inside or on its
// triangle.
// From 64 corners on, a sweep with exact orientation tests first decides
// whether the loop is simple. If it is, the sweep cuts it into monotone pieces,
// and those into triangles. This takes O(n log n) for any shape, such as a
// spiral, a comb or a star.
// For a simple polygon the triangles cover the polygon exactly once and turn
// the way the loop does. This holds for convex and concave polygons, with
// collinear corners or without.
// A polygon that is not simple still gives n - 2 triangles. Its edges may cross
// or touch, or a corner may be repeated. It is cut by ear clipping, with these
// rules in turn when no corner is an ear. First a corner on a line with its
// neighbours is cut off. Else any strictly convex corner is. Else the next
// corner is. Past a bound of corner tests the rest is cut into a fan, so the
// work stays within O(n log n). The bound is 64 n log n + n^2 below 64 corners,
// and 8 n log n from 64 on.
// Loops that only touch themselves, such as a hole joined by a bridge or lobes
// meeting at a corner, are still cut exactly this way.
// A loop that encloses no area at all is cut into a fan from its first corner.
// Every corner may lie on one line, or crossing parts may cancel.
//
// Normals (CornerNormals.cpp, SmoothFan.cpp). A polygon's normal is the
// normalised Newell normal of its whole loop, in double precision. For the
// host's clockwise loops it points to the front the host shows.
// On a surface with smoothing on, the normal at a corner is a normalised sum of
// polygon normals. It sums the polygons of the same surface that use that point
// and whose normals lie within the smoothing angle of the corner's polygon. The
// corner's own polygon is included. The normals are summed in the order of the
// polygons. So corners with the same neighbours get the same bits and share a
// vertex.
// With smoothing off, every corner takes its polygon's normal.
// The work stays near-linear in the polygons around a point, however many meet
// there (see SmoothFan.h).
// A polygon that encloses no area has no direction. It adds to no other normal,
// and its corners take +Y.
// One- and two-point polygons (points and lines) get no normal and no
// triangles.
#pragma once

#include "geometry/Surfaces.h"
#include "standin/Received.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The value a surface's smoothing compares with: the cosine of the block's
// smoothing angle. Two polygons' unit normals smooth together where their dot
// product is at least this value. That dot product is the cosine of the angle
// between them.
inline double SmoothingThreshold(const ExportSurface& surface) {
    return std::cos(double{surface.smoothingAngle});
}

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// The Newell normal of the loop `corners[0..n)`, not normalised. Its length is
// twice the area of a flat loop. It is zero for fewer than three corners.
Vec3 NewellNormal(const Vec3* corners, size_t n);

// Appends 3 (n - 2) numbers to `triangles`, three corner numbers per triangle.
// The numbers are 0-based, into `corners`. Each triangle turns the way the loop
// does. Appends nothing for n < 3.
void TriangulateLoop(const Vec3* corners, size_t n, std::vector<uint32_t>& triangles);

struct Normal3 {
    float x = 0, y = 0, z = 0;
};

// The writers' change of handedness (Writers.h), in one place.
// A normal with Z negated. A zero stays +0 rather than becoming -0.
inline Normal3 RightHanded(const Normal3& n) {
    return {n.x, n.y, 0.0f - n.z};
}
// A point with Z negated. This is exact in single precision. A -0 stays apart
// from 0.
inline ReceivedPoint RightHanded(const ReceivedPoint& p) {
    return {p.x, p.y, -p.z};
}
// The printing formats' way up (STL, PLY, 3MF): Z, as slicers take it. It is
// the writers' right-handed space turned a quarter about X, so that Y up
// becomes Z up: (x, y, z) there is (x, -z, y) here. A turn keeps every front
// where it was, so loops are reversed as for the other writers. From the
// host's space this swaps Y and Z, exactly in single precision.
inline ReceivedPoint ZUp(const ReceivedPoint& p) {
    return {p.x, p.z, p.y};
}
inline Normal3 ZUp(const Normal3& n) {
    return {n.x, n.z, n.y};
}
// Which corner the i-th written corner of a loop of n is. The loop is reversed
// from the same first corner: p0, pn-1, ..., p1. Lines and points keep their
// order.
inline size_t ReversedCorner(size_t i, size_t n) {
    return n >= 3 && i != 0 ? n - i : i;
}

struct ShadingGeometry {
    // Polygon p of model.polygons has corners cornerStart[p] to
    // cornerStart[p+1] - 1, its points in loop order. With three corners or
    // more, it has triangles triangleStart[p] / 3 to
    // triangleStart[p+1] / 3 - 1.
    std::vector<size_t> cornerStart;
    std::vector<size_t> triangleStart;
    // Three corner numbers per triangle, the host's turning sense.
    std::vector<uint32_t> triangles;
    // Per polygon, its unit normal: the Newell normal of its loop. It is zero
    // where the polygon has no direction, with fewer than three corners or no
    // area.
    std::vector<Vec3> polygonNormal;
    // Per polygon, 1 where its corners are smoothed and 0 where each takes the
    // polygon's normal. Corners are smoothed when the polygon has a direction
    // and its surface has smoothing on.
    std::vector<unsigned char> polygonSmooth;
    // Per corner of polygons of three corners or more. Other corners get a zero
    // normal and cornerVertex UINT32_MAX.
    std::vector<Normal3> cornerNormal;
    std::vector<uint32_t> cornerVertex;
    // The vertices: one per distinct (point, normal) among those corners.
    std::vector<uint32_t> vertexPoint;
    std::vector<Normal3> vertexNormal;
};

// What is formed besides the normals. The writers need both parts. A front end
// that builds a mesh of its own needs no vertices. One that builds faces needs
// no triangles.
struct ShadingParts {
    bool triangles = true; // else `triangles` stays empty
    bool vertices = true;  // else cornerVertex and the vertices stay empty
    // Threads the work may spread over (Spread.h); the result is the same
    // for any number.
    unsigned workers = 1;
};

// Fills `out` for `model`. Its polygons name surfaces of `surfaces`, as
// ExportSurfaces() gives them. Returns false with a reason when a polygon names
// a surface that was never looked up.
bool ComputeShading(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                    ShadingGeometry& out, std::string& error, ShadingParts parts = {});
