// The object sent with the host's 16-bit point numbers (the bodies are in
// BuildObject.h), and the surface names both widths use.
#include "mesh/BuildObject.h"

#include <string>

bool ChainFaceLines(ModelTables& t, const FaceRecord& face, std::vector<uint16_t>& vertexList,
                    ChainScratch& scratch) {
    return ChainLoop(t, face, vertexList, scratch);
}

void OrientFace(ModelTables& t, const FaceRecord& face, std::vector<uint16_t>& vertexList) {
    OrientLoop(t, face, vertexList);
}

template <>
void BuildObjectWith<uint16_t>(ModelTables& t, const BuildOptions& options,
                               const ObjectSink& sink) {
    BuildWith<uint16_t>(t, options, sink);
}

std::string SurfaceName(const char* baseName, int32_t colourIndex) {
    return std::string(baseName) + std::to_string(colourIndex);
}
