// Binary glTF 2.0 through tinygltf, formed from the ViewMesh: per surface up
// to three primitives (triangles, lines, points) with a material of its own.
// The triangles and their NORMALs use the first vertices (a vertex per
// distinct point and normal); lines and points use the same positions, plus
// one vertex for each point no triangle uses, through a longer POSITION
// accessor without normals.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>

#include "convert/ViewMesh.h"
#include "convert/Writers.h"
#include "geometry/MeshGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <sstream>

namespace {

void AlignBuffer(std::vector<unsigned char>& data) {
    while (data.size() % 4 != 0)
        data.push_back(0);
}

template <typename T>
void AppendValues(std::vector<unsigned char>& data, const T* values, size_t n) {
    const size_t at = data.size();
    data.resize(at + n * sizeof(T));
    if (n != 0)
        std::memcpy(data.data() + at, values, n * sizeof(T));
}

int ModeOf(ViewPartKind kind) {
    switch (kind) {
    case ViewPartKind::Triangles:
        break;
    case ViewPartKind::Lines:
        return TINYGLTF_MODE_LINE;
    case ViewPartKind::Points:
        return TINYGLTF_MODE_POINTS;
    }
    return TINYGLTF_MODE_TRIANGLES;
}

tinygltf::Material MaterialOf(const ViewMaterial& m, const std::string& name) {
    tinygltf::Material material;
    material.name = name;
    material.pbrMetallicRoughness.baseColorFactor = {m.colour[0], m.colour[1], m.colour[2],
                                                     m.colour[3]};
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = m.roughness;
    material.doubleSided = m.doubleSided;
    if (m.blend)
        material.alphaMode = "BLEND";
    return material;
}

// The glTF model as it is formed: its one buffer and mesh, then the views
// and accessors into the buffer, in the order they are added.
struct GlbForm {
    tinygltf::Model gltf;
    tinygltf::Buffer buffer;
    tinygltf::Mesh mesh;

    // A view of the buffer from `offset` to its end.
    int AddView(size_t offset, int target) {
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = offset;
        view.byteLength = buffer.data.size() - offset;
        view.target = target;
        gltf.bufferViews.push_back(view);
        return static_cast<int>(gltf.bufferViews.size() - 1);
    }

    int AddVec3(int view, size_t count, const std::vector<float>& xyz) {
        tinygltf::Accessor a;
        a.bufferView = view;
        a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        a.count = count;
        a.type = TINYGLTF_TYPE_VEC3;
        a.minValues.assign(3, HUGE_VAL);
        a.maxValues.assign(3, -HUGE_VAL);
        for (size_t i = 0; i < 3 * count; ++i) {
            a.minValues[i % 3] = std::min(a.minValues[i % 3], double{xyz[i]});
            a.maxValues[i % 3] = std::max(a.maxValues[i % 3], double{xyz[i]});
        }
        gltf.accessors.push_back(a);
        return static_cast<int>(gltf.accessors.size() - 1);
    }
};

// The accessors the primitives use: positions of the triangles' vertices,
// of all vertices (the same view, a longer count), and the normals.
struct VertexAccessors {
    int trianglePositions = -1, allPositions = -1, normals = -1;
};

VertexAccessors AddVertices(GlbForm& form, const ViewMesh& mesh) {
    VertexAccessors out;
    const std::vector<float>& xyz = mesh.positions;
    const size_t vertices = xyz.size() / 3;
    const size_t triangleVertices = mesh.triangleVertices;
    if (vertices == 0)
        return out;
    AppendValues(form.buffer.data, xyz.data(), xyz.size());
    const int view = form.AddView(0, TINYGLTF_TARGET_ARRAY_BUFFER);
    form.gltf.bufferViews.back().byteStride = 12; // two accessors may share the view
    if (triangleVertices != 0)
        out.trianglePositions = form.AddVec3(view, triangleVertices, xyz);
    if (vertices > triangleVertices || out.trianglePositions < 0)
        out.allPositions = form.AddVec3(view, vertices, xyz);
    else
        out.allPositions = out.trianglePositions;
    if (triangleVertices != 0) {
        const size_t at = form.buffer.data.size();
        AppendValues(form.buffer.data, mesh.normals.data(), mesh.normals.size());
        out.normals = form.AddVec3(form.AddView(at, TINYGLTF_TARGET_ARRAY_BUFFER), triangleVertices,
                                   mesh.normals);
    }
    return out;
}

// One primitive per part that has indices, its material the part's surface.
void AddPrimitives(GlbForm& form, const ViewMesh& mesh, const VertexAccessors& vertices) {
    const bool wideIndices = mesh.positions.size() / 3 > 65535; // 65535 is primitive restart in U2
    for (size_t i = 0; i < mesh.parts.size(); ++i) {
        const ViewPart& part = mesh.parts[i];
        if (part.indices.empty())
            continue;
        AlignBuffer(form.buffer.data);
        const size_t at = form.buffer.data.size();
        if (wideIndices) {
            AppendValues(form.buffer.data, part.indices.data(), part.indices.size());
        } else {
            std::vector<uint16_t> narrow(part.indices.begin(), part.indices.end());
            AppendValues(form.buffer.data, narrow.data(), narrow.size());
        }
        tinygltf::Accessor indices;
        indices.bufferView = form.AddView(at, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        indices.componentType = wideIndices ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT
                                            : TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        indices.count = part.indices.size();
        indices.type = TINYGLTF_TYPE_SCALAR;
        form.gltf.accessors.push_back(indices);
        tinygltf::Primitive primitive;
        if (part.kind == ViewPartKind::Triangles) {
            primitive.attributes["POSITION"] = vertices.trianglePositions;
            primitive.attributes["NORMAL"] = vertices.normals;
        } else {
            primitive.attributes["POSITION"] = vertices.allPositions;
        }
        primitive.indices = static_cast<int>(form.gltf.accessors.size() - 1);
        primitive.material = static_cast<int>(i / 3);
        primitive.mode = ModeOf(part.kind);
        form.mesh.primitives.push_back(std::move(primitive));
    }
}

// The scene of one node, holding the mesh when there is one.
void AddScene(GlbForm& form, const std::string& name) {
    tinygltf::Node node;
    node.name = name; // never empty: tinygltf writes a node with no property as null
    if (!form.mesh.primitives.empty()) {
        AlignBuffer(form.buffer.data);
        form.gltf.buffers.push_back(std::move(form.buffer));
        form.gltf.meshes.push_back(std::move(form.mesh));
        node.mesh = 0;
    }
    form.gltf.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    form.gltf.scenes.push_back(scene);
    form.gltf.defaultScene = 0;
}

} // namespace

namespace {

bool WriteGltfForm(const WriterInput& in, bool binary, std::vector<OutputFile>& files,
                   std::string& error) {
    ViewMesh mesh;
    if (!FormViewMesh(in.model, in.surfaces, mesh, error))
        return false;

    GlbForm form;
    // The buffer's size, so that it is not copied as it grows: the
    // positions, the normals, each part's indices and its padding.
    const size_t vertexCount = mesh.positions.size() / 3;
    size_t bufferSize = vertexCount * 12 + mesh.triangleVertices * 12;
    const size_t indexSize = vertexCount > 65535 ? 4 : 2;
    for (const ViewPart& part : mesh.parts)
        bufferSize += part.indices.size() * indexSize + 3;
    form.buffer.data.reserve(bufferSize);
    form.gltf.asset.version = "2.0";
    form.gltf.asset.generator = "ostrel";
    for (size_t s = 0; s < in.surfaces.size(); ++s)
        form.gltf.materials.push_back(MaterialOf(mesh.materials[s], in.names[s]));
    const VertexAccessors vertices = AddVertices(form, mesh);
    AddPrimitives(form, mesh, vertices);
    AddScene(form, in.objectName);

    // The library reports some failures by throwing (its JSON layer throws
    // on text that is not UTF-8, for one); none may leave the writer.
    // The stream starts with room for the whole file (the buffer and about
    // as much again for the JSON of a few hundred materials and primitives),
    // so that the file is not copied as it grows.
    std::string room;
    room.reserve(form.gltf.buffers.empty() ? 4096 : form.gltf.buffers[0].data.size() + 65536);
    tinygltf::TinyGLTF writer;
    std::ostringstream stream(std::move(room));
    try {
        if (!writer.WriteGltfSceneToStream(&form.gltf, stream, !binary, binary)) {
            error = "the glTF library could not form the file";
            return false;
        }
    } catch (const std::exception& e) {
        error = std::string("the glTF library could not form the file: ") + e.what();
        return false;
    }
    files.push_back({in.fileName, std::move(stream).str()});
    return true;
}

} // namespace

bool WriteGlb(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    return WriteGltfForm(in, true, files, error);
}

bool WriteGltf(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    return WriteGltfForm(in, false, files, error);
}
