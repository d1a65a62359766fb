// The C interface over the pipeline's entry point: the plug-in linked in,
// started and shut down around each import (nothing lives between calls),
// one RunImport per call, its outcome copied into flat arrays a caller in
// another language can view without a copy.
//
// No exception leaves a call: memory running out anywhere is the outcome
// OSTREL_OUT_OF_MEMORY, which needs no allocation to report.
#include "engine/ostrel.h"

#include "pipeline/Pipeline.h" // and through it the panel model, surfaces and text codec

#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

extern "C" const ModuleDescriptor ostrel_wide_descrip;

struct ostrel_request {
    PanelEdits edits;
    bool cancel = false;
    bool readWarnings = true;
    bool keepObject = true;
    bool shading = false;
    unsigned codePage = kShiftJisCodePage;
    std::optional<ExportFormat> format;
    uint32_t pictureSize = kPictureDefaultSize;
};

namespace {

constexpr const char* kOutOfMemory = "not enough memory";
constexpr int kEdits = 7;

struct Proposal {
    bool given = false;
    double number = 0;
    std::string text;
};

struct SurfaceRecord {
    std::string name;
    std::string nameBytes;
    bool hasBlock = false;
    ExportSurface attributes;
};

struct OutputRecord {
    std::string name;
    std::string bytes;
};

} // namespace

struct ostrel_import {
    int result = OSTREL_LOADED;
    std::string reason;
    const char* fixedReason = nullptr; // wins over `reason`: set when memory ran out
    std::string statistics;
    ReceivedCounts counts;
    std::vector<std::string> warnings;
    Proposal proposals[kEdits];
    std::vector<float> points;
    std::vector<uint32_t> polygonSizes;
    std::vector<uint32_t> polygonSurfaces;
    std::vector<uint32_t> corners;
    std::vector<SurfaceRecord> surfaces;
    std::vector<float> cornerNormals;
    std::vector<uint32_t> triangles;
    std::vector<OutputRecord> files;
};

namespace {

const PanelRole kRoleOfEdit[kEdits] = {PanelRole::Load,       PanelRole::Colour, PanelRole::Scale,
                                       PanelRole::Name,       PanelRole::Smooth, PanelRole::Angle,
                                       PanelRole::DoubleSided};

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
    }
    return OSTREL_REFUSED;
}

// The three-way choices and the switches take whole numbers in range.
bool ChoiceIn(double value, double last, int32_t& out) {
    if (!(value >= 0 && value <= last) || value != std::floor(value))
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

void KeepProposals(const PanelModel& built, unsigned codePage, ostrel_import& out) {
    PanelModel panel = built; // FindRoleControl looks through a model it may change
    for (int edit = 0; edit < kEdits; ++edit) {
        const ControlModel* control = FindRoleControl(panel, kRoleOfEdit[edit]);
        if (control == nullptr)
            continue;
        Proposal& p = out.proposals[edit];
        p.given = true;
        switch (control->value.type) {
        case PanelValueType::Int:
            p.number = control->value.i;
            break;
        case PanelValueType::Float:
            p.number = control->value.d;
            break;
        case PanelValueType::Text:
            p.text = NameAsUtf8(control->value.text, codePage);
            break;
        }
    }
}

void KeepWarnings(const ImportOutcome& outcome, const std::string& name, ostrel_import& out) {
    out.warnings = outcome.warnings;
    for (PanelRole role : outcome.editsWithoutControl)
        out.warnings.push_back(std::string("the panel has no ") + RoleControlName(role) +
                               " control; the edit is not applied");
    for (std::string& line : WarningLines(outcome.readWarnings, name))
        out.warnings.push_back(std::move(line));
    if (outcome.panelLeftOpen)
        out.warnings.push_back("the plug-in did not destroy its panel");
}

void KeepObject(const ImportOutcome& outcome, unsigned codePage, ostrel_import& out) {
    const ReceivedModel& model = outcome.received;
    out.points.reserve(3 * model.points.size());
    for (const ReceivedPoint& p : model.points) {
        out.points.push_back(p.x);
        out.points.push_back(p.y);
        out.points.push_back(p.z);
    }
    size_t cornerCount = 0;
    for (const ReceivedPolygon& polygon : model.polygons)
        cornerCount += polygon.points.size();
    out.polygonSizes.reserve(model.polygons.size());
    out.polygonSurfaces.reserve(model.polygons.size());
    out.corners.reserve(cornerCount);
    for (const ReceivedPolygon& polygon : model.polygons) {
        out.polygonSizes.push_back(static_cast<uint32_t>(polygon.points.size()));
        out.polygonSurfaces.push_back(static_cast<uint32_t>(SurfaceSlot(polygon.surface)));
        out.corners.insert(out.corners.end(), polygon.points.begin(), polygon.points.end());
    }
    for (const ExportSurface& surface : ExportSurfaces(model)) {
        SurfaceRecord record;
        record.name = NameAsUtf8(surface.name, codePage);
        record.nameBytes = surface.name;
        record.hasBlock = surface.block != nullptr;
        record.attributes = surface;
        record.attributes.block = nullptr; // the received model goes with the outcome
        out.surfaces.push_back(std::move(record));
    }
}

void Run(const ostrel_request& r, const char* name, const void* bytes, size_t size,
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
    request.panel.edits = r.edits;
    request.format = r.format;
    request.codePage = r.codePage;
    request.pictureSize = r.pictureSize;
    // The pipeline reads them beside the import where the build has threads.
    request.readWarnings = r.readWarnings && !r.cancel;
    request.keepReceived = r.keepObject;
    request.shading = r.shading;
    ImportOutcome outcome = RunImport(request);
    UnloadModule(module);

    out.result = ResultCode(outcome.result);
    out.reason = std::move(outcome.reason);
    out.statistics = NameAsUtf8(outcome.statistics, r.codePage);
    out.counts = outcome.counts;
    KeepWarnings(outcome, request.modelName, out);
    if (outcome.panel)
        KeepProposals(*outcome.panel, r.codePage, out);
    if (outcome.result != ImportResult::Loaded)
        return;
    if (r.keepObject || r.shading)
        KeepObject(outcome, r.codePage, out);
    out.cornerNormals = std::move(outcome.cornerNormals);
    out.triangles = std::move(outcome.triangles);
    for (OutputFile& file : outcome.files)
        out.files.push_back({std::move(file.name), std::move(file.bytes)});
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

int ostrel_request_edit_number(ostrel_request* request, int edit, double value) {
    if (request == nullptr || !std::isfinite(value))
        return 0;
    PanelEdits& e = request->edits;
    int32_t choice = 0;
    switch (edit) {
    case OSTREL_EDIT_LOAD:
        return ChoiceIn(value, OSTREL_LOAD_BOTH, choice) ? (e.loadTarget = choice, 1) : 0;
    case OSTREL_EDIT_COLOURS:
        return ChoiceIn(value, OSTREL_COLOURS_DARK, choice) ? (e.colourSet = choice, 1) : 0;
    case OSTREL_EDIT_SMOOTH:
        return ChoiceIn(value, 1, choice) ? (e.smooth = choice, 1) : 0;
    case OSTREL_EDIT_DOUBLE_SIDED:
        return ChoiceIn(value, 1, choice) ? (e.doubleSided = choice, 1) : 0;
    case OSTREL_EDIT_SCALE:
        e.scale = value;
        return 1;
    case OSTREL_EDIT_ANGLE:
        e.angle = value;
        return 1;
    default:
        return 0;
    }
}

int ostrel_request_edit_text(ostrel_request* request, int edit, const char* bytes,
                             size_t size) try {
    if (request == nullptr || edit != OSTREL_EDIT_NAME || (bytes == nullptr && size != 0))
        return 0;
    request->edits.name = std::string(bytes == nullptr ? "" : bytes, size);
    return 1;
} catch (const std::exception&) {
    return 0;
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
        Run(request != nullptr ? *request : defaults, name, bytes, size, *out);
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

int ostrel_proposal(const ostrel_import* import, int edit, double* number, const char** text) {
    if (import == nullptr || edit < 0 || edit >= kEdits || !import->proposals[edit].given)
        return 0;
    const Proposal& p = import->proposals[edit];
    if (number != nullptr)
        *number = p.number;
    if (text != nullptr)
        *text = p.text.c_str();
    return 1;
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
    const SurfaceRecord& s = import->surfaces[i];
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
