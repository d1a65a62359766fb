// The model file reader: the magic, records and sections, the end of the
// file inside a record, the suggested options, and the limits.
#include "TestModel.h"
#include "model/NumberParsing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

std::string Pt(double x, double y, double z) {
    char text[128];
    std::snprintf(text, sizeof text, "0\n0\n0\n0\n0\n%g\n%g\n%g\n", x, y, z);
    return text;
}
std::string Ln(int a, int b, int value4 = 0) {
    return std::to_string(a) + "\n" + std::to_string(b) + "\n0\n" + std::to_string(value4) + "\n";
}
std::string Fc(int colour, const std::vector<int>& lines) {
    std::string out = std::to_string(lines.size()) + "\n" + std::to_string(colour) + "\n0\n";
    for (int l : lines) {
        out += std::to_string(l) + "\n";
    }
    return out;
}
std::string L2(int line, int colour) {
    return std::to_string(line) + "\n0\n" + std::to_string(colour) + "\n0\n";
}

// A triangle: points 1-3, lines 1 (1-2), 2 (2-3), 3 (3-1); then `lines`
// (more line records), the face section and what follows END00.
std::string Triangle(const std::string& faces, const std::string& tail = "",
                     const std::string& lines = "") {
    return "ROKU4\nPOINT\n" + Pt(0, 0, 0) + Pt(1, 0, 0) + Pt(0, 1, 0) + "LINE0\n" + Ln(1, 2) +
           Ln(2, 3) + Ln(3, 1) + lines + "FACE0\n" + faces + "END00\n" + tail;
}

std::vector<int32_t> Refs(const ModelTables& t, int32_t line) {
    const LineRecord& l = t.lines[static_cast<size_t>(line)];
    return {LineFaces(t, l), LineFaces(t, l) + l.faceRefCount};
}
std::vector<int32_t> LinesOf(const ModelTables& t, int32_t face) {
    const FaceRecord& f = t.faces[static_cast<size_t>(face)];
    return {FaceLines(t, f), FaceLines(t, f) + f.lineCount};
}

} // namespace

// ------------------------------------------------------------- the magic ---

TEST(ModelReader, Magic) {
    const std::string header = "\0"s + std::string(127, 'h');
    const std::string body = "\nPOINT\n" + Pt(1, 2, 3) + "LINE0\n";
    const struct {
        std::string bytes;
        bool model;
        int32_t points;
    } cases[] = {{"ROKU4", true, 0},
                 {"ROKU4" + body, true, 1},
                 {"ROKU4POINT" + body, true, 1},
                 {"ROKU4POINT\n" + Pt(1, 2, 3) + "LINE0\n", true, 0},
                 {"roku4" + body, false, 0},
                 {"ROKU", false, 0},
                 {"", false, 0},
                 {" ROKU4" + body, false, 0},
                 {header + "ROKU4" + body, true, 1},
                 {header + "ROKU4", true, 0},
                 {header + "ROKU", false, 0},
                 {"\0"s, false, 0},
                 {header + "roku4" + body, false, 0},
                 {"X" + header.substr(1) + "ROKU4" + body, false, 0},
                 // The header's own bytes are not examined, even a magic in them.
                 {"\0ROKU4"s + std::string(122, '\n') + "ROKU4" + body, true, 1}};
    for (const auto& c : cases) {
        LoadedModel m;
        LoadModel(c.bytes, m);
        EXPECT_EQ(m.result, c.model ? kReadOk : kReadNotModelFile) << c.bytes.size();
        EXPECT_EQ(PointCount(m.tables), c.points);
        if (!c.model) {
            EXPECT_EQ(m.loadTarget, -100); // nothing written
            EXPECT_EQ(m.doubleSided, -100);
            EXPECT_TRUE(m.tables.points.empty() && m.tables.lines.empty());
        }
    }
}

TEST(ModelReader, MagicOnlyFileIsEmptyAndSuggestsLinesSingleSided) {
    LoadedModel m;
    LoadModel("ROKU4 POINT\nno point keyword here\n", m);
    ASSERT_EQ(m.result, kReadOk);
    EXPECT_EQ(PointCount(m.tables) + LineCount(m.tables) + FaceCount(m.tables), 0);
    EXPECT_EQ(m.loadTarget, 0);
    EXPECT_EQ(m.doubleSided, 0);
}

TEST(ModelReader, ReadErrorFails) {
    // A directory opens but cannot be read.
    std::FILE* dir = std::fopen("/", "rb");
    if (dir == nullptr) {
        GTEST_SKIP() << "directories cannot be opened here";
    }
    ByteSource source;
    InitFileSource(source, dir);
    ModelTables t;
    int32_t target = -100, ds = -100;
    EXPECT_EQ(ReadModelFile(source, t, &target, &ds), kReadFailed);
    EXPECT_EQ(target, -100);
    EXPECT_TRUE(t.points.empty());
    std::fclose(dir);
}

// --------------------------------------------------------------- records ---

TEST(ModelReader, RecordFieldsAndSections) {
    const std::string text = "ROKU4\nignored\nPOINT\n"
                             "-3\n70000\n-1\nignored 9\n123\n1.5\n-2.5d1\n.25\n" +
                             Pt(4, 5, 6) + Pt(7, 8, 9) +
                             "LINE0\n"
                             "1\n2\n65537\n65536\n" +
                             Ln(2, 3, 7) + Ln(3, 1) + "FACE0\n" + Fc(4, {1, 2, 3}) +
                             "2\n15\n-9\n1\n1\n" + "0\n0\n5\n" + "END00\n";
    LoadedModel m;
    LoadModel(text, m);
    ASSERT_EQ(m.result, kReadOk);
    const ModelTables& t = m.tables;
    ASSERT_EQ(PointCount(t), 3);
    const PointRecord& p = t.points[0];
    EXPECT_EQ(p.value1, -3);
    EXPECT_EQ(p.value2, 70000 - 65536);
    EXPECT_EQ(p.value3, 65535);
    EXPECT_EQ(p.value5, 123);
    EXPECT_EQ(p.x, 1.5);
    EXPECT_EQ(p.y, -25.0);
    EXPECT_EQ(p.z, 0.25);
    EXPECT_EQ(t.points[2].z, 9.0);
    ASSERT_EQ(LineCount(t), 3);
    EXPECT_EQ(t.lines[0].pointA, 1);
    EXPECT_EQ(t.lines[0].pointB, 2);
    EXPECT_EQ(t.lines[0].value3, 1);
    EXPECT_EQ(t.lines[0].value4, 0); // 65536 keeps its low 16 bits
    EXPECT_EQ(t.lines[1].value4, 7);
    ASSERT_EQ(FaceCount(t), 3);
    EXPECT_EQ(t.faces[0].colourIndex, 4);
    EXPECT_EQ(LinesOf(t, 0), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(t.faces[1].lineCount, 2);
    EXPECT_EQ(t.faces[1].colourIndex, 15);
    EXPECT_EQ(t.faces[1].value3, -9);
    EXPECT_EQ(LinesOf(t, 1), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(t.faces[2].lineCount, 0); // three lines, no index line
    EXPECT_EQ(t.faces[2].value3, 5);
    EXPECT_EQ(Refs(t, 0), (std::vector<int32_t>{0, 1, 1}));
    EXPECT_EQ(t.lines[0].faceUseCount, 3);
    EXPECT_EQ(t.lines[1].faceUseCount, 1);
    EXPECT_EQ(t.lineFaceCount, 0);
    EXPECT_EQ(t.lineEntryCount, 0);
    EXPECT_EQ(m.loadTarget, 1);
    EXPECT_EQ(m.doubleSided, 1);
}

TEST(ModelReader, EveryLineCountsAndKeywordsAreWholeLines) {
    // An empty line and "LINE0 " each start a point record; " FACE0" a line
    // record; "END00" inside a face record is read as a number.
    const std::string text = "ROKU4\nPOINT\n"
                             "\n2\n3\n4\n5\n1.5\n2.5\n3.5\n"
                             "LINE0 \n7\n8\n9\n10\n11\n12\n13\n"
                             "LINE0\n"
                             " FACE0\n2\n0\n0\n"
                             "FACE0\n"
                             "1\nEND00\n0\n1\n"
                             "END00\n";
    LoadedModel m;
    LoadModel(text, m);
    ASSERT_EQ(m.result, kReadOk);
    const ModelTables& t = m.tables;
    ASSERT_EQ(PointCount(t), 2);
    EXPECT_EQ(t.points[0].value1, 0);
    EXPECT_EQ(t.points[0].value2, 2);
    EXPECT_EQ(t.points[0].value5, 5);
    EXPECT_EQ(t.points[0].z, 3.5);
    EXPECT_EQ(t.points[1].value1, 0);
    EXPECT_EQ(t.points[1].value2, 7);
    EXPECT_EQ(t.points[1].x, 11.0);
    ASSERT_EQ(LineCount(t), 1);
    EXPECT_EQ(t.lines[0].pointA, 0);
    EXPECT_EQ(t.lines[0].pointB, 2);
    EXPECT_FALSE(HasBothEnds(t.lines[0], PointCount(t)));
    EXPECT_EQ(FaceCount(t), 0); // its one line is broken
}

TEST(ModelReader, OptionalSections) {
    const std::string tail = "junk\n"
                             "BAKC0\nPALC0\nVIEW0\n0\n0\nENDB0\n"
                             "LIT00\nLINE2\n1\nENDL0\n"
                             "PALC0\n1\nx\n1\n2\n3\n4\n5\n6\nx\nENDP0\n"
                             "PALC0\n2\nx\n"
                             "10\n11\n12\n13\n14\n15\nx\n20\n21\n22\n23\n24\n25\nx\nmore\nENDP0\n"
                             "VIEW0\n0\n1\nENDV0\nVIEW0\n1\n0\nVIEW0\nENDV0\nLINE2\n"s +
                             L2(1, 2) + "ENDL2\nLINE2\n" + L2(2, 3) + "ENDL2\n";
    LoadedModel m;
    LoadModel(Triangle(Fc(0, {1, 2, 3}), tail), m);
    ASSERT_EQ(m.result, kReadOk);
    const ModelTables& t = m.tables;
    ASSERT_EQ(PaletteCount(t), 2);
    EXPECT_EQ(t.palette[0].brightRed, 10);
    EXPECT_EQ(t.palette[0].darkBlue, 15);
    EXPECT_EQ(t.palette[1].brightRed, 20);
    EXPECT_EQ(t.palette[1].darkBlue, 25);
    // Nothing inside BAKC0 or LIT00 is seen; the second VIEW0 (1, 0) counts,
    // and the VIEW0 after it is skipped as part of that section.
    EXPECT_EQ(m.loadTarget, 0);
    EXPECT_EQ(t.lineEntryCount, 2);
    EXPECT_EQ(t.lineFaceCount, 2);
    ASSERT_EQ(FaceCount(t), 3);
    EXPECT_EQ(t.faces[1].lineCount, 1);
    EXPECT_EQ(t.faces[1].colourIndex, 2);
    EXPECT_EQ(t.faces[1].value3, 0);
    EXPECT_EQ(LinesOf(t, 2), (std::vector<int32_t>{1}));
    EXPECT_EQ(Refs(t, 0), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(t.lines[0].faceUseCount, 1); // line faces do not count
    EXPECT_EQ(m.doubleSided, 1);
}

TEST(ModelReader, MissingEndKeywordHidesOptionalSections) {
    LoadedModel m;
    LoadModel("ROKU4\nPOINT\n" + Pt(0, 0, 0) + "LINE0\nFACE0\nPALC0\n1\nx\n1\n2\n3\n4\n5\n6\n", m);
    ASSERT_EQ(m.result, kReadOk);
    EXPECT_EQ(PaletteCount(m.tables), 0);
    // "PALC0" began a face record of no lines, colour 1.
    ASSERT_EQ(FaceCount(m.tables), 1);
    EXPECT_EQ(m.tables.faces[0].colourIndex, 1);
}

// ------------------------------------------------------- end of the file ---

TEST(ModelReader, EndOfFileInsidePointRecord) {
    for (const char* end : {"", "\n"}) {
        LoadedModel m;
        LoadModel("ROKU4\nPOINT\n1\n2\n3\n4\n5\n6.5"s + end, m);
        ASSERT_EQ(PointCount(m.tables), 1);
        const PointRecord& p = m.tables.points[0];
        EXPECT_EQ(p.value5, 5);
        EXPECT_EQ(p.x, 6.5);
        EXPECT_EQ(p.y, 6.5);
        EXPECT_EQ(p.z, 6.5);
    }
    // With CR LF the empty line read at the end is the last line.
    LoadedModel m;
    LoadModel("ROKU4\r\nPOINT\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6.5\r\n", m);
    ASSERT_EQ(PointCount(m.tables), 1);
    EXPECT_EQ(m.tables.points[0].x, 6.5);
    EXPECT_EQ(m.tables.points[0].y, 0.0);
}

TEST(ModelReader, CrLfEndingAddsOneZeroPointWithoutLine0) {
    const std::string lf = "ROKU4\nPOINT\n1\n2\n3\n4\n5\n6\n7\n8\n";
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    LoadedModel a, b;
    LoadModel(lf, a);
    LoadModel(crlf, b);
    EXPECT_EQ(PointCount(a.tables), 1);
    ASSERT_EQ(PointCount(b.tables), 2);
    const PointRecord& p = b.tables.points[1];
    EXPECT_EQ(p.value1 | p.value2 | p.value3 | p.value5, 0);
    EXPECT_EQ(p.x + p.y + p.z, 0.0);
}

TEST(ModelReader, EndOfFileInsideFaceAndSections) {
    {
        // The missing index lines repeat the last one: three entries of line 1.
        LoadedModel m;
        LoadModel(Triangle("").substr(0, Triangle("").size() - 6) + "3\n2\n0\n1", m);
        ASSERT_EQ(FaceCount(m.tables), 1);
        EXPECT_EQ(LinesOf(m.tables, 0), (std::vector<int32_t>{0, 0, 0}));
        EXPECT_EQ(m.tables.lines[0].faceUseCount, 3);
    }
    {
        // With CR LF the repeated line is the empty one: line 0, left out.
        std::string text = Triangle("").substr(0, Triangle("").size() - 6) + "3\n2\n0\n1\n";
        std::string crlf;
        for (char c : text) {
            crlf += c == '\n' ? "\r\n" : std::string(1, c);
        }
        LoadedModel m;
        LoadModel(crlf, m);
        EXPECT_EQ(FaceCount(m.tables), 0);
        EXPECT_EQ(m.tables.lines[0].faceUseCount, 0);
    }
    {
        LoadedModel m;
        LoadModel(Triangle(Fc(0, {1, 2, 3}), "PALC0\n2\nx\n10\n20"), m);
        ASSERT_EQ(PaletteCount(m.tables), 2);
        EXPECT_EQ(m.tables.palette[0].brightRed, 10);
        EXPECT_EQ(m.tables.palette[0].brightGreen, 20);
        EXPECT_EQ(m.tables.palette[0].darkBlue, 20);
        EXPECT_EQ(m.tables.palette[1].brightRed, 20);
    }
    {
        // The second view value repeats the first: 0 and 0 give -1.
        LoadedModel m;
        LoadModel(Triangle(Fc(0, {1, 2, 3}), "VIEW0\n0"), m);
        EXPECT_EQ(m.loadTarget, -1);
    }
}

// ----------------------------------------------------------- suggestions ---

TEST(ModelReader, SuggestedLoadTarget) {
    const std::string face = Fc(0, {1, 2, 3});
    const std::string marked = Ln(1, 2, 5); // line 4, value4 non-zero
    const struct {
        std::string faces, tail;
        int32_t target;
    } cases[] = {{"", "", 0},
                 {"", "LINE2\n" + L2(1, 0) + "ENDL2\n", 0},
                 {face, "", 1},
                 {face, "LINE2\n" + L2(4, 0) + "ENDL2\n", 1}, // entries, but no line face
                 {face, "LINE2\n" + L2(1, 0) + L2(2, 0) + "ENDL2\n", 1},
                 {face, "LINE2\n" + L2(1, 0) + L2(4, 0) + "ENDL2\n", 2},
                 {face, "LINE2\n" + L2(1, 0) + L2(1, 16) + "ENDL2\n", 2},
                 {"", "VIEW0\n0\n1\nENDV0\n", -1},
                 {"", "VIEW0\n1\n0\nENDV0\n", 0},
                 {face, "VIEW0\n0\n1\nENDV0\n", 1},
                 {face, "VIEW0\n1\n0\nENDV0\n", 0},
                 {face, "VIEW0\n0\n0\nENDV0\n", -1},
                 {face, "VIEW0\n1\n1\nENDV0\nVIEW0\n0\n0\nENDV0\n", -1},
                 {face, "VIEW0\n5\n7\nENDV0\nLINE2\n" + L2(1, 0) + L2(4, 0) + "ENDL2\n", 18}};
    for (const auto& c : cases) {
        LoadedModel m;
        LoadModel(Triangle(c.faces, c.tail, marked), m);
        ASSERT_EQ(m.result, kReadOk);
        EXPECT_EQ(m.loadTarget, c.target) << c.faces << c.tail;
    }
}

TEST(ModelReader, SuggestedDoubleSided) {
    const struct {
        std::string faces, tail;
        int32_t doubleSided;
    } cases[] = {{"", "", 0},
                 {Fc(0, {1, 2, 3}), "", 1},
                 {Fc(0, {1, 2, 3}) + Fc(1, {3, 2, 1}), "", 0},
                 {Fc(0, {1, 2, 3}) + Fc(1, {3, 2, 1}) + Fc(1, {1}), "", 0},
                 {Fc(0, {1, 2, 3}) + Fc(1, {3, 2, 1}), "LINE2\n" + L2(1, 0) + "ENDL2\n", 0},
                 {Fc(0, {1, 1}), "", 0},
                 {"", "LINE2\n" + L2(1, 0) + "ENDL2\n", 0},
                 {Fc(0, {1}), "LINE2\n" + L2(1, 0) + "ENDL2\n", 1}};
    for (const auto& c : cases) {
        LoadedModel m;
        LoadModel(Triangle(c.faces, c.tail), m);
        EXPECT_EQ(m.doubleSided, c.doubleSided) << c.faces << c.tail;
    }
}

// ---------------------------------------------------------------- limits ---

TEST(ModelReader, FacesBreakingALimitAreLeftOut) {
    // Line 4 runs to point 9 of 3 (broken); line 5 is a loop at point 1.
    const std::string extra = Ln(1, 9) + Ln(1, 1);
    const struct {
        std::string face;
        bool kept;
    } cases[] = {{Fc(0, {1, 2, 3}), true},    {Fc(15, {1, 2, 3}), true}, {Fc(16, {1, 2, 3}), false},
                 {Fc(-1, {1, 2, 3}), false},  {Fc(0, {1, 2, 0}), false}, {Fc(0, {1, 2, 6}), false},
                 {Fc(0, {4}), false},         {Fc(0, {1, 2}), false},    {Fc(0, {1, 1}), true},
                 {Fc(0, {1}), true},          {Fc(0, {5}), true},        {Fc(0, {5, 5}), true},
                 {Fc(0, {1, 2, 3, 5}), true}, {"-2\n0\n0\n", false},     {Fc(0, {}), true},
                 {Fc(0, {1, 2, 3, 1}), true}, {Fc(0, {1, 1, 2}), false}};
    for (const auto& c : cases) {
        // The face under test stands between two good ones.
        LoadedModel m;
        LoadModel(Triangle(Fc(1, {1, 2, 3}) + c.face + Fc(2, {3, 2, 1}),
                           "LINE2\n" + L2(1, 3) + "ENDL2\n", extra),
                  m);
        ASSERT_EQ(m.result, kReadOk);
        const ModelTables& t = m.tables;
        const int32_t sectionFaces = c.kept ? 3 : 2;
        ASSERT_EQ(FaceCount(t), sectionFaces + 1) << c.face;
        EXPECT_EQ(t.faces[static_cast<size_t>(sectionFaces - 1)].colourIndex, 2);
        EXPECT_EQ(t.faces[static_cast<size_t>(sectionFaces)].colourIndex, 3); // the line face
        if (!c.kept) {
            EXPECT_EQ(t.lines[0].faceUseCount, 2);
            EXPECT_EQ(t.lines[1].faceUseCount, 2);
            EXPECT_EQ(Refs(t, 0), (std::vector<int32_t>{0, 1, 2}));
        }
        EXPECT_EQ(t.lineFaceCount, 1);
        EXPECT_EQ(m.loadTarget, 1);
    }
}

TEST(ModelReader, LineEntriesBreakingALimitAreOnlyCounted) {
    const std::string tail = "LINE2\n" + L2(0, 1) + L2(7, 1) + L2(4, 1) + L2(5, 1) + L2(1, 16) +
                             L2(1, -1) + L2(2, 15) + "ENDL2\n";
    LoadedModel m;
    LoadModel(Triangle(Fc(0, {1, 2, 3}), tail, Ln(1, 0) + Ln(1, 2, 1)), m);
    ASSERT_EQ(m.result, kReadOk);
    const ModelTables& t = m.tables;
    EXPECT_EQ(t.lineEntryCount, 7);
    EXPECT_EQ(t.lineFaceCount, 1);
    ASSERT_EQ(FaceCount(t), 2);
    EXPECT_EQ(t.faces[1].colourIndex, 15);
    EXPECT_EQ(Refs(t, 1), (std::vector<int32_t>{0, 1}));
    EXPECT_FALSE(HasBothEnds(t.lines[3], PointCount(t)));
    EXPECT_EQ(m.loadTarget, 2);
}

TEST(ModelReader, PaletteLimits) {
    std::string entries;
    for (int i = 0; i < 17; ++i) {
        entries += std::to_string(i) + "\n1\n2\n3\n4\n5\nx\n";
    }
    {
        LoadedModel m;
        LoadModel(
            Triangle(Fc(0, {1, 2, 3}), "PALC0\n17\nx\n" + entries + "ENDP0\nVIEW0\n0\n0\nENDV0\n"),
            m);
        ASSERT_EQ(PaletteCount(m.tables), 16);
        EXPECT_EQ(m.tables.palette[15].brightRed, 15);
        EXPECT_EQ(m.loadTarget, -1); // the section after it is still seen
    }
    {
        // A negative count reads as 0 and replaces an earlier palette.
        LoadedModel m;
        LoadModel(Triangle(Fc(0, {1, 2, 3}), "PALC0\n1\nx\n" + entries.substr(0, 14) +
                                                 "ENDP0\nPALC0\n-5\nx\n1\n2\nENDP0\nVIEW0\n1\n0\n"),
                  m);
        EXPECT_EQ(PaletteCount(m.tables), 0);
        EXPECT_EQ(m.loadTarget, 0);
    }
}

TEST(ModelReader, HugeCountsInATinyFileStayBounded) {
    {
        const std::string text =
            Triangle("").substr(0, Triangle("").size() - 6) + "2000000000\n0\n0\n1";
        LoadedModel m;
        LoadModel(text, m);
        ASSERT_EQ(FaceCount(m.tables), 1);
        EXPECT_EQ(m.tables.faces[0].lineCount, static_cast<int32_t>(text.size()));
        EXPECT_EQ(m.tables.lines[0].faceUseCount, static_cast<int32_t>(text.size()));
    }
    {
        LoadedModel m;
        LoadModel(Triangle(Fc(0, {1, 2, 3}), "PALC0\n2000000000\nx\n7\n"), m);
        ASSERT_EQ(PaletteCount(m.tables), 16);
        EXPECT_EQ(m.tables.palette[15].darkBlue, 7);
    }
}
