// The command line as the user typed it, where the system changes the
// arguments before main: on Windows the C runtime expands wildcards in argv
// (so that "*.rk4" works at the command prompt), and so turns "/?", the way
// Windows programs are asked for their usage, into a one-letter name at the
// drive's root where one exists. One source per system: CommandLine-posix.cpp,
// CommandLine-win32.cpp.
#pragma once

#include <string>

// The command line as typed, in the system's code page; empty where argv
// already holds the arguments as typed (POSIX: the shell expands them).
std::string TypedCommandLine();
