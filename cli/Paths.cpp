#include "cli/Paths.h"

#include "convert/Formats.h"
#include "platform/FileSystem.h"

namespace {

// Where the extension's dot is, or npos.
size_t ExtensionDot(const std::string& path) {
    const size_t start = NameStart(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= start)
        return std::string::npos;
    return dot;
}

} // namespace

std::string ExtensionOf(const std::string& path) {
    const size_t dot = ExtensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string WithoutExtension(const std::string& path) {
    return path.substr(0, ExtensionDot(path));
}

std::string BaseName(const std::string& path) {
    return path.substr(NameStart(path));
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, NameStart(path));
}

std::string InFolder(const std::string& folder, const std::string& name) {
#ifdef _WIN32
    constexpr char kSeparator = '\\';
#else
    constexpr char kSeparator = '/';
#endif
    return NameStart(folder) != folder.size() ? folder + kSeparator + name : folder + name;
}

std::string MtlPathFor(const std::string& objPath) {
    return FolderOf(objPath) + MaterialLibraryName(BaseName(objPath));
}
