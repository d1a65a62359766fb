// Folders given as model paths, and the reason a name that reaches the
// program as a pattern cannot be opened; in a scratch folder of real files.
#include "cli/ModelList.h"
#include "cli/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Paths = std::vector<std::string>;

class ModelList : public ::testing::Test {
  protected:
    fs::path dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("ostrel-list-" + std::string(info->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Creates the file `name` (a relative path with '/'), its folders too.
    void Touch(const std::string& name) const {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name) << "ROKU4\n";
    }
    std::string At(const std::string& name) const { return (dir / name).string(); }
};

} // namespace

TEST_F(ModelList, AFolderStandsForItsModelFilesInNameOrder) {
    for (const char* name : {"b.RK4", "A.rk4", "a2.rk4", "notes.txt", "rk4", "sub/c.rk4"})
        Touch(name);
    fs::create_directories(dir / "empty.rk4"); // a folder, though named like a model
    const std::string top = At("");
    const std::string models = dir.string();
    EXPECT_EQ(
        ExpandModelFolders({models}, false),
        (Paths{InFolder(models, "A.rk4"), InFolder(models, "a2.rk4"), InFolder(models, "b.RK4")}));
    // Recursive: each folder's own files before its sub-folders'; what is
    // not a folder stays as given, in its place.
    EXPECT_EQ(ExpandModelFolders({"x.rk4", top, "-"}, true),
              (Paths{"x.rk4", InFolder(top, "A.rk4"), InFolder(top, "a2.rk4"),
                     InFolder(top, "b.RK4"), InFolder(InFolder(top, "sub"), "c.rk4"), "-"}));
    // Without model files a folder stays in the list, and says why when imported.
    EXPECT_EQ(ExpandModelFolders({At("empty.rk4")}, true), Paths{At("empty.rk4")});
    EXPECT_EQ(ModelPathProblem(At("empty.rk4"), false, true, 1252),
              "a folder without model files (.rk4) directly inside it (--recursive looks in its "
              "sub-folders too)");
    EXPECT_EQ(ModelPathProblem(At("empty.rk4"), true, true, 1252),
              "a folder without model files (.rk4), its sub-folders included");
}

TEST_F(ModelList, ALinkBackUpTheTreeIsWalkedOnce) {
    Touch("a/m.rk4");
    std::error_code error;
    fs::create_directory_symlink("..", dir / "a" / "up", error);
    if (error)
        GTEST_SKIP() << "no folder links here: " << error.message();
    const std::string a = InFolder(dir.string(), "a");
    EXPECT_EQ(ExpandModelFolders({dir.string()}, true), Paths{InFolder(a, "m.rk4")});
}

TEST(ModelListPatterns, Wildcards) {
    EXPECT_TRUE(MatchesWildcard("Cube.RK4", "*.rk4"));
    EXPECT_TRUE(MatchesWildcard("ab", "a?"));
    EXPECT_TRUE(MatchesWildcard("a.b.c", "*.*c"));
    EXPECT_TRUE(MatchesWildcard("", "*"));
    EXPECT_FALSE(MatchesWildcard("a", "a?"));
    EXPECT_FALSE(MatchesWildcard("cube.rk4x", "*.rk4"));
}

// What Windows hands a program for a name its code page cannot spell: '?'
// for each such character, in the path given and in every listed name. The
// names here hold '?' as they are listed there (no Windows name can).
TEST_F(ModelList, AnUnspellableNameIsToldFromAPatternThatMatchedNothing) {
    std::error_code error;
    fs::create_directories(dir / "x??", error);
    if (error)
        GTEST_SKIP() << "names cannot hold '?' here";
    Touch("x\?\?/a.rk4");
    Touch("spelled/?.rk4");
    // The folder's name read as a pattern: it matches "x??", which holds '?'.
    EXPECT_EQ(ModelPathProblem(At("\?\?\?/a.rk4"), false, false, 1252),
              "cannot open: the folder name \"???\" has characters that the system's code page "
              "(1252) cannot spell, passed to programs as '?' (rename the folder with letters of "
              "code page 1252, or drop the files on ostrel.html, which reads any name)");
    EXPECT_NE(ModelPathProblem(At("s*/??rk4"), false, false, 932)
                  .find("the file name \"??rk4\" has characters that the system's code page (932)"),
              std::string::npos);
    EXPECT_EQ(ModelPathProblem(At("nothing/*.rk4"), false, false, 1252),
              "no such file: no file matches this pattern");
    EXPECT_EQ(ModelPathProblem(At("sp*/*.obj"), false, false, 1252),
              "no such file: no file matches this pattern");
    // Where names may hold '?', a missing path is the import's to report.
    EXPECT_EQ(ModelPathProblem(At("\?\?\?/a.rk4"), false, true, 1252), "");
}
