#include "cli/Command.h"

#include "cli/Batch.h"
#include "cli/ExitCodes.h"
#include "cli/ModelList.h"
#include "cli/Options.h"
#include "cli/OutputFile.h"
#include "cli/OutputPlan.h"
#include "cli/Paths.h"
#include "cli/Report.h"
#include "cli/StatusLine.h"
#include "cli/TerminalPanel.h"
#include "cli/Usage.h"
#include "pipeline/Pipeline.h"
#include "platform/FileSystem.h"
#include "platform/ModuleFile.h"
#include "platform/Terminal.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// The converter's own build of the plug-in, linked in (plugin/WideDescriptor.cpp).
extern "C" const ModuleDescriptor ostrel_wide_descrip;

namespace {

// The whole of standard input as bytes. False on a read error.
bool ReadStandardInput(std::string& bytes) {
    MakeStandardInputBinary();
    char block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, stdin)) > 0)
        bytes.append(block, got);
    return !std::ferror(stdin);
}

// What a run keeps from one model file to the next.
struct Run {
    const HostOptions& options;
    // The module, then its copies loaded apart so that imports of several
    // workers run at once; job i imports through modules[i % modules.size()].
    std::vector<const LoadedModule*> modules;
    // The converter's own build, linked in, through which output files are
    // made whole; null when --module names the module to use for all.
    const LoadedModule* converter = nullptr;
    std::FILE* trace = nullptr; // where the trace goes; null: nowhere
    bool traceToStdout = false;
    bool traceWriteFailed = false;
    // Files no output may replace: the model files, and what this run has
    // written (the trace first, then each model file's output).
    std::vector<GuardedFile> modelFiles;
    std::vector<GuardedFile> written;
    size_t warned = 0;                    // model files the reader had warnings about
    std::vector<std::string> damaged;     // damaged model files, in order
    std::vector<std::string> outputStems; // --out-dir: the names given so far
    bool outDirMissing = false;           // --out-dir: made before the first output
};

// The model "-" is standard input, imported as a file named stdin.rk4.
constexpr const char* kStandardInputModel = "stdin.rk4";

ImportRequest RequestFor(const Run& run, const LoadedModule& module, const std::string& model,
                         const std::string& shownName, const OutputPlan& plan,
                         TerminalStreams& streams) {
    const HostOptions& options = run.options;
    ImportRequest request;
    request.module = &module;
    request.converter = run.converter;
    request.modelName = model;
    request.shownName = shownName;
    request.activationVersion = options.activationVersion;
    request.panel.noServices = options.noPanelServices;
    request.panel.noPanel = options.noPanel;
    request.panel.cancel = options.cancel;
    request.panel.screenWidth = options.screenWidth;
    request.panel.screenHeight = options.screenHeight;
    request.panel.edits = options.edits;
    if (options.interactive)
        request.panel.handler = {&OpenTerminalPanel, &streams};
    request.traceStream = run.trace;
    if (!plan.path.empty()) {
        request.format = plan.format;
        request.outputName = BaseName(plan.path);
        request.pictureSize = options.pictureSize.value_or(kPictureDefaultSize);
    }
    request.codePage = SystemCodePage();
    request.readWarnings = !options.quiet || options.strict;
    request.salvage = options.salvage;
    return request;
}

// The outcome's files put where the plan says.
bool WriteFiles(const ImportOutcome& outcome, const OutputPlan& plan, std::string& error) {
    std::vector<OutputFile> files = outcome.files;
    for (OutputFile& file : files)
        file.name = FolderOf(plan.path) + file.name;
    return WriteOutputFiles(files, error);
}

// One model file of a run: planned, imported, then reported.
struct ModelJob {
    std::string model;
    std::string subfolder; // below the folder given, which --out-dir keeps
    // Set when the model file ends before its import (a name that cannot
    // be, an output refused, standard input unreadable): what to say.
    int endedEarly = kExitLoaded;
    std::string failSubject;
    std::string failWhat;
    OutputPlan plan;
    bool stdoutTaken = false;
    TerminalStreams streams{stdin, stdout};
    ImportRequest request;
    std::string bytes; // standard input's
    ImportOutcome outcome;
};

// What a model file ends with before its import, said when it is reported.
void EndEarly(ModelJob& job, int exitCode, const std::string& subject, const std::string& what) {
    job.endedEarly = exitCode;
    job.failSubject = subject;
    job.failWhat = what;
}

// Whether the folder the job's output goes into is still to be made: then
// it holds no file the output could clash with.
bool OutputFolderToBeMade(const Run& run, const ModelJob& job) {
    return run.outDirMissing ||
           (!job.subfolder.empty() && PathKindOf(FolderOf(job.plan.path)) == PathKind::Missing);
}

// Plans a model file's output and forms its import request, through
// `module`; nothing is said here, so that jobs can be prepared ahead of the
// ones still reporting.
void PrepareModel(Run& run, const LoadedModule& module, ModelJob& job) {
    const std::string& model = job.model;
#ifdef _WIN32
    constexpr bool kNamesMayHoldQuestionMarks = false;
#else
    constexpr bool kNamesMayHoldQuestionMarks = true;
#endif
    if (const std::string why = ModelPathProblem(model, run.options.recursive,
                                                 kNamesMayHoldQuestionMarks, SystemCodePage());
        !why.empty()) {
        EndEarly(job, kExitCannotReadModel, model, why);
        return;
    }
    const HostOptions& options = run.options;
    const bool fromStdin = model == "-";
    const std::string modelName = fromStdin ? kStandardInputModel : model;
    job.plan = PlanOutput(
        options, modelName,
        options.outDir.empty() ? "" : DistinctStem(modelName, run.outputStems, job.subfolder));
    // A folder still to be made holds no file an output could clash with.
    const std::string refusal = OutputFolderToBeMade(run, job)
                                    ? ""
                                    : CheckOutputPlan(job.plan, run.modelFiles, run.written);
    if (!refusal.empty()) {
        EndEarly(job, kExitOutputNotWritten, model, "not written: " + refusal);
        return;
    }
    // Standard output may carry the output itself; everything else then goes
    // to stderr.
    job.stdoutTaken = run.traceToStdout || job.plan.path == "-";
    job.streams = {stdin, job.stdoutTaken ? stderr : stdout};
    job.request = RequestFor(run, module, modelName, model, job.plan, job.streams);
    if (fromStdin) {
        if (!ReadStandardInput(job.bytes)) {
            EndEarly(job, kExitCannotReadModel, "standard input", "cannot read");
            return;
        }
        job.request.modelBytes = job.bytes;
    }
}

// The import itself, which may run beside other model files' imports.
void WorkModel(ModelJob& job) {
    if (job.endedEarly == kExitLoaded)
        job.outcome = RunImport(job.request);
}

// Says what became of a model file and writes its output. Returns the exit
// status for this file.
int ReportModel(Run& run, ModelJob& job) {
    const std::string& model = job.model;
    if (job.endedEarly != kExitLoaded) {
        Fail(job.failSubject, job.failWhat);
        return job.endedEarly;
    }
    const HostOptions& options = run.options;
    const OutputPlan& plan = job.plan;
    const ImportOutcome& outcome = job.outcome;
    const bool stdoutTaken = job.stdoutTaken;
    run.traceWriteFailed = run.traceWriteFailed || outcome.traceWriteFailed;

    // A damaged file stays damaged when --salvage writes what was read.
    const bool damaged = outcome.damage.kind != DamageKind::None;
    int exitCode = damaged ? kExitDamaged : ExitCodeFor(outcome.result);
    if (damaged)
        run.damaged.push_back(model);
    const ReadWarnings& read = outcome.readWarnings;
    run.warned += read.Total() != 0 || !read.notRead.empty() ? 1 : 0;
    // The pipeline's lines; the reader's (the last ones) are not told with
    // --quiet.
    const std::vector<std::string>& lines = outcome.warningLines;
    const size_t told = lines.size() - (options.quiet ? outcome.readerWarningLines : 0);
    for (size_t i = 0; i < told; ++i)
        Warn(lines[i]);
    // A model that could not be read for its warnings may have some: strict
    // fails it too.
    if (options.strict && (read.Total() != 0 || !read.notRead.empty()) &&
        outcome.result == ImportResult::Loaded) {
        const size_t count = read.Total();
        const std::string what =
            !read.notRead.empty() ? "not read for warnings: " + read.notRead
                                  : std::to_string(count) + (count == 1 ? " warning" : " warnings");
        Fail(model, what + (plan.path.empty() ? "" : ", not written") + " (--strict)");
        return kExitWarned;
    }
    if (outcome.result == ImportResult::Damaged && !plan.path.empty())
        Fail(model, outcome.reason + "; " + ShownText(plan.path) +
                        " not written (--salvage writes what was read)");
    else if (outcome.result != ImportResult::Loaded && outcome.result != ImportResult::NotConverted)
        Fail(model, outcome.reason);
    if (outcome.result == ImportResult::NotConverted)
        Fail(model, "not written: " + plan.path + ": " + outcome.reason);

    if (outcome.result == ImportResult::Loaded && !plan.path.empty()) {
        std::string error;
        if (run.outDirMissing && !MakeOutDir(options.outDir, error)) {
            Fail(model, "not written: " + error);
            return kExitOutputNotWritten;
        }
        run.outDirMissing = false;
        // A model of a sub-folder goes into the same sub-folder of --out-dir.
        if (!job.subfolder.empty() && !MakeOutDir(FolderOf(plan.path), error)) {
            Fail(model, "not written: " + error);
            return kExitOutputNotWritten;
        }
        if (!WriteFiles(outcome, plan, error)) {
            Fail(model, "not written: " + error);
            return kExitOutputNotWritten;
        }
        RememberWritten(plan, model, run.written);
        ClearProgress();
        std::FILE* status = stdoutTaken ? stderr : stdout;
        std::fprintf(status, "%s%s\n", ConvertedLine(model, plan, outcome.counts).c_str(),
                     SalvagedText(outcome).c_str());
        // A printing format's word on the object, under the line it follows.
        if (!outcome.solidLine.empty())
            std::fprintf(status, "%s: %s\n", ShownText(model).c_str(), outcome.solidLine.c_str());
    } else if (options.check) {
        ClearProgress();
        std::printf("%s\n", CheckLine(model, outcome).c_str());
    } else if (outcome.result == ImportResult::Loaded && !options.hasTrace) {
        ClearProgress();
        std::printf("%s%s\n", ReceivedLine(model, outcome.counts).c_str(),
                    SalvagedText(outcome).c_str());
    }
    return exitCode;
}

// How many model files are imported at once: as many as the user asked or
// the machine has cores, but one where the imports must take turns (the
// trace is one stream in call order; the terminal panel has one user).
size_t Workers(const HostOptions& options) {
    if (options.hasTrace || options.interactive)
        return 1;
    return options.jobs > 0 ? static_cast<size_t>(options.jobs) : DefaultWorkers();
}

// Imports every model file; the exit status of the first that failed. With
// several workers, a model file planned while earlier ones still import
// has its output checked again when its turn comes to be written: by then
// an earlier one may have written that file.
int ImportEach(Run& run) {
    const std::vector<std::string>& models = run.options.modelPaths;
    const size_t total = models.size();
    const bool progress = total >= 10 && IsTerminal(stderr);
    std::vector<std::string> failed; // not damaged: those are in run.damaged
    int exitCode = kExitLoaded;
    std::vector<std::unique_ptr<ModelJob>> jobs(total);
    const size_t workers = Workers(run.options);
    BatchSteps steps;
    steps.prepare = [&](size_t i) {
        if (progress)
            ShowProgress(i, total, models[i]);
        jobs[i] = std::make_unique<ModelJob>();
        jobs[i]->model = models[i];
        if (i < run.options.modelSubfolders.size())
            jobs[i]->subfolder = run.options.modelSubfolders[i];
        // Job i starts once job i - workers is reported: no two running jobs
        // share a copy of the module.
        PrepareModel(run, *run.modules[i % run.modules.size()], *jobs[i]);
        // Several imports at once keep the cores busy: each import then
        // keeps to its own thread.
        jobs[i]->request.moreCores = workers <= 1 || total <= 1;
    };
    steps.work = [&jobs](size_t i) { WorkModel(*jobs[i]); };
    steps.report = [&](size_t i) {
        ModelJob& job = *jobs[i];
        if (job.endedEarly == kExitLoaded && !OutputFolderToBeMade(run, job)) {
            if (const std::string refusal = CheckOutputPlan(job.plan, run.modelFiles, run.written);
                !refusal.empty())
                EndEarly(job, kExitOutputNotWritten, job.model, "not written: " + refusal);
        }
        const int code = ReportModel(run, job);
        jobs[i].reset(); // its output is written: memory for the next
        if (code != kExitLoaded) {
            if (code != kExitDamaged)
                failed.push_back(models[i]);
            if (exitCode == kExitLoaded)
                exitCode = code;
        }
        std::fflush(stdout);
    };
    RunBatch(total, workers, steps);
    ClearProgress();
    if (total > 1) {
        for (const auto& [files, what] :
             {std::pair{&failed, "failed"}, {&run.damaged, "damaged"}}) {
            if (files->empty())
                continue;
            std::string names;
            for (const std::string& name : *files)
                names += (names.empty() ? "" : ", ") + ShownText(name);
            Fail("", std::to_string(files->size()) + " of " + std::to_string(total) +
                         " model files " + what + ": " + names);
        }
        std::printf(
            "%s\n",
            BatchLine(run.options, total, failed.size(), run.damaged.size(), run.warned).c_str());
    }
    return exitCode;
}

// The trace may not land on a model file. Returns 0, or the exit status
// after saying why not.
int CheckTrace(const Run& run) {
    const HostOptions& options = run.options;
    const std::string clash =
        options.hasTrace ? CheckNotGuarded(options.tracePath, "the trace", run.modelFiles) : "";
    if (clash.empty())
        return 0;
    Fail("", "not written: " + clash);
    return kExitOutputNotWritten;
}

// Opens the trace file the options name (standard output is not opened).
// Returns 0, or the exit status after saying why not.
int OpenTrace(Run& run) {
    const HostOptions& options = run.options;
    if (!options.hasTrace)
        return 0;
    if (run.traceToStdout) {
        run.trace = stdout;
        return 0;
    }
    run.trace = std::fopen(options.tracePath.c_str(), "wb");
    if (run.trace == nullptr) {
        Fail(options.tracePath,
             std::string("cannot write the trace (") + std::strerror(errno) + ")");
        return kExitTraceNotWritten;
    }
    FileIdentity id;
    if (IdentifyFile(options.tracePath, id))
        run.written.push_back({options.tracePath, id, "the trace"});
    return 0;
}

// Closes the trace and checks standard output: what could not be written
// turns a success into a failure.
int FinishRun(Run& run, int exitCode) {
    if (run.trace != nullptr && !run.traceToStdout) {
        if (std::fclose(run.trace) != 0 || run.traceWriteFailed) {
            Fail(run.options.tracePath, "cannot write the trace");
            if (exitCode == kExitLoaded)
                exitCode = kExitTraceNotWritten;
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) ||
        (run.traceToStdout && run.traceWriteFailed)) {
        Fail("", "cannot write to standard output");
        if (exitCode == kExitLoaded)
            exitCode = kExitStdoutNotWritten;
    }
    return exitCode;
}

// The options, or the exit status of a run that ends with them.
bool ParseCommandLine(int argc, const char* const* argv, HostOptions& options, int& exitCode) {
    std::string error;
    switch (ParseOptions(argc, argv, options, error)) {
    case ParseStatus::Help:
        std::fputs(UsageText(), stdout);
        exitCode = kExitLoaded;
        return false;
    case ParseStatus::Version:
        std::fputs(VersionText().c_str(), stdout);
        exitCode = kExitLoaded;
        return false;
    case ParseStatus::Error:
        Fail("", error);
        exitCode = kExitUsage;
        return false;
    case ParseStatus::Ok:
        break;
    }
    return true;
}

} // namespace

std::string DefaultModulePath() {
    return ExecutableFolder() + "ostrel.p";
}

int RunCommand(int argc, const char* const* argv) {
    HostOptions options;
    int exitCode = kExitLoaded;
    // A model dropped on ostrel.exe in Explorer: one path, no option, a
    // console window of its own. It is converted beside itself to glb, and
    // the window stays until a key is pressed, so that its lines are read.
    // A folder dropped so has its model files converted beside them.
    if (argc == 2 && argv[1][0] != '-' && argv[1][0] != '/' && OwnsItsConsoleWindow()) {
        const std::string model = argv[1];
        const bool folder = IsFolderPath(model);
        const std::string output = folder ? model : WithoutExtension(model) + ".glb";
        const char* const dropped[] = {argv[0], argv[1], folder ? "--out-dir" : "-o",
                                       output.c_str()};
        exitCode = RunCommand(4, dropped);
        WaitForKey(exitCode == kExitLoaded ? "\nDone. Press any key to close this window.\n"
                                           : "\nPress any key to close this window.\n");
        return exitCode;
    }
    if (!ParseCommandLine(argc, argv, options, exitCode))
        return exitCode;

    // Nothing is written before these hold: no output on a model file, and
    // a folder for the outputs that is there or can be made (it is made
    // when the first output is written, so a run that writes nothing leaves
    // none behind).
    LoadedModule module;
    Run run{options, {}, nullptr, nullptr, false, false, {}, {}, 0, {}, {}, false};
    run.modelFiles = IdentifyModelFiles(options.modelPaths);
    run.traceToStdout = options.hasTrace && options.tracePath == "-";
    std::string error;
    if (const int code = CheckTrace(run); code != 0)
        return code;
    if (!options.outDir.empty() && !CheckOutDir(options.outDir, run.outDirMissing, error)) {
        Fail("", error);
        return kExitOutputNotWritten;
    }
    if (const int code = OpenTrace(run); code != 0)
        return code;

    // The host loads the module once and activates it once per file.
    const std::string modulePath =
        options.modulePath.empty() ? DefaultModulePath() : options.modulePath;
    if (!LoadModule(modulePath, module, error)) {
        Fail(modulePath, error);
        return FinishRun(run, kExitModuleUnusable);
    }
    run.modules.push_back(&module);
    LoadedModule converter;
    if (options.modulePath.empty() && StartWideModule(&ostrel_wide_descrip, converter, error))
        run.converter = &converter;
    // Conversions import through the converter's build, whose imports may
    // overlap; imports of what the host receives go through the module,
    // whose model lives in globals: a copy of it per worker.
    const bool converts = !options.outputPath.empty() || !options.outDir.empty();
    ModuleCopies copies;
    if (const size_t workers = std::min(Workers(options), options.modelPaths.size());
        workers > 1 && !(converts && run.converter != nullptr))
        LoadModuleCopies(modulePath, workers - 1, copies);
    for (const LoadedModule& copy : copies.modules)
        run.modules.push_back(&copy);
    exitCode = ImportEach(run);
    UnloadModuleCopies(copies);
    UnloadModule(converter);
    UnloadModule(module);
    return FinishRun(run, exitCode);
}
