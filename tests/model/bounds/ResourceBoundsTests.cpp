// Hostile sizes and counts: each activation must end with the documented
// result, within the heap bound, and in time linear in the input.
#include "BoundsSupport.h"
#include "tests/support/ModelInvariants.h"

#include <cstdio>

namespace {

// The documented heap bound of one activation from memory: peak bytes held
// by the plug-in <= kHeapPerByte * S + kHeapConstant for an input of S bytes
// (a file adds its 1 MiB read block).
constexpr size_t kHeapPerByte = 48;
constexpr size_t kHeapConstant = size_t{2} << 20;

void ExpectWithinBounds(const Measured& m, const char* what) {
    std::printf("[ bounds ] %-28s S=%zu peak=%zu (%.1f x S) %.3f s\n", what, m.bytes, m.peakHeap,
                m.bytes ? static_cast<double>(m.peakHeap) / static_cast<double>(m.bytes) : 0.0,
                m.seconds);
    if (!HeapCountsMalloc()) {
        return; // the tables' realloc is not seen in sanitizer builds
    }
    EXPECT_LE(m.peakHeap, kHeapPerByte * m.bytes + kHeapConstant) << what;
    EXPECT_EQ(m.leaked, 0u) << what;
}

// No more than linear: four times the input may take at most ten times as
// long (with a floor for clock noise on tiny times).
void ExpectLinear(const Measured& small, const Measured& large, const char* what) {
    EXPECT_LE(large.seconds, 10.0 * small.seconds + 0.05)
        << what << ": " << small.seconds << " s, then " << large.seconds << " s";
}

// Activates `small`, then `large` (four times as much) through `host`, and
// checks the large one's heap bound and that it took no more than linear
// time.
void ExpectLinearGrowth(const std::string& small, const std::string& large, CheckedLoad& load,
                        const char* what) {
    CheckedLoad smallLoad;
    smallLoad.keepGeometry = load.keepGeometry;
    const Measured ms = MeasureActivation(smallLoad, small);
    const Measured ml = MeasureActivation(load, large);
    ExpectWithinBounds(ml, what);
    ExpectLinear(ms, ml, what);
    EXPECT_EQ(load.checks.errorCount, 0) << load.checks.firstErrors;
}

// The surfaces' names in the order the host received them.
std::vector<std::string> SurfaceNames(const ReceivedModel& model) {
    std::vector<std::string> names;
    for (const ReceivedSurface& s : model.surfaces)
        names.push_back(s.name);
    return names;
}

// A triangle strip of n faces on three points: face i has lines A(i),
// A(i+1), shared with its neighbours, and its own B(i). One group, walked
// n faces deep.
std::string Strip(int32_t n) {
    std::string s = "ROKU4 strip\nPOINT\n";
    AppendPoint(s, 0, 0, 0);
    AppendPoint(s, 1, 0, 0);
    AppendPoint(s, 0, 1, 0);
    s += "LINE0\n";
    for (int32_t j = 0; j <= n; ++j) { // A(j): line j + 1
        AppendLine(s, j % 3 + 1, (j + 1) % 3 + 1);
    }
    for (int32_t i = 0; i < n; ++i) { // B(i): line n + 2 + i
        AppendLine(s, i % 3 + 1, (i + 2) % 3 + 1);
    }
    s += "FACE0\n";
    for (int32_t i = 0; i < n; ++i) {
        s += "3\n0\n0\n";
        AppendNumber(s, i + 1);
        AppendNumber(s, i + 2);
        AppendNumber(s, int64_t{n} + 2 + i);
    }
    s += "END00\n";
    return s;
}

// One face of `lines` lines that winds twice round a loop of lines / 2 points.
std::string LongLoop(int32_t lines) {
    const int32_t points = lines / 2;
    std::string s = "ROKU4 loop\nPOINT\n";
    for (int32_t i = 0; i < points; ++i) {
        AppendPoint(s, i % 1000, i / 1000, i % 7);
    }
    s += "LINE0\n";
    for (int32_t j = 0; j < lines; ++j) {
        AppendLine(s, j % points + 1, (j + 1) % points + 1);
    }
    s += "FACE0\n";
    AppendNumber(s, lines);
    s += "0\n0\n";
    for (int32_t j = 0; j < lines; ++j) {
        AppendNumber(s, j + 1);
    }
    s += "END00\n";
    return s;
}

// `entries` LINE2 entries all naming line 1.
std::string ManyLineEntries(int32_t entries) {
    std::string s = TriangleHead() + "FACE0\nEND00\nLINE2\n";
    for (int32_t i = 0; i < entries; ++i) {
        s += "1\n0\n2\n0\n";
    }
    s += "ENDL2\n";
    return s;
}

TEST(ResourceBounds, HugeFaceLineCountInATinyFile) {
    // The count promises two billion index lines; the file ends after one.
    const std::string text = TriangleHead() + "FACE0\n2000000000\n0\n0\n1\n";
    ASSERT_LT(text.size(), 140u);
    CheckedLoad host;
    host.keepGeometry = true;
    const Measured m = MeasureActivation(host, text);
    ExpectWithinBounds(m, "face count 2e9");
    EXPECT_EQ(host.checks.errorCount, 0) << host.checks.firstErrors;
    EXPECT_EQ(host.outcome.status, kImportLoaded);
    // The missing index lines repeat line 1, at most one entry per input
    // byte: a closed face running 1-2-1-2...
    ASSERT_EQ(host.outcome.received.polygons.size(), 1u);
    EXPECT_GE(host.outcome.received.polygons[0].cornerCount, 2u);
    EXPECT_LE(host.outcome.received.polygons[0].cornerCount, text.size());
    EXPECT_LT(m.seconds, 1.0);
}

TEST(ResourceBounds, HugePaletteCountInATinyFile) {
    const std::string text = TriangleHead() + "FACE0\n3\n5\n0\n1\n2\n3\nEND00\nPALC0\n2000000000\n";
    ASSERT_LT(text.size(), 160u);
    CheckedLoad host;
    const Measured m = MeasureActivation(host, text);
    ExpectWithinBounds(m, "palette count 2e9");
    EXPECT_EQ(host.checks.errorCount, 0) << host.checks.firstErrors;
    EXPECT_EQ(host.outcome.status, kImportLoaded);
    // At most 16 entries are kept, each read from the repeated last line (0):
    // colour 5 gets its block.
    EXPECT_EQ(host.outcome.received.polygonCount, 1);
    EXPECT_EQ(host.outcome.received.surfaceDataCalls, 1);
    EXPECT_LT(m.seconds, 1.0);
}

TEST(ResourceBounds, MillionFaceStripIsOneGroupInLinearTime) {
    const std::string small = Strip(250000);
    CheckedLoad host;
    ExpectLinearGrowth(small, Strip(1000000), host, "strip of 1e6 faces");
    EXPECT_EQ(host.outcome.status, kImportLoaded);
    EXPECT_EQ(host.outcome.received.polygonCount, 1000000);
    EXPECT_EQ(host.outcome.received.declaredPointCount, 3);

    ByteSource source;
    InitMemorySource(source, small.data(), small.size());
    ModelTables tables;
    ASSERT_EQ(ReadModelFile(source, tables, nullptr, nullptr), kReadOk);
    EXPECT_EQ(GroupCount(tables), 1);
    EXPECT_EQ(CheckTables(tables), "");
    ReleaseModel(tables);
}

TEST(ResourceBounds, TenMegabyteLineWithoutLineEnd) {
    constexpr size_t kSize = 10'000'000;
    // In the point section: cut into 79-byte lines, eight to a point record,
    // the last record completed from its last line.
    std::string inPoints = "ROKU4\nPOINT\n";
    inPoints.append(kSize, '7');
    CheckedLoad host;
    const Measured m = MeasureActivation(host, inPoints);
    ExpectWithinBounds(m, "10 MB line in POINT");
    EXPECT_EQ(host.checks.errorCount, 0) << host.checks.firstErrors;
    EXPECT_EQ(host.outcome.status, kImportLoaded);
    const int64_t lines = (kSize + 78) / 79;
    EXPECT_EQ(host.outcome.received.declaredPointCount, (lines + 7) / 8);
    EXPECT_EQ(host.outcome.received.pointCount, host.outcome.received.declaredPointCount);
    EXPECT_LT(m.seconds, 5.0);

    // On the magic's line: all of it is skipped looking for POINT.
    std::string onMagic = "ROKU4";
    onMagic.append(kSize, 'x');
    CheckedLoad magicHost;
    const Measured mm = MeasureActivation(magicHost, onMagic);
    ExpectWithinBounds(mm, "10 MB first line");
    EXPECT_EQ(magicHost.checks.errorCount, 0) << magicHost.checks.firstErrors;
    EXPECT_EQ(magicHost.outcome.status, kImportLoaded);
    EXPECT_EQ(magicHost.outcome.received.declaredPointCount, 0);
}

TEST(ResourceBounds, FaceOfHundredThousandLinesChainsInLinearTime) {
    CheckedLoad host;
    host.keepGeometry = true;
    ExpectLinearGrowth(LongLoop(25000), LongLoop(100000), host, "face of 1e5 lines");
    ASSERT_EQ(host.outcome.received.polygons.size(), 1u);
    const std::span<const uint32_t> loop =
        PointsOf(host.outcome.received, host.outcome.received.polygons[0]);
    ASSERT_EQ(loop.size(), 100000u);
    // Consecutive vertices are neighbours on the loop (either way round).
    for (size_t k = 0; k < loop.size(); ++k) {
        const int64_t a = loop[k], b = loop[(k + 1) % loop.size()];
        const int64_t step = (b - a + 50000) % 50000;
        ASSERT_TRUE(step == 1 || step == 49999) << "at " << k;
    }
}

TEST(ResourceBounds, ManyLineEntriesNamingOneLine) {
    CheckedLoad host;
    ExpectLinearGrowth(ManyLineEntries(50000), ManyLineEntries(200000), host, "2e5 LINE2 entries");
    EXPECT_EQ(host.outcome.status, kImportLoaded);
    // Every entry makes a line face of line 1: one two-point polygon each.
    EXPECT_EQ(host.outcome.received.polygonCount, 200000);
    EXPECT_EQ(host.outcome.received.surfaces.size(), 1u);
}

TEST(ResourceBounds, PointsBeyondTheSixteenBitRange) {
    constexpr int32_t kPoints = 70000;
    std::string s = "ROKU4 wide\nPOINT\n";
    for (int32_t i = 1; i <= kPoints; ++i) {
        AppendPoint(s, i % 100, (i / 100) % 100, i % 3);
    }
    s += "LINE0\n";
    const int32_t triangles[][3] = {
        {1, 2, 3}, {65534, 65535, 65536}, {65535, 65536, 65537}, {69998, 69999, 70000}};
    for (const auto& t : triangles) {
        AppendLine(s, t[0], t[1]);
        AppendLine(s, t[1], t[2]);
        AppendLine(s, t[2], t[0]);
    }
    AppendLine(s, 1, 70000); // line 13, for a line face
    s += "FACE0\n";
    const int32_t colours[] = {1, 2, 7, 7};
    for (int32_t f = 0; f < 4; ++f) {
        s += "3\n";
        AppendNumber(s, colours[f]);
        s += "0\n";
        for (int32_t k = 1; k <= 3; ++k) {
            AppendNumber(s, 3 * f + k);
        }
    }
    s += "END00\nLINE2\n13\n0\n9\n0\nENDL2\n";
    CheckedLoad host;
    host.keepGeometry = true;
    const Measured m = MeasureActivation(host, s);
    ExpectWithinBounds(m, "70000 points");
    EXPECT_EQ(host.checks.errorCount, 0) << host.checks.firstErrors;
    EXPECT_EQ(host.outcome.status, kImportLoaded);
    // Every point goes to the host; faces reaching past point 65,536 do not,
    // nor do the colours only they carry.
    EXPECT_EQ(host.outcome.received.pointCount, kPoints);
    ASSERT_EQ(host.outcome.received.polygons.size(), 2u);
    const std::span<const uint32_t> last =
        PointsOf(host.outcome.received, host.outcome.received.polygons[1]);
    EXPECT_EQ(std::vector<uint32_t>(last.begin(), last.end()),
              (std::vector<uint32_t>{65533, 65534, 65535}));
    EXPECT_EQ(SurfaceNames(host.outcome.received),
              (std::vector<std::string>{"fuzzmodel1", "fuzzmodel2"}));
}

TEST(ResourceBounds, NulAndFfBytesEverywhere) {
    for (const char* name : kExamples) {
        const std::string example = ReadExample(name);
        for (const char filler : {'\0', '\xFF'}) {
            std::string interleaved;
            std::string replacedEnds = example;
            for (char c : example) {
                interleaved += c;
                interleaved += filler;
            }
            for (char& c : replacedEnds) {
                if (c == '\n' && filler == '\0') {
                    c = filler; // lines that never end
                }
            }
            for (const std::string& text : {interleaved, replacedEnds}) {
                CheckedLoad host;
                const Measured m = MeasureActivation(host, text);
                EXPECT_EQ(host.checks.errorCount, 0) << name << ": " << host.checks.firstErrors;
                EXPECT_EQ(m.leaked, 0u);
            }
        }
    }
    for (const char filler : {'\0', '\xFF'}) {
        std::string text = "ROKU4\nPOINT\n";
        text.append(size_t{1} << 20, filler);
        CheckedLoad host;
        const Measured m = MeasureActivation(host, text);
        ExpectWithinBounds(m, filler == '\0' ? "1 MiB of NUL" : "1 MiB of 0xFF");
        EXPECT_EQ(host.checks.errorCount, 0) << host.checks.firstErrors;
        EXPECT_EQ(host.outcome.status, kImportLoaded);
        // A NUL ends a line's text: NUL bytes make empty point records.
        EXPECT_GT(host.outcome.received.declaredPointCount, 0);
    }
}

// The densest records: the most table bytes per input byte the format
// allows. These set the documented heap constant.
TEST(ResourceBounds, DensestRecordsStayWithinTheHeapBound) {
    std::string points = "ROKU4\nPOINT\n";
    for (int32_t i = 0; i < 250000; ++i) {
        points += "\n\n\n\n\n\n\n\n";
    }
    std::string lines = "ROKU4\nPOINT\nLINE0\n";
    for (int32_t i = 0; i < 500000; ++i) {
        lines += "\n\n\n\n";
    }
    // Just past a power of two, where every growing table has just doubled.
    std::string faces = "ROKU4\nPOINT\nLINE0\nFACE0\n";
    for (int32_t i = 0; i < (1 << 19) + 1; ++i) {
        faces += "0\n\n\n";
    }
    std::string entries = TriangleHead() + "FACE0\nEND00\nLINE2\n";
    for (int32_t i = 0; i < 500000; ++i) {
        entries += "1\n\n\n\n";
    }
    const std::pair<const char*, const std::string*> cases[] = {
        {"empty point records", &points},
        {"empty line records", &lines},
        {"faces of no lines", &faces},
        {"minimal LINE2 entries", &entries},
    };
    for (const auto& [what, text] : cases) {
        CheckedLoad host;
        const Measured m = MeasureActivation(host, *text);
        ExpectWithinBounds(m, what);
        EXPECT_EQ(host.checks.errorCount, 0) << what << ": " << host.checks.firstErrors;
        EXPECT_EQ(host.outcome.status, kImportLoaded) << what;
    }
}

} // namespace
