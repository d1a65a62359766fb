// DrawThumbnail: one import through the engine, its arrays handed to the
// renderer as they are (no copy but the surfaces'), the picture checked for
// something drawn. The engine never throws; the renderer throws only
// std::bad_alloc, caught here.
#include "explorer/Thumbnail.h"

#include "engine/ostrel.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <vector>

namespace {

struct ImportFree {
    void operator()(ostrel_import* import) const { ostrel_import_free(import); }
};
struct RequestFree {
    void operator()(ostrel_request* request) const { ostrel_request_free(request); }
};
using Import = std::unique_ptr<ostrel_import, ImportFree>;

// The object and its shading, as the png writer's import gets them (the
// plug-in's proposals, the converter's build); no warnings are read.
Import ImportModel(std::string_view model) {
    const std::unique_ptr<ostrel_request, RequestFree> request(ostrel_request_new());
    if (!request || !ostrel_request_set(request.get(), OSTREL_SHADING, 1) ||
        !ostrel_request_set(request.get(), OSTREL_READ_WARNINGS, 0))
        return nullptr;
    // The name makes only the surfaces' names, which the picture does not show.
    // The bytes are never null, which would have the plug-in open a file of
    // that name.
    const char* bytes = model.data() != nullptr ? model.data() : "";
    return Import(ostrel_import_run(request.get(), "model.rk4", bytes, model.size()));
}

PictureSurface PictureSurfaceOf(const ostrel_surface& s) {
    PictureSurface p;
    p.red = s.red;
    p.green = s.green;
    p.blue = s.blue;
    p.diffuse = s.diffuse;
    p.specular = s.specular;
    p.doubleSided = s.doubleSided != 0;
    return p;
}

bool RenderImport(const ostrel_import* import, uint32_t side, Picture& picture,
                  std::string& error) {
    std::vector<PictureSurface> surfaces(ostrel_surface_count(import));
    for (size_t i = 0; i < surfaces.size(); ++i) {
        ostrel_surface s;
        if (ostrel_surface_at(import, i, &s))
            surfaces[i] = PictureSurfaceOf(s);
    }
    PictureInput in;
    in.points = ostrel_points(import);
    in.pointCount = ostrel_point_count(import);
    in.corners = ostrel_corners(import);
    in.cornerCount = ostrel_corner_count(import);
    in.cornerNormals = ostrel_corner_normals(import);
    in.polygonSizes = ostrel_polygon_sizes(import);
    in.polygonSurfaces = ostrel_polygon_surfaces(import);
    in.polygonCount = ostrel_polygon_count(import);
    in.triangles = ostrel_triangles(import);
    in.triangleCount = ostrel_triangle_count(import);
    in.surfaces = surfaces.data();
    in.surfaceCount = surfaces.size();
    return RenderPicture(in, side, picture, error);
}

} // namespace

uint32_t ThumbnailSide(uint32_t requested) {
    return std::clamp(requested, kPictureMinSize, kPictureMaxSize);
}

Thumbnail DrawThumbnail(std::string_view model, uint32_t requested) noexcept try {
    Thumbnail out;
    if (model.size() > kThumbnailMaxModelBytes) {
        out.status = ThumbnailStatus::TooLarge;
        out.reason = "larger than a thumbnail is drawn for";
        return out;
    }
    const Import import = ImportModel(model);
    if (!import || ostrel_result(import.get()) == OSTREL_OUT_OF_MEMORY) {
        out.status = ThumbnailStatus::OutOfMemory;
        return out;
    }
    if (ostrel_result(import.get()) != OSTREL_LOADED) {
        out.reason = ostrel_reason(import.get());
        return out;
    }
    if (!RenderImport(import.get(), ThumbnailSide(requested), out.picture, out.reason)) {
        out.picture = {};
        return out;
    }
    if (!PictureShowsSomething(out.picture)) {
        out.picture = {};
        out.reason = "nothing to draw";
        return out;
    }
    out.status = ThumbnailStatus::Drawn;
    return out;
} catch (const std::exception&) {
    // Memory ran out (the renderer's samples, the surfaces, a reason's text).
    Thumbnail out;
    out.status = ThumbnailStatus::OutOfMemory;
    return out;
}

void WritePremultipliedBgra(const Picture& picture, uint8_t* out) noexcept {
    const auto premultiply = [](unsigned colour, unsigned alpha) {
        return static_cast<uint8_t>((colour * alpha + 127) / 255);
    };
    const std::vector<uint8_t>& rgba = picture.rgba;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        const unsigned alpha = rgba[i + 3];
        out[i] = premultiply(rgba[i + 2], alpha);
        out[i + 1] = premultiply(rgba[i + 1], alpha);
        out[i + 2] = premultiply(rgba[i], alpha);
        out[i + 3] = static_cast<uint8_t>(alpha);
    }
}
