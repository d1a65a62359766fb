// The C interface over the pipeline's entry point: the plug-in linked in,
// started and shut down around each import (nothing lives between calls),
// one RunImport per call, its outcome copied into flat arrays a caller in
// another language can view without a copy.
//
// No exception leaves a call: memory running out anywhere is the outcome
// OSTREL_OUT_OF_MEMORY, which needs no allocation to report.
#include "engine/ostrel.h"

#include "engine/Import.h"
#include "standin/PanelRules.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

extern "C" const ModuleDescriptor ostrel_wide_descrip;

namespace {

constexpr const char* kOutOfMemory = "not enough memory";

int ResultCode(ImportResult result) {
    switch (result) {
    case ImportResult::Loaded:
        return OSTREL_LOADED;
    case ImportResult::NotModelFile:
        return OSTREL_NOT_MODEL_FILE;
    case ImportResult::CannotRead:
        return OSTREL_CANNOT_READ;
    case ImportResult::Cancelled:
        return OSTREL_CANCELLED;
    case ImportResult::Refused:
        return OSTREL_REFUSED;
    case ImportResult::HostRefused:
        return OSTREL_HOST_REFUSED;
    case ImportResult::NotConverted:
        return OSTREL_NOT_CONVERTED;
    case ImportResult::NothingImported:
        return OSTREL_NOTHING_TO_IMPORT;
    case ImportResult::Damaged:
        return OSTREL_DAMAGED;
    }
    return OSTREL_REFUSED;
}

// The object's arrays, in the writers' handedness when asked (the rule's
// helpers, Shading.h: Z negated, each loop of three or more reversed
// from its first corner), and each surface with its material.
void KeepObject(const ImportOutcome& outcome, unsigned codePage, bool rightHanded,
                ostrel_import& out) {
    const ReceivedModel& model = outcome.received;
    out.points.reserve(3 * model.points.size());
    for (const ReceivedPoint& received : model.points) {
        const ReceivedPoint p = rightHanded ? RightHanded(received) : received;
        out.points.insert(out.points.end(), {p.x, p.y, p.z});
    }
    out.polygonSizes.reserve(model.polygons.size());
    out.polygonSurfaces.reserve(model.polygons.size());
    out.corners.reserve(model.corners.size());
    for (const ReceivedPolygon& polygon : model.polygons) {
        const std::span<const uint32_t> points = PointsOf(model, polygon);
        const size_t n = points.size();
        out.polygonSizes.push_back(polygon.cornerCount);
        out.polygonSurfaces.push_back(static_cast<uint32_t>(SurfaceSlot(polygon.surface)));
        for (size_t i = 0; i < n; ++i)
            out.corners.push_back(points[rightHanded ? ReversedCorner(i, n) : i]);
    }
    for (const ExportSurface& surface : ExportSurfaces(model)) {
        engine::SurfaceRecord record;
        record.name = NameAsUtf8(surface.name, codePage);
        record.nameBytes = surface.name;
        record.hasBlock = surface.block != nullptr;
        record.attributes = surface;
        record.attributes.block = nullptr; // the received model goes with the outcome
        record.material = MaterialOf(surface);
        out.surfaces.push_back(std::move(record));
    }
}

void RunRequest(const ostrel_request& r, const char* name, const void* bytes, size_t size,
                ostrel_import& out) {
    LoadedModule module;
    std::string error;
    if (!StartWideModule(&ostrel_wide_descrip, module, error)) {
        out.result = OSTREL_REFUSED;
        out.reason = error;
        return;
    }
    // The converter's own build: the whole object, however many points.
    ImportRequest request;
    request.converter = &module;
    request.modelName = name;
    if (bytes != nullptr)
        request.modelBytes = std::string_view(static_cast<const char*>(bytes), size);
    request.panel.cancel = r.cancel;
    request.salvage = r.salvage;
    request.panel.edits = r.edits;
    request.format = r.format;
    request.codePage = r.codePage;
    request.pictureSize = r.pictureSize;
    request.readWarnings = r.readWarnings && !r.cancel;
    request.keepReceived = r.keepObject;
    request.shading = r.shading;
    request.facesAndEdges = r.facesAndEdges;
    request.handedness = r.rightHanded ? Handedness::RightHanded : Handedness::Host;
    ImportOutcome outcome = RunImport(request);
    UnloadModule(module);

    out.result = ResultCode(outcome.result);
    out.reason = std::move(outcome.reason);
    out.statistics = NameAsUtf8(outcome.statistics, r.codePage);
    out.counts = outcome.counts;
    out.warnings = std::move(outcome.warningLines);
    out.damage = std::move(outcome.damage.cause);
    if (outcome.panel)
        KeepPanel(*outcome.panel, r.codePage, out);
    if (outcome.result != ImportResult::Loaded)
        return;
    if (r.keepObject || r.shading || r.facesAndEdges)
        KeepObject(outcome, r.codePage, r.rightHanded, out);
    out.cornerNormals = std::move(outcome.cornerNormals);
    out.triangles = std::move(outcome.triangles);
    out.facesAndEdges = std::move(outcome.facesAndEdges);
    for (OutputFile& file : outcome.files)
        out.files.push_back({std::move(file.name), std::move(file.bytes)});
    out.solidLine = std::move(outcome.solidLine);
}

template <typename T> const T* DataOf(const std::vector<T>& v) {
    return v.empty() ? nullptr : v.data();
}

} // namespace

extern "C" {

uint32_t ostrel_api_version(void) {
    return OSTREL_API_VERSION;
}

const char* ostrel_engine_version(void) {
    return OSTREL_VERSION;
}

ostrel_request* ostrel_request_new(void) {
    return new (std::nothrow) ostrel_request;
}

void ostrel_request_free(ostrel_request* request) {
    delete request;
}

int ostrel_request_edit_number(ostrel_request* request, int edit, double value) try {
    if (request == nullptr || edit < 0 || edit >= engine::kEdits)
        return 0;
    request->refusal = TakeChoiceNumber(engine::kRoleOfEdit[edit], value, engine::kEditNames[edit],
                                        request->edits);
    return request->refusal.empty() ? 1 : 0;
} catch (const std::exception&) {
    return 0;
}

int ostrel_request_edit_text(ostrel_request* request, int edit, const char* bytes,
                             size_t size) try {
    if (request == nullptr || edit < 0 || edit >= engine::kEdits || (bytes == nullptr && size != 0))
        return 0;
    request->refusal =
        TakeChoiceText(engine::kRoleOfEdit[edit], std::string(bytes == nullptr ? "" : bytes, size),
                       engine::kEditNames[edit], request->edits);
    return request->refusal.empty() ? 1 : 0;
} catch (const std::exception&) {
    return 0;
}

const char* ostrel_request_refusal(const ostrel_request* request) {
    return request != nullptr ? request->refusal.c_str() : "";
}

int ostrel_request_set(ostrel_request* request, int setting, int64_t value) {
    if (request == nullptr)
        return 0;
    switch (setting) {
    case OSTREL_CANCEL:
        request->cancel = value != 0;
        return 1;
    case OSTREL_READ_WARNINGS:
        request->readWarnings = value != 0;
        return 1;
    case OSTREL_KEEP_OBJECT:
        request->keepObject = value != 0;
        return 1;
    case OSTREL_SHADING:
        request->shading = value != 0;
        return 1;
    case OSTREL_RIGHT_HANDED:
        request->rightHanded = value != 0;
        return 1;
    case OSTREL_EDGE_MESH:
        request->facesAndEdges = value != 0;
        return 1;
    case OSTREL_SALVAGE:
        request->salvage = value != 0;
        return 1;
    case OSTREL_CODE_PAGE:
        if (value <= 0 || value > 65535)
            return 0;
        request->codePage = static_cast<unsigned>(value);
        return 1;
    case OSTREL_PICTURE_SIZE:
        if (value < kPictureMinSize || value > kPictureMaxSize)
            return 0;
        request->pictureSize = static_cast<uint32_t>(value);
        return 1;
    default:
        return 0;
    }
}

int ostrel_request_format(ostrel_request* request, const char* format) try {
    if (request == nullptr)
        return 0;
    if (format == nullptr || *format == '\0') {
        request->format.reset();
        return 1;
    }
    ExportFormat parsed;
    if (!ParseExportFormat(format, parsed))
        return 0;
    request->format = parsed;
    return 1;
} catch (const std::exception&) {
    return 0;
}

ostrel_import* ostrel_import_run(const ostrel_request* request, const char* name, const void* bytes,
                                 size_t size) {
    ostrel_import* out = new (std::nothrow) ostrel_import;
    if (out == nullptr)
        return nullptr;
    if (name == nullptr || *name == '\0' || (bytes == nullptr && size != 0)) {
        out->result = OSTREL_BAD_REQUEST;
        out->fixedReason = "no model name, or a size without bytes";
        return out;
    }
    try {
        const ostrel_request defaults;
        RunRequest(request != nullptr ? *request : defaults, name, bytes, size, *out);
    } catch (const std::bad_alloc&) {
        // Whatever was kept goes, so that the memory is the caller's again.
        *out = ostrel_import{};
        out->result = OSTREL_OUT_OF_MEMORY;
        out->fixedReason = kOutOfMemory;
    } catch (const std::exception&) {
        *out = ostrel_import{};
        out->result = OSTREL_REFUSED;
        out->fixedReason = "the import failed inside the engine";
    }
    return out;
}

void ostrel_import_free(ostrel_import* import) {
    delete import;
}

int ostrel_result(const ostrel_import* import) {
    return import != nullptr ? import->result : OSTREL_OUT_OF_MEMORY;
}

const char* ostrel_reason(const ostrel_import* import) {
    if (import == nullptr)
        return kOutOfMemory;
    return import->fixedReason != nullptr ? import->fixedReason : import->reason.c_str();
}

const char* ostrel_statistics(const ostrel_import* import) {
    return import != nullptr ? import->statistics.c_str() : "";
}

const char* ostrel_damage(const ostrel_import* import) {
    return import != nullptr ? import->damage.c_str() : "";
}

size_t ostrel_count(const ostrel_import* import, int what) {
    if (import == nullptr)
        return 0;
    switch (what) {
    case OSTREL_COUNT_POINTS:
        return import->counts.points;
    case OSTREL_COUNT_POLYGONS:
        return import->counts.polygons;
    case OSTREL_COUNT_DROPPED:
        return import->counts.dropped;
    case OSTREL_COUNT_SURFACES:
        return import->counts.surfaces;
    default:
        return 0;
    }
}

size_t ostrel_warning_count(const ostrel_import* import) {
    return import != nullptr ? import->warnings.size() : 0;
}

const char* ostrel_warning(const ostrel_import* import, size_t i) {
    return import != nullptr && i < import->warnings.size() ? import->warnings[i].c_str() : "";
}

size_t ostrel_point_count(const ostrel_import* import) {
    return import != nullptr ? import->points.size() / 3 : 0;
}

const float* ostrel_points(const ostrel_import* import) {
    return import != nullptr ? DataOf(import->points) : nullptr;
}

size_t ostrel_polygon_count(const ostrel_import* import) {
    return import != nullptr ? import->polygonSizes.size() : 0;
}

const uint32_t* ostrel_polygon_sizes(const ostrel_import* import) {
    return import != nullptr ? DataOf(import->polygonSizes) : nullptr;
}

const uint32_t* ostrel_polygon_surfaces(const ostrel_import* import) {
    return import != nullptr ? DataOf(import->polygonSurfaces) : nullptr;
}

size_t ostrel_corner_count(const ostrel_import* import) {
    return import != nullptr ? import->corners.size() : 0;
}

const uint32_t* ostrel_corners(const ostrel_import* import) {
    return import != nullptr ? DataOf(import->corners) : nullptr;
}

size_t ostrel_surface_count(const ostrel_import* import) {
    return import != nullptr ? import->surfaces.size() : 0;
}

int ostrel_surface_at(const ostrel_import* import, size_t i, ostrel_surface* out) {
    if (import == nullptr || out == nullptr || i >= import->surfaces.size())
        return 0;
    const engine::SurfaceRecord& s = import->surfaces[i];
    const ExportSurface& a = s.attributes;
    out->name = s.name.c_str();
    out->nameBytes = s.nameBytes.data();
    out->nameSize = s.nameBytes.size();
    out->hasBlock = s.hasBlock;
    out->red = a.red;
    out->green = a.green;
    out->blue = a.blue;
    out->smooth = a.smooth;
    out->doubleSided = a.doubleSided;
    out->smoothingAngle = a.smoothingAngle;
    out->diffuse = static_cast<float>(a.diffuse) / 256.0f;
    out->transparency = static_cast<float>(a.transparency) / 256.0f;
    out->specular = static_cast<float>(a.specular) / 256.0f;
    out->glossiness = static_cast<float>(a.glossiness) / 256.0f;
    return 1;
}

const float* ostrel_corner_normals(const ostrel_import* import) {
    return import != nullptr ? DataOf(import->cornerNormals) : nullptr;
}

size_t ostrel_triangle_count(const ostrel_import* import) {
    return import != nullptr ? import->triangles.size() / 3 : 0;
}

const uint32_t* ostrel_triangles(const ostrel_import* import) {
    return import != nullptr ? DataOf(import->triangles) : nullptr;
}

size_t ostrel_file_count(const ostrel_import* import) {
    return import != nullptr ? import->files.size() : 0;
}

const char* ostrel_solid_line(const ostrel_import* import) {
    return import != nullptr ? import->solidLine.c_str() : "";
}

const char* ostrel_file_name(const ostrel_import* import, size_t i) {
    return import != nullptr && i < import->files.size() ? import->files[i].name.c_str() : "";
}

const void* ostrel_file_bytes(const ostrel_import* import, size_t i, size_t* size) {
    if (import == nullptr || i >= import->files.size()) {
        if (size != nullptr)
            *size = 0;
        return nullptr;
    }
    if (size != nullptr)
        *size = import->files[i].bytes.size();
    return import->files[i].bytes.data();
}

} // extern "C"
