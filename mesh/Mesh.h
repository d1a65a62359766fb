// Face grouping, geometry output and the surface attribute block.
//
// Everything here trusts the invariants ReadModelFile establishes (see
// model/Model.h) and asserts them where it relies on them. This layer knows
// nothing of the host: geometry goes to an ObjectSink, a plain record of
// function pointers that plugin/ points at the host's import callbacks.
#pragma once

#include "model/Model.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

// -------------------------------------------------------------- grouping ---

// Partitions the faces into connected sets across lines listed by two or
// more face-section faces. Fills faceOrder (groups one after another, each in
// depth-first pre-order visit order; lines listed by exactly two faces are
// followed before lines listed by more), groups with their centroid sums, and
// every face's group. Runs without recursion and, for hostile sharing (one
// line listed by many faces), in time linear in the total of all reference
// lists: a line's list is never rescanned over entries already placed.
void GroupFaces(ModelTables& tables);

// ---------------------------------------------------------------- output ---

// Where the object goes. Calls come in this order: startObject;
// declarePointCount; addPoint per point; lookupSurface per colour index in
// use, increasing; addPolygon per sent face, in faceOrder; storeSurfaceData
// per used colour index that has a palette entry, increasing. Every pointer
// handed over is valid only during the call.
struct ObjectSink {
    void* context;
    void (*startObject)(void* context);
    void (*declarePointCount)(void* context, int32_t count);
    void (*addPoint)(void* context, const float* xyz);
    int32_t (*lookupSurface)(void* context, const char* name);
    // `surface`: the low 16 bits of the lookupSurface value, sign-extended.
    // Exactly one of the two is set. The host's names points in 16 bits, so
    // a face reaching a point past kMaxSendablePoint is not sent (and marks
    // no colour in use); the converter's in 32 bits, so every face is sent.
    void (*addPolygon)(void* context, int32_t vertexCount, int32_t surface, const uint16_t* points);
    void (*addWidePolygon)(void* context, int32_t vertexCount, int32_t surface,
                           const uint32_t* points);
    void (*storeSurfaceData)(void* context, const char* name, int32_t byteCount,
                             const unsigned char* block);
};

struct BuildOptions {
    int32_t loadTarget; // 0 lines only, 1 faces only, 2 both (others: both)
    const char* surfaceBaseName;
    int32_t smooth;
    double smoothingAngle; // degrees
    int32_t colourSet;     // 0 bright, 1 middle, 2 dark
    double scale;
    int32_t doubleSided;
};

using ColourFlags = std::array<bool, kColourCount>;

// The surface name of a colour index: the base name, never cut, directly
// followed by the index in decimal.
std::string SurfaceName(const char* baseName, int32_t colourIndex);

// Sends the object with the sink's addPolygon (PointNumber uint16_t) or
// addWidePolygon (uint32_t), whichever is set. All working memory is
// allocated before the first sink call, so std::bad_alloc (the only failure)
// leaves nothing sent. Writes the lines' direction marks; runs at most once
// per set of tables.
//
// Each width is made in an object file of its own (BuildObject.cpp,
// BuildWide.cpp): a caller that knows its width when it is compiled, as the
// module does, names it here and links only that one.
template <typename PointNumber>
void BuildObjectWith(ModelTables& tables, const BuildOptions& options, const ObjectSink& sink);
template <>
void BuildObjectWith<uint16_t>(ModelTables& tables, const BuildOptions& options,
                               const ObjectSink& sink);
template <>
void BuildObjectWith<uint32_t>(ModelTables& tables, const BuildOptions& options,
                               const ObjectSink& sink);
// The same for a sink of either width, which links both.
inline void BuildObject(ModelTables& tables, const BuildOptions& options, const ObjectSink& sink) {
    assert((sink.addPolygon != nullptr) != (sink.addWidePolygon != nullptr));
    if (sink.addWidePolygon != nullptr) {
        BuildObjectWith<uint32_t>(tables, options, sink);
    } else {
        BuildObjectWith<uint16_t>(tables, options, sink);
    }
}

// Point numbers as the sink takes them: uint16_t (the host's) or uint32_t.
//
// Chains the lines of one face (lineCount >= 2) into `vertexList` (0-based
// point numbers, lineCount entries), writing the direction marks of lines
// listed by exactly two faces. Returns true when no marked line set the sense,
// so the face needs OrientFace. The next line is the first entry of the face's
// list, other than the current one, that has the far end point; for long
// lists `scratch` indexes the first two such entries per point, so a face of
// n lines chains in O(n).
struct ChainScratch {
    std::vector<int32_t> firstPos;  // per point number, -1 at rest
    std::vector<int32_t> secondPos; // per point number, -1 at rest
};
bool ChainFaceLines(ModelTables& tables, const FaceRecord& face, std::vector<uint16_t>& vertexList,
                    ChainScratch& scratch);
bool ChainFaceLines(ModelTables& tables, const FaceRecord& face, std::vector<uint32_t>& vertexList,
                    ChainScratch& scratch);

// Leaves the loop as it is when its Newell normal points to the side of the
// group's centroid (or at right angles to it) seen from its first vertex;
// otherwise, also when that test is not a number, reverses it and flips the
// marks of its lines listed by exactly two faces.
void OrientFace(ModelTables& tables, const FaceRecord& face, std::vector<uint16_t>& vertexList);
void OrientFace(ModelTables& tables, const FaceRecord& face, std::vector<uint32_t>& vertexList);

// --------------------------------------------------------------- surface ---

constexpr int32_t kSurfaceBlockSize = 60;
using SurfaceDataBlock = std::array<unsigned char, kSurfaceBlockSize>;

// The 60-byte block of seven big-endian sub-chunks (COLR FLAG SMAN DIFF TRAN
// SPEC GLOS). Palette components are clamped to 0..255 before any
// arithmetic, so the specular division always has a positive divisor. A
// colourSet other than 0..2 is taken as middle.
SurfaceDataBlock MakeSurfaceDataBlock(const PaletteEntry& entry, int32_t colourSet, int32_t smooth,
                                      double smoothingAngle, int32_t doubleSided);

using SurfaceNames = std::array<std::string, kColourCount>;

// One storeSurfaceData per colour index below paletteCount whose flag is set,
// in increasing order, under the name lookupSurface got (`names`, formed
// once by BuildObject).
void SendSurfaceAttributes(const ModelTables& tables, const ColourFlags& colourUsed,
                           const SurfaceNames& names, const BuildOptions& options,
                           const ObjectSink& sink);
