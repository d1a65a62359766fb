// The converter: the LWOB writer read back by a strict reader for every
// example and test model (imported through the plug-in), the layout's
// limits, points that are not finite numbers, the handedness of OBJ and
// glTF, and whole conversions read back.
#include "FormFile.h"
#include "LinkedModule.h"
#include "LwobReader.h"
#include "ReadGlb.h"
#include "SampleReceived.h"
#include "convert/Writers.h"
#include "pipeline/Pipeline.h"

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
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// ------------------------------------------------- LWOB round trips ---

// Imports `model` through the plug-in as the host does, keeping what it sent.
bool Import(const std::string& model, ReceivedModel& received, std::string& error) {
    LinkedModule linked;
    if (!linked.started) {
        error = linked.error;
        return false;
    }
    ImportRequest request;
    request.module = &linked.module;
    request.modelName = model;
    request.keepReceived = true;
    request.salvage = true; // the writers take whatever the host received
    ImportOutcome outcome = RunImport(request);
    if (outcome.result != ImportResult::Loaded) {
        error = outcome.reason;
        return false;
    }
    received = std::move(outcome.received);
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
        if (p.cornerCount == 0)
            continue;
        ASSERT_LT(k, o.polygons.size());
        const std::span<const uint32_t> points = PointsOf(r, p);
        EXPECT_EQ(o.polygons[k].points, std::vector<uint32_t>(points.begin(), points.end()))
            << "polygon " << k;
        const ReceivedSurface* s = SurfaceForValue(r, p.surface);
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
    ReceivePolygon(m, 0, b, static_cast<const uint16_t*>(nullptr));
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
        AddPolygon(m, std::vector<uint32_t>(kLwobMaxVertices + 1, 0), v);
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

// FacingViewer's front, in a right-handed reader: +Z, at z = -2.
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

// On Windows the OBJ's mtllib names the MTL in UTF-8, as OBJ readers take
// it, while the file itself is written under its ANSI (Shift-JIS) name,
// which is the same Unicode name; elsewhere names are bytes, kept.
TEST(ObjMaterialLibrary, NamedInUtf8WhereNamesAreAnsi) {
    const std::string name = "\x89\xc6.obj"; // 家.obj in Shift-JIS
    std::vector<OutputFile> files;
    std::string error;
    ASSERT_TRUE(FormFiles(FacingViewer(), ExportFormat::Obj, name, kShiftJisCodePage, files, error,
                          "", kShiftJisCodePage))
        << error;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "\x89\xc6.mtl");
    EXPECT_NE(files[1].bytes.find("\nmtllib \xe5\xae\xb6.mtl\n"), std::string::npos);
    ASSERT_TRUE(
        FormFiles(FacingViewer(), ExportFormat::Obj, name, kShiftJisCodePage, files, error));
    EXPECT_NE(files[1].bytes.find("\nmtllib \x89\xc6.mtl\n"), std::string::npos);
}

// The .gltf is the glb's object as JSON text, its buffer inside as a data:
// URI: the same buffer, accessors and node, read back by the library.
TEST(Gltf, TheGlbsObjectWithItsBufferInside) {
    std::string glb, gltf, error;
    ASSERT_TRUE(FormFile(FacingViewer(), ExportFormat::Glb, glb, error)) << error;
    ASSERT_TRUE(FormFile(FacingViewer(), ExportFormat::Gltf, gltf, error)) << error;
    EXPECT_EQ(gltf.rfind("{\n", 0), 0u);
    EXPECT_NE(gltf.find("\"uri\": \"data:application/octet-stream;base64,"), std::string::npos);
    tinygltf::Model fromGlb, fromGltf;
    ASSERT_TRUE(ReadGlb(glb, fromGlb));
    ASSERT_TRUE(ReadGltfText(gltf, fromGltf));
    ASSERT_EQ(fromGltf.buffers.size(), 1u);
    EXPECT_EQ(fromGltf.buffers[0].data, fromGlb.buffers.at(0).data);
    EXPECT_EQ(fromGltf.accessors.size(), fromGlb.accessors.size());
    EXPECT_EQ(fromGltf.nodes.at(0).name, "object");
    EXPECT_EQ(fromGltf.materials.size(), fromGlb.materials.size());
}

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

// An object of points alone (here with a surface looked up but no polygon)
// keeps its points in glb and FBX, as the status line says it does.
TEST(WholeConversion, PointsAloneAreKept) {
    ReceivedModel m;
    AddPoint(m, 1, 2, 3);
    AddPoint(m, 4, 5, 6);
    AddPoint(m, 7, 8, 9);
    ReceiveLookupSurface(m, "a0");
    std::string glb, error;
    ASSERT_TRUE(FormFile(m, ExportFormat::Glb, glb, error)) << error;
    tinygltf::Model read;
    ASSERT_TRUE(ReadGlb(glb, read));
    ASSERT_EQ(read.meshes.size(), 1u);
    ASSERT_EQ(read.meshes[0].primitives.size(), 1u);
    const tinygltf::Primitive& points = read.meshes[0].primitives[0];
    EXPECT_EQ(points.mode, TINYGLTF_MODE_POINTS);
    EXPECT_EQ(read.accessors[static_cast<size_t>(points.indices)].count, 3u);
    EXPECT_EQ(read.accessors[static_cast<size_t>(points.attributes.at("POSITION"))].maxValues,
              (std::vector<double>{7, 8, -3}));
#ifdef OSTREL_TEST_FBX
    std::string fbx;
    ASSERT_TRUE(FormFile(m, ExportFormat::Fbx, fbx, error)) << error;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(fbx.data(), fbx.size(), 0, "fbx");
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    EXPECT_EQ(scene->mMeshes[0]->mNumVertices, 3u);
#endif
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
