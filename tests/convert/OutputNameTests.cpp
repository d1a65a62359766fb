// Surface names in the written formats: LWOB keeps the bytes the host
// received, glTF and OBJ/MTL carry UTF-8 (kept, or decoded from the system's
// code page, or escaped).
#include "LwobReader.h"

#include "FormFile.h"
#include "ReadGlb.h"
#include "platform/TextCodec.h"
#include "standin/Received.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// 表示 in Shift-JIS: the second byte of 表 is 0x5C, a backslash in ASCII.
const std::string kShiftJis = "\x95\x5c\x8e\xa6";

// One point-polygon per name, each on a surface of its own, in this order.
ReceivedModel ModelNamed(const std::vector<std::string>& names) {
    ReceivedModel m;
    const float xyz[3] = {0, 0, 0};
    ReceivePoints(m, 1, xyz);
    for (const std::string& name : names) {
        const int32_t value = ReceiveLookupSurface(m, name.c_str());
        const uint16_t point = 0;
        ReceivePolygon(m, 1, value, &point);
    }
    return m;
}

// The names as received, the UTF-8 the glTF and OBJ writers must give them.
struct NameCase {
    std::string received;
    std::string utf8;
};

const std::vector<NameCase>& NameCases() {
    static const std::vector<NameCase> cases = {
        {kShiftJis + "0", "表示0"},
        {"日本1", "日本1"},                             // UTF-8 from a file name: kept
        {std::string("\xff\xfe") + "a", "\\xff\\xfea"}, // neither: visible escapes
        {std::string("\x82") + "0", "\\x820"},          // a lead byte without its second byte
        {"\x82\xa0\x81\x40x", "あ　x"},                 // ideographic space: not ASCII white space
    };
    return cases;
}

std::vector<std::string> Received() {
    std::vector<std::string> names;
    for (const NameCase& c : NameCases())
        names.push_back(c.received);
    return names;
}

std::vector<std::string> Utf8() {
    std::vector<std::string> names;
    for (const NameCase& c : NameCases())
        names.push_back(c.utf8);
    return names;
}

std::vector<std::string> LinesStarting(const std::string& text, const std::string& keyword) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(keyword, 0) == 0)
            found.push_back(line.substr(keyword.size()));
    }
    return found;
}

TEST(OutputNames, LwobKeepsTheBytesReceived) {
    const ReceivedModel m = ModelNamed(Received());
    std::string file, error;
    ASSERT_TRUE(FormFile(m, ExportFormat::Lwob, file, error)) << error;
    LwobObject object;
    ASSERT_TRUE(ReadLwobStrict(file, object, error)) << error;
    EXPECT_EQ(object.surfaceNames, Received());
    for (size_t i = 0; i < object.surfaces.size(); ++i)
        EXPECT_EQ(object.surfaces[i].name, Received()[i]);
}

TEST(OutputNames, GlbMaterialsAreUtf8) {
    const ReceivedModel m = ModelNamed(Received());
    std::string glb, error;
    ASSERT_TRUE(FormFile(m, ExportFormat::Glb, glb, error)) << error;
    tinygltf::Model model;
    ASSERT_TRUE(ReadGlb(glb, model));
    std::vector<std::string> names;
    for (const tinygltf::Material& material : model.materials)
        names.push_back(material.name);
    EXPECT_EQ(names, Utf8());
}

// The writer's own JSON escapes what a JSON string cannot hold as it is:
// quotes, backslashes and control characters come back as they were, in
// the glb and in the text form.
TEST(OutputNames, GltfNamesWithQuotesAndControlCharacters) {
    const std::vector<std::string> names = {"a\"b", "back\\slash", "tab\there",
                                            std::string("\x01\x1f") + "end", "\x7f"};
    const ReceivedModel m = ModelNamed(names);
    std::string glb, gltf, error;
    ASSERT_TRUE(FormFile(m, ExportFormat::Glb, glb, error)) << error;
    ASSERT_TRUE(FormFile(m, ExportFormat::Gltf, gltf, error)) << error;
    EXPECT_NE(gltf.find(R"("name": "\u0001\u001fend")"), std::string::npos);
    tinygltf::Model fromGlb, fromGltf;
    ASSERT_TRUE(ReadGlb(glb, fromGlb));
    ASSERT_TRUE(ReadGltfText(gltf, fromGltf));
    for (const tinygltf::Model* model : {&fromGlb, &fromGltf}) {
        std::vector<std::string> read;
        for (const tinygltf::Material& material : model->materials)
            read.push_back(material.name);
        EXPECT_EQ(read, names);
    }
}

TEST(OutputNames, ObjAndMtlNameMaterialsInUtf8) {
    const ReceivedModel m = ModelNamed(Received());
    std::string obj, mtl, error;
    ASSERT_TRUE(FormObj(m, obj, mtl, error)) << error;
    const std::vector<std::string> expected = Utf8();
    EXPECT_EQ(LinesStarting(mtl, "newmtl "), expected);
    EXPECT_EQ(LinesStarting(obj, "usemtl "), expected);
}

TEST(OutputNames, ObjSpacesAndClashesAfterConversion) {
    // "a b" and "a_b" meet after the space is replaced; a name that is
    // already UTF-8 and one that decodes to the same text meet as well.
    const ReceivedModel m = ModelNamed({"a b", "a_b", kShiftJis, "表示", ""});
    std::string obj, mtl, error;
    ASSERT_TRUE(FormObj(m, obj, mtl, error)) << error;
    EXPECT_EQ(LinesStarting(mtl, "newmtl "),
              (std::vector<std::string>{"a_b", "a_b_2", "表示", "表示_2", "surface"}));
}

} // namespace
