#include "tests/support/FakeHost.h"

namespace {

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

} // namespace

RecordingHost* gActiveHost = nullptr;

RecordingHost* RecordingHost::From(void* hostData) {
    RecordingHost* h = gActiveHost;
    h->Expect(hostData == h, "a callback's host data is not the record's");
    return h;
}

int32_t RecordingHost::StartObject(void* hostData, void* zero) {
    HostCallScope scope;
    RecordingHost& h = *From(hostData);
    ++h.geometryCalls;
    h.Expect(h.phase == kIdle, "startObject not first or called twice");
    h.Expect(zero == nullptr, "startObject: second argument not zero");
    h.Expect(!h.panelLive, "startObject while the panel exists");
    h.phase = kStarted;
    if (h.logCalls) {
        h.calls.push_back("start");
    }
    return 0;
}

int32_t RecordingHost::DeclarePointCount(void* hostData, int32_t count) {
    HostCallScope scope;
    RecordingHost& h = *From(hostData);
    ++h.geometryCalls;
    h.Expect(h.phase == kStarted, "declarePointCount not right after startObject");
    h.Expect(count >= 0, "declarePointCount: negative count");
    h.declaredPoints = count;
    h.phase = kDeclared;
    if (h.logCalls) {
        h.calls.push_back("points " + std::to_string(count));
    }
    return 0;
}

int32_t RecordingHost::AddPoints(void* hostData, int32_t count, const float* xyz) {
    HostCallScope scope;
    RecordingHost& h = *From(hostData);
    ++h.geometryCalls;
    h.Expect(h.phase == kDeclared || h.phase == kPoints, "addPoints out of order");
    h.Expect(count == 1, "addPoints: count is not 1");
    h.Expect(xyz != nullptr, "addPoints: null buffer");
    if (xyz != nullptr) {
        volatile float sum = xyz[0] + xyz[1] + xyz[2]; // reads all three floats
        (void)sum;
        if (h.logCalls) {
            h.calls.push_back("point " + std::to_string(count) + ": " + Number(xyz[0]) + " " +
                              Number(xyz[1]) + " " + Number(xyz[2]));
        }
    }
    ++h.pointsSent;
    h.Expect(h.pointsSent <= h.declaredPoints, "more points sent than declared");
    h.phase = kPoints;
    return 0;
}

int32_t RecordingHost::SurfaceValue(size_t k) {
    return static_cast<int32_t>(0x7ABC8000u + 0x00010003u * static_cast<uint32_t>(k));
}

int32_t RecordingHost::Travelled(int32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu));
}

int32_t RecordingHost::LookupSurface(void* hostData, const char* name, void* zero) {
    HostCallScope scope;
    RecordingHost& h = *From(hostData);
    ++h.geometryCalls;
    h.Expect(h.phase == kDeclared || h.phase == kPoints || h.phase == kSurfaces,
             "lookupSurface out of order");
    h.Expect(h.pointsSent == h.declaredPoints, "lookupSurface before every point was sent");
    h.Expect(zero == nullptr, "lookupSurface: third argument not zero");
    h.phase = kSurfaces;
    if (name == nullptr) {
        h.Fail("lookupSurface: null name");
        return 0;
    }
    const std::string n(name);
    if (h.logCalls) {
        h.calls.push_back("surface " + n);
    }
    int32_t index = -1;
    if (n.size() > h.expectedBase.size() &&
        n.compare(0, h.expectedBase.size(), h.expectedBase) == 0) {
        const std::string digits = n.substr(h.expectedBase.size());
        const bool decimal =
            digits.size() <= 2 && digits.find_first_not_of("0123456789") == std::string::npos;
        if (decimal && (digits.size() == 1 || digits[0] != '0')) {
            index = std::stoi(digits);
        }
    }
    h.Expect(index >= 0 && index < kColourCount, "surface name is not base name + 0..15");
    for (const std::string& earlier : h.surfaceNames) {
        h.Expect(earlier != n, "surface looked up twice");
    }
    if (!h.surfaceNames.empty() && index >= 0) {
        const std::string& last = h.surfaceNames.back();
        const int32_t lastIndex = std::stoi(last.substr(h.expectedBase.size()));
        h.Expect(index > lastIndex, "surfaces not looked up in increasing colour index");
    }
    const int32_t value = SurfaceValue(h.surfaceNames.size());
    h.surfaceNames.push_back(n);
    h.surfaceValues.push_back(value);
    h.surfaceStored.push_back(false);
    return value;
}

void RecordingHost::CheckBlock(RecordingHost& h, const unsigned char* b) {
    static const char kTags[7][5] = {"COLR", "FLAG", "SMAN", "DIFF", "TRAN", "SPEC", "GLOS"};
    static const unsigned kLengths[7] = {4, 2, 4, 2, 2, 2, 2};
    size_t at = 0;
    for (int i = 0; i < 7; ++i) {
        h.Expect(std::memcmp(b + at, kTags[i], 4) == 0, "block: wrong tag or tag order");
        const unsigned length = (unsigned{b[at + 4]} << 8) | b[at + 5];
        h.Expect(length == kLengths[i], "block: wrong sub-chunk length");
        at += 6 + kLengths[i];
    }
    const auto word = [&](size_t offset) { return (unsigned{b[offset]} << 8) | b[offset + 1]; };
    h.Expect(b[9] == 0, "block: fourth colour byte not zero");
    h.Expect((word(16) & ~0x0104u) == 0, "block: unknown surface flag bits");
    h.Expect(word(34) == 256, "block: diffuse level not 256");
    h.Expect(word(42) == 0, "block: transparency not zero");
    h.Expect(word(50) <= 64, "block: specular level above 64");
    h.Expect(word(58) == 0, "block: glossiness not zero");
}

void RecordingHost::Prepare() {
    record = ImportRecord{};
    record.status = kUntouchedStatus;
    record.sourcePath = sourcePath.c_str();
    record.hostData = this;
    record.startObject = StartObject;
    record.declarePointCount = DeclarePointCount;
    record.addPoints = AddPoints;
    record.lookupSurface = LookupSurface;
    record.addPolygon = AddPolygon;
    record.storeSurfaceData = StoreSurfaceData;
    panel = HostPanelServices{};
    panel.host = this;
    panel.services.createPanel = CreatePanel;
    panel.services.destroyPanel = DestroyPanel;
    panel.services.openPanel = OpenPanel;
    panel.services.getPanelAttribute = GetPanelAttribute;
    panel.services.setPanelAttribute = SetPanelAttribute;
    panel.services.createControl = CreateControl;
    drawing.getDisplayInfo = GetDisplayInfo;
    panel.services.drawingTable = &drawing;
}

void RecordingHost::Finish(int32_t result, bool failureAllowed) {
    const int32_t status = record.status;
    if (version != 1) {
        Expect(result == kActivateWrongVersion, "another version not refused");
        Expect(status == kUntouchedStatus, "status written for another version");
        Expect(globalLookups == 0 && geometryCalls == 0 && panelsCreated == 0,
               "host calls for another version");
        return;
    }
    Expect(!panelLive && panelsCreated == panelsDestroyed, "panel not destroyed");
    Expect(panelsOpened <= panelsCreated, "panel opened more often than created");
    if (result == kActivateMissingGlobal) {
        Expect(script.action == PanelAction::kMissingGlobal, "missing global without cause");
        Expect(status == kUntouchedStatus, "status written with result 2");
        Expect(geometryCalls == 0 && panelsCreated == 0, "host calls with result 2");
        return;
    }
    Expect(result == kActivateHandled, "result is not 0 or 2");
    Expect(status >= kImportLoaded && status <= kImportCancelled, "status outside 0..3");
    if (status == kImportLoaded) {
        Expect(phase >= kDeclared, "loaded without startObject/declarePointCount");
        Expect(pointsSent == declaredPoints, "fewer points sent than declared");
        Expect(globalLookups == 1, "loaded without looking up the panel services");
        Expect(script.action != PanelAction::kCancel || panelsCreated == 0,
               "loaded though the panel was cancelled");
        Expect(script.action != PanelAction::kMissingGlobal, "loaded without panel services");
    } else {
        Expect(geometryCalls == 0, "geometry sent, but status is not 0");
    }
    if (status == kImportNotModelFile) {
        Expect(globalLookups == 0 && panelsCreated == 0, "panel for a file not recognised");
    }
    if (status == kImportCancelled) {
        Expect(script.action == PanelAction::kCancel && panelsOpened == 1,
               "cancelled without a cancelled panel");
    }
    if (status == kImportOpenFailed) {
        Expect(failureAllowed, "status 2 for a file in memory");
    }
}

int32_t RecordingHost::AddPolygon(void* hostData, int32_t vertexCount, int32_t surface, void* zero,
                                  const uint16_t* points) {
    HostCallScope scope;
    RecordingHost& h = *From(hostData);
    ++h.geometryCalls;
    h.Expect(h.phase == kSurfaces || h.phase == kPolygons,
             "addPolygon out of order (or before any surface)");
    h.Expect(h.pointsSent == h.declaredPoints, "addPolygon before every point was sent");
    h.Expect(zero == nullptr, "addPolygon: fourth argument not zero");
    h.Expect(vertexCount >= 0, "addPolygon: negative vertex count");
    h.Expect(vertexCount == 0 || points != nullptr, "addPolygon: null point list");
    h.phase = kPolygons;
    ++h.polygonsSent;
    const std::string* from = nullptr; // the lookup the surface value came from
    for (size_t k = 0; k < h.surfaceValues.size(); ++k) {
        if (Travelled(h.surfaceValues[k]) == surface) {
            from = &h.surfaceNames[k];
        }
    }
    h.Expect(from != nullptr, "addPolygon: surface value not from lookupSurface (low 16 bits)");
    if (h.logCalls) {
        h.calls.push_back("polygon " + std::to_string(vertexCount) + " " +
                          (from != nullptr ? *from : "?"));
    }
    std::vector<uint16_t>* kept = nullptr;
    if (h.keepPolygons) {
        h.polygons.emplace_back();
        h.polygonSurfaces.push_back(surface);
        kept = &h.polygons.back();
    }
    if (points != nullptr) {
        bool inRange = true;
        for (int32_t i = 0; i < vertexCount; ++i) {
            const uint16_t p = points[i];
            inRange = inRange && p < h.declaredPoints && p < h.pointsSent;
            if (kept != nullptr) {
                kept->push_back(p);
            }
        }
        h.Expect(inRange, "addPolygon names a point that was not sent");
    }
    return 0;
}

int32_t RecordingHost::StoreSurfaceData(void* hostData, const char* name, int32_t byteCount,
                                        const void* block) {
    HostCallScope scope;
    RecordingHost& h = *From(hostData);
    ++h.geometryCalls;
    h.Expect(h.phase == kSurfaces || h.phase == kPolygons || h.phase == kBlocks,
             "storeSurfaceData out of order");
    h.phase = kBlocks;
    ++h.blocksSent;
    h.Expect(byteCount == kSurfaceBlockSize, "storeSurfaceData: byte count not 60");
    h.Expect(name != nullptr && block != nullptr, "storeSurfaceData: null name or block");
    if (name == nullptr || block == nullptr) {
        return 0;
    }
    if (h.logCalls) {
        h.calls.push_back(std::string("data ") + name + " " + std::to_string(byteCount));
    }
    int32_t found = -1;
    for (size_t k = 0; k < h.surfaceNames.size(); ++k) {
        if (h.surfaceNames[k] == name) {
            found = static_cast<int32_t>(k);
        }
    }
    h.Expect(found >= 0, "storeSurfaceData: name never looked up");
    if (found >= 0) {
        h.Expect(!h.surfaceStored[static_cast<size_t>(found)], "storeSurfaceData twice");
        h.Expect(found > h.lastStoredSurface, "blocks not in increasing colour index");
        h.surfaceStored[static_cast<size_t>(found)] = true;
        h.lastStoredSurface = found;
    }
    if (byteCount == kSurfaceBlockSize) {
        CheckBlock(h, static_cast<const unsigned char*>(block));
    }
    return 0;
}

int32_t RunActivation(RecordingHost& host, const void* data, size_t size, bool failureAllowed) {
    host.Prepare();
    gActiveHost = &host;
    const int32_t result = ActivateImportFromMemory(host.version, RecordingHost::GlobalLookup,
                                                    &host.record, data, size);
    gActiveHost = nullptr;
    host.Finish(result, failureAllowed);
    return result;
}

int32_t RunFileActivation(RecordingHost& host) {
    host.Prepare();
    gActiveHost = &host;
    const int32_t result = ActivateImport(host.version, RecordingHost::GlobalLookup, &host.record);
    gActiveHost = nullptr;
    host.Finish(result, true);
    return result;
}

std::string CheckActivation(const unsigned char* data, size_t size) {
    RecordingHost host;
    host.script = ScriptFromByte(size > 0 ? data[size - 1] : 0);
    RunActivation(host, data, size);
    return host.firstErrors;
}
