#include "tests/support/FakeHost.h"

PanelScript ScriptFromByte(unsigned char b) {
    PanelScript s;
    if ((b & 3u) != 0) {
        s.setLoadTarget = true;
        s.loadTarget = static_cast<int32_t>(b & 3u) - 1;
    }
    if (((b >> 2) & 3u) != 0) {
        s.setColourSet = true;
        s.colourSet = static_cast<int32_t>((b >> 2) & 3u) - 1;
    }
    static const char kLongName[] = "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
                                    "nnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
                                    "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
                                    "nnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
                                    "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
                                    "nnnnnnnnnnnnnnnnnnnnnnnnnnnnn";
    if ((b & 0x10u) != 0) {
        s.baseName = kLongName;
    }
    switch (b >> 5) {
    case 1:
        s.setScale = true, s.scale = 0.0;
        break;
    case 2:
        s.setScale = true, s.scale = -1e300;
        break;
    case 3:
        s.setScale = true, s.scale = std::nan("");
        break;
    case 4:
        s.setAngle = true, s.smoothingAngle = -1e308;
        break;
    case 5:
        s.action = PanelAction::kMissingGlobal;
        break;
    case 6:
        s.action = PanelAction::kCancel;
        break;
    case 7:
        s.action = PanelAction::kUnavailable;
        break;
    default:
        break;
    }
    return s;
}

int32_t RecordingHost::StartObject(void* hostData, void* zero) {
    HostCallScope scope;
    RecordingHost& h = *From(hostData);
    ++h.geometryCalls;
    h.Expect(h.phase == kIdle, "startObject not first or called twice");
    h.Expect(zero == nullptr, "startObject: second argument not zero");
    h.Expect(!h.panelLive, "startObject while the panel exists");
    h.phase = kStarted;
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

RecordingHost& RecordingHost::FromPanel(PanelServices* s) {
    return *reinterpret_cast<HostPanelServices*>(s)->host;
}

PanelHandle RecordingHost::CreatePanel(const char* title, PanelServices* self) {
    HostCallScope scope;
    RecordingHost& h = FromPanel(self);
    h.Expect(title != nullptr && std::strcmp(title, "Ostrel 1.4") == 0, "panel title");
    h.Expect(self == &h.panel.services, "createPanel: not given the services table");
    h.Expect(!h.panelLive && h.panelsCreated == 0, "a second panel");
    h.Expect(h.phase == kIdle, "panel after geometry");
    if (h.script.action == PanelAction::kUnavailable) {
        return nullptr;
    }
    ++h.panelsCreated;
    h.panelLive = true;
    return &h;
}

void RecordingHost::DestroyPanel(PanelHandle p) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "destroyPanel without a live panel");
    h.panelLive = false;
    ++h.panelsDestroyed;
}

int32_t RecordingHost::OpenPanel(PanelHandle p, int32_t) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "openPanel without a live panel");
    ++h.panelsOpened;
    return h.script.action == PanelAction::kCancel ? 0 : 1;
}

void RecordingHost::GetPanelAttribute(PanelHandle p, int32_t attribute, int32_t* value) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "panel attribute without a live panel");
    h.Expect(attribute >= kAttrLeft && attribute <= kAttrHeight, "panel attribute code");
    *value = attribute == kAttrWidth ? 400 : attribute == kAttrHeight ? 300 : 0;
}

void RecordingHost::SetPanelAttribute(PanelHandle p, int32_t attribute, int32_t* value) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "panel attribute without a live panel");
    h.Expect(attribute == kAttrLeft || attribute == kAttrTop, "panel attribute code");
    h.Expect(value != nullptr, "setPanelAttribute: null value");
}

void RecordingHost::GetControlAttribute(PanelControl* c, int32_t attribute, ControlValue* v) {
    HostCallScope scope;
    HostControl& control = Control(c);
    RecordingHost& h = *control.host;
    h.Expect(h.panelLive, "control used without a live panel");
    if (attribute != kAttrValue) {
        h.Expect(v->type == kValueInt, "position not read as an integer");
        v->intValue = attribute == kAttrLeft  ? control.left
                      : attribute == kAttrTop ? control.top
                                              : control.width;
        return;
    }
    const PanelScript& s = h.script;
    switch (control.index) {
    case 2:
        v->intValue = s.setLoadTarget ? s.loadTarget : control.intValue;
        break;
    case 3:
        v->intValue = s.setColourSet ? s.colourSet : control.intValue;
        break;
    case 4:
        v->floatValue = s.setScale ? s.scale : control.floatValue;
        break;
    case 8:
        v->floatValue = s.setAngle ? s.smoothingAngle : control.floatValue;
        break;
    case 5: {
        h.Expect(v->type == kValueText && v->text != nullptr && v->textLength > 0,
                 "name read without a text buffer");
        const char* text = s.baseName != nullptr ? s.baseName : control.text;
        const size_t room = static_cast<size_t>(v->textLength) - 1;
        const size_t n = std::min(std::strlen(text), room);
        std::memcpy(v->text, text, n); // a host writes only within the capacity given
        v->text[n] = '\0';
        h.expectedBase.assign(text, n);
        break;
    }
    default:
        v->intValue = control.intValue;
        break;
    }
}

void RecordingHost::SetControlAttribute(PanelControl* c, int32_t attribute, ControlValue* v) {
    HostCallScope scope;
    HostControl& control = Control(c);
    RecordingHost& h = *control.host;
    h.Expect(h.panelLive, "control used without a live panel");
    if (attribute == kAttrLeft) {
        control.left = v->intValue;
    } else if (attribute == kAttrTop) {
        control.top = v->intValue;
    } else if (attribute == kAttrValue) {
        if (v->type == kValueText) {
            h.Expect(v->text != nullptr && v->textLength >= 0 &&
                         static_cast<size_t>(v->textLength) == std::strlen(v->text),
                     "text value: length is not the text's length");
            const size_t n = std::min(std::strlen(v->text), kBaseNameCapacity - 1);
            std::memcpy(control.text, v->text, n);
            control.text[n] = '\0';
        } else if (v->type == kValueFloat) {
            control.floatValue = v->floatValue;
        } else {
            control.intValue = v->intValue;
        }
    } else {
        h.Fail("setControlAttribute: unexpected attribute");
    }
}

DisplayInfo* RecordingHost::GetDisplayInfo() {
    static DisplayInfo info{1024, 768, {}};
    return &info;
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
    bool known = false;
    for (int32_t v : h.surfaceValues) {
        known = known || Travelled(v) == surface;
    }
    h.Expect(known, "addPolygon: surface value not from lookupSurface (low 16 bits)");
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

PanelControl* RecordingHost::CreateControl(PanelHandle p, const char* kindName,
                                           ControlDescription* d, const char* label) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "createControl without a live panel");
    h.Expect(kindName != nullptr && d != nullptr && label != nullptr, "createControl: null");
    if (h.controlCount == kMaxHostControls) {
        h.Fail("too many controls");
        return &h.controls[kMaxHostControls - 1].base;
    }
    HostControl& c = h.controls[h.controlCount++];
    c.base.getControlAttribute = GetControlAttribute;
    c.base.setControlAttribute = SetControlAttribute;
    c.host = &h;
    c.index = static_cast<int32_t>(h.controlCount);
    c.kindCode = d != nullptr ? d->kindCode : 0;
    c.left = 10;
    c.top = 20 * c.index;
    c.width = 60;
    if (d != nullptr && (c.kindCode == kKindText || c.kindCode == kKindChoice)) {
        for (const char* const* line = d->lines; *line != nullptr; ++line) {
            h.Expect(std::strlen(*line) < 200, "control text line");
        }
    }
    return &c.base;
}

RecordingHost* gActiveHost = nullptr;

void* RecordingHost::GlobalLookup(const char* name, void* zero) {
    HostCallScope scope;
    RecordingHost& h = *gActiveHost;
    ++h.globalLookups;
    h.Expect(zero == nullptr, "globalLookup: second argument not zero");
    h.Expect(name != nullptr && std::strcmp(name, "LWPanelServices") == 0,
             "globalLookup of something else");
    h.Expect(h.phase == RecordingHost::kIdle, "globalLookup after geometry");
    if (h.script.action == PanelAction::kMissingGlobal) {
        return nullptr;
    }
    return &h.panel.services;
}

int32_t RunActivation(RecordingHost& host, const void* data, size_t size, bool failureAllowed) {
    host.Prepare();
    gActiveHost = &host;
    const int32_t result =
        ActivateImportFromMemory(1, RecordingHost::GlobalLookup, &host.record, data, size);
    gActiveHost = nullptr;
    host.Finish(result, failureAllowed);
    return result;
}

std::string CheckActivation(const unsigned char* data, size_t size) {
    RecordingHost host;
    host.script = ScriptFromByte(size > 0 ? data[size - 1] : 0);
    RunActivation(host, data, size);
    return host.firstErrors;
}
