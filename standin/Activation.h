// One import as the host runs it. The model is handed to the plug-in as its
// path, or as bytes staged in a file of the same name. The converter's own
// build takes the bytes themselves. Then come the import record and the global
// lookup, and the panel services answering as told. Last come the activation,
// and everything the host kept from it.
#pragma once

#include "standin/HostChecks.h"
#include "standin/ModuleLoader.h"
#include "standin/PanelServices.h"
#include "standin/Received.h"
#include "standin/Trace.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An activation entry that reads the model from memory rather than from the
// record's file. The record's path still gives the surface names. It is the
// plug-in's own entry, for tests and fuzzing that run without files.
using MemoryActivateFn = int32_t (*)(int32_t version, GlobalLookupFn globalLookup,
                                     ImportRecord* record, const void* data, size_t size);

struct ActivationRequest {
    const LoadedModule* module = nullptr; // started (ModuleLoader.h)
    // Instead of the module's entry: `modelBytes` read where they are,
    // unstaged. `module` may then be null.
    MemoryActivateFn activateFromMemory = nullptr;
    // The checks of every promise the plug-in makes the host, run as the calls
    // come (HostChecks.h). The outcome is checked at the end. Null checks
    // nothing.
    HostChecks* checks = nullptr;
    // The model file as the import record names it. With `modelBytes`, only its
    // name counts, since the plug-in derives the surface names from it. The
    // bytes are put in a file of that name, in a scratch folder of their own.
    // The folder is removed afterwards.
    std::string modelPath;
    std::optional<std::string_view> modelBytes;
    int32_t version = 1; // passed to the activation entry
    PanelBehaviour panel;
    Trace* trace = nullptr;
    bool keepGeometry = true; // false: points and polygons counted, not kept
    // For the converter's own build (LoadedModule::wide), which reads the bytes
    // where they are rather than from a staged file. Its reader tells this
    // observer what it leaves out. Null tells nobody.
    const ReadObserver* readObserver = nullptr;
    // For the converter's own build: the code page of a model name that is not
    // UTF-8 (WideImportRecord::codePage). 0 means the plug-in's own rule.
    unsigned codePage = 0;
};

struct ActivationOutcome {
    int32_t result = 0;
    int32_t status = 0; // kStatusUnwritten when the plug-in wrote none
    ReceivedModel received;
    std::string hostFailure; // a host callback failed: which, and why
    // Why the model's bytes could not be put in a file for the plug-in. The
    // plug-in was not activated then.
    std::string stagingFailure;
    // Why the model could not be read, as the system sees it, when the status
    // says so.
    std::string readFailure;
    bool outOfMemory = false;                // the converter's build ran out of memory (status 2)
    std::string statistics;                  // the plug-in's statistics line; empty: none
    std::optional<PanelModel> panel;         // the first panel opened, as the plug-in built it
    std::optional<PanelEdits> panelAnswered; // its values when closed, as edits
    std::vector<PanelRole> editsWithoutControl;
    bool panelLeftOpen = false;        // the plug-in did not destroy a panel
    std::vector<std::string> warnings; // panel calls the host could not place
};

ActivationOutcome Activate(const ActivationRequest& request);
