// Wavefront OBJ with its MTL. Points and loops are turned into the
// right-handed, counter-clockwise convention (see Writers.h). Two-point
// polygons become `l` elements, and one-point polygons `p` elements. Faces name
// the corner normals of ShadingGeometry, as `f v//vn`. Each distinct normal is
// written once. So no reader has to guess the shading from `s`, which only says
// which faces to shade smoothly.
//
// What the formats cannot say. MTL has no double-sided switch. So a
// double-sided surface keeps its faces single, and the counts stay those the
// host received. Its material carries a `# double sided` comment instead. The
// smoothing angle is already applied to the normals, and is kept as a comment.
#include "convert/Writers.h"
#include "geometry/Shading.h"
#include "platform/NumberText.h"
#include "platform/TextCodec.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>
#include <span>

namespace {

void PutNumber(std::string& out, double v) {
    AppendGeneral(out, v, 9);
}

char* WriteIndex(char* at, size_t v) {
    return std::to_chars(at, at + 20, v).ptr;
}

// OBJ and MTL split statements at whitespace, so whitespace in a material name
// is replaced. The name keeps every other byte of its UTF-8 form. A name that
// clashes after the replacement gets a number.
std::vector<std::string> MaterialNames(const std::vector<std::string>& surfaceNames) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (std::string name : surfaceNames) {
        if (name.empty())
            name = "surface";
        for (char& c : name) {
            const auto b = static_cast<unsigned char>(c);
            if (b <= 0x20 || b == 0x7F || c == '#')
                c = '_';
        }
        std::string unique = name;
        for (int k = 2; taken.count(unique) != 0; ++k)
            unique = name + "_" + std::to_string(k);
        taken.insert(unique);
        names.push_back(unique);
    }
    return names;
}

// "PREFIX x y z\n", formed in a line of its own and appended at once.
void PutTriple(std::string& out, const char* prefix, double x, double y, double z) {
    char line[8 + 3 * (kGeneralTextMax + 1)];
    const size_t prefixLength = std::strlen(prefix); // at most 7
    std::memcpy(line, prefix, prefixLength);
    char* at = WriteGeneral(line + prefixLength, x, 9);
    *at++ = ' ';
    at = WriteGeneral(at, y, 9);
    *at++ = ' ';
    at = WriteGeneral(at, z, 9);
    *at++ = '\n';
    out.append(line, at);
}

// One `vn` per distinct normal, numbered in order of first use. It holds the
// normals in the right-handed convention, and the number of each corner's
// normal. Numbers are 1-based, and corners of lines and points get 0.
struct ObjNormals {
    std::vector<Normal3> distinct;
    std::vector<size_t> cornerNormal;
};

ObjNormals NumberNormals(const ReceivedModel& model, const ShadingGeometry& geometry) {
    ObjNormals out;
    out.cornerNormal.assign(geometry.cornerNormal.size(), 0);
    // An open-addressing table of the distinct normals' numbers, keyed by
    // their bits, at most half full.
    size_t capacity = 16;
    while (capacity < 2 * geometry.cornerNormal.size())
        capacity *= 2;
    constexpr uint32_t kEmpty = UINT32_MAX;
    std::vector<uint32_t> table(capacity, kEmpty);
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        if (model.polygons[p].cornerCount < 3)
            continue;
        for (size_t c = geometry.cornerStart[p]; c < geometry.cornerStart[p + 1]; ++c) {
            const Normal3 n = RightHanded(geometry.cornerNormal[c]);
            uint32_t bits[3];
            std::memcpy(bits, &n, sizeof bits);
            const uint64_t hash =
                (uint64_t{bits[0]} * 0x9E3779B97F4A7C15u ^ bits[1]) * 0xC2B2AE3D27D4EB4Fu ^ bits[2];
            size_t slot = static_cast<size_t>(hash ^ (hash >> 29)) & (capacity - 1);
            while (table[slot] != kEmpty &&
                   std::memcmp(&out.distinct[table[slot]], &n, sizeof n) != 0)
                slot = (slot + 1) & (capacity - 1);
            if (table[slot] == kEmpty) {
                table[slot] = static_cast<uint32_t>(out.distinct.size());
                out.distinct.push_back(n);
            }
            out.cornerNormal[c] = size_t{table[slot]} + 1;
        }
    }
    return out;
}

// The polygons in order. Each surface's run comes under its material and
// smoothing group. Loops are reversed, and corners name their normals.
void PutFaces(std::string& obj, const WriterInput& in, const std::vector<std::string>& names,
              const ShadingGeometry& geometry, const ObjNormals& normals) {
    size_t current = SIZE_MAX;
    std::vector<char> line;
    for (size_t q = 0; q < in.model.polygons.size(); ++q) {
        const ReceivedPolygon& p = in.model.polygons[q];
        const std::span<const uint32_t> points = PointsOf(in.model, p);
        const size_t n = points.size();
        if (n == 0)
            continue;
        const size_t slot = SurfaceSlot(p.surface);
        if (slot != current) {
            current = slot;
            obj += "usemtl " + names[slot] + "\n";
            obj += in.surfaces[slot].smooth ? "s 1\n" : "s off\n";
        }
        // The statement formed in a line of its own: a corner takes at
        // most 1 + 5 + 2 + 20 characters.
        line.resize(2 + 28 * n);
        char* at = line.data();
        *at++ = n == 1 ? 'p' : n == 2 ? 'l' : 'f';
        for (size_t i = 0; i < n; ++i) {
            const size_t k = ReversedCorner(i, n);
            *at++ = ' ';
            at = WriteIndex(at, size_t{points[k]} + 1);
            if (n >= 3) {
                *at++ = '/';
                *at++ = '/';
                at = WriteIndex(at, normals.cornerNormal[geometry.cornerStart[q] + k]);
            }
        }
        *at++ = '\n';
        obj.append(line.data(), at);
    }
}

size_t DigitsOf(size_t value) {
    size_t digits = 1;
    for (; value >= 10; value /= 10)
        ++digits;
    return digits;
}

// The most the points, normals and faces take, so that the text is never
// moved as it grows. Pages never written take no memory.
size_t ObjTextMost(const WriterInput& in, const std::vector<std::string>& names,
                   const ObjNormals& normals) {
    const size_t triple = 3 + 3 * (GeneralTextMost(9) + 1);
    const size_t corner = 3 + DigitsOf(in.model.points.size()) + DigitsOf(normals.distinct.size());
    size_t most = triple * (in.model.points.size() + normals.distinct.size()) +
                  corner * in.model.corners.size() + 2 * in.model.polygons.size();
    size_t current = SIZE_MAX;
    for (const ReceivedPolygon& p : in.model.polygons) {
        const size_t slot = SurfaceSlot(p.surface);
        if (slot != current)
            most += 14 + names[slot].size(); // "usemtl NAME\n" and "s off\n"
        current = slot;
    }
    return most;
}

void PutMaterial(std::string& mtl, const ExportSurface& s, const std::string& name) {
    // MTL's colours are as shown (the block's bytes scaled), its other
    // values the material's.
    const DiffuseColour<double> colour = DiffuseColourOf<double>(s);
    const SurfaceMaterial m = MaterialOf(s);
    const double specular = m.specular;
    mtl += "newmtl " + name + "\n";
    if (s.block == nullptr)
        mtl += "# no attributes sent: default grey\n";
    mtl += "Ka 0 0 0\n";
    PutTriple(mtl, "Kd ", colour.red, colour.green, colour.blue);
    PutTriple(mtl, "Ks ", specular, specular, specular);
    mtl += "d ";
    PutNumber(mtl, m.colour[3]);
    mtl += specular > 0 ? "\nillum 2\n" : "\nillum 1\n";
    if (m.doubleSided)
        mtl += "# double sided\n";
    if (s.smooth) {
        mtl += "# smoothing angle ";
        PutNumber(mtl, s.smoothingAngle);
        mtl += " radians\n";
    }
    mtl += '\n';
}

} // namespace

std::string MaterialLibraryName(const std::string& objName) {
    const size_t dot = objName.rfind('.');
    // A leading dot, as in ".hidden", starts no extension.
    std::string name = objName.substr(0, dot == 0 ? std::string::npos : dot);
    for (char& c : name) {
        if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n')
            c = '_';
    }
    return name + ".mtl";
}

bool WriteObj(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    ShadingGeometry geometry;
    if (!ComputeShading(in.model, in.surfaces, geometry, error,
                        ShadingParts{true, true, in.workers}))
        return false;
    const std::vector<std::string> names = MaterialNames(in.names);
    const ObjNormals normals = NumberNormals(in.model, geometry);

    // The material library first, so that a complete OBJ never names a
    // missing one.
    const std::string mtlName = MaterialLibraryName(in.fileName);
    std::string mtl;
    for (size_t i = 0; i < in.surfaces.size(); ++i)
        PutMaterial(mtl, in.surfaces[i], names[i]);
    files.push_back({mtlName, std::move(mtl)});

    // OBJ readers take mtllib as UTF-8 and open it by its Unicode name; an
    // ANSI file name (Windows) is the same Unicode name, so it is decoded.
    const std::string mtllib =
        in.fileNameCodePage == 0 ? mtlName : NameAsUtf8(mtlName, in.fileNameCodePage);
    std::string obj = "# right-handed, counter-clockwise front faces\nmtllib " + mtllib + "\n";
    obj.reserve(obj.size() + ObjTextMost(in, names, normals));
    for (const ReceivedPoint& received : in.model.points) {
        const ReceivedPoint p = RightHanded(received);
        PutTriple(obj, "v ", p.x, p.y, p.z);
    }
    for (const Normal3& n : normals.distinct)
        PutTriple(obj, "vn ", n.x, n.y, n.z);
    PutFaces(obj, in, names, geometry, normals);
    files.push_back({in.fileName, std::move(obj)});
    return true;
}
