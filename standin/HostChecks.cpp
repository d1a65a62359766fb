#include "standin/HostChecks.h"

#include <cstring>

namespace {

constexpr int32_t kColourCount = 16; // surfaces are named base + 0..15

void Expect(HostChecks& checks, bool ok, const char* what) {
    if (!ok)
        CheckFailed(checks, what);
}

bool PanelLive(const HostChecks& checks) {
    return checks.panelsCreated > checks.panelsDestroyed;
}

// The import calls' order: `phase` must be one of `allowed`; the call moves
// it to `next`.
void Step(HostChecks& checks, std::initializer_list<HostPhase> allowed, HostPhase next,
          const char* what) {
    bool ok = false;
    for (HostPhase p : allowed)
        ok = ok || checks.phase == p;
    Expect(checks, ok, what);
    checks.phase = next;
    ++checks.geometryCalls;
}

// The colour index a surface name carries after the base name: one decimal
// 0..15 without a leading zero; -1 when it has none.
int32_t ColourOf(const std::string& base, const char* name) {
    const size_t length = std::strlen(name);
    if (length <= base.size() || length > base.size() + 2 ||
        std::memcmp(name, base.data(), base.size()) != 0)
        return -1;
    const char* digits = name + base.size();
    int32_t value = 0;
    for (const char* d = digits; *d != '\0'; ++d) {
        if (*d < '0' || *d > '9')
            return -1;
        value = value * 10 + (*d - '0');
    }
    if (digits[0] == '0' && digits[1] != '\0')
        return -1;
    return value < kColourCount ? value : -1;
}

// The values the plug-in always writes into a block of the sound layout.
void CheckBlockValues(HostChecks& checks, const unsigned char* b) {
    Expect(checks, b[SurfaceBlockDataAt(kBlockColour) + 3] == 0,
           "block: fourth colour byte not zero");
    Expect(checks,
           (SurfaceBlockWord(b, kBlockFlags) & ~(kBlockFlagSmooth | kBlockFlagDoubleSided)) == 0,
           "block: unknown surface flag bits");
    Expect(checks, SurfaceBlockWord(b, kBlockDiffuse) == 256, "block: diffuse level not 256");
    Expect(checks, SurfaceBlockWord(b, kBlockTransparency) == 0, "block: transparency not zero");
    Expect(checks, SurfaceBlockWord(b, kBlockSpecular) <= 64, "block: specular level above 64");
    Expect(checks, SurfaceBlockWord(b, kBlockGlossiness) == 0, "block: glossiness not zero");
}

} // namespace

void CheckFailed(HostChecks& checks, const char* what) noexcept {
    ++checks.errorCount;
    if (checks.errorCount > 8)
        return;
    try {
        checks.firstErrors += what;
        checks.firstErrors += '\n';
    } catch (...) { // out of memory: the count still tells
    }
}

void CheckStartObject(HostChecks& checks, const void* zero) {
    Step(checks, {HostPhase::Idle}, HostPhase::Started, "startObject not first or called twice");
    Expect(checks, zero == nullptr, "startObject: second argument not zero");
    Expect(checks, !PanelLive(checks), "startObject while the panel exists");
}

void CheckDeclarePointCount(HostChecks& checks, int32_t count) {
    Step(checks, {HostPhase::Started}, HostPhase::Declared,
         "declarePointCount not right after startObject");
    Expect(checks, count >= 0, "declarePointCount: negative count");
}

void CheckAddPoints(HostChecks& checks, const ReceivedModel& model, int32_t count) {
    Step(checks, {HostPhase::Declared, HostPhase::Points}, HostPhase::Points,
         "addPoints out of order");
    Expect(checks, count == 1, "addPoints: count is not 1");
    Expect(checks, model.pointCount <= static_cast<size_t>(model.declaredPointCount),
           "more points sent than declared");
}

void CheckLookupSurface(HostChecks& checks, const ReceivedModel& model, const char* name,
                        const void* zero, bool firstLookup) {
    Step(checks, {HostPhase::Declared, HostPhase::Points, HostPhase::Surfaces}, HostPhase::Surfaces,
         "lookupSurface out of order");
    Expect(checks, model.pointCount == static_cast<size_t>(model.declaredPointCount),
           "lookupSurface before every point was sent");
    Expect(checks, zero == nullptr, "lookupSurface: third argument not zero");
    if (name == nullptr) {
        CheckFailed(checks, "lookupSurface: null name");
        return;
    }
    Expect(checks, firstLookup, "surface looked up twice");
    const int32_t colour = ColourOf(checks.baseName, name);
    Expect(checks, colour >= 0, "surface name is not base name + 0..15");
    if (colour >= 0) {
        Expect(checks, colour > checks.lastColour,
               "surfaces not looked up in increasing colour index");
        checks.lastColour = colour;
    }
}

void CheckAddPolygon(HostChecks& checks, const ReceivedModel& model, const void* zero) {
    Step(checks, {HostPhase::Surfaces, HostPhase::Polygons}, HostPhase::Polygons,
         "addPolygon out of order (or before any surface)");
    Expect(checks, model.pointCount == static_cast<size_t>(model.declaredPointCount),
           "addPolygon before every point was sent");
    Expect(checks, zero == nullptr, "addPolygon: fourth argument not zero");
}

void CheckSurfaceData(HostChecks& checks, const ReceivedSurface& surface, int32_t byteCount,
                      const void* block) {
    Step(checks, {HostPhase::Surfaces, HostPhase::Polygons, HostPhase::Blocks}, HostPhase::Blocks,
         "storeSurfaceData out of order");
    Expect(checks, surface.value != 0, "storeSurfaceData: name never looked up");
    Expect(checks, surface.blocks.size() == 1, "storeSurfaceData twice");
    Expect(checks, surface.value > checks.lastStoredValue, "blocks not in increasing colour index");
    checks.lastStoredValue = surface.value;
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    if (byteCount >= 0 && IsSurfaceBlock(bytes, static_cast<size_t>(byteCount)))
        CheckBlockValues(checks, bytes);
}

void CheckGlobalLookup(HostChecks& checks, const char* name, const void* zero) {
    ++checks.globalLookups;
    Expect(checks, zero == nullptr, "globalLookup: second argument not zero");
    Expect(checks, name != nullptr && std::strcmp(name, "LWPanelServices") == 0,
           "globalLookup of something else");
    Expect(checks, checks.phase == HostPhase::Idle, "globalLookup after geometry");
}

void CheckHostData(HostChecks& checks, const void* hostData, const void* recordHostData) {
    Expect(checks, hostData == recordHostData, "a callback's host data is not the record's");
}

void CheckCreatePanel(HostChecks& checks, const PanelServices* self, const PanelServices* services,
                      bool created) {
    Expect(checks, self == services, "createPanel: not given the services table");
    Expect(checks, !PanelLive(checks) && checks.panelsCreated == 0, "a second panel");
    Expect(checks, checks.phase == HostPhase::Idle, "panel after geometry");
    if (created)
        ++checks.panelsCreated;
}

void CheckDestroyPanel(HostChecks& checks) {
    ++checks.panelsDestroyed;
}

void CheckOpenPanel(HostChecks& checks) {
    ++checks.panelsOpened;
}

void CheckPanelAttribute(HostChecks& checks, int32_t attribute, bool set, const int32_t* value) {
    if (set) {
        Expect(checks, attribute == kAttrLeft || attribute == kAttrTop, "panel attribute code");
        Expect(checks, value != nullptr, "setPanelAttribute: null value");
    } else {
        Expect(checks, attribute >= kAttrLeft && attribute <= kAttrHeight, "panel attribute code");
    }
}

void CheckCreateControl(HostChecks& checks, const char* kindName,
                        const ControlDescription* description, const char* label) {
    Expect(checks, kindName != nullptr && description != nullptr && label != nullptr,
           "createControl: null");
    if (description != nullptr &&
        (description->kindCode == kKindText || description->kindCode == kKindChoice)) {
        for (const char* const* line = description->lines; *line != nullptr; ++line)
            Expect(checks, std::strlen(*line) < 200, "control text line");
    }
}

void CheckGetControlAttribute(HostChecks& checks, const ControlModel* control, int32_t attribute,
                              const ControlValue* value) {
    if (value == nullptr) {
        CheckFailed(checks, "getControlAttribute: null value");
    } else if (attribute != kAttrValue) {
        Expect(checks, value->type == kValueInt, "position not read as an integer");
    } else if (control != nullptr && control->kind == ControlKind::Edit) {
        Expect(checks, value->type == kValueText && value->text != nullptr && value->textLength > 0,
               "name read without a text buffer");
    }
}

void CheckSetControlAttribute(HostChecks& checks, int32_t attribute, const ControlValue* value) {
    Expect(checks, attribute == kAttrLeft || attribute == kAttrTop || attribute == kAttrValue,
           "setControlAttribute: unexpected attribute");
    if (value == nullptr) {
        CheckFailed(checks, "setControlAttribute: null value");
    } else if (attribute == kAttrValue && value->type == kValueText) {
        Expect(checks,
               value->text != nullptr && value->textLength >= 0 &&
                   static_cast<size_t>(value->textLength) == std::strlen(value->text),
               "text value: length is not the text's length");
    }
}

void NoteNameRead(HostChecks& checks, const PanelValue& written) {
    checks.baseName = written.text;
}

namespace {

// What the host itself refused, and the panel calls it could not place.
void ReportHostFindings(HostChecks& checks, const std::string& refusal,
                        const std::vector<std::string>& panelWarnings) {
    if (!refusal.empty())
        CheckFailed(checks, refusal.c_str());
    for (const std::string& warning : panelWarnings)
        CheckFailed(checks, warning.c_str());
}

} // namespace

void CheckActivationEnd(HostChecks& checks, const ReceivedModel& model,
                        const std::vector<std::string>& panelWarnings, int32_t version,
                        int32_t result, bool statusWritten, int32_t status) {
    HostChecks& c = checks;
    ReportHostFindings(c, model.refusal, panelWarnings);
    const bool unwritten = !statusWritten;
    if (version != 1) {
        Expect(c, result == kActivateWrongVersion, "another version not refused");
        Expect(c, unwritten, "status written for another version");
        Expect(c, c.globalLookups == 0 && c.geometryCalls == 0 && c.panelsCreated == 0,
               "host calls for another version");
        return;
    }
    Expect(c, c.panelsCreated == c.panelsDestroyed, "panel not destroyed");
    Expect(c, c.panelsOpened <= c.panelsCreated, "panel opened more often than created");
    if (result == kActivateMissingGlobal) {
        Expect(c, c.noServices, "missing global without cause");
        Expect(c, unwritten, "status written with result 2");
        Expect(c, c.geometryCalls == 0 && c.panelsCreated == 0, "host calls with result 2");
        return;
    }
    Expect(c, result == kActivateHandled, "result is not 0 or 2");
    Expect(c, status >= kImportLoaded && status <= kImportCancelled, "status outside 0..3");
    if (status == kImportLoaded) {
        Expect(c, c.phase >= HostPhase::Declared, "loaded without startObject/declarePointCount");
        Expect(c, model.pointCount == static_cast<size_t>(model.declaredPointCount),
               "fewer points sent than declared");
        Expect(c, c.globalLookups == 1, "loaded without looking up the panel services");
        Expect(c, !c.cancel || c.panelsCreated == 0, "loaded though the panel was cancelled");
        Expect(c, !c.noServices, "loaded without panel services");
    } else {
        Expect(c, c.geometryCalls == 0, "geometry sent, but status is not 0");
    }
    if (status == kImportNotModelFile)
        Expect(c, c.globalLookups == 0 && c.panelsCreated == 0, "panel for a file not recognised");
    if (status == kImportCancelled)
        Expect(c, c.cancel && c.panelsOpened == 1, "cancelled without a cancelled panel");
    if (status == kImportOpenFailed)
        Expect(c, c.openFailureAllowed, "status 2 for a file in memory");
}

void CheckPanelEnd(HostChecks& checks, const std::vector<std::string>& panelWarnings) {
    ReportHostFindings(checks, std::string(), panelWarnings);
    Expect(checks, checks.panelsCreated == checks.panelsDestroyed, "panel not destroyed");
    Expect(checks, checks.panelsOpened == checks.panelsCreated, "panel not opened exactly once");
}
