#include "standin/ModuleLoader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace {

int32_t Activate(int32_t, GlobalLookupFn, void*) {
    return 0;
}
int32_t OtherActivate(int32_t, GlobalLookupFn, void*) {
    return 0;
}
int32_t Startup() {
    return 4;
}
void Shutdown(void*) {}

const ServerRecord kServers[] = {
    {"ImageLoader", "Ostrel", &OtherActivate},
    {"ObjectLoader", "Other", &OtherActivate},
    {"ObjectLoader", "Ostrel", &Activate},
    {nullptr, nullptr, nullptr},
};
const ServerRecord kNoServers[] = {{nullptr, nullptr, nullptr}};

ModuleDescriptor Good() {
    return ModuleDescriptor{kModuleSyncWord,    kModuleDescriptorVersion,
                            kModuleMachineWord, &Startup,
                            &Shutdown,          kServers};
}

} // namespace

TEST(ModuleLoader, FindsTheServer) {
    const ModuleDescriptor d = Good();
    ActivateFn activate = nullptr;
    std::string error;
    ASSERT_TRUE(CheckDescriptor(&d, "ObjectLoader", "Ostrel", activate, error)) << error;
    EXPECT_EQ(activate, &Activate);
}

TEST(ModuleLoader, RejectsBadWords) {
    ActivateFn activate = nullptr;
    std::string error;
    ModuleDescriptor d = Good();
    d.syncWord = 0x12345678;
    EXPECT_FALSE(CheckDescriptor(&d, "ObjectLoader", "Ostrel", activate, error));
    EXPECT_EQ(error, "bad sync word 0x12345678 (expected 0x04121994)");
    d = Good();
    d.descriptorVersion = 1;
    EXPECT_FALSE(CheckDescriptor(&d, "ObjectLoader", "Ostrel", activate, error));
    EXPECT_EQ(error, "unsupported descriptor version 1 (expected 2)");
    d = Good();
    d.machineWord = 0x200;
    EXPECT_FALSE(CheckDescriptor(&d, "ObjectLoader", "Ostrel", activate, error));
    EXPECT_EQ(error, "bad machine word 0x00000200 (expected 0x00000300)");
    EXPECT_FALSE(CheckDescriptor(nullptr, "ObjectLoader", "Ostrel", activate, error));
}

TEST(ModuleLoader, MissingServer) {
    ActivateFn activate = nullptr;
    std::string error;
    ModuleDescriptor d = Good();
    d.serverList = kNoServers;
    EXPECT_FALSE(CheckDescriptor(&d, "ObjectLoader", "Ostrel", activate, error));
    EXPECT_EQ(error, "no server of class \"ObjectLoader\" named \"Ostrel\"");
    d.serverList = nullptr;
    EXPECT_FALSE(CheckDescriptor(&d, "ObjectLoader", "Ostrel", activate, error));
}

TEST(ModuleLoader, LoadFailsCleanlyForANonModule) {
    LoadedModule module;
    std::string error;
    EXPECT_FALSE(LoadModule("/nonexistent/ostrel.p", module, error));
    EXPECT_NE(error.find("cannot load module"), std::string::npos) << error;
    EXPECT_EQ(module.handle, nullptr);
}

#if defined(OSTREL_MODULE_FILE) && !defined(_WIN32)
// Copies of the module file load apart, each with a descriptor (and so
// globals) of its own, so that imports through them may run at once; no
// file of theirs outlives the loading, nor the folder them.
TEST(ModuleLoader, CopiesLoadApartAndLeaveNothingBehind) {
    LoadedModule original;
    std::string error;
    ASSERT_TRUE(LoadModule(OSTREL_MODULE_FILE, original, error)) << error;
    ModuleCopies copies;
    LoadModuleCopies(OSTREL_MODULE_FILE, 2, copies);
    ASSERT_EQ(copies.modules.size(), 2u);
    std::set<const ModuleDescriptor*> descriptors{original.descriptor};
    for (const LoadedModule& copy : copies.modules) {
        EXPECT_TRUE(copy.started);
        descriptors.insert(copy.descriptor);
    }
    EXPECT_EQ(descriptors.size(), 3u);
    const std::string folder = copies.folder;
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
    UnloadModuleCopies(copies);
    EXPECT_TRUE(copies.modules.empty());
    UnloadModule(original);

    ModuleCopies none;
    LoadModuleCopies("/nonexistent/ostrel.p", 2, none);
    EXPECT_TRUE(none.modules.empty());
    EXPECT_TRUE(none.folder.empty());
}
#endif
