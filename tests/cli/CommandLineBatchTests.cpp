// The converter given many models at once: no output is ever written over a
// model file or over another output of the run, models of one name get
// outputs of their own, and folders stand for the model files in them.
#include "CommandLineRun.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

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
    // The outputs keep the folders' tree: a/c.rk4 and old/c.rk4 are two files.
    fs::create_directories(dir / "models" / "a");
    WriteFile(dir / "models" / "a" / "c.rk4", cube);
    const Result tree = Run({"--recursive", "models", "--out-dir", "tree", "--quiet"});
    EXPECT_EQ(tree.exit, 0) << tree.err;
    EXPECT_TRUE(fs::is_regular_file(dir / "tree" / "a" / "c.glb"));
    EXPECT_TRUE(fs::is_regular_file(dir / "tree" / "old" / "c.glb"));
    EXPECT_FALSE(fs::exists(dir / "tree" / "c-2.glb"));
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
    EXPECT_NE(some.out.find("models/sub/m.rk4 -> out/deeper/sub/m.glb: 8 points"),
              std::string::npos)
        << some.out;
    EXPECT_TRUE(fs::is_regular_file(dir / "out" / "deeper" / "sub" / "m.glb"));
}

} // namespace
