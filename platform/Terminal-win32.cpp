#include "platform/Terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdlib>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

UINT gOldOutputCodePage = 0;
UINT gOldInputCodePage = 0;
HANDLE gErrorConsole = INVALID_HANDLE_VALUE;
DWORD gOldErrorMode = 0;
bool gErrorModeChanged = false;

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

void RestoreConsole() {
    if (gOldOutputCodePage != 0)
        SetConsoleOutputCP(gOldOutputCodePage);
    if (gOldInputCodePage != 0)
        SetConsoleCP(gOldInputCodePage);
    if (gErrorModeChanged)
        SetConsoleMode(gErrorConsole, gOldErrorMode);
}

} // namespace

bool IsTerminal(std::FILE* stream) {
    // _isatty is true for any character device, NUL included; only a console
    // is someone at a terminal.
    const intptr_t handle = _get_osfhandle(_fileno(stream));
    return handle != -1 && IsConsole(reinterpret_cast<HANDLE>(handle));
}

void PrepareStandardStreams() {
    // Text mode would turn every LF into CR LF. The console itself needs no
    // CR to start a new line.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (IsConsole(out) || IsConsole(err)) {
        gOldOutputCodePage = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
    }
    // An unbuffered stream reaches the console byte by byte, and the console
    // cannot decode a UTF-8 sequence split between writes. Buffered, the
    // text goes out in pieces that the callers end where it must show.
    if (IsConsole(out))
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    if (IsConsole(err))
        std::setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
    // Typed text arrives in the ANSI code page, as the host's own edit
    // fields hand it to the plug-in (a console's default is the OEM one).
    if (IsConsole(in)) {
        gOldInputCodePage = GetConsoleCP();
        SetConsoleCP(GetACP());
    }
    if (IsConsole(err) && GetConsoleMode(err, &gOldErrorMode)) {
        gErrorConsole = err;
        gErrorModeChanged =
            SetConsoleMode(err, gOldErrorMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    }
    if (gOldOutputCodePage != 0 || gOldInputCodePage != 0 || gErrorModeChanged)
        std::atexit(RestoreConsole);
}

void MakeStandardInputBinary() {
    _setmode(_fileno(stdin), _O_BINARY);
}

bool OwnsItsConsoleWindow() {
    // A console made for this process alone lists one process: Explorer
    // starts a console program so; a command prompt shares its own.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1 && IsConsole(GetStdHandle(STD_INPUT_HANDLE)) &&
           IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
}

void WaitForKey(const char* prompt) {
    std::fputs(prompt, stdout);
    std::fflush(stdout);
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(in);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(in, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            return;
    }
}
