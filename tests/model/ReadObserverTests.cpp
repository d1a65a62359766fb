// The reader's observer only listens: a model read with one gives the very
// tables, proposals and result of a model read without, whatever the file;
// a read that only checks hears what the full read hears; and each notice
// says where it stands (the line as the reader counts it, its text as the
// reader holds it) and what was read there.
#include "TestModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

template <typename T> bool SameTable(const Table<T>& a, const Table<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Reads `bytes` without and with an observer; returns what it heard.
HeardNotices ReadBothWays(const std::string& bytes) {
    LoadedModel plain;
    LoadModel(bytes, plain);
    LoadedModel observed;
    HeardNotices heard;
    const ReadObserver observer{&HearNotice, &heard};
    ByteSource source;
    InitMemorySource(source, bytes.data(), bytes.size());
    observed.result = ReadModelFile(source, observed.tables, &observed.loadTarget,
                                    &observed.doubleSided, &observer);
    EXPECT_EQ(observed.result, plain.result);
    EXPECT_EQ(observed.loadTarget, plain.loadTarget);
    EXPECT_EQ(observed.doubleSided, plain.doubleSided);
    const ModelTables& a = plain.tables;
    const ModelTables& b = observed.tables;
    // Points have padding: compared field by field.
    EXPECT_EQ(a.points.size(), b.points.size());
    for (size_t i = 0; i < a.points.size() && i < b.points.size(); ++i) {
        const PointRecord& p = a.points[i];
        const PointRecord& q = b.points[i];
        EXPECT_TRUE(p.value1 == q.value1 && p.value2 == q.value2 && p.value3 == q.value3 &&
                    p.value5 == q.value5 && std::memcmp(&p.x, &q.x, 3 * sizeof(double)) == 0)
            << i;
    }
    EXPECT_TRUE(SameTable(a.lines, b.lines));
    EXPECT_TRUE(SameTable(a.faces, b.faces));
    EXPECT_TRUE(SameTable(a.faceLineRefs, b.faceLineRefs));
    EXPECT_TRUE(SameTable(a.faceRefs, b.faceRefs));
    EXPECT_TRUE(SameTable(a.faceOrder, b.faceOrder));
    EXPECT_EQ(a.lineFaceCount, b.lineFaceCount);
    EXPECT_EQ(a.lineEntryCount, b.lineEntryCount);
    EXPECT_EQ(a.palette.size(), b.palette.size());
    EXPECT_EQ(CheckChecking(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
              "");
    return heard;
}

// The notices of what was left out or read as something else: every kind
// but the sections' ends.
std::vector<ReadNoticeKind> Kinds(const HeardNotices& heard) {
    std::vector<ReadNoticeKind> kinds;
    for (const HeardNotice& n : heard) {
        if (n.notice.kind != ReadNoticeKind::SectionRead)
            kinds.push_back(n.notice.kind);
    }
    return kinds;
}

// One notice as a test states it: kind, line, value, count, number, text.
struct Told {
    ReadNoticeKind kind;
    int64_t line;
    int32_t value;
    int32_t count;
    double number;
    std::string text;
    bool operator==(const Told&) const = default;
};
std::vector<Told> Heard(const HeardNotices& heard, bool sections = false) {
    std::vector<Told> out;
    for (const HeardNotice& n : heard) {
        if (sections || n.notice.kind != ReadNoticeKind::SectionRead)
            out.push_back({n.notice.kind, n.notice.line, n.notice.value, n.notice.count,
                           n.notice.number, n.text});
    }
    return out;
}

// A point record's eight fields, the sixth to eighth its x, y and z.
std::string Point(const std::string& x = "0") {
    return "0\n0\n0\n0\n0\n" + x + "\n0\n0\n";
}

} // namespace

TEST(ReadObserver, ChangesNothingThatIsRead) {
    const std::filesystem::path root = std::filesystem::path(OSTREL_EXAMPLES_DIR).parent_path();
    size_t files = 0;
    size_t heard = 0;
    for (const char* dir : {"examples", "tests/data", "fuzz/corpus", "fuzz/regressions"}) {
        for (const auto& entry : std::filesystem::directory_iterator(root / dir)) {
            if (!entry.is_regular_file())
                continue; // examples/format: the README's examples, read by their own tests
            SCOPED_TRACE(entry.path().string());
            std::ifstream in(entry.path(), std::ios::binary);
            heard += ReadBothWays(std::string(std::istreambuf_iterator<char>(in), {})).size();
            ++files;
        }
    }
    EXPECT_GT(files, 20u);
    EXPECT_GT(heard, 0u); // the regressions are broken files
}

// A face cut off by the end of the file, a count of two billion, a line
// split at 79 bytes (told of once its line end is read): told of, never
// read differently.
TEST(ReadObserver, HostileCounts) {
    const std::string head = "ROKU4\nPOINT\n0\n0\n0\n0\n0\n0\n0\n0\nLINE0\n1\n1\n0\n0\nFACE0\n";
    EXPECT_EQ(Kinds(ReadBothWays(head + "2000000000\n0\n0\n1\n")),
              std::vector<ReadNoticeKind>{ReadNoticeKind::EndInsideSection});
    EXPECT_EQ(Kinds(ReadBothWays(head + "END00\nPALC0\n2000000000\n")),
              std::vector<ReadNoticeKind>{ReadNoticeKind::EndInsideSection});
    EXPECT_EQ(Kinds(ReadBothWays(head + "END00\n" + std::string(200, 'x') + "\n")),
              (std::vector<ReadNoticeKind>{ReadNoticeKind::UnknownLine, ReadNoticeKind::UnknownLine,
                                           ReadNoticeKind::LongLine, ReadNoticeKind::UnknownLine}));
}

// Lines are counted where the reader ends them (CR, LF, CR LF, LF CR), from
// the magic's line on; a field's notice holds its text and what it was read
// as; a record's notice stands at its first line, with what its value was
// measured against.
TEST(ReadObserver, NoticesSayWhereAndWhatWasRead) {
    using K = ReadNoticeKind;
    // Lines 1-2 end in CR LF and LF CR, 3-10 the point in CR, then LF.
    const std::string model = "ROKU4\r\nPOINT\n\r0\r0\r0\r0\r7x\r1.5 2\r\0x\r0\rLINE0\n"s +
                              "1\n3\n0\n0\nFACE0\n1\n0\n0\n4\nEND00\nend00\n";
    EXPECT_EQ(Heard(ReadBothWays(model)),
              (std::vector<Told>{{K::MoreThanNumber, 7, 0, 0, 7, "7x"},
                                 {K::MoreThanNumber, 8, 1, 0, 1.5, "1.5 2"},
                                 {K::NoNumber, 9, 1, 0, 0, "\0x"s},
                                 {K::LineEndOutOfRange, 12, 3, 1, 0, ""},
                                 {K::FaceLineOutOfRange, 20, 4, 1, 0, ""},
                                 {K::UnknownLine, 22, 0, 0, 0, "end00"}}));
    // What the conversions read whole is no notice: white space around,
    // signs, "d" exponents; an exponent marker without digits is text after
    // the number.
    for (const char* whole : {" 7\t", "+1", "-.5", "1.", "2.5d-1", "1E+2 ", "00012", "1e"}) {
        SCOPED_TRACE(whole);
        const std::vector<Told> told = Heard(ReadBothWays("ROKU4\nPOINT\n" + Point(whole)));
        EXPECT_EQ(told.size(), whole == "1e"s ? 2u : 1u); // and the cut point section
        if (whole == "1e"s) {
            EXPECT_EQ(told.at(0), (Told{K::MoreThanNumber, 8, 1, 0, 1, "1e"}));
        }
    }
    // The empty line a CR LF file ends with makes a last record, which
    // stands on the file's last line.
    EXPECT_EQ(Heard(ReadBothWays("ROKU4\r\nPOINT\r\n" + Point() + "LINE0\r\n")),
              (std::vector<Told>{{K::LineEndOutOfRange, 11, 0, 1, 0, ""},
                                 {K::EndInsideSection, 11, kSectionLines, 0, 0, ""}}));
}

// Each section is told when it is over, closed or not, with the records and
// the number fields read in it. A keyword spelt with blanks or in small
// letters is told where lines are skipped to a keyword too, and the exact
// keyword is not.
TEST(ReadObserver, SectionsAndMisspeltKeywordsAreTold) {
    using K = ReadNoticeKind;
    const std::string points = Point() + Point("2x");
    const HeardNotices heard = ReadBothWays("ROKU4\nPOINT\n" + points + "LINE0\nFACE0\nEND00\n");
    EXPECT_EQ(Heard(heard, true),
              (std::vector<Told>{{K::SectionRead, 2, kSectionHeader, 0, 0, ""},
                                 {K::MoreThanNumber, 16, 1, 0, 2, "2x"},
                                 {K::SectionRead, 19, kSectionPoints, 2, 6, ""},
                                 {K::SectionRead, 20, kSectionLines, 0, 0, ""},
                                 {K::SectionRead, 21, kSectionFaces, 0, 0, ""}}));
    EXPECT_EQ(heard.at(2).notice.integers, 8); // four a point, and a point's value4 skipped
    EXPECT_EQ(Heard(ReadBothWays("ROKU4\n point\t\nPOINT\n" + Point() + "LINE0\n")),
              (std::vector<Told>{{K::MisspeltKeyword, 2, 0, 0, 0, " point\t"},
                                 {K::EndInsideSection, 12, kSectionLines, 0, 0, ""}}));
    EXPECT_STREQ(KeywordButForSpelling(" point\t", 7), "POINT");
    EXPECT_STREQ(KeywordButForSpelling("Endp0", 5), "ENDP0");
    EXPECT_EQ(KeywordButForSpelling("END00", 5), nullptr);
    EXPECT_EQ(KeywordButForSpelling("END 00", 6), nullptr);
}

// Zero bytes that pad a file to its end are no line of the file.
TEST(ReadObserver, ZeroPaddingAtTheEndIsNoLongLine) {
    const std::string model = "ROKU4\nPOINT\n" + Point() + "LINE0\nFACE0\nEND00\n";
    EXPECT_EQ(Kinds(ReadBothWays(model + std::string(200, '\0'))), std::vector<ReadNoticeKind>{});
    EXPECT_EQ(Kinds(ReadBothWays(model + std::string(100, '\0') + "x")),
              std::vector<ReadNoticeKind>{ReadNoticeKind::LongLine});
}

// A line of more than 79 characters is told once, with its length and the
// 79 the reader keeps, where its rest is read as a line (a point field
// here); one of exactly 79 is followed by an empty line, unless the file
// ends there; lines skipped unread up to a keyword are not told.
TEST(ReadObserver, LongLinesAreToldWithTheirLength) {
    using K = ReadNoticeKind;
    const std::string x79(79, '1');
    const std::string head =
        "ROKU4 " + std::string(100, 'h') + "\n" + std::string(90, 'h') + "\nPOINT\n";
    // Line 4 is the point's value1: its rest of 13 digits is its value2.
    const std::vector<Told> long92 = Heard(ReadBothWays(head + x79 + "2345678901234\n0\n"));
    ASSERT_FALSE(long92.empty());
    EXPECT_EQ(long92[0], (Told{K::LongLine, 4, 92, 0, 0, x79}));
    const std::vector<Told> exactly79 = Heard(ReadBothWays(head + Point(x79) + "LINE0\n"));
    ASSERT_FALSE(exactly79.empty());
    EXPECT_EQ(exactly79[0], (Told{K::LongLine, 9, 79, 0, 0, x79}));
    EXPECT_EQ(Heard(ReadBothWays(head + "0\n0\n0\n0\n0\n0\n0\n" + x79)),
              (std::vector<Told>{{K::EndInsideSection, 11, kSectionPoints, 0, 0, ""}}));
}

// A file is read in blocks of a megabyte: a line end split between two
// blocks, and a long line whose end lies in the next block or past it, are
// counted and told as in memory.
TEST(ReadObserver, FileBlocksChangeNoNotice) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("ostrel-notices-" + std::to_string(std::random_device()()) + ".rk4"))
                                 .string();
    std::string head = "ROKU4\r\nPOINT\r\n";
    while (head.size() < kSourceBlockSize - 200)
        head += Point("0.5");
    for (const std::string& end : {"\r\n"s, "\n\r"s}) {
        // The small lines end before the boundary, across it, or with their
        // line end split by it (pad 187).
        for (size_t pad : {0u, 100u, 185u, 186u, 187u, 188u, 190u}) {
            SCOPED_TRACE("pad " + std::to_string(pad));
            const std::string model = head + std::string(pad, '7') + end + "1" + end + "2 3" + end +
                                      std::string(kSourceBlockSize, '4') + end + "x" + end;
            const HeardNotices inMemory = ReadBothWays(model);
            std::ofstream(path, std::ios::binary) << model;
            std::FILE* file = std::fopen(path.c_str(), "rb");
            ASSERT_NE(file, nullptr);
            HeardNotices fromFile;
            const ReadObserver observer{&HearNotice, &fromFile};
            ModelTables tables;
            ByteSource source;
            InitFileSource(source, file);
            EXPECT_EQ(CheckModelFile(source, tables, observer), kReadOk);
            ReleaseModel(tables);
            std::fclose(file);
            EXPECT_EQ(fromFile, inMemory);
            const std::vector<Told> told = Heard(fromFile);
            const auto lines = static_cast<int64_t>(std::count(head.begin(), head.end(), '\n'));
            const auto longLine = std::find_if(told.begin(), told.end(), [](const Told& t) {
                return t.kind == ReadNoticeKind::LongLine &&
                       t.value == static_cast<int32_t>(kSourceBlockSize);
            });
            ASSERT_NE(longLine, told.end());
            EXPECT_EQ(longLine->line, lines + 4);
        }
    }
    std::filesystem::remove(path);
}
