#include "standin/Activation.h"

#include "host/HostApi.h"
#include "platform/FileSystem.h"
#include "standin/CallbackGuard.h"
#include "standin/ImportHost.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The model's bytes in a file of the model's name, alone in a scratch folder,
// removed again when the activation ends, however it ends (memory running
// out on the way included): no copy of a user's model is left behind.
struct StagedModel {
    std::string folder;
    std::string path;

    StagedModel() = default;
    StagedModel(const StagedModel&) = delete;
    StagedModel& operator=(const StagedModel&) = delete;
    ~StagedModel() {
        try {
            if (!path.empty())
                RemoveFile(path);
            if (!folder.empty())
                RemoveFolder(folder);
        } catch (...) { // a name that cannot be converted: nothing more to do
        }
    }
};

bool StageModel(const std::string& name, std::string_view bytes, StagedModel& staged,
                std::string& error) {
    std::string why;
    if (!MakeScratchFolder(staged.folder, why)) {
        error = "cannot make a folder for the model's bytes (" + why + ")";
        return false;
    }
    const std::string base = name.substr(NameStart(name));
    staged.path = staged.folder + (base.empty() ? "model" : base);
    if (!WriteNewFile(staged.path, std::string(bytes), why)) {
        error = "cannot put the model's bytes in a file (" + why + ")";
        return false;
    }
    return true;
}

// Why the model file cannot be read, as the host itself sees it.
std::string ReadFailureReason(const std::string& path) {
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

} // namespace

ActivationOutcome Activate(const ActivationRequest& request) {
    const bool fromMemory = request.activateFromMemory != nullptr;
    assert(fromMemory || (request.module != nullptr && request.module->activate != nullptr));
    ActivationOutcome outcome;
    StagedModel staged;
    // The converter's build and the memory entry read the bytes where they are.
    const bool wide = fromMemory || request.module->wide;
    if (request.modelBytes && !wide &&
        !StageModel(request.modelPath, *request.modelBytes, staged, outcome.stagingFailure))
        return outcome;
    const std::string& path = request.modelBytes && !wide ? staged.path : request.modelPath;

    PanelHost panelHost;
    PanelHostInit(panelHost, request.panel, request.trace);
    ImportHost importHost;
    ImportHostInit(importHost, request.trace, request.panel.noServices ? nullptr : &panelHost);
    importHost.received.keepGeometry = request.keepGeometry;
    if (HostChecks* checks = request.checks) {
        checks->noServices = request.panel.noServices;
        checks->noPanel = request.panel.noPanel;
        checks->cancel = request.panel.cancel;
        importHost.checks = panelHost.checks = checks;
        importHost.received.surfaceValueOffset = kCheckedSurfaceValueOffset;
    }
    if (fromMemory) {
        ImportRecord record = MakeImportRecord(importHost, path.c_str());
        const std::string_view bytes = request.modelBytes.value_or(std::string_view());
        int32_t result = 0;
        {
            const PluginCodeScope plugin(+1);
            result = request.activateFromMemory(request.version, &HostGlobalLookup, &record,
                                                bytes.data(), bytes.size());
        }
        outcome.result = TraceOutcome(result, record.status, request.trace, outcome.status);
    } else if (wide) {
        WideImportRecord record = MakeWideImportRecord(importHost, path.c_str());
        if (request.modelBytes) {
            // A record of no bytes still reads from memory, not the path.
            record.sourceBytes = request.modelBytes->empty() ? "" : request.modelBytes->data();
            record.sourceSize = request.modelBytes->size();
        }
        record.readObserver = request.readObserver;
        record.codePage = request.codePage;
        outcome.result = RunActivation(request.module->activate, request.version, record,
                                       request.trace, outcome.status);
        outcome.outOfMemory = record.outOfMemory != 0;
    } else {
        ImportRecord record = MakeImportRecord(importHost, path.c_str());
        outcome.result = RunActivation(request.module->activate, request.version, record,
                                       request.trace, outcome.status);
    }
    if (outcome.result == kActivateHandled && outcome.status == kImportOpenFailed &&
        !outcome.outOfMemory && !fromMemory)
        outcome.readFailure = ReadFailureReason(path);

    outcome.panelLeftOpen = !panelHost.panels.empty();
    outcome.hostFailure = !importHost.failure.empty() ? importHost.failure : panelHost.failure;
    outcome.statistics = std::move(panelHost.statistics);
    outcome.panel = std::move(panelHost.opened);
    outcome.panelAnswered = std::move(panelHost.answered);
    outcome.editsWithoutControl = std::move(panelHost.editsWithoutControl);
    if (request.checks != nullptr)
        CheckActivationEnd(*request.checks, importHost.received, panelHost.warnings,
                           request.version, outcome.result, outcome.status != kStatusUnwritten,
                           outcome.status);
    outcome.warnings = std::move(panelHost.warnings);
    PanelHostRelease(panelHost);
    ImportHostRelease(importHost);
    outcome.received = std::move(importHost.received);
    return outcome;
}
