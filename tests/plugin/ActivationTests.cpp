// The activation against a recording host: its import callbacks, its global
// lookup and a small panel that echoes what it was given.
#include "plugin/Plugin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
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

constexpr int32_t kSentinel = 77;

struct EchoControl {
    PanelControl base;
    int index;
    ControlValue last; // what was set as the value
    std::string text;
};

struct Host {
    ImportRecord record{};
    std::vector<std::string> calls;   // import callbacks, in order
    std::vector<std::string> lookups; // global names asked for
    std::string events;               // panel: 'c' create, 'o' open, 'd' destroy
    bool hasPanelServices = true;
    bool panelFails = false;
    int32_t openResult = 1;
    PanelServices services{};
    DrawingTable drawing{};
    DisplayInfo display{640, 480, {}};
    std::deque<EchoControl> controls;
    char token = 0;

    Host(const char* path = "C:\\models\\tri.rok");
    // The value set into control `n` before the panel opened.
    std::string Initial(int n) const;
};

Host* gHost = nullptr;

Host& Self(void* hostData) {
    EXPECT_EQ(hostData, gHost);
    return *gHost;
}
std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

int32_t StartObject(void* h, void* zero) {
    EXPECT_EQ(zero, nullptr);
    Self(h).calls.push_back("start");
    return 0;
}
int32_t DeclarePoints(void* h, int32_t count) {
    Self(h).calls.push_back("points " + std::to_string(count));
    return 0;
}
int32_t AddPoints(void* h, int32_t count, const float* xyz) {
    Self(h).calls.push_back("point " + std::to_string(count) + ": " + Num(xyz[0]) + " " +
                            Num(xyz[1]) + " " + Num(xyz[2]));
    return 0;
}
int32_t LookupSurface(void* h, const char* name, void*) {
    Self(h).calls.push_back(std::string("surface ") + name);
    return 5;
}
int32_t AddPolygon(void* h, int32_t count, int32_t surface, void*, const uint16_t*) {
    Self(h).calls.push_back("polygon " + std::to_string(count) + " " + std::to_string(surface));
    return 0;
}
int32_t StoreData(void* h, const char* name, int32_t bytes, const void*) {
    Self(h).calls.push_back(std::string("data ") + name + " " + std::to_string(bytes));
    return 0;
}

void* GlobalLookup(const char* name, void* zero) {
    EXPECT_EQ(zero, nullptr);
    gHost->lookups.push_back(name);
    return gHost->hasPanelServices ? &gHost->services : nullptr;
}

PanelHandle CreatePanel(const char*, PanelServices*) {
    gHost->events += 'c';
    return gHost->panelFails ? nullptr : &gHost->token;
}
void DestroyPanel(PanelHandle) {
    gHost->events += 'd';
}
int32_t OpenPanel(PanelHandle, int32_t) {
    gHost->events += 'o';
    return gHost->openResult;
}
void PanelAttribute(PanelHandle, int32_t, int32_t* value) {
    *value = 100;
}
void SetPanelAttribute(PanelHandle, int32_t, int32_t*) {}
void SetControl(PanelControl* c, int32_t attribute, ControlValue* v) {
    EchoControl& control = *reinterpret_cast<EchoControl*>(c);
    if (attribute == kAttrValue) {
        control.last = *v;
        control.text = v->type == kValueText ? std::string(v->text) : "";
    }
}
// Gives back what was set, except that the user picks scale 2 and the
// name "Picked".
void GetControl(PanelControl* c, int32_t attribute, ControlValue* v) {
    const EchoControl& control = *reinterpret_cast<EchoControl*>(c);
    if (attribute != kAttrValue) {
        v->intValue = 10;
    } else if (v->type == kValueText) {
        std::snprintf(v->text, static_cast<size_t>(v->textLength), "Picked");
    } else if (v->type == kValueFloat) {
        v->floatValue = control.index == 4 ? 2.0 : control.last.floatValue;
    } else {
        v->intValue = control.last.intValue;
    }
}
PanelControl* CreateControl(PanelHandle, const char*, ControlDescription*, const char*) {
    gHost->controls.push_back(EchoControl{
        {nullptr, &GetControl, &SetControl}, static_cast<int>(gHost->controls.size()) + 1, {}, {}});
    return &gHost->controls.back().base;
}
DisplayInfo* DisplayInformation() {
    return &gHost->display;
}

Host::Host(const char* path) {
    record.status = kSentinel;
    record.sourcePath = path;
    record.hostData = this;
    record.startObject = &StartObject;
    record.declarePointCount = &DeclarePoints;
    record.addPoints = &AddPoints;
    record.lookupSurface = &LookupSurface;
    record.addPolygon = &AddPolygon;
    record.storeSurfaceData = &StoreData;
    services.createPanel = &CreatePanel;
    services.destroyPanel = &DestroyPanel;
    services.openPanel = &OpenPanel;
    services.getPanelAttribute = &PanelAttribute;
    services.setPanelAttribute = &SetPanelAttribute;
    services.createControl = &CreateControl;
    services.drawingTable = &drawing;
    drawing.getDisplayInfo = &DisplayInformation;
    gHost = this;
}

std::string Host::Initial(int n) const {
    const EchoControl& c = controls.at(static_cast<size_t>(n - 1));
    switch (c.last.type) {
    case kValueInt:
        return std::to_string(c.last.intValue);
    case kValueFloat:
        return Num(c.last.floatValue);
    case kValueText:
        return c.text;
    }
    return "unset";
}

int32_t FromMemory(Host& host, const std::string& text, int32_t version = 1) {
    return ActivateImportFromMemory(version, &GlobalLookup, &host.record, text.data(), text.size());
}

const std::vector<std::string> kTriangleCalls = {
    "start",        "points 3",    "point 1: 8 -16 24", "point 1: 32 -40 48", "point 1: 56 -64 72",
    "surface tri0", "polygon 3 5", "data tri0 60"};

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
        Host host("/no/such/dir/file.rok");
        EXPECT_EQ(FromMemory(host, kTriangle, version), kActivateWrongVersion);
        EXPECT_EQ(ActivateImport(version, &GlobalLookup, &host.record), kActivateWrongVersion);
        EXPECT_EQ(host.record.status, kSentinel);
        EXPECT_TRUE(host.lookups.empty());
        EXPECT_TRUE(host.calls.empty());
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
        Host host(c.path.c_str());
        EXPECT_EQ(ActivateImport(1, &GlobalLookup, &host.record), kActivateHandled);
        EXPECT_EQ(host.record.status, c.status) << c.path;
        EXPECT_TRUE(host.lookups.empty());
        EXPECT_TRUE(host.calls.empty());
    }
    for (const char* text : {"roku4\nPOINT\n", "", "ROKU"}) {
        Host host;
        EXPECT_EQ(FromMemory(host, text), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportNotModelFile);
        EXPECT_TRUE(host.lookups.empty());
    }
}

TEST(Activation, MissingPanelServices) {
    Host host;
    host.hasPanelServices = false;
    EXPECT_EQ(FromMemory(host, kTriangle), kActivateMissingGlobal);
    EXPECT_EQ(host.record.status, kSentinel);
    EXPECT_EQ(host.lookups, std::vector<std::string>{"LWPanelServices"});
    EXPECT_TRUE(host.calls.empty());
    // The tables were released: the next load starts from empty ones.
    Host next;
    next.panelFails = true;
    EXPECT_EQ(FromMemory(next, kTriangle), kActivateHandled);
    EXPECT_EQ(next.calls, kTriangleCalls);
}

TEST(Activation, PanelOutcomes) {
    {
        Host host;
        host.openResult = 0;
        EXPECT_EQ(FromMemory(host, kTriangle), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportCancelled);
        EXPECT_EQ(host.events, "cod");
        EXPECT_TRUE(host.calls.empty());
    }
    {
        // No panel: built at once with the initial options.
        Host host;
        host.panelFails = true;
        EXPECT_EQ(FromMemory(host, kTriangle), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportLoaded);
        EXPECT_EQ(host.events, "c");
        EXPECT_EQ(host.calls, kTriangleCalls);
    }
    {
        // Confirmed: built with the values read back.
        Host host;
        EXPECT_EQ(FromMemory(host, kTriangle), kActivateHandled);
        EXPECT_EQ(host.record.status, kImportLoaded);
        EXPECT_EQ(host.events, "cod");
        EXPECT_EQ(host.calls,
                  (std::vector<std::string>{"start", "points 3", "point 1: 2 -4 6",
                                            "point 1: 8 -10 12", "point 1: 14 -16 18",
                                            "surface Picked0", "polygon 3 5", "data Picked0 60"}));
    }
}

TEST(Activation, ReadsTheNamedFile) {
    TempDir dir;
    const std::string path = dir.Write("tri.rok", kTriangle);
    Host host(path.c_str());
    host.panelFails = true;
    EXPECT_EQ(ActivateImport(1, &GlobalLookup, &host.record), kActivateHandled);
    EXPECT_EQ(host.record.status, kImportLoaded);
    EXPECT_EQ(host.calls, kTriangleCalls);
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
        Host host("D:dir.x\\Model.v2.rok");
        host.openResult = 0;
        ASSERT_EQ(FromMemory(host, c.text), kActivateHandled);
        ASSERT_EQ(host.controls.size(), 10u);
        EXPECT_EQ(host.Initial(2), c.loadTarget);
        EXPECT_EQ(host.Initial(3), c.colourSet);
        EXPECT_EQ(host.Initial(4), "8");
        EXPECT_EQ(host.Initial(5), "Model.v2");
        EXPECT_EQ(host.Initial(7), "1");
        EXPECT_EQ(host.Initial(8), "44.5");
        EXPECT_EQ(host.Initial(9), c.doubleSided);
    }
}
