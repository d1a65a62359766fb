// The options panel against a recording stand-in for the host's panel
// services: every call is logged, with Shift-JIS text turned into UTF-8.
#include "platform/TextCodec.h"
#include "plugin/Plugin.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Utf8FromCp932(const char* text) {
    return ShiftJisToUtf8(text);
}

std::string Join(const char* const* list) {
    std::string out;
    for (const char* const* p = list; *p != nullptr; ++p) {
        out += (p == list ? "" : ",") + Utf8FromCp932(*p);
    }
    return out;
}

struct FakeControl {
    PanelControl base; // first: the plug-in holds a pointer to it
    int index;
};

struct FakePanelHost {
    PanelServices services{};
    DrawingTable drawing{};
    DisplayInfo display{800, 600, {}};
    std::vector<std::string> log;
    std::deque<FakeControl> controls;
    bool failPanel = false;
    int32_t openResult = 1;
    int32_t panelWidth = 400, panelHeight = 300;
    int32_t smoothLeft = 10, smoothTop = 50, smoothWidth = 60;
    std::map<int, int32_t> ints; // read-back values by control number
    std::map<int, double> floats;
    std::string text = "Edited";
    char* textBuffer = nullptr;                         // the buffer the text was read into
    std::map<int32_t, std::set<ControlValue*>> records; // by type tag
    const char* const* summaryLines = nullptr;
    char panelToken = 0;

    FakePanelHost();
};

FakePanelHost* gHost = nullptr;

void Log(const std::string& entry) {
    gHost->log.push_back(entry);
}

std::string ValueText(const ControlValue* v) {
    char text[64];
    switch (v->type) {
    case kValueInt:
        std::snprintf(text, sizeof text, "int %d", v->intValue);
        return text;
    case kValueFloat:
        std::snprintf(text, sizeof text, "float %g", v->floatValue);
        return text;
    case kValueText:
        return "text '" + std::string(v->text) + "' " + std::to_string(v->textLength);
    }
    return "type " + std::to_string(v->type);
}

void GetControl(PanelControl* c, int32_t attribute, ControlValue* v) {
    const int n = reinterpret_cast<FakeControl*>(c)->index;
    gHost->records[v->type].insert(v);
    const std::string type = v->type == kValueInt     ? "int"
                             : v->type == kValueFloat ? "float"
                                                      : "text " + std::to_string(v->textLength);
    Log("get c" + std::to_string(n) + " " + std::to_string(attribute) + " " + type);
    if (attribute == kAttrValue && v->type == kValueText) {
        gHost->textBuffer = v->text;
        std::snprintf(v->text, static_cast<size_t>(v->textLength), "%s", gHost->text.c_str());
    } else if (attribute == kAttrValue && v->type == kValueFloat) {
        v->floatValue = gHost->floats[n];
    } else if (attribute == kAttrValue) {
        v->intValue = gHost->ints[n];
    } else {
        const bool smooth = n == 7;
        v->intValue = attribute == kAttrLeft  ? (smooth ? gHost->smoothLeft : 5)
                      : attribute == kAttrTop ? (smooth ? gHost->smoothTop : 6 * n)
                                              : (smooth ? gHost->smoothWidth : 99);
    }
}

void SetControl(PanelControl* c, int32_t attribute, ControlValue* v) {
    gHost->records[v->type].insert(v);
    Log("set c" + std::to_string(reinterpret_cast<FakeControl*>(c)->index) + " " +
        std::to_string(attribute) + " " + ValueText(v));
}

PanelHandle CreatePanel(const char* title, PanelServices* self) {
    Log(std::string("createPanel ") + title + (self == &gHost->services ? " self" : " other"));
    return gHost->failPanel ? nullptr : &gHost->panelToken;
}
void CheckPanel(PanelHandle panel) {
    EXPECT_EQ(panel, &gHost->panelToken);
}
void DestroyPanel(PanelHandle panel) {
    CheckPanel(panel);
    Log("destroyPanel");
}
int32_t OpenPanel(PanelHandle panel, int32_t flags) {
    CheckPanel(panel);
    Log("open " + std::to_string(flags));
    return gHost->openResult;
}
void GetPanel(PanelHandle panel, int32_t attribute, int32_t* value) {
    CheckPanel(panel);
    Log("panel get " + std::to_string(attribute));
    *value = attribute == kAttrWidth    ? gHost->panelWidth
             : attribute == kAttrHeight ? gHost->panelHeight
                                        : -7;
}
void SetPanel(PanelHandle panel, int32_t attribute, int32_t* value) {
    CheckPanel(panel);
    Log("panel set " + std::to_string(attribute) + " " + std::to_string(*value));
}
PanelControl* CreateControl(PanelHandle panel, const char* kind, ControlDescription* d,
                            const char* label) {
    CheckPanel(panel);
    gHost->controls.push_back(FakeControl{{nullptr, &GetControl, &SetControl},
                                          static_cast<int>(gHost->controls.size()) + 1});
    std::string entry = "control " + std::to_string(gHost->controls.size()) + " " + kind + " " +
                        std::to_string(d->kindCode) + " '" + Utf8FromCp932(label) + "'";
    if (d->kindCode == kKindText) {
        if (gHost->summaryLines == nullptr) {
            gHost->summaryLines = d->lines;
        }
        int count = 0;
        while (d->lines[count] != nullptr) {
            ++count;
        }
        entry += " lines=" + std::to_string(count) + ":" + Join(d->lines);
    } else if (d->kindCode == kKindChoice) {
        entry += " items=" + Join(d->items) + " zero=" + std::to_string(d->zero);
    } else if (d->kindCode == kKindEdit) {
        entry += " width=" + std::to_string(d->fieldWidth);
    }
    Log(entry);
    return &gHost->controls.back().base;
}
DisplayInfo* GetDisplayInfo() {
    Log("displayInfo");
    return &gHost->display;
}
void* Lookup(const char*, void*) {
    return nullptr;
}

FakePanelHost::FakePanelHost() {
    services.createPanel = &CreatePanel;
    services.destroyPanel = &DestroyPanel;
    services.openPanel = &OpenPanel;
    services.getPanelAttribute = &GetPanel;
    services.setPanelAttribute = &SetPanel;
    services.createControl = &CreateControl;
    services.drawingTable = &drawing;
    drawing.getDisplayInfo = &GetDisplayInfo;
    gHost = this;
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

// The log up to the panel's opening, the about text reduced to its line count.
std::vector<std::string> BeforeOpening(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const std::string& e : log) {
        if (e.rfind("open ", 0) == 0) {
            break;
        }
        const std::string about = "control 10 TextControl 12 '' lines=3:";
        out.push_back(e.rfind(about, 0) == 0 ? about : e);
    }
    return out;
}

} // namespace

TEST(OptionsPanel, ConfirmRunsTheFullSequence) {
    FakePanelHost host;
    host.ints = {{2, 7}, {3, 2}, {7, 0}, {9, 0}};
    host.floats = {{4, -1.5}, {8, 500.0}};
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ASSERT_EQ(ShowOptionsPanel(&host.services, &Lookup, options, empty), kPanelConfirmed);

    const std::vector<std::string> expected = {
        "createPanel Ostrel 1.4 self",
        "displayInfo",
        "control 1 TextControl 12 '' lines=1:0 pts / 0/0 lines / 0 faces",
        "control 2 ChoiceControl 9 '読み込み対象' items=線のみ,面のみ,両方 zero=0",
        "control 3 ChoiceControl 9 '設定色' items=明るい色,中間,暗い色 zero=0",
        "control 4 FloatControl 3 'Scale'",
        "control 5 EditControl 1 'Surface Name' width=16",
        "control 6 TextControl 12 '' lines=2:上記名称の後ろに 0～15を連結した,"
        "サーフェイス名を生成します。",
        "control 7 BoolControl 8 'Smooth'",
        "get c7 0 int",
        "get c7 2 int",
        "get c7 1 int",
        "control 8 FloatControl 3 'Smoothing Angle'",
        "set c8 0 int 86",
        "set c8 1 int 50",
        "control 9 BoolControl 8 'Double Sided'",
        "control 10 TextControl 12 '' lines=3:",
        "set c2 4 int 1",
        "set c5 4 text 'base' 4",
        "set c7 4 int 1",
        "set c4 4 float 8",
        "set c8 4 float 44.5",
        "set c3 4 int 1",
        "set c9 4 int 1",
        "panel get 2",
        "panel get 3",
        "panel set 0 200",
        "panel set 1 150"};
    EXPECT_EQ(BeforeOpening(host.log), expected);
    const std::vector<std::string> tail(host.log.end() - 9, host.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"open 3", "get c2 4 int", "get c5 4 text 256",
                                              "get c4 4 float", "get c7 4 int", "get c8 4 float",
                                              "get c3 4 int", "get c9 4 int", "destroyPanel"}));
    EXPECT_EQ(host.log.size(), expected.size() + tail.size());
    EXPECT_EQ(host.services.globalLookup, &Lookup);

    // Values come back as the host gives them, out of range or not.
    EXPECT_EQ(options.loadTarget, 7);
    EXPECT_STREQ(options.surfaceBaseName, "Edited");
    EXPECT_EQ(host.textBuffer, options.surfaceBaseName);
    EXPECT_EQ(options.scale, -1.5);
    EXPECT_EQ(options.smooth, 0);
    EXPECT_EQ(options.smoothingAngle, 500.0);
    EXPECT_EQ(options.colourSet, 2);
    EXPECT_EQ(options.doubleSided, 0);
    // One value record per type tag for the whole panel.
    for (int32_t tag : {kValueText, kValueInt, kValueFloat}) {
        EXPECT_EQ(host.records[tag].size(), 1u) << "tag " << tag;
    }
}

TEST(OptionsPanel, LongTextReadBackIsCutToTheBuffer) {
    FakePanelHost host;
    host.text = std::string(400, 'q');
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ASSERT_EQ(ShowOptionsPanel(&host.services, &Lookup, options, empty), kPanelConfirmed);
    EXPECT_EQ(std::string(options.surfaceBaseName), std::string(255, 'q'));
}

TEST(OptionsPanel, CancelLeavesTheOptions) {
    FakePanelHost host;
    host.openResult = 0;
    host.ints = {{2, 0}, {3, 0}, {7, 0}, {9, 0}};
    ImportOptions options = InitialOptions();
    const ImportOptions before = options;
    ModelTables empty;
    EXPECT_EQ(ShowOptionsPanel(&host.services, &Lookup, options, empty), kPanelCancelled);
    EXPECT_EQ(std::memcmp(&options, &before, sizeof options), 0);
    ASSERT_GE(host.log.size(), 2u);
    EXPECT_EQ(host.log[host.log.size() - 2], "open 3");
    EXPECT_EQ(host.log.back(), "destroyPanel");
}

TEST(OptionsPanel, WithoutAPanelNothingElseIsCalledButTheSummaryIsFormatted) {
    // A first panel shows where the module's summary text lives.
    FakePanelHost host;
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ShowOptionsPanel(&host.services, &Lookup, options, empty);
    ASSERT_NE(host.summaryLines, nullptr);
    const char* const* summary = host.summaryLines;
    EXPECT_EQ(summary[1], nullptr);

    FakePanelHost failing;
    failing.failPanel = true;
    ModelTables t;
    t.points.resize(3);
    t.faces.resize(4);
    t.lineFaceCount = 1;
    t.lineEntryCount = 2;
    const ImportOptions before = options;
    EXPECT_EQ(ShowOptionsPanel(&failing.services, &Lookup, options, t), kPanelUnavailable);
    EXPECT_EQ(failing.log, std::vector<std::string>{"createPanel Ostrel 1.4 self"});
    EXPECT_EQ(failing.services.globalLookup, nullptr);
    EXPECT_EQ(std::memcmp(&options, &before, sizeof options), 0);
    EXPECT_STREQ(summary[0], "3 pts / 1/2 lines / 3 faces");
}

TEST(OptionsPanel, CentresWithDivisionTowardZero) {
    const struct {
        int32_t width, height, left, top;
    } cases[] = {{400, 300, 200, 150}, {801, 601, 0, 0}, {802, 602, -1, -1},
                 {803, 603, -1, -1},   {1, 1, 399, 299}, {0, 0, 400, 300}};
    for (const auto& c : cases) {
        FakePanelHost host;
        host.panelWidth = c.width;
        host.panelHeight = c.height;
        ImportOptions options = InitialOptions();
        ModelTables empty;
        ShowOptionsPanel(&host.services, &Lookup, options, empty);
        const std::vector<std::string> setup = BeforeOpening(host.log);
        ASSERT_GE(setup.size(), 2u);
        EXPECT_EQ(setup[setup.size() - 2], "panel set 0 " + std::to_string(c.left)) << c.width;
        EXPECT_EQ(setup.back(), "panel set 1 " + std::to_string(c.top)) << c.height;
    }
}

TEST(OptionsPanel, AngleFieldFollowsTheSmoothBox) {
    FakePanelHost host;
    host.smoothLeft = -20;
    host.smoothTop = 7;
    host.smoothWidth = 3;
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ShowOptionsPanel(&host.services, &Lookup, options, empty);
    const std::vector<std::string> setup = BeforeOpening(host.log);
    ASSERT_GE(setup.size(), 15u);
    EXPECT_EQ(setup[13], "set c8 0 int -1");
    EXPECT_EQ(setup[14], "set c8 1 int 7");
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
