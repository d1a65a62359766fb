// Streams for the tests of code that writes to or reads from a FILE*: an
// anonymous temporary file, read back whole. (Not every C library has
// open_memstream or fmemopen.)
#pragma once

#include <cstdio>
#include <string>

struct MemoryFile {
    std::FILE* file = std::tmpfile();

    MemoryFile() = default;
    // A stream that reads `text` from its start.
    explicit MemoryFile(const std::string& text) {
        if (file != nullptr) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::rewind(file);
        }
    }
    ~MemoryFile() {
        if (file != nullptr)
            std::fclose(file);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Everything written so far; later writes append after it.
    std::string Text() const {
        std::string text;
        if (file == nullptr)
            return text;
        std::fflush(file);
        const long end = std::ftell(file);
        std::rewind(file);
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            text.append(chunk, n);
        std::fseek(file, end, SEEK_SET);
        return text;
    }
};
