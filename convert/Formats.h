// The output formats and what turns a received object into their bytes. One
// table (Formats.cpp) holds every format: its name, which is also the
// extension it is written with and known by ("lwo", "obj", "glb", "fbx"),
// whether it is one file, and its writer, or, where this build has none,
// how to get it. A new format is one entry there and one writer file.
//
// Everything here works in memory: the bytes of each file come back to the
// caller, who decides where they go.
#pragma once

#include "convert/Writers.h"
#include "render/Picture.h"
#include "standin/Received.h"

#include <string>
#include <vector>

// Gltf: the JSON form, its buffer inside as a data: URI (one file). Png: a
// picture of the object.
// Stl, Ply, ThreeMf: the formats printers take, Z up.
enum class ExportFormat { Lwob, Obj, Glb, Fbx, Gltf, Png, Stl, Ply, ThreeMf };

const char* FormatExtension(ExportFormat format);
// A format's name or extension, any case: exactly the names FormatNames
// lists, so that messages list what is accepted.
bool ParseExportFormat(const std::string& text, ExportFormat& out);
// Whether the format is a single file (it can go to standard output).
bool FormatIsOneFile(ExportFormat format);
// Whether a conversion to the format says if the object is a closed solid
// (geometry/ClosedSolid.h): the formats a slicer prints from, STL and 3MF.
bool FormatChecksSolid(ExportFormat format);
// The names for messages: "lwo, obj or glb" with `separator` ", " and
// `last` " or "; "lwo|obj|glb" with "|" and "|". `oneFileOnly`: only those
// that are one file.
std::string FormatNames(const char* separator, const char* last, bool oneFileOnly = false);

// Every output format in table order, whether this build has its writer
// (glTF needs nlohmann's JSON header, FBX the assimp library at build time) and, when it
// has not, how to get it.
struct OutputFormat {
    ExportFormat format;
    bool builtIn;
    const char* unavailable; // null when built in
};
std::vector<OutputFormat> OutputFormats();

// False with a one-line reason, for the user, when a point is not a finite
// number (a scale that takes it past the float range).
bool CheckFinitePoints(const ReceivedModel& model, std::string& error);

// Forms the files of `format` for `model`: the file `fileName` (no folder)
// and, for OBJ, before it its material library (MaterialLibraryName).
// Surface names go into formats read as UTF-8 by the rule for names
// (NameAsUtf8), decoded from `codePage` where they are not UTF-8 already;
// LWOB, the host's own format, keeps the bytes the host received.
//
// False with a one-line reason when this build has no writer for the
// format, when a point is not a finite number (a scale beyond the float
// range), or when the format cannot hold the object; `files` is then
// unspecified. Memory running out throws std::bad_alloc.
// `objectName` (bytes, decoded by `codePage` where not UTF-8) names the
// object where the format has a name for it (glb's node, FBX's model);
// empty: "object". `pictureSize`: png's pixels along each side
// (kPictureMinSize..kPictureMaxSize). `workers`: the threads the shading may
// spread over; the bytes are the same for any number.
bool FormFiles(const ReceivedModel& model, ExportFormat format, const std::string& fileName,
               unsigned codePage, std::vector<OutputFile>& files, std::string& error,
               const std::string& objectName = "", unsigned fileNameCodePage = 0,
               uint32_t pictureSize = kPictureDefaultSize, unsigned workers = 1);
