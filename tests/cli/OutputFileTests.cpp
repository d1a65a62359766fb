// Output files that appear complete or not at all: a failed set leaves
// nothing behind, and what was already placed is taken back.
#include "cli/OutputFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#if defined(_WIN32)
#include <process.h>
#else
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

TEST(OutputFiles, TemporariesBesideTheirFiles) {
    EXPECT_EQ(TemporaryPathFor("out/cube.obj").rfind("out/.cube.obj.part", 0), 0u);
#if defined(_WIN32)
    EXPECT_EQ(TemporaryPathFor("out\\cube.obj").rfind("out\\.cube.obj.part", 0), 0u);
#endif
}

TEST(OutputFiles, AFailureLeavesNothingBehind) {
    const fs::path dir =
        fs::temp_directory_path() / ("ostrel-output-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "taken.obj"); // the OBJ's name is a folder: refused
    std::string error;
    const std::vector<OutputFile> files = {{(dir / "taken.mtl").string(), "newmtl a\n"},
                                           {(dir / "taken.obj").string(), "v 0 0 0\n"}};
    EXPECT_FALSE(WriteOutputFiles(files, error));
    EXPECT_NE(error.find("taken.obj"), std::string::npos) << error;
    std::vector<std::string> left;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"taken.obj"})) // only the folder that was there
        << "nothing of the set may be written";

    const std::vector<OutputFile> good = {{(dir / "ok.lwo").string(), "FORM"}};
    ASSERT_TRUE(WriteOutputFiles(good, error)) << error;
    {
        std::ifstream in(dir / "ok.lwo", std::ios::binary); // closed before the removal
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "FORM");
    }
    EXPECT_FALSE(fs::exists(TemporaryPathFor((dir / "ok.lwo").string())));
    fs::remove_all(dir);
}

#if !defined(_WIN32)
// A device that fails every write, after the MTL is in place: the MTL goes
// again. The device is a scratch node, never one of the system's own.
TEST(OutputFiles, AFailedDeviceWriteTakesBackWhatWasPlaced) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    const fs::path dir =
        fs::temp_directory_path() / ("ostrel-output-full-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path full = dir / "full.obj"; // the device that is always full
    if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "mknod refused here";
    std::string error;
    const std::vector<OutputFile> files = {{(dir / "full.mtl").string(), "newmtl a\n"},
                                           {full.string(), "v 0 0 0\n"}};
    EXPECT_FALSE(WriteOutputFiles(files, error));
    EXPECT_EQ(error, full.string() + ": cannot write (No space left on device)");
    std::vector<std::string> left;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"full.obj"}));
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(full)));
    fs::remove_all(dir);
}
#endif

} // namespace
