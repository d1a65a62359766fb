// The png format: a picture of the object (render/Picture.h). It is framed and
// lit as the web page's view shows it, from the triangles and corner normals
// the glb holds. The arrays are handed over in the host's space, as the engine
// hands them out. The renderer turns them itself.
#include "convert/Writers.h"
#include "geometry/Shading.h"
#include "render/Picture.h"

namespace {

PictureSurface PictureSurfaceOf(const ExportSurface& s) {
    PictureSurface p;
    p.red = s.red;
    p.green = s.green;
    p.blue = s.blue;
    p.diffuse = static_cast<float>(s.diffuse) / 256.0f;
    p.specular = static_cast<float>(s.specular) / 256.0f;
    p.doubleSided = s.doubleSided;
    return p;
}

} // namespace

bool WritePng(const WriterInput& in, std::vector<OutputFile>& files, std::string& error) {
    ShadingGeometry geometry;
    if (!ComputeShading(in.model, in.surfaces, geometry, error,
                        ShadingParts{true, true, in.workers}))
        return false;
    const ReceivedModel& model = in.model;
    std::vector<float> points;
    points.reserve(3 * model.points.size());
    for (const ReceivedPoint& p : model.points)
        points.insert(points.end(), {p.x, p.y, p.z});
    const std::vector<uint32_t>& corners = model.corners;
    std::vector<uint32_t> sizes, polygonSurfaces;
    sizes.reserve(model.polygons.size());
    polygonSurfaces.reserve(model.polygons.size());
    for (const ReceivedPolygon& polygon : model.polygons) {
        sizes.push_back(polygon.cornerCount);
        polygonSurfaces.push_back(static_cast<uint32_t>(SurfaceSlot(polygon.surface)));
    }
    std::vector<float> normals;
    normals.reserve(3 * geometry.cornerNormal.size());
    for (const Normal3& n : geometry.cornerNormal)
        normals.insert(normals.end(), {n.x, n.y, n.z});
    std::vector<PictureSurface> surfaces;
    surfaces.reserve(in.surfaces.size());
    for (const ExportSurface& s : in.surfaces)
        surfaces.push_back(PictureSurfaceOf(s));

    PictureInput input;
    input.points = points.data();
    input.pointCount = model.points.size();
    input.corners = corners.data();
    input.cornerCount = corners.size();
    input.cornerNormals = normals.data();
    input.polygonSizes = sizes.data();
    input.polygonSurfaces = polygonSurfaces.data();
    input.polygonCount = sizes.size();
    input.triangles = geometry.triangles.data();
    input.triangleCount = geometry.triangles.size() / 3;
    input.surfaces = surfaces.data();
    input.surfaceCount = surfaces.size();

    Picture picture;
    if (!RenderPicture(input, in.pictureSize, picture, error))
        return false;
    if (!PictureShowsSomething(picture)) {
        // The picture draws polygons; points alone stand for none.
        error = model.polygons.empty()
                    ? "nothing to draw: the object has no polygon"
                    : "nothing to draw: no face, line or point of the object shows from the camera";
        return false;
    }
    std::string png;
    if (!EncodePng(picture, png, error))
        return false;
    files.push_back({in.fileName, std::move(png)});
    return true;
}
