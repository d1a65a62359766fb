// `ostrel` from its arguments to its exit status (ExitCodes.h): the options,
// the module loaded once, each model file imported through the pipeline
// (pipeline/Pipeline.h) with the terminal panel as the panel's handler, its
// output written safely, one status line each.
#pragma once

#include <string>

int RunCommand(int argc, const char* const* argv);

// The module loaded without --module: "ostrel.p" in the folder of the
// running executable.
std::string DefaultModulePath();
