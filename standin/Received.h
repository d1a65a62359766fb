// The host-side model of what one load sent: points, surfaces and polygons. A
// surface has its name, the value lookupSurface handed out, and its attribute
// blocks. The Receive* functions below fill the model from the import callbacks
// (standin/ImportHost.cpp). These are plain records, so converters read them
// directly: the LWOB, OBJ and glTF writers, and --check.
//
// Everything here copies what it is given. The plug-in's arrays, names and
// blocks are valid only during the call that hands them over.
//
// The Receive* functions also check what a host must not accept:
//   - a point number not below the points sent so far;
//   - a surface value lookupSurface never returned;
//   - an attribute block that is not the 60-byte run of the seven sub-chunks;
//   - counts or arrays that cannot be meant.
// The first such call is described in `refusal`. Receiving goes on, so the
// trace stays complete. The host refuses the load afterwards.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

struct ReceivedPoint {
    float x = 0, y = 0, z = 0; // as received (already scaled, Y negated by the plug-in)
};

struct ReceivedSurface {
    std::string name;  // bytes as received (Shift-JIS or whatever the plug-in sent)
    int32_t value = 0; // the lookupSurface value handed out; 0 = never looked up
    std::vector<std::vector<unsigned char>> blocks; // storeSurfaceData blocks, in arrival order
};

// A polygon's point numbers are a run of ReceivedModel::corners (PointsOf).
struct ReceivedPolygon {
    size_t firstCorner = 0;
    uint32_t cornerCount = 0;
    int32_t surface = 0; // surface value as received (low 16 bits, sign-extended)
};

struct ReceivedModel {
    // False for --check. Points and polygons are then checked and counted but
    // not kept, so receiving allocates nothing per call.
    bool keepGeometry = true;
    int32_t startObjectCalls = 0;
    int32_t declaredPointCount = -1; // -1: declarePointCount never called
    std::vector<ReceivedPoint> points;
    std::vector<ReceivedSurface> surfaces; // in order of first mention
    std::vector<ReceivedPolygon> polygons;
    // Every kept polygon's 0-based point numbers, one polygon after another in
    // arrival order. They come 16-bit from the host's record and 32-bit from
    // the converter's (ImportHost.h). They are one array, so receiving a model
    // of millions of polygons allocates nothing per polygon.
    std::vector<uint32_t> corners;
    int32_t nextSurfaceValue = 1; // value for the next distinct looked-up name
    // Added to every value lookupSurface hands out. It is a multiple of 65536,
    // so the low 16 bits alone still name the surface. addPolygon passes only
    // those, sign-extended. Zero hands out 1, 2, 3, ... A checking host sets
    // more, to tell apart a plug-in that passes the whole value.
    int32_t surfaceValueOffset = 0;
    size_t surfaceDataCalls = 0;
    std::unordered_map<std::string, size_t> surfaceIndex; // name -> index into surfaces
    size_t pointCount = 0;                                // points received, kept or not
    size_t polygonCount = 0;                              // addPolygon calls, kept or not
    size_t emptyPolygonCount = 0;                         // of those, with no vertex
    // Of those with three points or more, the ones whose chain runs through a
    // point more than once. A keyhole does, as do two loops in one face.
    size_t revisitingPolygonCount = 0;
    std::string refusal; // first call a host must not accept; empty: none
};

// The attribute block's layout, stated once on the host's side: its size, and
// its sub-chunks in order. Each sub-chunk is a 4-byte tag, a 2-byte big-endian
// data length and the data. Each sits at a fixed place.
constexpr size_t kReceivedBlockSize = 60;
struct SurfaceBlockField {
    char tag[5];
    uint16_t length;
};
enum SurfaceBlockPart : size_t {
    kBlockColour,       // red, green, blue, a zero byte
    kBlockFlags,        // kBlockFlagSmooth, kBlockFlagDoubleSided
    kBlockSmoothing,    // the smoothing angle, a big-endian float in radians
    kBlockDiffuse,      // 2-byte levels from here on
    kBlockTransparency, //
    kBlockSpecular,     //
    kBlockGlossiness,   //
};
constexpr SurfaceBlockField kSurfaceBlockFields[7] = {
    {"COLR", 4}, {"FLAG", 2}, {"SMAN", 4}, {"DIFF", 2}, {"TRAN", 2}, {"SPEC", 2}, {"GLOS", 2}};

constexpr uint16_t kBlockFlagSmooth = 0x0004;
constexpr uint16_t kBlockFlagDoubleSided = 0x0100;

// Where the data of `part` starts in the block.
constexpr size_t SurfaceBlockDataAt(SurfaceBlockPart part) {
    size_t at = 0;
    for (size_t i = 0; i < part; ++i)
        at += 6 + kSurfaceBlockFields[i].length;
    return at + 6;
}
static_assert(SurfaceBlockDataAt(kBlockGlossiness) + 2 == kReceivedBlockSize,
              "the sub-chunks fill the block");

// The 2-byte big-endian word at the start of `part`'s data.
inline uint16_t SurfaceBlockWord(const unsigned char* block, SurfaceBlockPart part) {
    const size_t at = SurfaceBlockDataAt(part);
    return static_cast<uint16_t>(block[at] << 8 | block[at + 1]);
}

// Whether `bytes` is exactly the attribute block: the seven sub-chunks in
// order, each with its length, nothing between or after them.
inline bool IsSurfaceBlock(const unsigned char* bytes, size_t size) {
    if (bytes == nullptr || size != kReceivedBlockSize)
        return false;
    size_t at = 0;
    for (const SurfaceBlockField& field : kSurfaceBlockFields) {
        if (std::memcmp(bytes + at, field.tag, 4) != 0)
            return false;
        const unsigned length = unsigned{bytes[at + 4]} << 8 | bytes[at + 5];
        if (length != field.length)
            return false;
        at += 6 + length;
    }
    return at == size;
}

// Whether `surface` stands for a value lookupSurface returned. addPolygon
// passes it as the low 16 bits, sign-extended. Values are handed out as
// 1, 2, 3, ..., so the question is answered without a search.
inline bool IsReturnedSurfaceValue(const ReceivedModel& model, int32_t surface) {
    if (surface != static_cast<int16_t>(surface))
        return false;
    const int64_t returned = int64_t{model.nextSurfaceValue} - 1; // values 1..returned
    const uint16_t low = static_cast<uint16_t>(surface);
    return low == 0 ? returned >= 65536 : low <= returned;
}

// Notes the first refused call (the string is built only on failure).
inline void RefuseCall(ReceivedModel& model, const char* call, const std::string& why) {
    if (model.refusal.empty())
        model.refusal = std::string(call) + ": " + why;
}

// Index into model.surfaces of the surface named `name`, or -1.
inline long FindReceivedSurface(const ReceivedModel& model, const char* name, size_t length) {
    const auto it = model.surfaceIndex.find(std::string(name, length));
    return it != model.surfaceIndex.end() ? static_cast<long>(it->second) : -1;
}

// Appends a surface record (value 0) and returns its index.
inline long AddReceivedSurface(ReceivedModel& model, const char* name, size_t length) {
    model.surfaces.push_back(ReceivedSurface{std::string(name, length), 0, {}});
    model.surfaceIndex.emplace(model.surfaces.back().name, model.surfaces.size() - 1);
    return static_cast<long>(model.surfaces.size()) - 1;
}

// Index into model.surfaces of the surface named `name`. A new name is added
// with value 0. Null reads as the empty name.
inline size_t ReceivedSurfaceNamed(ReceivedModel& model, const char* name) {
    if (name == nullptr)
        name = "";
    const size_t length = std::strlen(name);
    long index = FindReceivedSurface(model, name, length);
    if (index < 0)
        index = AddReceivedSurface(model, name, length);
    return static_cast<size_t>(index);
}

inline void ReceiveStartObject(ReceivedModel& model) {
    ++model.startObjectCalls;
}

inline void ReceiveDeclarePointCount(ReceivedModel& model, int32_t count) {
    model.declaredPointCount = count;
    if (count > 0 && static_cast<size_t>(count) <= (size_t{1} << 20))
        model.points.reserve(static_cast<size_t>(count));
}

// `count` points of three floats each.
inline void ReceivePoints(ReceivedModel& model, int32_t count, const float* xyz) {
    if (count < 0 || (count > 0 && xyz == nullptr)) {
        RefuseCall(model, "addPoints",
                   xyz == nullptr ? "no coordinates" : "negative count " + std::to_string(count));
        return;
    }
    model.pointCount += static_cast<size_t>(count);
    if (!model.keepGeometry)
        return;
    for (int32_t i = 0; i < count; ++i) {
        model.points.push_back(ReceivedPoint{xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]});
    }
}

// Returns the surface value: 1 for the first distinct name looked up, 2 for the
// next, and so on, plus the offset. The same name again returns the same value.
inline int32_t ReceiveLookupSurface(ReceivedModel& model, const char* name) {
    const size_t index = ReceivedSurfaceNamed(model, name);
    ReceivedSurface& surface = model.surfaces[index];
    if (surface.value == 0)
        surface.value = model.nextSurfaceValue++;
    return static_cast<int32_t>(static_cast<uint32_t>(surface.value) +
                                static_cast<uint32_t>(model.surfaceValueOffset));
}

// Whether a chain of `count` point numbers names one point twice. Polygons are
// short, so pairs are compared where that is cheap. A long chain is sorted in a
// copy.
template <typename PointNumber> bool RevisitsPoint(const PointNumber* points, size_t count) {
    constexpr size_t kCompared = 32;
    if (count <= kCompared) {
        for (size_t i = 1; i < count; ++i) {
            for (size_t j = 0; j < i; ++j) {
                if (points[i] == points[j])
                    return true;
            }
        }
        return false;
    }
    std::vector<PointNumber> sorted(points, points + count);
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

// `points`: the host's 16-bit point numbers or the converter's 32-bit ones.
template <typename PointNumber>
void ReceivePolygon(ReceivedModel& model, int32_t vertexCount, int32_t surface,
                    const PointNumber* points) {
    ++model.polygonCount;
    if (vertexCount < 0 || (vertexCount > 0 && points == nullptr)) {
        RefuseCall(model, "addPolygon",
                   "polygon " + std::to_string(model.polygonCount) +
                       (points == nullptr
                            ? ": no point numbers"
                            : ": negative vertex count " + std::to_string(vertexCount)));
        return;
    }
    if (vertexCount == 0)
        ++model.emptyPolygonCount;
    for (int32_t i = 0; i < vertexCount; ++i) {
        if (points[i] >= model.pointCount) {
            RefuseCall(model, "addPolygon",
                       "polygon " + std::to_string(model.polygonCount) + " names point " +
                           std::to_string(points[i]) + ", not below the " +
                           std::to_string(model.pointCount) + " points sent");
            break;
        }
    }
    if (vertexCount >= 3 && RevisitsPoint(points, static_cast<size_t>(vertexCount)))
        ++model.revisitingPolygonCount;
    if (!IsReturnedSurfaceValue(model, surface)) {
        RefuseCall(model, "addPolygon",
                   "polygon " + std::to_string(model.polygonCount) + " has surface value " +
                       std::to_string(surface) + ", which lookupSurface never returned");
    }
    if (!model.keepGeometry)
        return;
    ReceivedPolygon polygon;
    polygon.firstCorner = model.corners.size();
    polygon.cornerCount = static_cast<uint32_t>(vertexCount);
    polygon.surface = surface;
    model.corners.insert(model.corners.end(), points, points + vertexCount);
    model.polygons.push_back(polygon);
}

inline std::span<const uint32_t> PointsOf(const ReceivedModel& model,
                                          const ReceivedPolygon& polygon) {
    return {model.corners.data() + polygon.firstCorner, polygon.cornerCount};
}

// A block for a name never looked up still gets a surface record (value 0).
// Returns the index of the surface the block went to.
inline size_t ReceiveSurfaceData(ReceivedModel& model, const char* name, int32_t byteCount,
                                 const void* block) {
    ++model.surfaceDataCalls;
    const size_t index = ReceivedSurfaceNamed(model, name);
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    if (byteCount < 0 || !IsSurfaceBlock(bytes, static_cast<size_t>(byteCount))) {
        RefuseCall(model, "storeSurfaceData",
                   "the block for \"" + model.surfaces[index].name + "\" (" +
                       std::to_string(byteCount) +
                       " bytes) is not the 60-byte run of COLR FLAG SMAN DIFF TRAN SPEC GLOS");
    }
    std::vector<unsigned char> data;
    if (byteCount > 0 && bytes != nullptr)
        data.assign(bytes, bytes + byteCount);
    model.surfaces[index].blocks.push_back(std::move(data));
    return index;
}
