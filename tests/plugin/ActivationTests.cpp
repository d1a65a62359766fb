// Whole activations through the stand-in with its host checks on: its
// import callbacks, its global lookup and its panel, compared by their trace.
#include "standin/ImportHost.h"
#include "tests/support/CheckedHost.h"
#include "tests/support/LinkedModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A triangle (points 1,2,3 / 4,5,6 / 7,8,9) with one face of colour 0 and a
// palette of one entry: the reader proposes faces only, double-sided.
const char kTriangle[] = "ROKU4\nPOINT\n"
                         "0\n0\n0\n0\n0\n1\n2\n3\n"
                         "0\n0\n0\n0\n0\n4\n5\n6\n"
                         "0\n0\n0\n0\n0\n7\n8\n9\n"
                         "LINE0\n1\n2\n0\n0\n2\n3\n0\n0\n3\n1\n0\n0\n"
                         "FACE0\n3\n0\n0\n1\n2\n3\nEND00\n"
                         "PALC0\n1\nx\n255\n0\n0\n0\n0\n0\nx\nENDP0\n";
// One point and a line from it to itself, listed as a free line: lines only.
const char kLinesOnly[] = "ROKU4\nPOINT\n0\n0\n0\n0\n0\n1\n1\n1\nLINE0\n1\n1\n0\n0\n"
                          "FACE0\nEND00\nLINE2\n1\n0\n5\n0\nENDL2\n";
// The view settings propose load target -1.
const char kViewMinusOne[] = "ROKU4\nPOINT\nLINE0\nFACE0\nEND00\nVIEW0\n0\n1\nENDV0\n";

// A load with its trace kept, for the model at `path`, whose surfaces are
// named after `base` unless the panel names them.
CheckedLoad Transcribed(const std::string& path = "C:\\models\\tri.rok",
                        const std::string& base = "tri") {
    CheckedLoad load;
    load.traced = true;
    load.path = path;
    load.checks.baseName = base;
    return load;
}

// The plug-in's own entry, which opens the record's file.
int32_t FromFile(CheckedLoad& load) {
    LinkedModule linked;
    EXPECT_TRUE(linked.started) << linked.error;
    Trace trace;
    ActivationRequest request = CheckedRequest(load, trace);
    request.module = &linked.module;
    load.checks.openFailureAllowed = true;
    load.outcome = Activate(request);
    return load.outcome.result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The trace's lines from startObject up to the outcome.
std::vector<std::string> GeometryLines(const CheckedLoad& load) {
    std::vector<std::string> lines = Lines(load.trace);
    const auto first = std::find(lines.begin(), lines.end(), StartObjectLine());
    const auto end = std::find_if(first, lines.end(), [](const std::string& l) {
        return l.rfind("status ", 0) == 0 || l.rfind("result ", 0) == 0;
    });
    return std::vector<std::string>(first, end);
}

// The trace's panel lines that create, open and destroy it.
std::vector<std::string> PanelEvents(const CheckedLoad& load) {
    std::vector<std::string> events;
    for (const std::string& line : Lines(load.trace)) {
        for (const char* call : {"createPanel ", "openPanel ", "destroyPanel"}) {
            if (line.rfind(call, 0) == 0)
                events.push_back(line);
        }
    }
    return events;
}

// What the plug-in set into control `n` before the panel opened.
std::string Initial(const CheckedLoad& load, size_t n) {
    const std::optional<PanelModel>& panel = load.outcome.panel;
    return panel && n <= panel->controls.size() ? ValueAsText(panel->controls[n - 1].value)
                                                : "unset";
}

// The triangle's block: colour 255 0 0 halfway to the dark 0 0 0, smooth,
// double-sided, the default angle, specular 10.
const unsigned char kTriangleBlock[60] = {
    0x43, 0x4F, 0x4C, 0x52, 0x00, 0x04, 0x7F, 0x00, 0x00, 0x00, 0x46, 0x4C, 0x41, 0x47, 0x00,
    0x02, 0x01, 0x04, 0x53, 0x4D, 0x41, 0x4E, 0x00, 0x04, 0x3F, 0x46, 0xD3, 0xF2, 0x44, 0x49,
    0x46, 0x46, 0x00, 0x02, 0x01, 0x00, 0x54, 0x52, 0x41, 0x4E, 0x00, 0x02, 0x00, 0x00, 0x53,
    0x50, 0x45, 0x43, 0x00, 0x02, 0x00, 0x0A, 0x47, 0x4C, 0x4F, 0x53, 0x00, 0x02, 0x00, 0x00,
};

// The triangle's calls: its points scaled (Y negated), its surface named
// after `base`, its one face wound 3-2-1.
std::vector<std::string> TriangleLines(const char* base, float scale) {
    const float p[3][3] = {{1, -2, 3}, {4, -5, 6}, {7, -8, 9}};
    std::vector<std::string> lines = {StartObjectLine(), DeclarePointCountLine(3)};
    for (const auto& xyz : p) {
        const float scaled[3] = {scale * xyz[0], scale * xyz[1], scale * xyz[2]};
        lines.push_back(AddPointsLine(1, scaled));
    }
    const std::string name = std::string(base) + "0";
    const uint16_t points[3] = {2, 1, 0};
    lines.push_back(LookupSurfaceLine(name.c_str(), kCheckedSurfaceValueOffset + 1));
    lines.push_back(AddPolygonLine(3, 1, points));
    lines.push_back(StoreSurfaceDataLine(name.c_str(), 60, kTriangleBlock));
    return lines;
}

// A fresh folder for the files of one test, removed with everything in it.
struct TempDir {
    std::string path;
    TempDir() {
        namespace fs = std::filesystem;
        std::error_code error;
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path(error) /
                ("ostrel-activation-" + std::to_string(std::random_device{}()));
            if (fs::create_directory(candidate, error))
                path = candidate.string();
        }
        EXPECT_FALSE(path.empty());
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
        EXPECT_FALSE(error) << error.message();
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string file = path + "/" + name;
        std::FILE* f = std::fopen(file.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return file;
    }
};

} // namespace

TEST(Activation, WrongVersionTouchesNothing) {
    for (int32_t version : {0, 2}) {
        CheckedLoad memory = Transcribed("/no/such/dir/file.rok");
        CheckedLoad file = Transcribed("/no/such/dir/file.rok");
        memory.version = file.version = version;
        EXPECT_EQ(RunChecked(memory, kTriangle), kActivateWrongVersion);
        EXPECT_EQ(FromFile(file), kActivateWrongVersion);
        for (const CheckedLoad* load : {&memory, &file}) {
            EXPECT_EQ(load->outcome.status, kStatusUnwritten);
            EXPECT_EQ(load->checks.globalLookups, 0);
            EXPECT_EQ(Lines(load->trace), std::vector<std::string>{ResultLine(1)});
            EXPECT_EQ(load->checks.firstErrors, "");
        }
    }
}

TEST(Activation, FailuresBeforeThePanel) {
    TempDir dir;
    const std::string notModel = dir.Write("notes.txt", "roku4\nPOINT\n");
    const struct {
        std::string path;
        int32_t status;
    } cases[] = {
        {dir.path + "/missing.rok", kImportOpenFailed},
        {notModel, kImportNotModelFile},
        {dir.path, kImportOpenFailed}, // opens, but cannot be read
    };
    for (const auto& c : cases) {
        CheckedLoad load = Transcribed(c.path);
        EXPECT_EQ(FromFile(load), kActivateHandled);
        EXPECT_EQ(load.outcome.status, c.status) << c.path;
        EXPECT_EQ(load.checks.globalLookups, 0);
        EXPECT_EQ(Lines(load.trace),
                  (std::vector<std::string>{StatusLine(c.status), ResultLine(0)}));
        EXPECT_EQ(load.checks.firstErrors, "") << c.path;
    }
    for (const char* text : {"roku4\nPOINT\n", "", "ROKU"}) {
        CheckedLoad load = Transcribed();
        EXPECT_EQ(RunChecked(load, text), kActivateHandled);
        EXPECT_EQ(load.outcome.status, kImportNotModelFile);
        EXPECT_EQ(load.checks.globalLookups, 0);
        EXPECT_EQ(load.checks.firstErrors, "");
    }
}

TEST(Activation, MissingPanelServices) {
    CheckedLoad load = Transcribed();
    load.panel.noServices = true;
    EXPECT_EQ(RunChecked(load, kTriangle), kActivateMissingGlobal);
    EXPECT_EQ(load.outcome.status, kStatusUnwritten);
    // The host checks it asked for "LWPanelServices".
    EXPECT_EQ(Lines(load.trace), (std::vector<std::string>{
                                     GlobalLookupLine("LWPanelServices", false), ResultLine(2)}));
    EXPECT_EQ(load.checks.firstErrors, "");
    // The tables were released: the next load starts from empty ones.
    CheckedLoad next = Transcribed();
    next.panel.noPanel = true;
    EXPECT_EQ(RunChecked(next, kTriangle), kActivateHandled);
    EXPECT_EQ(GeometryLines(next), TriangleLines("tri", 8));
    EXPECT_EQ(next.checks.firstErrors, "");
}

TEST(Activation, PanelOutcomes) {
    const std::string created = CreatePanelLine("Ostrel 1.4", true);
    {
        CheckedLoad load = Transcribed();
        load.panel.cancel = true;
        EXPECT_EQ(RunChecked(load, kTriangle), kActivateHandled);
        EXPECT_EQ(load.outcome.status, kImportCancelled);
        EXPECT_EQ(PanelEvents(load),
                  (std::vector<std::string>{created, OpenPanelLine(3, 0), DestroyPanelLine()}));
        EXPECT_TRUE(GeometryLines(load).empty());
        EXPECT_EQ(load.checks.firstErrors, "");
    }
    {
        // No panel: built at once with the initial options.
        CheckedLoad load = Transcribed();
        load.panel.noPanel = true;
        EXPECT_EQ(RunChecked(load, kTriangle), kActivateHandled);
        EXPECT_EQ(load.outcome.status, kImportLoaded);
        EXPECT_EQ(PanelEvents(load),
                  std::vector<std::string>{CreatePanelLine("Ostrel 1.4", false)});
        EXPECT_EQ(GeometryLines(load), TriangleLines("tri", 8));
        EXPECT_EQ(load.checks.firstErrors, "");
    }
    {
        // Confirmed: built with the values read back, where the user picked
        // scale 2 and the name "Picked".
        CheckedLoad load = Transcribed();
        load.panel.edits.scale = 2.0;
        load.panel.edits.name = "Picked";
        EXPECT_EQ(RunChecked(load, kTriangle), kActivateHandled);
        EXPECT_EQ(load.outcome.status, kImportLoaded);
        EXPECT_EQ(PanelEvents(load),
                  (std::vector<std::string>{created, OpenPanelLine(3, 1), DestroyPanelLine()}));
        EXPECT_EQ(GeometryLines(load), TriangleLines("Picked", 2));
        EXPECT_EQ(load.checks.firstErrors, "");
    }
}

TEST(Activation, ReadsTheNamedFile) {
    TempDir dir;
    CheckedLoad load = Transcribed(dir.Write("tri.rok", kTriangle));
    load.panel.noPanel = true;
    EXPECT_EQ(FromFile(load), kActivateHandled);
    EXPECT_EQ(load.outcome.status, kImportLoaded);
    EXPECT_EQ(GeometryLines(load), TriangleLines("tri", 8));
    EXPECT_EQ(load.checks.firstErrors, "");
}

TEST(Activation, InitialOptions) {
    const struct {
        const char* text;
        const char* loadTarget;
        const char* colourSet;
        const char* doubleSided;
    } cases[] = {
        {kTriangle, "1", "1", "1"},
        {kLinesOnly, "0", "0", "0"},
        {kViewMinusOne, "2", "1", "0"}, // -1 is taken as both
    };
    for (const auto& c : cases) {
        CheckedLoad load = Transcribed("D:dir.x\\Model.v2.rok", "Model.v2");
        load.panel.cancel = true;
        ASSERT_EQ(RunChecked(load, c.text), kActivateHandled);
        ASSERT_TRUE(load.outcome.panel);
        ASSERT_EQ(load.outcome.panel->controls.size(), 10u);
        EXPECT_EQ(Initial(load, 2), c.loadTarget);
        EXPECT_EQ(Initial(load, 3), c.colourSet);
        EXPECT_EQ(Initial(load, 4), "8");
        EXPECT_EQ(Initial(load, 5), "Model.v2");
        EXPECT_EQ(Initial(load, 7), "1");
        EXPECT_EQ(Initial(load, 8), "44.5");
        EXPECT_EQ(Initial(load, 9), c.doubleSided);
        EXPECT_EQ(load.checks.firstErrors, "");
    }
}
