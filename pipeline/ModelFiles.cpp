#include "pipeline/ModelFiles.h"

#include "platform/TextCodec.h"

#include <algorithm>

bool IsModelFileName(const std::string& name) {
    const size_t start = name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1;
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > start && AsciiLowercase(name.substr(dot + 1)) == "rk4";
}

std::vector<size_t> FolderModelFiles(const std::vector<std::string>& names) {
    std::vector<size_t> found;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].find('/') == std::string::npos && IsModelFileName(names[i]))
            found.push_back(i);
    }
    const auto before = [&names](size_t a, size_t b) {
        const std::string la = AsciiLowercase(names[a]), lb = AsciiLowercase(names[b]);
        return la != lb ? la < lb : names[a] < names[b];
    };
    std::sort(found.begin(), found.end(), before);
    return found;
}
