#include "cli/OutputPlan.h"
#include "cli/Paths.h"
#include "cli/StatusLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The system's separator joins --out-dir and the name (it shows in messages).
#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

HostOptions OutDir(const char* dir, ExportFormat format) {
    HostOptions o;
    o.outDir = dir;
    o.format = format;
    return o;
}

} // namespace

TEST(OutputPlan, NamesAfterTheModelFile) {
    EXPECT_EQ(PlanOutput(OutDir("out", ExportFormat::Glb), "models/cube.rk4").path,
              "out" + kSep + "cube.glb");
    EXPECT_EQ(PlanOutput(OutDir("out/", ExportFormat::Lwob), "a.b.rk4").path, "out/a.b.lwo");
    EXPECT_EQ(PlanOutput(OutDir("/", ExportFormat::Lwob), "v1.0/cube").path, "/cube.lwo");
    EXPECT_EQ(PlanOutput(OutDir("o", ExportFormat::Lwob), ".rk4").path, "o" + kSep + ".rk4.lwo");
    EXPECT_EQ(PlanOutput(HostOptions{}, "cube.rk4").path, "");
    EXPECT_EQ(ExtensionOf("dir.v2/name"), "");
    EXPECT_EQ(ExtensionOf("x/.profile"), "");
    EXPECT_EQ(ExtensionOf("c.tar.GLB"), "GLB");
}

TEST(OutputPlan, MaterialLibraryNameEveryReaderFinds) {
    const OutputPlan plain = PlanOutput(OutDir("out", ExportFormat::Obj), "cube.rk4");
    EXPECT_EQ(plain.mtlPath, "out" + kSep + "cube.mtl");
    EXPECT_FALSE(plain.mtlRenamed);
    // Only the name changes; the folder is where the OBJ is.
    const OutputPlan spaced = PlanOutput(OutDir("my models", ExportFormat::Obj), "a b\tc.rk4");
    EXPECT_EQ(spaced.path, "my models" + kSep + "a b\tc.obj");
    EXPECT_EQ(spaced.mtlPath, "my models" + kSep + "a_b_c.mtl");
    EXPECT_TRUE(spaced.mtlRenamed);
    EXPECT_EQ(PlanOutput(OutDir("o", ExportFormat::Glb), "a b.rk4").mtlPath, "");
}

TEST(StatusLine, CountsReadAsEnglish) {
    EXPECT_EQ(CountsText({1, 1, 0, 1}), "1 point, 1 polygon, 1 surface");
    EXPECT_EQ(CountsText({0, 2, 1, 0}),
              "0 points, 2 polygons, 1 without vertices dropped, 0 surfaces");
    OutputPlan plan;
    plan.path = "c.lwo";
    EXPECT_EQ(ConvertedLine("c.rk4", plan, {8, 6, 0, 3}),
              "c.rk4 -> c.lwo: 8 points, 6 polygons, 3 surfaces");
    plan.path = "-";
    EXPECT_EQ(ConvertedLine("c.rk4", plan, {8, 0, 0, 0}),
              "c.rk4 -> standard output: 8 points, 0 polygons, 0 surfaces; no polygon to show: "
              "the output holds points only");
    EXPECT_EQ(ConvertedLine("e.rk4", plan, {0, 0, 0, 0}),
              "e.rk4 -> standard output: 0 points, 0 polygons, 0 surfaces; no polygon to show: "
              "the output is empty");
}

// Every line counts alike: polygons with vertices, then those without,
// which no format keeps.
TEST(StatusLine, CheckAndReceivedLinesCountAlike) {
    ImportOutcome outcome;
    outcome.counts = {5, 4, 1, 5};
    outcome.statistics = "5 pts / 2/3 lines / 3 faces";
    EXPECT_EQ(CheckLine("m.rk4", outcome),
              "m.rk4: statistics \"5 pts / 2/3 lines / 3 faces\"; 5 points, 4 polygons, 1 "
              "without vertices dropped, 5 surfaces received; ok");
    EXPECT_EQ(ReceivedLine("m.rk4", outcome.counts),
              "m.rk4: 5 points, 4 polygons, 1 without vertices dropped, 5 surfaces received");
    outcome.result = ImportResult::NotModelFile;
    outcome.reason = "not a model file";
    outcome.statistics.clear();
    outcome.counts = {};
    EXPECT_EQ(CheckLine("n.txt", outcome),
              "n.txt: statistics (none); 0 points, 0 polygons, 0 surfaces received; not a model "
              "file");
}
