#include "cli/OutputFile.h"

#include "platform/FileSystem.h"

namespace {

std::string Reason(const std::string& path, const char* what, const std::string& why) {
    return path + ": " + what + " (" + why + ")";
}

} // namespace

bool ResolveOutput(const std::string& path, ResolvedOutput& out, std::string& error) {
    if (path == "-") {
        out = {path, OutputWay::StandardOutput};
        return true;
    }
    std::string why;
    if (!FollowLinks(path, out.path, why)) {
        error = Reason(path, "cannot follow the link", why);
        return false;
    }
    switch (PathKindOf(out.path)) {
    case PathKind::Missing:
    case PathKind::Regular: {
        // The temporary file goes into the same folder, which must be there:
        // said before the import rather than after it. "folder/." is the
        // folder itself, through any link on the way.
        const std::string folder = out.path.substr(0, NameStart(out.path));
        if (!folder.empty() && PathKindOf(folder + ".") != PathKind::Directory) {
            error = Reason(path, "cannot write", "no folder " + folder);
            return false;
        }
        out.way = OutputWay::Replace;
        return true;
    }
    case PathKind::CharacterDevice:
    case PathKind::Fifo:
        out.way = OutputWay::WriteInto;
        return true;
    case PathKind::Directory:
        error = path + " is a folder, not a file";
        return false;
    case PathKind::SymbolicLink:
    case PathKind::Other:
        break;
    }
    error = path + " is neither a file, a character device nor a FIFO";
    return false;
}

std::string TemporaryPathFor(const std::string& path) {
    const size_t start = NameStart(path);
    return path.substr(0, start) + "." + path.substr(start) + ".part" +
           std::to_string(CurrentProcessId());
}

bool WriteOutputFiles(const std::vector<OutputFile>& files, std::string& error) {
    std::vector<ResolvedOutput> targets(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!ResolveOutput(files[i].name, targets[i], error))
            return false;
    }
    // temporaries[i]: the file waiting to become files[i]; empty when none.
    std::vector<std::string> temporaries(files.size());
    std::vector<std::string> placed;
    auto undo = [&temporaries, &placed]() {
        for (const std::string& t : temporaries) {
            if (!t.empty())
                RemoveFile(t);
        }
        for (const std::string& p : placed)
            RemoveFile(p);
    };
    std::string why;
    for (size_t i = 0; i < files.size(); ++i) {
        if (targets[i].way != OutputWay::Replace)
            continue;
        temporaries[i] = TemporaryPathFor(targets[i].path);
        if (!WriteNewFile(temporaries[i], files[i].bytes, why)) {
            error = Reason(files[i].name, "cannot write", why);
            undo();
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        bool ok = true;
        switch (targets[i].way) {
        case OutputWay::StandardOutput:
            ok = WriteStandardOutput(files[i].bytes, why);
            break;
        case OutputWay::WriteInto:
            ok = WriteIntoExisting(targets[i].path, files[i].bytes, why);
            break;
        case OutputWay::Replace:
            ok = MoveIntoPlace(temporaries[i], targets[i].path, why);
            if (ok) {
                temporaries[i].clear();
                placed.push_back(targets[i].path);
            }
            break;
        }
        if (!ok) {
            error = Reason(
                files[i].name,
                targets[i].way == OutputWay::Replace ? "cannot put in place" : "cannot write", why);
            undo();
            return false;
        }
    }
    return true;
}
