// The surface base name cut from the model file's path.
#include "plugin/Plugin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool ShiftJisLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::string BaseName(const std::string& path, LeadBytePredicate lead = nullptr) {
    char out[kBaseNameCapacity + 16];
    std::fill(std::begin(out), std::end(out), '#');
    DeriveBaseName(path.c_str(), lead, out);
    EXPECT_EQ(out[kBaseNameCapacity], '#') << "wrote past 256 bytes";
    return out;
}

} // namespace

TEST(BaseName, PathForms) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {{"dir\\name.ext", "name"},
                 {"name", "name"},
                 {"x.y.z", "x.y"},
                 {"dir.x\\name", "name"},
                 {".ext", ""},
                 {"D:name.ext", "name"},
                 {"dir/sub\\name.ext", "name"},
                 {"C:\\a.b/c.d\\e", "e"},
                 {"dir\\", ""},
                 {"name.", "name"},
                 {"", ""},
                 {"a:", ""},
                 {"/x/.hidden", ""},
                 {"ab:c.d", "ab:c"}};
    for (const auto& c : cases) {
        EXPECT_EQ(BaseName(c.path), c.name) << c.path;
        EXPECT_EQ(BaseName(c.path, ShiftJisLead), c.name) << c.path;
    }
}

TEST(BaseName, KeepsAtMost255Bytes) {
    const std::string longName(300, 'n');
    EXPECT_EQ(BaseName("C:\\dir\\" + longName + ".ext"), longName.substr(0, 255));
    EXPECT_EQ(BaseName(longName.substr(0, 255) + ".e"), longName.substr(0, 255));
    EXPECT_EQ(BaseName(longName.substr(0, 256)), longName.substr(0, 255));
}

TEST(BaseName, DoubleByteCharactersAreSteppedOverWhole) {
    // 0x95 0x5C is one character whose second byte is '\'.
    EXPECT_EQ(BaseName("dir\\\x95\x5C.rok", ShiftJisLead), "\x95\x5C");
    EXPECT_EQ(BaseName("dir\\\x95\x5C.rok", nullptr), "");
    EXPECT_EQ(BaseName("\x83\x5C\x95\x5C\\a\x95\x5C"
                       "b.rok",
                       ShiftJisLead),
              "a\x95\x5C"
              "b");
    EXPECT_EQ(BaseName("C:\x95\x5C\x95\x5C", ShiftJisLead), "\x95\x5C\x95\x5C");
    // A half-width katakana (0xB0) is a single byte; a lead byte at the end
    // stands alone.
    EXPECT_EQ(BaseName("\xB0\\n.x", ShiftJisLead), "n");
    EXPECT_EQ(BaseName("d\\ab\x81", ShiftJisLead), "ab\x81");
}
