// The classic object layout: an IFF FORM "LWOB" with PNTS, SRFS, POLS and one
// SURF per surface. Every number is big-endian, and every chunk is of even
// length.
#include "convert/Writers.h"

#include <cstring>

namespace {

void PutU2(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 8 & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void PutU4(std::string& out, uint64_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(v >> shift & 0xFF);
}

void PutF4(std::string& out, float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    PutU4(out, bits);
}

void PutId(std::string& out, const char* id) {
    out.append(id, 4);
}

// A name with its NUL, plus one more NUL when that is odd.
uint64_t PaddedNameLength(const std::string& name) {
    const uint64_t n = uint64_t{name.size()} + 1;
    return n + (n & 1);
}

void PutPaddedName(std::string& out, const std::string& name) {
    out += name;
    out += '\0';
    if ((name.size() + 1) % 2 != 0)
        out += '\0';
}

// COLR with the default grey, for a surface the plug-in sent no block for.
constexpr uint64_t kColourOnlyLength = 6 + 4;

// The chunks' lengths, each in 64 bits, so that an object past the U4
// lengths is refused before anything is formed.
struct LwobLengths {
    uint64_t pnts = 0, srfs = 0, pols = 0;
    uint64_t surfs = 0; // the SURF chunks with their headers
    uint64_t form = 0;
};

uint64_t SurfDataLength(const ExportSurface& surface, const std::string& name) {
    return PaddedNameLength(name) +
           (surface.block != nullptr ? kReceivedBlockSize : kColourOnlyLength);
}

// The lengths, or false with the reason the layout cannot hold the object.
bool MeasureLwob(const WriterInput& in, LwobLengths& length, std::string& error) {
    const ReceivedModel& model = in.model;
    if (model.points.size() > kLwobMaxPoints) {
        error = std::to_string(model.points.size()) +
                " points, and LWOB names points by 2-byte numbers, at most " +
                std::to_string(kLwobMaxPoints) +
                ": write it as glb, gltf, obj or fbx, which hold every point";
        return false;
    }
    if (in.surfaces.size() > kLwobMaxSurfaces) {
        error = std::to_string(in.surfaces.size()) + " surfaces: the layout numbers at most " +
                std::to_string(kLwobMaxSurfaces);
        return false;
    }
    length.pnts = uint64_t{model.points.size()} * 12;
    for (size_t i = 0; i < in.surfaces.size(); ++i) {
        length.srfs += PaddedNameLength(in.names[i]);
        const uint64_t data = SurfDataLength(in.surfaces[i], in.names[i]);
        if (data > kLwobMaxLength) {
            error = "a surface name is too long for the layout";
            return false;
        }
        length.surfs += 8 + data;
    }
    for (const ReceivedPolygon& p : model.polygons) {
        if (p.cornerCount == 0)
            continue;
        if (p.cornerCount > kLwobMaxVertices) {
            error = "a polygon of " + std::to_string(p.cornerCount) +
                    " vertices: the layout allows at most " + std::to_string(kLwobMaxVertices);
            return false;
        }
        length.pols += 2 + 2 * uint64_t{p.cornerCount} + 2;
    }
    length.form = 4 + (8 + length.pnts) + (8 + length.srfs) + (8 + length.pols) + length.surfs;
    if (length.srfs > kLwobMaxLength || length.pols > kLwobMaxLength ||
        length.form > kLwobMaxLength) {
        error = "the object needs " + std::to_string(length.form + 8) +
                " bytes, past the layout's 32-bit lengths";
        return false;
    }
    return true;
}

void PutPolygons(std::string& out, const ReceivedModel& model) {
    for (const ReceivedPolygon& p : model.polygons) {
        if (p.cornerCount == 0)
            continue;
        PutU2(out, p.cornerCount);
        for (uint32_t index : PointsOf(model, p))
            PutU2(out, index);
        // Surfaces are numbered from 1 in SRFS order, which is value order.
        PutU2(out, static_cast<uint32_t>(SurfaceSlot(p.surface) + 1));
    }
}

void PutSurf(std::string& out, const ExportSurface& s, const std::string& name) {
    PutId(out, "SURF");
    PutU4(out, SurfDataLength(s, name));
    PutPaddedName(out, name);
    if (s.block != nullptr) {
        out.append(reinterpret_cast<const char*>(s.block->data()), s.block->size());
        return;
    }
    PutId(out, "COLR");
    PutU2(out, 4);
    out += static_cast<char>(kDefaultGrey);
    out += static_cast<char>(kDefaultGrey);
    out += static_cast<char>(kDefaultGrey);
    out += '\0';
}

} // namespace

bool WriteLwob(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    LwobLengths length;
    if (!MeasureLwob(in, length, error))
        return false;
    std::string out;
    out.reserve(static_cast<size_t>(length.form + 8));
    PutId(out, "FORM");
    PutU4(out, length.form);
    PutId(out, "LWOB");

    PutId(out, "PNTS");
    PutU4(out, length.pnts);
    for (const ReceivedPoint& p : in.model.points) {
        PutF4(out, p.x);
        PutF4(out, p.y);
        PutF4(out, p.z);
    }
    PutId(out, "SRFS");
    PutU4(out, length.srfs);
    for (const std::string& name : in.names)
        PutPaddedName(out, name);
    PutId(out, "POLS");
    PutU4(out, length.pols);
    PutPolygons(out, in.model);
    for (size_t i = 0; i < in.surfaces.size(); ++i)
        PutSurf(out, in.surfaces[i], in.names[i]);
    files.push_back({in.fileName, std::move(out)});
    return true;
}
