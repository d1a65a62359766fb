// The host-side model of what one load sent: points, surfaces (names, the
// values handed out by lookupSurface, attribute blocks) and polygons. Filled
// from the import callbacks (standin/ImportHost.cpp) by the Receive*
// functions below; plain records, so that converters (LWOB / OBJ / glTF
// writers, --check) can read them directly.
//
// Everything here copies what it is given: the plug-in's arrays, names and
// blocks are valid only during the call that hands them over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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

struct ReceivedPolygon {
    int32_t surface = 0;          // surface value as received (low 16 bits, sign-extended)
    std::vector<uint16_t> points; // 0-based point numbers
};

struct ReceivedModel {
    int32_t startObjectCalls = 0;
    int32_t declaredPointCount = -1; // -1: declarePointCount never called
    std::vector<ReceivedPoint> points;
    std::vector<ReceivedSurface> surfaces; // in order of first mention
    std::vector<ReceivedPolygon> polygons;
    int32_t nextSurfaceValue = 1; // value for the next distinct looked-up name
    size_t surfaceDataCalls = 0;
    std::unordered_map<std::string, size_t> surfaceIndex; // name -> index into surfaces
};

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

// The surface that `addPolygon`'s surface word names (value compared by its
// low 16 bits, sign-extended, as the plug-in passes it), or null.
inline const ReceivedSurface* SurfaceForPolygonValue(const ReceivedModel& model, int32_t surface) {
    for (const ReceivedSurface& s : model.surfaces) {
        if (s.value != 0 && static_cast<int16_t>(s.value) == static_cast<int16_t>(surface))
            return &s;
    }
    return nullptr;
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
    for (int32_t i = 0; i < count && xyz != nullptr; ++i) {
        model.points.push_back(ReceivedPoint{xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]});
    }
}

// Returns the surface value: 1 for the first distinct name looked up, 2 for
// the next, ...; the same name again returns the same value.
inline int32_t ReceiveLookupSurface(ReceivedModel& model, const char* name) {
    if (name == nullptr)
        name = "";
    const size_t length = std::strlen(name);
    long index = FindReceivedSurface(model, name, length);
    if (index < 0)
        index = AddReceivedSurface(model, name, length);
    ReceivedSurface& surface = model.surfaces[static_cast<size_t>(index)];
    if (surface.value == 0)
        surface.value = model.nextSurfaceValue++;
    return surface.value;
}

inline void ReceivePolygon(ReceivedModel& model, int32_t vertexCount, int32_t surface,
                           const uint16_t* points) {
    ReceivedPolygon polygon;
    polygon.surface = surface;
    if (vertexCount > 0 && points != nullptr)
        polygon.points.assign(points, points + vertexCount);
    model.polygons.push_back(std::move(polygon));
}

// A block for a name never looked up still gets a surface record (value 0).
inline void ReceiveSurfaceData(ReceivedModel& model, const char* name, int32_t byteCount,
                               const void* block) {
    ++model.surfaceDataCalls;
    if (name == nullptr)
        name = "";
    const size_t length = std::strlen(name);
    long index = FindReceivedSurface(model, name, length);
    if (index < 0)
        index = AddReceivedSurface(model, name, length);
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    std::vector<unsigned char> data;
    if (byteCount > 0 && bytes != nullptr)
        data.assign(bytes, bytes + byteCount);
    model.surfaces[static_cast<size_t>(index)].blocks.push_back(std::move(data));
}
