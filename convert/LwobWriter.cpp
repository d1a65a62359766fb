// The classic object layout: IFF FORM "LWOB" with PNTS, SRFS, POLS and one
// SURF per surface, every number big-endian, every chunk of even length.
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

} // namespace

bool WriteLwob(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    const ReceivedModel& model = in.model;
    const std::vector<ExportSurface>& surfaces = in.surfaces;
    if (model.points.size() > kLwobMaxPoints) {
        error = std::to_string(model.points.size()) + " points: the layout numbers at most " +
                std::to_string(kLwobMaxPoints);
        return false;
    }
    if (surfaces.size() > kLwobMaxSurfaces) {
        error = std::to_string(surfaces.size()) + " surfaces: the layout numbers at most " +
                std::to_string(kLwobMaxSurfaces);
        return false;
    }

    // Every length in 64 bits first, so that an object past the U4 lengths
    // is refused before anything is formed.
    const uint64_t pntsLength = uint64_t{model.points.size()} * 12;
    uint64_t srfsLength = 0;
    uint64_t surfLengths = 0; // SURF chunks with their headers
    for (size_t i = 0; i < surfaces.size(); ++i) {
        const uint64_t name = PaddedNameLength(in.names[i]);
        srfsLength += name;
        const uint64_t data =
            name + (surfaces[i].block != nullptr ? kSurfaceBlockSize : kColourOnlyLength);
        if (data > kLwobMaxLength) {
            error = "a surface name is too long for the layout";
            return false;
        }
        surfLengths += 8 + data;
    }
    uint64_t polsLength = 0;
    for (const ReceivedPolygon& p : model.polygons) {
        if (p.points.empty())
            continue;
        if (p.points.size() > kLwobMaxVertices) {
            error = "a polygon of " + std::to_string(p.points.size()) +
                    " vertices: the layout allows at most " + std::to_string(kLwobMaxVertices);
            return false;
        }
        polsLength += 2 + 2 * uint64_t{p.points.size()} + 2;
    }
    const uint64_t formLength =
        4 + (8 + pntsLength) + (8 + srfsLength) + (8 + polsLength) + surfLengths;
    if (srfsLength > kLwobMaxLength || polsLength > kLwobMaxLength || formLength > kLwobMaxLength) {
        error = "the object needs " + std::to_string(formLength + 8) +
                " bytes, past the layout's 32-bit lengths";
        return false;
    }

    files.push_back({in.fileName, {}});
    std::string& out = files.back().bytes;
    out.reserve(static_cast<size_t>(formLength + 8));
    PutId(out, "FORM");
    PutU4(out, formLength);
    PutId(out, "LWOB");

    PutId(out, "PNTS");
    PutU4(out, pntsLength);
    for (const ReceivedPoint& p : model.points) {
        PutF4(out, p.x);
        PutF4(out, p.y);
        PutF4(out, p.z);
    }

    PutId(out, "SRFS");
    PutU4(out, srfsLength);
    for (const std::string& name : in.names)
        PutPaddedName(out, name);

    PutId(out, "POLS");
    PutU4(out, polsLength);
    for (const ReceivedPolygon& p : model.polygons) {
        if (p.points.empty())
            continue;
        PutU2(out, static_cast<uint32_t>(p.points.size()));
        for (uint16_t index : p.points)
            PutU2(out, index);
        // Surfaces are numbered from 1 in SRFS order, which is value order.
        PutU2(out, static_cast<uint32_t>(SurfaceSlot(p.surface) + 1));
    }

    for (size_t i = 0; i < surfaces.size(); ++i) {
        const ExportSurface& s = surfaces[i];
        PutId(out, "SURF");
        PutU4(out, PaddedNameLength(in.names[i]) +
                       (s.block != nullptr ? kSurfaceBlockSize : kColourOnlyLength));
        PutPaddedName(out, in.names[i]);
        if (s.block != nullptr) {
            out.append(reinterpret_cast<const char*>(s.block->data()), s.block->size());
        } else {
            PutId(out, "COLR");
            PutU2(out, 4);
            out += static_cast<char>(kDefaultGrey);
            out += static_cast<char>(kDefaultGrey);
            out += static_cast<char>(kDefaultGrey);
            out += '\0';
        }
    }
    return true;
}
