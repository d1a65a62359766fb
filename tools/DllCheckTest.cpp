#include "tools/DllCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>

namespace {

bool Mentions(const std::vector<std::string>& problems, const std::string& word) {
    return std::any_of(problems.begin(), problems.end(),
                       [&](const std::string& p) { return p.find(word) != std::string::npos; });
}

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 bytes[at + 3] << 24);
}

TEST(DllCheck, RejectsFilesThatAreNoWindowsModule) {
    const std::string samples[] = {
        "",
        "ROKU4\r\nPOINT\r\n",
        std::string("\x7f"
                    "ELF\x01\x01\x01",
                    7) +
            std::string(64, '\0'),
        // A DOS header whose PE offset points past the end.
        "MZ" + std::string(0x3a, '\0') + std::string("\xff\xff\xff\x7f", 4),
    };
    for (const std::string& sample : samples) {
        const std::vector<uint8_t> bytes(sample.begin(), sample.end());
        DllFacts facts;
        EXPECT_FALSE(CheckModuleImage(bytes, facts).empty()) << sample.size() << " bytes";
    }
}

TEST(DllCheck, AcceptsOnlyDllsEveryWindowsHasOnAnyCase) {
    EXPECT_TRUE(IsSystemDll("KERNEL32.dll"));
    EXPECT_TRUE(IsSystemDll("msvcrt.dll"));
    EXPECT_FALSE(IsSystemDll("libstdc++-6.dll"));
    EXPECT_FALSE(IsSystemDll("libwinpthread-1.dll"));
    EXPECT_FALSE(IsSystemDll("kernel32.dll.evil"));
}

// The rest works on the real cross-built modules, 32-bit and 64-bit,
// deliberately damaged.
struct ModuleBuild {
    const char* name;
    const char* path;
    uint16_t machine;
    unsigned pointerSize;
};

// Test names and failures show the build's name, not its bytes.
void PrintTo(const ModuleBuild& build, std::ostream* out) {
    *out << build.name;
}

class BuiltModule : public testing::TestWithParam<ModuleBuild> {
  protected:
    void SetUp() override {
        std::ifstream in(GetParam().path, std::ios::binary);
        if (!in)
            GTEST_SKIP() << GetParam().path << " not built";
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ASSERT_TRUE(CheckModuleImage(bytes, facts).empty());
    }

    std::vector<std::string> Check() {
        DllFacts ignored;
        return CheckModuleImage(bytes, ignored);
    }

    size_t FileHeader() const { return Get32(bytes, 0x3c) + 4; }

    std::vector<uint8_t> bytes;
    DllFacts facts;
};

INSTANTIATE_TEST_SUITE_P(Windows, BuiltModule,
                         testing::Values(ModuleBuild{"win32", OSTREL_WIN32_MODULE, 0x14c, 4},
                                         ModuleBuild{"win64", OSTREL_WIN64_MODULE, 0x8664, 8}),
                         [](const auto& build) { return std::string(build.param.name); });

TEST_P(BuiltModule, ShowsTheHostOneLoaderBehindOneExport) {
    EXPECT_EQ(facts.machine, GetParam().machine);
    EXPECT_EQ(facts.pointerSize, GetParam().pointerSize);
    EXPECT_EQ(facts.exportNames, std::vector<std::string>{"_mod_descrip"});
    EXPECT_EQ(facts.className, "ObjectLoader");
    EXPECT_EQ(facts.serverName, "Ostrel");
    EXPECT_EQ(facts.descriptorWords[0], 0x04121994u);
}

TEST_P(BuiltModule, IsNoComServer) {
    // The server check holds a DLL to the server's exports, not the module's.
    DllFacts server;
    EXPECT_TRUE(Mentions(CheckServerImage(bytes, server), "a COM server exports exactly"));
    EXPECT_EQ(server.exportNames, std::vector<std::string>{"_mod_descrip"});
}

TEST_P(BuiltModule, RejectsTheOtherMachineAndMissingDllFlag) {
    // A PE32 header belongs to i386 only, a PE32+ one to x86-64 only.
    const size_t header = FileHeader();
    Put16(bytes, header, GetParam().machine == 0x14c ? 0x8664 : 0x14c);
    EXPECT_TRUE(Mentions(Check(), "machine"));
    Put16(bytes, header, GetParam().machine);
    bytes[header + 19] &= static_cast<uint8_t>(~0x20);
    EXPECT_TRUE(Mentions(Check(), "DLL"));
}

TEST_P(BuiltModule, TruncatedCopiesFailAndAreNeverOverread) {
    // Any cut that removes the descriptor must fail; every cut must return.
    std::vector<uint8_t> whole = bytes;
    bytes.resize(facts.descriptorFileOffset + 10);
    EXPECT_TRUE(Mentions(Check(), "outside the file data"));
    for (size_t length = 0; length < whole.size(); length += 61) {
        bytes.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        DllFacts ignored;
        if (length <= facts.descriptorFileOffset + 20)
            EXPECT_FALSE(CheckModuleImage(bytes, ignored).empty()) << length;
        else
            CheckModuleImage(bytes, ignored);
    }
}

TEST_P(BuiltModule, ReportsAChangedDescriptorWord) {
    bytes[facts.descriptorFileOffset] ^= 0x01;
    EXPECT_TRUE(Mentions(Check(), "descriptor word 0"));
}

TEST_P(BuiltModule, ReportsAPointerTheLoaderWouldNotRebase) {
    // Turn the fix-up of the server-list word (the last pointer of the
    // descriptor) into padding.
    const bool wide = GetParam().pointerSize == 8;
    const uint32_t word = facts.descriptorRva + (wide ? 32 : 20);
    const uint16_t entry = static_cast<uint16_t>((wide ? 0xa000 : 0x3000) | (word & 0xfff));
    bool patched = false;
    for (size_t at = 0; at + 8 <= bytes.size() && !patched; at += 4) {
        const uint32_t blockSize = Get32(bytes, at + 4);
        if (Get32(bytes, at) != (word & ~0xfffu) || blockSize < 8 || blockSize > 0x2000 ||
            at + blockSize > bytes.size())
            continue;
        for (size_t e = at + 8; e + 2 <= at + blockSize; e += 2) {
            if ((bytes[e] | bytes[e + 1] << 8) == entry) {
                Put16(bytes, e, 0);
                patched = true;
                break;
            }
        }
    }
    ASSERT_TRUE(patched);
    EXPECT_TRUE(Mentions(Check(), "server list (descriptor word 5) is not in the relocation"));
}

TEST_P(BuiltModule, ReportsARuntimeDllThatWouldHaveToBeShipped) {
    const std::string from("msvcrt.dll", 11), to("libgcc.dll", 11);
    const auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    ASSERT_NE(at, bytes.end());
    std::copy(to.begin(), to.end(), at);
    EXPECT_TRUE(Mentions(Check(), "imports libgcc.dll"));
}

} // namespace
