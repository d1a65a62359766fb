// ostrel: the stand-in host. Loads the module ostrel.p as the 3D host does,
// imports model files through it while playing the host's part (import
// callbacks, global lookup, panel services), optionally tracing every call
// the plug-in makes, checks what it receives, and can write the received
// object as LWOB, OBJ + MTL, binary glTF or binary FBX. The exit status:
//   0 loaded, 1 not a model file, 2 cannot open or read, 3 cancelled,
//   4 refused by the plug-in or module unusable, 5 the host refused what
//   the plug-in handed over, 6 output not written, 64 usage error;
// with several model files, that of the first file that failed.
#include "convert/Formats.h"
#include "host/HostApi.h"
#include "platform/FileSystem.h"
#include "platform/Terminal.h"
#include "platform/TextCodec.h"
#include "standin/ImportHost.h"
#include "standin/ModuleLoader.h"
#include "standin/Options.h"
#include "standin/OutputFile.h"
#include "standin/OutputPlan.h"
#include "standin/PanelHost.h"
#include "standin/Received.h"
#include "standin/StatusLine.h"
#include "standin/Trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kExitLoaded = 0;
constexpr int kExitNotModel = 1;
constexpr int kExitCannotRead = 2;
constexpr int kExitCancelled = 3;
constexpr int kExitRefused = 4;
constexpr int kExitHostRefused = 5;
constexpr int kExitNotWritten = 6;
constexpr int kExitUsage = 64;

// The batch progress line on stderr; cleared before anything else is shown.
bool gProgressShown = false;

void ClearProgress() {
    if (gProgressShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        gProgressShown = false;
    }
}

void ShowProgress(size_t done, size_t total, const std::string& model) {
    const std::string shown(Utf8Prefix(NameAsUtf8(model, SystemCodePage()), 60));
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", done + 1, total, shown.c_str());
    std::fflush(stderr);
    gProgressShown = true;
}

// Paths and names on the terminal follow the rule for names in UTF-8
// formats (NameAsUtf8), so that a Shift-JIS file name reads as text.
void Fail(const std::string& subject, const std::string& what) {
    ClearProgress();
    std::fflush(stdout);
    // File names are the system's bytes; terminals and consoles show UTF-8.
    const std::string line = "ostrel: " + (subject.empty() ? "" : subject + ": ") + what + "\n";
    std::fputs(NameAsUtf8(line, SystemCodePage()).c_str(), stderr);
    std::fflush(stderr);
}

// Why the model file cannot be read, as the host itself sees it.
std::string OpenFailureReason(const std::string& path) {
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::strerror(errno);
    int c = std::fgetc(f);
    const bool error = c == EOF && std::ferror(f);
    const int saved = errno;
    std::fclose(f);
    if (error)
        return std::strerror(saved);
    return "the plug-in could not open it";
}

// Forms the file(s) the plan names and puts them in place. A failure of any
// kind, memory included, is a file not written with a reason naming it.
bool WriteObject(const ReceivedModel& received, const OutputPlan& plan, std::string& error) try {
    std::vector<OutputFile> files;
    const size_t folder = NameStart(plan.path);
    if (!FormFiles(received, plan.format, plan.path.substr(folder), SystemCodePage(), files,
                   error)) {
        error = plan.path + ": " + error;
        return false;
    }
    for (OutputFile& file : files)
        file.name = plan.path.substr(0, folder) + file.name;
    return WriteOutputFiles(files, error);
} catch (const std::bad_alloc&) {
    error = plan.path + ": not enough memory to form the file";
    return false;
} catch (const std::exception& e) {
    error = plan.path + ": " + e.what();
    return false;
}

// Imports one model file and does what the options ask with it. Returns the
// exit status for this file.
int ProcessModel(const LoadedModule& module, const HostOptions& options, const std::string& model,
                 Trace& trace, bool traceToStdout, const std::vector<GuardedFile>& modelFiles,
                 std::vector<GuardedFile>& written) {
    const OutputPlan plan = PlanOutput(options, model);
    const std::string refusal = CheckOutputPlan(plan, modelFiles, written);
    if (!refusal.empty()) {
        Fail(model, "not written: " + refusal);
        return kExitNotWritten;
    }
    // Standard output may carry the output itself; everything else then goes
    // to stderr.
    const bool stdoutTaken = traceToStdout || plan.path == "-";
    std::FILE* const statusOut = stdoutTaken ? stderr : stdout;

    PanelSettings panelSettings;
    panelSettings.noPanel = options.noPanel;
    panelSettings.screenWidth = options.screenWidth;
    panelSettings.screenHeight = options.screenHeight;
    panelSettings.cancel = options.cancel;
    panelSettings.interactive = options.interactive;
    panelSettings.edits = options.edits;
    panelSettings.consoleIn = stdin;
    panelSettings.consoleOut = stdoutTaken ? stderr : stdout;
    panelSettings.warnings = stderr;

    PanelHost panelHost;
    PanelHostInit(panelHost, panelSettings, &trace);
    ImportHost importHost;
    ImportHostInit(importHost, &trace, options.noPanelServices ? nullptr : &panelHost);
    importHost.received.keepGeometry = !plan.path.empty() || !options.check;
    ImportRecord record = MakeImportRecord(importHost, model.c_str());

    int32_t status = kStatusUnwritten;
    const int32_t result =
        RunActivation(module.activate, options.activationVersion, record, &trace, status);

    const bool panelLeftOpen = !panelHost.panels.empty();
    const std::string hostFailure =
        !importHost.failure.empty() ? importHost.failure : panelHost.failure;
    const std::string statistics = panelHost.statistics;
    PanelHostRelease(panelHost);
    ImportHostRelease(importHost);
    const ReceivedModel& r = importHost.received;

    int exitCode = kExitLoaded;
    std::string outcome = "ok";
    auto failWith = [&](int code, const std::string& what) {
        Fail(model, what);
        exitCode = code;
        outcome = what;
    };
    if (!hostFailure.empty()) {
        failWith(kExitRefused, "the host failed during " + hostFailure);
    } else if (!r.refusal.empty()) {
        failWith(kExitHostRefused, "refused by the host: " + r.refusal);
    } else if (result == kActivateWrongVersion) {
        failWith(kExitRefused, "refused by the plug-in: activation version " +
                                   std::to_string(options.activationVersion) +
                                   " not accepted (result 1)");
    } else if (result == kActivateMissingGlobal) {
        failWith(kExitRefused,
                 "refused by the plug-in: host global \"LWPanelServices\" missing (result 2)");
    } else if (result != kActivateHandled) {
        failWith(kExitRefused, "the plug-in returned an unknown result " + std::to_string(result));
    } else {
        switch (status) {
        case kImportLoaded:
            break;
        case kImportNotModelFile:
            failWith(kExitNotModel, "not a model file (no \"ROKU4\" magic)");
            break;
        case kImportOpenFailed:
            failWith(kExitCannotRead, "cannot open or read (" + OpenFailureReason(model) + ")");
            break;
        case kImportCancelled:
            failWith(kExitCancelled, "cancelled in the options panel");
            break;
        case kStatusUnwritten:
            failWith(kExitRefused, "the plug-in returned 0 without writing a status");
            break;
        default:
            failWith(kExitRefused, "the plug-in wrote an unknown status " + std::to_string(status));
            break;
        }
    }
    if (panelLeftOpen) {
        ClearProgress();
        std::fprintf(stderr, "ostrel: warning: the plug-in did not destroy its panel\n");
        std::fflush(stderr);
    }

    const size_t dropped = r.emptyPolygonCount;
    if (exitCode == kExitLoaded && !plan.path.empty()) {
        std::string error;
        if (!WriteObject(r, plan, error)) {
            failWith(kExitNotWritten, "not written: " + error);
        } else {
            RememberWritten(plan, model, written);
            ClearProgress();
            const ReceivedCounts counts{r.pointCount, r.polygonCount - dropped, dropped,
                                        static_cast<size_t>(r.nextSurfaceValue - 1)};
            std::fprintf(statusOut, "%s\n", ConvertedLine(model, plan, counts).c_str());
        }
    } else if (options.check) {
        std::string quoted;
        AppendQuoted(quoted, statistics.c_str());
        ClearProgress();
        const ReceivedCounts counts{r.pointCount, r.polygonCount, dropped, r.surfaces.size()};
        std::printf("%s: statistics %s; %s received; %s\n",
                    NameAsUtf8(model, SystemCodePage()).c_str(),
                    statistics.empty() ? "(none)" : quoted.c_str(), CountsText(counts).c_str(),
                    exitCode == kExitLoaded ? "ok" : NameAsUtf8(outcome, SystemCodePage()).c_str());
    } else if (exitCode == kExitLoaded && !options.hasTrace) {
        ClearProgress();
        const ReceivedCounts counts{r.pointCount, r.polygonCount, 0, r.surfaces.size()};
        std::printf("%s: %s received\n", NameAsUtf8(model, SystemCodePage()).c_str(),
                    CountsText(counts).c_str());
    }
    return exitCode;
}

int Run(int argc, char** argv) {
    HostOptions options;
    std::string error;
    switch (ParseOptions(argc, argv, options, error)) {
    case ParseStatus::Help:
        std::fputs(UsageText(), stdout);
        return 0;
    case ParseStatus::Version:
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    case ParseStatus::Error:
        Fail("", error);
        return kExitUsage;
    case ParseStatus::Ok:
        break;
    }

    // Nothing is written before these hold: no output on a model file, and
    // the folder for the outputs in place.
    const std::vector<GuardedFile> modelFiles = IdentifyModelFiles(options.modelPaths);
    if (options.hasTrace) {
        const std::string clash = CheckNotGuarded(options.tracePath, "the trace", modelFiles);
        if (!clash.empty()) {
            Fail("", "not written: " + clash);
            return kExitNotWritten;
        }
    }
    if (!options.outDir.empty() && !PrepareOutDir(options.outDir, error)) {
        Fail("", error);
        return kExitNotWritten;
    }

    // The files this run has written, which no later output may replace:
    // the trace first, then each model file's output.
    std::vector<GuardedFile> written;
    Trace trace;
    std::FILE* traceFile = nullptr;
    const bool traceToStdout = options.hasTrace && options.tracePath == "-";
    if (options.hasTrace) {
        if (traceToStdout) {
            trace.out = stdout;
        } else {
            traceFile = std::fopen(options.tracePath.c_str(), "wb");
            if (traceFile == nullptr) {
                Fail(options.tracePath,
                     std::string("cannot write the trace (") + std::strerror(errno) + ")");
                return kExitCannotRead;
            }
            trace.out = traceFile;
            FileIdentity id;
            if (IdentifyFile(options.tracePath, id))
                written.push_back({options.tracePath, id, "the trace"});
        }
    }

    LoadedModule module;
    const std::string modulePath =
        options.modulePath.empty() ? DefaultModulePath() : options.modulePath;
    if (!LoadModule(modulePath, module, error)) {
        Fail(modulePath, error);
        if (traceFile != nullptr)
            std::fclose(traceFile);
        return kExitRefused;
    }

    // The host loads the module once and activates it once per file.
    const size_t total = options.modelPaths.size();
    const bool progress = total >= 10 && IsTerminal(stderr);
    std::vector<std::string> failed;
    int exitCode = kExitLoaded;
    for (size_t i = 0; i < total; ++i) {
        const std::string& model = options.modelPaths[i];
        if (progress)
            ShowProgress(i, total, model);
        const int code =
            ProcessModel(module, options, model, trace, traceToStdout, modelFiles, written);
        if (code != kExitLoaded) {
            failed.push_back(model);
            if (exitCode == kExitLoaded)
                exitCode = code;
        }
        std::fflush(stdout);
    }
    ClearProgress();
    UnloadModule(module);
    if (total > 1 && !failed.empty()) {
        std::string names;
        for (const std::string& name : failed)
            names += (names.empty() ? "" : ", ") + NameAsUtf8(name, SystemCodePage());
        Fail("", std::to_string(failed.size()) + " of " + std::to_string(total) +
                     " model files failed: " + names);
    }

    if (traceFile != nullptr) {
        const bool bad = std::fclose(traceFile) != 0 || trace.writeFailed;
        if (bad) {
            Fail(options.tracePath, "cannot write the trace");
            if (exitCode == kExitLoaded)
                exitCode = kExitCannotRead;
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || (traceToStdout && trace.writeFailed)) {
        Fail("", "cannot write to standard output");
        if (exitCode == kExitLoaded)
            exitCode = kExitCannotRead;
    }
    return exitCode;
}

} // namespace

int main(int argc, char** argv) {
    PrepareStandardStreams();
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "ostrel: unexpected failure\n");
    }
    return kExitRefused;
}
