// Whole activations against the shared recording host: its import callbacks,
// its global lookup and its panel, with transcripts of the calls.
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
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

// The shared host with transcripts on, for the model at `path`, whose
// surfaces are named after `base` unless the panel names them.
void Transcribe(RecordingHost& host, const std::string& path = "C:\\models\\tri.rok",
                const std::string& base = "tri") {
    host.logCalls = true;
    host.sourcePath = path;
    host.expectedBase = base;
}

int32_t FromMemory(RecordingHost& host, const std::string& text) {
    return RunActivation(host, text.data(), text.size());
}

// What the plug-in set into control `n` before the panel opened, as the
// transcript shows it ("int 1", "float 8", "text 'name' 4"); "unset" if
// nothing.
std::string Initial(const RecordingHost& host, int n) {
    const std::string prefix = "set c" + std::to_string(n) + " " + std::to_string(kAttrValue) + " ";
    std::string value = "unset";
    for (const std::string& entry : host.panelLog) {
        if (entry.rfind("open ", 0) == 0) {
            break;
        }
        if (entry.rfind(prefix, 0) == 0) {
            value = entry.substr(prefix.size());
        }
    }
    return value;
}

const std::vector<std::string> kTriangleCalls = {"start",
                                                 "points 3",
                                                 "point 1: 8 -16 24",
                                                 "point 1: 32 -40 48",
                                                 "point 1: 56 -64 72",
                                                 "surface tri0",
                                                 "polygon 3 tri0",
                                                 "data tri0 60"};

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
        RecordingHost host;
        Transcribe(host, "/no/such/dir/file.rok");
        host.version = version;
        EXPECT_EQ(FromMemory(host, kTriangle), kActivateWrongVersion);
        EXPECT_EQ(RunFileActivation(host), kActivateWrongVersion);
        EXPECT_EQ(host.record.status, kUntouchedStatus);
        EXPECT_EQ(host.globalLookups, 0);
        EXPECT_TRUE(host.calls.empty());
        EXPECT_EQ(host.panelEvents, "");
        EXPECT_EQ(host.firstErrors, "");
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
        RecordingHost host;
        Transcribe(host, c.path);
        EXPECT_EQ(RunFileActivation(host), kActivateHandled);
        EXPECT_EQ(host.record.status, c.status) << c.path;
        EXPECT_EQ(host.globalLookups, 0);
        EXPECT_TRUE(host.calls.empty());
        EXPECT_EQ(host.firstErrors, "") << c.path;
    }
    for (const char* text : {"roku4\nPOINT\n", "", "ROKU"}) {
        RecordingHost host;
        Transcribe(host);
        EXPECT_EQ(FromMemory(host, text), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportNotModelFile);
        EXPECT_EQ(host.globalLookups, 0);
        EXPECT_EQ(host.firstErrors, "");
    }
}

TEST(Activation, MissingPanelServices) {
    RecordingHost host;
    Transcribe(host);
    host.script.action = PanelAction::kMissingGlobal;
    EXPECT_EQ(FromMemory(host, kTriangle), kActivateMissingGlobal);
    EXPECT_EQ(host.record.status, kUntouchedStatus);
    EXPECT_EQ(host.globalLookups, 1); // the host checks it asked for "LWPanelServices"
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.firstErrors, "");
    // The tables were released: the next load starts from empty ones.
    RecordingHost next;
    Transcribe(next);
    next.script.action = PanelAction::kUnavailable;
    EXPECT_EQ(FromMemory(next, kTriangle), kActivateHandled);
    EXPECT_EQ(next.calls, kTriangleCalls);
    EXPECT_EQ(next.firstErrors, "");
}

TEST(Activation, PanelOutcomes) {
    {
        RecordingHost host;
        Transcribe(host);
        host.script.action = PanelAction::kCancel;
        EXPECT_EQ(FromMemory(host, kTriangle), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportCancelled);
        EXPECT_EQ(host.panelEvents, "cod");
        EXPECT_TRUE(host.calls.empty());
        EXPECT_EQ(host.firstErrors, "");
    }
    {
        // No panel: built at once with the initial options.
        RecordingHost host;
        Transcribe(host);
        host.script.action = PanelAction::kUnavailable;
        EXPECT_EQ(FromMemory(host, kTriangle), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportLoaded);
        EXPECT_EQ(host.panelEvents, "c");
        EXPECT_EQ(host.calls, kTriangleCalls);
        EXPECT_EQ(host.firstErrors, "");
    }
    {
        // Confirmed: built with the values read back, where the user picked
        // scale 2 and the name "Picked".
        RecordingHost host;
        Transcribe(host);
        host.script.setScale = true;
        host.script.scale = 2.0;
        host.script.baseName = "Picked";
        EXPECT_EQ(FromMemory(host, kTriangle), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportLoaded);
        EXPECT_EQ(host.panelEvents, "cod");
        EXPECT_EQ(host.calls, (std::vector<std::string>{"start", "points 3", "point 1: 2 -4 6",
                                                        "point 1: 8 -10 12", "point 1: 14 -16 18",
                                                        "surface Picked0", "polygon 3 Picked0",
                                                        "data Picked0 60"}));
        EXPECT_EQ(host.firstErrors, "");
    }
}

TEST(Activation, ReadsTheNamedFile) {
    TempDir dir;
    const std::string path = dir.Write("tri.rok", kTriangle);
    RecordingHost host;
    Transcribe(host, path);
    host.script.action = PanelAction::kUnavailable;
    EXPECT_EQ(RunFileActivation(host), kActivateHandled);
    EXPECT_EQ(host.record.status, kImportLoaded);
    EXPECT_EQ(host.calls, kTriangleCalls);
    EXPECT_EQ(host.firstErrors, "");
}

TEST(Activation, InitialOptions) {
    const struct {
        const char* text;
        const char* loadTarget;
        const char* colourSet;
        const char* doubleSided;
    } cases[] = {
        {kTriangle, "int 1", "int 1", "int 1"},
        {kLinesOnly, "int 0", "int 0", "int 0"},
        {kViewMinusOne, "int 2", "int 1", "int 0"}, // -1 is taken as both
    };
    for (const auto& c : cases) {
        RecordingHost host;
        Transcribe(host, "D:dir.x\\Model.v2.rok", "Model.v2");
        host.script.action = PanelAction::kCancel;
        ASSERT_EQ(FromMemory(host, c.text), kActivateHandled);
        ASSERT_EQ(host.controlCount, 10u);
        EXPECT_EQ(Initial(host, 2), c.loadTarget);
        EXPECT_EQ(Initial(host, 3), c.colourSet);
        EXPECT_EQ(Initial(host, 4), "float 8");
        EXPECT_EQ(Initial(host, 5), "text 'Model.v2' 8");
        EXPECT_EQ(Initial(host, 7), "int 1");
        EXPECT_EQ(Initial(host, 8), "float 44.5");
        EXPECT_EQ(Initial(host, 9), c.doubleSided);
        EXPECT_EQ(host.firstErrors, "");
    }
}
