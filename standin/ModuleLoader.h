// Obtains the plug-in module as the host does: from a module file through
// the system's loader and its exported descriptor `_mod_descrip`, or from a
// descriptor linked into the program; then the descriptor's checks, the
// server list, the start-up and shut-down entries.
#pragma once

#include "host/HostApi.h"

#include <cstdint>
#include <string>

struct LoadedModule {
    void* handle = nullptr; // from OpenModuleFile; null for a linked descriptor
    std::string path;
    const ModuleDescriptor* descriptor = nullptr;
    ActivateFn activate = nullptr; // the "ObjectLoader" server "Ostrel"
    int32_t startupToken = 0;
    bool started = false;
};

// Checks a descriptor and finds the server of class `className` named
// `serverName`. On failure returns false with `error` set (one phrase, e.g.
// "bad sync word 0x12345678 (expected 0x04121994)").
bool CheckDescriptor(const ModuleDescriptor* descriptor, const char* className,
                     const char* serverName, ActivateFn& activate, std::string& error);

// Opening + descriptor checks + server lookup + start-up call. On failure the
// module is closed again and `error` says why.
bool LoadModule(const std::string& path, LoadedModule& module, std::string& error);

// Checks + server lookup + start-up call for a descriptor linked into the
// program (`&_mod_descrip`). On failure `error` says why.
bool StartLinkedModule(const ModuleDescriptor* descriptor, LoadedModule& module,
                       std::string& error);

// Calls the shut-down entry (if started) and closes the module.
void UnloadModule(LoadedModule& module);
