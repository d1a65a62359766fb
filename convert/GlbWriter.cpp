// Binary glTF 2.0 and its JSON text form, formed from the ViewArrays. Each
// surface gives up to three primitives (triangles, lines, points) and a
// material of its own. The triangles and their NORMALs use the first vertices,
// a vertex per distinct point and normal. Lines and points use the same
// positions, plus one vertex for each point no triangle uses. They reach them
// through a longer POSITION accessor without normals.
//
// The JSON is written here, straight into the file's bytes. Every step is an
// append to a string. So memory running out anywhere is a std::bad_alloc and
// nothing else. A general library's JSON tree may be left half-built by a
// failed allocation, and then fail again while being freed.
// The layout is the one files have always had. Keys come in the byte order of
// their names. Members at their default value are left out. Numbers take the
// shortest form that reads back as the same double.
#include "convert/JsonText.h"
#include "convert/ViewArrays.h"
#include "convert/Writers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// The glTF constants the writer uses.
constexpr int kFloat = 5126, kUnsignedShort = 5123, kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;
constexpr int kModePoints = 0, kModeLines = 1, kModeTriangles = 4;

struct GltfView {
    size_t offset = 0, length = 0, stride = 0;
    int target = 0;
};

struct GltfAccessor {
    int view = 0;
    int componentType = kFloat;
    size_t count = 0;
    bool vec3 = false; // else a scalar; a vec3 carries its extent
    double min[3] = {0, 0, 0}, max[3] = {0, 0, 0};
};

struct GltfPrimitive {
    int position = -1, normal = -1, indices = -1, material = -1, mode = kModeTriangles;
};

// The file as it is formed: its one buffer, the views and accessors into it,
// and the glTF mesh's primitives. Each comes in the order it is added.
struct GltfForm {
    std::vector<unsigned char> buffer;
    std::vector<GltfView> views;
    std::vector<GltfAccessor> accessors;
    std::vector<GltfPrimitive> primitives;

    void Align() {
        while (buffer.size() % 4 != 0)
            buffer.push_back(0);
    }
    template <typename T> void Append(const T* values, size_t n) {
        const size_t at = buffer.size();
        buffer.resize(at + n * sizeof(T));
        if (n != 0)
            std::memcpy(buffer.data() + at, values, n * sizeof(T));
    }
    // A view of the buffer from `offset` to its end.
    int AddView(size_t offset, int target) {
        views.push_back({offset, buffer.size() - offset, 0, target});
        return static_cast<int>(views.size() - 1);
    }
    int AddVec3(int view, size_t count, const std::vector<float>& xyz) {
        GltfAccessor a;
        a.view = view;
        a.count = count;
        a.vec3 = true;
        std::fill(a.min, a.min + 3, HUGE_VAL);
        std::fill(a.max, a.max + 3, -HUGE_VAL);
        for (size_t i = 0; i < 3 * count; ++i) {
            a.min[i % 3] = std::min(a.min[i % 3], double{xyz[i]});
            a.max[i % 3] = std::max(a.max[i % 3], double{xyz[i]});
        }
        accessors.push_back(a);
        return static_cast<int>(accessors.size() - 1);
    }
};

// The accessors the primitives use: the positions of the triangles' vertices,
// the positions of all vertices, and the normals. The two position accessors
// share one view, the second with a longer count.
struct VertexAccessors {
    int trianglePositions = -1, allPositions = -1, normals = -1;
};

VertexAccessors AddVertices(GltfForm& form, const ViewArrays& arrays) {
    VertexAccessors out;
    const std::vector<float>& xyz = arrays.positions;
    const size_t vertices = xyz.size() / 3;
    const size_t triangleVertices = arrays.triangleVertices;
    if (vertices == 0)
        return out;
    form.Append(xyz.data(), xyz.size());
    const int view = form.AddView(0, kArrayBuffer);
    form.views.back().stride = 12; // two accessors may share the view
    if (triangleVertices != 0)
        out.trianglePositions = form.AddVec3(view, triangleVertices, xyz);
    if (vertices > triangleVertices || out.trianglePositions < 0)
        out.allPositions = form.AddVec3(view, vertices, xyz);
    else
        out.allPositions = out.trianglePositions;
    if (triangleVertices != 0) {
        const size_t at = form.buffer.size();
        form.Append(arrays.normals.data(), arrays.normals.size());
        out.normals =
            form.AddVec3(form.AddView(at, kArrayBuffer), triangleVertices, arrays.normals);
    }
    return out;
}

int ModeOf(ViewPartKind kind) {
    switch (kind) {
    case ViewPartKind::Triangles:
        break;
    case ViewPartKind::Lines:
        return kModeLines;
    case ViewPartKind::Points:
        return kModePoints;
    }
    return kModeTriangles;
}

// One primitive per part that has indices, its material the part's surface.
void AddPrimitives(GltfForm& form, const ViewArrays& arrays, const VertexAccessors& vertices) {
    const bool wideIndices =
        arrays.positions.size() / 3 > 65535; // 65535 is primitive restart in U2
    for (size_t i = 0; i < arrays.parts.size(); ++i) {
        const ViewPart& part = arrays.parts[i];
        if (part.indices.empty())
            continue;
        form.Align();
        const size_t at = form.buffer.size();
        if (wideIndices) {
            form.Append(part.indices.data(), part.indices.size());
        } else {
            const std::vector<uint16_t> narrow(part.indices.begin(), part.indices.end());
            form.Append(narrow.data(), narrow.size());
        }
        GltfAccessor indices;
        indices.view = form.AddView(at, kElementArrayBuffer);
        indices.componentType = wideIndices ? kUnsignedInt : kUnsignedShort;
        indices.count = part.indices.size();
        form.accessors.push_back(indices);
        GltfPrimitive primitive;
        const bool triangles = part.kind == ViewPartKind::Triangles;
        primitive.position = triangles ? vertices.trianglePositions : vertices.allPositions;
        primitive.normal = triangles ? vertices.normals : -1;
        primitive.indices = static_cast<int>(form.accessors.size() - 1);
        primitive.material = static_cast<int>(i / 3);
        primitive.mode = ModeOf(part.kind);
        form.primitives.push_back(primitive);
    }
    form.Align();
}

void WriteAccessors(JsonText& j, const GltfForm& form) {
    j.Key("accessors");
    j.Open('[');
    for (const GltfAccessor& a : form.accessors) {
        j.Item();
        j.Open('{');
        j.Member("bufferView", a.view);
        j.Member("componentType", a.componentType);
        j.Member("count", uint64_t{a.count});
        if (a.vec3) {
            j.Numbers("max", a.max, 3);
            j.Numbers("min", a.min, 3);
        }
        j.Member("type", a.vec3 ? "VEC3" : "SCALAR");
        j.Close('}');
    }
    j.Close(']');
}

void WriteViews(JsonText& j, const GltfForm& form) {
    j.Key("bufferViews");
    j.Open('[');
    for (const GltfView& v : form.views) {
        j.Item();
        j.Open('{');
        j.Member("buffer", 0);
        j.Member("byteLength", uint64_t{v.length});
        if (v.offset != 0)
            j.Member("byteOffset", uint64_t{v.offset});
        if (v.stride != 0)
            j.Member("byteStride", uint64_t{v.stride});
        j.Member("target", v.target);
        j.Close('}');
    }
    j.Close(']');
}

bool NearOne(double value) {
    return std::fabs(value - 1.0) < 1e-12;
}

// Factors at their glTF default are left out: a white base, and a roughness of
// one. The metal factor, which is none, never is.
void WriteMaterials(JsonText& j, const ViewArrays& arrays, const std::vector<std::string>& names) {
    j.Key("materials");
    j.Open('[');
    for (size_t s = 0; s < arrays.materials.size(); ++s) {
        const SurfaceMaterial& m = arrays.materials[s];
        j.Item();
        j.Open('{');
        if (m.blend)
            j.Member("alphaMode", "BLEND");
        if (m.doubleSided) {
            j.Key("doubleSided");
            j.out += "true";
        }
        if (s < names.size() && !names[s].empty())
            j.Member("name", names[s]);
        j.Key("pbrMetallicRoughness");
        j.Open('{');
        if (!std::all_of(m.colour, m.colour + 4, NearOne))
            j.Numbers("baseColorFactor", m.colour, 4);
        j.Key("metallicFactor");
        j.Number(0.0);
        if (!NearOne(m.roughness)) {
            j.Key("roughnessFactor");
            j.Number(m.roughness);
        }
        j.Close('}');
        j.Close('}');
    }
    j.Close(']');
}

void WritePrimitives(JsonText& j, const GltfForm& form) {
    j.Key("meshes");
    j.Open('[');
    j.Item();
    j.Open('{');
    j.Key("primitives");
    j.Open('[');
    for (const GltfPrimitive& p : form.primitives) {
        j.Item();
        j.Open('{');
        j.Key("attributes");
        j.Open('{');
        if (p.normal >= 0)
            j.Member("NORMAL", p.normal);
        j.Member("POSITION", p.position);
        j.Close('}');
        j.Member("indices", p.indices);
        j.Member("material", p.material);
        j.Member("mode", p.mode);
        j.Close('}');
    }
    j.Close(']');
    j.Close('}');
    j.Close(']');
}

// The whole JSON document. `uri` is the buffer's data: URI. It is empty in a
// glb, whose buffer is its BIN chunk. A file without primitives has no buffer
// and no glTF mesh, just a scene of one empty node.
void WriteDocument(JsonText& j, const GltfForm& form, const ViewArrays& arrays,
                   const WriterInput& in, const std::string& uri) {
    const bool hasPrimitives = !form.primitives.empty();
    j.Open('{');
    if (!form.accessors.empty())
        WriteAccessors(j, form);
    j.Key("asset");
    j.Open('{');
    j.Member("generator", "ostrel");
    j.Member("version", "2.0");
    j.Close('}');
    if (!form.views.empty())
        WriteViews(j, form);
    if (hasPrimitives) {
        j.Key("buffers");
        j.Open('[');
        j.Item();
        j.Open('{');
        j.Member("byteLength", uint64_t{form.buffer.size()});
        if (!uri.empty())
            j.Member("uri", uri);
        j.Close('}');
        j.Close(']');
    }
    if (!arrays.materials.empty())
        WriteMaterials(j, arrays, in.names);
    if (hasPrimitives)
        WritePrimitives(j, form);
    j.Key("nodes");
    j.Open('[');
    j.Item();
    j.Open('{');
    if (hasPrimitives)
        j.Member("mesh", 0);
    j.Member("name", in.objectName);
    j.Close('}');
    j.Close(']');
    j.Member("scene", 0);
    j.Key("scenes");
    j.Open('[');
    j.Item();
    j.Open('{');
    j.Key("nodes");
    j.Open('[');
    j.Item();
    j.Unsigned(0);
    j.Close(']');
    j.Close('}');
    j.Close(']');
    j.Close('}');
}

std::string Base64(const std::vector<unsigned char>& data) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const uint32_t v = uint32_t{data[i]} << 16 | uint32_t{data[i + 1]} << 8 | data[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            out += kDigits[(v >> shift) & 63];
    }
    if (i < data.size()) {
        const bool two = i + 1 < data.size();
        const uint32_t v = uint32_t{data[i]} << 16 | (two ? uint32_t{data[i + 1]} << 8 : 0);
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += two ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

void PutWord(std::string& out, size_t at, size_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// The glb container: its header, the JSON chunk and the BIN chunk. The JSON
// chunk is padded with spaces. The BIN chunk is the buffer, already 4-byte
// aligned.
bool FormGlb(const GltfForm& form, const ViewArrays& arrays, const WriterInput& in,
             std::string& out, std::string& error) {
    out.reserve(form.buffer.size() + 4096);
    out.assign(20, '\0'); // the header and the JSON chunk's, filled in below
    JsonText json{out, false};
    WriteDocument(json, form, arrays, in, std::string());
    while (out.size() % 4 != 0)
        out += ' ';
    const size_t jsonLength = out.size() - 20;
    const size_t total = out.size() + (form.buffer.empty() ? 0 : 8 + form.buffer.size());
    if (total > UINT32_MAX) {
        error = "the object is too large for a glb file, which holds at most 4 GiB";
        return false;
    }
    out.replace(0, 4, "glTF");
    PutWord(out, 4, 2);
    PutWord(out, 8, total);
    PutWord(out, 12, jsonLength);
    out.replace(16, 4, "JSON");
    if (!form.buffer.empty()) {
        const size_t at = out.size();
        out.append(8, '\0');
        PutWord(out, at, form.buffer.size());
        out.replace(at + 4, 4, std::string_view("BIN\0", 4));
        out.append(reinterpret_cast<const char*>(form.buffer.data()), form.buffer.size());
    }
    return true;
}

bool WriteGltfForm(const WriterInput& in, bool binary, std::vector<OutputFile>& files,
                   std::string& error) {
    ViewArrays arrays;
    if (!FormViewArrays(in.model, in.surfaces, arrays, error, in.workers))
        return false;

    GltfForm form;
    // The buffer's size, so that it is not copied as it grows: the
    // positions, the normals, each part's indices and its padding.
    const size_t vertexCount = arrays.positions.size() / 3;
    size_t bufferSize = vertexCount * 12 + arrays.triangleVertices * 12;
    const size_t indexSize = vertexCount > 65535 ? 4 : 2;
    for (const ViewPart& part : arrays.parts)
        bufferSize += part.indices.size() * indexSize + 3;
    form.buffer.reserve(bufferSize);
    const VertexAccessors vertices = AddVertices(form, arrays);
    AddPrimitives(form, arrays, vertices);

    std::string bytes;
    if (binary) {
        if (!FormGlb(form, arrays, in, bytes, error))
            return false;
    } else {
        const std::string uri = "data:application/octet-stream;base64," + Base64(form.buffer);
        bytes.reserve(uri.size() + 4096);
        JsonText json{bytes, true};
        WriteDocument(json, form, arrays, in, uri);
        bytes += '\n';
    }
    files.push_back({in.fileName, std::move(bytes)});
    return true;
}

} // namespace

bool WriteGlb(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    return WriteGltfForm(in, true, files, error);
}

bool WriteGltf(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    return WriteGltfForm(in, false, files, error);
}
