// One import as the host runs it: the model handed to the plug-in (as its
// path, or as bytes staged in a file of the same name; the converter's own
// build takes the bytes themselves), the import record
// and the global lookup, the panel services answering as told, the
// activation, and everything the host kept from it.
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

// An activation entry that reads the model from memory rather than from
// the record's file (whose path still gives the surface names): the
// plug-in's own, for tests and fuzzing that run without files.
using MemoryActivateFn = int32_t (*)(int32_t version, GlobalLookupFn globalLookup,
                                     ImportRecord* record, const void* data, size_t size);

struct ActivationRequest {
    const LoadedModule* module = nullptr; // started (ModuleLoader.h)
    // Instead of the module's entry: `modelBytes` read where they are,
    // unstaged (`module` may then be null).
    MemoryActivateFn activateFromMemory = nullptr;
    // Every promise the plug-in makes the host checked as the calls come
    // (HostChecks.h), and the outcome at the end; null: none.
    HostChecks* checks = nullptr;
    // The model file as the import record names it. With `modelBytes` only
    // its name counts (the plug-in derives the surface names from it): the
    // bytes are put in a file of that name in a scratch folder of their own,
    // which is removed afterwards.
    std::string modelPath;
    std::optional<std::string_view> modelBytes;
    int32_t version = 1; // passed to the activation entry
    PanelBehaviour panel;
    Trace* trace = nullptr;
    bool keepGeometry = true; // false: points and polygons counted, not kept
    // For the converter's own build (LoadedModule::wide), which reads the
    // bytes where they are, rather than from a staged file: whom its reader
    // tells what it leaves out (null: nobody).
    const ReadObserver* readObserver = nullptr;
    // For the converter's own build: the code page of a model name that is
    // not UTF-8 (WideImportRecord::codePage); 0: the plug-in's own rule.
    unsigned codePage = 0;
};

struct ActivationOutcome {
    int32_t result = 0;
    int32_t status = 0; // kStatusUnwritten when the plug-in wrote none
    ReceivedModel received;
    std::string hostFailure; // a host callback failed: which, and why
    // The model's bytes could not be put in a file for the plug-in: why. The
    // plug-in was not activated then.
    std::string stagingFailure;
    // When the status says the model could not be read: why, as the system
    // sees it.
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
