// The plug-in linked into the test program (ostrel_linked_module): its
// descriptor, started as the host starts a module, without a module file.
#pragma once

#include "host/HostApi.h"
#include "standin/ModuleLoader.h"

#include <string>

extern "C" const ModuleDescriptor _mod_descrip;
extern "C" const ModuleDescriptor ostrel_wide_descrip; // ostrel_wide_module

// A started module whose descriptor is the linked one (with `wide`, the
// converter's own build); UnloadModule shuts it down again.
template <bool wide = false> struct LinkedModuleOf {
    LoadedModule module;
    std::string error;
    bool started = wide ? StartWideModule(&ostrel_wide_descrip, module, error)
                        : StartLinkedModule(&_mod_descrip, module, error);
    LinkedModuleOf() = default;
    LinkedModuleOf(const LinkedModuleOf&) = delete;
    LinkedModuleOf& operator=(const LinkedModuleOf&) = delete;
    ~LinkedModuleOf() { UnloadModule(module); }
};
using LinkedModule = LinkedModuleOf<false>;
using LinkedWideModule = LinkedModuleOf<true>;
