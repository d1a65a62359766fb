// Geometry output: call order, points, surfaces, load targets, chaining and
// orientation, as a recording sink sees them.
#include "RecordingSink.h"
#include "TestModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Loop = std::vector<uint16_t>;
using Loops = std::vector<Loop>;

BuildOptions Options(int32_t loadTarget, const char* baseName = "box", double scale = 1.0) {
    return BuildOptions{loadTarget, baseName, 1, 30.0, 1, scale, 0};
}

void Build(LoadedModel& m, const BuildOptions& options, RecordingSink& out) {
    ASSERT_EQ(m.result, kReadOk);
    const ObjectSink sink = out.Sink();
    BuildObject(m.tables, options, sink);
}

std::vector<int32_t> FaceOrder(const ModelTables& t) {
    return std::vector<int32_t>(t.faceOrder.begin(), t.faceOrder.end());
}

std::vector<int32_t> Directions(const ModelTables& t) {
    std::vector<int32_t> out;
    for (const LineRecord& l : t.lines) {
        out.push_back(l.direction);
    }
    return out;
}

// Points 1 (0,0,0), 2 (1,0,0), 3 (0,1,0), 4 (0,0,1); lines L1 (1,2) or (2,1),
// L2 (2,3), L3 (3,1), L4 (1,4), L5 (2,4), L6 (3,4); faces L1 L2 L3, L1 L5 L4,
// L2 L6 L5, L3 L4 L6.
std::string Tetrahedron(const std::string& firstLine) {
    return "ROKU4\nPOINT\n"
           "0\n0\n0\n0\n0\n0\n0\n0\n"
           "0\n0\n0\n0\n0\n1\n0\n0\n"
           "0\n0\n0\n0\n0\n0\n1\n0\n"
           "0\n0\n0\n0\n0\n0\n0\n1\n"
           "LINE0\n" +
           firstLine +
           "\n0\n0\n2\n3\n0\n0\n3\n1\n0\n0\n1\n4\n0\n0\n2\n4\n0\n0\n3\n4\n0\n0\n"
           "FACE0\n3\n0\n0\n1\n2\n3\n3\n0\n0\n1\n5\n4\n3\n0\n0\n2\n6\n5\n3\n0\n0\n3\n4\n6\n"
           "END00\n";
}

// PALC0 with `count` entries: entry i is bright (10i, 10i+1, 10i+2), dark
// (i, i, i).
std::string Palette(int32_t count) {
    std::string text = "PALC0\n" + std::to_string(count) + "\n0\n";
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t v : {10 * i, 10 * i + 1, 10 * i + 2, i, i, i, 0}) {
            text += std::to_string(v) + "\n";
        }
    }
    return text + "ENDP0\n";
}

} // namespace

TEST(Geometry, TetrahedronLoopsFollowTheirNeighbours) {
    // With a line face (colour 1) on L1, which F0 and F1 list: it is sent
    // between them and the rest of the group, and sets no mark.
    LoadedModel m;
    LoadModel(Tetrahedron("1\n2") + "LINE2\n1\n0\n1\n0\nENDL2\n" + Palette(1), m);
    const ModelTables& t = m.tables;
    EXPECT_EQ(FaceOrder(t), (std::vector<int32_t>{0, 1, 4, 2, 3}));
    ASSERT_EQ(GroupCount(t), 1);
    // The tetrahedron's own centroid (0.25, 0.25, 0.25) is moved by the
    // line face's L1 (1,0,0)-(0,0,0).
    EXPECT_EQ(t.groups[0].sumX, 7.0);
    EXPECT_EQ(t.groups[0].sumY, 6.0);
    EXPECT_EQ(t.groups[0].sumZ, 6.0);
    EXPECT_EQ(t.groups[0].sumCount, 26);
    RecordingSink out;
    Build(m, Options(2), out);
    EXPECT_EQ(out.Shape(), "SDPLFB");
    ASSERT_EQ(out.calls.size(), 1u + 1u + 4u + 2u + 5u + 1u);
    EXPECT_EQ(out.calls[1].count, 4);
    EXPECT_EQ(out.Names(SinkCall::Lookup), (std::vector<std::string>{"box0", "box1"}));
    // F0 keeps its loop (normal (0,0,1) towards the centroid); every later
    // face runs its first marked line against F0 or its neighbour.
    EXPECT_EQ(out.Polygons(), (Loops{{0, 1, 2}, {1, 0, 3}, {0, 1}, {2, 1, 3}, {0, 2, 3}}));
    std::vector<int32_t> surfaces;
    for (const SinkCall* c : out.Of(SinkCall::Polygon)) {
        surfaces.push_back(c->surface);
    }
    EXPECT_EQ(surfaces, (std::vector<int32_t>{100, 100, 101, 100, 100}));
    EXPECT_EQ(Directions(t), (std::vector<int32_t>{2, 2, 2, 2, 1, 1}));
    // Colour 1 has no palette entry: one block, for colour 0.
    EXPECT_EQ(out.Names(SinkCall::SurfaceData), (std::vector<std::string>{"box0"}));
    EXPECT_EQ(out.calls.back().count, 60);
}

TEST(Geometry, TetrahedronFirstFaceReversedFlipsItsMarks) {
    // L1 stored as (2,1): F0 chains to 1, 0, 2, whose normal points away
    // from the centroid.
    {
        LoadedModel m;
        LoadModel(Tetrahedron("2\n1"), m);
        ModelTables& t = m.tables;
        Loop loop;
        ChainScratch scratch;
        ASSERT_TRUE(ChainFaceLines(t, t.faces[0], loop, scratch));
        EXPECT_EQ(loop, (Loop{1, 0, 2}));
        EXPECT_EQ(Directions(t), (std::vector<int32_t>{1, 2, 2, 0, 0, 0}));
        OrientFace(t, t.faces[0], loop);
        EXPECT_EQ(loop, (Loop{2, 0, 1}));
        EXPECT_EQ(Directions(t), (std::vector<int32_t>{2, 1, 1, 0, 0, 0}));
    }
    LoadedModel m;
    LoadModel(Tetrahedron("2\n1"), m);
    RecordingSink out;
    Build(m, Options(2), out);
    EXPECT_EQ(out.Polygons(), (Loops{{2, 0, 1}, {1, 0, 3}, {2, 1, 3}, {0, 2, 3}}));
    EXPECT_EQ(Directions(m.tables), (std::vector<int32_t>{1, 2, 2, 2, 1, 1}));
}

TEST(Geometry, PointsAreScaledNegatedAndRounded) {
    LoadedModel m;
    LoadModel("ROKU4\nPOINT\n"
              "0\n0\n0\n0\n0\n1.00000006\n2.5\n-1\n"
              "0\n0\n0\n0\n0\n1e-50\n0\n-0\n"
              "0\n0\n0\n0\n0\n0.1\n-0\n-3\n"
              "LINE0\nFACE0\nEND00\n",
              m);
    RecordingSink out;
    Build(m, Options(2, "box", 2.0), out);
    EXPECT_EQ(out.Shape(), "SDP");
    const std::vector<const SinkCall*> p = out.Of(SinkCall::Point);
    ASSERT_EQ(p.size(), 3u);
    // 2.00000012 lies just above the midpoint of 2 and the next float.
    EXPECT_EQ(p[0]->xyz, (std::array<float, 3>{0x1.000002p1f, -5.0f, -2.0f}));
    EXPECT_EQ(p[1]->xyz[0], 0.0f);
    EXPECT_FALSE(std::signbit(p[1]->xyz[0]));
    EXPECT_EQ(p[1]->xyz[1], 0.0f);
    EXPECT_TRUE(std::signbit(p[1]->xyz[1]));  // -(0 * 2)
    EXPECT_TRUE(std::signbit(p[1]->xyz[2]));  // -0 * 2
    EXPECT_FALSE(std::signbit(p[2]->xyz[1])); // -(-0 * 2)
    EXPECT_EQ(p[2]->xyz[0], 0.2f);
    EXPECT_EQ(p[2]->xyz[2], -6.0f);
}

TEST(Geometry, NoPointsStillDeclareZero) {
    LoadedModel m;
    LoadModel("ROKU4\n", m);
    RecordingSink out;
    Build(m, Options(2), out);
    ASSERT_EQ(out.calls.size(), 2u);
    EXPECT_EQ(out.Shape(), "SD");
    EXPECT_EQ(out.calls[1].count, 0);
}

TEST(Geometry, LoadTargetsChooseFacesAndTheirColours) {
    // F0: one line of the face section (colour 1); F1: triangle (colour 2);
    // F2: no lines (colour 3); F3: line face (colour 4). All in the plane
    // z = 0, so the triangle keeps its chained loop.
    const std::string text = "ROKU4\nPOINT\n"
                             "0\n0\n0\n0\n0\n0\n0\n0\n"
                             "0\n0\n0\n0\n0\n2\n0\n0\n"
                             "0\n0\n0\n0\n0\n0\n2\n0\n"
                             "0\n0\n0\n0\n0\n2\n2\n0\n"
                             "LINE0\n1\n2\n0\n0\n2\n3\n0\n0\n3\n4\n0\n0\n4\n2\n0\n0\n1\n4\n0\n0\n"
                             "FACE0\n1\n1\n0\n1\n3\n2\n0\n2\n3\n4\n0\n3\n0\nEND00\n"
                             "LINE2\n5\n0\n4\n0\nENDL2\n" +
                             Palette(5);
    struct Case {
        int32_t target;
        std::vector<std::string> surfaces;
        Loops polygons;
    };
    const std::vector<std::string> all{"box1", "box2", "box3", "box4"};
    const Loops allPolygons{{0, 1}, {1, 2, 3}, {}, {0, 3}};
    for (const Case& c :
         {Case{0, {"box1", "box4"}, {{0, 1}, {0, 3}}}, Case{1, {"box2", "box3"}, {{1, 2, 3}, {}}},
          Case{2, all, allPolygons}, Case{3, all, allPolygons}, Case{-1, all, allPolygons}}) {
        SCOPED_TRACE(c.target);
        LoadedModel m;
        LoadModel(text, m);
        ASSERT_EQ(FaceCount(m.tables), 4);
        EXPECT_EQ(FaceOrder(m.tables), (std::vector<int32_t>{0, 1, 2, 3}));
        RecordingSink out;
        Build(m, Options(c.target), out);
        EXPECT_EQ(out.Names(SinkCall::Lookup), c.surfaces);
        EXPECT_EQ(out.Polygons(), c.polygons);
        for (const SinkCall* p : out.Of(SinkCall::Polygon)) {
            EXPECT_EQ(p->count, static_cast<int32_t>(p->points.size()));
        }
        // Blocks only for colours that a sent face carries.
        EXPECT_EQ(out.Names(SinkCall::SurfaceData), c.surfaces);
    }
}

TEST(Geometry, SurfaceNamesAndValues) {
    // One-line faces of colours 12, 3, 0 and 1; a palette of 16 entries.
    std::string text = "ROKU4\nPOINT\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n1\n0\n0\n"
                       "LINE0\n1\n2\n0\n0\nFACE0\n";
    for (int colour : {12, 3, 0, 1}) {
        text += "1\n" + std::to_string(colour) + "\n0\n1\n";
    }
    text += "END00\n" + Palette(16);
    for (const std::string base : {"box", "a_much_longer_surface_base_name"}) {
        LoadedModel m;
        LoadModel(text, m);
        RecordingSink out;
        out.surfaceValues = {70000, 0x18000, -2, 0x7FFF};
        Build(m, Options(2, base.c_str()), out);
        // Names are never cut, and the blocks use the very same names.
        const std::vector<std::string> names{base + "0", base + "1", base + "3", base + "12"};
        EXPECT_EQ(out.Names(SinkCall::Lookup), names);
        EXPECT_EQ(out.Names(SinkCall::SurfaceData), names);
        // Polygons carry the low 16 bits of their colour's value, sign-extended.
        std::vector<int32_t> surfaces;
        for (const SinkCall* c : out.Of(SinkCall::Polygon)) {
            surfaces.push_back(c->surface);
        }
        EXPECT_EQ(surfaces, (std::vector<int32_t>{32767, -2, 4464, -32768}));
    }
}

TEST(Geometry, OrientFaceReversesWhenItsTestIsNotANumber) {
    {
        // Quad whose first vertex (0,0,0) is the centroid of its points.
        LoadedModel m;
        LoadModel("ROKU4\nPOINT\n"
                  "0\n0\n0\n0\n0\n0\n0\n0\n"
                  "0\n0\n0\n0\n0\n1\n0\n0\n"
                  "0\n0\n0\n0\n0\n0\n1\n0\n"
                  "0\n0\n0\n0\n0\n-1\n-1\n0\n"
                  "LINE0\n1\n2\n0\n0\n2\n3\n0\n0\n3\n4\n0\n0\n4\n1\n0\n0\n"
                  "FACE0\n4\n0\n0\n1\n2\n3\n4\nEND00\n",
                  m);
        RecordingSink out;
        Build(m, Options(2), out);
        EXPECT_EQ(out.Polygons(), (Loops{{3, 2, 1, 0}}));
    }
    // Two faces on the same three lines along the x axis: a zero normal.
    // The first is reversed and flips its marks; the second runs against it.
    LoadedModel m;
    LoadModel("ROKU4\nPOINT\n"
              "0\n0\n0\n0\n0\n0\n0\n0\n"
              "0\n0\n0\n0\n0\n1\n0\n0\n"
              "0\n0\n0\n0\n0\n2\n0\n0\n"
              "LINE0\n1\n2\n0\n0\n2\n3\n0\n0\n3\n1\n0\n0\n"
              "FACE0\n3\n0\n0\n1\n2\n3\n3\n0\n0\n1\n2\n3\nEND00\n",
              m);
    RecordingSink out;
    Build(m, Options(2), out);
    EXPECT_EQ(out.Polygons(), (Loops{{2, 1, 0}, {0, 1, 2}}));
    EXPECT_EQ(Directions(m.tables), (std::vector<int32_t>{1, 1, 1}));
}

TEST(Geometry, FacesPastPoint65536GoOnlyWhereNumbersReachThem) {
    // 65,537 points. F0: line (65535, 65536), colour 0; F1: line (65536,
    // 65537), colour 1; F2: triangle through point 65537, colour 2.
    std::string text = "ROKU4\nPOINT\n";
    for (int32_t p = 0; p < 65537; ++p) {
        text += "0\n0\n0\n0\n0\n0\n0\n0\n";
    }
    text += "LINE0\n65535\n65536\n0\n0\n65536\n65537\n0\n0\n"
            "1\n2\n0\n0\n2\n65537\n0\n0\n65537\n1\n0\n0\n"
            "FACE0\n1\n0\n0\n1\n1\n1\n0\n2\n3\n2\n0\n3\n4\n5\nEND00\n" +
            Palette(3);
    LoadedModel m;
    LoadModel(text, m);
    RecordingSink out;
    Build(m, Options(2, "m"), out);
    EXPECT_EQ(out.calls[1].count, 65537);
    EXPECT_EQ(out.Of(SinkCall::Point).size(), 65537u);
    EXPECT_EQ(out.Names(SinkCall::Lookup), (std::vector<std::string>{"m0"}));
    EXPECT_EQ(out.Polygons(), (Loops{{65534, 65535}}));
    EXPECT_EQ(out.Names(SinkCall::SurfaceData), (std::vector<std::string>{"m0"}));

    // The converter's 32-bit numbers reach every face, chained and oriented
    // as ever (the triangle has no area: reversed).
    LoadedModel again;
    LoadModel(text, again);
    RecordingSink whole;
    whole.wide = true;
    Build(again, Options(2, "m"), whole);
    EXPECT_EQ(whole.Names(SinkCall::Lookup), (std::vector<std::string>{"m0", "m1", "m2"}));
    EXPECT_EQ(whole.Polygons<uint32_t>(),
              (std::vector<std::vector<uint32_t>>{{65534, 65535}, {65535, 65536}, {65536, 1, 0}}));
}

// ------------------------------------------------------------- chaining ---

namespace {

struct Chained {
    Loop loop;
    bool needsOrient = true;
    std::vector<int32_t> directions;
};

// Chaining as defined: the start line is the first with use 2 and a mark;
// each next line is found by scanning the whole list from its start.
Chained ChainByScan(const ModelTables& t, const FaceRecord& face) {
    Chained out;
    out.directions = Directions(t);
    const int32_t* refs = FaceLines(t, face);
    const int32_t n = face.lineCount;
    auto line = [&](int32_t pos) { return t.lines[static_cast<size_t>(refs[pos])]; };
    int32_t current = 0;
    bool forwards = true;
    for (int32_t p = 0; p < n; ++p) {
        if (line(p).faceUseCount == 2 && line(p).direction != 0) {
            current = p;
            forwards = line(p).direction == 2;
            out.needsOrient = false;
            break;
        }
    }
    for (int32_t step = 0; step < n; ++step) {
        const LineRecord l = line(current);
        const int32_t farEnd = forwards ? l.pointB : l.pointA;
        out.loop.push_back(static_cast<uint16_t>((forwards ? l.pointA : l.pointB) - 1));
        if (l.faceUseCount == 2) {
            out.directions[static_cast<size_t>(refs[current])] = forwards ? 1 : 2;
        }
        int32_t next = -1;
        for (int32_t p = 0; p < n && next < 0; ++p) {
            if (p != current && (line(p).pointA == farEnd || line(p).pointB == farEnd)) {
                next = p;
            }
        }
        EXPECT_GE(next, 0);
        forwards = line(next).pointA == farEnd;
        current = next;
    }
    return out;
}

} // namespace

TEST(Geometry, ChainingMatchesThePlainScanOnRandomFaces) {
    // Closed walks over eight points, 2 to 60 steps: points met many times,
    // lines from a point to itself, lines listed twice, parallel lines, and
    // lines in random order and direction. Faces of 16 and more lines take
    // the indexed path.
    std::mt19937 rng(77031u);
    auto pick = [&](uint32_t n) { return static_cast<int32_t>(rng() % n); };
    int32_t indexedFaces = 0;
    for (int round = 0; round < 40; ++round) {
        std::string text = "ROKU4\nPOINT\n";
        for (int p = 0; p < 8; ++p) {
            text += "0\n0\n0\n0\n0\n" + std::to_string(pick(9)) + "\n" + std::to_string(pick(9)) +
                    "\n" + std::to_string(pick(9)) + "\n";
        }
        std::vector<std::pair<int32_t, int32_t>> lines;
        std::string faces;
        const int32_t faceCount = 1 + pick(6);
        for (int32_t f = 0; f < faceCount; ++f) {
            const int32_t n = 2 + pick(59);
            std::vector<int32_t> walk;
            for (int32_t i = 0; i < n; ++i) {
                walk.push_back(1 + pick(8));
            }
            std::vector<int32_t> refs;
            for (int32_t i = 0; i < n; ++i) {
                const int32_t a = walk[static_cast<size_t>(i)];
                const int32_t b = walk[static_cast<size_t>((i + 1) % n)];
                int32_t found = -1;
                for (size_t l = 0; l < lines.size() && pick(4) != 0; ++l) {
                    if (lines[l] == std::make_pair(a, b) || lines[l] == std::make_pair(b, a)) {
                        found = static_cast<int32_t>(l);
                    }
                }
                if (found < 0) {
                    lines.push_back(pick(2) == 0 ? std::make_pair(a, b) : std::make_pair(b, a));
                    found = static_cast<int32_t>(lines.size()) - 1;
                }
                refs.push_back(found + 1);
            }
            std::shuffle(refs.begin(), refs.end(), rng);
            faces += std::to_string(n) + "\n0\n0\n";
            for (int32_t r : refs) {
                faces += std::to_string(r) + "\n";
            }
        }
        text += "LINE0\n";
        for (const auto& [a, b] : lines) {
            text += std::to_string(a) + "\n" + std::to_string(b) + "\n0\n0\n";
        }
        LoadedModel m;
        LoadModel(text + "FACE0\n" + faces + "END00\n", m);
        ModelTables& t = m.tables;
        ASSERT_EQ(FaceCount(t), faceCount);
        ChainScratch scratch;
        scratch.firstPos.assign(t.points.size() + 1, -1);
        scratch.secondPos.assign(t.points.size() + 1, -1);
        for (int trial = 0; trial < 6; ++trial) {
            for (const FaceRecord& face : t.faces) {
                // Marks as earlier faces might have left them.
                for (LineRecord& l : t.lines) {
                    l.direction = trial == 0 ? 0 : pick(3);
                }
                const Chained expected = ChainByScan(t, face);
                Loop loop;
                const bool needsOrient = ChainFaceLines(t, face, loop, scratch);
                ASSERT_EQ(loop, expected.loop)
                    << "round " << round << ", " << face.lineCount << " lines";
                ASSERT_EQ(needsOrient, expected.needsOrient);
                ASSERT_EQ(Directions(t), expected.directions);
                indexedFaces += face.lineCount >= 16 ? 1 : 0;
            }
        }
    }
    EXPECT_GT(indexedFaces, 500);
}
