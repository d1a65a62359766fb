#include "platform/Terminal.h"

#include <unistd.h>

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

// Terminals take UTF-8 and the escape sequences as they are, and streams do
// not translate line ends.
void PrepareStandardStreams() {}

// Streams do not translate there.
void MakeStandardInputBinary() {}

bool OwnsItsConsoleWindow() {
    return false;
}

void WaitForKey(const char*) {}
