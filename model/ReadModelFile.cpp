// The plug-in's reading: the reader without an observer, its sections made
// from ReadSections.h. The reader with one is in ReadObserved.cpp, which
// nothing here names.
#include "model/ReadSections.h"

#include <cstring>
#include <vector>

ReadResult ReadMagic(ByteSource& source) {
    unsigned char magic[kModelMagicSize] = {};
    size_t got = ReadBytes(source, magic, sizeof magic);
    if (got >= 1 && magic[0] == 0) {
        SkipBytes(source, kModelHeaderSize - sizeof magic);
        source.eof = false; // a seek clears the indicator
        got = ReadBytes(source, magic, sizeof magic);
    }
    if (got != sizeof magic || std::memcmp(magic, kModelMagic, sizeof magic) != 0) {
        return source.error ? kReadFailed : kReadNotModelFile;
    }
    return kReadOk;
}

ReadResult ReadModelFile(ByteSource& source, ModelTables& tables, int32_t* suggestedLoadTarget,
                         int32_t* suggestedDoubleSided) {
    return ReadOrCheck<false>(source, tables, suggestedLoadTarget, suggestedDoubleSided, nullptr,
                              true);
}

void ReleaseModel(ModelTables& tables) {
    // swap with empties so the memory really goes back
    Table<PointRecord>().swap(tables.points);
    Table<LineRecord>().swap(tables.lines);
    Table<FaceRecord>().swap(tables.faces);
    Table<int32_t>().swap(tables.faceLineRefs);
    Table<int32_t>().swap(tables.faceRefs);
    Table<int32_t>().swap(tables.faceOrder);
    std::vector<PaletteEntry>().swap(tables.palette);
    Table<FaceGroup>().swap(tables.groups);
}
