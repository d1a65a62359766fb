// The options panel alone through the stand-in's panel services with its
// host checks on, compared by their trace; the controls' Shift-JIS texts
// read as UTF-8 from the panel as the plug-in built it.
#include "platform/TextCodec.h"
#include "plugin/Plugin.h"
#include "standin/HostChecks.h"
#include "standin/ImportHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the test watches of the plug-in's control calls, and the one place
// it answers itself (the smooth box moved elsewhere); every call goes on to
// the stand-in's own functions.
struct Watch {
    CreateControlFn createControl = nullptr;
    GetControlAttributeFn get = nullptr;
    SetControlAttributeFn set = nullptr;
    std::vector<PanelControl*> controls;
    std::set<std::pair<int32_t, const ControlValue*>> valueRecords; // (type tag, record)
    const char* nameBuffer = nullptr; // where the name field was read into
    bool moveSmoothBox = false;       // control 7 answers {-20, 7, width 3}
};
Watch gWatch;

size_t NumberOf(PanelControl* c) {
    for (size_t i = 0; i < gWatch.controls.size(); ++i) {
        if (gWatch.controls[i] == c)
            return i + 1;
    }
    return 0;
}

void WatchedGet(PanelControl* c, int32_t attribute, ControlValue* v) {
    gWatch.valueRecords.emplace(v->type, v);
    const size_t n = NumberOf(c);
    if (n == 5 && attribute == kAttrValue)
        gWatch.nameBuffer = v->text;
    if (n == 7 && gWatch.moveSmoothBox && attribute != kAttrValue) {
        v->intValue = attribute == kAttrLeft ? -20 : attribute == kAttrTop ? 7 : 3;
        return;
    }
    gWatch.get(c, attribute, v);
}

void WatchedSet(PanelControl* c, int32_t attribute, ControlValue* v) {
    gWatch.valueRecords.emplace(v->type, v);
    gWatch.set(c, attribute, v);
}

PanelControl* WatchedCreate(PanelHandle p, const char* kindName, ControlDescription* d,
                            const char* label) {
    PanelControl* c = gWatch.createControl(p, kindName, d, label);
    gWatch.get = c->getControlAttribute;
    gWatch.set = c->setControlAttribute;
    c->getControlAttribute = &WatchedGet;
    c->setControlAttribute = &WatchedSet;
    gWatch.controls.push_back(c);
    return c;
}

struct PanelRun {
    PanelBehaviour behaviour;
    PanelHost host;
    HostChecks checks;
    std::string trace;
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(trace);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

// Shows the panel through `run`'s host on an 800 x 600 screen unless told
// otherwise, and checks the host's promises.
PanelOutcome Show(PanelRun& run, ImportOptions& options, const ModelTables& tables,
                  bool moveSmoothBox = false) {
    Trace trace;
    trace.text = &run.trace;
    PanelHostInit(run.host, run.behaviour, &trace);
    run.host.checks = &run.checks;
    gWatch = Watch{};
    gWatch.moveSmoothBox = moveSmoothBox;
    gWatch.createControl = run.host.services.createControl;
    run.host.services.createControl = &WatchedCreate;
    const PanelOutcome outcome =
        ShowOptionsPanel(&run.host.services, &HostGlobalLookup, options, tables);
    CheckPanelEnd(run.checks, run.host.warnings);
    PanelHostRelease(run.host);
    return outcome;
}

PanelRun OnScreen(int32_t width = 800, int32_t height = 600) {
    PanelRun run;
    run.behaviour.screenWidth = width;
    run.behaviour.screenHeight = height;
    return run;
}

ImportOptions InitialOptions() {
    ImportOptions o;
    std::memset(&o, 0, sizeof o);
    o.loadTarget = 1;
    std::strcpy(o.surfaceBaseName, "base");
    o.smooth = 1;
    o.smoothingAngle = 44.5;
    o.colourSet = 1;
    o.scale = 8.0;
    o.doubleSided = 1;
    return o;
}

// The controls as the plug-in built them: kind, label and lines, as UTF-8.
std::vector<std::string> Controls(const PanelModel& panel) {
    std::vector<std::string> out;
    for (const ControlModel& c : panel.controls) {
        std::string entry = c.kindName + " '" + ShiftJisToUtf8(c.label) + "'";
        for (const std::string& line : c.lines)
            entry += " | " + ShiftJisToUtf8(line);
        out.push_back(entry);
    }
    return out;
}

// The trace without the control creations (which Controls shows).
std::vector<std::string> Calls(const PanelRun& run) {
    std::vector<std::string> out;
    for (const std::string& line : run.Lines()) {
        if (line.rfind("createControl ", 0) != 0)
            out.push_back(line);
    }
    return out;
}

} // namespace

TEST(OptionsPanel, ConfirmRunsTheFullSequence) {
    PanelRun run = OnScreen();
    PanelEdits& user = run.behaviour.edits;
    user.loadTarget = 7, user.colourSet = 2, user.smooth = 0, user.doubleSided = 0;
    user.scale = -1.5, user.angle = 500.0, user.name = "Edited";
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ASSERT_EQ(Show(run, options, empty), kPanelConfirmed);

    ASSERT_TRUE(run.host.opened);
    EXPECT_EQ(
        Controls(*run.host.opened),
        (std::vector<std::string>{
            "TextControl '' | 0 pts / 0/0 lines / 0 faces",
            "ChoiceControl '読み込み対象' | 線のみ | 面のみ | 両方",
            "ChoiceControl '設定色' | 明るい色 | 中間 | 暗い色",
            "FloatControl 'Scale'",
            "EditControl 'Surface Name'",
            "TextControl '' | 上記名称の後ろに 0～15を連結した | サーフェイス名を生成します。",
            "BoolControl 'Smooth'",
            "FloatControl 'Smoothing Angle'",
            "BoolControl 'Double Sided'",
            "TextControl '' | Ostrel 1.4 - model file loader | Reads points, lines, faces "
            "and palette | of ROKU4 model files.",
        }));
    EXPECT_EQ(run.host.opened->controls[4].fieldWidth, 16);
    // The angle field follows the smooth box where the host put it; the
    // panel is centred on the screen.
    EXPECT_EQ(Calls(run), (std::vector<std::string>{"createPanel \"Ostrel 1.4\" -> panel",
                                                    "getDisplayInfo -> 800 600",
                                                    "getControlAttribute #7 0 -> 10",
                                                    "getControlAttribute #7 2 -> 76",
                                                    "getControlAttribute #7 1 -> 162",
                                                    "setControlAttribute #8 0 102",
                                                    "setControlAttribute #8 1 162",
                                                    "setControlAttribute #2 4 1",
                                                    "setControlAttribute #5 4 \"base\"",
                                                    "setControlAttribute #7 4 1",
                                                    "setControlAttribute #4 4 8",
                                                    "setControlAttribute #8 4 44.5",
                                                    "setControlAttribute #3 4 1",
                                                    "setControlAttribute #9 4 1",
                                                    "getPanelAttribute 2 -> 324",
                                                    "getPanelAttribute 3 -> 292",
                                                    "setPanelAttribute 0 238",
                                                    "setPanelAttribute 1 154",
                                                    "openPanel 3 -> 1",
                                                    "getControlAttribute #2 4 -> 7",
                                                    "getControlAttribute #5 4 -> \"Edited\"",
                                                    "getControlAttribute #4 4 -> -1.5",
                                                    "getControlAttribute #7 4 -> 0",
                                                    "getControlAttribute #8 4 -> 500",
                                                    "getControlAttribute #3 4 -> 2",
                                                    "getControlAttribute #9 4 -> 0",
                                                    "destroyPanel"}));
    EXPECT_EQ(run.host.services.globalLookup, &HostGlobalLookup);
    EXPECT_EQ(run.checks.firstErrors, "");

    // Values come back as the host gives them, out of range or not.
    EXPECT_EQ(options.loadTarget, 7);
    EXPECT_STREQ(options.surfaceBaseName, "Edited");
    EXPECT_EQ(gWatch.nameBuffer, options.surfaceBaseName);
    EXPECT_EQ(options.scale, -1.5);
    EXPECT_EQ(options.smooth, 0);
    EXPECT_EQ(options.smoothingAngle, 500.0);
    EXPECT_EQ(options.colourSet, 2);
    EXPECT_EQ(options.doubleSided, 0);
    // One value record per type tag for the whole panel.
    for (int32_t tag : {kValueText, kValueInt, kValueFloat}) {
        size_t records = 0;
        for (const auto& r : gWatch.valueRecords) {
            records += r.first == tag ? 1 : 0;
        }
        EXPECT_EQ(records, 1u) << "tag " << tag;
    }
}

TEST(OptionsPanel, LongTextReadBackIsCutToTheBuffer) {
    PanelRun run = OnScreen();
    run.behaviour.edits.name = std::string(400, 'q');
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ASSERT_EQ(Show(run, options, empty), kPanelConfirmed);
    EXPECT_EQ(std::string(options.surfaceBaseName), std::string(255, 'q'));
    EXPECT_EQ(run.checks.firstErrors, "");
}

TEST(OptionsPanel, CancelLeavesTheOptions) {
    PanelRun run = OnScreen();
    run.behaviour.cancel = true; // and edits that a cancel must throw away
    PanelEdits& user = run.behaviour.edits;
    user.loadTarget = 0, user.colourSet = 0, user.smooth = 0, user.doubleSided = 0;
    ImportOptions options = InitialOptions();
    const ImportOptions before = options;
    ModelTables empty;
    EXPECT_EQ(Show(run, options, empty), kPanelCancelled);
    EXPECT_EQ(std::memcmp(&options, &before, sizeof options), 0);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], OpenPanelLine(3, 0));
    EXPECT_EQ(lines.back(), DestroyPanelLine());
    EXPECT_EQ(run.checks.firstErrors, "");
}

TEST(OptionsPanel, WithoutAPanelNothingElseIsCalledButTheSummaryIsFormatted) {
    // A first panel shows the module's summary text.
    PanelRun run = OnScreen();
    ImportOptions options = InitialOptions();
    ModelTables empty;
    Show(run, options, empty);
    EXPECT_EQ(run.host.statistics, "0 pts / 0/0 lines / 0 faces");

    PanelRun failing = OnScreen();
    failing.behaviour.noPanel = true;
    ModelTables t;
    t.points.resize(3);
    t.faces.resize(4);
    t.lineFaceCount = 1;
    t.lineEntryCount = 2;
    const ImportOptions before = options;
    EXPECT_EQ(Show(failing, options, t), kPanelUnavailable);
    EXPECT_EQ(failing.Lines(), std::vector<std::string>{CreatePanelLine("Ostrel 1.4", false)});
    EXPECT_EQ(failing.host.services.globalLookup, nullptr);
    EXPECT_EQ(std::memcmp(&options, &before, sizeof options), 0);
    const SummaryText& summary = ModuleSummaryText();
    EXPECT_STREQ(summary.lines[0], "3 pts / 1/2 lines / 3 faces");
    EXPECT_EQ(summary.lines[1], nullptr);
    EXPECT_EQ(run.checks.firstErrors + failing.checks.firstErrors, "");
}

TEST(OptionsPanel, CentresWithDivisionTowardZero) {
    // The stand-in lays this panel out 324 x 292: screens around that size
    // centre it at odd, zero and negative places.
    const struct {
        int32_t width, height, left, top;
    } cases[] = {{724, 592, 200, 150}, {323, 291, 0, 0},      {322, 290, -1, -1},
                 {321, 289, -1, -1},   {1123, 891, 399, 299}, {1124, 892, 400, 300}};
    for (const auto& c : cases) {
        PanelRun run = OnScreen(c.width, c.height);
        ImportOptions options = InitialOptions();
        ModelTables empty;
        Show(run, options, empty);
        const std::vector<std::string> calls = Calls(run);
        const auto opened = std::find(calls.begin(), calls.end(), OpenPanelLine(3, 1));
        ASSERT_GE(opened - calls.begin(), 4);
        const int32_t width = 324, height = 292;
        EXPECT_EQ(opened[-4], GetPanelAttributeLine(kAttrWidth, &width));
        EXPECT_EQ(opened[-3], GetPanelAttributeLine(kAttrHeight, &height));
        EXPECT_EQ(opened[-2], SetPanelAttributeLine(kAttrLeft, &c.left)) << c.width;
        EXPECT_EQ(opened[-1], SetPanelAttributeLine(kAttrTop, &c.top)) << c.height;
        EXPECT_EQ(run.checks.firstErrors, "");
    }
}

TEST(OptionsPanel, AngleFieldFollowsTheSmoothBox) {
    PanelRun run = OnScreen();
    ImportOptions options = InitialOptions();
    ModelTables empty;
    Show(run, options, empty, true); // the smooth box answers left -20, top 7, width 3
    const std::vector<std::string> calls = Calls(run);
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[2], "setControlAttribute #8 0 -1");
    EXPECT_EQ(calls[3], "setControlAttribute #8 1 7");
    EXPECT_EQ(run.checks.firstErrors, "");
}

TEST(OptionsPanel, SummaryHoldsAnyCounts) {
    ModelTables t;
    char text[kSummaryCapacity];
    FormatSummary(t, text);
    EXPECT_STREQ(text, "0 pts / 0/0 lines / 0 faces");
    t.lineFaceCount = INT32_MAX;
    t.lineEntryCount = INT32_MIN;
    FormatSummary(t, text);
    EXPECT_STREQ(text, "0 pts / 2147483647/-2147483648 lines / -2147483647 faces");
}
