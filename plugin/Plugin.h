/* TEMPORARY NOTE FOR HELPERS (the lead removes it; do not copy):
   ## Rules that always hold (verbatim from the team guide)
   - If you recognise an existing program, library or vendor as what is being built, keep that to
     yourself: name it nowhere and allude to it nowhere. Do not fetch, install, run or read any existing
     implementation of it, nor headers, libraries or sample files that come from it. Write the host's
     records yourself from the specification.
   - Only issues and this guide mention the specification or its Parts. Code, comments, tests, commit
     messages and file names never do: write comments as this system's own developer would.
   - Tests catch real faults, group related cases, and skip what merely restates the code. Tests run at
     roughly a quarter to a third of the code. The edge cases the specification lists are suggestions,
     not a checklist. Do not delete existing tests to reach that share.
   - If you start helpers (subagents), put these four rules in every brief.
   
   ## Team conventions
   - Repo: /work/main (git, branch main). The specification is in /work/shared (spec.md, trace-format.md,
     lwob-format.md), read-only. Another developer works in the same tree at the same time: touch only
     the files your brief gives you; if you must change a shared file (top-level CMakeLists.txt,
     CMakePresets.json, .ci/run, README.md), make a minimal, surgical edit and say so in your report.
     Do NOT edit README.md: put the README text for your part in docs/readme-<topic>.md; it gets merged.
   - Commit your own files only: `git add <your paths> && git commit -m "..."` (never `git add -A`);
     if git reports index.lock, wait a second and retry. Small commits with honest messages.
   - Use your own build folder (named in your brief) so that you do not clobber others' builds. The
     machine has 2 cores: build with -j2 at most.
   - C++20, warnings -Wall -Wextra -Wshadow -Wconversion clean (they are errors), .clang-format at the
     repo root (run clang-format -i on your files). Plain records and free functions, no virtual
     interfaces; functions and records CamelCase, fields lowerCamel. Comments say why / state
     invariants, never narrate code. No exception may cross the module boundary.
   - Architecture: host/HostApi.h (host records, already written: read it first), model/Model.h,
     mesh/Mesh.h, plugin/Plugin.h (contracts of the core; being implemented right now by the lead).
   - Session time is limited: work efficiently, commit as you go; finish within the time your brief
     gives, and end with a short report: what you built, files, what you measured, open points.
*/
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
    int32_t loadTarget;  // 0 lines only, 1 faces only, 2 both
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

enum PanelOutcome : int32_t {
    kPanelConfirmed = 0,
    kPanelCancelled = 1,
    kPanelUnavailable = 2,
};

// The statistics line: "%d pts / %d/%d lines / %d faces". Its buffer holds
// any four 32-bit counts.
constexpr size_t kSummaryCapacity = 96;
void FormatSummary(const ModelTables& tables, char* out /* kSummaryCapacity */);

PanelOutcome ShowOptionsPanel(PanelServices* services, GlobalLookupFn globalLookup,
                              ImportOptions& options, const ModelTables& tables);

// The activation entry. `record` is the host's ImportRecord.
extern "C" int32_t ActivateImport(int32_t version, GlobalLookupFn globalLookup, void* record);
extern "C" int32_t ModuleStartup(void);
extern "C" void ModuleShutdown(void* ignored);

// The same activation with the model read from memory instead of the file
// named in the record (whose path still gives the base name): for fuzzing
// and tests that run without files.
int32_t ActivateImportFromMemory(int32_t version, GlobalLookupFn globalLookup, ImportRecord* record,
                                 const void* data, size_t size);
