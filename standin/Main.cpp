// ostrel: the stand-in host. Loads the module ostrel.p as the 3D host does,
// imports model files through it while playing the host's part (import
// callbacks, global lookup, panel services), optionally tracing every call
// the plug-in makes, checks what it receives, and can write the received
// object as LWOB, OBJ + MTL or binary glTF. The exit status:
//   0 loaded, 1 not a model file, 2 cannot open or read, 3 cancelled,
//   4 refused by the plug-in or module unusable, 5 the host refused what
//   the plug-in handed over, 6 output not written, 64 usage error;
// with several model files, that of the first file that failed.
#include "host/HostApi.h"
#include "standin/Export.h"
#include "standin/ImportHost.h"
#include "standin/ModuleLoader.h"
#include "standin/Options.h"
#include "standin/OutputFile.h"
#include "standin/PanelHost.h"
#include "standin/Received.h"
#include "standin/Terminal.h"
#include "standin/TextCodec.h"
#include "standin/Trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <set>
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
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %.60s", done + 1, total, model.c_str());
    std::fflush(stderr);
    gProgressShown = true;
}

void Fail(const std::string& subject, const std::string& what) {
    ClearProgress();
    std::fflush(stdout);
    // File names are the system's bytes; terminals and consoles show UTF-8.
    const std::string line = "ostrel: " + (subject.empty() ? "" : subject + ": ") + what + "\n";
    std::fputs(NameAsUtf8(line).c_str(), stderr);
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

std::string WithoutExtension(const std::string& path) {
    const size_t folder = PathFolderLength(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= folder)
        return path;
    return path.substr(0, dot);
}

std::string BaseName(const std::string& path) {
    return path.substr(PathFolderLength(path));
}

// Where the object read from `model` goes; empty when nothing is written.
std::string OutputPathFor(const HostOptions& options, const std::string& model) {
    if (!options.outputPath.empty())
        return options.outputPath;
    if (options.outDir.empty() || !options.format)
        return "";
    std::string dir = options.outDir;
    if (dir.back() != '/')
        dir += '/';
    return dir + BaseName(WithoutExtension(model)) + "." + FormatExtension(*options.format);
}

// Forms the file(s) for `format` and puts them in place.
bool WriteObject(const ReceivedModel& received, ExportFormat format, const std::string& path,
                 std::string& error) {
    std::vector<OutputFile> files;
    switch (format) {
    case ExportFormat::Lwob: {
        OutputFile file{path, {}};
        if (!WriteLwob(received, file.bytes, error))
            return false;
        files.push_back(std::move(file));
        break;
    }
    case ExportFormat::Obj: {
        const std::string mtlPath = WithoutExtension(path) + ".mtl";
        OutputFile obj{path, {}};
        OutputFile mtl{mtlPath, {}};
        if (!WriteObj(received, BaseName(mtlPath), obj.bytes, mtl.bytes, error))
            return false;
        // The material library first, so that a complete OBJ never names a
        // missing one.
        files.push_back(std::move(mtl));
        files.push_back(std::move(obj));
        break;
    }
    case ExportFormat::Glb: {
        OutputFile file{path, {}};
        if (!WriteGlb(received, file.bytes, error))
            return false;
        files.push_back(std::move(file));
        break;
    }
    }
    return WriteOutputFiles(files, error);
}

// Imports one model file and does what the options ask with it. Returns the
// exit status for this file.
int ProcessModel(const LoadedModule& module, const HostOptions& options, const std::string& model,
                 Trace& trace, bool traceToStdout, std::set<std::string>& outputsWritten) {
    PanelSettings panelSettings;
    panelSettings.noPanel = options.noPanel;
    panelSettings.screenWidth = options.screenWidth;
    panelSettings.screenHeight = options.screenHeight;
    panelSettings.cancel = options.cancel;
    panelSettings.interactive = options.interactive;
    panelSettings.edits = options.edits;
    panelSettings.consoleIn = stdin;
    panelSettings.consoleOut = traceToStdout ? stderr : stdout; // never mixed into the trace
    panelSettings.warnings = stderr;

    const std::string outputPath = OutputPathFor(options, model);
    PanelHost panelHost;
    PanelHostInit(panelHost, panelSettings, &trace);
    ImportHost importHost;
    ImportHostInit(importHost, &trace, options.noPanelServices ? nullptr : &panelHost);
    importHost.received.keepGeometry = !outputPath.empty() || !options.check;
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
    std::string droppedNote;
    if (dropped != 0)
        droppedNote = ", " + std::to_string(dropped) + " without vertices dropped";
    if (exitCode == kExitLoaded && !outputPath.empty()) {
        std::string error;
        if (outputsWritten.count(outputPath) != 0) {
            failWith(kExitNotWritten,
                     outputPath + ": already written for an earlier model file in this run");
        } else if (!WriteObject(r, *options.format, outputPath, error)) {
            failWith(kExitNotWritten, "not written: " + error);
        } else {
            outputsWritten.insert(outputPath);
            ClearProgress();
            std::printf("%s -> %s: %zu points, %zu polygons%s, %zu surfaces\n",
                        NameAsUtf8(model).c_str(), NameAsUtf8(outputPath).c_str(), r.pointCount,
                        r.polygonCount - dropped, droppedNote.c_str(), ExportSurfaces(r).size());
        }
    } else if (options.check) {
        std::string quoted;
        AppendQuoted(quoted, statistics.c_str());
        ClearProgress();
        std::printf("%s: statistics %s; %zu points, %zu polygons%s, %zu surfaces received; %s\n",
                    NameAsUtf8(model).c_str(), statistics.empty() ? "(none)" : quoted.c_str(),
                    r.pointCount, r.polygonCount, droppedNote.c_str(), r.surfaces.size(),
                    exitCode == kExitLoaded ? "ok" : NameAsUtf8(outcome).c_str());
    } else if (exitCode == kExitLoaded && !options.hasTrace) {
        ClearProgress();
        std::printf("%s: %zu points, %zu polygons, %zu surfaces received\n",
                    NameAsUtf8(model).c_str(), r.pointCount, r.polygonCount, r.surfaces.size());
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
    case ParseStatus::Error:
        Fail("", error);
        return kExitUsage;
    case ParseStatus::Ok:
        break;
    }

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
    std::set<std::string> outputsWritten;
    std::vector<std::string> failed;
    int exitCode = kExitLoaded;
    for (size_t i = 0; i < total; ++i) {
        const std::string& model = options.modelPaths[i];
        if (progress)
            ShowProgress(i, total, model);
        const int code = ProcessModel(module, options, model, trace, traceToStdout, outputsWritten);
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
            names += (names.empty() ? "" : ", ") + name;
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
