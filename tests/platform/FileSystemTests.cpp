// The file system as the rest of the program sees it: where a path's folder
// part ends (both slashes and a drive on Windows, where a double-byte
// character of the ANSI code page may hold the byte of a backslash), and the
// scratch folders a model's bytes are staged in.
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

TEST(FileSystem, FolderPartEndsAtTheLastSeparator) {
    EXPECT_EQ(NameStart("cube.obj"), 0u);
    EXPECT_EQ(NameStart("out/cube.obj"), 4u);
    EXPECT_EQ(NameStart("/tmp/a.b/cube"), 9u);
    EXPECT_EQ(NameStart("out/"), 4u);
#if defined(_WIN32)
    EXPECT_EQ(NameStart("out\\cube.obj"), 4u);
    EXPECT_EQ(NameStart("C:cube.obj"), 2u);
    EXPECT_EQ(NameStart("C:\\models/x\\cube.obj"), 12u);
    // 表 is 0x95 0x5C in Shift-JIS; in code page 1252 the same bytes are "•\".
    if (SystemCodePage() == kShiftJisCodePage) {
        EXPECT_EQ(NameStart("a\x95\x5c"
                            "b.rk4"),
                  0u);
        EXPECT_EQ(NameStart("d\\a\x95\x5c"
                            "b.rk4"),
                  2u);
    } else if (SystemCodePage() == 1252) {
        EXPECT_EQ(NameStart("a\x95\x5c"
                            "b.rk4"),
                  3u);
    }
#else
    EXPECT_EQ(NameStart("out\\cube.obj"), 0u); // a plain byte of the name here
#endif
}

// Each scratch folder is new and empty, holds a file, and goes again.
TEST(FileSystem, ScratchFoldersComeAndGo) {
    std::string a, b, error;
    ASSERT_TRUE(MakeScratchFolder(a, error)) << error;
    ASSERT_TRUE(MakeScratchFolder(b, error)) << error;
    EXPECT_NE(a, b);
    EXPECT_EQ(NameStart(a), a.size()) << "ends in a separator: " << a;
    EXPECT_EQ(PathKindOf(a), PathKind::Directory);
    ASSERT_TRUE(WriteNewFile(a + "m.rk4", "ROKU4", error)) << error;
    EXPECT_EQ(PathKindOf(a + "m.rk4"), PathKind::Regular);
    RemoveFolder(a); // not empty: stays
    EXPECT_EQ(PathKindOf(a), PathKind::Directory);
    RemoveFile(a + "m.rk4");
    RemoveFolder(a);
    RemoveFolder(b);
    EXPECT_EQ(PathKindOf(a), PathKind::Missing);
    EXPECT_EQ(PathKindOf(b), PathKind::Missing);
}
