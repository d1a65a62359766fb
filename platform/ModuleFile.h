// Opening a module file and finding its exports, through the system's own
// loader. That is dlopen on POSIX systems and LoadLibrary on Windows. There is
// one implementation per platform, in ModuleFile-posix.cpp and
// ModuleFile-win32.cpp.
#pragma once

#include <string>

// The opened module, or null with `error` set to the system's reason. The
// reason is one line, without the file name.
void* OpenModuleFile(const std::string& path, std::string& error);

// The address of the export `name`, or null.
void* FindModuleExport(void* module, const char* name);

void CloseModuleFile(void* module);

// The folder the running executable is in, with a trailing separator; empty
// when the system does not say.
std::string ExecutableFolder();
