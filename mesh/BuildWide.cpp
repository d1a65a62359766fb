// The object sent with 32-bit point numbers, the converter's (the bodies are
// in BuildObject.h): a file of its own, which the module never links.
#include "mesh/BuildObject.h"

bool ChainFaceLines(ModelTables& t, const FaceRecord& face, std::vector<uint32_t>& vertexList,
                    ChainScratch& scratch) {
    return ChainLoop(t, face, vertexList, scratch);
}

void OrientFace(ModelTables& t, const FaceRecord& face, std::vector<uint32_t>& vertexList) {
    OrientLoop(t, face, vertexList);
}

template <>
void BuildObjectWith<uint32_t>(ModelTables& t, const BuildOptions& options,
                               const ObjectSink& sink) {
    BuildWith<uint32_t>(t, options, sink);
}
