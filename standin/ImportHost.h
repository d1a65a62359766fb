// The host side of one load: the ImportRecord with its callbacks, the global
// lookup, and the trace of both. What the callbacks receive is copied into a
// ReceivedModel (standin/Received.h).
#pragma once

#include "host/HostApi.h"
#include "standin/PanelServices.h"
#include "standin/Received.h"
#include "standin/Trace.h"

#include <cstdint>
#include <string>

// Preset into ImportRecord::status so that a write by the plug-in shows.
constexpr int32_t kStatusUnwritten = INT32_MIN;

struct HostChecks;

struct ImportHost {
    Trace* trace = nullptr;
    HostChecks* checks = nullptr; // the promises checked as the calls come; null: none
    ReceivedModel received;
    PanelHost* panelHost = nullptr; // answers "LWPanelServices"; null = not available
    std::string failure;            // set when a callback caught an exception
};

// Makes `host` the one the global lookup answers for. The lookup takes no
// context.
void ImportHostInit(ImportHost& host, Trace* trace, PanelHost* panelHost);
void ImportHostRelease(ImportHost& host);

// A record for loading `path`. Its status is preset to kStatusUnwritten, and
// the untouched words are null. hostData is &host, and every callback is filled
// in. `path` must outlive the activation.
ImportRecord MakeImportRecord(ImportHost& host, const char* path);
// The same for the converter's own build. It gets no bytes and no observer: the
// caller sets them.
WideImportRecord MakeWideImportRecord(ImportHost& host, const char* path);

// The host's global-lookup function (traces the call).
extern "C" void* HostGlobalLookup(const char* name, void* zero);

// Activates `activate` with `record`, of either kind. `statusWord` is the
// record's status. Then writes the outcome lines to the trace: "status N" when
// the status word changed, and "result N". Returns the activation's result.
// `status` receives the status word.
int32_t RunActivation(ActivateFn activate, int32_t version, void* record, int32_t& statusWord,
                      Trace* trace, int32_t& status);
// The outcome lines alone, for an activation called otherwise, such as an entry
// that reads the model from memory. Returns `result`. `status` receives
// `statusWord`.
int32_t TraceOutcome(int32_t result, int32_t statusWord, Trace* trace, int32_t& status);
inline int32_t RunActivation(ActivateFn activate, int32_t version, ImportRecord& record,
                             Trace* trace, int32_t& status) {
    return RunActivation(activate, version, &record, record.status, trace, status);
}
inline int32_t RunActivation(ActivateFn activate, int32_t version, WideImportRecord& record,
                             Trace* trace, int32_t& status) {
    return RunActivation(activate, version, &record, record.status, trace, status);
}
