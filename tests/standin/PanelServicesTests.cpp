// The panel services as the plug-in sees them: everything goes through the
// PanelServices table and the control records, as the plug-in uses them.
#include "standin/PanelServices.h"

#include "MemoryFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Shift-JIS labels and items of the plug-in's panel.
const char kLoadLabel[] = "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb";
const char kColourLabel[] = "\x90\xdd\x92\xe8\x90\x46";
const char* const kLoadItems[] = {"\x90\xfc\x82\xcc\x82\xdd", "\x96\xca\x82\xcc\x82\xdd",
                                  "\x97\xbc\x95\xfb", nullptr};
const char* const kColourItems[] = {"\x96\xbe\x82\xe9\x82\xa2\x90\x46", "\x92\x86\x8a\xd4",
                                    "\x88\xc3\x82\xa2\x90\x46", nullptr};
const char* const kSummary[] = {"8 pts / 0/0 lines / 6 faces", nullptr};
const char* const kNote[] = {"line one", "a somewhat longer second line", nullptr};
const char* const kAbout[] = {"about", nullptr};

class PanelHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(traceFile_.file, nullptr);
        trace_.out = traceFile_.file;
    }
    void TearDown() override { PanelHostRelease(host_); }
    void Start(const PanelBehaviour& settings = PanelBehaviour{}) {
        PanelHostInit(host_, settings, &trace_);
        services_ = &host_.services;
    }
    std::vector<std::string> TraceLines() {
        std::vector<std::string> lines;
        std::istringstream in(traceFile_.Text());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::string LastTrace() {
        std::vector<std::string> lines = TraceLines();
        return lines.empty() ? std::string() : lines.back();
    }

    PanelControl* Create(PanelHandle panel, const char* kind, int32_t code, const char* label,
                         const char* const* list = nullptr, int32_t fieldWidth = 0) {
        ControlDescription d{};
        d.kindCode = code;
        if (code == kKindEdit) {
            d.fieldWidth = fieldWidth;
        } else {
            d.lines = list;
        }
        return services_->createControl(panel, kind, &d, label);
    }

    // The ten controls the plug-in creates, without the plug-in's moves.
    std::vector<PanelControl*> BuildPluginPanel(PanelHandle panel) {
        std::vector<PanelControl*> c;
        c.push_back(Create(panel, "TextControl", kKindText, "", kSummary));
        c.push_back(Create(panel, "ChoiceControl", kKindChoice, kLoadLabel, kLoadItems));
        c.push_back(Create(panel, "ChoiceControl", kKindChoice, kColourLabel, kColourItems));
        c.push_back(Create(panel, "FloatControl", kKindFloat, "Scale"));
        c.push_back(Create(panel, "EditControl", kKindEdit, "Surface Name", nullptr, 16));
        c.push_back(Create(panel, "TextControl", kKindText, "", kNote));
        c.push_back(Create(panel, "BoolControl", kKindBool, "Smooth"));
        c.push_back(Create(panel, "FloatControl", kKindFloat, "Smoothing Angle"));
        c.push_back(Create(panel, "BoolControl", kKindBool, "Double Sided"));
        c.push_back(Create(panel, "TextControl", kKindText, "", kAbout));
        return c;
    }

    static int32_t GetInt(PanelControl* c, int32_t attribute) {
        ControlValue v{};
        v.type = kValueInt;
        c->getControlAttribute(c, attribute, &v);
        return v.intValue;
    }
    static void SetInt(PanelControl* c, int32_t attribute, int32_t value) {
        ControlValue v{};
        v.type = kValueInt;
        v.intValue = value;
        c->setControlAttribute(c, attribute, &v);
    }
    static double GetFloat(PanelControl* c) {
        ControlValue v{};
        v.type = kValueFloat;
        c->getControlAttribute(c, kAttrValue, &v);
        return v.floatValue;
    }
    static void SetFloat(PanelControl* c, double value) {
        ControlValue v{};
        v.type = kValueFloat;
        v.floatValue = value;
        c->setControlAttribute(c, kAttrValue, &v);
    }
    static void SetText(PanelControl* c, const char* text, int32_t length) {
        ControlValue v{};
        v.type = kValueText;
        v.text = const_cast<char*>(text);
        v.textLength = length;
        c->setControlAttribute(c, kAttrValue, &v);
    }
    static std::string GetText(PanelControl* c, int32_t capacity) {
        std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '#');
        ControlValue v{};
        v.type = kValueText;
        v.text = buffer.data();
        v.textLength = capacity;
        c->getControlAttribute(c, kAttrValue, &v);
        EXPECT_EQ(buffer[static_cast<size_t>(capacity)], '#') << "written beyond the capacity";
        return std::string(buffer.data());
    }
    int32_t PanelAttr(PanelHandle panel, int32_t attribute) {
        int32_t v = -12345;
        services_->getPanelAttribute(panel, attribute, &v);
        return v;
    }

    PanelHost host_;
    PanelServices* services_ = nullptr;
    Trace trace_;
    MemoryFile traceFile_;
};

} // namespace

TEST_F(PanelHostTest, CreatePanelAndDisplayInfo) {
    PanelBehaviour s;
    s.screenWidth = 1001;
    s.screenHeight = 777;
    Start(s);
    PanelHandle panel = services_->createPanel("Ostrel 1.4", services_);
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(services_->drawingTable, nullptr);
    // Word 8 of the drawing table.
    GetDisplayInfoFn getDisplayInfo =
        reinterpret_cast<GetDisplayInfoFn*>(services_->drawingTable)[8];
    ASSERT_NE(getDisplayInfo, nullptr);
    DisplayInfo* info = getDisplayInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->screenWidth, 1001);
    EXPECT_EQ(info->screenHeight, 777);
    services_->destroyPanel(panel);
    EXPECT_EQ(TraceLines(),
              (std::vector<std::string>{"createPanel \"Ostrel 1.4\" -> panel",
                                        "getDisplayInfo -> 1001 777", "destroyPanel"}));
    EXPECT_TRUE(host_.panels.empty());
}

TEST_F(PanelHostTest, DefaultScreenIs1920x1080) {
    Start();
    DisplayInfo* info = services_->drawingTable->getDisplayInfo();
    EXPECT_EQ(info->screenWidth, 1920);
    EXPECT_EQ(info->screenHeight, 1080);
}

TEST_F(PanelHostTest, NoPanel) {
    PanelBehaviour s;
    s.noPanel = true;
    Start(s);
    EXPECT_EQ(services_->createPanel("Ostrel 1.4", services_), nullptr);
    EXPECT_EQ(LastTrace(), "createPanel \"Ostrel 1.4\" -> null");
}

TEST_F(PanelHostTest, CreateControlTraceLines) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    BuildPluginPanel(panel);
    const std::vector<std::string> lines = TraceLines();
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[1], "createControl TextControl \"\" \"8 pts / 0/0 lines / 6 faces\" -> #1");
    EXPECT_EQ(lines[2], "createControl ChoiceControl "
                        "\"\\x93\\xc7\\x82\\xdd\\x8d\\x9e\\x82\\xdd\\x91\\xce\\x8f\\xdb\" "
                        "\"\\x90\\xfc\\x82\\xcc\\x82\\xdd\" \"\\x96\\xca\\x82\\xcc\\x82\\xdd\" "
                        "\"\\x97\\xbc\\x95\\xfb\" -> #2");
    EXPECT_EQ(lines[4], "createControl FloatControl \"Scale\" -> #4");
    EXPECT_EQ(lines[5], "createControl EditControl \"Surface Name\" 16 -> #5");
    EXPECT_EQ(
        lines[6],
        "createControl TextControl \"\" \"line one\" \"a somewhat longer second line\" -> #6");
    EXPECT_EQ(lines[7], "createControl BoolControl \"Smooth\" -> #7");
    EXPECT_EQ(lines[10], "createControl TextControl \"\" \"about\" -> #10");
}

TEST_F(PanelHostTest, LayoutStacksControlsAtTheLeftMargin) {
    Start();
    PanelHandle panel = services_->createPanel("Ostrel 1.4", services_);
    std::vector<PanelControl*> c = BuildPluginPanel(panel);
    struct Place {
        int32_t left, top, width, height;
    };
    // 8 units per byte; a non-empty label takes 8 per byte + 8.
    const Place expected[] = {
        {10, 10, 27 * 8, 16},                                         // summary, one line
        {10, 30, 12 * 8 + 8 + (48 + 16) + (48 + 16) + (32 + 16), 20}, // load choice
        {10, 54, 6 * 8 + 8 + (64 + 16) + (32 + 16) + (48 + 16), 20},  // colour choice
        {10, 78, 5 * 8 + 8 + 80, 20},                                 // Scale
        {10, 102, 12 * 8 + 8 + 16 * 8 + 8, 20}, // Surface Name, field width 16
        {10, 126, 29 * 8, 32},                  // two lines
        {10, 162, 6 * 8 + 8 + 20, 20},          // Smooth
        {10, 186, 15 * 8 + 8 + 80, 20},         // Smoothing Angle
        {10, 210, 12 * 8 + 8 + 20, 20},         // Double Sided
        {10, 234, 5 * 8, 16},                   // about
    };
    int32_t right = 0;
    for (size_t i = 0; i < c.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(GetInt(c[i], kAttrLeft), expected[i].left);
        EXPECT_EQ(GetInt(c[i], kAttrTop), expected[i].top);
        EXPECT_EQ(GetInt(c[i], kAttrWidth), expected[i].width);
        EXPECT_EQ(GetInt(c[i], kAttrHeight), expected[i].height);
        right = std::max(right, expected[i].left + expected[i].width);
    }
    EXPECT_EQ(PanelAttr(panel, kAttrWidth), right + 10);
    EXPECT_EQ(PanelAttr(panel, kAttrHeight), 234 + 16 + 10);
    EXPECT_EQ(PanelAttr(panel, kAttrLeft), 0);
    EXPECT_EQ(PanelAttr(panel, kAttrTop), 0);
}

TEST_F(PanelHostTest, PanelSizeFollowsMovedControlsUntilSet) {
    Start();
    PanelHandle panel = services_->createPanel("", services_);
    EXPECT_EQ(PanelAttr(panel, kAttrWidth), 20); // no controls: the margins
    EXPECT_EQ(PanelAttr(panel, kAttrHeight), 20);
    PanelControl* smooth = Create(panel, "BoolControl", kKindBool, "Smooth");
    PanelControl* angle = Create(panel, "FloatControl", kKindFloat, "Smoothing Angle");
    // What the plug-in does: the angle field to the right of the check box.
    SetInt(angle, kAttrLeft, GetInt(smooth, kAttrLeft) + GetInt(smooth, kAttrWidth) + 16);
    SetInt(angle, kAttrTop, GetInt(smooth, kAttrTop));
    EXPECT_EQ(GetInt(angle, kAttrLeft), 10 + 76 + 16);
    EXPECT_EQ(GetInt(angle, kAttrTop), 10);
    EXPECT_EQ(PanelAttr(panel, kAttrWidth), 102 + 208 + 10);
    EXPECT_EQ(PanelAttr(panel, kAttrHeight), 10 + 20 + 10);
    int32_t w = 333, h = 111, left = -1, top = 7;
    services_->setPanelAttribute(panel, kAttrWidth, &w);
    services_->setPanelAttribute(panel, kAttrHeight, &h);
    services_->setPanelAttribute(panel, kAttrLeft, &left);
    services_->setPanelAttribute(panel, kAttrTop, &top);
    EXPECT_EQ(LastTrace(), "setPanelAttribute 1 7");
    EXPECT_EQ(PanelAttr(panel, kAttrWidth), 333);
    EXPECT_EQ(PanelAttr(panel, kAttrHeight), 111);
    EXPECT_EQ(PanelAttr(panel, kAttrLeft), -1);
    EXPECT_EQ(PanelAttr(panel, kAttrTop), 7);
    EXPECT_EQ(LastTrace(), "getPanelAttribute 1 -> 7");
}

TEST_F(PanelHostTest, TitleSetsAMinimumWidth) {
    Start();
    PanelHandle panel = services_->createPanel("A rather long panel title", services_);
    EXPECT_EQ(PanelAttr(panel, kAttrWidth), 25 * 8 + 20);
}

TEST_F(PanelHostTest, IntegerValueRoundTrip) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    PanelControl* choice = Create(panel, "ChoiceControl", kKindChoice, "C", kLoadItems);
    PanelControl* flag = Create(panel, "BoolControl", kKindBool, "B");
    SetInt(choice, kAttrValue, 2);
    EXPECT_EQ(LastTrace(), "setControlAttribute #1 4 2");
    EXPECT_EQ(GetInt(choice, kAttrValue), 2);
    EXPECT_EQ(LastTrace(), "getControlAttribute #1 4 -> 2");
    SetInt(flag, kAttrValue, 1);
    EXPECT_EQ(GetInt(flag, kAttrValue), 1);
    SetInt(choice, kAttrValue, 7); // out of range: kept as given
    EXPECT_EQ(GetInt(choice, kAttrValue), 7);
    SetInt(flag, kAttrValue, -5);
    EXPECT_EQ(GetInt(flag, kAttrValue), -5);
}

TEST_F(PanelHostTest, FloatValueRoundTrip) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    PanelControl* scale = Create(panel, "FloatControl", kKindFloat, "Scale");
    SetFloat(scale, 0.1);
    EXPECT_EQ(LastTrace(), "setControlAttribute #1 4 0.10000000000000001");
    EXPECT_EQ(GetFloat(scale), 0.1);
    EXPECT_EQ(LastTrace(), "getControlAttribute #1 4 -> 0.10000000000000001");
    SetFloat(scale, -0.0);
    EXPECT_TRUE(std::signbit(GetFloat(scale)));
    SetFloat(scale, 44.5);
    EXPECT_EQ(GetInt(scale, kAttrValue), 44); // an integer record gets the value truncated
    SetFloat(scale, 1e300);
    EXPECT_EQ(GetInt(scale, kAttrValue), INT32_MAX);
}

TEST_F(PanelHostTest, TextValueRoundTripAndCut) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    PanelControl* name = Create(panel, "EditControl", kKindEdit, "Surface Name", nullptr, 16);
    SetText(name, "cubeXXXX", 4); // only `length` bytes count
    EXPECT_EQ(LastTrace(), "setControlAttribute #1 4 \"cube\"");
    EXPECT_EQ(GetText(name, 256), "cube");
    EXPECT_EQ(LastTrace(), "getControlAttribute #1 4 -> \"cube\"");
    EXPECT_EQ(GetText(name, 5), "cube");
    EXPECT_EQ(GetText(name, 4), "cub"); // cut to capacity - 1, NUL-terminated
    EXPECT_EQ(LastTrace(), "getControlAttribute #1 4 -> \"cub\"");
    EXPECT_EQ(GetText(name, 1), "");
    SetText(name, "a\0b", 3); // a NUL ends the text
    EXPECT_EQ(GetText(name, 16), "a");
    SetText(name, nullptr, 10);
    EXPECT_EQ(GetText(name, 16), "");
    const std::string shiftJis = "\x83T\x81[\x83t\x83\x46\x83\x43\x83X";
    SetText(name, shiftJis.c_str(), static_cast<int32_t>(shiftJis.size()));
    EXPECT_EQ(GetText(name, 256), shiftJis);
}

TEST_F(PanelHostTest, TextGetWithoutRoomWritesNothing) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    PanelControl* name = Create(panel, "EditControl", kKindEdit, "N", nullptr, 16);
    SetText(name, "abc", 3);
    char buffer[4] = {'#', '#', '#', '#'};
    ControlValue v{};
    v.type = kValueText;
    v.text = buffer;
    v.textLength = 0;
    name->getControlAttribute(name, kAttrValue, &v);
    EXPECT_EQ(buffer[0], '#');
    v.textLength = -3;
    name->getControlAttribute(name, kAttrValue, &v);
    EXPECT_EQ(buffer[0], '#');
    v.text = nullptr;
    v.textLength = 10;
    name->getControlAttribute(name, kAttrValue, &v);
    EXPECT_EQ(LastTrace(), "getControlAttribute #1 4 -> null");
}

TEST_F(PanelHostTest, GetWritesOnlyTheWordsOfItsTag) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    PanelControl* scale = Create(panel, "FloatControl", kKindFloat, "Scale");
    PanelControl* choice = Create(panel, "ChoiceControl", kKindChoice, "C", kLoadItems);
    SetFloat(scale, 2.5);
    SetInt(choice, kAttrValue, 1);

    struct Guarded {
        ControlValue value;
        unsigned char guard[16];
    };
    auto check = [&](PanelControl* c, int32_t type, size_t from, size_t to) {
        Guarded g;
        std::memset(&g, 0x5A, sizeof g);
        g.value.type = type;
        unsigned char before[sizeof g];
        std::memcpy(before, &g, sizeof g);
        c->getControlAttribute(c, kAttrValue, &g.value);
        unsigned char after[sizeof g];
        std::memcpy(after, &g, sizeof g);
        for (size_t i = 0; i < sizeof g; ++i) {
            if (i >= from && i < to)
                continue;
            EXPECT_EQ(before[i], after[i]) << "byte " << i << " written";
        }
    };
    // Byte 4 and byte 8 on the 32-bit target; on 64-bit builds the wider
    // pointer moves the double (both sides share HostApi.h).
    const size_t intAt = offsetof(ControlValue, intValue);
    const size_t floatAt = offsetof(ControlValue, floatValue);
    check(choice, kValueInt, intAt, intAt + 4);
    check(scale, kValueFloat, floatAt, floatAt + 8);
    check(scale, 99, 0, 0); // unknown tag: nothing written
    Guarded g;
    std::memset(&g, 0, sizeof g);
    g.value.type = kValueInt;
    choice->getControlAttribute(choice, kAttrValue, &g.value);
    EXPECT_EQ(g.value.intValue, 1);
}

TEST_F(PanelHostTest, PositionsTravelAsIntegers) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    PanelControl* c = Create(panel, "FloatControl", kKindFloat, "Smoothing Angle");
    SetInt(c, kAttrLeft, 102);
    SetInt(c, kAttrTop, 162);
    EXPECT_EQ(GetInt(c, kAttrLeft), 102);
    EXPECT_EQ(GetInt(c, kAttrTop), 162);
    const std::vector<std::string> lines = TraceLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 4], "setControlAttribute #1 0 102");
    EXPECT_EQ(lines[lines.size() - 3], "setControlAttribute #1 1 162");
    EXPECT_EQ(lines[lines.size() - 2], "getControlAttribute #1 0 -> 102");
}

TEST_F(PanelHostTest, OpenPanelConfirmsOrCancels) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    EXPECT_EQ(services_->openPanel(panel, 3), 1);
    EXPECT_EQ(LastTrace(), "openPanel 3 -> 1");
    services_->destroyPanel(panel);
    PanelHostRelease(host_);

    PanelBehaviour s;
    s.cancel = true;
    Start(s);
    panel = services_->createPanel("T", services_);
    EXPECT_EQ(services_->openPanel(panel, 3), 0);
    EXPECT_EQ(LastTrace(), "openPanel 3 -> 0");
}

TEST_F(PanelHostTest, OpenPanelAppliesEdits) {
    PanelBehaviour s;
    s.edits.loadTarget = 1;
    s.edits.colourSet = 2;
    s.edits.scale = 2.0;
    s.edits.name = "box";
    s.edits.smooth = 0;
    s.edits.angle = 30.0;
    s.edits.doubleSided = 1;
    Start(s);
    PanelHandle panel = services_->createPanel("Ostrel 1.4", services_);
    std::vector<PanelControl*> c = BuildPluginPanel(panel);
    SetInt(c[1], kAttrValue, 2);
    SetText(c[4], "cube", 4);
    SetInt(c[6], kAttrValue, 1);
    SetFloat(c[3], 8.0);
    SetFloat(c[7], 44.5);
    SetInt(c[2], kAttrValue, 1);
    SetInt(c[8], kAttrValue, 0);
    ASSERT_EQ(services_->openPanel(panel, 3), 1);
    EXPECT_EQ(GetInt(c[1], kAttrValue), 1);
    EXPECT_EQ(GetText(c[4], 256), "box");
    EXPECT_EQ(GetFloat(c[3]), 2.0);
    EXPECT_EQ(GetInt(c[6], kAttrValue), 0);
    EXPECT_EQ(GetFloat(c[7]), 30.0);
    EXPECT_EQ(GetInt(c[2], kAttrValue), 2);
    EXPECT_EQ(GetInt(c[8], kAttrValue), 1);
}

TEST_F(PanelHostTest, OptionsNotGivenKeepTheProposal) {
    PanelBehaviour s;
    s.edits.scale = 3.0;
    Start(s);
    PanelHandle panel = services_->createPanel("Ostrel 1.4", services_);
    std::vector<PanelControl*> c = BuildPluginPanel(panel);
    SetInt(c[1], kAttrValue, 2);
    SetText(c[4], "cube", 4);
    SetFloat(c[3], 8.0);
    SetFloat(c[7], 44.5);
    ASSERT_EQ(services_->openPanel(panel, 3), 1);
    EXPECT_EQ(GetInt(c[1], kAttrValue), 2);
    EXPECT_EQ(GetText(c[4], 256), "cube");
    EXPECT_EQ(GetFloat(c[3]), 3.0);
    EXPECT_EQ(GetFloat(c[7]), 44.5);
}

// The handler sees the panel with the edits applied and gives the answer;
// the host keeps the panel as the plug-in built it, and names the edits
// whose control is missing.
namespace {

struct HandlerCall {
    int calls = 0;
    int32_t proposed = -1;
    double scaleSeen = 0;
    int32_t answer = 0;
};

int32_t RecordingHandler(void* context, PanelModel& panel, int32_t proposed) {
    auto& call = *static_cast<HandlerCall*>(context);
    ++call.calls;
    call.proposed = proposed;
    if (ControlModel* scale = FindRoleControl(panel, PanelRole::Scale)) {
        call.scaleSeen = scale->value.d;
        scale->value.d = 5; // the user's own change
    }
    return call.answer;
}

} // namespace

TEST_F(PanelHostTest, OpenPanelHandsThePanelToTheHandler) {
    HandlerCall call;
    PanelBehaviour s;
    s.cancel = true;
    s.edits.scale = 2.0;
    s.handler = {&RecordingHandler, &call};
    call.answer = 1;
    Start(s);
    PanelHandle panel = services_->createPanel("Ostrel 1.4", services_);
    std::vector<PanelControl*> c = BuildPluginPanel(panel);
    SetFloat(c[3], 8.0);
    EXPECT_EQ(services_->openPanel(panel, 3), 1);
    EXPECT_EQ(LastTrace(), "openPanel 3 -> 1");
    EXPECT_EQ(call.calls, 1);
    EXPECT_EQ(call.proposed, 0);
    EXPECT_EQ(call.scaleSeen, 2.0);
    EXPECT_EQ(GetFloat(c[3]), 5.0);
    ASSERT_TRUE(host_.opened.has_value());
    EXPECT_EQ(host_.opened->controls.size(), 10u);
    EXPECT_EQ(host_.opened->controls[3].value.d, 8.0); // as proposed
    EXPECT_TRUE(host_.editsWithoutControl.empty());
}

TEST_F(PanelHostTest, EditsWithoutTheirControlAreNamed) {
    PanelBehaviour s;
    s.edits.scale = 2.0;
    s.edits.smooth = 0;
    Start(s);
    PanelHandle panel = services_->createPanel("T", services_);
    Create(panel, "FloatControl", kKindFloat, "Scale");
    ASSERT_EQ(services_->openPanel(panel, 0), 1);
    EXPECT_EQ(host_.editsWithoutControl, (std::vector<PanelRole>{PanelRole::Smooth}));
}

TEST_F(PanelHostTest, RolesAreFoundByKindAndLabel) {
    Start();
    PanelHandle panel = services_->createPanel("Ostrel 1.4", services_);
    std::vector<PanelControl*> c = BuildPluginPanel(panel);
    PanelModel& p = host_.panels.front()->model;
    auto number = [&](PanelRole role) {
        ControlModel* found = FindRoleControl(p, role);
        return found != nullptr ? found->number : 0;
    };
    EXPECT_EQ(number(PanelRole::Load), 2);
    EXPECT_EQ(number(PanelRole::Colour), 3);
    EXPECT_EQ(number(PanelRole::Scale), 4);
    EXPECT_EQ(number(PanelRole::Name), 5);
    EXPECT_EQ(number(PanelRole::Smooth), 7);
    EXPECT_EQ(number(PanelRole::Angle), 8);
    EXPECT_EQ(number(PanelRole::DoubleSided), 9);
}

TEST_F(PanelHostTest, UnknownKindStillGetsAControl) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    ControlDescription d{};
    PanelControl* c = services_->createControl(panel, "Mystery Control", &d, "L");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(LastTrace(), "createControl \"Mystery Control\" \"L\" -> #1");
    SetInt(c, kAttrValue, 5);
    EXPECT_EQ(GetInt(c, kAttrValue), 5);
}

TEST_F(PanelHostTest, ControlsOfADestroyedPanelAreIgnored) {
    Start();
    PanelHandle panel = services_->createPanel("T", services_);
    PanelControl* c = Create(panel, "BoolControl", kKindBool, "B");
    GetControlAttributeFn get = c->getControlAttribute;
    services_->destroyPanel(panel);
    ControlValue v{};
    v.type = kValueInt;
    v.intValue = 77;
    PanelControl stale{};
    get(&stale, kAttrValue, &v);
    EXPECT_EQ(v.intValue, 77);
    EXPECT_EQ(LastTrace(), "getControlAttribute #? 4 -> null");
}
