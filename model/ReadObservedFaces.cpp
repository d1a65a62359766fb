// The face and line-list sections of the reader with an observer (the
// bodies are in ReadFaces.h): beside ReadObserved.cpp, in a file of their own
// as the reader without one has them (ReadFaces.cpp).
#include "model/ReadFaces.h"

bool ReadFaces(Reader<true>& in, ModelTables& t, FaceNames& overflow) {
    return ReadFaceSection(in, t, overflow);
}

bool ReadLineList(Reader<true>& in, ModelTables& t, FaceNames& overflow) {
    return ReadLineListSection(in, t, overflow);
}
