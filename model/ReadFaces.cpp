// The face and line-list sections of the reader without an observer (the
// bodies are in ReadFaces.h), and what both readers share of them.
#include "model/ReadFaces.h"

bool ReadFaces(Reader<false>& in, ModelTables& t, FaceNames& overflow) {
    return ReadFaceSection(in, t, overflow);
}

bool ReadLineList(Reader<false>& in, ModelTables& t, FaceNames& overflow) {
    return ReadLineListSection(in, t, overflow);
}

// The face lists of the lines named three times or more, gathered from the
// names set aside while reading: each line's names in reading order, one
// list after another in faceRefs, found from the line's faceRef[0].
void GatherFaceRefs(ModelTables& t, FaceNames& overflow) {
    std::stable_sort(overflow.begin(), overflow.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    CheckRoom(t.faceRefs, overflow.size());
    t.faceRefs.assign(overflow.size(), 0);
    for (size_t i = 0; i < overflow.size(); ++i) {
        const auto [lineIndex, faceIndex] = overflow[i];
        if (i == 0 || overflow[i - 1].first != lineIndex) {
            t.lines[static_cast<size_t>(lineIndex)].faceRef[0] = static_cast<int32_t>(i);
        }
        t.faceRefs[i] = faceIndex;
    }
    FaceNames().swap(overflow);
}
