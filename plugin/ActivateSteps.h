// One activation, start to end, for the host's ImportRecord (Activate.cpp)
// and for the converter's WideImportRecord (ActivateWide.cpp): the same
// steps, the same reader, panel and geometry; only the width of the point
// numbers handed over differs, and whether the reader has an observer. Each
// entry's file includes this header once, and what differs is chosen on the
// record when that file is compiled: the module's entry names neither the
// reader with an observer nor the 32-bit build, so the module the host loads
// links none of the converter's code.
#pragma once

#include "mesh/Mesh.h"
#include "plugin/Plugin.h"

#include <cstdio>
#include <type_traits>

namespace {

template <typename Record> Record* RecordOf(void* context) {
    return static_cast<Record*>(context);
}

// ObjectSink thunks onto the record's import callbacks.
template <typename Record> void SinkStartObject(void* c) {
    RecordOf<Record>(c)->startObject(RecordOf<Record>(c)->hostData, nullptr);
}
template <typename Record> void SinkDeclarePointCount(void* c, int32_t count) {
    RecordOf<Record>(c)->declarePointCount(RecordOf<Record>(c)->hostData, count);
}
template <typename Record> void SinkAddPoint(void* c, const float* xyz) {
    RecordOf<Record>(c)->addPoints(RecordOf<Record>(c)->hostData, 1, xyz);
}
template <typename Record> int32_t SinkLookupSurface(void* c, const char* name) {
    return RecordOf<Record>(c)->lookupSurface(RecordOf<Record>(c)->hostData, name, nullptr);
}
template <typename Record, typename PointNumber>
void SinkAddPolygon(void* c, int32_t vertexCount, int32_t surface, const PointNumber* points) {
    RecordOf<Record>(c)->addPolygon(RecordOf<Record>(c)->hostData, vertexCount, surface, nullptr,
                                    points);
}
template <typename Record>
void SinkStoreSurfaceData(void* c, const char* name, int32_t byteCount,
                          const unsigned char* block) {
    RecordOf<Record>(c)->storeSurfaceData(RecordOf<Record>(c)->hostData, name, byteCount, block);
}

// The point numbers the record's addPolygon takes: 32-bit for the
// converter's, the host's 16-bit otherwise.
template <typename Record>
using PointNumberOf =
    std::conditional_t<std::is_same_v<Record, WideImportRecord>, uint32_t, uint16_t>;

template <typename Record> ObjectSink SinkFor(Record* record) {
    ObjectSink sink{record,
                    &SinkStartObject<Record>,
                    &SinkDeclarePointCount<Record>,
                    &SinkAddPoint<Record>,
                    &SinkLookupSurface<Record>,
                    nullptr,
                    nullptr,
                    &SinkStoreSurfaceData<Record>};
    if constexpr (std::is_same_v<PointNumberOf<Record>, uint32_t>) {
        sink.addWidePolygon = &SinkAddPolygon<Record, uint32_t>;
    } else {
        sink.addPolygon = &SinkAddPolygon<Record, uint16_t>;
    }
    return sink;
}

// The converter's record says when memory, not the file, failed the
// import; the host's has no word for it.
// The code page the converter's record names for a name that is not UTF-8;
// the host's names none (0: the plug-in's own rule).
template <typename Record> uint32_t NameCodePage(const Record* record) {
    if constexpr (std::is_same_v<Record, WideImportRecord>) {
        return record->codePage;
    } else {
        (void)record;
        return 0;
    }
}

template <typename Record> void NoteOutOfMemory(Record* record, bool outOfMemory) {
    if constexpr (std::is_same_v<Record, WideImportRecord>) {
        record->outOfMemory = outOfMemory ? 1 : 0;
    } else {
        (void)record;
        (void)outOfMemory;
    }
}

// What one activation works on: the tables it reads into and the
// statistics line its panel shows (the module's globals, or the
// converter's own of each activation), and whom the reader tells what it
// leaves out (the converter's only).
struct Workspace {
    ModelTables& tables;
    SummaryText& summary;
    const ReadObserver* observer;
};

// The module reads without an observer, the host has none to offer: its
// entry names only the reader that tells nothing.
template <typename Record>
ReadResult ReadModel(ByteSource& source, Workspace& work, ImportOptions& options) {
    if constexpr (std::is_same_v<Record, WideImportRecord>) {
        return ReadModelFile(source, work.tables, &options.loadTarget, &options.doubleSided,
                             work.observer);
    } else {
        return ReadModelFile(source, work.tables, &options.loadTarget, &options.doubleSided);
    }
}

// Steps after the file is open; the caller empties the tables afterwards.
template <typename Record>
int32_t Activate(GlobalLookupFn globalLookup, Record* record, ByteSource& source, Workspace& work) {
    ImportOptions options{};
    const char* path = record->sourcePath != nullptr ? record->sourcePath : "";
    DeriveBaseName(path, BaseNameLeadBytes(path, NameCodePage(record)), options.surfaceBaseName);
    options.loadTarget = 2;
    options.doubleSided = 1;
    const ReadResult read = ReadModel<Record>(source, work, options);
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
        NoteOutOfMemory(record, !source.error);
        return kActivateHandled;
    }

    auto* services = static_cast<PanelServices*>(globalLookup("LWPanelServices", nullptr));
    if (services == nullptr) {
        return kActivateMissingGlobal;
    }
    if (ShowOptionsPanel(services, globalLookup, options, work.tables, work.summary) ==
        kPanelCancelled) {
        record->status = kImportCancelled;
        return kActivateHandled;
    }

    const ObjectSink sink = SinkFor(record);
    const BuildOptions build{options.loadTarget,     options.surfaceBaseName, options.smooth,
                             options.smoothingAngle, options.colourSet,       options.scale,
                             options.doubleSided};
    // BuildObject allocates all it needs before its first host call: when
    // memory runs out, nothing has been sent.
    BuildObjectWith<PointNumberOf<Record>>(work.tables, build, sink);
    record->status = kImportLoaded;
    return kActivateHandled;
}

// Every way out of an activation leaves the tables empty. Whatever escapes
// (only allocation failure can) must not reach the host.
template <typename Record>
int32_t Guarded(GlobalLookupFn globalLookup, Record* record, ByteSource& source, Workspace& work) {
    int32_t result = kActivateHandled;
    try {
        result = Activate(globalLookup, record, source, work);
    } catch (...) {
        if (source.file != nullptr) {
            std::fclose(source.file);
            source.file = nullptr;
        }
        record->status = kImportOpenFailed;
        NoteOutOfMemory(record, true); // only memory can fail past the reading
    }
    ReleaseModel(work.tables);
    return result;
}

// Opens the file the record names and activates; a file that cannot be
// opened is reported in the record.
template <typename Record>
int32_t ActivateFromFile(GlobalLookupFn globalLookup, Record* record, Workspace& work) {
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
    return Guarded(globalLookup, record, source, work);
}

} // namespace
