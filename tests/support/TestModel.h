// Shared by the core tests: load model text from memory, and the one
// invariant checker every loaded result goes through.
#pragma once

#include "mesh/Mesh.h"
#include "model/Model.h"
#include "tests/support/ModelInvariants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// What the reader and the grouping promise (tables within their counts,
// every stored index in range, faces placed exactly once, marks still
// clear) is checked by the one checker the fuzzers use too.
inline void CheckModelInvariants(const ModelTables& t) {
    EXPECT_EQ(CheckTables(t), "");
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
