// Stands in for the glTF writer in builds made without tinygltf's headers.
#include "standin/Export.h"

const bool kGlbAvailable = false;

bool WriteGlb(const ReceivedModel&, std::string&, std::string& error) {
    error = kGlbUnavailable;
    return false;
}
