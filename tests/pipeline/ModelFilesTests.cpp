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
