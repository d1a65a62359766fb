#include "convert/Formats.h"

#include "convert/Writers.h"
#include "platform/TextCodec.h"

#include <cmath>
#include <cstdio>

namespace {

struct FormatEntry {
    ExportFormat format;
    const char* name; // on the command line, and the extension
    bool oneFile;
    bool utf8Names;          // surface names by the rule for names; else the host's bytes
    bool checksSolid;        // says whether the object is a closed solid
    WriterFn write;          // null: not built in
    const char* unavailable; // then: what to do to get it
};

// glTF and FBX need libraries at build time; the build says which it found.
const FormatEntry kFormats[] = {
    {ExportFormat::Lwob, "lwo", true, false, false, &WriteLwob, nullptr},
    {ExportFormat::Obj, "obj", false, true, false, &WriteObj, nullptr}, // + the MTL beside it
#ifdef OSTREL_HAVE_GLB
    {ExportFormat::Glb, "glb", true, true, false, &WriteGlb, nullptr},
    {ExportFormat::Gltf, "gltf", true, true, false, &WriteGltf, nullptr}, // its buffer inside
#else
    {ExportFormat::Glb, "glb", true, true, false, nullptr,
     "this ostrel was built without glTF output, which needs nlohmann's JSON header (Debian: "
     "apt-get install nlohmann-json3-dev; then rebuild)"},
    {ExportFormat::Gltf, "gltf", true, true, false, nullptr,
     "this ostrel was built without glTF output, which needs nlohmann's JSON header (Debian: "
     "apt-get install nlohmann-json3-dev; then rebuild)"},
#endif
#ifdef OSTREL_HAVE_FBX
    {ExportFormat::Fbx, "fbx", true, true, false, &WriteFbx, nullptr},
#elif defined(__EMSCRIPTEN__)
    {ExportFormat::Fbx, "fbx", true, true, false, nullptr,
     "the web page cannot write FBX (its library is not built for the browser): use ostrel from "
     "the Linux package or the Windows ZIP"},
#elif defined(_WIN32)
    // A Windows user builds nothing: say what to use instead.
    {ExportFormat::Fbx, "fbx", true, true, false, nullptr,
     "this Windows build writes no FBX; write glb instead (-o NAME.glb), which Blender and most "
     "other programs that read FBX read as well"},
#else
    {ExportFormat::Fbx, "fbx", true, true, false, nullptr,
     "this ostrel was built without FBX output, which needs the assimp library when ostrel is "
     "built (Debian: apt-get install libassimp-dev, then rebuild); the Linux package has it"},
#endif
    {ExportFormat::Png, "png", true, true, false, &WritePng, nullptr}, // a picture of the object
    {ExportFormat::Stl, "stl", true, true, true, &WriteStl, nullptr},
    {ExportFormat::Ply, "ply", true, true, false, &WritePly, nullptr},
    {ExportFormat::ThreeMf, "3mf", true, true, true, &WriteThreeMf, nullptr},
};

const FormatEntry& EntryFor(ExportFormat format) {
    for (const FormatEntry& e : kFormats) {
        if (e.format == format)
            return e;
    }
    return kFormats[0]; // every enumerator has its entry
}

// The first point with a coordinate that is not a finite number (a scale
// that takes a coordinate past the float range), or model.points.size().
size_t FirstNonFinitePoint(const ReceivedModel& model) {
    for (size_t i = 0; i < model.points.size(); ++i) {
        const ReceivedPoint& p = model.points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return i;
    }
    return model.points.size();
}

std::string NonFiniteReason(const ReceivedModel& model, size_t point) {
    const ReceivedPoint& p = model.points[point];
    char text[160];
    std::snprintf(text, sizeof text, "point %zu is at (%.9g, %.9g, %.9g)", point,
                  static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z));
    return std::string(text) + ", beyond the range of a float: convert with a smaller scale";
}

} // namespace

const char* FormatExtension(ExportFormat format) {
    return EntryFor(format).name;
}

bool FormatIsOneFile(ExportFormat format) {
    return EntryFor(format).oneFile;
}

bool FormatChecksSolid(ExportFormat format) {
    return EntryFor(format).checksSolid;
}

bool ParseExportFormat(const std::string& text, ExportFormat& out) {
    const std::string name = AsciiLowercase(text);
    for (const FormatEntry& e : kFormats) {
        if (name == e.name) {
            out = e.format;
            return true;
        }
    }
    return false;
}

std::string FormatNames(const char* separator, const char* last, bool oneFileOnly) {
    std::vector<const char*> names;
    for (const FormatEntry& e : kFormats) {
        if (e.oneFile || !oneFileOnly)
            names.push_back(e.name);
    }
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i != 0)
            text += i + 1 == names.size() ? last : separator;
        text += names[i];
    }
    return text;
}

std::vector<OutputFormat> OutputFormats() {
    std::vector<OutputFormat> formats;
    for (const FormatEntry& e : kFormats)
        formats.push_back({e.format, e.write != nullptr, e.unavailable});
    return formats;
}

bool CheckFinitePoints(const ReceivedModel& model, std::string& error) {
    const size_t bad = FirstNonFinitePoint(model);
    if (bad == model.points.size())
        return true;
    error = NonFiniteReason(model, bad);
    return false;
}

bool FormFiles(const ReceivedModel& model, ExportFormat format, const std::string& fileName,
               unsigned codePage, std::vector<OutputFile>& files, std::string& error,
               const std::string& objectName, unsigned fileNameCodePage, uint32_t pictureSize,
               unsigned workers) {
    const FormatEntry& entry = EntryFor(format);
    if (entry.write == nullptr) {
        error = entry.unavailable;
        return false;
    }
    if (!CheckFinitePoints(model, error))
        return false;
    const std::vector<ExportSurface> surfaces = ExportSurfaces(model);
    std::vector<std::string> names;
    names.reserve(surfaces.size());
    for (const ExportSurface& s : surfaces)
        names.push_back(entry.utf8Names ? NameAsUtf8(s.name, codePage) : s.name);
    files.clear();
    const std::string object = objectName.empty() ? "object" : NameAsUtf8(objectName, codePage);
    return entry.write(WriterInput{model, surfaces, names, fileName, object, fileNameCodePage,
                                   pictureSize, workers},
                       files, error);
}
