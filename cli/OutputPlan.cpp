#include "cli/OutputPlan.h"

#include "cli/OutputFile.h"
#include "cli/Paths.h"
#include "platform/TextCodec.h"

#include <algorithm>

std::string DistinctStem(const std::string& model, std::vector<std::string>& taken,
                         const std::string& subfolder) {
    const std::string stem = subfolder + BaseName(WithoutExtension(model));
    std::string name = stem;
    for (int n = 2; std::find(taken.begin(), taken.end(), AsciiLowercase(name)) != taken.end(); ++n)
        name = stem + "-" + std::to_string(n);
    taken.push_back(AsciiLowercase(name));
    return name;
}

OutputPlan PlanOutput(const HostOptions& options, const std::string& model,
                      const std::string& stem) {
    OutputPlan plan;
    if (!options.format)
        return plan;
    plan.format = *options.format;
    if (!options.outputPath.empty()) {
        plan.path = options.outputPath;
    } else if (!options.outDir.empty()) {
        plan.path =
            InFolder(options.outDir, (stem.empty() ? BaseName(WithoutExtension(model)) : stem) +
                                         "." + FormatExtension(plan.format));
    } else {
        return plan;
    }
    if (plan.format == ExportFormat::Obj) {
        plan.mtlPath = MtlPathFor(plan.path);
        plan.mtlRenamed = plan.mtlPath != WithoutExtension(plan.path) + ".mtl";
    }
    return plan;
}

std::vector<GuardedFile> IdentifyModelFiles(const std::vector<std::string>& models) {
    std::vector<GuardedFile> files;
    for (const std::string& model : models) {
        FileIdentity id;
        if (model != "-" && IdentifyFile(model, id))
            files.push_back({model, id, ""});
    }
    return files;
}

std::string CheckNotGuarded(const std::string& path, const std::string& what,
                            const std::vector<GuardedFile>& guarded) {
    FileIdentity id;
    if (path == "-" || !IdentifyFile(path, id))
        return "";
    for (const GuardedFile& g : guarded) {
        if (!(g.identity == id))
            continue;
        if (g.owner.empty())
            return what + " " + path + " is the same file as the model file " + g.path;
        const std::string as = g.path == path ? "" : " as " + g.path;
        return what + " " + path + " was already written in this run" + as + ", for " + g.owner;
    }
    return "";
}

std::string CheckOutputPlan(const OutputPlan& plan, const std::vector<GuardedFile>& models,
                            const std::vector<GuardedFile>& written) {
    const struct {
        const std::string& path;
        const char* what;
    } files[] = {{plan.path, "the output"}, {plan.mtlPath, "its material library"}};
    for (const auto& f : files) {
        if (f.path.empty())
            continue;
        ResolvedOutput resolved;
        std::string error;
        if (!ResolveOutput(f.path, resolved, error))
            return error;
        if (plan.format == ExportFormat::Obj && &f.path == &plan.path &&
            resolved.way != OutputWay::Replace)
            return f.path + ": an OBJ cannot go into a device or FIFO (its material library " +
                   "needs a file beside it)";
        std::string clash = CheckNotGuarded(f.path, f.what, models);
        if (clash.empty())
            clash = CheckNotGuarded(f.path, f.what, written);
        if (!clash.empty())
            return clash;
    }
    return "";
}

void RememberWritten(const OutputPlan& plan, const std::string& model,
                     std::vector<GuardedFile>& written) {
    for (const std::string* path : {&plan.path, &plan.mtlPath}) {
        FileIdentity id;
        if (!path->empty() && *path != "-" && IdentifyFile(*path, id))
            written.push_back({*path, id, model});
    }
}

bool CheckOutDir(const std::string& dir, bool& missing, std::string& error) {
    std::string target;
    std::string why;
    if (!FollowLinks(dir, target, why)) {
        error = "--out-dir " + dir + ": cannot follow the link (" + why + ")";
        return false;
    }
    missing = PathKindOf(target) == PathKind::Missing;
    // The nearest part of the path that exists must be a folder for the rest
    // to be made in it ("above/." is that folder, through any link).
    std::string above = target;
    while (!above.empty()) {
        while (above.size() > 1 && NameStart(above) == above.size() && above.back() != ':')
            above.pop_back(); // "a/b/" is "a/b"; a root such as "/" stays
        if (PathKindOf(above) != PathKind::Missing || NameStart(above) == above.size())
            break;
        above.resize(NameStart(above)); // "a/b" to "a/", "b" to "" (the current folder)
    }
    if (above.empty() || PathKindOf(InFolder(above, ".")) == PathKind::Directory)
        return true;
    error = "--out-dir " + dir +
            (above == target ? ": is not a folder"
                             : ": cannot create the folder (" + above + " is not a folder)");
    return false;
}

bool MakeOutDir(const std::string& dir, std::string& error) {
    std::string target;
    std::string why;
    if (FollowLinks(dir, target, why) && CreateFolders(target, why))
        return true;
    error = "--out-dir " + dir + ": cannot create the folder (" + why + ")";
    return false;
}
