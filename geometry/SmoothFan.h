// The smoothed normals of the polygons around one point, for ComputeShading
// (CornerNormals.cpp). For the usual shapes the work is linear in the polygons
// around the point, however many meet there.
#pragma once

#include "geometry/Shading.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

inline double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Unit length, or all zero when `v` has no direction.
inline Vec3 Unit(const Vec3& v) {
    const double length = std::sqrt(Dot(v, v));
    if (!(length > 0) || !std::isfinite(length))
        return Vec3{};
    return Vec3{v.x / length, v.y / length, v.z / length};
}

inline Normal3 ToFloat(const Vec3& v) {
    return Normal3{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// Per polygon: its unit normal, its surface value and the cosine of its
// surface's smoothing angle.
struct SmoothPolygons {
    const Vec3* normal;
    const int32_t* surface;
    const double* threshold;
};

// The normals the corners at one point take. `uses` lists the smooth polygons
// around that point, each once, in increasing order. The corner of polygon p
// takes the normals of those q on p's surface with q == p or
// Dot(normal q, normal p) >= threshold p. They are summed in the order of
// `uses`, made unit and rounded to floats. Entry k of `out` and `has` is for
// polygon uses[k]. `has[k]` is false where that sum has no direction, and
// `out[k]` is then left unset.
//
// Every result has the bits of that plain sum. The work stays near-linear for
// three reasons. Polygons with equal normals share one result. The polygons
// within the angle are found with a tree over the normals' directions. A sum
// over many of them is formed from the tree's partial sums whenever its error
// bound proves it rounds to the same floats as the plain sum. Only where it
// cannot is the plain sum formed, as when a component cancels to nearly
// nothing.
struct SmoothScratch;
void SmoothAroundPoint(const uint32_t* uses, size_t m, const SmoothPolygons& polygons,
                       SmoothScratch& scratch, Normal3* out, unsigned char* has);

// The polygons of one surface around a point that share one normal.
struct SmoothClass {
    Vec3 normal;
    uint32_t first; // its entries: SmoothScratch::members[first .. first + count)
    uint32_t count;
};

// A node of the tree over the classes' normals. It holds their box. It holds
// the sums over their entries of the normals and of the normals' absolute
// components.
struct SmoothNode {
    double low[3], high[3];
    double sum[3], absSum[3];
    uint32_t count;       // entries below
    uint32_t begin, end;  // classes SmoothScratch::treeOrder[begin .. end)
    uint32_t left, right; // children; UINT32_MAX in a leaf
};

// Working memory reused from point to point.
struct SmoothScratch {
    std::vector<uint32_t> bySurface; // entries grouped by surface, in order
    std::vector<uint32_t> run;       // entries of one surface, in order
    std::vector<uint32_t> byNormal;  // the same, grouped by normal
    std::vector<uint32_t> classOf;   // per position in `run`
    std::vector<uint32_t> members;   // positions in `run`, class by class
    std::vector<SmoothClass> classes;
    std::vector<uint32_t> treeOrder;
    std::vector<SmoothNode> nodes;
    std::vector<uint32_t> stack, insideNodes, insideClasses, positions;
    std::vector<unsigned char> classMark;
};
