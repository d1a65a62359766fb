// Sweeps over every example, test model and fuzz corpus file, as the most
// trusted importers run them:
// - each byte in turn set to its value plus one and minus one, to 0x00 and to
//   0xFF;
// - the file cut at every length.
// Each input goes through the engine, as the fuzzer's entry makes the call
// (its last bytes choose the request), and through a whole activation of
// the plug-in with every host check on. The sanitizer build runs the same
// sweeps. A cut of a sound file gets the verdict its end calls for: inside a
// section is damaged, never loaded; inside the header is nothing to import.
//
//     engine_sweep_test ROOT
#include "engine/ostrel.h"
#include "tests/support/CheckedHost.h"
#include "tests/support/ModelInvariants.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size); // fuzz/EngineFuzzer.cpp

namespace {

int gFailures = 0;
size_t gCutsJudged[4] = {}; // by CutEnd

void Fail(const std::string& file, const std::string& what) {
    if (++gFailures <= 20)
        std::fprintf(stderr, "%s: %s\n", file.c_str(), what.c_str());
}

// One input through both: the engine's checks abort on a broken promise;
// the activation's are returned.
void Sweep(const std::string& file, const std::string& bytes, const std::string& how) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
    const std::string broken = CheckActivation(data, bytes.size());
    if (!broken.empty())
        Fail(file, how + ": " + broken);
}

// Where a cut of the file ends, by the section keywords of the lines it
// holds whole or in part, as the reader's sections follow one another.
enum class CutEnd { BeforeMagic, Header, InsideSection, AfterSections };

CutEnd EndOf(std::string_view cut) {
    const size_t magic = cut.substr(0, 1) == std::string_view("\0", 1) ? kModelHeaderSize : 0;
    if (cut.size() < magic + kModelMagicSize)
        return CutEnd::BeforeMagic;
    struct Step {
        const char* keyword;
        CutEnd then;
    };
    // After "END00", the optional sections each open and close.
    static const char* const kOptional[][2] = {{"PALC0", "ENDP0"},
                                               {"BAKC0", "ENDB0"},
                                               {"LIT00", "ENDL0"},
                                               {"VIEW0", "ENDV0"},
                                               {"LINE2", "ENDL2"}};
    const char* const kMain[] = {"POINT", "LINE0", "FACE0", "END00"};
    size_t main = 0;                              // the next of kMain to meet
    const char* closing = nullptr;                // an optional section's, when inside one
    size_t at = cut.find_first_of("\r\n", magic); // the magic's line is skipped
    while (at != std::string_view::npos && at < cut.size()) {
        const size_t start = cut.find_first_not_of("\r\n", at);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(cut.find_first_of("\r\n", start), cut.size());
        const std::string_view line = cut.substr(start, end - start);
        if (main < 4) {
            if (line == kMain[main])
                ++main;
        } else if (closing != nullptr) {
            if (line == closing)
                closing = nullptr;
        } else {
            for (const auto& section : kOptional) {
                if (line == section[0])
                    closing = section[1];
            }
        }
        at = end;
    }
    if (main == 0)
        return CutEnd::Header;
    return main < 4 || closing != nullptr ? CutEnd::InsideSection : CutEnd::AfterSections;
}

int ResultOf(const std::string& bytes) {
    ostrel_import* done = ostrel_import_run(nullptr, "cut.rk4", bytes.data(), bytes.size());
    const int result = ostrel_result(done);
    ostrel_import_free(done);
    return result;
}

// Every cut of a file that loads whole: its verdict follows where it ends.
void CheckCuts(const std::string& file, const std::string& bytes) {
    if (ResultOf(bytes) != OSTREL_LOADED)
        return; // a damaged or hostile file: its cuts are swept, not judged
    const int loaded = OSTREL_LOADED;
    for (size_t length = 0; length < bytes.size(); ++length) {
        const std::string cut = bytes.substr(0, length);
        const int result = ResultOf(cut);
        const CutEnd end = EndOf(cut);
        const bool right = end == CutEnd::BeforeMagic     ? result == OSTREL_NOT_MODEL_FILE
                           : end == CutEnd::Header        ? result == OSTREL_NOTHING_TO_IMPORT
                           : end == CutEnd::InsideSection ? result == OSTREL_DAMAGED
                                                          : result == loaded;
        if (!right)
            Fail(file, "cut at " + std::to_string(length) + ": result " + std::to_string(result));
        ++gCutsJudged[static_cast<size_t>(end)];
    }
}

std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: engine_sweep_test ROOT\n");
        return 64;
    }
    const std::filesystem::path root = argv[1];
    std::vector<std::filesystem::path> files;
    for (const char* folder : {"examples", "examples/format", "tests/data", "fuzz/corpus"}) {
        for (const auto& entry : std::filesystem::directory_iterator(root / folder)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    const auto started = std::chrono::steady_clock::now();
    size_t inputs = 0;
    for (const std::filesystem::path& path : files) {
        const std::string file = path.lexically_relative(root).string();
        const std::string bytes = ReadWhole(path);
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto original = static_cast<unsigned char>(bytes[i]);
            for (const unsigned value : {original + 1u, original - 1u, 0u, 0xFFu}) {
                std::string patched = bytes;
                patched[i] = static_cast<char>(value & 0xFFu);
                Sweep(file, patched,
                      "byte " + std::to_string(i) + " = " + std::to_string(value & 0xFFu));
                ++inputs;
            }
        }
        for (size_t length = 0; length <= bytes.size(); ++length) {
            Sweep(file, bytes.substr(0, length), "cut at " + std::to_string(length));
            ++inputs;
        }
        CheckCuts(file, bytes);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("swept %zu files: %zu inputs through the engine and an activation each, %.1f s; "
                "cuts of sound files judged: %zu before the magic, %zu in the header, %zu inside a "
                "section (damaged), %zu after the sections; %d failed\n",
                files.size(), inputs, seconds, gCutsJudged[0], gCutsJudged[1], gCutsJudged[2],
                gCutsJudged[3], gFailures);
    return gFailures == 0 && !files.empty() ? 0 : 1;
}
