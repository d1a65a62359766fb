#include "tools/DllCheck.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <set>

namespace {

constexpr uint16_t kMachineI386 = 0x14c;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kFileIsDll = 0x2000;
constexpr uint16_t kMagicPe32 = 0x10b;
constexpr uint16_t kMagicPe32Plus = 0x20b;
constexpr uint32_t kSectionHoldsCode = 0x20;
constexpr uint32_t kSectionExecutable = 0x20000000;
constexpr unsigned kExportDirectory = 0;
constexpr unsigned kImportDirectory = 1;
constexpr unsigned kRelocationDirectory = 5;
constexpr unsigned kRelocAbsolute = 0; // padding entry
constexpr unsigned kRelocHighLow = 3;  // the one pointer fix-up of i386 images
constexpr unsigned kRelocDir64 = 10;   // the one pointer fix-up of x86-64 images

constexpr uint32_t kExpectedWords[3] = {0x04121994u, 2u, 0x300u};

// Export names, import entries and strings are capped so that a corrupt
// count cannot make the check crawl.
constexpr uint32_t kMaxNames = 64;
constexpr size_t kMaxString = 256;

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
    uint32_t characteristics;
};

struct Image {
    std::span<const uint8_t> bytes;
    uint64_t imageBase = 0;
    unsigned pointerSize = 4;
    std::vector<Section> sections;
};

std::optional<uint16_t> Read16(std::span<const uint8_t> bytes, size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 2)
        return std::nullopt;
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::optional<uint32_t> Read32(std::span<const uint8_t> bytes, size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4)
        return std::nullopt;
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

std::optional<uint64_t> Read64(std::span<const uint8_t> bytes, size_t offset) {
    const auto low = Read32(bytes, offset);
    const auto high = offset <= SIZE_MAX - 4 ? Read32(bytes, offset + 4) : std::nullopt;
    if (!low || !high)
        return std::nullopt;
    return static_cast<uint64_t>(*high) << 32 | *low;
}

// Bytes past a section's file data are zero-filled at load time; nothing the
// host reads through the descriptor may live there, so they count as absent.
std::optional<size_t> RvaToOffset(const Image& image, uint32_t rva, uint32_t size) {
    for (const Section& s : image.sections) {
        if (rva < s.virtualAddress)
            continue;
        const uint64_t within = rva - s.virtualAddress;
        const uint64_t mapped = s.virtualSize != 0 ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
        if (within + size > mapped)
            continue;
        const uint64_t offset = s.rawOffset + within;
        if (offset + size > image.bytes.size())
            return std::nullopt;
        return static_cast<size_t>(offset);
    }
    return std::nullopt;
}

std::optional<uint32_t> WordAt(const Image& image, uint32_t rva) {
    const auto offset = RvaToOffset(image, rva, 4);
    return offset ? Read32(image.bytes, *offset) : std::nullopt;
}

// A pointer as stored in the image: 4 bytes in PE32, 8 in PE32+.
std::optional<uint64_t> PointerAt(const Image& image, uint32_t rva) {
    const auto offset = RvaToOffset(image, rva, image.pointerSize);
    if (!offset)
        return std::nullopt;
    if (image.pointerSize == 8)
        return Read64(image.bytes, *offset);
    return Read32(image.bytes, *offset);
}

std::optional<uint16_t> HalfAt(const Image& image, uint32_t rva) {
    const auto offset = RvaToOffset(image, rva, 2);
    return offset ? Read16(image.bytes, *offset) : std::nullopt;
}

std::optional<std::string> StringAt(const Image& image, uint32_t rva) {
    std::string text;
    for (uint32_t i = 0; i < kMaxString; ++i) {
        const auto offset = RvaToOffset(image, rva + i, 1);
        if (!offset)
            return std::nullopt;
        const char c = static_cast<char>(image.bytes[*offset]);
        if (c == '\0')
            return text;
        text.push_back(c);
    }
    return std::nullopt;
}

bool InCode(const Image& image, uint32_t rva) {
    for (const Section& s : image.sections) {
        const uint32_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent)
            return (s.characteristics & kSectionHoldsCode) != 0 &&
                   (s.characteristics & kSectionExecutable) != 0;
    }
    return false;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[320];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

struct Checker {
    Image image;
    DllFacts& facts;
    std::vector<std::string> problems;
    std::set<uint32_t> relocated;
    bool server = false; // a COM server's exports, no descriptor

    void Fail(std::string problem) { problems.push_back(std::move(problem)); }

    bool ReadHeaders();
    void ReadExports();
    void ReadImports();
    void ReadRelocations();
    void CheckDescriptor();
    // Checks a word the loader must rebase and returns the RVA it points at.
    std::optional<uint32_t> PointerWord(uint32_t wordRva, const char* what, bool toCode);
    std::pair<uint32_t, uint32_t> Directory(unsigned index) const;

    size_t optionalHeader = 0;
    uint16_t optionalHeaderSize = 0;
    size_t directoryTable = 0; // offset of the data directories in the optional header
    uint32_t directoryCount = 0;
};

bool Checker::ReadHeaders() {
    const auto bytes = image.bytes;
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') {
        Fail("no DOS header: not a Windows module");
        return false;
    }
    const uint32_t pe = *Read32(bytes, 0x3c);
    const auto signature = Read32(bytes, pe);
    if (!signature || *signature != 0x00004550u) {
        Fail("no PE signature");
        return false;
    }
    const size_t fileHeader = static_cast<size_t>(pe) + 4;
    const auto machine = Read16(bytes, fileHeader);
    const auto sectionCount = Read16(bytes, fileHeader + 2);
    const auto optionalSize = Read16(bytes, fileHeader + 16);
    const auto flags = Read16(bytes, fileHeader + 18);
    if (!machine || !sectionCount || !optionalSize || !flags) {
        Fail("file header truncated");
        return false;
    }
    facts.machine = *machine;
    if ((*flags & kFileIsDll) == 0)
        Fail("not flagged as a DLL");

    // PE32 (32-bit) and PE32+ (64-bit) differ in the image base's width and
    // so in where the data directories start; each belongs to one machine.
    optionalHeader = fileHeader + 20;
    optionalHeaderSize = *optionalSize;
    const auto magic = Read16(bytes, optionalHeader);
    if (!magic) {
        Fail("optional header truncated");
        return false;
    }
    std::optional<uint64_t> base;
    if (*magic == kMagicPe32) {
        image.pointerSize = 4;
        directoryTable = 96;
        if (*machine != kMachineI386)
            Fail(Format("machine 0x%04x, not i386 (0x014c) as a PE32 file needs", *machine));
        base = Read32(bytes, optionalHeader + 28);
    } else if (*magic == kMagicPe32Plus) {
        image.pointerSize = 8;
        directoryTable = 112;
        if (*machine != kMachineAmd64)
            Fail(Format("machine 0x%04x, not x86-64 (0x8664) as a PE32+ file needs", *machine));
        base = Read64(bytes, optionalHeader + 24);
    } else {
        Fail(
            Format("optional header magic 0x%03x, neither PE32 (0x10b) nor PE32+ (0x20b)", *magic));
        return false;
    }
    const auto directories = Read32(bytes, optionalHeader + directoryTable - 4);
    if (optionalHeaderSize < directoryTable || !base || !directories) {
        Fail("optional header truncated");
        return false;
    }
    facts.pointerSize = image.pointerSize;
    image.imageBase = facts.imageBase = *base;
    directoryCount = *directories;

    const size_t table = optionalHeader + optionalHeaderSize;
    for (size_t i = 0; i < *sectionCount; ++i) {
        const size_t entry = table + 40 * i;
        const auto virtualSize = Read32(bytes, entry + 8);
        const auto virtualAddress = Read32(bytes, entry + 12);
        const auto rawSize = Read32(bytes, entry + 16);
        const auto rawOffset = Read32(bytes, entry + 20);
        const auto characteristics = Read32(bytes, entry + 36);
        if (!virtualSize || !virtualAddress || !rawSize || !rawOffset || !characteristics) {
            Fail("section table truncated");
            return false;
        }
        image.sections.push_back(
            {*virtualAddress, *virtualSize, *rawSize, *rawOffset, *characteristics});
    }
    return true;
}

std::pair<uint32_t, uint32_t> Checker::Directory(unsigned index) const {
    const size_t entry = directoryTable + 8 * static_cast<size_t>(index);
    if (index >= directoryCount || entry + 8 > optionalHeaderSize)
        return {0, 0};
    const auto rva = Read32(image.bytes, optionalHeader + entry);
    const auto size = Read32(image.bytes, optionalHeader + entry + 4);
    if (!rva || !size)
        return {0, 0};
    return {*rva, *size};
}

void Checker::ReadExports() {
    const auto [rva, size] = Directory(kExportDirectory);
    if (rva == 0) {
        Fail("no export table");
        return;
    }
    const auto functionCount = WordAt(image, rva + 20);
    const auto nameCount = WordAt(image, rva + 24);
    const auto functions = WordAt(image, rva + 28);
    const auto names = WordAt(image, rva + 32);
    const auto ordinals = WordAt(image, rva + 36);
    if (!functionCount || !nameCount || !functions || !names || !ordinals) {
        Fail("export directory lies outside the file data");
        return;
    }
    for (uint32_t i = 0; i < std::min(*nameCount, kMaxNames); ++i) {
        const auto nameRva = WordAt(image, *names + 4 * i);
        const auto name = nameRva ? StringAt(image, *nameRva) : std::nullopt;
        if (!name) {
            Fail(Format("export name %u unreadable", i));
            return;
        }
        facts.exportNames.push_back(*name);
    }
    if (server) {
        if (facts.exportNames != ServerExports())
            Fail("a COM server exports exactly DllCanUnloadNow, DllGetClassObject, DllInstall, "
                 "DllRegisterServer and DllUnregisterServer");
        return;
    }
    if (*nameCount != 1 || *functionCount != 1) {
        Fail(Format("%u exported names and %u exported entries; the module must export exactly "
                    "one, _mod_descrip",
                    *nameCount, *functionCount));
        return;
    }
    if (facts.exportNames[0] != "_mod_descrip") {
        Fail("the export is named \"" + facts.exportNames[0] + "\", not \"_mod_descrip\"");
        return;
    }
    const auto ordinal = HalfAt(image, *ordinals);
    const auto target = ordinal ? WordAt(image, *functions + 4u * *ordinal) : std::nullopt;
    if (!target) {
        Fail("the export's address is unreadable");
        return;
    }
    if (*target >= rva && *target - rva < size) {
        Fail("_mod_descrip is forwarded to another DLL");
        return;
    }
    facts.descriptorRva = *target;
}

void Checker::ReadImports() {
    const auto [rva, size] = Directory(kImportDirectory);
    (void)size;
    if (rva == 0)
        return;
    for (uint32_t i = 0;; ++i) {
        if (i == kMaxNames) {
            Fail("import table has no end");
            return;
        }
        const uint32_t entry = rva + 20 * i;
        const auto lookup = WordAt(image, entry);
        const auto nameRva = WordAt(image, entry + 12);
        const auto thunks = WordAt(image, entry + 16);
        if (!lookup || !nameRva || !thunks) {
            Fail("import table runs outside the file data");
            return;
        }
        if (*lookup == 0 && *nameRva == 0 && *thunks == 0)
            return;
        const auto name = StringAt(image, *nameRva);
        if (!name) {
            Fail(Format("name of imported DLL %u unreadable", i));
            return;
        }
        facts.importDlls.push_back(*name);
        if (!IsSystemDll(*name))
            Fail("imports " + *name + ", which is not a system DLL");
    }
}

void Checker::ReadRelocations() {
    const auto [rva, size] = Directory(kRelocationDirectory);
    const unsigned pointerFixUp = image.pointerSize == 8 ? kRelocDir64 : kRelocHighLow;
    uint32_t position = 0;
    while (size >= 8 && position <= size - 8) {
        const auto page = WordAt(image, rva + position);
        const auto blockSize = WordAt(image, rva + position + 4);
        if (!page || !blockSize || *blockSize < 8 || *blockSize > size - position) {
            Fail("relocation table malformed");
            return;
        }
        for (uint32_t at = 8; at + 2 <= *blockSize; at += 2) {
            const auto entry = HalfAt(image, rva + position + at);
            if (!entry) {
                Fail("relocation table malformed");
                return;
            }
            const unsigned type = *entry >> 12;
            if (type == pointerFixUp)
                relocated.insert(*page + (*entry & 0xfffu));
            else if (type != kRelocAbsolute)
                Fail(Format("relocation of type %u, unknown to %s loaders", type,
                            image.pointerSize == 8 ? "x86-64" : "i386"));
        }
        position += *blockSize;
    }
    facts.relocatedWordCount = relocated.size();
}

std::optional<uint32_t> Checker::PointerWord(uint32_t wordRva, const char* what, bool toCode) {
    const auto value = PointerAt(image, wordRva);
    if (!value) {
        Fail(Format("%s unreadable", what));
        return std::nullopt;
    }
    if (relocated.count(wordRva) == 0)
        Fail(Format("%s is not in the relocation table: it breaks when the DLL is rebased", what));
    const unsigned long long shown = *value;
    if (*value < image.imageBase || *value - image.imageBase > UINT32_MAX) {
        Fail(Format("%s (0x%08llx) points outside the image", what, shown));
        return std::nullopt;
    }
    const auto target = static_cast<uint32_t>(*value - image.imageBase);
    if (toCode && !InCode(image, target)) {
        Fail(Format("%s (0x%08llx) does not point into a code section", what, shown));
        return std::nullopt;
    }
    return target;
}

void Checker::CheckDescriptor() {
    // Three 32-bit words, then three pointers at their natural alignment:
    // 24 bytes in a 32-bit module, 40 in a 64-bit one.
    const uint32_t base = facts.descriptorRva;
    const uint32_t pointer = image.pointerSize;
    const uint32_t firstPointer = pointer == 8 ? 16 : 12;
    const auto offset = RvaToOffset(image, base, firstPointer + 3 * pointer);
    if (!offset) {
        Fail("_mod_descrip lies outside the file data");
        return;
    }
    facts.descriptorFileOffset = *offset;
    for (uint32_t i = 0; i < 3; ++i)
        facts.descriptorWords[i] = *Read32(image.bytes, *offset + 4 * i);
    for (uint32_t i = 0; i < 3; ++i)
        facts.descriptorWords[3 + i] = *PointerAt(image, base + firstPointer + pointer * i);

    for (uint32_t i = 0; i < 3; ++i) {
        if (facts.descriptorWords[i] != kExpectedWords[i])
            Fail(Format("descriptor word %u is 0x%08x, expected 0x%08x", i,
                        static_cast<uint32_t>(facts.descriptorWords[i]), kExpectedWords[i]));
        if (relocated.count(base + 4 * i) != 0)
            Fail(Format("descriptor word %u is relocated: the loader would change it", i));
    }
    PointerWord(base + firstPointer, "start-up entry (descriptor word 3)", true);
    PointerWord(base + firstPointer + pointer, "shut-down entry (descriptor word 4)", true);
    const auto servers =
        PointerWord(base + firstPointer + 2 * pointer, "server list (descriptor word 5)", false);
    if (!servers)
        return;

    const auto classRva = PointerWord(*servers, "server class name", false);
    const auto nameRva = PointerWord(*servers + pointer, "server name", false);
    const auto activate = PointerWord(*servers + 2 * pointer, "activation entry", true);
    if (activate)
        facts.activateWord = *activate + image.imageBase;
    const auto className = classRva ? StringAt(image, *classRva) : std::nullopt;
    const auto serverName = nameRva ? StringAt(image, *nameRva) : std::nullopt;
    facts.className = className.value_or("");
    facts.serverName = serverName.value_or("");
    if (facts.className != "ObjectLoader")
        Fail("server class is \"" + facts.className + "\", expected \"ObjectLoader\"");
    if (facts.serverName != "Ostrel")
        Fail("server name is \"" + facts.serverName + "\", expected \"Ostrel\"");

    for (uint32_t i = 3; i < 6; ++i) {
        const uint32_t wordRva = *servers + pointer * i;
        const auto word = PointerAt(image, wordRva);
        if (!word || *word != 0 || relocated.count(wordRva) != 0) {
            Fail("the server list does not end with a record of three null words");
            return;
        }
    }
}

} // namespace

bool IsSystemDll(const std::string& name) {
    static const char* const kSystem[] = {"kernel32.dll", "msvcrt.dll", "user32.dll",
                                          "advapi32.dll", "ntdll.dll",  "gdi32.dll",
                                          "shell32.dll",  "ole32.dll"};
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(kSystem), std::end(kSystem), lower) != std::end(kSystem);
}

std::vector<std::string> CheckModuleImage(std::span<const uint8_t> bytes, DllFacts& facts) {
    facts = DllFacts{};
    Checker checker{{bytes, 0, 4, {}}, facts, {}, {}};
    if (checker.ReadHeaders()) {
        checker.ReadExports();
        checker.ReadImports();
        checker.ReadRelocations();
        if (facts.descriptorRva != 0)
            checker.CheckDescriptor();
    }
    return checker.problems;
}

const std::vector<std::string>& ServerExports() {
    // In the export table's order, which is by name.
    static const std::vector<std::string> kExports = {"DllCanUnloadNow", "DllGetClassObject",
                                                      "DllInstall", "DllRegisterServer",
                                                      "DllUnregisterServer"};
    return kExports;
}

std::vector<std::string> CheckServerImage(std::span<const uint8_t> bytes, DllFacts& facts) {
    facts = DllFacts{};
    Checker checker{{bytes, 0, 4, {}}, facts, {}, {}, true};
    if (checker.ReadHeaders()) {
        checker.ReadExports();
        checker.ReadImports();
    }
    return checker.problems;
}
