// The panel services as the plug-in sees them: everything goes through the
// PanelServices table and the control records, as the plug-in uses them.
#include "PanelHostTest.h"

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
