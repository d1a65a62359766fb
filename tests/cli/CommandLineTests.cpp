// The converter run as a user runs it, in a scratch folder: it never writes
// over a model file, where standard output, devices, FIFOs, links and
// folders take the output, the folder --out-dir names, and what its lines
// say.
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

namespace fs = std::filesystem;

struct Result {
    int exit = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

size_t LineCount(const std::string& text) {
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

// -------------------------------------------- inputs are never outputs ---

TEST_F(CommandLine, AnOutputOnAModelFileIsRefusedAndNothingWritten) {
    WriteFile(dir / "model.obj", cube);
    ASSERT_EQ(::link((dir / "cube.rk4").c_str(), (dir / "hard.lwo").c_str()), 0);
    fs::create_symlink("cube.rk4", dir / "soft.glb");
    WriteFile(dir / "lib.mtl", cube);
    const struct {
        std::vector<std::string> args;
        const char* line;
    } cases[] = {
        {{"cube.rk4", "-o", "cube.rk4", "--format", "obj"},
         "ostrel: cube.rk4: not written: the output cube.rk4 is the same file as the model file "
         "cube.rk4\n"},
        {{"model.obj", "--out-dir", ".", "--format", "obj"},
         "ostrel: model.obj: not written: the output ./model.obj is the same file as the model "
         "file model.obj\n"},
        // The same file, not the same spelling: a hard link, a symbolic link.
        {{"cube.rk4", "-o", "hard.lwo"},
         "ostrel: cube.rk4: not written: the output hard.lwo is the same file as the model file "
         "cube.rk4\n"},
        {{"cube.rk4", "-o", "soft.glb"},
         "ostrel: cube.rk4: not written: the output soft.glb is the same file as the model file "
         "cube.rk4\n"},
        // The OBJ's material library counts too; and so does the trace.
        {{"lib.mtl", "-o", "lib.obj"},
         "ostrel: lib.mtl: not written: its material library lib.mtl is the same file as the "
         "model file lib.mtl\n"},
        {{"cube.rk4", "--trace", "./cube.rk4"},
         "ostrel: not written: the trace ./cube.rk4 is the same file as the model file "
         "cube.rk4\n"},
    };
    const std::vector<std::string> before = Names();
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.exit, 6) << c.line;
        EXPECT_EQ(r.err, c.line);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ReadFile(dir / "cube.rk4"), cube);
        EXPECT_EQ(ReadFile(dir / "model.obj"), cube);
        EXPECT_EQ(ReadFile(dir / "lib.mtl"), cube);
        EXPECT_EQ(Names(), before) << c.line;
    }
}

TEST_F(CommandLine, ABatchRefusesOnlyTheFilesThatClash) {
    fs::create_directories(dir / "in");
    WriteFile(dir / "in" / "a.rk4", cube);
    WriteFile(dir / "in" / "b.rk4", cube);
    WriteFile(dir / "b.lwo", cube); // a model file, and the output in/b.rk4 would get
    const Result r = Run({"in/a.rk4", "in/b.rk4", "b.lwo", "--out-dir", ".", "--format", "lwo"});
    EXPECT_EQ(r.exit, 6);
    EXPECT_EQ(ReadFile(dir / "b.lwo"), cube);
    // The name b was given to in/b.rk4 (refused), so b.lwo's output is b-2.
    EXPECT_EQ(r.out, "in/a.rk4 -> ./a.lwo: 8 points, 6 polygons, 3 surfaces\n"
                     "b.lwo -> ./b-2.lwo: 8 points, 6 polygons, 3 surfaces\n"
                     "3 model files: 2 converted, 1 failed, 0 with warnings\n");
    EXPECT_EQ(r.err, "ostrel: in/b.rk4: not written: the output ./b.lwo is the same file as the "
                     "model file b.lwo\n"
                     "ostrel: 1 of 3 model files failed: in/b.rk4\n");
}

// Models of the same name from two folders: the later ones get "-2", "-3"
// (the first name free, compared without case); an output of this run is
// still never written over (a second --out-dir run into an output of the
// first is a new run). --out-dir alone writes glb.
TEST_F(CommandLine, ModelsOfOneNameGetDistinctOutputs) {
    fs::create_directories(dir / "in");
    WriteFile(dir / "in" / "cube.rk4", cube);
    WriteFile(dir / "in" / "CUBE-2.rk4", cube);
    const Result r = Run({"in/cube.rk4", "cube.rk4", "in/CUBE-2.rk4", "--out-dir", "out"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "in/cube.rk4 -> out/cube.glb: 8 points, 6 polygons, 3 surfaces\n"
                     "cube.rk4 -> out/cube-2.glb: 8 points, 6 polygons, 3 surfaces\n"
                     "in/CUBE-2.rk4 -> out/CUBE-2-2.glb: 8 points, 6 polygons, 3 surfaces\n"
                     "3 model files: 3 converted, 0 failed, 0 with warnings\n");
    EXPECT_EQ(r.err, "");
}

// Several imports at once say and write what one at a time does: each
// model's lines whole and in the order given, the summary, the exit status,
// the same files. An output written through a link onto another model's
// output is refused even when both were planned before either was written.
TEST_F(CommandLine, ImportsAtOnceSayAndWriteWhatOneAtATimeDoes) {
    std::string broken = cube;
    const size_t faces = broken.find("FACE0\n");
    ASSERT_NE(faces, std::string::npos);
    const size_t colour = broken.find('\n', faces + 6) + 1;
    broken.replace(colour, broken.find('\n', colour) - colour, "16");
    fs::create_directories(dir / "in");
    std::vector<std::string> models;
    for (int i = 0; i < 12; ++i) {
        const std::string name = "in/m" + std::to_string(i) + ".rk4";
        WriteFile(dir / name, i % 4 == 1 ? broken : i % 4 == 2 ? "not a model\n" : cube);
        models.push_back(name);
    }
    models.push_back("cube.rk4");
    for (const char* jobs : {"1", "4"}) {
        SCOPED_TRACE(std::string("-j ") + jobs);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        // m3's output is m4's; with four at once, m4 is planned before m3
        // writes it.
        fs::create_symlink("m4.glb", dir / "out" / "m3.glb");
        std::vector<std::string> args = models;
        args.insert(args.end(), {"--out-dir", "out", "-j", jobs});
        const Result r = Run(args);
        EXPECT_EQ(r.exit, 1);
        std::string out, err;
        for (int i = 0; i < 12; ++i) {
            const std::string m = "in/m" + std::to_string(i) + ".rk4";
            const std::string o = "out/m" + std::to_string(i) + ".glb";
            if (i % 4 == 2)
                err += "ostrel: " + m +
                       ": not a model file: it starts with \"not a model\", not "
                       "\"ROKU4\"\n";
            else if (i == 4)
                err += "ostrel: " + m + ": not written: the output " + o +
                       " was already written in this run as out/m3.glb, for in/m3.rk4\n";
            else if (i % 4 == 1)
                err += "ostrel: warning: " + m + ":" +
                       std::to_string(LineCount(cube.substr(0, faces)) + 3) +
                       ": face left out: colour index 16 is outside 0..15\n";
            if (i % 4 == 1)
                out += m + " -> " + o + ": 8 points, 5 polygons, 3 surfaces\n";
            else if (i % 4 != 2 && i != 4)
                out += m + " -> " + o + ": 8 points, 6 polygons, 3 surfaces\n";
        }
        out += "cube.rk4 -> out/cube.glb: 8 points, 6 polygons, 3 surfaces\n"
               "13 model files: 9 converted, 4 failed, 3 with warnings\n";
        err += "ostrel: 4 of 13 model files failed: in/m2.rk4, in/m4.rk4, in/m6.rk4, "
               "in/m10.rk4\n";
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, err);
        EXPECT_TRUE(ReadFile(dir / "out" / "m4.glb").find("\"name\":\"m3\"") != std::string::npos);
        EXPECT_TRUE(fs::is_symlink(dir / "out" / "m3.glb"));
    }
    EXPECT_EQ(Run({"cube.rk4", "-j", "0"}).exit, 64);
}

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
// it or waits for them again.
TEST_F(CommandLine, AModelFromAFifoIsReadOnce) {
    const fs::path fifo = dir / "m.rk4";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
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
        // A reader opening the FIFO again would wait for a writer for ever:
        // open and close one until ostrel ends, so that the test fails
        // rather than hangs.
        while (!done) {
            const int release = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (release >= 0)
                ::close(release);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const Result r = Run({"m.rk4", "--check"});
    done = true;
    writer.join();
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "m.rk4: statistics \"8 pts / 0/0 lines / 6 faces\"; 8 points, 6 polygons, "
                     "3 surfaces received; ok\n");
    EXPECT_EQ(r.err, "");
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

// -------------------------------------------------------------- folders ---

TEST_F(CommandLine, OutDirIsCreatedOrRefusedBeforeAnyImport) {
    const Result made = Run({"cube.rk4", "--out-dir", "out/glb", "--format", "glb"});
    EXPECT_EQ(made.exit, 0) << made.err;
    EXPECT_EQ(made.out, "cube.rk4 -> out/glb/cube.glb: 8 points, 6 polygons, 3 surfaces\n");
    EXPECT_EQ(ReadFile(dir / "out" / "glb" / "cube.glb").substr(0, 4), "glTF");

    WriteFile(dir / "file", "x");
    const struct {
        const char* outDir;
        const char* line;
    } cases[] = {
        {"file", "ostrel: --out-dir file: is not a folder\n"},
        {"file/sub", "ostrel: --out-dir file/sub: cannot create the folder (file is not a "
                     "folder)\n"},
    };
    for (const auto& c : cases) {
        // The missing second model would fail its import: one line shows none ran.
        const Result r = Run({"cube.rk4", "missing.rk4", "--out-dir", c.outDir, "--format", "obj"});
        EXPECT_EQ(r.exit, 6);
        EXPECT_EQ(r.err, c.line);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(ReadFile(dir / "file"), "x");
}

// A folder given as a model stands for the model files directly inside it,
// in name order; --recursive adds those of its sub-folders.
TEST_F(CommandLine, AFolderConvertsTheModelFilesInIt) {
    fs::create_directories(dir / "models" / "old");
    WriteFile(dir / "models" / "b.RK4", cube);
    WriteFile(dir / "models" / "a.rk4", cube);
    WriteFile(dir / "models" / "notes.txt", "x");
    WriteFile(dir / "models" / "old" / "c.rk4", cube);
    const Result r = Run({"models", "--out-dir", "out"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "models/a.rk4 -> out/a.glb: 8 points, 6 polygons, 3 surfaces\n"
                     "models/b.RK4 -> out/b.glb: 8 points, 6 polygons, 3 surfaces\n"
                     "2 model files: 2 converted, 0 failed, 0 with warnings\n");
    const Result all = Run({"--recursive", "models/", "--check"});
    EXPECT_EQ(all.exit, 0) << all.err;
    EXPECT_NE(all.out.find("\nmodels/old/c.rk4: statistics"), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("\n3 model files: 3 checked"), std::string::npos) << all.out;
    // -o takes one model file, and this folder holds two.
    EXPECT_EQ(Run({"models", "-o", "x.glb"}).exit, 64);
}

// The output folder is made when the first output is written: a run that
// writes nothing leaves none behind.
TEST_F(CommandLine, NothingWrittenMakesNoOutputFolder) {
    fs::create_directories(dir / "models" / "sub");
    WriteFile(dir / "models" / "sub" / "m.rk4", cube);
    const Result none = Run({"models", "--out-dir", "out"});
    EXPECT_EQ(none.exit, 2);
    EXPECT_EQ(none.err, "ostrel: models: a folder without model files (.rk4) directly inside it "
                        "(--recursive looks in its sub-folders too)\n");
    WriteFile(dir / "bad.rk4", "not a model");
    EXPECT_EQ(Run({"bad.rk4", "missing.rk4", "--out-dir", "out/deeper"}).exit, 1);
    EXPECT_FALSE(fs::exists(dir / "out"));
    const Result some = Run({"bad.rk4", "models", "--recursive", "--out-dir", "out/deeper"});
    EXPECT_EQ(some.exit, 1);
    EXPECT_NE(some.out.find("models/sub/m.rk4 -> out/deeper/m.glb: 8 points"), std::string::npos)
        << some.out;
    EXPECT_TRUE(fs::is_regular_file(dir / "out" / "deeper" / "m.glb"));
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
