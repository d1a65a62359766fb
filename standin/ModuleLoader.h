// Loads the plug-in module as the host does: the system's loader, the exported
// descriptor `_mod_descrip`, its checks, the server list, the start-up and
// shut-down entries.
#pragma once

#include "host/HostApi.h"

#include <cstdint>
#include <string>

struct LoadedModule {
    void* handle = nullptr; // from OpenModuleFile
    std::string path;
    const ModuleDescriptor* descriptor = nullptr;
    ActivateFn activate = nullptr; // the "ObjectLoader" server "Ostrel"
    int32_t startupToken = 0;
    bool started = false;
};

// The default module path: "ostrel.p" in the folder of the running executable.
std::string DefaultModulePath();

// Checks a descriptor and finds the server of class `className` named
// `serverName`. On failure returns false with `error` set (one phrase, e.g.
// "bad sync word 0x12345678 (expected 0x04121994)").
bool CheckDescriptor(const ModuleDescriptor* descriptor, const char* className,
                     const char* serverName, ActivateFn& activate, std::string& error);

// Opening + descriptor checks + server lookup + start-up call. On failure the
// module is closed again and `error` says why.
bool LoadModule(const std::string& path, LoadedModule& module, std::string& error);

// Calls the shut-down entry (if started) and closes the module.
void UnloadModule(LoadedModule& module);
