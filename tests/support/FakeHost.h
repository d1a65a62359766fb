// A host that records one activation and checks, call by call, everything the
// plug-in promises the host: the call order, point numbers within what was
// sent, surface values that came from lookupSurface, well-formed attribute
// blocks, a balanced panel, and a status that agrees with what happened.
//
// Checking is streaming: memory stays constant however many calls arrive, so
// the same host serves the fuzzers, the replay and the resource-bound tests.
// Nothing here uses a test framework; a broken promise is reported as text.
// The callbacks and their checks are in FakeHost.cpp (import calls, running)
// and FakeHostPanel.cpp (panel services, global lookup), which every program
// that uses this host compiles.
#pragma once

#include "host/HostApi.h"
#include "mesh/Mesh.h"
#include "plugin/Plugin.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Non-zero while a host callback runs. Allocation-counting tests leave the
// host's own allocations out of the plug-in's account with it.
inline int gHostCallDepth = 0;

struct HostCallScope {
    HostCallScope() { ++gHostCallDepth; }
    ~HostCallScope() { --gHostCallDepth; }
    HostCallScope(const HostCallScope&) = delete;
    HostCallScope& operator=(const HostCallScope&) = delete;
};

// What the user does with the options panel.
enum class PanelAction : int32_t {
    kConfirm,       // confirm, with the edits below
    kCancel,        // cancel
    kUnavailable,   // createPanel returns null
    kMissingGlobal, // "LWPanelServices" is not registered
};

struct PanelScript {
    PanelAction action = PanelAction::kConfirm;
    bool setLoadTarget = false;
    int32_t loadTarget = 2;
    bool setColourSet = false;
    int32_t colourSet = 1;
    bool setScale = false;
    double scale = 8.0;
    bool setAngle = false;
    double smoothingAngle = 44.5;
    bool setSmooth = false;
    int32_t smooth = 1;
    bool setDoubleSided = false;
    int32_t doubleSided = 1;
    const char* baseName = nullptr; // typed into the name field; null keeps it
};

// Derives panel edits from the last byte of a fuzz input (which still stays
// part of the file): bits 0-1 the load target (keep, 0, 1, 2), bits 2-3 the
// colour set (keep, 0, 1, 2), bit 4 a 255-byte base name, bits 5-7 the action
// and scale. Common final bytes (LF, CR, digits) confirm.
PanelScript ScriptFromByte(unsigned char b);

constexpr int32_t kUntouchedStatus = 0x5A5A;
constexpr size_t kMaxHostControls = 16;

struct RecordingHost;

// What createControl hands out: starts like the host's control record.
struct HostControl {
    PanelControl base;
    RecordingHost* host;
    int32_t index; // creation order, from 1
    int32_t kindCode;
    int32_t left, top, width;
    int32_t valueType; // of the last value set; 0 before any
    int32_t intValue;
    double floatValue;
    char text[kBaseNameCapacity];
};

struct HostPanelServices {
    PanelServices services; // first: the plug-in sees only this
    RecordingHost* host;
};

struct RecordingHost {
    enum Phase : int32_t {
        kIdle,
        kStarted,
        kDeclared,
        kPoints,
        kSurfaces,
        kPolygons,
        kBlocks,
    };

    PanelScript script;
    int32_t version = 1; // passed to the activation
    std::string sourcePath = "models/fuzzmodel.rk4";
    std::string expectedBase = "fuzzmodel"; // the name DeriveBaseName gives the path
    bool keepPolygons = false;              // keep every polygon's points (small inputs only)

    // What the panel's host shows: the screen, the panel's size once laid
    // out, and one control placed elsewhere than the usual {10, 20 n, 60}.
    DisplayInfo display{1024, 768, {}};
    int32_t panelWidth = 400;
    int32_t panelHeight = 300;
    struct Place {
        int32_t index = 0; // the control, from 1; 0 moves none
        int32_t left = 0, top = 0, width = 0;
    } moved;

    // Transcripts, for tests that compare whole call sequences; off by
    // default, so that the fuzzers' memory stays constant. Texts are kept as
    // the bytes the plug-in passed.
    bool logCalls = false;
    // "start", "points N", "point 1: X Y Z", "surface NAME",
    // "polygon N NAME" (NAME: the lookup its surface value came from),
    // "data NAME BYTES".
    std::vector<std::string> calls;
    std::string panelEvents; // 'c' createPanel, 'o' openPanel, 'd' destroyPanel
    // Every panel call: "createPanel TITLE self|other", "displayInfo",
    // "control N KIND CODE 'LABEL'" with " lines=COUNT:A,B", " items=A,B
    // zero=Z" or " width=W" by kind, "get cN ATTR int|float|text CAPACITY",
    // "set cN ATTR int V|float V|text 'T' LENGTH", "panel get ATTR",
    // "panel set ATTR V", "open FLAGS", "destroyPanel".
    std::vector<std::string> panelLog;
    std::set<std::pair<int32_t, const ControlValue*>> valueRecords; // (type tag, record)
    const char* nameBuffer = nullptr;            // where the name field was read into
    const char* const* firstTextLines = nullptr; // the first text control's lines

    ImportRecord record{};
    HostPanelServices panel{};
    DrawingTable drawing{};
    HostControl controls[kMaxHostControls]{};
    size_t controlCount = 0;

    Phase phase = kIdle;
    int32_t declaredPoints = -1;
    int64_t pointsSent = 0;
    int64_t polygonsSent = 0;
    int64_t blocksSent = 0;
    int64_t geometryCalls = 0;
    int32_t globalLookups = 0;
    int32_t panelsCreated = 0;
    int32_t panelsDestroyed = 0;
    int32_t panelsOpened = 0;
    bool panelLive = false;
    std::vector<std::string> surfaceNames; // in lookup order (at most 16 in a sound run)
    std::vector<int32_t> surfaceValues;
    std::vector<bool> surfaceStored;
    int32_t lastStoredSurface = -1;
    std::vector<std::vector<uint16_t>> polygons; // with keepPolygons
    std::vector<int32_t> polygonSurfaces;        // with keepPolygons

    int64_t errorCount = 0;
    std::string firstErrors; // the first few, one per line

    RecordingHost() = default;
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    void Fail(const char* what) {
        ++errorCount;
        if (errorCount <= 8) {
            firstErrors += what;
            firstErrors += '\n';
        }
    }
    void Expect(bool ok, const char* what) {
        if (!ok) {
            Fail(what);
        }
    }

    // ------------------------------------------------------- import calls --

    // The host of the activation in progress, checking that the plug-in
    // passed back the record's host data.
    static RecordingHost* From(void* hostData);

    static int32_t StartObject(void* hostData, void* zero);
    static int32_t DeclarePointCount(void* hostData, int32_t count);
    static int32_t AddPoints(void* hostData, int32_t count, const float* xyz);

    // The value for the k-th lookup: distinct in the low 16 bits, the upper
    // half set so that only a sign-extended low half can match.
    static int32_t SurfaceValue(size_t k);
    static int32_t Travelled(int32_t value);
    static int32_t LookupSurface(void* hostData, const char* name, void* zero);
    static int32_t AddPolygon(void* hostData, int32_t vertexCount, int32_t surface, void* zero,
                              const uint16_t* points);
    static void CheckBlock(RecordingHost& h, const unsigned char* b);
    static int32_t StoreSurfaceData(void* hostData, const char* name, int32_t byteCount,
                                    const void* block);

    // -------------------------------------------------------- panel calls --

    static RecordingHost& FromPanel(PanelServices* s);
    static RecordingHost& FromHandle(PanelHandle p);

    static PanelHandle CreatePanel(const char* title, PanelServices* self);
    static void DestroyPanel(PanelHandle p);
    static int32_t OpenPanel(PanelHandle p, int32_t);
    static void GetPanelAttribute(PanelHandle p, int32_t attribute, int32_t* value);
    static void SetPanelAttribute(PanelHandle p, int32_t attribute, int32_t* value);
    static HostControl& Control(PanelControl* c) { return *reinterpret_cast<HostControl*>(c); }

    static void GetControlAttribute(PanelControl* c, int32_t attribute, ControlValue* v);
    static void SetControlAttribute(PanelControl* c, int32_t attribute, ControlValue* v);
    static PanelControl* CreateControl(PanelHandle p, const char* kindName, ControlDescription* d,
                                       const char* label);
    static DisplayInfo* GetDisplayInfo();
    static void* GlobalLookup(const char* name, void* zero);

    // ------------------------------------------------------------ running --

    void Prepare();

    // Checks the end of the activation against what was seen. `failureAllowed`
    // admits status 2 (a run with injected allocation failures).
    void Finish(int32_t result, bool failureAllowed);
};

// The plug-in passes no host data to the global lookup: the running host is
// found through the one activation in progress.
extern RecordingHost* gActiveHost;

// Runs one whole activation of `data` through `host` (already scripted) and
// checks it. Returns the activation's result.
int32_t RunActivation(RecordingHost& host, const void* data, size_t size,
                      bool failureAllowed = false);

// The same with the plug-in reading the file at `host.sourcePath` itself: a
// file that cannot be opened or read is then a sound status 2.
int32_t RunFileActivation(RecordingHost& host);

// Shows the options panel alone through `host`'s panel services, with
// `options` and `tables` as an activation hands them over, and checks that
// the panel is gone afterwards. Returns the panel's outcome.
PanelOutcome RunPanel(RecordingHost& host, ImportOptions& options, const ModelTables& tables);

// The fuzzers' and the replay's entry: one activation of `data` with panel
// edits taken from its last byte. Returns the broken promises, empty if none.
std::string CheckActivation(const unsigned char* data, size_t size);
