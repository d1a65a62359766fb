// Binary little-endian PLY: every point, the faces as polygons (n-gons kept),
// each with its surface's colour, and the lines as edges. Z up and
// counter-clockwise fronts, as the other printing formats (Shading.h, ZUp):
// each loop is reversed from its first corner. A point of a one-point polygon
// is a vertex already, so nothing else stands for it.
//
// The colour is the surface's, as the plug-in made it by the chosen colour
// set: the block's red, green and blue bytes, as face properties "red",
// "green" and "blue", which mesh tools read by those names. A face's corner
// count is a byte, the usual form, unless a face has more than 255 corners.
#include "convert/Writers.h"
#include "geometry/Shading.h"

#include <cstring>

namespace {

void PutU32(std::string& out, uint32_t v) {
    const char bytes[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                           static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    out.append(bytes, 4);
}

void PutFloat(std::string& out, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU32(out, bits);
}

struct PlyCounts {
    size_t faces = 0, lines = 0, faceCorners = 0;
    bool wideCounts = false; // a face of more than 255 corners
};

PlyCounts CountElements(const ReceivedModel& model) {
    PlyCounts c;
    for (const ReceivedPolygon& p : model.polygons) {
        if (p.cornerCount >= 3) {
            ++c.faces;
            c.faceCorners += p.cornerCount;
            c.wideCounts = c.wideCounts || p.cornerCount > 255;
        } else if (p.cornerCount == 2) {
            ++c.lines;
        }
    }
    return c;
}

std::string Header(const ReceivedModel& model, const PlyCounts& c) {
    std::string h = "ply\nformat binary_little_endian 1.0\n"
                    "comment ostrel: Z up, counter-clockwise fronts; colours by surface\n";
    h += "element vertex " + std::to_string(model.points.size()) + "\n";
    h += "property float x\nproperty float y\nproperty float z\n";
    h += "element face " + std::to_string(c.faces) + "\n";
    h += c.wideCounts ? "property list uint int vertex_indices\n"
                      : "property list uchar int vertex_indices\n";
    h += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
    if (c.lines != 0) {
        h += "element edge " + std::to_string(c.lines) + "\n";
        h += "property int vertex1\nproperty int vertex2\n";
    }
    return h + "end_header\n";
}

} // namespace

bool WritePly(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    const ReceivedModel& model = in.model;
    if (model.points.size() > INT32_MAX) {
        error = std::to_string(model.points.size()) +
                " points: a PLY file's corners name at most 2147483647";
        return false;
    }
    const PlyCounts counts = CountElements(model);
    std::string bytes = Header(model, counts);
    bytes.reserve(bytes.size() + 12 * model.points.size() +
                  (counts.wideCounts ? 7 : 4) * counts.faces + 4 * counts.faceCorners +
                  8 * counts.lines);
    for (const ReceivedPoint& received : model.points) {
        const ReceivedPoint p = ZUp(received);
        PutFloat(bytes, p.x);
        PutFloat(bytes, p.y);
        PutFloat(bytes, p.z);
    }
    // A polygon's surface was looked up: the host refuses any other.
    const ExportSurface grey;
    for (const ReceivedPolygon& polygon : model.polygons) {
        const size_t n = polygon.cornerCount;
        if (n < 3)
            continue;
        if (counts.wideCounts)
            PutU32(bytes, static_cast<uint32_t>(n));
        else
            bytes += static_cast<char>(n);
        const uint32_t* points = model.corners.data() + polygon.firstCorner;
        for (size_t i = 0; i < n; ++i)
            PutU32(bytes, points[ReversedCorner(i, n)]);
        const size_t slot = SurfaceSlot(polygon.surface);
        const ExportSurface& s = slot < in.surfaces.size() ? in.surfaces[slot] : grey;
        bytes += static_cast<char>(s.red);
        bytes += static_cast<char>(s.green);
        bytes += static_cast<char>(s.blue);
    }
    for (const ReceivedPolygon& polygon : model.polygons) {
        if (polygon.cornerCount != 2)
            continue;
        PutU32(bytes, model.corners[polygon.firstCorner]);
        PutU32(bytes, model.corners[polygon.firstCorner + 1]);
    }
    files.push_back({in.fileName, std::move(bytes)});
    return true;
}
