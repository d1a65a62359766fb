#include "cli/ModelList.h"

#include "cli/Paths.h"
#include "pipeline/ModelFiles.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

// A folder reached through a wildcard has at most this many names tried
// below it: enough for any diagnosis, and no walk over a whole disk.
constexpr size_t kMostCandidates = 1000;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Sub-folders in the order of the model files (FolderModelFiles).
bool EntryBefore(const FolderEntry& a, const FolderEntry& b) {
    return NameBefore(a.name, b.name);
}

// Adds the model files of `folder` (and of its sub-folders with
// `recursive`) to `out`, and to `below` the folder they are in below the one
// given (`relative`). `seen`: the folders already listed, so that a link
// back up the tree ends the walk.
void AddModelFiles(const std::string& folder, const std::string& relative, bool recursive,
                   std::vector<FileIdentity>& seen, std::vector<std::string>& out,
                   std::vector<std::string>& below) {
    FileIdentity id;
    if (IdentifyFile(folder, id)) {
        if (std::find(seen.begin(), seen.end(), id) != seen.end())
            return;
        seen.push_back(id);
    }
    std::vector<FolderEntry> entries;
    std::string error;
    if (!ListFolder(folder, entries, error))
        return; // the folder stays unexpanded, and its import says why
    // The model files by the rule every front end shares.
    std::vector<std::string> files;
    for (const FolderEntry& entry : entries) {
        if (entry.kind == PathKind::Regular)
            files.push_back(entry.name);
    }
    for (size_t i : FolderModelFiles(files)) {
        out.push_back(InFolder(folder, files[i]));
        below.push_back(relative);
    }
    if (!recursive)
        return;
    std::sort(entries.begin(), entries.end(), EntryBefore);
    for (const FolderEntry& entry : entries) {
        if (entry.kind == PathKind::Directory)
            AddModelFiles(InFolder(folder, entry.name), relative + entry.name + "/", true, seen,
                          out, below);
    }
}

// The first part of `path` that, read as a wildcard, matches a name holding
// '?' (one the code page could not spell: no Windows name holds a '?'), or
// "". `last` tells whether that part is the file's own name.
std::string UnspellablePart(const std::string& path, bool& last) {
    std::vector<std::string> folders{""}; // what the parts so far match, each with its separator
    for (size_t start = 0;;) {
        const size_t end = std::min(path.find_first_of(kSeparators, start), path.size());
        const std::string part = path.substr(start, end - start);
        const std::string separator = path.substr(end, end < path.size() ? 1 : 0);
        last = end == path.size();
        std::vector<std::string> matched;
        for (const std::string& folder : folders) {
            if (part.find_first_of("?*") == std::string::npos) {
                matched.push_back(folder + part + separator);
                continue;
            }
            std::vector<FolderEntry> entries;
            std::string error;
            if (!ListFolder(folder.empty() ? "." : folder, entries, error))
                continue;
            for (const FolderEntry& entry : entries) {
                if (!MatchesWildcard(entry.name, part))
                    continue;
                if (entry.name.find('?') != std::string::npos)
                    return part;
                if (matched.size() < kMostCandidates)
                    matched.push_back(folder + entry.name + separator);
            }
        }
        if (last || matched.empty())
            return "";
        folders = std::move(matched);
        start = end + 1;
    }
}

} // namespace

bool IsFolderPath(const std::string& path) {
    // "path/." is the folder itself, through a link too; a file there is not.
    return !path.empty() && path != "-" && PathKindOf(InFolder(path, ".")) == PathKind::Directory;
}

bool MatchesWildcard(const std::string& name, const std::string& pattern) {
    // Greedy with one step back: a '*' retried one byte further on mismatch.
    size_t n = 0, p = 0, starAt = std::string::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> ExpandModelFolders(const std::vector<std::string>& given, bool recursive,
                                            std::vector<std::string>* subfolders) {
    std::vector<std::string> models;
    std::vector<std::string> below;
    for (const std::string& path : given) {
        const size_t before = models.size();
        if (IsFolderPath(path)) {
            std::vector<FileIdentity> seen;
            AddModelFiles(path, "", recursive, seen, models, below);
        }
        if (models.size() == before) {
            models.push_back(path);
            below.emplace_back();
        }
    }
    if (subfolders != nullptr)
        *subfolders = std::move(below);
    return models;
}

std::string ModelPathProblem(const std::string& model, bool recursive,
                             bool namesMayHoldQuestionMarks, int codePage) {
    if (IsFolderPath(model)) {
        std::vector<FolderEntry> entries;
        std::string error;
        if (!ListFolder(model, entries, error))
            return "cannot read the folder (" + error + ")";
        return recursive ? "a folder without model files (.rk4), its sub-folders included"
                         : "a folder without model files (.rk4) directly inside it (--recursive "
                           "looks in its sub-folders too)";
    }
    if (namesMayHoldQuestionMarks || model.find_first_of("?*") == std::string::npos ||
        PathKindOf(model) != PathKind::Missing)
        return "";
    bool last = false;
    const std::string part = UnspellablePart(model, last);
    if (part.empty())
        return "no such file: no file matches this pattern";
    const std::string what = last ? "file" : "folder";
    const std::string page = std::to_string(codePage);
    return "cannot open: the " + what + " name \"" + part +
           "\" has characters that the system's code page (" + page +
           ") cannot spell, passed to programs as '?' (rename the " + what +
           " with letters of code page " + page + ", or drop " + (last ? "it" : "the files") +
           " on ostrel.html, which reads any name)";
}
