#include "mesh/Mesh.h"
#include "plugin/Plugin.h"

#include <cstdio>
#include <cstring>

namespace {

// The model of the current activation. Activations never overlap (the host
// calls them one at a time on its thread), and every activation leaves the
// tables empty.
ModelTables gTables;

// ObjectSink thunks onto the host's import callbacks.
ImportRecord* Record(void* context) {
    return static_cast<ImportRecord*>(context);
}

void SinkStartObject(void* c) {
    Record(c)->startObject(Record(c)->hostData, nullptr);
}
void SinkDeclarePointCount(void* c, int32_t count) {
    Record(c)->declarePointCount(Record(c)->hostData, count);
}
void SinkAddPoint(void* c, const float* xyz) {
    Record(c)->addPoints(Record(c)->hostData, 1, xyz);
}
int32_t SinkLookupSurface(void* c, const char* name) {
    return Record(c)->lookupSurface(Record(c)->hostData, name, nullptr);
}
void SinkAddPolygon(void* c, int32_t vertexCount, int32_t surface, const uint16_t* points) {
    Record(c)->addPolygon(Record(c)->hostData, vertexCount, surface, nullptr, points);
}
void SinkStoreSurfaceData(void* c, const char* name, int32_t byteCount,
                          const unsigned char* block) {
    Record(c)->storeSurfaceData(Record(c)->hostData, name, byteCount, block);
}

// Steps after the file is open; the caller empties the tables afterwards.
int32_t Activate(GlobalLookupFn globalLookup, ImportRecord* record, ByteSource& source) {
    ImportOptions options{};
    DeriveBaseName(record->sourcePath != nullptr ? record->sourcePath : "",
                   SystemLeadBytePredicate(), options.surfaceBaseName);
    options.loadTarget = 2;
    options.doubleSided = 1;
    const ReadResult read =
        ReadModelFile(source, gTables, &options.loadTarget, &options.doubleSided);
    if (source.file != nullptr) {
        std::fclose(source.file);
        source.file = nullptr;
    }
    // The reader may propose a target outside 0..2 (from VIEW0); with it the
    // geometry would send polygons under surfaces it never looked up.
    if (read == kReadOk && (options.loadTarget < 0 || options.loadTarget > 2)) {
        options.loadTarget = 2;
    }
    options.smooth = 1;
    options.smoothingAngle = 44.5;
    options.scale = 8.0;
    options.colourSet = options.loadTarget == 0 ? 0 : 1;

    if (read == kReadNotModelFile) {
        record->status = kImportNotModelFile;
        return kActivateHandled;
    }
    if (read == kReadFailed) {
        record->status = kImportOpenFailed;
        return kActivateHandled;
    }

    auto* services = static_cast<PanelServices*>(globalLookup("LWPanelServices", nullptr));
    if (services == nullptr) {
        return kActivateMissingGlobal;
    }
    if (ShowOptionsPanel(services, globalLookup, options, gTables) == kPanelCancelled) {
        record->status = kImportCancelled;
        return kActivateHandled;
    }

    const ObjectSink sink{
        record,         SinkStartObject,     SinkDeclarePointCount, SinkAddPoint, SinkLookupSurface,
        SinkAddPolygon, SinkStoreSurfaceData};
    const BuildOptions build{options.loadTarget,     options.surfaceBaseName, options.smooth,
                             options.smoothingAngle, options.colourSet,       options.scale,
                             options.doubleSided};
    // BuildObject allocates all it needs before its first host call: when
    // memory runs out, nothing has been sent.
    BuildObject(gTables, build, sink);
    record->status = kImportLoaded;
    return kActivateHandled;
}

// Every way out of an activation leaves the tables empty. Whatever escapes
// (only allocation failure can) must not reach the host.
int32_t Guarded(GlobalLookupFn globalLookup, ImportRecord* record, ByteSource& source) {
    int32_t result = kActivateHandled;
    try {
        result = Activate(globalLookup, record, source);
    } catch (...) {
        if (source.file != nullptr) {
            std::fclose(source.file);
            source.file = nullptr;
        }
        record->status = kImportOpenFailed;
    }
    ReleaseModel(gTables);
    return result;
}

} // namespace

extern "C" int32_t ModuleStartup(void) {
    return 4;
}

extern "C" void ModuleShutdown(void*) {}

extern "C" int32_t ActivateImport(int32_t version, GlobalLookupFn globalLookup, void* recordWord) {
    if (version != 1) {
        return kActivateWrongVersion;
    }
    auto* record = static_cast<ImportRecord*>(recordWord);
    std::FILE* file =
        record->sourcePath != nullptr ? std::fopen(record->sourcePath, "rb") : nullptr;
    if (file == nullptr) {
        record->status = kImportOpenFailed;
        return kActivateHandled;
    }
    ByteSource source;
    try {
        InitFileSource(source, file);
    } catch (...) {
        std::fclose(file);
        record->status = kImportOpenFailed;
        return kActivateHandled;
    }
    return Guarded(globalLookup, record, source);
}

int32_t ActivateImportFromMemory(int32_t version, GlobalLookupFn globalLookup, ImportRecord* record,
                                 const void* data, size_t size) {
    if (version != 1) {
        return kActivateWrongVersion;
    }
    ByteSource source;
    InitMemorySource(source, data, size);
    return Guarded(globalLookup, record, source);
}
