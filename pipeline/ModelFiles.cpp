#include "pipeline/ModelFiles.h"

#include "platform/TextCodec.h"

#include <algorithm>

bool IsModelFileName(const std::string& name) {
    const size_t start = name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1;
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > start && AsciiLowercase(name.substr(dot + 1)) == "rk4";
}

bool NameBefore(std::string_view a, std::string_view b) {
    const std::string la = AsciiLowercase(std::string(a)), lb = AsciiLowercase(std::string(b));
    return la != lb ? la < lb : a < b;
}

namespace {

// Path order: part by part; where one path's folder ends, its own files
// come before its sub-folders'.
bool PathBefore(std::string_view a, std::string_view b) {
    for (;;) {
        const size_t endA = a.find('/'), endB = b.find('/');
        const std::string_view partA = a.substr(0, endA), partB = b.substr(0, endB);
        const bool fileA = endA == std::string_view::npos, fileB = endB == std::string_view::npos;
        if (fileA != fileB)
            return fileA;
        if (partA != partB || fileA)
            return NameBefore(partA, partB);
        a.remove_prefix(endA + 1);
        b.remove_prefix(endB + 1);
    }
}

} // namespace

std::vector<size_t> FolderModelFiles(const std::vector<std::string>& names, bool withSubfolders) {
    std::vector<size_t> found;
    for (size_t i = 0; i < names.size(); ++i) {
        if ((withSubfolders || names[i].find('/') == std::string::npos) &&
            IsModelFileName(names[i]))
            found.push_back(i);
    }
    std::sort(found.begin(), found.end(),
              [&names](size_t a, size_t b) { return PathBefore(names[a], names[b]); });
    return found;
}
