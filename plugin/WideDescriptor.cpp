// The converter's own descriptor: the module's server list, laid out as the
// host's, over the activation entry for WideImportRecords. Linked into the
// stand-in's programs (ostrel_wide_module), never exported from a module
// file: a host of the plug-in would hand it the wrong record.
#include "plugin/Plugin.h"

namespace {

const ServerRecord kWideServers[2] = {
    {"ObjectLoader", "Ostrel", &ActivateWideImport},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern "C" {
extern const ModuleDescriptor ostrel_wide_descrip;
const ModuleDescriptor ostrel_wide_descrip = {
    kModuleSyncWord, kModuleDescriptorVersion, kModuleMachineWord,
    &ModuleStartup,  &ModuleShutdown,          kWideServers,
};
}
