// The command line as the user typed it, for systems that change the arguments
// before main. On Windows the C runtime expands wildcards in argv, so that
// "*.rk4" works at the command prompt. That expansion also turns "/?" into a
// one-letter name at the drive's root, where one exists. "/?" is the way
// Windows programs are asked for their usage. There is one source per system:
// CommandLine-posix.cpp and CommandLine-win32.cpp.
#pragma once

#include <string>

// The command line as typed, in the system's code page. It is empty where argv
// already holds the arguments as typed. On POSIX systems the shell expands
// them.
std::string TypedCommandLine();
