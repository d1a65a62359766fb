#include "platform/CommandLine.h"

std::string TypedCommandLine() {
    return std::string();
}
