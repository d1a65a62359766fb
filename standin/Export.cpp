#include "standin/Export.h"

#include "platform/TextCodec.h"

#include <cstring>

namespace {

uint16_t U2At(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

} // namespace

namespace {

struct FormatEntry {
    ExportFormat format;
    const char* name; // on the command line, and the extension
    bool oneFile;
    const bool* available;   // null: always built in
    const char* unavailable; // what to do when it is not
};

// A new format is one line here.
const FormatEntry kFormats[] = {
    {ExportFormat::Lwob, "lwo", true, nullptr, nullptr},
    {ExportFormat::Obj, "obj", false, nullptr, nullptr}, // + the MTL beside it
    {ExportFormat::Glb, "glb", true, &kGlbAvailable, kGlbUnavailable},
    {ExportFormat::Fbx, "fbx", true, &kFbxAvailable, kFbxUnavailable},
};

const FormatEntry* EntryFor(ExportFormat format) {
    for (const FormatEntry& e : kFormats) {
        if (e.format == format)
            return &e;
    }
    return nullptr;
}

} // namespace

const char* FormatExtension(ExportFormat format) {
    const FormatEntry* e = EntryFor(format);
    return e != nullptr ? e->name : "";
}

bool FormatIsOneFile(ExportFormat format) {
    const FormatEntry* e = EntryFor(format);
    return e != nullptr && e->oneFile;
}

bool ParseExportFormat(const std::string& text, ExportFormat& out) {
    std::string s = text;
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    for (const FormatEntry& e : kFormats) {
        if (s == e.name) {
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

std::string OutputName(const ExportSurface& surface, ExportFormat format) {
    return format == ExportFormat::Lwob ? surface.name : NameAsUtf8(surface.name);
}

std::vector<OutputFormat> OutputFormats() {
    std::vector<OutputFormat> formats;
    for (const FormatEntry& e : kFormats) {
        const bool builtIn = e.available == nullptr || *e.available;
        formats.push_back({e.format, builtIn, builtIn ? nullptr : e.unavailable});
    }
    return formats;
}

std::vector<ExportSurface> ExportSurfaces(const ReceivedModel& model) {
    std::vector<const ReceivedSurface*> byValue;
    for (const ReceivedSurface& s : model.surfaces) {
        if (s.value <= 0)
            continue;
        const size_t slot = static_cast<size_t>(s.value) - 1;
        if (byValue.size() <= slot)
            byValue.resize(slot + 1, nullptr);
        byValue[slot] = &s;
    }
    std::vector<ExportSurface> surfaces(byValue.size());
    for (size_t i = 0; i < byValue.size(); ++i) {
        ExportSurface& out = surfaces[i];
        if (byValue[i] == nullptr)
            continue; // values are handed out without gaps; kept only for safety
        out.name = byValue[i]->name;
        // The host takes the last block sent for a name, as a later store
        // replaces an earlier one. Blocks the host refused never get here:
        // a refused load writes nothing.
        for (const std::vector<unsigned char>& b : byValue[i]->blocks) {
            if (IsSurfaceBlock(b.data(), b.size()))
                out.block = &b;
        }
        if (out.block == nullptr)
            continue;
        const std::vector<unsigned char>& b = *out.block;
        out.red = b[6];
        out.green = b[7];
        out.blue = b[8];
        const uint16_t flags = U2At(b, 16);
        out.smooth = (flags & 0x0004) != 0;
        out.doubleSided = (flags & 0x0100) != 0;
        const uint32_t angleBits = uint32_t{U2At(b, 24)} << 16 | U2At(b, 26);
        std::memcpy(&out.smoothingAngle, &angleBits, sizeof angleBits);
        out.diffuse = U2At(b, 34);
        out.transparency = U2At(b, 42);
        out.specular = U2At(b, 50);
        out.glossiness = U2At(b, 58);
    }
    return surfaces;
}

size_t DroppedPolygonCount(const ReceivedModel& model) {
    size_t n = 0;
    for (const ReceivedPolygon& p : model.polygons)
        n += p.points.empty() ? 1 : 0;
    return n;
}
