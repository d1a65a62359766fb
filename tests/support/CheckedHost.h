// Whole activations of the plug-in linked into the program through the
// stand-in with every host check on (standin/HostChecks.h), the model read
// from memory by the plug-in's memory entry: for the plug-in's tests, the
// fuzz harnesses, the replay and the bounds tests. What is test-only here is
// the scripting: which answers the panel gives, chosen by a fuzz input's
// last byte.
#pragma once

#include "plugin/Plugin.h"
#include "standin/Activation.h"
#include "standin/HostChecks.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

struct CheckedLoad {
    // The record's path: its base name names the surfaces.
    std::string path = "models/fuzzmodel.rk4";
    PanelBehaviour panel;
    int32_t version = 1;
    bool keepGeometry = false; // points and polygons counted, not kept
    bool traced = false;       // the trace kept in `trace`
    HostChecks checks = [] {
        HostChecks c;
        c.baseName = "fuzzmodel";
        return c;
    }();
    std::string trace;
    ActivationOutcome outcome;
};

// The request for `load` (the caller adds its module or memory entry).
inline ActivationRequest CheckedRequest(CheckedLoad& load, Trace& trace) {
    ActivationRequest request;
    request.modelPath = load.path;
    request.version = load.version;
    request.panel = load.panel;
    request.keepGeometry = load.keepGeometry;
    request.checks = &load.checks;
    trace.text = load.traced ? &load.trace : nullptr;
    request.trace = &trace;
    return request;
}

// One activation of `bytes`; returns its result.
inline int32_t RunChecked(CheckedLoad& load, std::string_view bytes) {
    Trace trace;
    ActivationRequest request = CheckedRequest(load, trace);
    request.activateFromMemory = &ActivateImportFromMemory;
    request.modelBytes = bytes;
    load.outcome = Activate(request);
    return load.outcome.result;
}

// Panel answers from the last byte of a fuzz input (which still stays part
// of the file): bits 0-1 the load target (keep, 0, 1, 2), bits 2-3 the
// colour set (keep, 0, 1, 2), bit 4 a 255-byte base name, bits 5-7 the
// action and scale. Common final bytes (LF, CR, digits) confirm.
inline PanelBehaviour BehaviourFromByte(unsigned char b) {
    PanelBehaviour s;
    if ((b & 3u) != 0)
        s.edits.loadTarget = static_cast<int32_t>(b & 3u) - 1;
    if (((b >> 2) & 3u) != 0)
        s.edits.colourSet = static_cast<int32_t>((b >> 2) & 3u) - 1;
    if ((b & 0x10u) != 0)
        s.edits.name = std::string(255, 'n');
    switch (b >> 5) {
    case 1:
        s.edits.scale = 0.0;
        break;
    case 2:
        s.edits.scale = -1e300;
        break;
    case 3:
        s.edits.scale = std::nan("");
        break;
    case 4:
        s.edits.angle = -1e308;
        break;
    case 5:
        s.noServices = true;
        break;
    case 6:
        s.cancel = true;
        break;
    case 7:
        s.noPanel = true;
        break;
    default:
        break;
    }
    return s;
}

// The fuzzers' and the replay's entry: one activation of `data` with the
// panel's answers taken from its last byte. Returns the broken promises,
// empty if none.
inline std::string CheckActivation(const unsigned char* data, size_t size) {
    CheckedLoad load;
    load.panel = BehaviourFromByte(size > 0 ? data[size - 1] : 0);
    RunChecked(load, std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string& failure = load.outcome.hostFailure;
    return load.checks.firstErrors + (failure.empty() ? "" : failure + "\n");
}
