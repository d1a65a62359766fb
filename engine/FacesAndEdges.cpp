// The C interface's calls for the object as faces and edges and for the
// surfaces' materials: plain accessors that copy nothing (pointers into the
// handle's own memory) and answer a null handle or a number out of range
// without touching anything.
#include "engine/ostrel.h"

#include "engine/Import.h"

#include <iterator>
#include <vector>

namespace {

// One of the edge mesh's arrays: where it starts, and its items.
struct ArrayView {
    const void* data = nullptr;
    size_t items = 0;
};

template <typename T> ArrayView ViewOf(const std::vector<T>& values, size_t width) {
    return {values.empty() ? nullptr : values.data(), values.size() / width};
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
    const FacesAndEdges& m = import->facesAndEdges;
    // In the order of the OSTREL_MESH_* numbers.
    const ArrayView arrays[] = {ViewOf(m.faceStart, 1),   ViewOf(m.faceSize, 1),
                                ViewOf(m.faceSurface, 1), ViewOf(m.facePolygon, 1),
                                ViewOf(m.faceFlat, 1),    ViewOf(m.cornerPoint, 1),
                                ViewOf(m.cornerEdge, 1),  ViewOf(m.cornerNormal, 3),
                                ViewOf(m.edgePoints, 2),  ViewOf(m.edgeSharp, 1)};
    static_assert(OSTREL_MESH_EDGE_SHARP == 9, "one view per array, in order");
    if (array < 0 || static_cast<size_t>(array) >= std::size(arrays))
        return nullptr;
    if (count != nullptr)
        *count = arrays[array].items;
    return arrays[array].data;
}

size_t ostrel_mesh_count(const ostrel_import* import, int what) {
    if (import == nullptr)
        return 0;
    switch (what) {
    case OSTREL_MESH_SPLIT_POLYGONS:
        return import->facesAndEdges.splitPolygons;
    case OSTREL_MESH_SPLIT_FACES:
        return import->facesAndEdges.splitFaces;
    default:
        return 0;
    }
}

double ostrel_mesh_smoothing_angle(const ostrel_import* import) {
    return import != nullptr ? import->facesAndEdges.smoothingAngle : -1;
}

} // extern "C"
