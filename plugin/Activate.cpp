// The module's server: start-up, shut-down and the activation entry the host
// calls, over the host's ImportRecord (the steps are in ActivateSteps.h).
#include "plugin/ActivateSteps.h"

namespace {

// The model of the current activation. Activations never overlap (the host
// calls them one at a time on its thread), and every activation leaves the
// tables empty.
ModelTables gTables;

// The module's own: the tables above, the statistics line that lives as
// long as the module, and no observer (the host has none to offer).
Workspace ModuleWorkspace() {
    return {gTables, ModuleSummaryText(), nullptr};
}

} // namespace

extern "C" int32_t ModuleStartup(void) {
    return 4;
}

extern "C" void ModuleShutdown(void*) {}

extern "C" int32_t ActivateImport(int32_t version, GlobalLookupFn globalLookup, void* recordWord) {
    if (version != 1) {
        return kActivateWrongVersion;
    }
    Workspace work = ModuleWorkspace();
    return ActivateFromFile(globalLookup, static_cast<ImportRecord*>(recordWord), work);
}

int32_t ActivateImportFromMemory(int32_t version, GlobalLookupFn globalLookup, ImportRecord* record,
                                 const void* data, size_t size) {
    if (version != 1) {
        return kActivateWrongVersion;
    }
    ByteSource source;
    InitMemorySource(source, data, size);
    Workspace work = ModuleWorkspace();
    return Guarded(globalLookup, record, source, work);
}
