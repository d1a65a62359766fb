// Obtains the plug-in module as the host does. It comes from a module file,
// through the system's loader and its exported descriptor `_mod_descrip`. Or it
// comes from a descriptor linked into the program. Then come the descriptor's
// checks, the server list, and the start-up and shut-down entries.
#pragma once

#include "host/HostApi.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LoadedModule {
    void* handle = nullptr; // from OpenModuleFile; null for a linked descriptor
    std::string path;
    const ModuleDescriptor* descriptor = nullptr;
    ActivateFn activate = nullptr; // the "ObjectLoader" server "Ostrel"
    int32_t startupToken = 0;
    bool started = false;
    // The converter's own build of the plug-in (StartWideModule). Its
    // activation takes a WideImportRecord. It keeps nothing in globals, so its
    // imports may run at once. It may read the model from memory.
    bool wide = false;
};

// Checks a descriptor and finds the server of class `className` named
// `serverName`. On failure returns false with `error` set to one phrase, such
// as "bad sync word 0x12345678 (expected 0x04121994)".
bool CheckDescriptor(const ModuleDescriptor* descriptor, const char* className,
                     const char* serverName, ActivateFn& activate, std::string& error);

// Opening + descriptor checks + server lookup + start-up call. On failure the
// module is closed again and `error` says why.
bool LoadModule(const std::string& path, LoadedModule& module, std::string& error);

// Checks + server lookup + start-up call for a descriptor linked into the
// program (`&_mod_descrip`). On failure `error` says why.
bool StartLinkedModule(const ModuleDescriptor* descriptor, LoadedModule& module,
                       std::string& error);

// The same for the converter's own build, `&ostrel_wide_descrip`.
bool StartWideModule(const ModuleDescriptor* descriptor, LoadedModule& module, std::string& error);

// Calls the shut-down entry (if started) and closes the module.
void UnloadModule(LoadedModule& module);

// More copies of the module file at `path`, each loaded apart, with globals of
// its own. The plug-in keeps the model it reads in globals. So one loaded copy
// imports one model at a time, and several copies let several imports run at
// once.
// Each copy is a file of its own in a scratch folder, since a loader hands out
// the same module again for the same file. Each file is removed again as soon
// as the system allows. On POSIX systems that is right after loading.
struct ModuleCopies {
    std::string folder; // the scratch folder; empty when none was made
    std::vector<std::string> files;
    std::vector<LoadedModule> modules;
};

// Loads up to `count` copies into `copies`, as many as could be made. A copy
// that cannot be made is no error: the imports then take turns.
void LoadModuleCopies(const std::string& path, size_t count, ModuleCopies& copies);

// Unloads the copies and removes their files and folder.
void UnloadModuleCopies(ModuleCopies& copies);
