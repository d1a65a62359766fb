// Stands in for the glTF writer in builds made without tinygltf's headers.
#include "standin/Export.h"

bool GlbWriterBuiltIn() {
    return false;
}

bool WriteGlb(const ReceivedModel&, std::string&, std::string& error) {
    error = "this ostrel was built without glTF output (install libtinygltf-dev and "
            "nlohmann-json3-dev, then rebuild)";
    return false;
}
