// Binary STL: the triangles of every face, each with its face's normal, Z up
// (Shading.h, ZUp). The triangles are the glb's, cut once in ShadingGeometry,
// each reversed as the glb's are. STL has no units; slicers read millimetres,
// so one unit of the object is a millimetre (--scale sets how many a file's
// unit becomes). It has no colours, lines or points either: the closed-solid
// line (geometry/ClosedSolid.h) names what is left out.
//
// Binary rather than ASCII: a fifth of the size, the floats kept exactly, and
// read by every slicer.
#include "convert/Writers.h"
#include "geometry/Shading.h"

#include <cstring>

namespace {

constexpr size_t kHeaderSize = 80;
constexpr size_t kTriangleSize = 50; // 12 floats and a 2-byte attribute

void PutFloats(char* at, const float* values, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        for (int k = 0; k < 4; ++k)
            *at++ = static_cast<char>((bits >> (8 * k)) & 0xff);
    }
}

// The header names the writer and the convention. It must not start with
// "solid", which readers take for the ASCII form.
std::string Header() {
    std::string header = "binary STL from ostrel: millimetres, Z up, counter-clockwise fronts";
    header.resize(kHeaderSize, ' ');
    return header;
}

} // namespace

bool WriteStl(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    ShadingGeometry geometry;
    ShadingParts parts;
    parts.vertices = false;
    if (!ComputeShading(in.model, in.surfaces, geometry, error, parts))
        return false;
    const size_t triangles = geometry.triangles.size() / 3;
    if (triangles > UINT32_MAX) {
        error = std::to_string(triangles) + " triangles: an STL file counts at most 4294967295";
        return false;
    }
    std::string bytes = Header();
    bytes.resize(kHeaderSize + 4 + kTriangleSize * triangles);
    for (int k = 0; k < 4; ++k)
        bytes[kHeaderSize + static_cast<size_t>(k)] =
            static_cast<char>((triangles >> (8 * k)) & 0xff);
    char* at = bytes.data() + kHeaderSize + 4;
    for (size_t p = 0; p < in.model.polygons.size(); ++p) {
        const size_t first = geometry.triangleStart[p], last = geometry.triangleStart[p + 1];
        if (first == last)
            continue;
        const Vec3& n = geometry.polygonNormal[p];
        const Normal3 normal =
            ZUp(Normal3{static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)});
        const uint32_t* points = in.model.corners.data() + in.model.polygons[p].firstCorner;
        const size_t cornerBase = geometry.cornerStart[p];
        for (size_t t = first; t < last; t += 3) {
            float values[12] = {normal.x, normal.y, normal.z};
            // Each triangle reversed: a, c, b.
            const uint32_t corners[3] = {geometry.triangles[t], geometry.triangles[t + 2],
                                         geometry.triangles[t + 1]};
            for (size_t k = 0; k < 3; ++k) {
                const ReceivedPoint q = ZUp(in.model.points[points[corners[k] - cornerBase]]);
                values[3 + 3 * k] = q.x;
                values[4 + 3 * k] = q.y;
                values[5 + 3 * k] = q.z;
            }
            PutFloats(at, values, 12);
            at[48] = at[49] = 0;
            at += kTriangleSize;
        }
    }
    files.push_back({in.fileName, std::move(bytes)});
    return true;
}
