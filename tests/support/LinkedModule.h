// The plug-in linked into the test program (ostrel_linked_module): its
// descriptor, started as the host starts a module, without a module file.
#pragma once

#include "host/HostApi.h"
#include "standin/ModuleLoader.h"

#include <string>

extern "C" const ModuleDescriptor _mod_descrip;

// A started module whose descriptor is the linked one; UnloadModule shuts
// it down again.
struct LinkedModule {
    LoadedModule module;
    std::string error;
    bool started = StartLinkedModule(&_mod_descrip, module, error);
    LinkedModule() = default;
    LinkedModule(const LinkedModule&) = delete;
    LinkedModule& operator=(const LinkedModule&) = delete;
    ~LinkedModule() { UnloadModule(module); }
};
