#include "platform/CommandLine.h"

#include <windows.h>

std::string TypedCommandLine() {
    const char* line = GetCommandLineA();
    return line != nullptr ? std::string(line) : std::string();
}
