// The terminal the command talks to: whether a stream is one, and the set-up of
// the standard streams. There is one implementation per platform
// (Terminal-posix.cpp, Terminal-win32.cpp).
#pragma once

#include <cstdio>

// True when `stream` is an interactive terminal or console.
bool IsTerminal(std::FILE* stream);

// Called once before anything is written. Afterwards standard output passes
// bytes through unchanged, so a trace or a report is the same bytes on every
// system. A console shows UTF-8 text as such. It hands typed text over in the
// system's ANSI code page, as the host's edit fields do. The terminal control
// sequences of the progress line work on the console behind standard error.
// Whatever is changed in a console is put back when the process ends. Standard
// error may then be buffered, so what must show at once is flushed.
void PrepareStandardStreams();

// Standard input passes bytes through unchanged from here on (no CR LF
// translation, no end at a Ctrl-Z byte), for a model file read from it.
void MakeStandardInputBinary();

// Whether the program has a console window of its own that closes with it, with
// someone at it. That is so when it was started from Explorer, by a file
// dropped on the program or a double click, rather than from a command prompt.
// It is never so outside Windows.
bool OwnsItsConsoleWindow();
// Shows `prompt` and waits for a key in that window.
void WaitForKey(const char* prompt);
