// Binary glTF 2.0 through tinygltf: one shared POSITION accessor, and per
// surface up to three primitives (triangles, lines, points) with a material
// of its own. Positions and loops follow the right-handed, counter-clockwise
// convention (see Export.h).
//
// Polygons of more than three vertices are cut into a fan from their first
// vertex. That is exact for convex polygons, which is what the plug-in forms
// from a model file's faces; a non-convex face would get triangles outside
// its outline and would need ear clipping instead.
//
// glTF has no smoothing switch: without normals a reader shades flat, so the
// smoothing flag and angle do not reach the file.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>

#include "standin/Export.h"

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

} // namespace

bool GlbWriterBuiltIn() {
    return true;
}

bool WriteGlb(const ReceivedModel& model, std::string& out, std::string& error) {
    const std::vector<ExportSurface> surfaces = ExportSurfaces(model);

    // Per surface: triangles, lines, points.
    std::vector<PrimitiveIndices> parts(surfaces.size() * 3);
    for (size_t s = 0; s < surfaces.size(); ++s) {
        parts[3 * s].mode = TINYGLTF_MODE_TRIANGLES;
        parts[3 * s + 1].mode = TINYGLTF_MODE_LINE;
        parts[3 * s + 2].mode = TINYGLTF_MODE_POINTS;
    }
    for (const ReceivedPolygon& p : model.polygons) {
        const size_t n = p.points.size();
        if (n == 0)
            continue;
        const size_t slot = SurfaceSlot(p.surface);
        if (slot >= surfaces.size()) {
            error = "a polygon names a surface that was never looked up";
            return false;
        }
        if (n >= 3) {
            // The fan of the reversed loop p0, pn-1, ..., p1.
            std::vector<uint32_t>& tri = parts[3 * slot].indices;
            for (size_t k = n - 1; k >= 2; --k) {
                tri.push_back(p.points[0]);
                tri.push_back(p.points[k]);
                tri.push_back(p.points[k - 1]);
            }
        } else {
            std::vector<uint32_t>& list = parts[3 * slot + (n == 2 ? 1 : 2)].indices;
            list.insert(list.end(), p.points.begin(), p.points.end());
        }
    }

    tinygltf::Model gltf;
    gltf.asset.version = "2.0";
    gltf.asset.generator = "ostrel";
    for (size_t s = 0; s < surfaces.size(); ++s) {
        const ExportSurface& surface = surfaces[s];
        tinygltf::Material material;
        material.name = OutputName(surface, ExportFormat::Glb);
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
        gltf.materials.push_back(std::move(material));
    }

    tinygltf::Mesh mesh;
    tinygltf::Buffer buffer;
    const bool wideIndices = model.points.size() > 65535; // 65535 is primitive restart in U2
    if (!model.points.empty()) {
        std::vector<float> xyz;
        xyz.reserve(model.points.size() * 3);
        std::vector<double> low(3, HUGE_VAL), high(3, -HUGE_VAL);
        for (const ReceivedPoint& p : model.points) {
            const float v[3] = {p.x, p.y, -p.z};
            for (int k = 0; k < 3; ++k) {
                xyz.push_back(v[k]);
                low[static_cast<size_t>(k)] = std::min(low[static_cast<size_t>(k)], double{v[k]});
                high[static_cast<size_t>(k)] = std::max(high[static_cast<size_t>(k)], double{v[k]});
            }
        }
        for (size_t k = 0; k < 3; ++k) {
            if (!std::isfinite(low[k]) || !std::isfinite(high[k])) {
                error = "a point has a coordinate that is not a finite number";
                return false;
            }
        }
        AppendValues(buffer.data, xyz.data(), xyz.size());
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = 0;
        view.byteLength = buffer.data.size();
        view.target = TINYGLTF_TARGET_ARRAY_BUFFER;
        gltf.bufferViews.push_back(view);
        tinygltf::Accessor positions;
        positions.bufferView = 0;
        positions.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        positions.count = model.points.size();
        positions.type = TINYGLTF_TYPE_VEC3;
        positions.minValues = low;
        positions.maxValues = high;
        gltf.accessors.push_back(positions);
    }

    for (size_t i = 0; i < parts.size(); ++i) {
        const PrimitiveIndices& part = parts[i];
        if (part.indices.empty())
            continue;
        AlignBuffer(buffer.data);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.data.size();
        if (wideIndices) {
            AppendValues(buffer.data, part.indices.data(), part.indices.size());
        } else {
            std::vector<uint16_t> narrow(part.indices.begin(), part.indices.end());
            AppendValues(buffer.data, narrow.data(), narrow.size());
        }
        view.byteLength = buffer.data.size() - view.byteOffset;
        view.target = TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER;
        gltf.bufferViews.push_back(view);
        tinygltf::Accessor indices;
        indices.bufferView = static_cast<int>(gltf.bufferViews.size() - 1);
        indices.componentType = wideIndices ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT
                                            : TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        indices.count = part.indices.size();
        indices.type = TINYGLTF_TYPE_SCALAR;
        gltf.accessors.push_back(indices);
        tinygltf::Primitive primitive;
        primitive.attributes["POSITION"] = 0;
        primitive.indices = static_cast<int>(gltf.accessors.size() - 1);
        primitive.material = static_cast<int>(i / 3);
        primitive.mode = part.mode;
        mesh.primitives.push_back(std::move(primitive));
    }

    tinygltf::Node node;
    node.name = "object"; // tinygltf writes a node with no property as null
    if (!mesh.primitives.empty()) {
        AlignBuffer(buffer.data);
        gltf.buffers.push_back(std::move(buffer));
        gltf.meshes.push_back(std::move(mesh));
        node.mesh = 0;
    }
    gltf.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    gltf.scenes.push_back(scene);
    gltf.defaultScene = 0;
    if (gltf.buffers.empty()) {
        // No geometry: positions without a primitive would be left unused.
        gltf.bufferViews.clear();
        gltf.accessors.clear();
    }

    // The library reports some failures by throwing (its JSON layer throws
    // on text that is not UTF-8, for one); none may leave the writer.
    tinygltf::TinyGLTF writer;
    std::ostringstream stream;
    try {
        if (!writer.WriteGltfSceneToStream(&gltf, stream, false, true)) {
            error = "the glTF library could not form the file";
            return false;
        }
    } catch (const std::exception& e) {
        error = std::string("the glTF library could not form the file: ") + e.what();
        return false;
    }
    out = std::move(stream).str();
    return true;
}
