#include "mesh/Mesh.h"
#include "model/Model.h"

#include <gtest/gtest.h>

#include <string>

TEST(Smoke, ReadsTetrahedron) {
    const std::string text = "ROKU4\nPOINT\n"
                             "0\n0\n0\n0\n0\n0\n0\n0\n"
                             "0\n0\n0\n0\n0\n1\n0\n0\n"
                             "LINE0\n1\n2\n0\n0\nFACE0\n1\n3\n0\n1\nEND00\n";
    ByteSource s;
    InitMemorySource(s, text.data(), text.size());
    ModelTables t;
    int32_t target = -5, ds = -5;
    ASSERT_EQ(ReadModelFile(s, t, &target, &ds), kReadOk);
    EXPECT_EQ(PointCount(t), 2);
    EXPECT_EQ(FaceCount(t), 1);
    ReleaseModel(t);
}
