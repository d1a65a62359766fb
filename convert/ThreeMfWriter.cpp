// 3MF: one object of the faces' triangles, Z up (Shading.h, ZUp), in
// millimetres, with one base material per surface in its colour and name.
// The triangles are the glb's, cut once in ShadingGeometry, each reversed as
// the glb's are. A triangle takes its surface's material; the object's own is
// the first surface's, so triangles of that one need not say it.
//
// Written here rather than through a 3MF library: the Windows builds and the
// web page have no system libraries, and the package is three short parts.
// The container is ZipArchive's.
//
// What 3MF cannot hold. It has no lines or points: only the vertices the
// triangles use are written, and the closed-solid line names what is left
// out. A triangle must name three points, so one that names a point twice is
// left out. Such a triangle encloses nothing, and it comes only from a face
// that runs through a point twice, which the import's warnings name.
#include "convert/ZipArchive.h"
#include "geometry/Shading.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

constexpr const char* kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"model\" "
    "ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/></Types>\n";

constexpr const char* kRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>\n";

constexpr uint32_t kMaterials = 1, kObject = 2; // the resources' ids

// UTF-8 text as an attribute's value. Controls XML cannot carry become U+FFFD;
// tab and line ends are kept as references, which the value keeps.
void PutAttributeText(std::string& out, const std::string& text) {
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\t' || c == '\n' || c == '\r')
            out += "&#" + std::to_string(b) + ";";
        else if (b < 0x20)
            out += "\xEF\xBF\xBD";
        else
            out += c;
    }
}

// "#RRGGBB": the surface's colour bytes, as the plug-in made them by the
// chosen colour set; "#RRGGBBAA" where the surface lets light through.
std::string DisplayColour(const ExportSurface& s) {
    const double alpha = MaterialOf(s).colour[3];
    char text[16];
    if (alpha < 1.0)
        std::snprintf(text, sizeof text, "#%02X%02X%02X%02X", s.red, s.green, s.blue,
                      static_cast<unsigned>(alpha * 255.0 + 0.5));
    else
        std::snprintf(text, sizeof text, "#%02X%02X%02X", s.red, s.green, s.blue);
    return text;
}

void PutMaterials(std::string& out, const WriterInput& in) {
    out += "<basematerials id=\"" + std::to_string(kMaterials) + "\">\n";
    for (size_t s = 0; s < in.surfaces.size(); ++s) {
        out += "<base name=\"";
        PutAttributeText(out, in.names[s].empty() ? "surface" : in.names[s]);
        out += "\" displaycolor=\"" + DisplayColour(in.surfaces[s]) + "\"/>\n";
    }
    out += "</basematerials>\n";
}

// The longest vertex and triangle lines, their "/>\n" included.
constexpr size_t kVertexMost = 34 + 3 * GeneralTextMost(9);
constexpr size_t kTriangleMost = 80;

char* PutIndex(char* at, size_t value) {
    return std::to_chars(at, at + 20, value).ptr;
}

// Each point the triangles use, numbered in point order.
std::vector<uint32_t> PutVertices(std::string& out, const ReceivedModel& model,
                                  const ShadingGeometry& geometry) {
    constexpr uint32_t kUnused = UINT32_MAX;
    std::vector<uint32_t> vertex(model.points.size(), kUnused);
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        if (geometry.triangleStart[p] == geometry.triangleStart[p + 1])
            continue;
        for (const uint32_t v : PointsOf(model, model.polygons[p]))
            vertex[v] = 0;
    }
    uint32_t next = 0;
    char line[32 + 3 * kGeneralTextMax];
    for (size_t v = 0; v < vertex.size(); ++v) {
        if (vertex[v] == kUnused)
            continue;
        vertex[v] = next++;
        const ReceivedPoint q = ZUp(model.points[v]);
        char* at = line;
        const auto put = [&at](const char* text, float value) {
            for (; *text != '\0'; ++text)
                *at++ = *text;
            at = WriteGeneral(at, value, 9);
            *at++ = '"';
        };
        put("<vertex x=\"", q.x);
        put(" y=\"", q.y);
        put(" z=\"", q.z);
        out.append(line, at);
        out += "/>\n";
    }
    return vertex;
}

void PutTriangles(std::string& out, const ReceivedModel& model, const ShadingGeometry& geometry,
                  const std::vector<uint32_t>& vertex) {
    char line[96];
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        const ReceivedPolygon& polygon = model.polygons[p];
        const uint32_t* points = model.corners.data() + polygon.firstCorner;
        const size_t base = geometry.cornerStart[p];
        const size_t slot = SurfaceSlot(polygon.surface);
        for (size_t t = geometry.triangleStart[p]; t < geometry.triangleStart[p + 1]; t += 3) {
            // Each triangle reversed: a, c, b.
            const uint32_t a = vertex[points[geometry.triangles[t] - base]];
            const uint32_t b = vertex[points[geometry.triangles[t + 2] - base]];
            const uint32_t c = vertex[points[geometry.triangles[t + 1] - base]];
            if (a == b || b == c || a == c)
                continue;
            char* at = line;
            for (const char* text = "<triangle v1=\""; *text != '\0'; ++text)
                *at++ = *text;
            at = PutIndex(at, a);
            at = std::copy_n("\" v2=\"", 6, at);
            at = PutIndex(at, b);
            at = std::copy_n("\" v3=\"", 6, at);
            at = PutIndex(at, c);
            *at++ = '"';
            if (slot != 0) {
                at = std::copy_n(" pid=\"1\" p1=\"", 13, at);
                at = PutIndex(at, slot);
                *at++ = '"';
            }
            out.append(line, at);
            out += "/>\n";
        }
    }
}

std::string ModelPart(const WriterInput& in, const ShadingGeometry& geometry) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<model unit=\"millimeter\" xml:lang=\"en-US\" "
                      "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
                      "<metadata name=\"Application\">ostrel</metadata>\n<resources>\n";
    // The most a vertex and a triangle take, so that the text is never moved
    // as it grows. Pages never written take no memory.
    out.reserve(kVertexMost * in.model.points.size() +
                kTriangleMost * geometry.triangles.size() / 3 + 4096 + 64 * in.surfaces.size());
    if (!in.surfaces.empty())
        PutMaterials(out, in);
    // An object needs triangles: without any, the build is empty.
    if (geometry.triangles.empty())
        return out + "</resources>\n<build/>\n</model>\n";
    out += "<object id=\"" + std::to_string(kObject) + "\" type=\"model\" name=\"";
    PutAttributeText(out, in.objectName);
    out += "\" pid=\"" + std::to_string(kMaterials) + "\" pindex=\"0\">\n<mesh>\n<vertices>\n";
    const std::vector<uint32_t> vertex = PutVertices(out, in.model, geometry);
    out += "</vertices>\n<triangles>\n";
    PutTriangles(out, in.model, geometry, vertex);
    out += "</triangles>\n</mesh>\n</object>\n</resources>\n";
    out += "<build>\n<item objectid=\"" + std::to_string(kObject) + "\"/>\n</build>\n</model>\n";
    return out;
}

} // namespace

bool WriteThreeMf(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    std::vector<OutputFile> package;
    package.push_back({"[Content_Types].xml", kContentTypes});
    package.push_back({"_rels/.rels", kRelationships});
    {
        // The triangles go before the archive is formed.
        ShadingGeometry geometry;
        ShadingParts parts;
        parts.vertices = false;
        parts.workers = in.workers;
        if (!ComputeShading(in.model, in.surfaces, geometry, error, parts))
            return false;
        package.push_back({"3D/3dmodel.model", ModelPart(in, geometry)});
    }
    std::string zip;
    if (!FormZip(package, zip, error))
        return false;
    files.push_back({in.fileName, std::move(zip)});
    return true;
}
