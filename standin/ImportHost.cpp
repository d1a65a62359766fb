#include "standin/ImportHost.h"

#include "standin/CallbackGuard.h"
#include "standin/HostChecks.h"

#include <cstring>

namespace {

// The import in progress on this thread: each thread may import through a
// module copy of its own (ModuleLoader.h).
thread_local ImportHost* gImportHost = nullptr;

// The host a callback's first argument names. With checks on, the load in
// progress answers, whatever the plug-in passed (which is checked).
ImportHost* HostOf(void* hostData) {
    ImportHost* current = gImportHost;
    if (current == nullptr || current->checks == nullptr)
        return static_cast<ImportHost*>(hostData);
    CheckHostData(*current->checks, hostData, current);
    return current;
}

std::string* FailureOf(ImportHost* host) {
    return host != nullptr ? &host->failure : nullptr;
}

} // namespace

extern "C" {

static int32_t HostStartObject(void* hostData, void* zero) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "startObject", [&] {
        ReceiveStartObject(host->received);
        if (host->checks != nullptr)
            CheckStartObject(*host->checks, zero);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, StartObjectLine());
    });
    return 0;
}

static int32_t HostDeclarePointCount(void* hostData, int32_t count) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "declarePointCount", [&] {
        ReceiveDeclarePointCount(host->received, count);
        if (host->checks != nullptr)
            CheckDeclarePointCount(*host->checks, count);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, DeclarePointCountLine(count));
    });
    return 0;
}

static int32_t HostAddPoints(void* hostData, int32_t count, const float* xyz) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "addPoints", [&] {
        ReceivePoints(host->received, count, xyz);
        if (host->checks != nullptr)
            CheckAddPoints(*host->checks, host->received, count);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, AddPointsLine(count, xyz));
    });
    return 0;
}

static int32_t HostLookupSurface(void* hostData, const char* name, void* zero) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    int32_t value = 0;
    GuardCallback(FailureOf(host), "lookupSurface", [&] {
        const int32_t next = host->received.nextSurfaceValue;
        value = ReceiveLookupSurface(host->received, name);
        if (host->checks != nullptr)
            CheckLookupSurface(*host->checks, host->received, name, zero,
                               host->received.nextSurfaceValue != next);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, LookupSurfaceLine(name, value));
    });
    return value;
}

} // extern "C"

namespace {

template <typename PointNumber>
int32_t AddPolygonOf(void* hostData, int32_t vertexCount, int32_t surface, const void* zero,
                     const PointNumber* points) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "addPolygon", [&] {
        ReceivePolygon(host->received, vertexCount, surface, points);
        if (host->checks != nullptr)
            CheckAddPolygon(*host->checks, host->received, zero);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, AddPolygonLine(vertexCount, surface, points));
    });
    return 0;
}

} // namespace

extern "C" {

static int32_t HostAddPolygon(void* hostData, int32_t vertexCount, int32_t surface, void* zero,
                              const uint16_t* points) noexcept {
    return AddPolygonOf(hostData, vertexCount, surface, zero, points);
}

static int32_t HostAddWidePolygon(void* hostData, int32_t vertexCount, int32_t surface, void* zero,
                                  const uint32_t* points) noexcept {
    return AddPolygonOf(hostData, vertexCount, surface, zero, points);
}

static int32_t HostStoreSurfaceData(void* hostData, const char* name, int32_t byteCount,
                                    const void* block) noexcept {
    ImportHost* host = HostOf(hostData);
    if (host == nullptr)
        return 0;
    GuardCallback(FailureOf(host), "storeSurfaceData", [&] {
        const size_t index = ReceiveSurfaceData(host->received, name, byteCount, block);
        if (host->checks != nullptr)
            CheckSurfaceData(*host->checks, host->received.surfaces[index], byteCount, block);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, StoreSurfaceDataLine(name, byteCount, block));
    });
    return 0;
}

void* HostGlobalLookup(const char* name, void* zero) {
    ImportHost* host = gImportHost;
    if (host == nullptr)
        return nullptr;
    void* found = nullptr;
    GuardCallback(FailureOf(host), "globalLookup", [&] {
        if (host->checks != nullptr)
            CheckGlobalLookup(*host->checks, name, zero);
        if (name != nullptr && std::strcmp(name, "LWPanelServices") == 0 &&
            host->panelHost != nullptr) {
            found = &host->panelHost->services;
        }
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, GlobalLookupLine(name, found != nullptr));
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
    int32_t result = 0;
    {
        const PluginCodeScope plugin(+1);
        result = activate(version, &HostGlobalLookup, record);
    }
    return TraceOutcome(result, statusWord, trace, status);
}

int32_t TraceOutcome(int32_t result, int32_t statusWord, Trace* trace, int32_t& status) {
    status = statusWord;
    if (status != kStatusUnwritten && TraceEnabled(trace))
        TraceLine(trace, StatusLine(status));
    if (TraceEnabled(trace))
        TraceLine(trace, ResultLine(result));
    return result;
}
