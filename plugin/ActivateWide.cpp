// The converter's activation entry: the module's steps (ActivateSteps.h)
// over a WideImportRecord, with tables and a statistics line of its own for
// each activation, so that several run at once on different threads.
#include "plugin/ActivateSteps.h"

extern "C" int32_t ActivateWideImport(int32_t version, GlobalLookupFn globalLookup,
                                      void* recordWord) {
    if (version != 1) {
        return kActivateWrongVersion;
    }
    auto* record = static_cast<WideImportRecord*>(recordWord);
    ModelTables tables;
    SummaryText summary{};
    Workspace work{tables, summary, record->readObserver};
    if (record->sourceBytes == nullptr) {
        return ActivateFromFile(globalLookup, record, work);
    }
    ByteSource source;
    InitMemorySource(source, record->sourceBytes, record->sourceSize);
    return Guarded(globalLookup, record, source, work);
}
