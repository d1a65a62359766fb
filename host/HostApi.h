// The records and function tables the host defines, as this plug-in uses them.
//
// Every record exchanged with the host is a run of 32-bit words addressed by
// word position; pointers fill one word. On the real target (32-bit x86) each
// field therefore sits at 4 x its word, which the static_asserts at the end
// check. On 64-bit builds (the stand-in host and the tests) pointers are wider
// and the layout differs, but both sides are compiled from this one header, so
// they still agree.
//
// Callbacks use the platform's default C calling convention (cdecl on i386).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// ---------------------------------------------------------------- import ---

// Status word written into ImportRecord::status.
enum ImportStatus : int32_t {
    kImportLoaded = 0,
    kImportNotModelFile = 1,
    kImportOpenFailed = 2,
    kImportCancelled = 3,
};

// Value returned by the activation entry.
enum ActivateResult : int32_t {
    kActivateHandled = 0,       // the outcome is in ImportRecord::status
    kActivateWrongVersion = 1,  // status left as the host set it
    kActivateMissingGlobal = 2, // status left as the host set it
};

using StartObjectFn = int32_t (*)(void* hostData, void* zero);
using DeclarePointCountFn = int32_t (*)(void* hostData, int32_t count);
using AddPointsFn = int32_t (*)(void* hostData, int32_t count, const float* xyz);
using LookupSurfaceFn = int32_t (*)(void* hostData, const char* name, void* zero);
// `surface` carries only the low 16 bits of the lookupSurface value,
// sign-extended; `points` holds `vertexCount` 0-based point numbers.
using AddPolygonFn = int32_t (*)(void* hostData, int32_t vertexCount, int32_t surface, void* zero,
                                 const uint16_t* points);
using StoreSurfaceDataFn = int32_t (*)(void* hostData, const char* name, int32_t byteCount,
                                       const void* block);

// Host-owned, one per load. Words 2-4 and 7 are never touched.
struct ImportRecord {
    int32_t status;                        // word 0: written, an ImportStatus
    const char* sourcePath;                // word 1: read
    void* reserved2;                       // word 2
    void* reserved3;                       // word 3
    void* reserved4;                       // word 4
    void* hostData;                        // word 5: first argument of every callback
    StartObjectFn startObject;             // word 6
    void* reserved7;                       // word 7
    DeclarePointCountFn declarePointCount; // word 8
    AddPointsFn addPoints;                 // word 9
    LookupSurfaceFn lookupSurface;         // word 10
    AddPolygonFn addPolygon;               // word 11
    StoreSurfaceDataFn storeSurfaceData;   // word 12
};

// The host numbers points in 16 bits: a polygon can reach only the first
// 65,536 points sent.
constexpr int32_t kHostPointNumbers = 65536;

// ------------------------------------------------------------ converter ---

// Not a record of the host's: the stand-in's converter imports through a
// second build of the same plug-in code (WideImportRecord's activation,
// reached through `ostrel_wide_descrip`, linked into the stand-in's programs
// and never a module file of its own), so that a model of any size reaches
// its outputs whole. Word for word an ImportRecord, but that addPolygon
// names points in 32 bits, and with three words more: the model's bytes,
// when the import reads them from memory rather than from the file at
// sourcePath (whose name still gives the surface names), what the reader
// leaves out, told as it reads (an observer of the plug-in's reader,
// model/Model.h, which the host simulation hands on without looking in),
// and whether an import that failed ran out of memory.
using AddWidePolygonFn = int32_t (*)(void* hostData, int32_t vertexCount, int32_t surface,
                                     void* zero, const uint32_t* points);
struct ReadObserver;

struct WideImportRecord {
    int32_t status;
    const char* sourcePath;
    void* reserved2;
    void* reserved3;
    void* reserved4;
    void* hostData;
    StartObjectFn startObject;
    void* reserved7;
    DeclarePointCountFn declarePointCount;
    AddPointsFn addPoints;
    LookupSurfaceFn lookupSurface;
    AddWidePolygonFn addPolygon;
    StoreSurfaceDataFn storeSurfaceData;
    const void* sourceBytes; // null: the plug-in opens sourcePath
    size_t sourceSize;
    const ReadObserver* readObserver; // null: nothing is told
    // Written 1 with the status kImportOpenFailed when memory ran out, not
    // the file: the host can then say why.
    int32_t outOfMemory;
    // The code page of a sourcePath that is not UTF-8, in which its base
    // name is cut as Windows cuts it (a double-byte character's second byte
    // is no separator); 0: the plug-in's own rule (the system's on Windows,
    // 932 elsewhere).
    uint32_t codePage;
};

// Returns the host table registered under `name`, or null.
using GlobalLookupFn = void* (*)(const char* name, void* zero);

// ------------------------------------------------------------ descriptor ---

using ActivateFn = int32_t (*)(int32_t version, GlobalLookupFn globalLookup, void* record);
using ModuleStartupFn = int32_t (*)(void);
using ModuleShutdownFn = void (*)(void* ignored);

constexpr uint32_t kModuleSyncWord = 0x04121994u;
constexpr uint32_t kModuleDescriptorVersion = 2u;
constexpr uint32_t kModuleMachineWord = 0x300u;

struct ServerRecord {
    const char* className;
    const char* serverName;
    ActivateFn activate;
};

struct ModuleDescriptor {
    uint32_t syncWord;
    uint32_t descriptorVersion;
    uint32_t machineWord;
    ModuleStartupFn startup;
    ModuleShutdownFn shutdown;
    const ServerRecord* serverList; // ends with a record of three null words
};

// ----------------------------------------------------------------- panel ---

enum PanelAttribute : int32_t {
    kAttrLeft = 0,
    kAttrTop = 1,
    kAttrWidth = 2,
    kAttrHeight = 3,
    kAttrValue = 4,
};

enum ControlKindCode : int32_t {
    kKindEdit = 1,
    kKindFloat = 3,
    kKindBool = 8,
    kKindChoice = 9,
    kKindText = 12,
};

enum ValueType : int32_t {
    kValueText = 1,
    kValueInt = 2,
    kValueFloat = 3,
};

// 40 bytes: type tag at byte 0; integer or text pointer at byte 4; text
// length (set) / capacity (get) or the double at byte 8. Packed to 4 so that
// 64-bit builds keep byte 4 for the pointer as well.
#pragma pack(push, 4)
struct ControlValue {
    int32_t type;
    union {
        int32_t intValue;
        char* text;
    };
    union {
        int32_t textLength;
        double floatValue;
    };
    unsigned char rest[40 - 4 - sizeof(char*) - sizeof(double)];
};
#pragma pack(pop)
static_assert(sizeof(ControlValue) == 40, "ControlValue is 40 bytes");

// Word 0 is the kind code; the host reads only the words listed for the kind:
// TextControl: lines (null-terminated list); ChoiceControl: items (null-
// terminated list) and a zero word; EditControl: the field width.
struct ControlDescription {
    int32_t kindCode;
    union {
        const char* const* lines;
        const char* const* items;
        int32_t fieldWidth;
    };
    intptr_t zero;
};

struct PanelControl;
using GetControlAttributeFn = void (*)(PanelControl* control, int32_t attribute,
                                       ControlValue* value);
using SetControlAttributeFn = void (*)(PanelControl* control, int32_t attribute,
                                       ControlValue* value);

// What createControl returns points at a host record that starts like this.
struct PanelControl {
    void* reserved0;
    GetControlAttributeFn getControlAttribute; // word 1
    SetControlAttributeFn setControlAttribute; // word 2
};

struct DisplayInfo {
    int32_t screenWidth;
    int32_t screenHeight;
    int32_t other[6];
};

using GetDisplayInfoFn = DisplayInfo* (*)(void);

// Host drawing table; word 8 is getDisplayInfo.
struct DrawingTable {
    void* reserved[8];
    GetDisplayInfoFn getDisplayInfo;
};

struct PanelServices;
using PanelHandle = void*;
using CreatePanelFn = PanelHandle (*)(const char* title, PanelServices* self);
using DestroyPanelFn = void (*)(PanelHandle panel);
using OpenPanelFn = int32_t (*)(PanelHandle panel, int32_t flags);
using GetPanelAttributeFn = void (*)(PanelHandle panel, int32_t attribute, int32_t* value);
using SetPanelAttributeFn = void (*)(PanelHandle panel, int32_t attribute, int32_t* value);
using CreateControlFn = PanelControl* (*)(PanelHandle panel, const char* kindName,
                                          ControlDescription* description, const char* label);

// The table returned for the global "LWPanelServices".
struct PanelServices {
    CreatePanelFn createPanel;             // word 0
    DestroyPanelFn destroyPanel;           // word 1
    OpenPanelFn openPanel;                 // word 2
    void* reserved3;                       // word 3
    void* reserved4;                       // word 4
    void* reserved5;                       // word 5
    GetPanelAttributeFn getPanelAttribute; // word 6
    SetPanelAttributeFn setPanelAttribute; // word 7
    CreateControlFn createControl;         // word 8
    void* reserved9;                       // word 9
    DrawingTable* drawingTable;            // word 10 (data)
    void* reserved11;                      // word 11
    GlobalLookupFn globalLookup;           // word 12 (data, written by the plug-in)
};

} // extern "C"

#if UINTPTR_MAX == 0xFFFFFFFFu
// The real host reads these records by word position: with 4-byte pointers
// every field must sit at 4 x its word.
#define OSTREL_WORD(record, field, word)                                                           \
    static_assert(offsetof(record, field) == 4 * (word), #record "." #field " at word " #word)
OSTREL_WORD(ImportRecord, status, 0);
OSTREL_WORD(ImportRecord, sourcePath, 1);
OSTREL_WORD(ImportRecord, hostData, 5);
OSTREL_WORD(ImportRecord, startObject, 6);
OSTREL_WORD(ImportRecord, declarePointCount, 8);
OSTREL_WORD(ImportRecord, addPoints, 9);
OSTREL_WORD(ImportRecord, lookupSurface, 10);
OSTREL_WORD(ImportRecord, addPolygon, 11);
OSTREL_WORD(ImportRecord, storeSurfaceData, 12);
OSTREL_WORD(ModuleDescriptor, syncWord, 0);
OSTREL_WORD(ModuleDescriptor, descriptorVersion, 1);
OSTREL_WORD(ModuleDescriptor, machineWord, 2);
OSTREL_WORD(ModuleDescriptor, startup, 3);
OSTREL_WORD(ModuleDescriptor, shutdown, 4);
OSTREL_WORD(ModuleDescriptor, serverList, 5);
OSTREL_WORD(ServerRecord, className, 0);
OSTREL_WORD(ServerRecord, serverName, 1);
OSTREL_WORD(ServerRecord, activate, 2);
OSTREL_WORD(PanelServices, createPanel, 0);
OSTREL_WORD(PanelServices, destroyPanel, 1);
OSTREL_WORD(PanelServices, openPanel, 2);
OSTREL_WORD(PanelServices, getPanelAttribute, 6);
OSTREL_WORD(PanelServices, setPanelAttribute, 7);
OSTREL_WORD(PanelServices, createControl, 8);
OSTREL_WORD(PanelServices, drawingTable, 10);
OSTREL_WORD(PanelServices, globalLookup, 12);
OSTREL_WORD(PanelControl, getControlAttribute, 1);
OSTREL_WORD(PanelControl, setControlAttribute, 2);
OSTREL_WORD(DrawingTable, getDisplayInfo, 8);
OSTREL_WORD(ControlDescription, kindCode, 0);
OSTREL_WORD(ControlDescription, lines, 1);
OSTREL_WORD(ControlDescription, zero, 2);
OSTREL_WORD(DisplayInfo, screenWidth, 0);
OSTREL_WORD(DisplayInfo, screenHeight, 1);
static_assert(sizeof(DisplayInfo) == 32, "DisplayInfo is eight words");
static_assert(sizeof(ModuleDescriptor) == 24, "descriptor is six words");
static_assert(sizeof(ServerRecord) == 12, "server record is three words");
static_assert(offsetof(ControlValue, intValue) == 4 && offsetof(ControlValue, text) == 4,
              "ControlValue value at byte 4");
static_assert(offsetof(ControlValue, textLength) == 8 && offsetof(ControlValue, floatValue) == 8,
              "ControlValue length/double at byte 8");
#undef OSTREL_WORD
#endif
