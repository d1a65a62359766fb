// The object as faces and edges, in the layout a mesh editor keeps (Blender's).
// Faces are loops of corners. Every edge is held once. Each corner names the
// edge to its face's next corner. The host's smoothing becomes flags on faces
// and edges. So a front end fills its mesh array by array and works nothing
// out.
// It is formed from the received object and its ShadingGeometry, in the host's
// orientation or in the writers' (Writers.h).
#pragma once

#include "geometry/Shading.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The host's convention, or the writers'. The writers' is right-handed, with
// counter-clockwise fronts. It negates Z and reverses each loop from its first
// corner.
enum class Handedness { Host, RightHanded };

struct FacesAndEdges {
    // Faces are the polygons of three corners or more, in order. A face may run
    // through a point once only. So a polygon whose loop passes a point again
    // is cut there into the simple loops it is made of. They come in the order
    // they close. A loop met before is left out: the same points in the same
    // turn, from any corner. Pieces of fewer than three corners are left out
    // too. The plug-in's chaining makes such loops from a face whose lines run
    // round the same points twice.
    std::vector<int32_t> faceStart;   // its first corner
    std::vector<int32_t> faceSize;    // its corners
    std::vector<int32_t> faceSurface; // index into ExportSurfaces()
    std::vector<int32_t> facePolygon; // index into model.polygons
    // 1 where the host shades the face flat. Either its surface has no
    // smoothing, or every corner has the same normal. The latter happens when
    // its neighbours all lie beyond the angle, or when it has no area.
    std::vector<uint8_t> faceFlat;
    // Per face corner: its point, the edge from it to the face's next
    // corner, and the normal the host shades it with (x y z).
    std::vector<int32_t> cornerPoint;
    std::vector<int32_t> cornerEdge;
    std::vector<float> cornerNormal;
    // Per edge, its two points, in the order first met. The lines come first,
    // then the faces' edges. A line is a polygon of two points, and one from a
    // point to itself makes no edge. Each pair of points is held once, either
    // way round.
    std::vector<int32_t> edgePoints;
    // 1 where the host's shading breaks across the edge. Each later face at the
    // edge is compared with the first face at it. The shading breaks when the
    // two are of two surfaces. It also breaks when both are smoothed on one
    // surface but lie beyond its angle, their normals' dot product below
    // SmoothingThreshold. Pieces of one polygon never break.
    std::vector<uint8_t> edgeSharp;
    size_t splitPolygons = 0; // polygons cut into simple loops
    size_t splitFaces = 0;    // the faces they became
    // For a front end whose mesh has one smoothing angle. It is the angle
    // within which the surface of the first smooth-shaded face smooths, in
    // 0..pi radians. It is the angle as the host compares it, by its cosine, so
    // 270 degrees acts as 90 and -30 as 30. It is -1 when every face is flat.
    double smoothingAngle = -1;
};

// Fills `out` for `model`, its `surfaces` from ExportSurfaces(model) and its
// `geometry` from ComputeShading. Returns false with a reason when the object
// has more points, corners or edges than 32-bit numbers count.
bool FormFacesAndEdges(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                       const ShadingGeometry& geometry, Handedness handedness, FacesAndEdges& out,
                       std::string& error);
