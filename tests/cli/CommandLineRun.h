// Runs the converter as a user runs it, in a scratch folder of its own per
// test: the fixture the command-line tests share.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct Result {
    int exit = -1;
    std::string out;
    std::string err;
};

inline std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline size_t LineCount(const std::string& text) {
    size_t n = 0;
    for (char c : text)
        n += c == '\n' ? 1 : 0;
    return n;
}

class CommandLine : public ::testing::Test {
  protected:
    fs::path dir;
    std::string cube;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("ostrel-cli-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        cube = ReadFile(fs::path(OSTREL_EXAMPLES_DIR) / "cube.rk4");
        ASSERT_FALSE(cube.empty());
        WriteFile(dir / "cube.rk4", cube);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs ostrel in the scratch folder, standard input empty (or the file
    // `input` of the folder).
    Result Run(const std::vector<std::string>& args, const std::string& input = "") const {
        std::string command = "cd " + Quoted(dir.string()) + " && ";
        if (std::string(OSTREL_EMULATOR) != "")
            command += Quoted(OSTREL_EMULATOR) + " ";
        command += Quoted(OSTREL_EXE);
        for (const std::string& a : args)
            command += " " + Quoted(a);
        const fs::path out = dir / ".stdout", err = dir / ".stderr";
        command += " <" + (input.empty() ? std::string("/dev/null") : Quoted(input)) + " >" +
                   Quoted(out.string()) + " 2>" + Quoted(err.string());
        const int status = std::system(command.c_str());
        Result r;
        r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadFile(out);
        r.err = ReadFile(err);
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    // The names in the scratch folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};
