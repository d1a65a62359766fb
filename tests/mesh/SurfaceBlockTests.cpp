// The 60-byte surface attribute block and the pass that hands blocks over.
#include "RecordingSink.h"
#include "TestModel.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Hex(const unsigned char* bytes, size_t count) {
    std::string out;
    char buffer[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += buffer;
    }
    return out;
}

std::string Block(const PaletteEntry& e, int32_t colourSet, int32_t smooth = 1, double angle = 44.5,
                  int32_t doubleSided = 0) {
    const SurfaceDataBlock b = MakeSurfaceDataBlock(e, colourSet, smooth, angle, doubleSided);
    return Hex(b.data(), b.size());
}

// Bytes `from`..`from`+count of a block, as hex.
std::string Bytes(const std::string& block, size_t from, size_t count) {
    return block.substr(from * 3, count * 3 - 1);
}

const PaletteEntry kExample{200, 150, 100, 100, 60, 20};

const std::string kExampleBlock = "43 4F 4C 52 00 04 96 69 3C 00 "
                                  "46 4C 41 47 00 02 00 04 "
                                  "53 4D 41 4E 00 04 3F 46 D3 F2 "
                                  "44 49 46 46 00 02 01 00 "
                                  "54 52 41 4E 00 02 00 00 "
                                  "53 50 45 43 00 02 00 14 "
                                  "47 4C 4F 53 00 02 00 00";

std::string Replace(std::string block, size_t from, const std::string& bytes) {
    return block.replace(from * 3, bytes.size(), bytes);
}

} // namespace

TEST(SurfaceBlock, WorkedExampleByteForByte) {
    EXPECT_EQ(Block(kExample, 1), kExampleBlock);
    const std::string bright = Replace(Replace(kExampleBlock, 6, "C8 96 64"), 50, "00 00");
    const std::string dark = Replace(Replace(kExampleBlock, 6, "64 3C 14"), 50, "00 00");
    EXPECT_EQ(Block(kExample, 0), bright);
    EXPECT_EQ(Block(kExample, 2), dark);
    // A colour set outside 0..2 is taken as middle.
    EXPECT_EQ(Block(kExample, 3), kExampleBlock);
    EXPECT_EQ(Block(kExample, -1), kExampleBlock);
}

TEST(SurfaceBlock, ColourAndSpecularLevel) {
    struct Case {
        PaletteEntry entry;
        int32_t colourSet;
        std::string colour;   // bytes 6..9
        std::string specular; // bytes 50..51
    };
    const PaletteEntry white{255, 255, 255, 0, 0, 0};
    const PaletteEntry black{0, 0, 0, 255, 255, 255};
    const PaletteEntry red{255, 0, 0, 64, 0, 0};
    const PaletteEntry same{90, 20, 200, 90, 20, 200};
    for (const Case& c : {
             Case{white, 1, "7F 7F 7F 00", "00 40"},
             Case{black, 1, "7F 7F 7F 00", "00 00"}, // dark brighter: no specular
             Case{red, 1, "9F 00 00 00", "00 08"},
             Case{red, 0, "FF 00 00 00", "00 00"},
             Case{red, 2, "40 00 00 00", "00 00"},
             Case{same, 0, "5A 14 C8 00", "00 00"},
             Case{same, 1, "5A 14 C8 00", "00 00"},
             Case{same, 2, "5A 14 C8 00", "00 00"},
         }) {
        SCOPED_TRACE(c.colour + " set " + std::to_string(c.colourSet));
        const std::string b = Block(c.entry, c.colourSet);
        EXPECT_EQ(Bytes(b, 6, 4), c.colour);
        EXPECT_EQ(Bytes(b, 50, 2), c.specular);
    }
}

TEST(SurfaceBlock, ComponentsOutsideTheByteRangeAreClamped) {
    // Clamped to bright (255, 0, 255), dark (0, 0, 255): B 765, D 255, M 510,
    // 255 * 256 / 1275 = 51, / 4 = 12.
    const PaletteEntry wild{300, -5, 255, -100, 0, 1000};
    EXPECT_EQ(Bytes(Block(wild, 1), 6, 4), "7F 00 FF 00");
    EXPECT_EQ(Bytes(Block(wild, 1), 50, 2), "00 0C");
    EXPECT_EQ(Bytes(Block(wild, 0), 6, 4), "FF 00 FF 00");
    EXPECT_EQ(Bytes(Block(wild, 2), 6, 4), "00 00 FF 00");
    // Far outside: no overflow, and the specular divisor stays positive.
    const PaletteEntry extreme{INT_MAX, INT_MAX, 100000, INT_MIN, -100000, INT_MIN};
    EXPECT_EQ(Bytes(Block(extreme, 1), 6, 4), "7F 7F 7F 00");
    EXPECT_EQ(Bytes(Block(extreme, 1), 50, 2), "00 40");
}

TEST(SurfaceBlock, FlagsAndSmoothingAngle) {
    struct Case {
        int32_t smooth, doubleSided;
        std::string flags;
    };
    for (const Case& c : {Case{0, 0, "00 00"}, Case{1, 0, "00 04"}, Case{0, 1, "01 00"},
                          Case{1, 1, "01 04"}, Case{-7, 256, "01 04"}}) {
        const std::string b = Block(kExample, 1, c.smooth, 180.0, c.doubleSided);
        EXPECT_EQ(Bytes(b, 16, 2), c.flags);
        // The angle is there whether smoothing is on or not.
        EXPECT_EQ(Bytes(b, 24, 4), "40 49 0F DB");
        // Nothing else moves.
        EXPECT_EQ(Replace(Replace(b, 16, "00 04"), 24, "3F 46 D3 F2"), kExampleBlock);
    }
    EXPECT_EQ(Bytes(Block(kExample, 1, 1, 0.0), 24, 4), "00 00 00 00");
}

// --------------------------------------------------------- the pass itself ---

namespace {

// A model with no faces and a palette of `count` entries: entry i is bright
// (10i, 10i+1, 10i+2), dark (i, i, i).
std::string PaletteModel(int32_t count) {
    std::string text =
        "ROKU4\nPOINT\nLINE0\nFACE0\nEND00\nPALC0\n" + std::to_string(count) + "\n0\n";
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t v : {10 * i, 10 * i + 1, 10 * i + 2, i, i, i, 0}) {
            text += std::to_string(v) + "\n";
        }
    }
    return text + "ENDP0\n";
}

SurfaceNames NamesFor(const std::string& base) {
    SurfaceNames names;
    for (int32_t i = 0; i < kColourCount; ++i) {
        names[static_cast<size_t>(i)] = base + std::to_string(i);
    }
    return names;
}

} // namespace

TEST(SurfaceBlock, OneBlockPerUsedColourWithAPaletteEntry) {
    LoadedModel m;
    LoadModel(PaletteModel(8), m);
    ASSERT_EQ(PaletteCount(m.tables), 8);
    ColourFlags used{};
    used[0] = used[3] = used[12] = true;
    const BuildOptions options{2, "box", 0, 0.0, 0, 1.0, 0};
    RecordingSink out;
    SendSurfaceAttributes(m.tables, used, NamesFor("box"), options, out.Sink());
    ASSERT_EQ(out.calls.size(), 2u);
    EXPECT_EQ(out.Names(SinkCall::SurfaceData), (std::vector<std::string>{"box0", "box3"}));
    for (const SinkCall& c : out.calls) {
        EXPECT_EQ(c.count, 60);
        ASSERT_EQ(c.data.size(), 60u);
    }
    // Bright colour set: each block carries its own entry.
    EXPECT_EQ(Hex(out.calls[0].data.data() + 6, 4), "00 01 02 00");
    EXPECT_EQ(Hex(out.calls[1].data.data() + 6, 4), "1E 1F 20 00");
}

TEST(SurfaceBlock, NoPaletteNoBlocks) {
    LoadedModel empty;
    LoadModel(PaletteModel(0), empty);
    ColourFlags used{};
    used.fill(true);
    RecordingSink direct;
    SendSurfaceAttributes(empty.tables, used, NamesFor("s"),
                          BuildOptions{2, "s", 1, 30.0, 1, 1.0, 1}, direct.Sink());
    EXPECT_TRUE(direct.calls.empty());

    // The whole build still sends points, surfaces and polygons.
    LoadedModel m;
    LoadModel("ROKU4\nPOINT\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n1\n0\n0\n"
              "LINE0\n1\n2\n0\n0\nFACE0\n1\n5\n0\n1\nEND00\n",
              m);
    RecordingSink out;
    BuildObject(m.tables, BuildOptions{2, "s", 1, 30.0, 1, 1.0, 1}, out.Sink());
    EXPECT_EQ(out.Shape(), "SDPLF");
    EXPECT_EQ(out.Names(SinkCall::Lookup), (std::vector<std::string>{"s5"}));
}
