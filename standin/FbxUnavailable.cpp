// Stands in for the FBX writer in builds made without the assimp library.
#include "standin/Export.h"

const bool kFbxAvailable = false;

bool WriteFbx(const ReceivedModel&, std::string&, std::string& error) {
    error = kFbxUnavailable;
    return false;
}
