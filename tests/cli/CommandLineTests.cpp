// The converter run as a user runs it, in a scratch folder: where standard
// output, devices, FIFOs, links and folders take the output, what its lines
// say, and what it tells of what the reader left out.
#include "CommandLineRun.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// ------------------------------------------------------- special paths ---

TEST_F(CommandLine, DashIsStandardOutputForOneFileFormats) {
    ASSERT_EQ(Run({"cube.rk4", "-o", "c.lwo"}).exit, 0);
    const Result lwo = Run({"cube.rk4", "-o", "-", "--format", "lwo"});
    EXPECT_EQ(lwo.exit, 0);
    EXPECT_EQ(lwo.out, ReadFile(dir / "c.lwo"));
    EXPECT_EQ(lwo.err, "cube.rk4 -> standard output: 8 points, 6 polygons, 3 surfaces\n");
    const Result glb = Run({"cube.rk4", "--output=-", "--format=glb"});
    EXPECT_EQ(glb.exit, 0);
    EXPECT_EQ(glb.out.substr(0, 4), "glTF");
    const Result obj = Run({"cube.rk4", "-o", "-", "--format", "obj"});
    EXPECT_EQ(obj.exit, 64);
    EXPECT_EQ(obj.out, "");
    EXPECT_EQ(LineCount(obj.err), 1u);
    EXPECT_NE(obj.err.find("obj needs a second one for its materials"), std::string::npos);
    EXPECT_EQ(Names(), (std::vector<std::string>{"c.lwo", "cube.rk4"})); // no file named "-"

    // The trace is a file of this run too.
    const Result same = Run({"cube.rk4", "-o", "t.lwo", "--trace", "t.lwo"});
    EXPECT_EQ(same.exit, 6);
    EXPECT_EQ(same.err, "ostrel: cube.rk4: not written: the output t.lwo was already written in "
                        "this run, for the trace\n");

    // A trace on standard output stays a trace: the status line goes aside.
    const Result traced = Run({"cube.rk4", "-o", "c.lwo", "--trace", "-"});
    EXPECT_EQ(traced.exit, 0);
    EXPECT_EQ(traced.out.substr(traced.out.size() - 18), "status 0\nresult 0\n");
    EXPECT_EQ(traced.err, "cube.rk4 -> c.lwo: 8 points, 6 polygons, 3 surfaces\n");
}

TEST_F(CommandLine, AFifoIsWrittenIntoAndStaysAFifo) {
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::atomic<bool> read{false};
    std::thread reader([&] {
        received = ReadFile(fifo);
        read = true;
    });
    const Result r = Run({"cube.rk4", "-o", "pipe", "--format", "glb"});
    // Had ostrel never opened the FIFO, the reader would wait for a writer
    // for ever: open and close one until it is done, so that the test fails
    // rather than hangs.
    while (!read) {
        const int release = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (release >= 0)
            ::close(release);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(received.substr(0, 4), "glTF");
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
    EXPECT_EQ(Names(), (std::vector<std::string>{"cube.rk4", "pipe"}));
}

// A model from a FIFO (or a shell's "<(...)") gives its bytes once: the
// import has them all, and no second read for the warnings takes them from
// it or waits for them again; the outcome says it was not read for them,
// and --strict fails it.
TEST_F(CommandLine, AModelFromAFifoIsReadOnce) {
    const fs::path fifo = dir / "m.rk4";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto runFromFifo = [&](const std::vector<std::string>& args) {
        std::atomic<bool> done{false};
        std::thread writer([&] {
            int fd = -1;
            while (!done && (fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (fd < 0)
                return;
            ::fcntl(fd, F_SETFL, 0);
            for (size_t at = 0; at < cube.size();) {
                const ssize_t n = ::write(fd, cube.data() + at, cube.size() - at);
                if (n <= 0)
                    break;
                at += static_cast<size_t>(n);
            }
            ::close(fd);
            // A reader opening the FIFO again would wait for a writer for
            // ever: open and close one until ostrel ends, so that the test
            // fails rather than hangs.
            while (!done) {
                const int release = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                if (release >= 0)
                    ::close(release);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        const Result r = Run(args);
        done = true;
        writer.join();
        return r;
    };
    const std::string why = "not read for warnings: a pipe gives its bytes once, and the import "
                            "took them";
    const Result r = runFromFifo({"m.rk4", "--check"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "m.rk4: statistics \"8 pts / 0/0 lines / 6 faces\"; 8 points, 6 polygons, "
                     "3 surfaces received; ok, not read for warnings\n");
    EXPECT_EQ(r.err, "ostrel: warning: m.rk4: " + why + "\n");
    const Result strict = runFromFifo({"m.rk4", "--check", "--strict", "--quiet"});
    EXPECT_EQ(strict.exit, 7);
    EXPECT_EQ(strict.err, "ostrel: m.rk4: " + why + " (--strict)\n");
}

TEST_F(CommandLine, ADeviceNodeIsWrittenIntoNeverReplaced) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    // A scratch node for the null device, never the system's own /dev/null.
    const fs::path node = dir / "null";
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod refused here (" << std::strerror(errno) << ")";
    const Result r = Run({"cube.rk4", "-o", "null", "--format", "lwo"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "cube.rk4 -> null: 8 points, 6 polygons, 3 surfaces\n");
    struct stat st {};
    ASSERT_EQ(::lstat(node.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
    // An OBJ needs its material library beside it: not into a device.
    const Result obj = Run({"cube.rk4", "-o", "null", "--format", "obj"});
    EXPECT_EQ(obj.exit, 6);
    EXPECT_NE(obj.err.find("an OBJ cannot go into a device or FIFO"), std::string::npos);
    EXPECT_EQ(Names(), (std::vector<std::string>{"cube.rk4", "null"}));
}

TEST_F(CommandLine, AFolderOrAMissingFolderIsRefusedBeforeTheImport) {
    fs::create_directories(dir / "c.lwo");
    const Result r = Run({"cube.rk4", "-o", "c.lwo", "--trace", "t"});
    EXPECT_EQ(r.exit, 6);
    EXPECT_EQ(r.err, "ostrel: cube.rk4: not written: c.lwo is a folder, not a file\n");
    EXPECT_EQ(ReadFile(dir / "t"), ""); // the module never activated
    EXPECT_TRUE(fs::is_empty(dir / "c.lwo"));

    // So is an output whose folder is missing, or is a file.
    WriteFile(dir / "file", "x");
    for (const char* path : {"missing/c.obj", "file/c.glb"}) {
        const Result m = Run({"cube.rk4", "-o", path, "--trace", "t"});
        EXPECT_EQ(m.exit, 6);
        const std::string folder = std::string(path).substr(0, std::string(path).find('/') + 1);
        EXPECT_EQ(m.err, "ostrel: cube.rk4: not written: " + std::string(path) +
                             ": cannot write (no folder " + folder + ")\n");
        EXPECT_EQ(ReadFile(dir / "t"), "");
    }
}

// A symbolic link is followed: what it points to gets the output (replaced
// as a file would be), and the link stays as it was.
TEST_F(CommandLine, ASymbolicLinkIsFollowed) {
    fs::create_directories(dir / "real");
    WriteFile(dir / "real" / "old.lwo", "old");
    fs::create_symlink("real/old.lwo", dir / "link.lwo");
    fs::create_symlink("real/new.glb", dir / "dangling.glb");
    EXPECT_EQ(Run({"cube.rk4", "-o", "link.lwo"}).exit, 0);
    EXPECT_EQ(Run({"cube.rk4", "-o", "dangling.glb"}).exit, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.lwo"));
    EXPECT_EQ(fs::read_symlink(dir / "link.lwo"), "real/old.lwo");
    EXPECT_EQ(ReadFile(dir / "real" / "old.lwo").substr(0, 4), "FORM");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.glb"));
    EXPECT_EQ(ReadFile(dir / "real" / "new.glb").substr(0, 4), "glTF");
    std::vector<std::string> real;
    for (const fs::directory_entry& e : fs::directory_iterator(dir / "real"))
        real.push_back(e.path().filename().string());
    std::sort(real.begin(), real.end());
    EXPECT_EQ(real, (std::vector<std::string>{"new.glb", "old.lwo"})); // no temporary left

    fs::create_symlink("loop.lwo", dir / "loop.lwo");
    const Result loop = Run({"cube.rk4", "-o", "loop.lwo"});
    EXPECT_EQ(loop.exit, 6);
    EXPECT_NE(loop.err.find("loop.lwo: cannot follow the link"), std::string::npos) << loop.err;
}

TEST_F(CommandLine, HelpForms) {
    for (const char* form : {"-h", "-?", "--help"}) {
        const Result r = Run({form});
        EXPECT_EQ(r.exit, 0) << form;
        EXPECT_EQ(r.out.rfind("usage: ostrel", 0), 0u) << form;
    }
}

// ------------------------------------------------- names and status lines ---

TEST_F(CommandLine, TheMaterialLibraryNameHasNoSpaces) {
    const Result r = Run({"cube.rk4", "-o", "my cube.obj"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "cube.rk4 -> my cube.obj: 8 points, 6 polygons, 3 surfaces; materials in "
                     "my_cube.mtl (whitespace replaced: OBJ readers end the material library's "
                     "name at a space)\n");
    EXPECT_NE(ReadFile(dir / "my cube.obj").find("mtllib my_cube.mtl\n"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "my_cube.mtl").substr(0, 7), "newmtl ");
}

TEST_F(CommandLine, AnOutputWithoutPolygonsSaysSo) {
    // The cube has no free lines: loading lines only leaves its points.
    const Result r = Run({"cube.rk4", "-o", "c.lwo", "--load", "lines"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "cube.rk4 -> c.lwo: 8 points, 0 polygons, 0 surfaces; no polygon to show: "
                     "the output holds points only\n");
}

// The picture end to end: a PNG of the size asked for, 8-bit RGBA, and the
// same bytes from every build.
TEST_F(CommandLine, APictureIsAPngOfItsSize) {
    const Result r = Run({"cube.rk4", "-o", "c.png", "--size", "64"});
    EXPECT_EQ(r.exit, 0) << r.err;
    const std::string png = ReadFile(dir / "c.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(png.substr(16, 10), std::string("\0\0\0\x40\0\0\0\x40\x08\x06", 10));
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : png)
        h = (h ^ c) * 0x100000001b3ull;
    EXPECT_EQ(h, 0x8d6fd2a69be2f24aull) << std::hex << h;
}

TEST_F(CommandLine, FormatAndExtensionMustAgree) {
    const Result r = Run({"cube.rk4", "-o", "c.obj", "--format", "glb"});
    EXPECT_EQ(r.exit, 64);
    EXPECT_EQ(r.err, "ostrel: -o c.obj names a .obj file, but --format asks for glb (use .glb, "
                     "or leave out --format)\n");
    EXPECT_EQ(Run({"cube.rk4", "-o", "c.bin", "--format", "glb"}).exit, 0);
    EXPECT_EQ(ReadFile(dir / "c.bin").substr(0, 4), "glTF");
}

// A scale that takes a point past the float range: every format refuses it
// alike, with exit 6 and one line naming the point; nothing is written.
TEST_F(CommandLine, APointBeyondTheFloatRangeIsWrittenByNoFormat) {
    for (const char* out : {"c.lwo", "c.obj", "c.glb"}) {
        const Result r = Run({"cube.rk4", "-o", out, "--scale", "1e300"});
        EXPECT_EQ(r.exit, 6) << out;
        EXPECT_EQ(r.err, "ostrel: cube.rk4: not written: " + std::string(out) +
                             ": point 1 is at (inf, -0, 0), beyond the range of a float: convert "
                             "with a smaller scale\n");
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"cube.rk4"});
}

// Without a panel the edits could not take effect: a usage error before
// anything is imported.
TEST_F(CommandLine, EditsWithoutAPanelAreAUsageError) {
    const Result r = Run({"cube.rk4", "--no-panel", "--smooth", "off", "-o", "c.obj"});
    EXPECT_EQ(r.exit, 64);
    EXPECT_EQ(r.err, "ostrel: --no-panel: no panel opens, so --smooth cannot take effect (leave "
                     "it out)\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"cube.rk4"});
    EXPECT_EQ(Run({"cube.rk4", "--no-panel", "-o", "c.obj"}).exit, 0);
}

// The trace that cannot be written keeps its documented status.
TEST_F(CommandLine, ATraceThatCannotBeWrittenEndsWithStatus2) {
    const Result r = Run({"cube.rk4", "--trace", "missing/t.trace"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.err, "ostrel: missing/t.trace: cannot write the trace (No such file or "
                     "directory)\n");
}

} // namespace

// ------------------------------------------------ what the reader left out ---

// One warning line per thing left out, naming file and line; --quiet leaves
// them out; --strict fails the file (exit 7) and writes nothing.
TEST_F(CommandLine, WarningsNameTheLineAndStrictFails) {
    std::string broken = cube;
    const size_t faces = broken.find("FACE0\n");
    ASSERT_NE(faces, std::string::npos);
    const size_t colour = broken.find('\n', faces + 6) + 1; // the first face's colour
    broken.replace(colour, broken.find('\n', colour) - colour, "16");
    WriteFile(dir / "b.rk4", broken);
    const std::string line = std::to_string(LineCount(cube.substr(0, faces)) + 3);
    const std::string warning =
        "ostrel: warning: b.rk4:" + line + ": face left out: colour index 16 is outside 0..15\n";

    const Result plain = Run({"b.rk4", "-o", "b.glb"});
    EXPECT_EQ(plain.exit, 0);
    EXPECT_EQ(plain.err, warning);
    EXPECT_EQ(plain.out, "b.rk4 -> b.glb: 8 points, 5 polygons, 3 surfaces\n");
    fs::remove(dir / "b.glb");

    const Result check = Run({"b.rk4", "--check"});
    EXPECT_EQ(check.err, warning);
    EXPECT_NE(check.out.find("; ok, 1 warning\n"), std::string::npos) << check.out;

    const Result quiet = Run({"b.rk4", "--quiet", "-o", "b.glb"});
    EXPECT_EQ(quiet.exit, 0);
    EXPECT_EQ(quiet.err, "");

    const Result strict =
        Run({"b.rk4", "cube.rk4", "--strict", "--quiet", "--out-dir", "o", "--format", "lwo"});
    EXPECT_EQ(strict.exit, 7);
    EXPECT_EQ(strict.err, "ostrel: b.rk4: 1 warning, not written (--strict)\n"
                          "ostrel: 1 of 2 model files failed: b.rk4\n");
    EXPECT_FALSE(fs::exists(dir / "o" / "b.lwo"));
    EXPECT_TRUE(fs::exists(dir / "o" / "cube.lwo"));

    // Line 8, the first point's x, of 92 characters: its rest is read as y,
    // and every later record shifts. The file is damaged: nothing is
    // written unless --salvage asks for what was read, and then it is
    // written and still called damaged.
    std::string shifted = cube;
    size_t x = 0;
    for (int i = 1; i < 8; ++i)
        x = shifted.find('\n', x) + 1;
    shifted.replace(x, 1, std::string(92, '0'));
    WriteFile(dir / "long.rk4", shifted);
    const std::string damaged =
        "damaged: line 8 is 92 characters long: the reader keeps 79 and reads the rest as a line "
        "of its own, so the records of the point section after it are out of step";
    const Result longCheck = Run({"long.rk4", "--check"});
    EXPECT_EQ(longCheck.exit, 9);
    EXPECT_EQ(longCheck.err,
              "ostrel: warning: long.rk4:8: line 8 is 92 characters long: the reader keeps 79, "
              "and the rest is read as the next line\n"
              "ostrel: warning: long.rk4:67: no number in \"LINE0\": read as 0\n"
              "ostrel: warning: long.rk4:116: no number in \"FACE0\": read as 0\n"
              "ostrel: warning: long.rk4:159: no number in \"END00\": read as 0\n"
              "ostrel: warning: long.rk4:188: the file ends inside the point section (no "
              "\"LINE0\" line)\n"
              "ostrel: warning: long.rk4: and 8 more number fields without a number\n"
              "ostrel: long.rk4: " +
                  damaged + "\n");
    EXPECT_NE(longCheck.out.find("received; " + damaged + "\n"), std::string::npos);
    const Result refused = Run({"long.rk4", "cube.rk4", "--quiet", "--out-dir", "o"});
    EXPECT_EQ(refused.exit, 9);
    EXPECT_FALSE(fs::exists(dir / "o" / "long.glb"));
    EXPECT_EQ(refused.err, "ostrel: long.rk4: " + damaged +
                               "; o/long.glb not written (--salvage writes what was read)\n"
                               "ostrel: 1 of 2 model files damaged: long.rk4\n");
    EXPECT_NE(refused.out.find("2 model files: 1 converted, 1 damaged, 0 failed, 1 with warnings"),
              std::string::npos)
        << refused.out;
    const Result salvaged = Run({"long.rk4", "--quiet", "--salvage", "-o", "long.glb"});
    EXPECT_EQ(salvaged.exit, 9);
    EXPECT_TRUE(fs::exists(dir / "long.glb"));
    EXPECT_EQ(salvaged.out, "long.rk4 -> long.glb: 24 points, 0 polygons, 0 surfaces; no polygon "
                            "to show: the output holds points only; " +
                                damaged + " (written as read, --salvage)\n");
}

// "-" is the model on standard input, imported as stdin.rk4: its surfaces,
// its object and its --out-dir output are named so.
TEST_F(CommandLine, DashReadsTheModelFromStandardInput) {
    const Result r = Run({"-", "--out-dir", "out", "--trace", "t"}, "cube.rk4");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "- -> out/stdin.glb: 8 points, 6 polygons, 3 surfaces\n");
    EXPECT_NE(ReadFile(dir / "t").find("lookupSurface \"stdin0\""), std::string::npos);
    WriteFile(dir / "bom.rk4", "\xEF\xBB\xBF" + cube);
    const Result bom = Run({"-", "--check"}, "bom.rk4");
    EXPECT_EQ(bom.exit, 1);
    EXPECT_EQ(bom.err, "ostrel: -: not a model file: it starts with a byte-order mark before "
                       "\"ROKU4\" (as Notepad saves UTF-8): save it without one\n");
    EXPECT_EQ(Run({"-", "-", "--check"}).exit, 64);
}
