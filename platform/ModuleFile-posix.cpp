#include "platform/ModuleFile.h"

#include <dlfcn.h>
#include <unistd.h>

#include <vector>

void* OpenModuleFile(const std::string& path, std::string& error) {
    dlerror();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "unknown error";
    }
    return module;
}

void* FindModuleExport(void* module, const char* name) {
    dlerror();
    return dlsym(module, name);
}

void CloseModuleFile(void* module) {
    dlclose(module);
}

std::string ExecutableFolder() {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return "";
    std::string exe(buffer.data(), static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "" : exe.substr(0, slash + 1);
}
