// Opening a module file and finding its exports: the system's own loader
// (dlopen on POSIX systems, LoadLibrary on Windows), one implementation per
// platform in ModuleFile-posix.cpp and ModuleFile-win32.cpp.
#pragma once

#include <string>

// The opened module, or null with `error` set to the system's reason (one
// line, without the file name).
void* OpenModuleFile(const std::string& path, std::string& error);

// The address of the export `name`, or null.
void* FindModuleExport(void* module, const char* name);

void CloseModuleFile(void* module);

// The folder the running executable is in, with a trailing separator; empty
// when the system does not say.
std::string ExecutableFolder();
