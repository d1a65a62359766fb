// Received objects made by hand, for the tests of what the host keeps and
// what the writers make of it.
#pragma once

#include "standin/Received.h"

#include <cstdint>
#include <vector>

// A surface block of colour 150 105 60 with its usual settings.
inline const std::vector<unsigned char> kBlock = {
    0x43, 0x4F, 0x4C, 0x52, 0x00, 0x04, 0x96, 0x69, 0x3C, 0x00, 0x46, 0x4C, 0x41, 0x47, 0x00,
    0x02, 0x00, 0x04, 0x53, 0x4D, 0x41, 0x4E, 0x00, 0x04, 0x3F, 0x46, 0xD3, 0xF2, 0x44, 0x49,
    0x46, 0x46, 0x00, 0x02, 0x01, 0x00, 0x54, 0x52, 0x41, 0x4E, 0x00, 0x02, 0x00, 0x00, 0x53,
    0x50, 0x45, 0x43, 0x00, 0x02, 0x00, 0x14, 0x47, 0x4C, 0x4F, 0x53, 0x00, 0x02, 0x00, 0x00};

inline void AddPoint(ReceivedModel& m, float x, float y, float z) {
    const float xyz[3] = {x, y, z};
    ReceivePoints(m, 1, xyz);
}

inline void AddPolygon(ReceivedModel& m, std::vector<uint32_t> points, int32_t surface) {
    ReceivePolygon(m, static_cast<int32_t>(points.size()), surface, points.data());
}

// A quad in the host's plane z = 2, clockwise as seen from the host's viewer
// on the -Z side: its front faces -Z in the host's space. Its one surface,
// "front", is sent `block` when given one.
inline ReceivedModel FacingViewer(const std::vector<unsigned char>* block = nullptr) {
    ReceivedModel m;
    AddPoint(m, 0, 0, 2);
    AddPoint(m, 0, 1, 2);
    AddPoint(m, 1, 1, 2);
    AddPoint(m, 1, 0, 2);
    const int32_t v = ReceiveLookupSurface(m, "front");
    if (block != nullptr)
        ReceiveSurfaceData(m, "front", static_cast<int32_t>(block->size()), block->data());
    AddPolygon(m, {0, 1, 2, 3}, v);
    return m;
}

// The surface that `addPolygon`'s surface word names (compared by its low 16
// bits, sign-extended, as the plug-in passes it), found by a search of its
// own; null when none has that value.
inline const ReceivedSurface* SurfaceForValue(const ReceivedModel& model, int32_t surface) {
    for (const ReceivedSurface& s : model.surfaces) {
        if (s.value != 0 && static_cast<int16_t>(s.value) == static_cast<int16_t>(surface))
            return &s;
    }
    return nullptr;
}
