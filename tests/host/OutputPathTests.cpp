// Where a path's folder part ends, which names the output and temporary
// files: both slashes and a drive on Windows, where a double-byte character
// of the ANSI code page may hold the byte of a backslash.
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "standin/OutputFile.h"

#include <gtest/gtest.h>

#include <string>

TEST(OutputPaths, FolderPartEndsAtTheLastSeparator) {
    EXPECT_EQ(NameStart("cube.obj"), 0u);
    EXPECT_EQ(NameStart("out/cube.obj"), 4u);
    EXPECT_EQ(NameStart("/tmp/a.b/cube"), 9u);
    EXPECT_EQ(NameStart("out/"), 4u);
    EXPECT_EQ(TemporaryPathFor("out/cube.obj").rfind("out/.cube.obj.part", 0), 0u);
#if defined(_WIN32)
    EXPECT_EQ(NameStart("out\\cube.obj"), 4u);
    EXPECT_EQ(NameStart("C:cube.obj"), 2u);
    EXPECT_EQ(NameStart("C:\\models/x\\cube.obj"), 12u);
    EXPECT_EQ(TemporaryPathFor("out\\cube.obj").rfind("out\\.cube.obj.part", 0), 0u);
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
