// Writing what one load received as an object file: the classic object
// layout (LWOB), Wavefront OBJ + MTL, binary glTF, binary FBX. Each writer forms the
// whole file in memory; standin/OutputFile.h puts it on disk.
//
// Handedness. The host's space is left-handed with clockwise front faces;
// OBJ and glTF are read as right-handed with counter-clockwise front faces.
// Negating Z turns the host's left-handed coordinates into right-handed ones
// for the same physical object (X right, Y up; Z into the screen becomes Z
// out of it), and a mirror reverses the turning sense of every loop, so
// reversing each loop as well keeps the front of every face on the side the
// host showed. FBX is read the same way as OBJ and glTF. The LWOB file is in
// the host's own space and stays as received.
#pragma once

#include "standin/Received.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ExportFormat { Lwob, Obj, Glb, Fbx };

// The formats' names on the command line, which are also the extensions
// they are written with and known by ("lwo", "obj", "glb", "fbx"), come from one
// table in Export.cpp.
const char* FormatExtension(ExportFormat format);
// A format's name or extension, any case: exactly the names FormatNames
// lists, so that messages list what is accepted.
bool ParseExportFormat(const std::string& text, ExportFormat& out);
// Whether the format is a single file (it can go to standard output).
bool FormatIsOneFile(ExportFormat format);
// The names for messages: "lwo, obj or glb" with `separator` ", " and
// `last` " or "; "lwo|obj|glb" with "|" and "|". `oneFileOnly`: only those
// that are one file.
std::string FormatNames(const char* separator, const char* last, bool oneFileOnly = false);

// Every output format in the order `ostrel --version` names them (the same
// table), whether this build has its writer (glTF needs tinygltf, FBX the
// assimp library at build time) and, when it has not, how to get it.
struct OutputFormat {
    ExportFormat format;
    bool builtIn;
    const char* unavailable; // the reason the stand-in writer gives; null when built in
};
std::vector<OutputFormat> OutputFormats();

// Whether this build writes glTF (GlbWriter.cpp, or GlbUnavailable.cpp
// without tinygltf), and what to do when it does not (the reason WriteGlb
// gives then).
extern const bool kGlbAvailable;
constexpr const char* kGlbUnavailable =
    "this ostrel was built without glTF output, which needs tinygltf (Debian: apt-get install "
    "libtinygltf-dev nlohmann-json3-dev; then rebuild)";

// Whether this build writes FBX, and what to do when it does not (the reason
// WriteFbx gives then).
extern const bool kFbxAvailable;
constexpr const char* kFbxUnavailable =
    "this ostrel was built without FBX output, which needs the assimp library when ostrel is "
    "built (Debian: apt-get install libassimp-dev, then rebuild); the Linux package has it";

// A surface without an attribute block gets this colour: a neutral mid-light
// grey, also the host's usual default.
constexpr uint8_t kDefaultGrey = 200;

// The surface attributes a writer needs, from the block the plug-in sent.
struct ExportSurface {
    std::string name;
    const std::vector<unsigned char>* block = nullptr; // the last one received; null: none
    uint8_t red = kDefaultGrey, green = kDefaultGrey, blue = kDefaultGrey;
    bool smooth = false;
    bool doubleSided = false;
    float smoothingAngle = 0;  // radians
    uint16_t diffuse = 256;    // 256 = 100 %
    uint16_t transparency = 0; // 256 = 100 %
    uint16_t specular = 0;     // 256 = 100 %
    uint16_t glossiness = 0;   // 256 = 100 %
};

// A surface's name as `format` writes it. LWOB is the host's own format,
// read in the host's code page, so it keeps the bytes the host received.
// Every other format is read as UTF-8 and gets NameAsUtf8() (see
// platform/TextCodec.h): UTF-8 kept, otherwise decoded from the system's code
// page, with "\xHH" for a byte that decodes in neither.
std::string OutputName(const ExportSurface& surface, ExportFormat format);

// The surfaces looked up, in the order of their values (1, 2, 3, ...), so
// that a polygon's surface value v names entry v - 1. Blocks for names never
// looked up are left out: no polygon can use them.
std::vector<ExportSurface> ExportSurfaces(const ReceivedModel& model);

// Index into ExportSurfaces() of a polygon's surface value.
inline size_t SurfaceSlot(int32_t surface) {
    return static_cast<size_t>(
        static_cast<uint16_t>(surface) == 0 ? 65535u : static_cast<uint16_t>(surface) - 1u);
}

// Polygons with no vertex, which no writer keeps.
size_t DroppedPolygonCount(const ReceivedModel& model);

// The writers. Each returns false with a one-line reason when the format
// cannot hold the object; `out` is then unspecified.
bool WriteLwob(const ReceivedModel& model, std::string& out, std::string& error);
// `mtlName`: the MTL file's name as the OBJ refers to it (beside the OBJ).
bool WriteObj(const ReceivedModel& model, const std::string& mtlName, std::string& obj,
              std::string& mtl, std::string& error);
bool WriteGlb(const ReceivedModel& model, std::string& out, std::string& error);
bool WriteFbx(const ReceivedModel& model, std::string& out, std::string& error);

// Limits of the LWOB layout.
constexpr size_t kLwobMaxPoints = 65536;        // U2 point indices
constexpr size_t kLwobMaxVertices = 65535;      // U2 numvert
constexpr size_t kLwobMaxSurfaces = 32767;      // I2 surface numbers, positive
constexpr uint64_t kLwobMaxLength = 0xFFFFFFFF; // U4 chunk and FORM lengths
