// A format's files formed in memory, as the tests want them: the main file's
// bytes (and an OBJ's material library), names decoded from Shift-JIS.
#pragma once

#include "convert/Formats.h"
#include "platform/TextCodec.h"

#include <string>
#include <vector>

inline bool FormFile(const ReceivedModel& model, ExportFormat format, std::string& bytes,
                     std::string& error) {
    std::vector<OutputFile> files;
    const std::string name = std::string("x.") + FormatExtension(format);
    if (!FormFiles(model, format, name, kShiftJisCodePage, files, error))
        return false;
    bytes = files.back().bytes;
    return true;
}

inline bool FormObj(const ReceivedModel& model, std::string& obj, std::string& mtl,
                    std::string& error) {
    std::vector<OutputFile> files;
    if (!FormFiles(model, ExportFormat::Obj, "x.obj", kShiftJisCodePage, files, error))
        return false;
    mtl = files.at(0).bytes;
    obj = files.at(1).bytes;
    return true;
}
