// ostrel-checkdll [--skip-missing] [--server] MODULE
//
// Checks the Windows build of the module by reading the file: a PE32 i386 or
// PE32+ x86-64 DLL, the single export _mod_descrip, system DLL imports only, and the descriptor
// and server list as the host will find them after the loader has rebased the
// image. With --server, the thumbnail handler's DLL instead: a COM server's
// exports and system DLL imports only. Exit 0 when it passes, 1 when it does
// not, 2 on usage or read errors, and 77 (a skipped test) with --skip-missing
// when the module was not built.
#include "tools/DllCheck.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out.empty() ? "(none)" : out;
}

} // namespace

int main(int argc, char** argv) {
    bool skipMissing = false, server = false;
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--skip-missing") == 0) {
        skipMissing = true;
        ++arg;
    }
    if (arg < argc && std::strcmp(argv[arg], "--server") == 0) {
        server = true;
        ++arg;
    }
    if (arg + 1 != argc) {
        std::fprintf(stderr, "usage: %s [--skip-missing] [--server] MODULE\n", argv[0]);
        return 2;
    }
    const char* path = argv[arg];
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (skipMissing) {
            std::printf("%s not built: module check skipped\n", path);
            return 77;
        }
        std::fprintf(stderr, "%s: cannot open\n", path);
        return 2;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};

    DllFacts facts;
    const std::vector<std::string> problems =
        server ? CheckServerImage(bytes, facts) : CheckModuleImage(bytes, facts);
    std::printf("module:      %s (%zu bytes)\n", path, bytes.size());
    // Addresses as wide as the module's pointers.
    const int width = facts.pointerSize == 8 ? 16 : 8;
    const char* kind = facts.pointerSize == 8 ? "PE32+" : facts.pointerSize == 4 ? "PE32" : "?";
    std::printf("machine:     0x%04x (%s), image base 0x%0*llx\n", facts.machine, kind, width,
                static_cast<unsigned long long>(facts.imageBase));
    std::printf("exports:     %s\n", Join(facts.exportNames).c_str());
    std::printf("imports:     %s\n", Join(facts.importDlls).c_str());
    if (facts.descriptorRva != 0) {
        const auto w = [&](int i) {
            return static_cast<unsigned long long>(facts.descriptorWords[i]);
        };
        std::printf("descriptor:  rva 0x%08x: 0x%08llx %llu 0x%llx start-up 0x%0*llx shut-down "
                    "0x%0*llx servers 0x%0*llx\n",
                    facts.descriptorRva, w(0), w(1), w(2), width, w(3), width, w(4), width, w(5));
        std::printf("server:      class \"%s\" name \"%s\" activate 0x%0*llx\n",
                    facts.className.c_str(), facts.serverName.c_str(), width,
                    static_cast<unsigned long long>(facts.activateWord));
    }
    std::printf("relocations: %zu rebased words\n", facts.relocatedWordCount);
    for (const std::string& problem : problems)
        std::printf("FAIL: %s\n", problem.c_str());
    if (!problems.empty()) {
        std::printf("module check failed: %zu problem(s)\n", problems.size());
        return 1;
    }
    std::printf("module check passed\n");
    return 0;
}
