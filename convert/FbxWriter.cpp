// Binary FBX through the assimp library's exporter. Each surface gets one
// material and one aiMesh, the library's mesh. The polygons stay as they are,
// since FBX keeps n-gons. Lines and points are faces of two and one corners.
// Positions, loops and the normals of ShadingGeometry are in the right-handed,
// counter-clockwise convention (see Writers.h). Each aiMesh has a vertex per
// distinct point and normal among its polygons' corners. A point that only its
// lines or points use gets a vertex whose normal is +Y, which no face shows.
//
// Double-sidedness. FBX has no material property for it, only a culling switch
// per model node. The library writes that switch as "CullingOff" for every
// node, so each is shown from both sides. The materials carry the library's
// two-sided key, for readers that look for one.
//
// The library's binary writer (as packaged in Debian, 5.2) leaves out a record.
// A null record must close every node's list of nested nodes. Without it,
// readers refuse the file, the library's own included. CloseNestedLists
// re-frames the writer's output with those records.
// It also pins the header's creation time stamp, which the library takes from
// the clock. The stamp is set to the fixed creation time the same header
// states. So one model always gives the same bytes. Everything else stays as
// the library wrote it.
#include "convert/Writers.h"
#include "geometry/Shading.h"

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

// The name a surface's material and aiMesh carry in the file.
std::string FbxMaterialName(const std::string& name) {
    return name.empty() ? "surface" : name;
}

aiString AiText(const std::string& text) {
    aiString s;
    s.length = static_cast<ai_uint32>(std::min<size_t>(text.size(), MAXLEN - 1));
    std::memcpy(s.data, text.data(), s.length);
    s.data[s.length] = '\0';
    return s;
}

aiMaterial* MakeMaterial(const ExportSurface& surface, const std::string& surfaceName) {
    auto* material = new aiMaterial;
    const aiString name = AiText(FbxMaterialName(surfaceName));
    material->AddProperty(&name, AI_MATKEY_NAME);
    // FBX's colours are as shown (the block's bytes scaled), its other
    // values the material's.
    const DiffuseColour<float> diffuse = DiffuseColourOf<float>(surface);
    const aiColor3D colour(diffuse.red, diffuse.green, diffuse.blue);
    material->AddProperty(&colour, 1, AI_MATKEY_COLOR_DIFFUSE);
    const SurfaceMaterial m = MaterialOf(surface);
    const float specular = static_cast<float>(m.specular);
    const aiColor3D specularColour(specular, specular, specular);
    material->AddProperty(&specularColour, 1, AI_MATKEY_COLOR_SPECULAR);
    const float opacity = static_cast<float>(m.colour[3]);
    material->AddProperty(&opacity, 1, AI_MATKEY_OPACITY);
    const int twoSided = m.doubleSided ? 1 : 0;
    material->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
    return material;
}

// Binary FBX framing. After the 27-byte header come node records. Each record
// starts with its end offset, property count and property bytes. These three
// numbers are 64-bit from version 7500 on, and 32-bit before. Then come the
// name length and the name, the properties and the nested records. A null
// record, all zero, closes the nested list. The top level ends with a null
// record too, then the footer.
struct FbxFraming {
    std::string_view in;
    std::string out;
    size_t word = 8; // bytes of each header number
    size_t Null() const { return 3 * word + 1; }
    bool ok = true;

    uint64_t Number(size_t at) const {
        uint64_t v = 0;
        for (size_t k = word; k-- > 0;)
            v = v << 8 | static_cast<unsigned char>(in[at + k]);
        return v;
    }
    void PutNumber(size_t at, uint64_t v) {
        for (size_t k = 0; k < word; ++k, v >>= 8)
            out[at + k] = static_cast<char>(v & 0xFF);
    }
    // The time stamp's fields, each one 32-bit integer. Together they give the
    // creation time the header also gives as text: 1970-01-01 10:00:00:000.
    static int32_t PinnedTime(std::string_view field) {
        static const struct {
            const char* name;
            int32_t value;
        } kFields[] = {{"Year", 1970}, {"Month", 1},  {"Day", 1},        {"Hour", 10},
                       {"Minute", 0},  {"Second", 0}, {"Millisecond", 0}};
        for (const auto& f : kFields) {
            if (field == f.name)
                return f.value;
        }
        return -1;
    }
    // Copies the record at `at`, whose parent ends at `limit`. Returns where
    // the next record starts.
    size_t Node(size_t at, size_t limit, int depth, std::string_view parent = {}) {
        if (at + Null() > limit || depth > 64)
            return ok = false, limit;
        const uint64_t end = Number(at);
        const uint64_t propertyBytes = Number(at + 2 * word);
        const size_t body = at + 3 * word + 1 + static_cast<unsigned char>(in[at + 3 * word]);
        if (end > limit || end < body || propertyBytes > end - body)
            return ok = false, limit;
        const size_t start = out.size();
        const size_t nested = body + static_cast<size_t>(propertyBytes);
        out.append(in, at, nested - at);
        const std::string_view name(in.data() + at + 3 * word + 1, body - (at + 3 * word + 1));
        const int32_t pinned = parent == "CreationTimeStamp" ? PinnedTime(name) : -1;
        if (pinned >= 0 && propertyBytes == 5 && in[body] == 'I') {
            for (size_t k = 0; k < 4; ++k)
                out[start + (body - at) + 1 + k] =
                    static_cast<char>((static_cast<uint32_t>(pinned) >> (8 * k)) & 0xFF);
        }
        bool children = false;
        for (size_t next = nested; ok && next < end;) {
            if (next + Null() <= end && Number(next) == 0) {
                next += Null(); // a null record the writer did put
                continue;
            }
            children = true;
            next = Node(next, static_cast<size_t>(end), depth + 1, name);
        }
        if (children)
            out.append(Null(), '\0');
        PutNumber(start, out.size());
        return static_cast<size_t>(end);
    }
};

bool CloseNestedLists(std::string_view in, std::string& out) {
    if (in.size() < 27)
        return false;
    FbxFraming f{in, {}};
    const uint32_t version = static_cast<unsigned char>(in[23]) |
                             static_cast<unsigned char>(in[24]) << 8 |
                             static_cast<unsigned char>(in[25]) << 16 |
                             uint32_t{static_cast<unsigned char>(in[26])} << 24;
    f.word = version >= 7500 ? 8 : 4;
    // The null records add a few bytes a node: room for them once, rather
    // than the string doubling past twice the file.
    f.out.reserve(in.size() + in.size() / 8);
    f.out.assign(in, 0, 27);
    size_t at = 27;
    while (f.ok && at + f.Null() <= in.size() && f.Number(at) != 0)
        at = f.Node(at, in.size(), 0);
    if (!f.ok || at + f.Null() > in.size())
        return false;
    f.out.append(in, at, std::string::npos); // the null record and the footer
    out = std::move(f.out);
    return true;
}

// One surface's vertices and faces, as they are gathered. There is a vertex per
// distinct point and normal among its polygons' corners. Each face's corners
// are reversed. `types` marks the library's primitive types its faces use.
struct SurfaceVertices {
    std::vector<uint32_t> vertexPoint;
    std::vector<Normal3> vertexNormal;
    std::vector<std::vector<uint32_t>> faces;
    unsigned types = 0;
};

// What the surfaces share while their vertices are gathered. Each shared vertex
// of the geometry maps to its vertex in the surface being gathered. For lines
// and points, each point does. UINT32_MAX means it has no vertex there.
struct VertexMaps {
    std::vector<uint32_t> gatheredVertex;
    std::vector<uint32_t> pointVertex;
};

uint32_t CornerVertex(const ReceivedModel& model, const ShadingGeometry& geometry, size_t p,
                      size_t k, SurfaceVertices& gathered, VertexMaps& maps,
                      std::vector<uint32_t>& touched) {
    const std::span<const uint32_t> points = PointsOf(model, model.polygons[p]);
    if (points.size() >= 3) {
        const uint32_t shared = geometry.cornerVertex[geometry.cornerStart[p] + k];
        if (maps.gatheredVertex[shared] == UINT32_MAX) {
            maps.gatheredVertex[shared] = static_cast<uint32_t>(gathered.vertexPoint.size());
            gathered.vertexPoint.push_back(geometry.vertexPoint[shared]);
            gathered.vertexNormal.push_back(geometry.vertexNormal[shared]);
            touched.push_back(shared);
        }
        maps.pointVertex[points[k]] = maps.gatheredVertex[shared];
        return maps.gatheredVertex[shared];
    }
    if (maps.pointVertex[points[k]] == UINT32_MAX) {
        maps.pointVertex[points[k]] = static_cast<uint32_t>(gathered.vertexPoint.size());
        gathered.vertexPoint.push_back(points[k]);
        gathered.vertexNormal.push_back(Normal3{0, 1, 0});
    }
    return maps.pointVertex[points[k]];
}

SurfaceVertices GatherSurfaceVertices(const ReceivedModel& model, const ShadingGeometry& geometry,
                                      const std::vector<size_t>& polygons, VertexMaps& maps) {
    SurfaceVertices gathered;
    std::vector<uint32_t> touched;
    for (size_t p : polygons) {
        const size_t n = model.polygons[p].cornerCount;
        std::vector<uint32_t> face(n);
        for (size_t i = 0; i < n; ++i)
            face[i] =
                CornerVertex(model, geometry, p, ReversedCorner(i, n), gathered, maps, touched);
        gathered.types |= n == 1   ? aiPrimitiveType_POINT
                          : n == 2 ? aiPrimitiveType_LINE
                          : n == 3 ? aiPrimitiveType_TRIANGLE
                                   : aiPrimitiveType_POLYGON;
        gathered.faces.push_back(std::move(face));
    }
    for (uint32_t shared : touched)
        maps.gatheredVertex[shared] = UINT32_MAX;
    for (uint32_t point : gathered.vertexPoint)
        maps.pointVertex[point] = UINT32_MAX;
    return gathered;
}

// `gathered` as the library's aiMesh, in the right-handed convention, added to
// `scene`. The scene then owns it.
void AddAiMesh(aiScene& scene, const ReceivedModel& model, const SurfaceVertices& gathered,
               unsigned material, const std::string& name) {
    auto* mesh = new aiMesh;
    scene.mMeshes[scene.mNumMeshes++] = mesh;
    mesh->mName = AiText(FbxMaterialName(name));
    mesh->mMaterialIndex = material;
    mesh->mPrimitiveTypes = gathered.types;
    const size_t vertices = gathered.vertexPoint.size();
    mesh->mNumVertices = static_cast<unsigned>(vertices);
    mesh->mVertices = new aiVector3D[vertices];
    mesh->mNormals = new aiVector3D[vertices];
    for (size_t v = 0; v < vertices; ++v) {
        const ReceivedPoint p = RightHanded(model.points[gathered.vertexPoint[v]]);
        mesh->mVertices[v] = aiVector3D(p.x, p.y, p.z);
        const Normal3 r = RightHanded(gathered.vertexNormal[v]);
        mesh->mNormals[v] = aiVector3D(r.x, r.y, r.z);
    }
    const std::vector<std::vector<uint32_t>>& faces = gathered.faces;
    mesh->mNumFaces = static_cast<unsigned>(faces.size());
    mesh->mFaces = new aiFace[faces.size()];
    for (size_t f = 0; f < faces.size(); ++f) {
        aiFace& face = mesh->mFaces[f];
        face.mNumIndices = static_cast<unsigned>(faces[f].size());
        face.mIndices = new unsigned[faces[f].size()];
        std::memcpy(face.mIndices, faces[f].data(), faces[f].size() * sizeof(unsigned));
    }
}

// The scene: a material per surface, and an aiMesh per surface with polygons.
// The scene owns what it counts. Its arrays start zeroed, and each count grows
// with its array. So an exception part-way, such as memory running out, leaves
// it nothing to free but what was made.
std::unique_ptr<aiScene> MakeScene(const WriterInput& in, const ShadingGeometry& geometry) {
    const ReceivedModel& model = in.model;
    const size_t surfaces = in.surfaces.size();
    std::vector<std::vector<size_t>> polygonsOf(surfaces);
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        if (model.polygons[p].cornerCount != 0)
            polygonsOf[SurfaceSlot(model.polygons[p].surface)].push_back(p);
    }
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("root");
    scene->mMaterials = new aiMaterial*[surfaces + 1]();
    for (size_t s = 0; s < surfaces; ++s) {
        scene->mMaterials[s] = MakeMaterial(in.surfaces[s], in.names[s]);
        scene->mNumMaterials = static_cast<unsigned>(s + 1);
    }
    scene->mMeshes = new aiMesh*[surfaces + 1]();
    VertexMaps maps{std::vector<uint32_t>(geometry.vertexPoint.size(), UINT32_MAX),
                    std::vector<uint32_t>(model.points.size(), UINT32_MAX)};
    for (size_t s = 0; s < surfaces; ++s) {
        if (!polygonsOf[s].empty())
            AddAiMesh(*scene, model, GatherSurfaceVertices(model, geometry, polygonsOf[s], maps),
                      static_cast<unsigned>(s), in.names[s]);
    }
    // An object of points alone (no polygon names a point) keeps them as a
    // mesh of one-point faces, in the grey of a surface without attributes.
    if (scene->mNumMeshes == 0 && !model.points.empty()) {
        SurfaceVertices points;
        points.types = aiPrimitiveType_POINT;
        for (uint32_t v = 0; v < model.points.size(); ++v) {
            points.vertexPoint.push_back(v);
            points.vertexNormal.push_back(Normal3{0, 1, 0});
            points.faces.push_back({v});
        }
        scene->mMaterials[surfaces] = MakeMaterial(ExportSurface{}, "points");
        scene->mNumMaterials = static_cast<unsigned>(surfaces + 1);
        AddAiMesh(*scene, model, points, static_cast<unsigned>(surfaces), "points");
    }
    // FBX lengths are centimetres; the object node scales by 100 so that a
    // unit is a metre, as OBJ and glTF readers take it.
    auto* object = new aiNode(in.objectName);
    object->mTransformation = aiMatrix4x4(100, 0, 0, 0, 0, 100, 0, 0, 0, 0, 100, 0, 0, 0, 0, 1);
    object->mParent = scene->mRootNode;
    scene->mRootNode->mNumChildren = 1;
    scene->mRootNode->mChildren = new aiNode* [1] { object };
    object->mMeshes = new unsigned[scene->mNumMeshes + 1];
    object->mNumMeshes = scene->mNumMeshes;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
        object->mMeshes[m] = m;
    return scene;
}

} // namespace

bool WriteFbx(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    std::unique_ptr<aiScene> scene;
    {
        // The scene holds its own vertices: the shading goes before the
        // library forms the file, which takes the most memory.
        ShadingGeometry geometry;
        if (!ComputeShading(in.model, in.surfaces, geometry, error,
                            ShadingParts{true, true, in.workers}))
            return false;
        scene = MakeScene(in, geometry);
    }
    Assimp::Exporter exporter;
    const aiExportDataBlob* blob = exporter.ExportToBlob(scene.get(), "fbx");
    scene.reset();
    if (blob == nullptr) {
        error =
            std::string("the FBX library could not form the file: ") + exporter.GetErrorString();
        return false;
    }
    files.push_back({in.fileName, {}});
    const std::string_view written(static_cast<const char*>(blob->data), blob->size);
    if (!CloseNestedLists(written, files.back().bytes)) {
        error = "the FBX library formed a file whose records do not nest";
        return false;
    }
    return true;
}
