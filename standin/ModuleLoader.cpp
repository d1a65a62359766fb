#include "standin/ModuleLoader.h"

#include "platform/FileSystem.h"
#include "platform/ModuleFile.h"

#include <cstdio>
#include <cstring>

namespace {

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08x", value);
    return buffer;
}

constexpr int kMaxServers = 1024; // guard against an unterminated list

} // namespace

bool CheckDescriptor(const ModuleDescriptor* d, const char* className, const char* serverName,
                     ActivateFn& activate, std::string& error) {
    activate = nullptr;
    if (d == nullptr) {
        error = "_mod_descrip is null";
        return false;
    }
    if (d->syncWord != kModuleSyncWord) {
        error = "bad sync word " + Hex(d->syncWord) + " (expected " + Hex(kModuleSyncWord) + ")";
        return false;
    }
    if (d->descriptorVersion != kModuleDescriptorVersion) {
        error = "unsupported descriptor version " + std::to_string(d->descriptorVersion) +
                " (expected " + std::to_string(kModuleDescriptorVersion) + ")";
        return false;
    }
    if (d->machineWord != kModuleMachineWord) {
        error = "bad machine word " + Hex(d->machineWord) + " (expected " +
                Hex(kModuleMachineWord) + ")";
        return false;
    }
    if (d->startup == nullptr) {
        error = "the descriptor has no start-up entry";
        return false;
    }
    if (d->serverList == nullptr) {
        error = "the descriptor has no server list";
        return false;
    }
    for (int i = 0; i < kMaxServers; ++i) {
        const ServerRecord& s = d->serverList[i];
        if (s.className == nullptr && s.serverName == nullptr && s.activate == nullptr)
            break;
        if (s.className != nullptr && s.serverName != nullptr &&
            std::strcmp(s.className, className) == 0 &&
            std::strcmp(s.serverName, serverName) == 0) {
            if (s.activate == nullptr) {
                error = std::string("server ") + className + " \"" + serverName +
                        "\" has no activation entry";
                return false;
            }
            activate = s.activate;
            return true;
        }
    }
    error = std::string("no server of class \"") + className + "\" named \"" + serverName + "\"";
    return false;
}

namespace {

// The checks, the server and the start-up of `module.descriptor`. A failed
// start-up is shut down and closed here; after a failed check the caller
// still holds the module file.
bool RunStartup(LoadedModule& module, std::string& error) {
    if (!CheckDescriptor(module.descriptor, "ObjectLoader", "Ostrel", module.activate, error))
        return false;
    module.startupToken = module.descriptor->startup();
    module.started = true;
    if (module.startupToken == 0) {
        error = "the module's start-up entry failed (returned 0)";
        UnloadModule(module);
        return false;
    }
    return true;
}

} // namespace

bool LoadModule(const std::string& path, LoadedModule& module, std::string& error) {
    module = LoadedModule{};
    module.path = path;
    std::string why;
    module.handle = OpenModuleFile(path, why);
    if (module.handle == nullptr) {
        error = "cannot load module: " + why;
        return false;
    }
    module.descriptor =
        static_cast<const ModuleDescriptor*>(FindModuleExport(module.handle, "_mod_descrip"));
    if (module.descriptor == nullptr)
        error = "not a plug-in module (no _mod_descrip export)";
    if (module.descriptor == nullptr || !RunStartup(module, error)) {
        if (module.handle != nullptr)
            CloseModuleFile(module.handle);
        module.handle = nullptr;
        return false;
    }
    return true;
}

bool StartLinkedModule(const ModuleDescriptor* descriptor, LoadedModule& module,
                       std::string& error) {
    module = LoadedModule{};
    module.descriptor = descriptor;
    return RunStartup(module, error);
}

bool StartWideModule(const ModuleDescriptor* descriptor, LoadedModule& module, std::string& error) {
    if (!StartLinkedModule(descriptor, module, error))
        return false;
    module.wide = true;
    return true;
}

void UnloadModule(LoadedModule& module) {
    if (module.started && module.descriptor != nullptr && module.descriptor->shutdown != nullptr) {
        module.descriptor->shutdown(
            reinterpret_cast<void*>(static_cast<intptr_t>(module.startupToken)));
    }
    module.started = false;
    if (module.handle != nullptr)
        CloseModuleFile(module.handle);
    module.handle = nullptr;
    module.descriptor = nullptr;
    module.activate = nullptr;
}

namespace {

void RemoveCopyFiles(ModuleCopies& copies) {
    for (const std::string& file : copies.files)
        RemoveFile(file);
    if (!copies.folder.empty())
        RemoveFolder(copies.folder);
}

} // namespace

void LoadModuleCopies(const std::string& path, size_t count, ModuleCopies& copies) {
    std::string bytes, error;
    if (count == 0 || !ReadWholeFile(path, bytes) || bytes.empty() ||
        !MakeScratchFolder(copies.folder, error)) {
        copies.folder.clear();
        return;
    }
    // Names of their own too: some loaders know a module by its name.
    const size_t nameAt = NameStart(path);
    for (size_t i = 1; i <= count; ++i) {
        const std::string file = copies.folder + std::to_string(i) + "-" + path.substr(nameAt);
        if (!WriteNewFile(file, bytes, error))
            break;
        copies.files.push_back(file);
        LoadedModule module;
        if (!LoadModule(file, module, error))
            break;
        copies.modules.push_back(module);
    }
    RemoveCopyFiles(copies); // what is loaded stays loaded where the system allows
}

void UnloadModuleCopies(ModuleCopies& copies) {
    for (LoadedModule& module : copies.modules)
        UnloadModule(module);
    copies.modules.clear();
    RemoveCopyFiles(copies);
    copies.files.clear();
    copies.folder.clear();
}
