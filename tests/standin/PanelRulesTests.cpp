// The panel's rules, rule by rule: which values the controls take, and the
// line for one refused. (tests/rulebook/cases.json runs its cases through
// every front end.)
#include "standin/PanelRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Whether `text` is taken for `role`, and what `edits` hold after it.
bool Takes(PanelRole role, const std::string& text, PanelEdits* edits = nullptr) {
    PanelEdits scratch;
    return TakeChoiceText(role, text, "x", edits != nullptr ? *edits : scratch).empty();
}

} // namespace

TEST(PanelRules, EachControlTakesItsValues) {
    EXPECT_FALSE(Takes(PanelRole::Scale, "0"));
    EXPECT_FALSE(Takes(PanelRole::Scale, "-1"));
    EXPECT_FALSE(Takes(PanelRole::Scale, "nan"));
    EXPECT_TRUE(Takes(PanelRole::Scale, "1e-300"));
    EXPECT_FALSE(Takes(PanelRole::Angle, "-0.5"));
    EXPECT_FALSE(Takes(PanelRole::Angle, "180.5"));
    EXPECT_TRUE(Takes(PanelRole::Angle, "0") && Takes(PanelRole::Angle, "180"));
    EXPECT_TRUE(Takes(PanelRole::Name, std::string(255, 'n')) && Takes(PanelRole::Name, ""));
    EXPECT_FALSE(Takes(PanelRole::Name, std::string(256, 'n')));
    PanelEdits edits;
    EXPECT_TRUE(Takes(PanelRole::Load, "FACES", &edits) &&
                Takes(PanelRole::DoubleSided, "yes", &edits));
    EXPECT_EQ(edits.loadTarget, 1);
    EXPECT_EQ(edits.doubleSided, 1);
    EXPECT_FALSE(Takes(PanelRole::Load, "1")); // by its word as text; by number below
    // A number: a choice's whole item number, a switch's 1 or 0.
    EXPECT_TRUE(TakeChoiceNumber(PanelRole::Colour, 2, "c", edits).empty());
    EXPECT_EQ(edits.colourSet, 2);
    EXPECT_EQ(TakeChoiceNumber(PanelRole::Smooth, 0.5, "smooth", edits),
              "smooth: bad value '0.5' (expected 1 (on) or 0 (off))");
    EXPECT_FALSE(TakeChoiceNumber(PanelRole::Name, 1, "n", edits).empty());
    EXPECT_FALSE(TakeChoiceNumber(PanelRole::Scale, -0.0, "s", edits).empty());
    // A value refused leaves the edits alone.
    EXPECT_EQ(edits.loadTarget, 1);
    EXPECT_FALSE(edits.scale.has_value());
}

TEST(PanelRules, SwitchesTakeTheUsualWords) {
    int32_t v = -1;
    EXPECT_TRUE(ParseOnOff("YES", v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(ParseOnOff("false", v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(ParseOnOff("maybe", v));
}

// A number written with a decimal comma is named as such, with the value to
// write instead, where the value with a point would be taken.
TEST(PanelRules, DecimalCommaIsExplained) {
    PanelEdits edits;
    EXPECT_EQ(TakeChoiceText(PanelRole::Scale, "1,5", "--scale", edits),
              "--scale: bad value '1,5' (a decimal comma: write the number with a point, "
              "--scale 1.5)");
    EXPECT_EQ(TakeChoiceText(PanelRole::Scale, "1,5,2", "s", edits).find("comma"),
              std::string::npos);
    EXPECT_EQ(TakeChoiceText(PanelRole::Scale, "0,0", "s", edits).find("comma"), std::string::npos);
    EXPECT_FALSE(edits.scale.has_value());
}
