// The C interface's calls for the object as faces and edges and for the
// surfaces' materials: plain accessors that copy nothing (pointers into the
// handle's own memory) and answer a null handle or a number out of range
// without touching anything.
#include "engine/ostrel.h"

#include "engine/Import.h"

#include <vector>

namespace {

// An array of values.size() / width items, or none.
template <typename T>
const void* ArrayOf(const std::vector<T>& values, size_t width, size_t* count) {
    if (count != nullptr)
        *count = values.size() / width;
    return values.empty() ? nullptr : values.data();
}

} // namespace

extern "C" {

int ostrel_material_at(const ostrel_import* import, size_t i, ostrel_material* out) {
    if (import == nullptr || out == nullptr || i >= import->surfaces.size())
        return 0;
    const SurfaceMaterial& m = import->surfaces[i].material;
    out->red = static_cast<float>(m.colour[0]);
    out->green = static_cast<float>(m.colour[1]);
    out->blue = static_cast<float>(m.colour[2]);
    out->alpha = static_cast<float>(m.colour[3]);
    out->roughness = static_cast<float>(m.roughness);
    out->specular = static_cast<float>(m.specular);
    out->metallic = static_cast<float>(m.metallic);
    out->doubleSided = m.doubleSided;
    out->blend = m.blend;
    return 1;
}

const void* ostrel_mesh_array(const ostrel_import* import, int array, size_t* count) {
    if (count != nullptr)
        *count = 0;
    if (import == nullptr)
        return nullptr;
    const EdgeMesh& m = import->edgeMesh;
    switch (array) {
    case OSTREL_MESH_FACE_STARTS:
        return ArrayOf(m.faceStart, 1, count);
    case OSTREL_MESH_FACE_SIZES:
        return ArrayOf(m.faceSize, 1, count);
    case OSTREL_MESH_FACE_SURFACES:
        return ArrayOf(m.faceSurface, 1, count);
    case OSTREL_MESH_FACE_POLYGONS:
        return ArrayOf(m.facePolygon, 1, count);
    case OSTREL_MESH_FACE_FLAT:
        return ArrayOf(m.faceFlat, 1, count);
    case OSTREL_MESH_CORNER_POINTS:
        return ArrayOf(m.cornerPoint, 1, count);
    case OSTREL_MESH_CORNER_EDGES:
        return ArrayOf(m.cornerEdge, 1, count);
    case OSTREL_MESH_CORNER_NORMALS:
        return ArrayOf(m.cornerNormal, 3, count);
    case OSTREL_MESH_EDGE_POINTS:
        return ArrayOf(m.edgePoints, 2, count);
    case OSTREL_MESH_EDGE_SHARP:
        return ArrayOf(m.edgeSharp, 1, count);
    default:
        return nullptr;
    }
}

size_t ostrel_mesh_count(const ostrel_import* import, int what) {
    if (import == nullptr)
        return 0;
    switch (what) {
    case OSTREL_MESH_SPLIT_POLYGONS:
        return import->edgeMesh.splitPolygons;
    case OSTREL_MESH_SPLIT_FACES:
        return import->edgeMesh.splitFaces;
    default:
        return 0;
    }
}

double ostrel_mesh_smoothing_angle(const ostrel_import* import) {
    return import != nullptr ? import->edgeMesh.smoothingAngle : -1;
}

} // extern "C"
