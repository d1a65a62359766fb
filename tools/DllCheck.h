// Inspection of the built Windows module (a PE32 file) without running it:
// what a 32-bit Windows host will see when it maps the file and reads the
// exported descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct DllFacts {
    uint16_t machine = 0;
    uint32_t imageBase = 0;
    std::vector<std::string> exportNames;
    std::vector<std::string> importDlls;
    uint32_t descriptorRva = 0;
    size_t descriptorFileOffset = 0; // valid when descriptorRva != 0
    uint32_t descriptorWords[6] = {};
    std::string className;
    std::string serverName;
    uint32_t activateWord = 0;
    size_t relocatedWordCount = 0;
};

// Reads `image` as the module file and returns one line per deviation from
// what the host needs; an empty result means the module passes. Never reads
// outside `image`, whatever its contents.
std::vector<std::string> CheckModuleImage(std::span<const uint8_t> image, DllFacts& facts);

// DLL names every Windows installation provides; anything else would have to
// be shipped beside the module.
bool IsSystemDll(const std::string& name);
