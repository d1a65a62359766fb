// The texts of --help and --version.
#pragma once

#include <string>

// The --help text.
const char* UsageText();

// The --version text: the version, then the output formats built in, then
// for each one that is not, how to get it.
std::string VersionText();
