// The surface base name cut from the model file's path.
#include "platform/TextCodec.h"
#include "plugin/Plugin.h"
#include "standin/PanelRules.h"

#include <gtest/gtest.h>

#include <string>

// The plug-in and the hosts around it cannot share a header: what the hosts
// state of the plug-in is held to the plug-in here.
static_assert(kNameMostBytes + 1 == kBaseNameCapacity, "the longest name the hosts take");
static_assert(kShiftJisCodePage == kPluginCodePage, "the code page of the plug-in's own text");

namespace {

const LeadBytePredicate ShiftJisLead = CodePageLeadBytePredicate(kPluginCodePage);

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

// A name is scanned as Windows scans it: in the request's code page where it
// is not UTF-8 (a Shift-JIS name copied from Windows), 932 when none is
// given; a UTF-8 name byte by byte, its tail bytes being no separators.
TEST(BaseName, ScannedInTheCodePageWhereNotUtf8) {
    const std::string sofa = "dir/\x83\x5C\x83\x74\x83\x40.rk4"; // ソファ
#if !defined(_WIN32)
    EXPECT_EQ(BaseName(sofa, BaseNameLeadBytes(sofa.c_str(), 0)), "\x83\x5C\x83\x74\x83\x40");
    EXPECT_EQ(BaseNameLeadBytes("dir/\xE3\x82\xBD.rk4", 932), nullptr);
#endif
    EXPECT_EQ(BaseName(sofa, BaseNameLeadBytes(sofa.c_str(), 1252)), "\x83\x74\x83\x40");
    EXPECT_EQ(BaseName("\x81\x5C.rk4", CodePageLeadBytePredicate(936)), "\x81\x5C");
}
