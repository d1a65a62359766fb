// The plug-in shell: module descriptor, activation, import options and the
// options panel. Translates between the host's records (host/HostApi.h) and
// the core (model/, mesh/). No exception leaves any function here.
#pragma once

#include "host/HostApi.h"
#include "model/Model.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kBaseNameCapacity = 256; // 255 bytes and the NUL

struct ImportOptions {
    int32_t loadTarget; // 0 lines only, 1 faces only, 2 both
    char surfaceBaseName[kBaseNameCapacity];
    int32_t smooth;
    double smoothingAngle; // degrees
    int32_t colourSet;     // 0 bright, 1 middle, 2 dark
    double scale;
    int32_t doubleSided;
};

// The surface base name from a path: drive prefix dropped, the part after the
// last '/' or '\', up to the last '.' if that lies within it, at most 255
// bytes. `isLeadByte` tells which bytes start a double-byte character (whose
// second byte is then never a separator or dot); null means none do.
using LeadBytePredicate = bool (*)(unsigned char byte);
void DeriveBaseName(const char* path, LeadBytePredicate isLeadByte, char* out /* 256 bytes */);
// The predicate of this build: the system's ANSI code page on Windows, none
// elsewhere (paths are UTF-8).
LeadBytePredicate SystemLeadBytePredicate();
// The code page of the plug-in's own text (its panel's labels): Shift-JIS.
constexpr uint32_t kPluginCodePage = 932;
// The lead bytes of the double-byte code pages 932, 936, 949 and 950; null
// for any other (a single-byte code page has none).
LeadBytePredicate CodePageLeadBytePredicate(uint32_t codePage);
// How the plug-in scans `path` for its base name, as Windows cuts it: on
// Windows in the system's code page (`codePage` 0, the host's module) or in
// `codePage`; elsewhere a name that is valid UTF-8 byte by byte, and one that
// is not (a Shift-JIS name copied from Windows) in `codePage`, 0 meaning 932,
// the plug-in's own text's.
LeadBytePredicate BaseNameLeadBytes(const char* path, uint32_t codePage);

enum PanelOutcome : int32_t {
    kPanelConfirmed = 0,
    kPanelCancelled = 1,
    kPanelUnavailable = 2,
};

// The statistics line: "%d pts / %d/%d lines / %d faces". Its buffer holds
// any four 32-bit counts.
constexpr size_t kSummaryCapacity = 96;
void FormatSummary(const ModelTables& tables, char* out /* kSummaryCapacity */);

// The statistics line and the one-line list the panel's first text control
// shows it through, which must outlive the panel.
struct SummaryText {
    char text[kSummaryCapacity];
    const char* lines[2];
};

// The module's own, which lives as long as the module.
SummaryText& ModuleSummaryText();

// The panel, its statistics line in the module's own SummaryText.
PanelOutcome ShowOptionsPanel(PanelServices* services, GlobalLookupFn globalLookup,
                              ImportOptions& options, const ModelTables& tables);
// The same with the line in `summaryText`: the converter's build keeps one
// per activation, so that its imports can run at once.
PanelOutcome ShowOptionsPanel(PanelServices* services, GlobalLookupFn globalLookup,
                              ImportOptions& options, const ModelTables& tables,
                              SummaryText& summaryText);

// The activation entry. `record` is the host's ImportRecord.
extern "C" int32_t ActivateImport(int32_t version, GlobalLookupFn globalLookup, void* record);
extern "C" int32_t ModuleStartup(void);
extern "C" void ModuleShutdown(void* ignored);

// The same activation with the model read from memory instead of the file
// named in the record (whose path still gives the base name): for fuzzing
// and tests that run without files.
int32_t ActivateImportFromMemory(int32_t version, GlobalLookupFn globalLookup, ImportRecord* record,
                                 const void* data, size_t size);

// The converter's activation entry (ActivateWide.cpp, reached through
// `ostrel_wide_descrip`): the same steps for a WideImportRecord, every face
// sent with 32-bit point numbers, the model from the record's bytes or its
// file, the reader's notices to the record's observer. It keeps nothing in
// globals, so activations may run at once on different threads.
extern "C" int32_t ActivateWideImport(int32_t version, GlobalLookupFn globalLookup, void* record);
