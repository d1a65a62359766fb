// Binary glTF 2.0 through tinygltf: per surface up to three primitives
// (triangles, lines, points) with a material of its own. The triangles and
// their NORMALs come from MeshGeometry (a vertex per distinct point and
// normal); lines and points use the same positions, plus one vertex for each
// point no triangle uses, through a longer POSITION accessor without normals.
// Positions, normals and loops follow the right-handed, counter-clockwise
// convention (see Writers.h).
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>

#include "convert/Writers.h"
#include "geometry/MeshGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <sstream>

namespace {

// The block's colour bytes are sRGB; glTF's base colour factor is linear.
double SrgbToLinear(uint8_t value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

struct PrimitiveIndices {
    int mode = TINYGLTF_MODE_TRIANGLES;
    std::vector<uint32_t> indices;
};

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

// The vertices and, per surface, the indices of its triangles, lines and
// points. Vertices: those of the triangles, then one per point that only
// lines and points use.
struct Primitives {
    std::vector<uint32_t> vertexPoint;
    size_t triangleVertices = 0;
    std::vector<PrimitiveIndices> parts; // 3 per surface: triangles, lines, points
};

Primitives GatherPrimitives(const WriterInput& in, const MeshGeometry& geometry) {
    const ReceivedModel& model = in.model;
    Primitives out;
    out.vertexPoint = geometry.vertexPoint;
    out.triangleVertices = out.vertexPoint.size();
    std::vector<uint32_t> pointVertex(model.points.size(), UINT32_MAX);
    for (size_t k = out.triangleVertices; k-- > 0;)
        pointVertex[out.vertexPoint[k]] = static_cast<uint32_t>(k);

    out.parts.resize(in.surfaces.size() * 3);
    for (size_t s = 0; s < in.surfaces.size(); ++s) {
        out.parts[3 * s].mode = TINYGLTF_MODE_TRIANGLES;
        out.parts[3 * s + 1].mode = TINYGLTF_MODE_LINE;
        out.parts[3 * s + 2].mode = TINYGLTF_MODE_POINTS;
    }
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        const size_t n = polygon.points.size();
        if (n == 0)
            continue;
        const size_t slot = SurfaceSlot(polygon.surface);
        if (n >= 3) {
            // Each triangle reversed: a, c, b.
            std::vector<uint32_t>& tri = out.parts[3 * slot].indices;
            for (size_t t = geometry.triangleStart[p]; t < geometry.triangleStart[p + 1]; t += 3) {
                tri.push_back(geometry.cornerVertex[geometry.triangles[t]]);
                tri.push_back(geometry.cornerVertex[geometry.triangles[t + 2]]);
                tri.push_back(geometry.cornerVertex[geometry.triangles[t + 1]]);
            }
            continue;
        }
        std::vector<uint32_t>& list = out.parts[3 * slot + (n == 2 ? 1 : 2)].indices;
        for (uint16_t v : polygon.points) {
            if (pointVertex[v] == UINT32_MAX) {
                pointVertex[v] = static_cast<uint32_t>(out.vertexPoint.size());
                out.vertexPoint.push_back(v);
            }
            list.push_back(pointVertex[v]);
        }
    }
    return out;
}

tinygltf::Material MaterialOf(const ExportSurface& surface, const std::string& name) {
    tinygltf::Material material;
    material.name = name;
    const double diffuse = surface.diffuse / 256.0;
    const double alpha = std::clamp(1.0 - surface.transparency / 256.0, 0.0, 1.0);
    material.pbrMetallicRoughness.baseColorFactor = {
        std::min(1.0, SrgbToLinear(surface.red) * diffuse),
        std::min(1.0, SrgbToLinear(surface.green) * diffuse),
        std::min(1.0, SrgbToLinear(surface.blue) * diffuse), alpha};
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor =
        std::clamp(1.0 - surface.specular / 256.0, 0.0, 1.0);
    material.doubleSided = surface.doubleSided;
    if (alpha < 1.0)
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

VertexAccessors AddVertices(GlbForm& form, const ReceivedModel& model, const MeshGeometry& geometry,
                            const Primitives& primitives) {
    VertexAccessors out;
    const std::vector<uint32_t>& vertexPoint = primitives.vertexPoint;
    const size_t triangleVertices = primitives.triangleVertices;
    if (vertexPoint.empty())
        return out;
    std::vector<float> xyz;
    xyz.reserve(vertexPoint.size() * 3);
    for (uint32_t v : vertexPoint) {
        const ReceivedPoint& p = model.points[v];
        xyz.insert(xyz.end(), {p.x, p.y, -p.z});
    }
    AppendValues(form.buffer.data, xyz.data(), xyz.size());
    const int view = form.AddView(0, TINYGLTF_TARGET_ARRAY_BUFFER);
    form.gltf.bufferViews.back().byteStride = 12; // two accessors may share the view
    if (triangleVertices != 0)
        out.trianglePositions = form.AddVec3(view, triangleVertices, xyz);
    if (vertexPoint.size() > triangleVertices || out.trianglePositions < 0)
        out.allPositions = form.AddVec3(view, vertexPoint.size(), xyz);
    else
        out.allPositions = out.trianglePositions;
    if (triangleVertices != 0) {
        std::vector<float> n;
        n.reserve(triangleVertices * 3);
        for (const Normal3& v : geometry.vertexNormal) {
            const Normal3 r = RightHanded(v);
            n.insert(n.end(), {r.x, r.y, r.z});
        }
        const size_t at = form.buffer.data.size();
        AppendValues(form.buffer.data, n.data(), n.size());
        out.normals =
            form.AddVec3(form.AddView(at, TINYGLTF_TARGET_ARRAY_BUFFER), triangleVertices, n);
    }
    return out;
}

// One primitive per part that has indices, its material the part's surface.
void AddPrimitives(GlbForm& form, const Primitives& primitives, const VertexAccessors& vertices) {
    const bool wideIndices =
        primitives.vertexPoint.size() > 65535; // 65535 is primitive restart in U2
    for (size_t i = 0; i < primitives.parts.size(); ++i) {
        const PrimitiveIndices& part = primitives.parts[i];
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
        if (part.mode == TINYGLTF_MODE_TRIANGLES) {
            primitive.attributes["POSITION"] = vertices.trianglePositions;
            primitive.attributes["NORMAL"] = vertices.normals;
        } else {
            primitive.attributes["POSITION"] = vertices.allPositions;
        }
        primitive.indices = static_cast<int>(form.gltf.accessors.size() - 1);
        primitive.material = static_cast<int>(i / 3);
        primitive.mode = part.mode;
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
    MeshGeometry geometry;
    if (!ComputeMeshGeometry(in.model, in.surfaces, geometry, error))
        return false;
    const Primitives primitives = GatherPrimitives(in, geometry);

    GlbForm form;
    // The buffer's size, so that it is not copied as it grows: the
    // positions, the normals, each part's indices and its padding.
    size_t bufferSize = primitives.vertexPoint.size() * 12 + primitives.triangleVertices * 12;
    const size_t indexSize = primitives.vertexPoint.size() > 65535 ? 4 : 2;
    for (const PrimitiveIndices& part : primitives.parts)
        bufferSize += part.indices.size() * indexSize + 3;
    form.buffer.data.reserve(bufferSize);
    form.gltf.asset.version = "2.0";
    form.gltf.asset.generator = "ostrel";
    for (size_t s = 0; s < in.surfaces.size(); ++s)
        form.gltf.materials.push_back(MaterialOf(in.surfaces[s], in.names[s]));
    const VertexAccessors vertices = AddVertices(form, in.model, geometry, primitives);
    AddPrimitives(form, primitives, vertices);
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
