// The object as a mesh of faces and edges, the layout a mesh editor keeps
// (Blender's): faces as loops of corners, every edge once, each corner
// naming the edge to its face's next corner, and the host's smoothing as
// flags on faces and edges, so that a front end fills its mesh array by
// array and works nothing out. Formed from the received object and its
// ShadingGeometry, in the host's orientation or the writers' (Writers.h).
#pragma once

#include "geometry/Shading.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The writers' convention (right-handed, counter-clockwise fronts: Z
// negated, each loop reversed from its first corner), or the host's.
enum class Handedness { Host, RightHanded };

struct FacesAndEdges {
    // Faces: the polygons of three corners or more, in order. A face may
    // run through a point once only, so a polygon whose loop passes a point
    // again is cut there into the simple loops it is made of, in the order
    // they close; a loop met before (the same points in the same turn, from
    // any corner) and pieces of fewer than three corners are left out. The
    // plug-in's chaining makes such loops of a face whose lines run round
    // the same points twice.
    std::vector<int32_t> faceStart;   // its first corner
    std::vector<int32_t> faceSize;    // its corners
    std::vector<int32_t> faceSurface; // index into ExportSurfaces()
    std::vector<int32_t> facePolygon; // index into model.polygons
    // 1 where the host shades the face flat: its surface has no smoothing,
    // or every corner has the same normal (its neighbours all lie beyond
    // the angle, or it has no area).
    std::vector<uint8_t> faceFlat;
    // Per face corner: its point, the edge from it to the face's next
    // corner, and the normal the host shades it with (x y z).
    std::vector<int32_t> cornerPoint;
    std::vector<int32_t> cornerEdge;
    std::vector<float> cornerNormal;
    // Per edge its two points, in the order first met: the lines first
    // (polygons of two points; one from a point to itself is none), then
    // the faces' edges; each pair of points once, either way round.
    std::vector<int32_t> edgePoints;
    // 1 where the host's shading breaks across the edge: a face at it and
    // the first face at it are of two surfaces, or of one surface whose
    // smoothing joins neither beyond its angle (both smoothed, their
    // normals' dot product below SmoothingThreshold). Pieces of one polygon
    // never break.
    std::vector<uint8_t> edgeSharp;
    size_t splitPolygons = 0; // polygons cut into simple loops
    size_t splitFaces = 0;    // the faces they became
    // For a mesh-wide smoothing angle: the angle, in 0..pi radians, within
    // which the surface of the first face shaded smooth smooths, as the
    // host compares it (by its cosine: 270 degrees acts as 90, -30 as 30);
    // -1 when every face is flat.
    double smoothingAngle = -1;
};

// Fills `out` for `model`, its `surfaces` (ExportSurfaces(model)) and its
// `geometry` (ComputeShading). False with a reason when the object has
// more points, corners or edges than 32-bit numbers count.
bool FormFacesAndEdges(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                       const ShadingGeometry& geometry, Handedness handedness, FacesAndEdges& out,
                       std::string& error);
