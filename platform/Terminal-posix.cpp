#include "platform/Terminal.h"

#include <unistd.h>

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

// Terminals take UTF-8 and the escape sequences as they are, and streams do
// not translate line ends.
void PrepareStandardStreams() {}

bool ReadStandardInput(std::string& bytes) {
    char block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, stdin)) > 0)
        bytes.append(block, got);
    return !std::ferror(stdin);
}

bool OwnsItsConsoleWindow() {
    return false;
}

void WaitForKey(const char*) {}
