// libFuzzer entry: one import through the engine's C interface, as the
// Blender add-on makes it, from the input bytes: they are the model file,
// and its last two bytes also choose the request (panel cancelled or not,
// shading, warnings, an output format, handedness, the edge mesh, the load
// and smoothing edits, salvage), so that the corpus's model files stay
// whole.
// Whatever the bytes, the call returns an outcome the header names, and the arrays it hands out
// agree with each other: every corner names a point, the sizes sum to the
// corners, each triangle names corners of the object, each normal is finite,
// the edge mesh's corners name points and edges.
#include "engine/ostrel.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void Broken(const char* what) {
    std::fprintf(stderr, "engine invariant broken: %s\n", what);
    std::abort();
}

// The edge mesh (empty unless asked): faces starting within the corners,
// corners naming points and edges, edges naming points.
void CheckFacesAndEdges(const ostrel_import* done, size_t points) {
    size_t loops = 0, edges = 0, faces = 0;
    const auto* starts =
        static_cast<const int32_t*>(ostrel_mesh_array(done, OSTREL_MESH_FACE_STARTS, &faces));
    const auto* loopPoints =
        static_cast<const int32_t*>(ostrel_mesh_array(done, OSTREL_MESH_CORNER_POINTS, &loops));
    const auto* loopEdges =
        static_cast<const int32_t*>(ostrel_mesh_array(done, OSTREL_MESH_CORNER_EDGES, nullptr));
    const auto* ends =
        static_cast<const int32_t*>(ostrel_mesh_array(done, OSTREL_MESH_EDGE_POINTS, &edges));
    for (size_t f = 0; f < faces; ++f) {
        if (starts[f] < 0 || static_cast<size_t>(starts[f]) >= loops)
            Broken("a face starting past the corners");
    }
    for (size_t c = 0; c < loops; ++c) {
        if (static_cast<size_t>(loopPoints[c]) >= points ||
            static_cast<size_t>(loopEdges[c]) >= edges)
            Broken("a face corner naming no point or no edge");
    }
    for (size_t e = 0; e < 2 * edges; ++e) {
        if (static_cast<size_t>(ends[e]) >= points)
            Broken("an edge naming no point");
    }
}

void CheckOutcome(const ostrel_import* done) {
    const int result = ostrel_result(done);
    if (result < OSTREL_LOADED || result > OSTREL_DAMAGED)
        Broken("a result the header does not name");
    if ((result == OSTREL_LOADED) != (*ostrel_reason(done) == '\0'))
        Broken("a reason for a loaded model, or none for a failure");
    const size_t points = ostrel_point_count(done);
    const size_t polygons = ostrel_polygon_count(done);
    const size_t corners = ostrel_corner_count(done);
    size_t sum = 0;
    for (size_t p = 0; p < polygons; ++p) {
        sum += ostrel_polygon_sizes(done)[p];
        if (ostrel_polygon_surfaces(done)[p] >= ostrel_surface_count(done))
            Broken("a polygon on a surface not handed out");
    }
    if (sum != corners)
        Broken("polygon sizes that do not sum to the corners");
    for (size_t c = 0; c < corners; ++c) {
        if (ostrel_corners(done)[c] >= points)
            Broken("a corner naming no point");
    }
    if (const float* normals = ostrel_corner_normals(done)) {
        for (size_t i = 0; i < 3 * corners; ++i) {
            if (!std::isfinite(normals[i]))
                Broken("a normal that is not finite");
        }
    }
    for (size_t t = 0; t < 3 * ostrel_triangle_count(done); ++t) {
        if (ostrel_triangles(done)[t] >= corners)
            Broken("a triangle naming no corner");
    }
    CheckFacesAndEdges(done, points);
    for (size_t i = 0; i < ostrel_warning_count(done); ++i)
        (void)ostrel_warning(done, i);
    for (size_t i = 0; i < ostrel_file_count(done); ++i) {
        size_t size = 0;
        if (ostrel_file_bytes(done, i, &size) == nullptr && size != 0)
            Broken("a file of some size without bytes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t choice = data[size - 1], edits = data[size - 2];
    ostrel_request* request = ostrel_request_new();
    ostrel_request_set(request, OSTREL_CANCEL, (choice & 1) != 0);
    ostrel_request_set(request, OSTREL_SHADING, (choice & 2) != 0);
    ostrel_request_set(request, OSTREL_READ_WARNINGS, (choice & 4) != 0);
    ostrel_request_set(request, OSTREL_RIGHT_HANDED, (choice & 64) != 0);
    ostrel_request_set(request, OSTREL_EDGE_MESH, (choice & 128) != 0);
    static const char* const kFormats[] = {"", "", "obj", "lwo", "glb", "gltf", "", ""};
    ostrel_request_format(request, kFormats[(choice >> 3) & 7]);
    if ((edits & 3) != 3)
        ostrel_request_edit_number(request, OSTREL_EDIT_LOAD, edits & 3);
    if (edits & 4)
        ostrel_request_edit_number(request, OSTREL_EDIT_SMOOTH, (edits >> 3) & 1);
    // An angle of 210 degrees is none the engine takes: that choice asks
    // for what was read of a damaged file instead.
    if ((edits >> 5) == 7)
        ostrel_request_set(request, OSTREL_SALVAGE, 1);
    else if (edits & 16)
        ostrel_request_edit_number(request, OSTREL_EDIT_ANGLE, (edits >> 5) * 30.0);
    ostrel_import* done = ostrel_import_run(request, "fuzz.rk4", data, size);
    if (done != nullptr)
        CheckOutcome(done);
    ostrel_import_free(done);
    ostrel_request_free(request);
    return 0;
}
