// The module's only export: the descriptor through which the host finds the
// one object-loader server.
#include "plugin/Plugin.h"

#if defined(_WIN32)
#define OSTREL_EXPORT __declspec(dllexport)
#else
#define OSTREL_EXPORT __attribute__((visibility("default")))
#endif

namespace {

const ServerRecord kServers[2] = {
    {"ObjectLoader", "Ostrel", &ActivateImport},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern "C" {
OSTREL_EXPORT extern const ModuleDescriptor _mod_descrip;
const ModuleDescriptor _mod_descrip = {
    kModuleSyncWord, kModuleDescriptorVersion, kModuleMachineWord,
    &ModuleStartup,  &ModuleShutdown,          kServers,
};
}
