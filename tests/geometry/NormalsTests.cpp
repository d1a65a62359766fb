// The corner normals as the host smooths: joined only within the angle,
// none for lines, points and flat loops, the fast paths round a point
// against the plain rule bit for bit, and a cone's apex of many triangles;
// and the object as faces and edges with that shading as flags.
#include "geometry/FacesAndEdges.h"
#include "geometry/Shading.h"
#include "geometry/SmoothFan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Block(bool smooth, float angle) {
    std::vector<unsigned char> b = {'C', 'O', 'L', 'R', 0,   4,   200, 100, 50,  0,   'F', 'L',
                                    'A', 'G', 0,   2,   0,   0,   'S', 'M', 'A', 'N', 0,   4,
                                    0,   0,   0,   0,   'D', 'I', 'F', 'F', 0,   2,   1,   0,
                                    'T', 'R', 'A', 'N', 0,   2,   0,   0,   'S', 'P', 'E', 'C',
                                    0,   2,   0,   0,   'G', 'L', 'O', 'S', 0,   2,   0,   0};
    b[17] = smooth ? 4 : 0;
    uint32_t bits;
    std::memcpy(&bits, &angle, 4);
    for (int k = 0; k < 4; ++k)
        b[24 + static_cast<size_t>(k)] = static_cast<unsigned char>(bits >> (24 - 8 * k));
    return b;
}

// A prism of `sides` quads around the Y axis, clockwise seen from outside
// (the host's front), and its two caps, in surfaces "side" and "cap".
ReceivedModel Prism(int sides, bool smooth, float angle, bool capsShareSurface = false) {
    ReceivedModel m;
    for (int k = 0; k < sides; ++k) {
        const double a = 2 * std::numbers::pi * k / sides;
        const float xyz[6] = {float(std::cos(a)), 0, float(std::sin(a)),
                              float(std::cos(a)), 2, float(std::sin(a))};
        ReceivePoints(m, 2, xyz);
    }
    const int32_t side = ReceiveLookupSurface(m, "side");
    const int32_t cap = capsShareSurface ? side : ReceiveLookupSurface(m, "cap");
    for (int k = 0; k < sides; ++k) {
        const uint16_t a = uint16_t(2 * k), b = uint16_t(2 * ((k + 1) % sides));
        const uint16_t quad[4] = {a, uint16_t(a + 1), uint16_t(b + 1), b};
        ReceivePolygon(m, 4, side, quad);
    }
    std::vector<uint32_t> bottom, top;
    for (int k = 0; k < sides; ++k) {
        bottom.push_back(uint32_t(2 * k));
        top.push_back(uint32_t(2 * (sides - 1 - k) + 1));
    }
    ReceivePolygon(m, sides, cap, bottom.data());
    ReceivePolygon(m, sides, cap, top.data());
    const std::vector<unsigned char> block = Block(smooth, angle);
    ReceiveSurfaceData(m, "side", 60, block.data());
    if (!capsShareSurface)
        ReceiveSurfaceData(m, "cap", 60, block.data());
    EXPECT_EQ(m.refusal, "");
    return m;
}

ShadingGeometry Geometry(const ReceivedModel& m) {
    ShadingGeometry g;
    std::string error;
    EXPECT_TRUE(ComputeShading(m, ExportSurfaces(m), g, error)) << error;
    return g;
}

void ExpectNormal(const Normal3& n, double x, double y, double z) {
    EXPECT_NEAR(n.x, x, 1e-6);
    EXPECT_NEAR(n.y, y, 1e-6);
    EXPECT_NEAR(n.z, z, 1e-6);
}

TEST(Normals, SmoothingJoinsOnlyWithinTheAngle) {
    const int sides = 8; // 45 degrees between neighbouring sides
    const float wide = float(50 * std::numbers::pi / 180),
                narrow = float(44.5 * std::numbers::pi / 180);
    {
        // Within the angle: the sides' corners point straight out from the
        // axis, the caps stay flat (90 degrees away), and each point has one
        // vertex for the sides and one for its cap.
        const ShadingGeometry g = Geometry(Prism(sides, true, wide));
        for (int k = 0; k < sides; ++k) {
            const double a = 2 * std::numbers::pi * k / sides;
            ExpectNormal(g.cornerNormal[4 * size_t(k)], std::cos(a), 0, std::sin(a));
        }
        ExpectNormal(g.cornerNormal[4 * sides], 0, -1, 0);
        ExpectNormal(g.cornerNormal[5 * sides], 0, 1, 0);
        EXPECT_EQ(g.vertexPoint.size(), 2u * 2 * sides);
    }
    for (const ReceivedModel& m : {Prism(sides, true, narrow), Prism(sides, false, wide)}) {
        // Outside the angle, or smoothing off: every corner its polygon's.
        const ShadingGeometry g = Geometry(m);
        for (int k = 0; k < sides; ++k) {
            const double a = 2 * std::numbers::pi * (k + 0.5) / sides;
            for (size_t c = 0; c < 4; ++c)
                ExpectNormal(g.cornerNormal[4 * size_t(k) + c], std::cos(a), 0, std::sin(a));
        }
        EXPECT_EQ(g.vertexPoint.size(), 4u * sides + 2u * sides);
    }
    {
        // Caps on the sides' surface, angle past 90 degrees: all of it joins.
        const ShadingGeometry g =
            Geometry(Prism(sides, true, float(std::numbers::pi / 2 + 0.01), true));
        const double x = 2 * std::cos(std::numbers::pi / sides), length = std::sqrt(x * x + 1);
        ExpectNormal(g.cornerNormal[0], x / length, -1 / length, 0);
        ExpectNormal(g.cornerNormal[4 * sides], x / length, -1 / length, 0);
        EXPECT_EQ(g.vertexPoint.size(), 2u * sides);
    }
}

TEST(Normals, LinesPointsAndFlatLoopsGetNoDirection) {
    ReceivedModel m;
    const float xyz[12] = {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 1};
    ReceivePoints(m, 4, xyz);
    const int32_t s = ReceiveLookupSurface(m, "a");
    const std::vector<unsigned char> block = Block(true, 3.0f);
    ReceiveSurfaceData(m, "a", 60, block.data());
    const uint16_t line[3] = {0, 1, 2}, triangle[3] = {0, 1, 3};
    ReceivePolygon(m, 3, s, line);     // no area
    ReceivePolygon(m, 2, s, line);     // a line
    ReceivePolygon(m, 1, s, line);     // a point
    ReceivePolygon(m, 3, s, triangle); // front toward -Y
    const ShadingGeometry g = Geometry(m);
    ExpectNormal(g.cornerNormal[0], 0, 1, 0);
    ExpectNormal(g.cornerNormal[6], 0, -1, 0); // the flat loop does not pull it
    EXPECT_EQ(g.cornerVertex[3], UINT32_MAX);
    EXPECT_EQ(g.triangles.size(), 6u);
    EXPECT_EQ(g.triangleStart, (std::vector<size_t>{0, 3, 3, 3, 6}));
}

// --------------------------------------------- many polygons round a point ---

// The smoothing rule as plainly as it is stated: for the polygon at entry i,
// the normals of every polygon of its surface around the point that lies
// within the angle (itself always), summed in the order of the uses.
void PlainRule(const std::vector<uint32_t>& uses, const SmoothPolygons& in,
               std::vector<Normal3>& out, std::vector<unsigned char>& has) {
    out.assign(uses.size(), Normal3{});
    has.assign(uses.size(), 0);
    for (size_t i = 0; i < uses.size(); ++i) {
        const uint32_t p = uses[i];
        Vec3 sum;
        for (const uint32_t q : uses) {
            if (in.surface[q] != in.surface[p] ||
                (q != p && !(Dot(in.normal[q], in.normal[p]) >= in.threshold[p])))
                continue;
            sum = {sum.x + in.normal[q].x, sum.y + in.normal[q].y, sum.z + in.normal[q].z};
        }
        const Vec3 unit = Unit(sum);
        has[i] = Dot(unit, unit) > 0;
        out[i] = ToFloat(unit);
    }
}

// The normal of the triangle from an apex at height `height` to two points
// of a circle of radius 10 (as floats, like received points).
Vec3 ConeTriangleNormal(double height, double a, double b) {
    const Vec3 apex{0, height, 0};
    const Vec3 p{float(10 * std::cos(a)), 0, float(10 * std::sin(a))};
    const Vec3 q{float(10 * std::cos(b)), 0, float(10 * std::sin(b))};
    const Vec3 u{q.x - apex.x, q.y - apex.y, q.z - apex.z};
    const Vec3 v{p.x - apex.x, p.y - apex.y, p.z - apex.z};
    return Unit(Vec3{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x});
}

// Fans of every kind round one point: cones (all normals within the angle,
// or spread round the axis so each sees an arc), a cone's ring with a few
// far normals (each ring normal then sees the whole ring, whose sum cancels
// to almost nothing across the axis: only the plain order gives its bits),
// clusters, a few repeated normals (opposite ones too), scattered ones with
// some exactly on an axis;
// one to three surfaces, angles of none, a hair, 44.5 and 90 degrees, a
// whole turn, and one that is not a number. Every result must have the bits
// of the plain rule.
TEST(Normals, RoundOnePointAsThePlainRule) {
    std::mt19937 random(41);
    std::uniform_real_distribution<double> unit(-1, 1);
    const double pi = std::numbers::pi;
    const double angles[] = {0, 1e-7, 44.5 * pi / 180, pi / 2, 3.0, pi, NAN};
    size_t compared = 0;
    for (int round = 0; round < 280; ++round) {
        const int kind = round % 7;
        const size_t m = round % 4 == 0   ? 2 + random() % 14
                         : round % 4 == 3 ? 1500
                                          : 17 + random() % 300;
        std::vector<Vec3> normals(m);
        std::vector<int32_t> surface(m);
        std::vector<double> threshold(m);
        const int surfaces = kind == 6 ? 1 : 1 + int(random() % 3);
        double thresholdOf[3];
        for (double& t : thresholdOf)
            t = std::cos(double(float(kind == 6 ? angles[2] : angles[random() % 7])));
        std::vector<Vec3> few;
        for (size_t q = 0; q < m; ++q) {
            Vec3 n;
            if (kind <= 1) {
                const double a = 2 * pi * double(q) / double(m);
                n = ConeTriangleNormal(kind == 0 ? 2.0 : 40.0, a, a + 2 * pi / double(m));
            } else if (kind == 2) {
                n = Unit(Vec3{1 + 0.2 * unit(random), 0.2 * unit(random), 0.2 * unit(random)});
            } else if (kind == 6) {
                const double a = 2 * pi * double(q) / double(m);
                n = q % 50 == 7 ? Vec3{0, -1, 0}
                                : ConeTriangleNormal(2.0, a, a + 2 * pi / double(m));
            } else if (kind == 3) {
                if (few.size() < 4 && random() % 8 == 0)
                    few.push_back(Unit(Vec3{unit(random), unit(random), unit(random)}));
                if (few.size() == 1 && random() % 2 == 0)
                    few.push_back(Vec3{-few[0].x, -few[0].y, -few[0].z});
                n = few.empty() ? Vec3{0, 1, 0} : few[random() % few.size()];
            } else {
                n = random() % 4 == 0 ? Vec3{0, 0, 1}
                                      : Unit(Vec3{unit(random), unit(random), unit(random)});
            }
            normals[q] = n;
            surface[q] = int32_t(random() % unsigned(surfaces));
            threshold[q] = thresholdOf[surface[q]];
        }
        // The uses in increasing order, but not every polygon uses the point.
        std::vector<uint32_t> uses;
        for (uint32_t q = 0; q < m; ++q) {
            if (kind == 6 || random() % 8 != 0)
                uses.push_back(q);
        }
        const SmoothPolygons in{normals.data(), surface.data(), threshold.data()};
        std::vector<Normal3> expected, got(uses.size());
        std::vector<unsigned char> expectedHas, gotHas(uses.size());
        PlainRule(uses, in, expected, expectedHas);
        SmoothScratch scratch;
        SmoothAroundPoint(uses.data(), uses.size(), in, scratch, got.data(), gotHas.data());
        for (size_t i = 0; i < uses.size(); ++i) {
            ASSERT_EQ(gotHas[i], expectedHas[i]) << "round " << round << " entry " << i;
            if (expectedHas[i]) {
                ASSERT_EQ(std::memcmp(&got[i], &expected[i], sizeof got[i]), 0)
                    << "round " << round << " entry " << i << ": " << got[i].x << " " << got[i].y
                    << " " << got[i].z << ", plainly " << expected[i].x << " " << expected[i].y
                    << " " << expected[i].z;
            }
        }
        compared += uses.size();
    }
    EXPECT_GT(compared, 80000u);
}

// A cone of many triangles round one apex, through the whole computation:
// the apex corners take the plain rule's normals, and the apex gets one
// vertex per distinct normal there, numbered in order of first use.
TEST(Normals, ConeApexOfManyTriangles) {
    const int sides = 3000;
    for (const double height : {2.0, 40.0}) {
        ReceivedModel m;
        std::vector<float> xyz = {0, float(height), 0};
        for (int k = 0; k < sides; ++k) {
            const double a = 2 * std::numbers::pi * k / sides;
            xyz.insert(xyz.end(), {float(10 * std::cos(a)), 0, float(10 * std::sin(a))});
        }
        ReceivePoints(m, sides + 1, xyz.data());
        const int32_t s = ReceiveLookupSurface(m, "cone");
        for (int k = 0; k < sides; ++k) {
            const uint16_t t[3] = {0, uint16_t(1 + (k + 1) % sides), uint16_t(1 + k)};
            ReceivePolygon(m, 3, s, t);
        }
        const std::vector<unsigned char> block = Block(true, float(44.5 * std::numbers::pi / 180));
        ReceiveSurfaceData(m, "cone", 60, block.data());
        const ShadingGeometry g = Geometry(m);

        std::vector<Vec3> normals(sides);
        std::vector<int32_t> surface(sides, s);
        std::vector<double> threshold(sides,
                                      std::cos(double(float(44.5 * std::numbers::pi / 180))));
        std::vector<uint32_t> uses(sides);
        for (int k = 0; k < sides; ++k) {
            Vec3 corners[3];
            for (int c = 0; c < 3; ++c) {
                const ReceivedPoint& p = m.points[PointsOf(m, m.polygons[size_t(k)])[size_t(c)]];
                corners[c] = {p.x, p.y, p.z};
            }
            normals[size_t(k)] = Unit(NewellNormal(corners, 3));
            uses[size_t(k)] = uint32_t(k);
        }
        std::vector<Normal3> expected;
        std::vector<unsigned char> has;
        PlainRule(uses, SmoothPolygons{normals.data(), surface.data(), threshold.data()}, expected,
                  has);
        std::vector<uint32_t> apexVertices;
        for (int k = 0; k < sides; ++k) {
            const size_t corner = g.cornerStart[size_t(k)];
            ASSERT_TRUE(has[size_t(k)]);
            ASSERT_EQ(std::memcmp(&g.cornerNormal[corner], &expected[size_t(k)], sizeof(Normal3)),
                      0)
                << "triangle " << k;
            const uint32_t v = g.cornerVertex[corner];
            ASSERT_EQ(g.vertexPoint[v], 0u);
            ASSERT_EQ(std::memcmp(&g.vertexNormal[v], &expected[size_t(k)], sizeof(Normal3)), 0);
            // A normal met before maps to its vertex; a new one to a new vertex.
            size_t seen = 0;
            while (seen < apexVertices.size() &&
                   std::memcmp(&g.vertexNormal[apexVertices[seen]], &expected[size_t(k)],
                               sizeof(Normal3)) != 0)
                ++seen;
            if (seen == apexVertices.size()) {
                ASSERT_TRUE(apexVertices.empty() || v > apexVertices.back());
                apexVertices.push_back(v);
            } else {
                ASSERT_EQ(v, apexVertices[seen]);
            }
        }
        EXPECT_GT(apexVertices.size(), size_t(height > 10 ? 1000 : 0));
    }
}

// ------------------------------------------------------ faces and edges ---

// Two quads on one surface folded 90 degrees along points 1 and 4 (or, with
// `twoSurfaces`, lying flat on two), among lines (one on their shared edge,
// one apart, one from a point to itself) and a point.
ReceivedModel Fold(float degrees, bool twoSurfaces = false) {
    ReceivedModel m;
    const float far = twoSurfaces ? 2.0f : 1.0f, up = twoSurfaces ? 0.0f : 1.0f;
    const float xyz[24] = {0, 0, 0, 1,   0,  0, far, up, 0, 0, 0, 1,
                           1, 0, 1, far, up, 1, 5,   5,  5, 6, 6, 6};
    ReceivePoints(m, 8, xyz);
    const int32_t a = ReceiveLookupSurface(m, "a");
    const int32_t b = twoSurfaces ? ReceiveLookupSurface(m, "b") : a;
    const uint16_t quadA[4] = {0, 1, 4, 3}, quadB[4] = {1, 2, 5, 4};
    const uint16_t shared[2] = {4, 1}, apart[2] = {6, 7}, self[2] = {6, 6}, point[1] = {7};
    ReceivePolygon(m, 4, a, quadA);
    ReceivePolygon(m, 2, a, shared);
    ReceivePolygon(m, 2, a, apart);
    ReceivePolygon(m, 2, a, self);
    ReceivePolygon(m, 1, a, point);
    ReceivePolygon(m, 4, b, quadB);
    const std::vector<unsigned char> block = Block(true, float(degrees * std::numbers::pi / 180));
    ReceiveSurfaceData(m, "a", 60, block.data());
    if (twoSurfaces)
        ReceiveSurfaceData(m, "b", 60, block.data());
    EXPECT_EQ(m.refusal, "");
    return m;
}

FacesAndEdges Edges(const ReceivedModel& m, Handedness handedness = Handedness::RightHanded) {
    const std::vector<ExportSurface> surfaces = ExportSurfaces(m);
    ShadingGeometry g;
    FacesAndEdges out;
    std::string error;
    EXPECT_TRUE(ComputeShading(m, surfaces, g, error));
    EXPECT_TRUE(FormFacesAndEdges(m, surfaces, g, handedness, out, error)) << error;
    return out;
}

TEST(FacesAndEdges, LoopsInTheWritersTurnNameEachEdgeOnce) {
    const FacesAndEdges e = Edges(Fold(44.5f));
    EXPECT_EQ(e.faceStart, (std::vector<int32_t>{0, 4}));
    EXPECT_EQ(e.faceSize, (std::vector<int32_t>{4, 4}));
    EXPECT_EQ(e.facePolygon, (std::vector<int32_t>{0, 5}));
    // Each loop reversed from its first corner; the lines' edges first, the
    // one on the shared edge being that edge, the one on itself none.
    EXPECT_EQ(e.cornerPoint, (std::vector<int32_t>{0, 3, 4, 1, 1, 4, 5, 2}));
    EXPECT_EQ(e.edgePoints, (std::vector<int32_t>{4, 1, 6, 7, 0, 3, 3, 4, 1, 0, 4, 5, 5, 2, 2, 1}));
    EXPECT_EQ(e.cornerEdge, (std::vector<int32_t>{2, 3, 0, 4, 0, 5, 6, 7}));
    // In the host's turn the same faces keep their corners in order.
    EXPECT_EQ(Edges(Fold(44.5f), Handedness::Host).cornerPoint,
              (std::vector<int32_t>{0, 1, 4, 3, 1, 2, 5, 4}));
}

TEST(FacesAndEdges, SharpWhereTheShadingBreaksFlatWhereItDoesNotJoin) {
    // Beyond the angle: the fold is sharp, and each face, all its corners
    // on its own normal, flat.
    FacesAndEdges e = Edges(Fold(44.5f));
    EXPECT_EQ(e.edgeSharp, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(e.faceFlat, (std::vector<uint8_t>{1, 1}));
    EXPECT_EQ(e.smoothingAngle, -1);
    EXPECT_EQ(std::vector<float>(e.cornerNormal.begin(), e.cornerNormal.begin() + 3),
              (std::vector<float>{0, -1, 0}));
    // 260 degrees acts as 100, as the host compares cosines: the fold joins.
    e = Edges(Fold(260));
    EXPECT_EQ(e.edgeSharp, std::vector<uint8_t>(8, 0));
    EXPECT_EQ(e.faceFlat, (std::vector<uint8_t>{0, 0}));
    EXPECT_NEAR(e.smoothingAngle, 100 * std::numbers::pi / 180, 1e-6);
    // Two surfaces meeting flat: sharp between them, whatever the angle.
    e = Edges(Fold(260, true));
    EXPECT_EQ(e.edgeSharp[0], 1);
    EXPECT_EQ(e.faceSurface, (std::vector<int32_t>{0, 1}));
}

TEST(FacesAndEdges, LoopsThroughAPointTwiceBecomeTheirSimpleLoops) {
    ReceivedModel m;
    const float xyz[15] = {0, 0, 0, 1, 0, 0, 0, 1, 0, -1, 0, 0, 0, -1, 0};
    ReceivePoints(m, 5, xyz);
    const int32_t s = ReceiveLookupSurface(m, "a");
    const uint16_t twice[6] = {0, 1, 2, 0, 1, 2}, bow[6] = {0, 1, 2, 0, 3, 4};
    ReceivePolygon(m, 6, s, twice); // round a triangle twice: the triangle, once
    ReceivePolygon(m, 6, s, bow);   // two triangles meeting at point 0
    const FacesAndEdges e = Edges(m);
    EXPECT_EQ(e.cornerPoint, (std::vector<int32_t>{0, 2, 1, 0, 4, 3, 0, 2, 1}));
    EXPECT_EQ(e.facePolygon, (std::vector<int32_t>{0, 1, 1}));
    EXPECT_EQ(e.splitPolygons, 2u);
    EXPECT_EQ(e.splitFaces, 3u);
    EXPECT_EQ(e.edgePoints.size(), 2u * 6);
}

} // namespace
