// ostrel: the stand-in host. Loads the module ostrel.p as the 3D host does,
// imports one model file through it while playing the host's part (import
// callbacks, global lookup, panel services), optionally tracing every call
// the plug-in makes, and reports the outcome in its exit status:
//   0 loaded, 1 not a model file, 2 cannot open or read, 3 cancelled,
//   4 refused by the plug-in or module unusable, 64 usage error.
#include "host/HostApi.h"
#include "standin/ImportHost.h"
#include "standin/ModuleLoader.h"
#include "standin/Options.h"
#include "standin/PanelHost.h"
#include "standin/Received.h"
#include "standin/Trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

constexpr int kExitLoaded = 0;
constexpr int kExitNotModel = 1;
constexpr int kExitCannotRead = 2;
constexpr int kExitCancelled = 3;
constexpr int kExitRefused = 4;
constexpr int kExitUsage = 64;

void Fail(const std::string& subject, const std::string& what) {
    if (subject.empty()) {
        std::fprintf(stderr, "ostrel: %s\n", what.c_str());
    } else {
        std::fprintf(stderr, "ostrel: %s: %s\n", subject.c_str(), what.c_str());
    }
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
    const std::string& model = options.modelPath;

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

    PanelHost panelHost;
    PanelHostInit(panelHost, panelSettings, &trace);
    ImportHost importHost;
    ImportHostInit(importHost, &trace, options.noPanelServices ? nullptr : &panelHost);
    ImportRecord record = MakeImportRecord(importHost, model.c_str());

    int32_t status = kStatusUnwritten;
    const int32_t result =
        RunActivation(module.activate, options.activationVersion, record, &trace, status);

    const bool panelLeftOpen = !panelHost.panels.empty();
    const std::string hostFailure =
        !importHost.failure.empty() ? importHost.failure : panelHost.failure;
    PanelHostRelease(panelHost);
    ImportHostRelease(importHost);
    UnloadModule(module);

    int exitCode = kExitLoaded;
    if (!hostFailure.empty()) {
        Fail(model, "the host failed during " + hostFailure);
        exitCode = kExitRefused;
    } else if (result == kActivateWrongVersion) {
        Fail(model, "refused by the plug-in: activation version " +
                        std::to_string(options.activationVersion) + " not accepted (result 1)");
        exitCode = kExitRefused;
    } else if (result == kActivateMissingGlobal) {
        Fail(model, "refused by the plug-in: host global \"LWPanelServices\" missing (result 2)");
        exitCode = kExitRefused;
    } else if (result != kActivateHandled) {
        Fail(model, "the plug-in returned an unknown result " + std::to_string(result));
        exitCode = kExitRefused;
    } else {
        switch (status) {
        case kImportLoaded:
            exitCode = kExitLoaded;
            break;
        case kImportNotModelFile:
            Fail(model, "not a model file (no \"ROKU4\" magic)");
            exitCode = kExitNotModel;
            break;
        case kImportOpenFailed:
            Fail(model, "cannot open or read (" + OpenFailureReason(model) + ")");
            exitCode = kExitCannotRead;
            break;
        case kImportCancelled:
            Fail(model, "cancelled in the options panel");
            exitCode = kExitCancelled;
            break;
        case kStatusUnwritten:
            Fail(model, "the plug-in returned 0 without writing a status");
            exitCode = kExitRefused;
            break;
        default:
            Fail(model, "the plug-in wrote an unknown status " + std::to_string(status));
            exitCode = kExitRefused;
            break;
        }
    }
    if (panelLeftOpen)
        std::fprintf(stderr, "ostrel: warning: the plug-in did not destroy its panel\n");

    if (exitCode == kExitLoaded && !options.hasTrace) {
        const ReceivedModel& r = importHost.received;
        std::printf("%s: %zu points, %zu polygons, %zu surfaces received\n", model.c_str(),
                    r.points.size(), r.polygons.size(), r.surfaces.size());
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
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "ostrel: unexpected failure\n");
    }
    return kExitRefused;
}
