// What converting each model file writes, settled and checked before the
// model is imported: the output's name, the OBJ's material library beside
// it, and the rule that no output ever lands on a model file of the run (as
// the same file, whatever the spelling: hard links and symbolic links
// included) or on an output this run already wrote.
#pragma once

#include "cli/Options.h"
#include "convert/Formats.h"
#include "platform/FileSystem.h"

#include <string>
#include <vector>

struct OutputPlan {
    std::string path; // empty: nothing is written; "-": standard output
    ExportFormat format = ExportFormat::Lwob;
    std::string mtlPath;     // OBJ: its material library; otherwise empty
    bool mtlRenamed = false; // the MTL is not simply the OBJ's name with .mtl
};

// `stem`: the --out-dir output's name without extension (empty: the model's).
OutputPlan PlanOutput(const HostOptions& options, const std::string& model,
                      const std::string& stem = "");

// --out-dir: the output name of `model` in a batch that has given the names
// `taken` (lowercase, added to here): `subfolder` (the model's folder below
// the folder given, "a/b/", or "") and the model's base name without its
// extension. When a model of the same name in the same sub-folder came
// before (compared without case, as Windows and macOS compare names), the
// name gets "-2", "-3", ...: the first one not taken.
std::string DistinctStem(const std::string& model, std::vector<std::string>& taken,
                         const std::string& subfolder = "");

// A file the run must not write over, and what it is to the user.
struct GuardedFile {
    std::string path;
    FileIdentity identity;
    std::string owner; // the model file that wrote it; empty for a model file itself
};

// The model files that exist (the others cannot be overwritten).
std::vector<GuardedFile> IdentifyModelFiles(const std::vector<std::string>& models);

// "" when `path` may be written; otherwise the reason, naming the clash.
// `what` names the file for the message ("the output", "the trace", ...).
std::string CheckNotGuarded(const std::string& path, const std::string& what,
                            const std::vector<GuardedFile>& guarded);

// "" when the plan may go ahead: each of its files can be written in its way
// (see OutputFile.h) and none is a model file or was written before in this
// run. Otherwise one line naming the files concerned.
std::string CheckOutputPlan(const OutputPlan& plan, const std::vector<GuardedFile>& models,
                            const std::vector<GuardedFile>& written);

// Adds the plan's files, just written for `model`, to `written`.
void RememberWritten(const OutputPlan& plan, const std::string& model,
                     std::vector<GuardedFile>& written);

// --out-dir, before anything is imported: true when `dir` is a folder, or
// is missing (`missing` set) and could be made: the nearest folder above it
// that exists is a folder. False with one line otherwise.
bool CheckOutDir(const std::string& dir, bool& missing, std::string& error);

// --out-dir: makes `dir` (with its parents) when it is missing, once an
// output is about to be written there. False with one line when it cannot.
bool MakeOutDir(const std::string& dir, std::string& error);
