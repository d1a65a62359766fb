// Every prefix of each example, and each example with one token broken,
// loads without fault: the reader's tables and the host calls keep their
// invariants.
#include "BoundsSupport.h"
#include "support/TestModel.h"

#include <vector>

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) {
        text += l;
        text += '\n';
    }
    return text;
}

bool IsNumber(const std::string& line) {
    return !line.empty() && line.find_first_not_of("+-0123456789") == std::string::npos;
}

bool IsKeyword(const std::string& line) {
    return line.size() == 5 &&
           line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") == std::string::npos;
}

// Runs `text` through the reader (tables checked by CheckModelInvariants) and
// through whole activations with each load target.
void ExpectSound(const std::string& text, const std::string& label) {
    SCOPED_TRACE(label);
    {
        LoadedModel model;
        LoadModel(text, model);
    }
    for (int32_t target = 0; target <= 2; ++target) {
        CheckedLoad load;
        load.panel.edits.loadTarget = target;
        EXPECT_EQ(RunChecked(load, text), kActivateHandled);
        ASSERT_EQ(load.checks.errorCount, 0) << load.checks.firstErrors;
    }
}

TEST(Truncation, EveryPrefixOfEachExampleLoads) {
    for (const char* name : kExamples) {
        const std::string example = ReadExample(name);
        ASSERT_FALSE(example.empty()) << name;
        for (size_t n = 0; n <= example.size(); ++n) {
            ExpectSound(example.substr(0, n), std::string(name) + " cut at " + std::to_string(n));
        }
    }
}

TEST(Truncation, PrefixesEndOnTheRecordInProgress) {
    // A file cut inside the first point record still has that point, its
    // missing coordinates read from the last line present.
    const std::string text = "ROKU4\nPOINT\n1\n2\n3\n4\n5\n6.5";
    LoadedModel model;
    LoadModel(text, model);
    ASSERT_EQ(model.result, kReadOk);
    ASSERT_EQ(PointCount(model.tables), 1);
    EXPECT_EQ(model.tables.points[0].x, 6.5);
    EXPECT_EQ(model.tables.points[0].z, 6.5);
}

TEST(Truncation, SingleTokenMutationsOfEachExampleLoad) {
    const char* const replacements[] = {
        "2147483648", "99999999999999999999", "-1", "-2147483648", "", "65536", "0", "1d308"};
    for (const char* name : kExamples) {
        const std::vector<std::string> lines = SplitLines(ReadExample(name));
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string where = std::string(name) + " line " + std::to_string(i + 1);
            if (IsNumber(lines[i])) {
                for (const char* r : replacements) {
                    std::vector<std::string> mutated = lines;
                    mutated[i] = r;
                    ExpectSound(JoinLines(mutated), where + " -> '" + r + "'");
                }
            } else if (IsKeyword(lines[i])) {
                std::vector<std::string> dropped = lines;
                dropped.erase(dropped.begin() + static_cast<std::ptrdiff_t>(i));
                ExpectSound(JoinLines(dropped), where + " dropped");
                std::vector<std::string> doubled = lines;
                doubled.insert(doubled.begin() + static_cast<std::ptrdiff_t>(i), lines[i]);
                ExpectSound(JoinLines(doubled), where + " doubled");
            }
        }
    }
}

} // namespace
