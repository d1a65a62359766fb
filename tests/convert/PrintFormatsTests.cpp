// The printing formats read back as bytes: STL, PLY and 3MF put the object Z
// up with each face's front where the host showed it, the PLY keeps the
// polygon whole with its surface's colour, and the 3MF names its surface's
// material in that colour. The 3MF package is inflated by zlib, where the
// build has it.
#include "FormFile.h"
#include "SampleReceived.h"

#include <gtest/gtest.h>
#ifdef OSTREL_TEST_ZLIB
#include <zlib.h>
#endif

#include <array>
#include <cmath>
#include <cstring>
#include <regex>

namespace {

using Vec = std::array<double, 3>;

// FacingViewer's front, Z up: the plane y = 2, facing -Y.
void ExpectFrontMinusY(const Vec& a, const Vec& b, const Vec& c) {
    const Vec u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const Vec v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const Vec n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    EXPECT_EQ(n[0], 0);
    EXPECT_LT(n[1], 0);
    EXPECT_EQ(n[2], 0);
    EXPECT_EQ(a[1], 2);
}

float FloatAt(const std::string& bytes, size_t at) {
    float v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

Vec PointAt(const std::string& bytes, size_t at) {
    return {FloatAt(bytes, at), FloatAt(bytes, at + 4), FloatAt(bytes, at + 8)};
}

#ifdef OSTREL_TEST_ZLIB
// The model part of a 3MF package: the entry's deflate stream inflated.
std::string ModelPart(const std::string& zip) {
    const std::string name = "3D/3dmodel.model";
    const size_t at = zip.find(name);
    EXPECT_NE(at, std::string::npos);
    const size_t header = at - 30;
    uint32_t packed, size;
    std::memcpy(&packed, zip.data() + header + 18, 4);
    std::memcpy(&size, zip.data() + header + 22, 4);
    std::string out(size, '\0');
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + at + name.size()));
    z.avail_in = packed;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = size;
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    inflateEnd(&z);
    return out;
}
#endif

TEST(PrintFormats, ZUpWithEachFrontWhereTheHostShowedIt) {
    const ReceivedModel m = FacingViewer(&kBlock);
    std::string bytes, error;

    ASSERT_TRUE(FormFile(m, ExportFormat::Stl, bytes, error)) << error;
    ASSERT_EQ(bytes.size(), 84u + 2 * 50);
    for (size_t t = 0; t < 2; ++t) {
        const size_t at = 84 + 50 * t;
        EXPECT_EQ(PointAt(bytes, at), (Vec{0, -1, 0})); // the facet's normal
        ExpectFrontMinusY(PointAt(bytes, at + 12), PointAt(bytes, at + 24),
                          PointAt(bytes, at + 36));
    }

    ASSERT_TRUE(FormFile(m, ExportFormat::Ply, bytes, error)) << error;
    const size_t body = bytes.find("end_header\n") + 11;
    ASSERT_EQ(bytes.size(), body + 4 * 12 + 1 + 4 * 4 + 3);
    const size_t face = body + 4 * 12;
    EXPECT_EQ(bytes[face], 4); // one polygon of four corners, not triangles
    Vec corner[4];
    for (size_t k = 0; k < 4; ++k) {
        uint32_t v;
        std::memcpy(&v, bytes.data() + face + 1 + 4 * k, 4);
        corner[k] = PointAt(bytes, body + 12 * v);
    }
    ExpectFrontMinusY(corner[0], corner[1], corner[2]);
    ExpectFrontMinusY(corner[0], corner[2], corner[3]);
    EXPECT_EQ(bytes.substr(face + 17, 3), "\x96\x69\x3C");

#ifdef OSTREL_TEST_ZLIB
    ASSERT_TRUE(FormFile(m, ExportFormat::ThreeMf, bytes, error)) << error;
    const std::string model = ModelPart(bytes);
    EXPECT_NE(model.find("<base name=\"front\" displaycolor=\"#96693C\"/>"), std::string::npos)
        << model;
    std::vector<Vec> vertices;
    const std::regex vertex(R"re(<vertex x="([^"]+)" y="([^"]+)" z="([^"]+)")re");
    for (std::sregex_iterator i(model.begin(), model.end(), vertex), end; i != end; ++i)
        vertices.push_back({std::stod((*i)[1]), std::stod((*i)[2]), std::stod((*i)[3])});
    const std::regex triangle(R"re(<triangle v1="(\d+)" v2="(\d+)" v3="(\d+)")re");
    size_t triangles = 0;
    for (std::sregex_iterator i(model.begin(), model.end(), triangle), end; i != end; ++i) {
        ExpectFrontMinusY(vertices.at(std::stoul((*i)[1])), vertices.at(std::stoul((*i)[2])),
                          vertices.at(std::stoul((*i)[3])));
        ++triangles;
    }
    EXPECT_EQ(triangles, 2u);
#endif
}

} // namespace
