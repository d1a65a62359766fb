// The object as a viewer draws it and as the glb file holds it. Positions and
// normals are in the right-handed convention (Writers.h). Each surface has its
// triangles, lines and points as indices into them, and its material.
// The glb writer forms its file from exactly these arrays. The web page hands
// the same arrays to its view. So what is seen is what a download holds, and
// the page neither forms nor reads a glb.
#pragma once

#include "geometry/Surfaces.h"
#include "standin/Received.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ViewPartKind { Triangles, Lines, Points };

struct ViewPart {
    ViewPartKind kind = ViewPartKind::Triangles;
    std::vector<uint32_t> indices; // into the vertices: 3 per triangle, 2 per line, 1 per point
};

struct ViewArrays {
    // First come the vertices the triangles use, one per distinct point and
    // normal (ShadingGeometry). Then comes one per point that only lines and
    // points use.
    std::vector<float> positions; // x, y, z per vertex
    size_t triangleVertices = 0;  // the first vertices, which carry normals
    std::vector<float> normals;   // x, y, z per triangle vertex
    // Three parts per surface, in the order of ExportSurfaces: its triangles,
    // lines and points. A part may have no indices. Part i has material i / 3.
    // An object of points alone gets one more part, with a material of its own.
    // It holds every point, which would otherwise show nothing. In such an
    // object no polygon names a point. It is a model of points, or of lines
    // loaded with no line polygon.
    std::vector<ViewPart> parts;
    std::vector<SurfaceMaterial> materials; // MaterialOf each surface, and the points' own
    // The extent of the vertices along X, Y and Z, in the host's space. The
    // change of handedness only mirrors Z. It is zero when there is no vertex.
    double size[3] = {0, 0, 0};
};

// Fills `out` for `model` and its `surfaces` from ExportSurfaces(model).
// Returns false with a one-line reason when a point is not a finite number, or
// a polygon names a surface never looked up. Memory running out throws
// std::bad_alloc.
// `workers`: the threads the shading may spread over.
bool FormViewArrays(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                    ViewArrays& out, std::string& error, unsigned workers = 1);
