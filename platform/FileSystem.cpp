// What is the same on every system: reading a whole file, or its start,
// through the C library.
#include "platform/FileSystem.h"

#include <cstdio>

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    // Read in place, sized where the file tells its size: growing or copying
    // a string of tens of megabytes costs more than reading it.
    size_t size = 1 << 16;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        size = end > 0 ? static_cast<size_t>(end) + 1 : size; // + 1: sees the end
        std::rewind(file);
    }
    size_t used = 0;
    for (;;) {
        bytes.resize(used + size);
        const size_t got = std::fread(bytes.data() + used, 1, size, file);
        used += got;
        if (got < size)
            break;
    }
    bytes.resize(used);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool ReadFileStart(const std::string& path, size_t limit, std::string& bytes) {
    bytes.resize(limit);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.resize(std::fread(bytes.data(), 1, limit, file));
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}
