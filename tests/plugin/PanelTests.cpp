// The options panel alone against the shared recording host: its panel calls
// compared from the host's transcript, with Shift-JIS text read as UTF-8.
#include "platform/TextCodec.h"
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The shared host with transcripts on, on an 800 x 600 screen.
void Transcribe(RecordingHost& host) {
    host.logCalls = true;
    host.display = DisplayInfo{800, 600, {}};
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

// The panel's transcript read as UTF-8.
std::vector<std::string> Decoded(const RecordingHost& host) {
    std::vector<std::string> out;
    for (const std::string& e : host.panelLog) {
        out.push_back(ShiftJisToUtf8(e));
    }
    return out;
}

// The transcript up to the panel's opening, the about text reduced to its
// line count.
std::vector<std::string> BeforeOpening(const RecordingHost& host) {
    std::vector<std::string> out;
    for (const std::string& e : Decoded(host)) {
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
    RecordingHost host;
    Transcribe(host);
    PanelScript& user = host.script;
    user.setLoadTarget = true, user.loadTarget = 7;
    user.setColourSet = true, user.colourSet = 2;
    user.setSmooth = true, user.smooth = 0;
    user.setDoubleSided = true, user.doubleSided = 0;
    user.setScale = true, user.scale = -1.5;
    user.setAngle = true, user.smoothingAngle = 500.0;
    user.baseName = "Edited";
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ASSERT_EQ(RunPanel(host, options, empty), kPanelConfirmed);

    // The smooth box sits at the host's usual {10, 140, 60}.
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
        "set c8 1 int 140",
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
    EXPECT_EQ(BeforeOpening(host), expected);
    const std::vector<std::string> log = Decoded(host);
    const std::vector<std::string> tail(log.end() - 9, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"open 3", "get c2 4 int", "get c5 4 text 256",
                                              "get c4 4 float", "get c7 4 int", "get c8 4 float",
                                              "get c3 4 int", "get c9 4 int", "destroyPanel"}));
    EXPECT_EQ(log.size(), expected.size() + tail.size());
    EXPECT_EQ(host.panel.services.globalLookup, &RecordingHost::GlobalLookup);
    EXPECT_EQ(host.firstErrors, "");

    // Values come back as the host gives them, out of range or not.
    EXPECT_EQ(options.loadTarget, 7);
    EXPECT_STREQ(options.surfaceBaseName, "Edited");
    EXPECT_EQ(host.nameBuffer, options.surfaceBaseName);
    EXPECT_EQ(options.scale, -1.5);
    EXPECT_EQ(options.smooth, 0);
    EXPECT_EQ(options.smoothingAngle, 500.0);
    EXPECT_EQ(options.colourSet, 2);
    EXPECT_EQ(options.doubleSided, 0);
    // One value record per type tag for the whole panel.
    for (int32_t tag : {kValueText, kValueInt, kValueFloat}) {
        size_t records = 0;
        for (const auto& r : host.valueRecords) {
            records += r.first == tag ? 1 : 0;
        }
        EXPECT_EQ(records, 1u) << "tag " << tag;
    }
}

TEST(OptionsPanel, LongTextReadBackIsCutToTheBuffer) {
    RecordingHost host;
    Transcribe(host);
    const std::string typed(400, 'q');
    host.script.baseName = typed.c_str();
    ImportOptions options = InitialOptions();
    ModelTables empty;
    ASSERT_EQ(RunPanel(host, options, empty), kPanelConfirmed);
    EXPECT_EQ(std::string(options.surfaceBaseName), std::string(255, 'q'));
    EXPECT_EQ(host.firstErrors, "");
}

TEST(OptionsPanel, CancelLeavesTheOptions) {
    RecordingHost host;
    Transcribe(host);
    PanelScript& user = host.script; // edits that a cancel must throw away
    user.action = PanelAction::kCancel;
    user.setLoadTarget = true, user.loadTarget = 0;
    user.setColourSet = true, user.colourSet = 0;
    user.setSmooth = true, user.smooth = 0;
    user.setDoubleSided = true, user.doubleSided = 0;
    ImportOptions options = InitialOptions();
    const ImportOptions before = options;
    ModelTables empty;
    EXPECT_EQ(RunPanel(host, options, empty), kPanelCancelled);
    EXPECT_EQ(std::memcmp(&options, &before, sizeof options), 0);
    ASSERT_GE(host.panelLog.size(), 2u);
    EXPECT_EQ(host.panelLog[host.panelLog.size() - 2], "open 3");
    EXPECT_EQ(host.panelLog.back(), "destroyPanel");
    EXPECT_EQ(host.firstErrors, "");
}

TEST(OptionsPanel, WithoutAPanelNothingElseIsCalledButTheSummaryIsFormatted) {
    // A first panel shows where the module's summary text lives.
    RecordingHost host;
    Transcribe(host);
    ImportOptions options = InitialOptions();
    ModelTables empty;
    RunPanel(host, options, empty);
    ASSERT_NE(host.firstTextLines, nullptr);
    const char* const* summary = host.firstTextLines;
    EXPECT_EQ(summary[1], nullptr);

    RecordingHost failing;
    Transcribe(failing);
    failing.script.action = PanelAction::kUnavailable;
    ModelTables t;
    t.points.resize(3);
    t.faces.resize(4);
    t.lineFaceCount = 1;
    t.lineEntryCount = 2;
    const ImportOptions before = options;
    EXPECT_EQ(RunPanel(failing, options, t), kPanelUnavailable);
    EXPECT_EQ(failing.panelLog, std::vector<std::string>{"createPanel Ostrel 1.4 self"});
    EXPECT_EQ(failing.panel.services.globalLookup, nullptr);
    EXPECT_EQ(std::memcmp(&options, &before, sizeof options), 0);
    EXPECT_STREQ(summary[0], "3 pts / 1/2 lines / 3 faces");
    EXPECT_EQ(host.firstErrors + failing.firstErrors, "");
}

TEST(OptionsPanel, CentresWithDivisionTowardZero) {
    const struct {
        int32_t width, height, left, top;
    } cases[] = {{400, 300, 200, 150}, {801, 601, 0, 0}, {802, 602, -1, -1},
                 {803, 603, -1, -1},   {1, 1, 399, 299}, {0, 0, 400, 300}};
    for (const auto& c : cases) {
        RecordingHost host;
        Transcribe(host);
        host.panelWidth = c.width;
        host.panelHeight = c.height;
        ImportOptions options = InitialOptions();
        ModelTables empty;
        RunPanel(host, options, empty);
        const std::vector<std::string> setup = BeforeOpening(host);
        ASSERT_GE(setup.size(), 2u);
        EXPECT_EQ(setup[setup.size() - 2], "panel set 0 " + std::to_string(c.left)) << c.width;
        EXPECT_EQ(setup.back(), "panel set 1 " + std::to_string(c.top)) << c.height;
        EXPECT_EQ(host.firstErrors, "");
    }
}

TEST(OptionsPanel, AngleFieldFollowsTheSmoothBox) {
    RecordingHost host;
    Transcribe(host);
    host.moved = {7, -20, 7, 3}; // the smooth box: left, top, width
    ImportOptions options = InitialOptions();
    ModelTables empty;
    RunPanel(host, options, empty);
    const std::vector<std::string> setup = BeforeOpening(host);
    ASSERT_GE(setup.size(), 15u);
    EXPECT_EQ(setup[13], "set c8 0 int -1");
    EXPECT_EQ(setup[14], "set c8 1 int 7");
    EXPECT_EQ(host.firstErrors, "");
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
