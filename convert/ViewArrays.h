// The object as a viewer draws it and as the glb file holds it: positions
// and normals in the right-handed convention (Writers.h), and per surface
// its triangles, lines and points as indices into them, with the surface's
// material. The glb writer forms its file from exactly these arrays; the web
// page hands the same arrays to its view, so that what is seen is what a
// download holds, without the page forming or reading a glb.
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
    // Vertices: first those the triangles use (one per distinct point and
    // normal, ShadingGeometry), then one per point only lines and points use.
    std::vector<float> positions; // x, y, z per vertex
    size_t triangleVertices = 0;  // the first vertices, which carry normals
    std::vector<float> normals;   // x, y, z per triangle vertex
    // Three per surface, in the order of ExportSurfaces: its triangles,
    // lines and points; a part may have no indices. For an object of points
    // alone (no polygon names a point: a model of points, or of lines loaded
    // with no line polygon), then one more: every point, which would
    // otherwise show nothing, with a material of its own. Part i has
    // material i / 3.
    std::vector<ViewPart> parts;
    std::vector<SurfaceMaterial> materials; // MaterialOf each surface, and the points' own
    // The extent of the vertices along X, Y and Z in the host's space (the
    // change of handedness only mirrors Z), zero when there is no vertex.
    double size[3] = {0, 0, 0};
};

// Fills `out` for `model` and its `surfaces` (ExportSurfaces(model)). False
// with a one-line reason when a point is not a finite number or a polygon
// names a surface never looked up. Memory running out throws std::bad_alloc.
bool FormViewArrays(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                    ViewArrays& out, std::string& error);
