// When a model file is damaged, and the one line that says so: each way the
// reader loses a file's structure, on small files inline, with the exact
// verdict; and what stays a warning.
#include "pipeline/ReadWarnings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum class Reals { Sound, Commas, Text };

// A strip of `faces` triangles over points 1..faces+2: lines 3-.. its points,
// then its lines and faces. Line j (1..faces+1) joins points j and j+1, line
// faces+1+k+1 points k+1 and k+3; face k (0-based) names lines k+1, k+2 and
// that diagonal. The first `badFaces` faces name line 999 instead, which the
// file does not hold. `reals`: the points' x and y as the file writes them.
std::string Strip(int faces, int badFaces = 0, Reals reals = Reals::Sound) {
    std::string text = "ROKU4 strip\nPOINT\n";
    const char* half = reals == Reals::Commas ? ",5" : ".5";
    for (int p = 0; p < faces + 2; ++p) {
        const std::string x = reals == Reals::Text ? "x" : std::to_string(p) + half;
        const std::string y = reals == Reals::Text ? "y" : std::string("0") + half;
        text += "0\n0\n0\n0\n0\n" + x + "\n" + y + "\n0\n";
    }
    text += "LINE0\n";
    const auto line = [&text](int a, int b) {
        text += std::to_string(a) + "\n" + std::to_string(b) + "\n0\n0\n";
    };
    for (int j = 1; j <= faces + 1; ++j)
        line(j, j + 1);
    for (int k = 0; k < faces; ++k)
        line(k + 1, k + 3);
    text += "FACE0\n";
    for (int k = 0; k < faces; ++k) {
        const int first = k < badFaces ? 999 : k + 1;
        text += "3\n1\n0\n" + std::to_string(first) + "\n" + std::to_string(k + 2) + "\n" +
                std::to_string(faces + 2 + k) + "\n";
    }
    return text + "END00\n";
}

// `model` with the first line that is exactly `line` replaced by `with`.
std::string Replaced(std::string model, const std::string& line, const std::string& with) {
    const size_t at = model.find("\n" + line + "\n") + 1;
    return model.replace(at, line.size(), with);
}

Damage DamageOf(const std::string& model) {
    return CollectReadWarnings(model).damage;
}

} // namespace

TEST(Damage, ASoundFileIsNone) {
    EXPECT_EQ(DamageOf(Strip(4)).kind, DamageKind::None);
    // A decimal comma or a long line here and there is the reader's to set right.
    std::string one = Strip(4);
    one.replace(one.find("0.5"), 3, "0,5");
    one.replace(one.find("1.5"), 3, "1.5x");
    EXPECT_EQ(DamageOf(one).kind, DamageKind::None);
    // Zero bytes padding the file to its end.
    EXPECT_EQ(DamageOf(Strip(4) + std::string(300, '\0')).kind, DamageKind::None);
}

TEST(Damage, AFileCutShort) {
    const std::string model = Strip(4);
    const Damage d = DamageOf(model.substr(0, model.find("FACE0") + 12));
    EXPECT_EQ(d.kind, DamageKind::CutShort);
    EXPECT_EQ(d.cause, "the file ends at line 91, inside the face section: the download or copy "
                       "was cut short");
    // Ending in the header holds no object: nothing to import, not damage.
    EXPECT_EQ(DamageOf("ROKU4 nothing\n").kind, DamageKind::None);
}

TEST(Damage, KeywordsTheReaderDoesNotSee) {
    const std::string model = Strip(4);
    EXPECT_EQ(DamageOf(Replaced(model, "LINE0", "LINE0 ")).cause,
              "the keyword \"LINE0 \" at line 51 has a trailing blank: remove it");
    EXPECT_EQ(DamageOf(Replaced(model, "FACE0", "\tface0")).cause,
              "the keyword \"\\tface0\" at line 88 has a tab before it and is in small letters: "
              "write it as \"FACE0\"");
    // Where lines are skipped to a keyword, and between sections.
    EXPECT_EQ(DamageOf(Replaced(model, "POINT", "POINT  ")).cause,
              "the keyword \"POINT  \" at line 2 has trailing blanks: remove them");
    EXPECT_EQ(DamageOf(model + "PALC0\t\n1\n1\n1\n1\n1\n1\n1\nENDP0\n").kind,
              DamageKind::MisspeltKeyword);
}

TEST(Damage, RecordsOutOfStep) {
    std::string model = Strip(4);
    model.erase(model.find("0.5\n"), 4); // the first point loses its x
    EXPECT_EQ(DamageOf(model).cause,
              "the keyword \"LINE0\" at line 50 stands where a number of the point section "
              "belongs: a record before it is incomplete, so the records after it are out of step");
}

TEST(Damage, NumbersMostlyUnreadable) {
    const Damage commas = DamageOf(Strip(4, 0, Reals::Commas));
    EXPECT_EQ(commas.kind, DamageKind::Unreadable);
    EXPECT_EQ(commas.cause, "the point section has its numbers written with decimal commas "
                            "(\"0,5\" at line 8), and the reader reads each only up to the "
                            "comma: save the file with decimal points");
    EXPECT_EQ(DamageOf(Strip(4, 0, Reals::Text)).cause,
              "the point section has 12 of 18 numbers the reader cannot read, the first \"x\" "
              "at line 8");
}

// More than 5 faces naming lines the file does not hold, and more than 1 in
// 100 of the section's faces.
TEST(Damage, FacesNamingLinesTheFileDoesNotHold) {
    EXPECT_EQ(DamageOf(Strip(100, 5)).kind, DamageKind::None);
    EXPECT_EQ(DamageOf(Strip(600, 6)).kind, DamageKind::None);
    EXPECT_EQ(DamageOf(Strip(100, 6)).cause,
              "6 of 100 faces name lines the file does not hold, the first at line 1,628");
}
