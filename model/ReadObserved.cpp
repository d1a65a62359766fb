// The reader with an observer (Reader<true>): ReadModelFile telling one and
// CheckModelFile, its sections made from ReadSections.h and ReadFaces.h. An
// object file of its own, with what it does off the usual path
// (ReadNotices.cpp): the plug-in's reading (ReadModelFile.cpp) names
// neither, so the module links neither.
#include "model/ReadSections.h"

ReadResult ReadModelFile(ByteSource& source, ModelTables& tables, int32_t* suggestedLoadTarget,
                         int32_t* suggestedDoubleSided, const ReadObserver* observer) {
    if (observer == nullptr) {
        return ReadModelFile(source, tables, suggestedLoadTarget, suggestedDoubleSided);
    }
    return ReadOrCheck<true>(source, tables, suggestedLoadTarget, suggestedDoubleSided, observer,
                             true);
}

ReadResult CheckModelFile(ByteSource& source, ModelTables& tables, const ReadObserver& observer) {
    return ReadOrCheck<true>(source, tables, nullptr, nullptr, &observer, false);
}
