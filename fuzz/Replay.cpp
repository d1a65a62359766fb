// Feeds every file of the given folders (or the given files) through the
// fuzzers' checks, without libFuzzer: the normal and sanitizer test builds
// replay the corpus and the pinned crashes with it.
#include "tests/support/CheckedHost.h"
#include "tests/support/ModelInvariants.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool ReadWhole(const std::filesystem::path& path, std::vector<unsigned char>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
        } else {
            files.push_back(arg);
        }
    }
    std::sort(files.begin(), files.end());
    int failures = 0;
    std::vector<unsigned char> data;
    for (const auto& file : files) {
        if (!ReadWhole(file, data)) {
            std::fprintf(stderr, "%s: cannot read\n", file.string().c_str());
            ++failures;
            continue;
        }
        const std::string activation = CheckActivation(data.data(), data.size());
        const std::string reader = CheckReader(data.data(), data.size());
        if (!activation.empty() || !reader.empty()) {
            std::fprintf(stderr, "%s:\n%s%s\n", file.string().c_str(), activation.c_str(),
                         reader.c_str());
            ++failures;
        }
    }
    std::printf("replayed %zu inputs, %d failed\n", files.size(), failures);
    return failures == 0 && !files.empty() ? 0 : 1;
}
