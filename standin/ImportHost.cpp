#include "standin/ImportHost.h"

#include "standin/CallbackGuard.h"

#include <cstring>

namespace {

// The import in progress on this thread: each thread may import through a
// module copy of its own (ModuleLoader.h).
thread_local ImportHost* gImportHost = nullptr;

ImportHost* HostOf(void* hostData) {
    return static_cast<ImportHost*>(hostData);
}

std::string* FailureOf(ImportHost* host) {
    return host != nullptr ? &host->failure : nullptr;
}

} // namespace

extern "C" {

static int32_t HostStartObject(void* hostData, void* /*zero*/) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "startObject", [&] {
        ReceiveStartObject(host->received);
        TraceLine(host->trace, "startObject");
    });
    return 0;
}

static int32_t HostDeclarePointCount(void* hostData, int32_t count) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "declarePointCount", [&] {
        ReceiveDeclarePointCount(host->received, count);
        std::string line = "declarePointCount ";
        AppendInt(line, count);
        TraceLine(host->trace, line);
    });
    return 0;
}

static int32_t HostAddPoints(void* hostData, int32_t count, const float* xyz) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "addPoints", [&] {
        ReceivePoints(host->received, count, xyz);
        if (TraceEnabled(host->trace)) {
            std::string line = "addPoints";
            for (int32_t i = 0; xyz != nullptr && i < count; ++i) {
                for (int k = 0; k < 3; ++k) {
                    line += ' ';
                    AppendFloat9(line, xyz[3 * i + k]);
                }
            }
            TraceLine(host->trace, line);
        }
    });
    return 0;
}

static int32_t HostLookupSurface(void* hostData, const char* name, void* /*zero*/) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    int32_t value = 0;
    GuardCallback(FailureOf(host), "lookupSurface", [&] {
        value = ReceiveLookupSurface(host->received, name);
        std::string line = "lookupSurface ";
        AppendQuoted(line, name);
        line += " -> ";
        AppendInt(line, value);
        TraceLine(host->trace, line);
    });
    return value;
}

} // extern "C"

namespace {

template <typename PointNumber>
int32_t AddPolygonOf(void* hostData, int32_t vertexCount, int32_t surface,
                     const PointNumber* points) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "addPolygon", [&] {
        ReceivePolygon(host->received, vertexCount, surface, points);
        if (TraceEnabled(host->trace)) {
            std::string line = "addPolygon ";
            AppendInt(line, vertexCount);
            line += ' ';
            AppendInt(line, surface);
            for (int32_t i = 0; points != nullptr && i < vertexCount; ++i) {
                line += ' ';
                AppendInt(line, points[i]);
            }
            TraceLine(host->trace, line);
        }
    });
    return 0;
}

} // namespace

extern "C" {

static int32_t HostAddPolygon(void* hostData, int32_t vertexCount, int32_t surface, void* /*zero*/,
                              const uint16_t* points) noexcept {
    return AddPolygonOf(hostData, vertexCount, surface, points);
}

static int32_t HostAddWidePolygon(void* hostData, int32_t vertexCount, int32_t surface,
                                  void* /*zero*/, const uint32_t* points) noexcept {
    return AddPolygonOf(hostData, vertexCount, surface, points);
}

static int32_t HostStoreSurfaceData(void* hostData, const char* name, int32_t byteCount,
                                    const void* block) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "storeSurfaceData", [&] {
        ReceiveSurfaceData(host->received, name, byteCount, block);
        if (TraceEnabled(host->trace)) {
            std::string line = "storeSurfaceData ";
            AppendQuoted(line, name);
            line += ' ';
            AppendInt(line, byteCount);
            if (byteCount > 0 && block != nullptr) {
                line += ' ';
                AppendHexUpper(line, block, static_cast<size_t>(byteCount));
            }
            TraceLine(host->trace, line);
        }
    });
    return 0;
}

void* HostGlobalLookup(const char* name, void* /*zero*/) {
    ImportHost* host = gImportHost;
    if (host == nullptr)
        return nullptr;
    void* found = nullptr;
    GuardCallback(FailureOf(host), "globalLookup", [&] {
        if (name != nullptr && std::strcmp(name, "LWPanelServices") == 0 &&
            host->panelHost != nullptr) {
            found = &host->panelHost->services;
        }
        std::string line = "globalLookup ";
        AppendQuoted(line, name);
        line += found != nullptr ? " -> found" : " -> null";
        TraceLine(host->trace, line);
    });
    return found;
}

} // extern "C"

void ImportHostInit(ImportHost& host, Trace* trace, PanelHost* panelHost) {
    host.trace = trace;
    host.panelHost = panelHost;
    host.received = ReceivedModel{};
    host.failure.clear();
    gImportHost = &host;
}

void ImportHostRelease(ImportHost& host) {
    if (gImportHost == &host)
        gImportHost = nullptr;
}

ImportRecord MakeImportRecord(ImportHost& host, const char* path) {
    ImportRecord record{};
    record.status = kStatusUnwritten;
    record.sourcePath = path;
    record.hostData = &host;
    record.startObject = &HostStartObject;
    record.declarePointCount = &HostDeclarePointCount;
    record.addPoints = &HostAddPoints;
    record.lookupSurface = &HostLookupSurface;
    record.addPolygon = &HostAddPolygon;
    record.storeSurfaceData = &HostStoreSurfaceData;
    return record;
}

WideImportRecord MakeWideImportRecord(ImportHost& host, const char* path) {
    WideImportRecord record{};
    record.status = kStatusUnwritten;
    record.sourcePath = path;
    record.hostData = &host;
    record.startObject = &HostStartObject;
    record.declarePointCount = &HostDeclarePointCount;
    record.addPoints = &HostAddPoints;
    record.lookupSurface = &HostLookupSurface;
    record.addPolygon = &HostAddWidePolygon;
    record.storeSurfaceData = &HostStoreSurfaceData;
    return record;
}

int32_t RunActivation(ActivateFn activate, int32_t version, void* record, int32_t& statusWord,
                      Trace* trace, int32_t& status) {
    const int32_t result = activate(version, &HostGlobalLookup, record);
    status = statusWord;
    if (status != kStatusUnwritten) {
        std::string line = "status ";
        AppendInt(line, status);
        TraceLine(trace, line);
    }
    std::string line = "result ";
    AppendInt(line, result);
    TraceLine(trace, line);
    return result;
}
