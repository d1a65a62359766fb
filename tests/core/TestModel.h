// Shared by the core tests: load model text from memory, and the one
// invariant checker every loaded result goes through.
#pragma once

#include "mesh/Mesh.h"
#include "model/Model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Checks what the reader and the grouping promise: tables within their
// counts, every stored index in range, faces placed exactly once.
inline void CheckModelInvariants(const ModelTables& t) {
    const int32_t points = PointCount(t), lines = LineCount(t), faces = FaceCount(t);
    for (const LineRecord& l : t.lines) {
        const bool inRange =
            l.pointA >= 1 && l.pointA <= points && l.pointB >= 1 && l.pointB <= points;
        EXPECT_EQ(l.broken, !inRange);
        ASSERT_GE(l.firstFaceRef, 0);
        ASSERT_LE(int64_t{l.firstFaceRef} + l.faceRefCount,
                  static_cast<int64_t>(t.faceRefs.size()));
        for (int32_t i = 0; i < l.faceRefCount; ++i) {
            const int32_t f = LineFaces(t, l)[i];
            ASSERT_TRUE(f >= 0 && f < faces);
        }
        EXPECT_GE(l.faceUseCount, 0);
        EXPECT_LE(l.faceUseCount, l.faceRefCount);
    }
    std::vector<int32_t> placed(static_cast<size_t>(faces), 0);
    for (const FaceRecord& f : t.faces) {
        ASSERT_GE(f.lineCount, 0);
        ASSERT_TRUE(f.colourIndex >= 0 && f.colourIndex < kColourCount);
        ASSERT_LE(int64_t{f.firstLineRef} + f.lineCount,
                  static_cast<int64_t>(t.faceLineRefs.size()));
        for (int32_t i = 0; i < f.lineCount; ++i) {
            const int32_t l = FaceLines(t, f)[i];
            ASSERT_TRUE(l >= 0 && l < lines);
            ASSERT_FALSE(t.lines[static_cast<size_t>(l)].broken);
        }
        ASSERT_TRUE(f.group >= 0 && f.group < GroupCount(t));
    }
    EXPECT_LE(t.lineFaceCount, faces);
    EXPECT_LE(t.lineFaceCount, t.lineEntryCount);
    EXPECT_LE(PaletteCount(t), kMaxPaletteEntries);
    ASSERT_EQ(static_cast<int32_t>(t.faceOrder.size()), faces);
    for (int32_t f : t.faceOrder) {
        ASSERT_TRUE(f >= 0 && f < faces);
        ++placed[static_cast<size_t>(f)];
    }
    for (int32_t n : placed) {
        EXPECT_EQ(n, 1);
    }
    int32_t next = 0;
    for (const FaceGroup& g : t.groups) {
        EXPECT_EQ(g.firstMember, next);
        EXPECT_GT(g.memberCount, 0);
        next += g.memberCount;
    }
    EXPECT_EQ(next, faces);
}

struct LoadedModel {
    ReadResult result = kReadNotModelFile;
    ModelTables tables;
    int32_t loadTarget = -100;
    int32_t doubleSided = -100;
    LoadedModel() = default;
    LoadedModel(const LoadedModel&) = delete;
    LoadedModel& operator=(const LoadedModel&) = delete;
    ~LoadedModel() { ReleaseModel(tables); }
};

// Reads `text` as a model file and checks the invariants of what it read.
inline void LoadModel(const std::string& text, LoadedModel& out) {
    ByteSource source;
    InitMemorySource(source, text.data(), text.size());
    out.result = ReadModelFile(source, out.tables, &out.loadTarget, &out.doubleSided);
    if (out.result == kReadOk) {
        CheckModelInvariants(out.tables);
    }
}
