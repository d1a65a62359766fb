// Inspection of the built Windows module without running it: what a Windows
// host will see when it maps the file and reads the exported descriptor. A
// 32-bit module is a PE32 i386 DLL, a 64-bit one a PE32+ x86-64 DLL; both are
// checked alike, with pointers of their own width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct DllFacts {
    uint16_t machine = 0;
    unsigned pointerSize = 0; // 4 (PE32) or 8 (PE32+), once the header is read
    uint64_t imageBase = 0;
    std::vector<std::string> exportNames;
    std::vector<std::string> importDlls;
    uint32_t descriptorRva = 0;
    size_t descriptorFileOffset = 0; // valid when descriptorRva != 0
    // Sync word, version and machine word (32 bits each), then the start-up,
    // shut-down and server-list pointers as stored in the file.
    uint64_t descriptorWords[6] = {};
    std::string className;
    std::string serverName;
    uint64_t activateWord = 0;
    size_t relocatedWordCount = 0;
};

// Reads `image` as the module file and returns one line per deviation from
// what the host needs; an empty result means the module passes. Never reads
// outside `image`, whatever its contents.
std::vector<std::string> CheckModuleImage(std::span<const uint8_t> image, DllFacts& facts);

// DLL names every Windows installation provides; anything else would have to
// be shipped beside the module (or the thumbnail handler).
bool IsSystemDll(const std::string& name);

// Reads `image` as an in-process COM server DLL (the thumbnail handler): the
// checks above but the descriptor's, with exactly the exports of a server
// that registers itself (ServerExports, in the export table's order).
std::vector<std::string> CheckServerImage(std::span<const uint8_t> image, DllFacts& facts);
const std::vector<std::string>& ServerExports();
