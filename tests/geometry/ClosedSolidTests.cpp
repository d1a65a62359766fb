// Whether an object is a closed solid: a cube is, and each fault a slicer
// meets is counted apart: a face taken away leaves open edges, a third face
// on an edge over-shares it, a flat face has no area, and points at one place
// join as a slicer joins them.
#include "SampleReceived.h"
#include "geometry/ClosedSolid.h"

#include <gtest/gtest.h>

namespace {

// A unit cube of six quads; `split` gives its top face points of its own at
// the same places.
ReceivedModel Cube(bool split = false) {
    ReceivedModel m;
    for (int k = 0; k < 8; ++k)
        AddPoint(m, float(k & 1), float((k >> 1) & 1), float((k >> 2) & 1));
    uint32_t top[4] = {2, 3, 7, 6};
    if (split) {
        for (uint32_t& v : top) {
            const ReceivedPoint p = m.points[v];
            AddPoint(m, p.x, p.y, p.z);
            v = static_cast<uint32_t>(m.points.size() - 1);
        }
    }
    const int32_t s = ReceiveLookupSurface(m, "a");
    AddPolygon(m, {0, 1, 3, 2}, s);
    AddPolygon(m, {4, 6, 7, 5}, s);
    AddPolygon(m, {0, 4, 5, 1}, s);
    AddPolygon(m, {top[0], top[1], top[2], top[3]}, s);
    AddPolygon(m, {0, 2, 6, 4}, s);
    AddPolygon(m, {1, 5, 7, 3}, s);
    return m;
}

TEST(ClosedSolid, ACubeIsClosedAndEachFaultIsCountedApart) {
    ClosedSolidCheck check = CheckClosedSolid(Cube());
    EXPECT_EQ(check.faces, 6u);
    EXPECT_EQ(check.openEdges, 0u);
    EXPECT_EQ(ClosedSolidLine(check), "a closed solid: every edge joins two faces");
    // Points of their own at the same places still close the cube.
    EXPECT_EQ(CheckClosedSolid(Cube(true)).openEdges, 0u);

    ReceivedModel open = Cube();
    open.polygons.pop_back();
    check = CheckClosedSolid(open);
    EXPECT_EQ(check.openEdges, 4u);
    EXPECT_EQ(ClosedSolidLine(check),
              "not a closed solid: 4 open edges (the shell is not closed: a slicer may fill it "
              "or print nothing there)");

    ReceivedModel fin = Cube();
    AddPoint(fin, 0.5f, 2, 0);
    AddPolygon(fin, {2, 3, 8}, 1); // a third face on the top front edge
    AddPoint(fin, 3, 3, 3);
    AddPolygon(fin, {8, 9, 8}, 1); // a flat face: no area
    AddPolygon(fin, {4, 7}, 1);    // a line
    check = CheckClosedSolid(fin);
    EXPECT_EQ(check.overSharedEdges, 1u);
    EXPECT_EQ(check.openEdges, 2u); // the fin's other two edges
    EXPECT_EQ(check.noAreaFaces, 1u);
    EXPECT_EQ(check.lines, 1u);
    EXPECT_EQ(
        ClosedSolidLine(check),
        "not a closed solid: 2 open edges (the shell is not closed: a slicer may fill it "
        "or print nothing there), 1 edge shared by more than two faces (no solid has such "
        "an edge: a slicer may print a mess there); 1 face with no area (nothing to print); 1 "
        "line left out (the file holds faces only)");
}

} // namespace
