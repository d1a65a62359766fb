// The converter: what the host refuses while receiving, the LWOB writer read
// back by a strict reader for every example and test model (imported through
// the real module), the layout's limits, the handedness of OBJ and glTF, and
// the rule that a failed output leaves no file behind.
#include "FormFile.h"
#include "LwobReader.h"
#include "ReadGlb.h"
#include "convert/Writers.h"
#include "standin/ImportHost.h"
#include "standin/ModuleLoader.h"
#include "standin/OutputFile.h"
#include "standin/PanelHost.h"
#include "standin/Received.h"

#ifdef OSTREL_TEST_FBX
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#if defined(_WIN32)
#include <process.h>
#else
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A surface block of colour 150 105 60 with its usual settings.
const std::vector<unsigned char> kBlock = {
    0x43, 0x4F, 0x4C, 0x52, 0x00, 0x04, 0x96, 0x69, 0x3C, 0x00, 0x46, 0x4C, 0x41, 0x47, 0x00,
    0x02, 0x00, 0x04, 0x53, 0x4D, 0x41, 0x4E, 0x00, 0x04, 0x3F, 0x46, 0xD3, 0xF2, 0x44, 0x49,
    0x46, 0x46, 0x00, 0x02, 0x01, 0x00, 0x54, 0x52, 0x41, 0x4E, 0x00, 0x02, 0x00, 0x00, 0x53,
    0x50, 0x45, 0x43, 0x00, 0x02, 0x00, 0x14, 0x47, 0x4C, 0x4F, 0x53, 0x00, 0x02, 0x00, 0x00};

void AddPoint(ReceivedModel& m, float x, float y, float z) {
    const float xyz[3] = {x, y, z};
    ReceivePoints(m, 1, xyz);
}

void AddPolygon(ReceivedModel& m, std::vector<uint16_t> points, int32_t surface) {
    ReceivePolygon(m, static_cast<int32_t>(points.size()), surface, points.data());
}

// ------------------------------------------------------ host refusals ---

TEST(HostRefusal, AcceptsWhatThePlugInMaySend) {
    ReceivedModel m;
    AddPoint(m, 0, 0, 0);
    AddPoint(m, 1, 0, 0);
    const int32_t v = ReceiveLookupSurface(m, "a0");
    AddPolygon(m, {0, 1}, v);
    ReceivePolygon(m, 0, v, nullptr); // empty: dropped later, not refused
    ReceiveSurfaceData(m, "a0", 60, kBlock.data());
    EXPECT_EQ(m.refusal, "");
    EXPECT_EQ(m.emptyPolygonCount, 1u);
}

TEST(HostRefusal, PointNumbersMustBeBelowThePointsSent) {
    ReceivedModel m;
    AddPoint(m, 0, 0, 0);
    AddPoint(m, 1, 0, 0);
    const int32_t v = ReceiveLookupSurface(m, "a0");
    AddPolygon(m, {0, 2}, v);
    EXPECT_NE(m.refusal.find("names point 2, not below the 2 points sent"), std::string::npos)
        << m.refusal;
    // The first refusal is the one reported.
    AddPolygon(m, {0, 1}, 7);
    EXPECT_NE(m.refusal.find("point 2"), std::string::npos);
}

TEST(HostRefusal, SurfaceValuesMustHaveBeenReturned) {
    struct Case {
        int32_t lookups;
        int32_t surface;
        bool accepted;
    };
    const Case cases[] = {
        {1, 1, true},          {1, 2, false},  {0, 1, false},
        {1, 0, false},         {2, -1, false}, {1, 65537, false}, // not sign-extended
        {40000, -25536, true}, // 40000 arrives as its low 16 bits, sign-extended
        {40000, 40000, false},
    };
    for (const Case& c : cases) {
        ReceivedModel m;
        AddPoint(m, 0, 0, 0);
        for (int32_t i = 0; i < c.lookups; ++i)
            ReceiveLookupSurface(m, ("s" + std::to_string(i)).c_str());
        AddPolygon(m, {0}, c.surface);
        EXPECT_EQ(m.refusal.empty(), c.accepted)
            << c.lookups << " lookups, surface " << c.surface << ": " << m.refusal;
    }
}

TEST(HostRefusal, BlocksMustBeTheSevenSubChunksInOrder) {
    auto refused = [](std::vector<unsigned char> block, int32_t count) {
        ReceivedModel m;
        ReceiveLookupSurface(m, "a0");
        ReceiveSurfaceData(m, "a0", count, block.empty() ? nullptr : block.data());
        return !m.refusal.empty();
    };
    EXPECT_FALSE(refused(kBlock, 60));
    EXPECT_TRUE(refused(kBlock, 58)); // short count
    EXPECT_TRUE(refused({}, 60));     // no block
    std::vector<unsigned char> longer = kBlock;
    longer.push_back(0);
    EXPECT_TRUE(refused(longer, 61));
    std::vector<unsigned char> swapped = kBlock; // DIFF and TRAN exchanged
    std::memcpy(swapped.data() + 28, "TRAN", 4);
    std::memcpy(swapped.data() + 36, "DIFF", 4);
    EXPECT_TRUE(refused(swapped, 60));
    std::vector<unsigned char> badLength = kBlock; // FLAG claiming 4 bytes
    badLength[15] = 4;
    EXPECT_TRUE(refused(badLength, 60));
}

TEST(HostRefusal, CountsAndArraysThatCannotBeMeant) {
    ReceivedModel a;
    ReceivePoints(a, -1, nullptr);
    EXPECT_NE(a.refusal.find("addPoints"), std::string::npos);
    ReceivedModel b;
    ReceiveLookupSurface(b, "a0");
    ReceivePolygon(b, 3, 1, nullptr);
    EXPECT_NE(b.refusal.find("no point numbers"), std::string::npos);
    ReceivedModel c;
    ReceiveLookupSurface(c, "a0");
    const uint16_t p = 0;
    ReceivePolygon(c, -2, 1, &p);
    EXPECT_NE(c.refusal.find("negative vertex count"), std::string::npos);
}

TEST(HostRefusal, CheckingKeepsNoGeometryButChecksTheSame) {
    ReceivedModel m;
    m.keepGeometry = false;
    AddPoint(m, 0, 0, 0);
    const int32_t v = ReceiveLookupSurface(m, "a0");
    AddPolygon(m, {0}, v);
    EXPECT_TRUE(m.points.empty());
    EXPECT_TRUE(m.polygons.empty());
    EXPECT_EQ(m.pointCount, 1u);
    EXPECT_EQ(m.polygonCount, 1u);
    EXPECT_EQ(m.refusal, "");
    AddPolygon(m, {1}, v);
    EXPECT_NE(m.refusal, "");
}

// ------------------------------------------------- LWOB round trips ---

// Imports `model` through the real module as the stand-in host does.
bool Import(const std::string& model, ReceivedModel& received, std::string& error) {
    LoadedModule module;
    if (!LoadModule(OSTREL_MODULE_PATH, module, error))
        return false;
    Trace trace;
    PanelHost panels;
    PanelHostInit(panels, PanelSettings{}, &trace);
    ImportHost host;
    ImportHostInit(host, &trace, &panels);
    ImportRecord record = MakeImportRecord(host, model.c_str());
    int32_t status = kStatusUnwritten;
    const int32_t result = RunActivation(module.activate, 1, record, &trace, status);
    PanelHostRelease(panels);
    ImportHostRelease(host);
    UnloadModule(module);
    received = std::move(host.received);
    if (result != 0 || status != 0 || !received.refusal.empty()) {
        error = "result " + std::to_string(result) + ", status " + std::to_string(status) + " " +
                received.refusal;
        return false;
    }
    return true;
}

std::vector<std::string> Models() {
    std::vector<std::string> models;
    for (const char* dir : {OSTREL_EXAMPLES_DIR, OSTREL_TEST_DATA_DIR}) {
        if (!fs::is_directory(dir))
            continue;
        for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
            if (e.is_regular_file() && e.path().extension() == ".rk4")
                models.push_back(e.path().string());
        }
    }
    std::sort(models.begin(), models.end());
    return models;
}

// The LWOB read back holds exactly what was received: every point bit for
// bit, every non-empty polygon with its surface, and each surface's block.
void ExpectSameObject(const ReceivedModel& r, const LwobObject& o) {
    ASSERT_EQ(o.xyz.size(), 3 * r.points.size());
    for (size_t i = 0; i < r.points.size(); ++i) {
        EXPECT_EQ(std::memcmp(&o.xyz[3 * i], &r.points[i], 12), 0) << "point " << i;
    }
    std::vector<ExportSurface> surfaces = ExportSurfaces(r);
    ASSERT_EQ(o.surfaceNames.size(), surfaces.size());
    size_t k = 0;
    for (const ReceivedPolygon& p : r.polygons) {
        if (p.points.empty())
            continue;
        ASSERT_LT(k, o.polygons.size());
        EXPECT_EQ(o.polygons[k].points, p.points) << "polygon " << k;
        const ReceivedSurface* s = SurfaceForPolygonValue(r, p.surface);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(o.surfaceNames[static_cast<size_t>(o.polygons[k].surface) - 1], s->name);
        ++k;
    }
    EXPECT_EQ(k, o.polygons.size());
    for (size_t i = 0; i < surfaces.size(); ++i) {
        EXPECT_EQ(o.surfaces[i].name, surfaces[i].name);
        const std::vector<unsigned char> grey = {'C', 'O', 'L', 'R', 0, 4, 200, 200, 200, 0};
        EXPECT_EQ(o.surfaces[i].subChunks, surfaces[i].block ? *surfaces[i].block : grey);
    }
}

TEST(LwobRoundTrip, EveryExampleAndTestModel) {
    const std::vector<std::string> models = Models();
    ASSERT_FALSE(models.empty());
    for (const std::string& model : models) {
        SCOPED_TRACE(model);
        ReceivedModel received;
        std::string error;
        ASSERT_TRUE(Import(model, received, error)) << error;
        std::string file;
        ASSERT_TRUE(FormFile(received, ExportFormat::Lwob, file, error)) << error;
        LwobObject object;
        ASSERT_TRUE(ReadLwobStrict(file, object, error)) << error;
        ExpectSameObject(received, object);
    }
}

TEST(LwobRoundTrip, OddNamesMissingBlocksAndEmptyPolygons) {
    ReceivedModel m;
    AddPoint(m, 1.5f, -0.0f, 3);
    AddPoint(m, 2, 2, 2);
    const int32_t a = ReceiveLookupSurface(m, "ab");       // 3 bytes with NUL: padded
    const int32_t b = ReceiveLookupSurface(m, "abc");      // 4 bytes: no pad
    const int32_t c = ReceiveLookupSurface(m, "\x93\xc7"); // Shift-JIS bytes, no block
    ReceiveSurfaceData(m, "abc", 60, kBlock.data());
    ReceiveSurfaceData(m, "ab", 60, kBlock.data());
    ReceiveSurfaceData(m, "never looked up", 60, kBlock.data());
    AddPolygon(m, {0}, a);
    ReceivePolygon(m, 0, b, nullptr);
    AddPolygon(m, {0, 1}, b);
    AddPolygon(m, {1, 0, 1}, c);
    ASSERT_EQ(m.refusal, "");
    std::string file, error;
    ASSERT_TRUE(FormFile(m, ExportFormat::Lwob, file, error)) << error;
    LwobObject object;
    ASSERT_TRUE(ReadLwobStrict(file, object, error)) << error;
    ExpectSameObject(m, object);
    EXPECT_EQ(object.surfaceNames, (std::vector<std::string>{"ab", "abc", "\x93\xc7"}));
    ASSERT_EQ(object.polygons.size(), 3u);           // the empty one dropped
    EXPECT_EQ(object.polygons[1].points.size(), 2u); // a line stays a line
}

// A scale that takes a coordinate past the float range gives infinities,
// which no format may carry as a position: every writer refuses alike,
// naming the point.
TEST(NonFinitePoints, EveryFormatRefusesNamingThePoint) {
    ReceivedModel m;
    AddPoint(m, 0, 0, 0);
    AddPoint(m, 1, 0, 0);
    AddPoint(m, INFINITY, -INFINITY, 0);
    AddPolygon(m, {0, 1, 2}, ReceiveLookupSurface(m, "a0"));
    for (const OutputFormat& output : OutputFormats()) {
        if (!output.builtIn)
            continue;
        SCOPED_TRACE(FormatExtension(output.format));
        std::vector<OutputFile> files;
        std::string error;
        EXPECT_FALSE(FormFiles(m, output.format, "x", kShiftJisCodePage, files, error));
        EXPECT_EQ(error, "point 2 is at (inf, -inf, 0), beyond the range of a float: convert "
                         "with a smaller scale");
    }
    m.points[2].x = NAN;
    std::string bytes, error;
    EXPECT_FALSE(FormFile(m, ExportFormat::Lwob, bytes, error));
    EXPECT_EQ(error.rfind("point 2 is at (nan, -inf, 0)", 0), 0u) << error;
}

TEST(LwobLimits, RefusedBeforeAnythingIsFormed) {
    std::string file, error;
    {
        ReceivedModel m;
        std::vector<float> xyz(3 * (kLwobMaxPoints + 1), 0.0f);
        ReceivePoints(m, static_cast<int32_t>(kLwobMaxPoints + 1), xyz.data());
        EXPECT_FALSE(FormFile(m, ExportFormat::Lwob, file, error));
        EXPECT_NE(error.find("65537 points"), std::string::npos) << error;
        m.points.pop_back(); // exactly 65536: allowed
        EXPECT_TRUE(FormFile(m, ExportFormat::Lwob, file, error)) << error;
    }
    {
        ReceivedModel m;
        AddPoint(m, 0, 0, 0);
        const int32_t v = ReceiveLookupSurface(m, "a");
        AddPolygon(m, std::vector<uint16_t>(kLwobMaxVertices + 1, 0), v);
        EXPECT_FALSE(FormFile(m, ExportFormat::Lwob, file, error));
        EXPECT_NE(error.find("65536 vertices"), std::string::npos) << error;
    }
    {
        ReceivedModel m;
        for (size_t i = 0; i <= kLwobMaxSurfaces; ++i)
            ReceiveLookupSurface(m, ("s" + std::to_string(i)).c_str());
        EXPECT_FALSE(FormFile(m, ExportFormat::Lwob, file, error));
        EXPECT_NE(error.find("32768 surfaces"), std::string::npos) << error;
    }
}

// --------------------------------------------------------- handedness ---

using Vec = std::array<double, 3>;

Vec Normal(const Vec& a, const Vec& b, const Vec& c) {
    const Vec u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const Vec v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    Vec n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& x : n)
        x /= length;
    return n;
}

// A quad in the host's plane z = 2, clockwise as seen from the host's
// viewer on the -Z side: its front faces -Z in the host's space. In a
// right-handed reader that same side is +Z, at z = -2.
ReceivedModel FacingViewer() {
    ReceivedModel m;
    AddPoint(m, 0, 0, 2);
    AddPoint(m, 0, 1, 2);
    AddPoint(m, 1, 1, 2);
    AddPoint(m, 1, 0, 2);
    const int32_t v = ReceiveLookupSurface(m, "front");
    AddPolygon(m, {0, 1, 2, 3}, v);
    return m;
}

void ExpectFacesPlusZ(const Vec& a, const Vec& b, const Vec& c) {
    const Vec n = Normal(a, b, c);
    EXPECT_NEAR(n[0], 0, 1e-12);
    EXPECT_NEAR(n[1], 0, 1e-12);
    EXPECT_NEAR(n[2], 1, 1e-12);
    EXPECT_EQ(a[2], -2);
}

TEST(Handedness, ObjFaceKeepsItsFront) {
    std::string obj, mtl, error;
    ASSERT_TRUE(FormObj(FacingViewer(), obj, mtl, error)) << error;
    std::istringstream in(obj);
    std::vector<Vec> v, vn;
    std::vector<size_t> face, normals;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "v" || kind == "vn") {
            Vec p{};
            words >> p[0] >> p[1] >> p[2];
            (kind == "v" ? v : vn).push_back(p);
        } else if (kind == "f") {
            for (std::string corner; words >> corner;) { // v//vn
                face.push_back(std::stoul(corner) - 1);
                normals.push_back(std::stoul(corner.substr(corner.find("//") + 2)) - 1);
            }
        }
    }
    ASSERT_EQ(face.size(), 4u);
    for (size_t i = 0; i + 2 < face.size(); ++i) // every corner turns the same way
        ExpectFacesPlusZ(v[face[i]], v[face[i + 1]], v[face[i + 2]]);
    ASSERT_EQ(vn.size(), 1u); // one normal, written once, named by every corner
    EXPECT_EQ(vn[0], (Vec{0, 0, 1}));
    EXPECT_EQ(normals, (std::vector<size_t>(4, 0)));
}

TEST(Handedness, GlbTrianglesKeepTheFront) {
    std::string glb, error;
    ASSERT_TRUE(FormFile(FacingViewer(), ExportFormat::Glb, glb, error)) << error;
    tinygltf::Model model;
    ASSERT_TRUE(ReadGlb(glb, model));
    ASSERT_EQ(model.meshes.size(), 1u);
    const tinygltf::Primitive& p = model.meshes[0].primitives.at(0);
    EXPECT_EQ(p.mode, TINYGLTF_MODE_TRIANGLES);
    auto bytesOf = [&](int accessorIndex) {
        const tinygltf::Accessor& a = model.accessors.at(static_cast<size_t>(accessorIndex));
        const tinygltf::BufferView& view = model.bufferViews.at(static_cast<size_t>(a.bufferView));
        return model.buffers.at(0).data.data() + view.byteOffset + a.byteOffset;
    };
    const auto* xyz = reinterpret_cast<const float*>(bytesOf(p.attributes.at("POSITION")));
    const auto* index = reinterpret_cast<const uint16_t*>(bytesOf(p.indices));
    const size_t count = model.accessors.at(static_cast<size_t>(p.indices)).count;
    ASSERT_EQ(count, 6u);
    for (size_t t = 0; t < count; t += 3) {
        Vec corner[3];
        for (size_t k = 0; k < 3; ++k) {
            const float* q = xyz + 3 * index[t + k];
            corner[k] = {q[0], q[1], q[2]};
        }
        ExpectFacesPlusZ(corner[0], corner[1], corner[2]);
    }
    const auto* normal = reinterpret_cast<const float*>(bytesOf(p.attributes.at("NORMAL")));
    for (size_t k = 0; k < model.accessors.at(static_cast<size_t>(p.attributes.at("NORMAL"))).count;
         ++k) {
        EXPECT_EQ((Vec{normal[3 * k], normal[3 * k + 1], normal[3 * k + 2]}), (Vec{0, 0, 1}));
    }
    const tinygltf::Material& material = model.materials.at(0);
    // No block: the default grey, made linear (200 / 255 is sRGB).
    const double grey = std::pow((200.0 / 255 + 0.055) / 1.055, 2.4);
    EXPECT_EQ(material.pbrMetallicRoughness.baseColorFactor,
              (std::vector<double>{grey, grey, grey, 1.0}));
}

// --------------------------------------------------- output files ---

TEST(OutputFiles, AFailureLeavesNothingBehind) {
    const fs::path dir =
        fs::temp_directory_path() / ("ostrel-output-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "taken.obj"); // the OBJ's name is a folder: refused
    std::string error;
    const std::vector<OutputFile> files = {{(dir / "taken.mtl").string(), "newmtl a\n"},
                                           {(dir / "taken.obj").string(), "v 0 0 0\n"}};
    EXPECT_FALSE(WriteOutputFiles(files, error));
    EXPECT_NE(error.find("taken.obj"), std::string::npos) << error;
    std::vector<std::string> left;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"taken.obj"})) // only the folder that was there
        << "nothing of the set may be written";

    const std::vector<OutputFile> good = {{(dir / "ok.lwo").string(), "FORM"}};
    ASSERT_TRUE(WriteOutputFiles(good, error)) << error;
    {
        std::ifstream in(dir / "ok.lwo", std::ios::binary); // closed before the removal
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "FORM");
    }
    EXPECT_FALSE(fs::exists(TemporaryPathFor((dir / "ok.lwo").string())));
    fs::remove_all(dir);
}

#if !defined(_WIN32)
// A device that fails every write, after the MTL is in place: the MTL goes
// again. The device is a scratch node, never one of the system's own.
TEST(OutputFiles, AFailedDeviceWriteTakesBackWhatWasPlaced) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    const fs::path dir =
        fs::temp_directory_path() / ("ostrel-output-full-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path full = dir / "full.obj"; // the device that is always full
    if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "mknod refused here";
    std::string error;
    const std::vector<OutputFile> files = {{(dir / "full.mtl").string(), "newmtl a\n"},
                                           {full.string(), "v 0 0 0\n"}};
    EXPECT_FALSE(WriteOutputFiles(files, error));
    EXPECT_EQ(error, full.string() + ": cannot write (No space left on device)");
    std::vector<std::string> left;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"full.obj"}));
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(full)));
    fs::remove_all(dir);
}
#endif

// ---------------------------------------------- whole conversions ---

// The glb of tests/data/concave.rk4 read back: the U face (7 square units,
// scaled by 8) and the comb (15) are covered exactly, every triangle facing
// the way its NORMALs do, and the smooth prism's side normals are radial.
TEST(WholeConversion, ConcaveFacesAndSmoothSidesInGlb) {
    ReceivedModel received;
    std::string error, glb;
    ASSERT_TRUE(Import(std::string(OSTREL_TEST_DATA_DIR) + "/concave.rk4", received, error))
        << error;
    ASSERT_TRUE(FormFile(received, ExportFormat::Glb, glb, error)) << error;
    tinygltf::Model model;
    ASSERT_TRUE(ReadGlb(glb, model));
    auto bytesOf = [&](int accessorIndex) {
        const tinygltf::Accessor& a = model.accessors.at(static_cast<size_t>(accessorIndex));
        const tinygltf::BufferView& view = model.bufferViews.at(static_cast<size_t>(a.bufferView));
        return model.buffers.at(0).data.data() + view.byteOffset + a.byteOffset;
    };
    std::map<std::string, double> areas;
    for (const tinygltf::Primitive& p : model.meshes.at(0).primitives) {
        ASSERT_EQ(p.mode, TINYGLTF_MODE_TRIANGLES);
        const std::string& surface = model.materials.at(static_cast<size_t>(p.material)).name;
        const auto* xyz = reinterpret_cast<const float*>(bytesOf(p.attributes.at("POSITION")));
        const auto* normals = reinterpret_cast<const float*>(bytesOf(p.attributes.at("NORMAL")));
        const auto* index = reinterpret_cast<const uint16_t*>(bytesOf(p.indices));
        const size_t count = model.accessors.at(static_cast<size_t>(p.indices)).count;
        for (size_t t = 0; t < count; t += 3) {
            Vec corner[3];
            Vec normal{0, 0, 0};
            for (size_t k = 0; k < 3; ++k) {
                const float* q = xyz + 3 * index[t + k];
                corner[k] = {q[0], q[1], q[2]};
                for (size_t c = 0; c < 3; ++c)
                    normal[c] += normals[3 * index[t + k] + c];
            }
            const Vec u{corner[1][0] - corner[0][0], corner[1][1] - corner[0][1],
                        corner[1][2] - corner[0][2]};
            const Vec v{corner[2][0] - corner[0][0], corner[2][1] - corner[0][1],
                        corner[2][2] - corner[0][2]};
            const Vec n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                        u[0] * v[1] - u[1] * v[0]};
            areas[surface] += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2;
            EXPECT_GT(n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2], 0)
                << surface << " triangle " << t / 3 << " faces away from its normals";
            if (surface == "concave2") {
                for (size_t k = 0; k < 3; ++k) { // radial: no part along the axis (Y)
                    EXPECT_NEAR(normals[3 * index[t + k] + 1], 0, 1e-6);
                }
            }
        }
    }
    EXPECT_NEAR(areas["concave0"], 7 * 64, 1e-3);
    // The comb, and the prism's two twelve-sided caps of radius 1.5 x 8.
    EXPECT_NEAR(areas["concave1"], 15 * 64 + 2 * 3 * 12 * 12, 1e-2);
}

#ifdef OSTREL_TEST_FBX
// The FBX read back by the library's own reader: one mesh per surface with
// the polygons as they are (n-gons kept), normals, the material's colour.
TEST(WholeConversion, FbxReadBackWithPolygonsNormalsAndMaterials) {
    ReceivedModel received;
    std::string error, fbx;
    ASSERT_TRUE(Import(std::string(OSTREL_TEST_DATA_DIR) + "/concave.rk4", received, error))
        << error;
    ASSERT_TRUE(FormFile(received, ExportFormat::Fbx, fbx, error)) << error;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(fbx.data(), fbx.size(), 0, "fbx");
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    std::map<std::string, std::vector<unsigned>> corners; // per material: corners per face
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
        aiString name;
        material->Get(AI_MATKEY_NAME, name);
        ASSERT_TRUE(mesh->HasNormals());
        for (unsigned f = 0; f < mesh->mNumFaces; ++f)
            corners[name.C_Str()].push_back(mesh->mFaces[f].mNumIndices);
        if (std::string(name.C_Str()) == "concave0") {
            aiColor3D colour;
            material->Get(AI_MATKEY_COLOR_DIFFUSE, colour);
            EXPECT_NEAR(colour.r, 0xB4 / 255.0, 1e-6);
            EXPECT_NEAR(colour.g, 0x96 / 255.0, 1e-6);
            EXPECT_NEAR(colour.b, 0x2D / 255.0, 1e-6);
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) { // the U faces +Z or -Z
                EXPECT_NEAR(std::fabs(mesh->mNormals[v].z), 1, 1e-6);
            }
        }
    }
    EXPECT_EQ(corners["concave0"], (std::vector<unsigned>{8}));
    EXPECT_EQ(corners["concave1"], (std::vector<unsigned>{16, 12, 12}));
    EXPECT_EQ(corners["concave2"], std::vector<unsigned>(12, 4));
}

// The header's time stamp is pinned, so that one model always gives the same
// bytes: each field is its name, 'I' and the 32-bit value.
TEST(WholeConversion, FbxTimeStampIsPinned) {
    ReceivedModel received;
    std::string error, fbx;
    ASSERT_TRUE(Import(std::string(OSTREL_EXAMPLES_DIR) + "/cube.rk4", received, error)) << error;
    ASSERT_TRUE(FormFile(received, ExportFormat::Fbx, fbx, error)) << error;
    const std::pair<const char*, uint32_t> fields[] = {
        {"Year", 1970}, {"Month", 1}, {"Day", 1}, {"Hour", 10}, {"Minute", 0}, {"Second", 0}};
    for (const auto& [name, value] : fields) {
        const std::string field = std::string(name) + "I";
        const size_t at = fbx.find(field);
        ASSERT_NE(at, std::string::npos) << name;
        uint32_t stored = 0;
        std::memcpy(&stored, fbx.data() + at + field.size(), 4);
        EXPECT_EQ(stored, value) << name;
    }
}
#endif

} // namespace
