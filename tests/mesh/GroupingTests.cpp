// Face grouping: visit order, groups, centroid sums, and a plain recursive
// walk written here to hold the heap-stack walk (and its per-line cursor) to.
#include "TestModel.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<int32_t> FaceOrder(const ModelTables& t) {
    return std::vector<int32_t>(t.faceOrder.begin(), t.faceOrder.end());
}

std::vector<int32_t> GroupsOfFaces(const ModelTables& t) {
    std::vector<int32_t> out;
    for (const FaceRecord& f : t.faces) {
        out.push_back(f.group);
    }
    return out;
}

void ExpectGroup(const FaceGroup& g, int32_t first, int32_t members, double x, double y, double z,
                 int32_t count) {
    EXPECT_EQ(g.firstMember, first);
    EXPECT_EQ(g.memberCount, members);
    EXPECT_EQ(g.sumX, x);
    EXPECT_EQ(g.sumY, y);
    EXPECT_EQ(g.sumZ, z);
    EXPECT_EQ(g.sumCount, count);
}

// Points P1 (1,2,3) and P2 (4,5,6); every line joins them, so any two of
// them close a face.
const std::string kTwoPoints = "ROKU4\nPOINT\n"
                               "0\n0\n0\n0\n0\n1\n2\n3\n"
                               "0\n0\n0\n0\n0\n4\n5\n6\n";

} // namespace

TEST(Grouping, FourFaceExampleVisitsAcrossTwoFaceLinesFirst) {
    // La (1) listed by F0 F1 F3, Lb (2) by F0 F2, Lc (3) by F2 F3, Ld (4) by F1.
    LoadedModel m;
    LoadModel(kTwoPoints + "LINE0\n1\n2\n0\n0\n2\n1\n0\n0\n1\n2\n0\n0\n2\n1\n0\n0\n"
                           "FACE0\n2\n0\n0\n1\n2\n2\n0\n0\n1\n4\n2\n0\n0\n2\n3\n2\n0\n0\n1\n3\n"
                           "END00\n",
              m);
    const ModelTables& t = m.tables;
    ASSERT_EQ(FaceCount(t), 4);
    EXPECT_EQ(FaceOrder(t), (std::vector<int32_t>{0, 2, 3, 1}));
    ASSERT_EQ(GroupCount(t), 1);
    EXPECT_EQ(GroupsOfFaces(t), (std::vector<int32_t>{0, 0, 0, 0}));
    // Eight line entries, Ld (used once) included: 16 end points.
    ExpectGroup(t.groups[0], 0, 4, 40.0, 56.0, 72.0, 16);
}

TEST(Grouping, NoFacesGiveNoGroups) {
    LoadedModel bare;
    LoadModel("ROKU4\n", bare);
    LoadedModel linesOnly;
    LoadModel(kTwoPoints + "LINE0\n1\n2\n0\n0\nFACE0\nEND00\n", linesOnly);
    for (const LoadedModel* m : {&bare, &linesOnly}) {
        ASSERT_EQ(m->result, kReadOk);
        EXPECT_TRUE(m->tables.faceOrder.empty());
        EXPECT_EQ(GroupCount(m->tables), 0);
    }
}

TEST(Grouping, SeparateGroupsInCreationOrder) {
    // Triangles T0 (lines 1-3) and T1 (lines 4-6) meet only at point 3.
    // Two-line faces: A (lines 7,8), D (9,10), C (11,12), B (8,13), E (10,14):
    // A-B share line 8, D-E share line 10, C shares nothing.
    std::string text = "ROKU4\nPOINT\n"
                       "0\n0\n0\n0\n0\n0\n0\n0\n"
                       "0\n0\n0\n0\n0\n2\n0\n0\n"
                       "0\n0\n0\n0\n0\n0\n2\n0\n"
                       "0\n0\n0\n0\n0\n-2\n2\n4\n"
                       "0\n0\n0\n0\n0\n0\n2\n8\n"
                       "LINE0\n"
                       "1\n2\n0\n0\n2\n3\n0\n0\n3\n1\n0\n0\n"
                       "3\n4\n0\n0\n4\n5\n0\n0\n5\n3\n0\n0\n";
    for (int i = 0; i < 8; ++i) {
        text += "1\n2\n0\n0\n";
    }
    text += "FACE0\n"
            "3\n0\n0\n1\n2\n3\n"
            "3\n0\n0\n4\n5\n6\n"
            "2\n0\n0\n7\n8\n"
            "2\n0\n0\n9\n10\n"
            "2\n0\n0\n11\n12\n"
            "2\n0\n0\n8\n13\n"
            "2\n0\n0\n10\n14\n"
            "END00\n";
    LoadedModel m;
    LoadModel(text, m);
    const ModelTables& t = m.tables;
    ASSERT_EQ(FaceCount(t), 7);
    EXPECT_EQ(FaceOrder(t), (std::vector<int32_t>{0, 1, 2, 5, 3, 6, 4}));
    EXPECT_EQ(GroupsOfFaces(t), (std::vector<int32_t>{0, 1, 2, 3, 4, 2, 3}));
    ASSERT_EQ(GroupCount(t), 5);
    // A triangle's sums are twice the sum of its points: the centroid is
    // their average.
    ExpectGroup(t.groups[0], 0, 1, 4.0, 4.0, 0.0, 6);
    ExpectGroup(t.groups[1], 1, 1, -4.0, 12.0, 24.0, 6);
    ExpectGroup(t.groups[2], 2, 2, 8.0, 0.0, 0.0, 8);
    ExpectGroup(t.groups[3], 4, 2, 8.0, 0.0, 0.0, 8);
    ExpectGroup(t.groups[4], 6, 1, 4.0, 0.0, 0.0, 4);
}

TEST(Grouping, LinesOfThreeOrMoreFacesJoinAfterTwoFaceLines) {
    // Line 1 is listed by F0, F1, F2 and nothing else joins F1 and F2 to F0.
    // Line 2, listed by F0 and F3, stands second in F0's list but is
    // followed first.
    LoadedModel m;
    LoadModel(kTwoPoints + "LINE0\n1\n2\n0\n0\n1\n2\n0\n0\n1\n2\n0\n0\n1\n2\n0\n0\n"
                           "1\n2\n0\n0\nFACE0\n"
                           "2\n0\n0\n1\n2\n2\n0\n0\n1\n3\n2\n0\n0\n1\n4\n2\n0\n0\n2\n5\n"
                           "END00\n",
              m);
    const ModelTables& t = m.tables;
    ASSERT_EQ(FaceCount(t), 4);
    ASSERT_EQ(GroupCount(t), 1);
    EXPECT_EQ(FaceOrder(t), (std::vector<int32_t>{0, 3, 1, 2}));
    ExpectGroup(t.groups[0], 0, 4, 40.0, 56.0, 72.0, 16);
}

TEST(Grouping, LineFaces) {
    // Line 1: face F0 only (use 1). Line 2: F0 and F1 (use 2). Line 3: F1
    // only. Line 4: no face-section face. LINE2 entries make line faces on
    // lines 4 (F2), 2 (F3) and 1 (F4).
    LoadedModel m;
    LoadModel(kTwoPoints + "LINE0\n1\n2\n0\n0\n2\n1\n0\n0\n1\n2\n0\n0\n2\n1\n0\n0\n"
                           "FACE0\n2\n0\n0\n1\n2\n2\n0\n0\n2\n3\nEND00\n"
                           "LINE2\n4\n0\n1\n0\n2\n0\n1\n0\n1\n0\n1\n0\nENDL2\n",
              m);
    const ModelTables& t = m.tables;
    ASSERT_EQ(FaceCount(t), 5);
    // F3 sits on line 2, which F0 and F1 list: it joins their group after
    // F1. F2 and F4 are not reached: line 4 has no use, line 1 one.
    EXPECT_EQ(FaceOrder(t), (std::vector<int32_t>{0, 1, 3, 2, 4}));
    EXPECT_EQ(GroupsOfFaces(t), (std::vector<int32_t>{0, 0, 1, 0, 2}));
    ASSERT_EQ(GroupCount(t), 3);
    ExpectGroup(t.groups[0], 0, 3, 25.0, 35.0, 45.0, 10);
    // A line nobody else uses adds nothing to the sums...
    ExpectGroup(t.groups[1], 3, 1, 0.0, 0.0, 0.0, 0);
    // ...but a line that one face-section face lists does.
    ExpectGroup(t.groups[2], 4, 1, 5.0, 7.0, 9.0, 2);
}

TEST(Grouping, FaceListedTwiceInOneLineIsPlacedOnce) {
    // F0 lists line 1 twice (use 2); a line face on line 1 joins it.
    LoadedModel m;
    LoadModel(kTwoPoints + "LINE0\n1\n2\n0\n0\nFACE0\n2\n0\n0\n1\n1\nEND00\n"
                           "LINE2\n1\n0\n3\n0\nENDL2\n",
              m);
    const ModelTables& t = m.tables;
    ASSERT_EQ(FaceCount(t), 2);
    EXPECT_EQ(FaceOrder(t), (std::vector<int32_t>{0, 1}));
    ASSERT_EQ(GroupCount(t), 1);
    ExpectGroup(t.groups[0], 0, 2, 15.0, 21.0, 27.0, 6);
}

// ------------------------------------------------- the recursive definition ---

namespace {

// The grouping written as plainly as it is defined: recursion, every line's
// face list walked from its start each time. Face lists and use counts are
// rebuilt here from the faces themselves.
struct ReferenceGrouping {
    const ModelTables& t;
    std::vector<std::vector<int32_t>> lineFaces;
    std::vector<int32_t> uses;
    std::vector<int32_t> groupOf;
    std::vector<int32_t> order;
    std::vector<FaceGroup> groups;

    explicit ReferenceGrouping(const ModelTables& tables)
        : t(tables), lineFaces(tables.lines.size()), uses(tables.lines.size(), 0),
          groupOf(tables.faces.size(), -1) {
        const int32_t sectionFaces = FaceCount(t) - t.lineFaceCount;
        for (int32_t f = 0; f < FaceCount(t); ++f) {
            for (int32_t l : Lines(f)) {
                lineFaces[static_cast<size_t>(l)].push_back(f);
                uses[static_cast<size_t>(l)] += f < sectionFaces ? 1 : 0;
            }
        }
        for (int32_t f = 0; f < FaceCount(t); ++f) {
            if (groupOf[static_cast<size_t>(f)] < 0) {
                groups.push_back(FaceGroup{0, static_cast<int32_t>(order.size()), 0, 0, 0, 0});
                Assign(f, static_cast<int32_t>(groups.size()) - 1);
            }
        }
    }

    std::vector<int32_t> Lines(int32_t f) const {
        const FaceRecord& face = t.faces[static_cast<size_t>(f)];
        return std::vector<int32_t>(FaceLines(t, face), FaceLines(t, face) + face.lineCount);
    }

    void Assign(int32_t f, int32_t g) {
        if (groupOf[static_cast<size_t>(f)] >= 0) {
            return;
        }
        groupOf[static_cast<size_t>(f)] = g;
        order.push_back(f);
        FaceGroup& group = groups[static_cast<size_t>(g)];
        ++group.memberCount;
        for (int32_t l : Lines(f)) {
            if (uses[static_cast<size_t>(l)] > 0) {
                const LineRecord& line = t.lines[static_cast<size_t>(l)];
                const PointRecord& a = t.points[static_cast<size_t>(line.pointA - 1)];
                const PointRecord& b = t.points[static_cast<size_t>(line.pointB - 1)];
                group.sumX += b.x + a.x;
                group.sumY += b.y + a.y;
                group.sumZ += b.z + a.z;
                group.sumCount += 2;
            }
        }
        for (int pass = 0; pass < 2; ++pass) {
            for (int32_t l : Lines(f)) {
                const int32_t u = uses[static_cast<size_t>(l)];
                if (pass == 0 ? u == 2 : u > 2) {
                    for (int32_t other : lineFaces[static_cast<size_t>(l)]) {
                        Assign(other, g);
                    }
                }
            }
        }
    }
};

// `points` point records at random coordinates with fractions.
std::string RandomPointRecords(std::mt19937& rng, int32_t points) {
    auto pick = [&](uint32_t n) { return static_cast<int32_t>(rng() % n); };
    std::string text;
    for (int32_t p = 0; p < points; ++p) {
        text += "0\n0\n0\n0\n0\n";
        for (int k = 0; k < 3; ++k) {
            text += std::to_string(pick(2000) - 1000) + "." + std::to_string(pick(1000)) + "3\n";
        }
    }
    return text;
}

// A random model over a few points and many lines between them: closed
// walks, a line listed twice, one-line and zero-line faces, line faces; lines
// end up used by none, one, two and many faces.
std::string RandomModelText(std::mt19937& rng) {
    auto pick = [&](uint32_t n) { return static_cast<int32_t>(rng() % n); };
    const int32_t points = 3 + pick(4);
    std::string text = "ROKU4\nPOINT\n" + RandomPointRecords(rng, points);
    struct Line {
        int32_t a, b;
    };
    std::vector<Line> lines;
    text += "LINE0\n";
    const int32_t lineCount = 4 + pick(10);
    for (int32_t l = 0; l < lineCount; ++l) {
        Line line{1 + pick(static_cast<uint32_t>(points)), 1 + pick(static_cast<uint32_t>(points))};
        lines.push_back(line);
        text += std::to_string(line.a) + "\n" + std::to_string(line.b) + "\n0\n" +
                std::to_string(pick(4) == 0 ? 1 : 0) + "\n";
    }
    auto linesAt = [&](int32_t p) {
        std::vector<int32_t> out;
        for (int32_t l = 0; l < lineCount; ++l) {
            if (lines[static_cast<size_t>(l)].a == p || lines[static_cast<size_t>(l)].b == p) {
                out.push_back(l);
            }
        }
        return out;
    };
    text += "FACE0\n";
    const int32_t faces = pick(14);
    for (int32_t f = 0; f < faces; ++f) {
        std::vector<int32_t> refs;
        const int32_t kind = pick(8);
        if (kind == 0) {
            // no lines
        } else if (kind == 1) {
            refs.push_back(pick(static_cast<uint32_t>(lineCount)));
        } else {
            // Walk out from a line's end, then close directly or walk back.
            const int32_t first = pick(static_cast<uint32_t>(lineCount));
            refs.push_back(first);
            const int32_t start = lines[static_cast<size_t>(first)].a;
            int32_t at = lines[static_cast<size_t>(first)].b;
            std::vector<int32_t> walk{first};
            for (int32_t step = pick(3); step > 0; --step) {
                const std::vector<int32_t> near = linesAt(at);
                const int32_t l =
                    near[static_cast<size_t>(pick(static_cast<uint32_t>(near.size())))];
                const Line& line = lines[static_cast<size_t>(l)];
                at = line.a == at ? line.b : line.a;
                walk.push_back(l);
                refs.push_back(l);
            }
            int32_t closing = -1;
            for (int32_t l : linesAt(at)) {
                const Line& line = lines[static_cast<size_t>(l)];
                if ((line.a == at && line.b == start) || (line.b == at && line.a == start)) {
                    closing = l;
                }
            }
            if (closing >= 0 && pick(3) != 0) {
                refs.push_back(closing);
            } else {
                refs.insert(refs.end(), walk.rbegin(), walk.rend());
            }
            std::shuffle(refs.begin(), refs.end(), rng);
        }
        text += std::to_string(refs.size()) + "\n0\n0\n";
        for (int32_t l : refs) {
            text += std::to_string(l + 1) + "\n";
        }
    }
    text += "END00\nLINE2\n";
    for (int32_t e = pick(6); e > 0; --e) {
        text += std::to_string(1 + pick(static_cast<uint32_t>(lineCount))) + "\n0\n0\n0\n";
    }
    return text + "ENDL2\n";
}

} // namespace

TEST(Grouping, MatchesRecursiveDefinitionOnRandomModels) {
    std::mt19937 rng(20240611u);
    int32_t sharedByThree = 0, lineFaces = 0, joined = 0;
    for (int round = 0; round < 600; ++round) {
        LoadedModel m;
        LoadModel(RandomModelText(rng), m);
        ASSERT_EQ(m.result, kReadOk);
        const ModelTables& t = m.tables;
        const ReferenceGrouping ref(t);
        ASSERT_EQ(FaceOrder(t), ref.order) << "round " << round;
        ASSERT_EQ(GroupsOfFaces(t), ref.groupOf) << "round " << round;
        ASSERT_EQ(GroupCount(t), static_cast<int32_t>(ref.groups.size()));
        for (size_t g = 0; g < ref.groups.size(); ++g) {
            const FaceGroup& r = ref.groups[g];
            ExpectGroup(t.groups[g], r.firstMember, r.memberCount, r.sumX, r.sumY, r.sumZ,
                        r.sumCount);
        }
        for (size_t l = 0; l < t.lines.size(); ++l) {
            const LineRecord& line = t.lines[l];
            EXPECT_EQ(line.faceUseCount, ref.uses[l]);
            // The face lists, kept in the line record or gathered apart.
            EXPECT_EQ(
                std::vector<int32_t>(LineFaces(t, line), LineFaces(t, line) + line.faceRefCount),
                ref.lineFaces[l])
                << "round " << round << " line " << l;
            sharedByThree += ref.uses[l] > 2 ? 1 : 0;
        }
        lineFaces += t.lineFaceCount;
        joined += GroupCount(t) < FaceCount(t) ? 1 : 0;
    }
    // The models really exercise what they are meant to.
    EXPECT_GT(sharedByThree, 500);
    EXPECT_GT(lineFaces, 300);
    EXPECT_GT(joined, 300);
}

TEST(Grouping, MillionFaceStripIsOneGroupWithoutDeepRecursion) {
    // Face i lists lines i+1 and i+2, so each face reaches the next across a
    // line of use 2: the walk is a million faces deep.
    constexpr int32_t kFaces = 1000000;
    std::string text = "ROKU4\nPOINT\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n1\n0\n0\nLINE0\n";
    text.reserve(static_cast<size_t>(kFaces) * 30);
    for (int32_t l = 0; l <= kFaces; ++l) {
        text += "1\n2\n0\n0\n";
    }
    text += "FACE0\n";
    for (int32_t f = 1; f <= kFaces; ++f) {
        text += "2\n0\n0\n" + std::to_string(f) + "\n" + std::to_string(f + 1) + "\n";
    }
    text += "END00\n";
    LoadedModel m;
    LoadModel(text, m);
    const ModelTables& t = m.tables;
    ASSERT_EQ(FaceCount(t), kFaces);
    ASSERT_EQ(GroupCount(t), 1);
    ExpectGroup(t.groups[0], 0, kFaces, 2.0 * kFaces, 0.0, 0.0, 4 * kFaces);
    for (int32_t i = 0; i < kFaces; ++i) {
        if (t.faceOrder[static_cast<size_t>(i)] != i) {
            FAIL() << "faceOrder[" << i << "] = " << t.faceOrder[static_cast<size_t>(i)];
        }
    }
}
