// The entry point as a front end calls it: a model's bytes and its name in,
// the plug-in linked into the program, the outcome, the trace, the panel and
// the files out; no file of the caller's is read or written.
#include "LinkedModule.h"
#include "pipeline/Pipeline.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kExamples = OSTREL_EXAMPLES_DIR;

class PipelineTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(linked_.started) << linked_.error; }

    // A request for the model file NAME of examples/ or tests/data, as bytes.
    ImportRequest FromBytes(const std::string& name, const std::string& dir = kExamples) {
        bytes_ = ReadWhole(dir + "/" + name);
        EXPECT_FALSE(bytes_.empty()) << name;
        ImportRequest request;
        request.module = &linked_.module;
        request.modelName = name;
        request.modelBytes = bytes_;
        return request;
    }

    LinkedModule linked_;
    std::string bytes_;
};

std::vector<std::string> Names(const std::vector<OutputFile>& files) {
    std::vector<std::string> names;
    for (const OutputFile& f : files)
        names.push_back(f.name);
    return names;
}

} // namespace

// The plug-in derives the surface names from the file's base name, so bytes
// staged under the model's name give the very trace and files that the
// plug-in opening the file itself gives.
TEST_F(PipelineTest, BytesImportAsThePathDoes) {
    ImportRequest fromBytes = FromBytes("cube.rk4");
    fromBytes.traceText = true;
    fromBytes.format = ExportFormat::Obj;
    const ImportOutcome a = RunImport(fromBytes);
    ASSERT_EQ(a.result, ImportResult::Loaded) << a.reason;

    ImportRequest fromPath = fromBytes;
    fromPath.modelBytes.reset();
    fromPath.modelName = kExamples + "/cube.rk4";
    const ImportOutcome b = RunImport(fromPath);
    ASSERT_EQ(b.result, ImportResult::Loaded) << b.reason;

    EXPECT_EQ(a.trace, b.trace);
    EXPECT_NE(a.trace.find("lookupSurface \"cube0\" -> 1\n"), std::string::npos) << a.trace;
    EXPECT_EQ(a.trace.substr(a.trace.size() - 18), "status 0\nresult 0\n");
    ASSERT_EQ(Names(a.files), (std::vector<std::string>{"cube.mtl", "cube.obj"}));
    ASSERT_EQ(Names(b.files), Names(a.files));
    EXPECT_EQ(a.files[1].bytes, b.files[1].bytes);
    EXPECT_EQ(a.files[1].bytes.rfind(
                  "# right-handed, counter-clockwise front faces\nmtllib cube.mtl\n", 0),
              0u);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.activationResult, 0);
}

// A front end shows the panel as the plug-in built it: every control in
// order, with its kind, label bytes, items and the value it proposed.
TEST_F(PipelineTest, OutcomeCarriesThePanelAsBuilt) {
    ImportRequest request = FromBytes("cube.rk4");
    request.panel.edits.scale = 1; // applied after the panel is kept
    const ImportOutcome outcome = RunImport(request);
    ASSERT_EQ(outcome.result, ImportResult::Loaded) << outcome.reason;
    EXPECT_EQ(outcome.statistics, "8 pts / 0/0 lines / 6 faces");
    EXPECT_EQ(outcome.counts.points, 8u);
    EXPECT_EQ(outcome.counts.polygons, 6u);
    EXPECT_EQ(outcome.counts.dropped, 0u);
    EXPECT_EQ(outcome.counts.surfaces, 3u);
    ASSERT_TRUE(outcome.panel.has_value());
    const PanelModel& panel = *outcome.panel;
    EXPECT_EQ(panel.title, "Ostrel 1.4");
    ASSERT_EQ(panel.controls.size(), 10u);
    const ControlKind kinds[] = {ControlKind::Text,  ControlKind::Choice, ControlKind::Choice,
                                 ControlKind::Float, ControlKind::Edit,   ControlKind::Text,
                                 ControlKind::Bool,  ControlKind::Float,  ControlKind::Bool,
                                 ControlKind::Text};
    for (size_t i = 0; i < panel.controls.size(); ++i) {
        EXPECT_EQ(panel.controls[i].kind, kinds[i]) << i;
        EXPECT_EQ(panel.controls[i].number, static_cast<int32_t>(i) + 1);
    }
    EXPECT_EQ(panel.controls[1].label, "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb");
    EXPECT_EQ(panel.controls[1].lines.size(), 3u);
    EXPECT_EQ(panel.controls[1].value.i, 1); // faces only, as the file suggests
    EXPECT_EQ(panel.controls[3].label, "Scale");
    EXPECT_EQ(panel.controls[3].value.d, 8.0);
    EXPECT_EQ(panel.controls[4].value.text, "cube");
    EXPECT_EQ(panel.controls[7].value.d, 44.5);
    EXPECT_TRUE(outcome.editsWithoutControl.empty());
    EXPECT_FALSE(outcome.panelLeftOpen);
}

// Edits, format and code page reach the files: the scale in the points, the
// name in the materials, decoded from the code page given.
TEST_F(PipelineTest, EditsFormatAndCodePage) {
    ImportRequest request = FromBytes("cube.rk4");
    request.panel.edits.scale = 1;
    request.panel.edits.name = "\x95\x5c\x8e\xa6"; // Shift-JIS
    request.format = ExportFormat::Obj;
    request.outputName = "box.obj";
    ImportOutcome outcome = RunImport(request);
    ASSERT_EQ(outcome.result, ImportResult::Loaded) << outcome.reason;
    ASSERT_EQ(Names(outcome.files), (std::vector<std::string>{"box.mtl", "box.obj"}));
    EXPECT_NE(outcome.files[0].bytes.find("newmtl 表示0\n"), std::string::npos);
    EXPECT_NE(outcome.files[1].bytes.find("\nv 1 -1 -1\n"), std::string::npos);

    request.codePage = 1252;
    outcome = RunImport(request);
    EXPECT_NE(outcome.files[0].bytes.find("newmtl •\\Ž¦0\n"), std::string::npos)
        << outcome.files[0].bytes;

    request.format = ExportFormat::Lwob;
    request.outputName.clear();
    outcome = RunImport(request);
    ASSERT_EQ(Names(outcome.files), (std::vector<std::string>{"cube.lwo"}));
    EXPECT_NE(outcome.files[0].bytes.find("\x95\x5c\x8e\xa6"
                                          "0"),
              std::string::npos);
}

// Each way an import ends: its result, one line saying why, no files.
TEST_F(PipelineTest, EveryEndHasItsResultAndReason) {
    struct Case {
        const char* what;
        void (*prepare)(ImportRequest&);
        ImportResult result;
        const char* reason;
    };
    const Case cases[] = {
        {"cancelled", [](ImportRequest& r) { r.panel.cancel = true; }, ImportResult::Cancelled,
         "cancelled in the options panel"},
        {"no panel services", [](ImportRequest& r) { r.panel.noServices = true; },
         ImportResult::Refused,
         "refused by the plug-in: host global \"LWPanelServices\" missing (result 2)"},
        {"activation version", [](ImportRequest& r) { r.activationVersion = 2; },
         ImportResult::Refused,
         "refused by the plug-in: activation version 2 not accepted (result 1)"},
        {"not a model file", [](ImportRequest& r) { r.modelBytes = "hello\n"; },
         ImportResult::NotModelFile, "not a model file: it starts with \"hello\", not \"ROKU4\""},
        {"the magic alone", [](ImportRequest& r) { r.modelBytes = "ROKU4"; },
         ImportResult::NothingImported, "nothing to import (0 points, 0 polygons received)"},
        {"beyond the float range", [](ImportRequest& r) { r.panel.edits.scale = 1e300; },
         ImportResult::NotConverted,
         "point 1 is at (inf, -0, 0), beyond the range of a float: convert with a smaller "
         "scale"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImportRequest request = FromBytes("cube.rk4");
        request.format = ExportFormat::Glb;
        c.prepare(request);
        const ImportOutcome outcome = RunImport(request);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_TRUE(outcome.files.empty());
    }

    ImportRequest missing;
    missing.module = &linked_.module;
    missing.modelName = kExamples + "/no-such-model.rk4";
    const ImportOutcome outcome = RunImport(missing);
    EXPECT_EQ(outcome.result, ImportResult::CannotRead);
    EXPECT_EQ(outcome.reason.rfind("cannot open or read (", 0), 0u) << outcome.reason;
    EXPECT_EQ(outcome.status, kImportOpenFailed);
}

// The warnings are worded here, once for every front end: what the host
// noticed of the panel and of the object, then the reader's.
TEST_F(PipelineTest, WarningsAreWordedOnce) {
    ImportRequest keyhole = FromBytes("keyhole.rk4", OSTREL_TEST_DATA_DIR "/../rulebook");
    keyhole.readWarnings = true;
    const ImportOutcome a = RunImport(keyhole);
    EXPECT_EQ(a.counts.revisiting, 1u);
    EXPECT_EQ(a.warningLines,
              std::vector<std::string>{"keyhole.rk4: 1 polygon runs through a point "
                                       "more than once (a keyhole, or two loops in "
                                       "one face)"});
    ImportRequest unpanelled = FromBytes("cube.rk4");
    unpanelled.panel.noPanel = true;
    unpanelled.panel.edits.scale = 2;
    unpanelled.panel.edits.name = "box";
    unpanelled.shownName = "-";
    unpanelled.readWarnings = true;
    unpanelled.modelBytes = "ROKU4\r\nPOINT\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n2\r\n3\r\n";
    const ImportOutcome b = RunImport(unpanelled);
    EXPECT_EQ(b.warningLines,
              (std::vector<std::string>{"the plug-in opened no panel: scale, name not applied",
                                        "-:10: the file ends inside the point section (no "
                                        "\"LINE0\" line)"}));
    EXPECT_EQ(b.readerWarningLines, 1u);
}

// Polygons without vertices are counted apart from the others, once.
TEST_F(PipelineTest, CountsKeepEmptyPolygonsApart) {
    ImportRequest request = FromBytes("mixed.rk4", OSTREL_TEST_DATA_DIR);
    request.panel.edits.loadTarget = 2;
    const ImportOutcome outcome = RunImport(request);
    ASSERT_EQ(outcome.result, ImportResult::Loaded) << outcome.reason;
    EXPECT_EQ(outcome.counts.polygons + outcome.counts.dropped, outcome.received.polygonCount);
    EXPECT_EQ(outcome.counts.dropped, 1u);
    EXPECT_EQ(outcome.counts.polygons, 4u);
}

// A front end's own panel: the handler sees the panel and answers for the
// user.
TEST_F(PipelineTest, HandlerAnswersForTheUser) {
    ImportRequest request = FromBytes("cube.rk4");
    request.panel.handler.open = [](void*, PanelModel& panel, int32_t proposed) {
        return panel.controls.size() == 10 && proposed == 1 ? 0 : 1;
    };
    EXPECT_EQ(RunImport(request).result, ImportResult::Cancelled);
}

// Every import in another program lists the object under the model's name
// (not "object", "object.001", ...); a Shift-JIS name is decoded.
TEST_F(PipelineTest, TheObjectIsNamedAfterTheModel) {
    ImportRequest request = FromBytes("cube.rk4");
    request.format = ExportFormat::Glb;
    request.outputName = "out.glb";
    ImportOutcome outcome = RunImport(request);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_NE(outcome.files[0].bytes.find("\"nodes\":[{\"mesh\":0,\"name\":\"cube\"}]"),
              std::string::npos);
    request.modelName = "\x89\xc6.rk4"; // 家 in Shift-JIS
    outcome = RunImport(request);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_NE(outcome.files[0].bytes.find("\"name\":\"\xe5\xae\xb6\"}]"), std::string::npos);
}

// The host numbers points in 16 bits: a model of 65,537 points whose last
// two faces reach point 65,537. What the host receives (the trace, a count
// only) lacks them, and says so once; every output and kept object, made
// through the converter's own build of the plug-in, holds them, also when
// a trace is written beside it, with the panel answered as the user did.
TEST_F(PipelineTest, ModelsPastTheHostsPointNumbersConvertWhole) {
    std::string text = "ROKU4\nPOINT\n";
    for (int32_t p = 0; p < 65537; ++p)
        text += "0\n0\n0\n0\n0\n" + std::to_string(p % 7) + "\n" + std::to_string(p % 5) + "\n" +
                std::to_string(p % 3) + "\n";
    text += "LINE0\n65535\n65536\n0\n0\n65536\n65537\n0\n0\n"
            "1\n2\n0\n0\n2\n65537\n0\n0\n65537\n1\n0\n0\n"
            "FACE0\n1\n0\n0\n1\n1\n1\n0\n2\n3\n2\n0\n3\n4\n5\nEND00\n";
    LinkedWideModule wide;
    ASSERT_TRUE(wide.started) << wide.error;
    ImportRequest request;
    request.module = &linked_.module;
    request.converter = &wide.module;
    request.modelName = "big.rk4";
    request.modelBytes = text;
    request.readWarnings = true;
    request.panel.edits.loadTarget = 2; // lines and faces

    const ImportOutcome counted = RunImport(request);
    ASSERT_EQ(counted.result, ImportResult::Loaded) << counted.reason;
    EXPECT_EQ(counted.counts.polygons, 1u);
    EXPECT_EQ(WarningLines(counted.readWarnings, "big.rk4"),
              (std::vector<std::string>{
                  "big.rk4: 2 faces not sent to the host: the host numbers points in 16 bits, up "
                  "to 65536, and they use points past that (an output file holds every face)"}));

    request.format = ExportFormat::Obj;
    const ImportOutcome converted = RunImport(request);
    ASSERT_EQ(converted.result, ImportResult::Loaded) << converted.reason;
    EXPECT_EQ(converted.counts.polygons, 3u);
    EXPECT_EQ(converted.readWarnings.Total(), 0u);
    ASSERT_EQ(converted.files.size(), 2u);
    EXPECT_NE(converted.files[1].bytes.find("\nl 65536 65537\n"), std::string::npos);

    request.traceText = true;
    request.panel.handler.open = [](void*, PanelModel& panel, int32_t) {
        SetControlValue(*RoleControl(panel, ResolvePanelRoles(panel), PanelRole::Scale),
                        FloatValue(2));
        return 1;
    };
    const ImportOutcome traced = RunImport(request);
    ASSERT_EQ(traced.result, ImportResult::Loaded) << traced.reason;
    EXPECT_EQ(traced.trace.find("addPolygon 2 1 65534 65535\n"), traced.trace.rfind("addPolygon"));
    EXPECT_EQ(traced.counts.polygons, 3u);
    ASSERT_EQ(traced.files.size(), 2u);
    // Point 65,537, (2, 1, 1), at the scale the user gave.
    const std::string& obj = traced.files[1].bytes;
    const size_t last = obj.rfind("\nv ");
    EXPECT_EQ(obj.substr(last, obj.find('\n', last + 1) - last), "\nv 4 -2 -2");
}
