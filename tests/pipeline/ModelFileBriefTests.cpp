// What the README's "model file in brief" tells a newcomer, checked against
// the plug-in itself on the brief's own example, examples/format/triangle.rk4,
// and the cube: which lines are sent as lines, the statistics line, what
// VIEW0 proposes (the README's table read back row by row), surface names.
#include "LinkedModule.h"
#include "pipeline/Pipeline.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kExamples = OSTREL_EXAMPLES_DIR;

// The README's section on the model file, up to the next section.
std::string Brief() {
    const std::string readme = ReadWhole(kExamples + "/../README.md");
    const size_t start = readme.find("## The model file in brief");
    if (start == std::string::npos)
        return "";
    return readme.substr(start, readme.find("\n## ", start + 1) - start);
}

// The trace lines starting with `prefix`.
Lines Starting(const std::string& trace, const std::string& prefix) {
    Lines found;
    for (size_t at = 0; at < trace.size();) {
        const size_t end = trace.find('\n', at);
        const std::string line = trace.substr(at, end - at);
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
        at = end == std::string::npos ? trace.size() : end + 1;
    }
    return found;
}

struct Proposal {
    int loadTarget = -1;
    int colourSet = -1;
};

class ModelFileBrief : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(linked_.started) << linked_.error; }

    // The trace of `bytes` imported as the file `name`.
    std::string Trace(const std::string& name, const std::string& bytes,
                      const PanelEdits& edits = {}) {
        ImportRequest request;
        request.module = &linked_.module;
        request.modelName = name;
        request.modelBytes = bytes;
        request.panel.edits = edits;
        request.traceText = true;
        const ImportOutcome outcome = RunImport(request);
        EXPECT_EQ(outcome.result, ImportResult::Loaded) << outcome.reason;
        return outcome.trace;
    }

    // What the panel proposes for `bytes`: the values set into the load
    // and colour choices before it opens.
    Proposal Proposed(const std::string& bytes) {
        const std::string trace = Trace("m.rk4", bytes);
        Proposal p;
        for (const std::string& line : Starting(trace, "setControlAttribute #2 4 "))
            p.loadTarget = std::stoi(line.substr(25));
        for (const std::string& line : Starting(trace, "setControlAttribute #3 4 "))
            p.colourSet = std::stoi(line.substr(25));
        return p;
    }

    LinkedModule linked_;
};

const std::string kTriangle = ReadWhole(kExamples + "/format/triangle.rk4");
const std::string kCube = ReadWhole(kExamples + "/cube.rk4");

std::string WithView(const std::string& model, int lines, int faces) {
    return model + "VIEW0\n" + std::to_string(lines) + "\n" + std::to_string(faces) + "\nENDV0\n";
}

// `model` with `from` replaced by `to` (once, and it must be there).
std::string Edited(std::string model, const std::string& from, const std::string& to) {
    const size_t at = model.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? model : model.replace(at, from.size(), to);
}

int LoadTargetOf(const std::string& word) {
    return word == "lines" ? 0 : word == "faces" ? 1 : word == "both" ? 2 : -1;
}

} // namespace

// Of the three lines only line 1 is sent on its own: line 2 is listed in
// LINE0 alone, line 3's LINE2 entry is counted but its value4 is 1.
TEST_F(ModelFileBrief, OnlyLine2EntriesOfValue4ZeroAreSentAsLines) {
    ASSERT_FALSE(kTriangle.empty());
    const std::string both = Trace("triangle.rk4", kTriangle);
    EXPECT_EQ(Starting(both, "lookupSurface"),
              (Lines{"lookupSurface \"triangle1\" -> 1", "lookupSurface \"triangle2\" -> 2"}));
    EXPECT_EQ(Starting(both, "addPolygon"), (Lines{"addPolygon 3 1 0 1 2", "addPolygon 2 2 0 1"}));
    PanelEdits lines;
    lines.loadTarget = 0;
    // Lines only: colour 2 is the one surface, the host's first.
    EXPECT_EQ(Starting(Trace("triangle.rk4", kTriangle, lines), "addPolygon"),
              Lines{"addPolygon 2 1 0 1"});
    // A face of the face section with one line is sent as a line too: here
    // line 2 as a face of its own, colour 3.
    const std::string oneLineFace = Edited(kTriangle, "END00\n", "1\n3\n0\n2\nEND00\n");
    EXPECT_EQ(Starting(Trace("triangle.rk4", oneLineFace, lines), "addPolygon"),
              (Lines{"addPolygon 2 2 1 2", "addPolygon 2 1 0 1"}));

    const std::string brief = Brief();
    EXPECT_NE(
        brief.find("| 1 | 1, 2 | 0 | yes | in the triangle, and as a line polygon of colour 2 |"),
        std::string::npos);
    EXPECT_NE(brief.find("| 2 | 2, 3 | 0 | no | in the triangle only |"), std::string::npos);
    EXPECT_NE(brief.find("| 3 | 3, 1 | 1 | yes | in the triangle only: the entry is counted"),
              std::string::npos);
}

TEST_F(ModelFileBrief, StatisticsCountPointsLinePolygonsEntriesAndFaces) {
    // The panel's first control, a text of one line.
    const auto statistics = [this](const std::string& bytes) {
        return Starting(Trace("m.rk4", bytes), "createControl TextControl \"\" \"").at(0);
    };
    EXPECT_EQ(statistics(kTriangle),
              "createControl TextControl \"\" \"3 pts / 1/2 lines / 1 faces\" -> #1");
    EXPECT_EQ(statistics(kCube),
              "createControl TextControl \"\" \"8 pts / 0/0 lines / 6 faces\" -> #1");
    const std::string brief = Brief();
    EXPECT_NE(brief.find("`triangle.rk4` shows\n`3 pts / 1/2 lines / 1 faces`"), std::string::npos);
    EXPECT_NE(brief.find("section, `8 pts / 0/0 lines / 6 faces`"), std::string::npos);
}

// The README's table, row by row, against what the plug-in proposes.
TEST_F(ModelFileBrief, View0TableIsWhatThePanelProposes) {
    const std::string brief = Brief();
    const std::regex row(R"(\n\| (none, or )?`(-?\d+) (-?\d+)` \| (\w+) \| (\w+) \|)");
    size_t rows = 0;
    bool withoutView = false;
    for (std::sregex_iterator it(brief.begin(), brief.end(), row), end; it != end; ++it) {
        const std::smatch& m = *it;
        const int l = std::stoi(m[2]), f = std::stoi(m[3]);
        SCOPED_TRACE(m.str());
        const int triangle = LoadTargetOf(m[4]), cube = LoadTargetOf(m[5]);
        EXPECT_EQ(Proposed(WithView(kTriangle, l, f)).loadTarget, triangle);
        EXPECT_EQ(Proposed(WithView(kCube, l, f)).loadTarget, cube);
        if (m[1].matched) {
            withoutView = true;
            EXPECT_EQ(Proposed(kTriangle).loadTarget, triangle);
            EXPECT_EQ(Proposed(kCube).loadTarget, cube);
        }
        ++rows;
    }
    EXPECT_EQ(rows, 7u);
    EXPECT_TRUE(withoutView);
}

// The rule in the README's words, on models that take each of its turns:
// l + 2f - 1, f cleared without faces, l cleared when the entries made no
// line polygon or one each; anything outside 0..2 is both; bright colours
// with lines only.
TEST_F(ModelFileBrief, View0RuleHoldsForEveryTurn) {
    const struct {
        const char* what;
        std::string model;
        bool faces;
        bool entriesMadeNoneOrOneEach;
    } models[] = {
        {"triangle", kTriangle, true, false},
        {"cube", kCube, true, true},
        {"triangle, both entries make lines", Edited(kTriangle, "3\n1\n0\n1\n", "3\n1\n0\n0\n"),
         true, true},
        {"triangle without its face", Edited(kTriangle, "FACE0\n3\n1\n0\n1\n2\n3\n", "FACE0\n"),
         false, false},
    };
    for (const auto& model : models) {
        for (int l = -1; l <= 3; ++l) {
            for (int f = -1; f <= 3; ++f) {
                SCOPED_TRACE(std::string(model.what) + " " + std::to_string(l) + " " +
                             std::to_string(f));
                const int fUsed = model.faces ? f : 0;
                const int lUsed = fUsed != 0 && model.entriesMadeNoneOrOneEach ? 0 : l;
                const int sum = lUsed + 2 * fUsed - 1;
                const int target = sum >= 0 && sum <= 2 ? sum : 2;
                const Proposal p = Proposed(WithView(model.model, l, f));
                EXPECT_EQ(p.loadTarget, target);
                EXPECT_EQ(p.colourSet, target == 0 ? 0 : 1);
            }
        }
    }
}

TEST_F(ModelFileBrief, SurfaceNamesAreTheBaseNameAndTheColourIndex) {
    PanelEdits named;
    named.name = "name2";
    EXPECT_EQ(Starting(Trace("triangle.rk4", kTriangle, named), "lookupSurface"),
              (Lines{"lookupSurface \"name21\" -> 1", "lookupSurface \"name22\" -> 2"}));
    const std::string brief = Brief();
    EXPECT_NE(
        brief.find("`triangle.rk4` gives\n`triangle1` for colour 1 and `triangle2` for colour 2; "
                   "`--name name2` gives `name21` and `name22`."),
        std::string::npos);
}
