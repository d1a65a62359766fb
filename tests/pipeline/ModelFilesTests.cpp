// Which files a folder stands for: the model files directly in it, in an
// order that is the same on every system.
#include "pipeline/ModelFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ModelFiles, AFolderStandsForTheModelFilesDirectlyInIt) {
    const std::vector<std::string> names = {"b.rk4", "a.txt", "B.rk4", "sub/c.rk4",
                                            ".rk4",  "A.RK4", "a.rk4x"};
    std::vector<std::string> chosen;
    for (size_t i : FolderModelFiles(names))
        chosen.push_back(names[i]);
    EXPECT_EQ(chosen, (std::vector<std::string>{"A.RK4", "B.rk4", "b.rk4"}));
}

// With its sub-folders, a folder's own files come first, then each
// sub-folder's in name order, as the command line's --recursive walks them.
TEST(ModelFiles, WithSubfoldersInTheCommandLinesOrder) {
    const std::vector<std::string> names = {"b/z.rk4", "B.rk4",       "a/b/c.rk4", "a/x.rk4",
                                            "A/y.rk4", "a/notes.txt", "top.rk4"};
    std::vector<std::string> chosen;
    for (size_t i : FolderModelFiles(names, true))
        chosen.push_back(names[i]);
    EXPECT_EQ(chosen, (std::vector<std::string>{"B.rk4", "top.rk4", "A/y.rk4", "a/x.rk4",
                                                "a/b/c.rk4", "b/z.rk4"}));
}
