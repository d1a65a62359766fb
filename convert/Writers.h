// The writers, one file each. They share one signature, so the format table
// (Formats.cpp) carries them. Each forms its whole file or files in memory. The
// OBJ writer names its material library by MaterialLibraryName().
//
// Handedness. The host's space is left-handed, with clockwise front faces. OBJ
// and glTF are read as right-handed, with counter-clockwise front faces. FBX is
// read the same way as OBJ and glTF. Negating Z turns the host's left-handed
// coordinates into right-handed ones for the same physical object. X stays
// right and Y up, and Z into the screen becomes Z out of it. A mirror reverses
// the turning sense of every loop. So each loop is reversed as well, which
// keeps the front of every face on the side the host showed. The printing
// formats (STL, PLY, 3MF) take that space turned to Z up, as slicers do. The
// LWOB file is in the host's own space and stays as received.
#pragma once

#include "geometry/Surfaces.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A file a conversion forms: its name and its whole contents.
struct OutputFile {
    std::string name;
    std::string bytes;
};

// The material library of the OBJ file `objName`, a file name without folder.
// It is named after that file, with ".mtl". Whitespace is replaced by '_'.
// mtllib separates its names by whitespace, so a reader would look for the
// first word alone.
std::string MaterialLibraryName(const std::string& objName);

// What a writer gets. Its points are finite numbers (FormFiles checks).
struct WriterInput {
    const ReceivedModel& model;
    const std::vector<ExportSurface>& surfaces; // ExportSurfaces(model)
    const std::vector<std::string>& names;      // each surface's name as this format writes it
    const std::string& fileName;                // the output's name, without folder
    const std::string& objectName;              // UTF-8, what a reader lists the object as
    // The code page file names are spelled in. It is needed where a reader
    // takes the names inside a file as UTF-8 but the system stores them in that
    // code page, as with Windows' ANSI names. 0 means file names are bytes,
    // written as they are.
    unsigned fileNameCodePage;
    uint32_t pictureSize; // png: pixels along each side
    unsigned workers;     // threads the shading may spread over (geometry/Spread.h)
};

// Appends the file or files to `files`. Returns false with a one-line reason
// when the format cannot hold the object.
using WriterFn = bool (*)(const WriterInput& in, std::vector<OutputFile>& files,
                          std::string& error);

bool WriteLwob(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
bool WriteObj(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
bool WriteGlb(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
// The same glTF as JSON text. Its buffer is embedded as a base64 data: URI, so
// the one file is the whole object.
bool WriteGltf(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
bool WriteFbx(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
// A picture of the object, in.pictureSize pixels square (render/Picture.h).
bool WritePng(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
// The printing formats, Z up (Shading.h, ZUp). Binary STL: the triangles.
// Binary PLY: every point, the faces as polygons with their surfaces'
// colours, the lines as edges. 3MF: the triangles in millimetres, a base
// material per surface.
bool WriteStl(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
bool WritePly(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);
bool WriteThreeMf(const WriterInput& in, std::vector<OutputFile>& files, std::string& error);

// Limits of the LWOB layout.
constexpr size_t kLwobMaxPoints = 65536;        // U2 point indices
constexpr size_t kLwobMaxVertices = 65535;      // U2 numvert
constexpr size_t kLwobMaxSurfaces = 32767;      // I2 surface numbers, positive
constexpr uint64_t kLwobMaxLength = 0xFFFFFFFF; // U4 chunk and FORM lengths
