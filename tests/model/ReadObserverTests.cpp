// The reader's observer only listens: a model read with one gives the very
// tables, proposals and result of a model read without, whatever the file;
// and a read that only checks hears what the full read hears.
#include "TestModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Heard {
    std::vector<ReadNotice> kinds;
    std::vector<std::pair<uint64_t, int32_t>> where; // at and value of each
};

void Listen(void* context, ReadNotice kind, uint64_t at, int32_t value) {
    static_cast<Heard*>(context)->kinds.push_back(kind);
    static_cast<Heard*>(context)->where.emplace_back(at, value);
}

template <typename T> bool SameTable(const Table<T>& a, const Table<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Reads `bytes` without and with an observer; returns what it heard.
Heard ReadBothWays(const std::string& bytes) {
    LoadedModel plain;
    LoadModel(bytes, plain);
    LoadedModel observed;
    Heard heard;
    const ReadObserver observer{&Listen, &heard};
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

    ModelTables checked;
    Heard checkHeard;
    const ReadObserver checker{&Listen, &checkHeard};
    InitMemorySource(source, bytes.data(), bytes.size());
    EXPECT_EQ(CheckModelFile(source, checked, checker), observed.result);
    EXPECT_EQ(checkHeard.kinds, heard.kinds);
    EXPECT_EQ(checkHeard.where, heard.where);
    ReleaseModel(checked);
    return heard;
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
            heard += ReadBothWays(std::string(std::istreambuf_iterator<char>(in), {})).kinds.size();
            ++files;
        }
    }
    EXPECT_GT(files, 20u);
    EXPECT_GT(heard, 0u); // the regressions are broken files
}

// A face cut off by the end of the file, a count of two billion, a line
// split at 79 bytes: told of, never read differently.
TEST(ReadObserver, HostileCounts) {
    const std::string head = "ROKU4\nPOINT\n0\n0\n0\n0\n0\n0\n0\n0\nLINE0\n1\n1\n0\n0\nFACE0\n";
    EXPECT_EQ(ReadBothWays(head + "2000000000\n0\n0\n1\n").kinds,
              std::vector<ReadNotice>{ReadNotice::EndInsideSection});
    EXPECT_EQ(ReadBothWays(head + "END00\nPALC0\n2000000000\n").kinds,
              std::vector<ReadNotice>{ReadNotice::EndInsideSection});
    EXPECT_EQ(ReadBothWays(head + "END00\n" + std::string(200, 'x') + "\n").kinds,
              std::vector<ReadNotice>(3, ReadNotice::UnknownLine));
}
