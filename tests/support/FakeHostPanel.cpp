// The options panel's side of the fake host: the panel services, the
// controls and the global lookup, each checking the plug-in's use of them.
#include "tests/support/FakeHost.h"

namespace {

// A value record as the transcript shows it when set.
std::string ValueText(const ControlValue* v) {
    char text[64];
    switch (v->type) {
    case kValueInt:
        std::snprintf(text, sizeof text, "int %d", v->intValue);
        return text;
    case kValueFloat:
        std::snprintf(text, sizeof text, "float %g", v->floatValue);
        return text;
    case kValueText:
        return "text '" + std::string(v->text) + "' " + std::to_string(v->textLength);
    }
    return "type " + std::to_string(v->type);
}

// A null-terminated list of texts, comma-separated.
std::string Joined(const char* const* list) {
    std::string out;
    for (const char* const* p = list; *p != nullptr; ++p) {
        out += (p == list ? "" : ",") + std::string(*p);
    }
    return out;
}

// A new control as the transcript shows it: what its kind's description holds.
std::string ControlEntry(size_t index, const char* kindName, const ControlDescription& d,
                         const char* label) {
    std::string entry = "control " + std::to_string(index) + " " + kindName + " " +
                        std::to_string(d.kindCode) + " '" + label + "'";
    if (d.kindCode == kKindText) {
        int count = 0;
        while (d.lines[count] != nullptr) {
            ++count;
        }
        entry += " lines=" + std::to_string(count) + ":" + Joined(d.lines);
    } else if (d.kindCode == kKindChoice) {
        entry += " items=" + Joined(d.items) + " zero=" + std::to_string(d.zero);
    } else if (d.kindCode == kKindEdit) {
        entry += " width=" + std::to_string(d.fieldWidth);
    }
    return entry;
}

} // namespace

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

RecordingHost& RecordingHost::FromPanel(PanelServices* s) {
    return *reinterpret_cast<HostPanelServices*>(s)->host;
}

RecordingHost& RecordingHost::FromHandle(PanelHandle p) {
    RecordingHost& h = *gActiveHost;
    h.Expect(p == &h, "panel handle is not the one createPanel returned");
    return h;
}

PanelHandle RecordingHost::CreatePanel(const char* title, PanelServices* self) {
    HostCallScope scope;
    RecordingHost& h = FromPanel(self);
    h.Expect(title != nullptr && std::strcmp(title, "Ostrel 1.4") == 0, "panel title");
    h.Expect(self == &h.panel.services, "createPanel: not given the services table");
    h.Expect(!h.panelLive && h.panelsCreated == 0, "a second panel");
    h.Expect(h.phase == kIdle, "panel after geometry");
    if (h.logCalls) {
        h.panelEvents += 'c';
        h.panelLog.push_back(std::string("createPanel ") + (title != nullptr ? title : "(null)") +
                             (self == &h.panel.services ? " self" : " other"));
    }
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
    if (h.logCalls) {
        h.panelEvents += 'd';
        h.panelLog.push_back("destroyPanel");
    }
    h.panelLive = false;
    ++h.panelsDestroyed;
}

int32_t RecordingHost::OpenPanel(PanelHandle p, int32_t flags) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "openPanel without a live panel");
    if (h.logCalls) {
        h.panelEvents += 'o';
        h.panelLog.push_back("open " + std::to_string(flags));
    }
    ++h.panelsOpened;
    return h.script.action == PanelAction::kCancel ? 0 : 1;
}

void RecordingHost::GetPanelAttribute(PanelHandle p, int32_t attribute, int32_t* value) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "panel attribute without a live panel");
    h.Expect(attribute >= kAttrLeft && attribute <= kAttrHeight, "panel attribute code");
    if (h.logCalls) {
        h.panelLog.push_back("panel get " + std::to_string(attribute));
    }
    *value = attribute == kAttrWidth ? h.panelWidth : attribute == kAttrHeight ? h.panelHeight : 0;
}

void RecordingHost::SetPanelAttribute(PanelHandle p, int32_t attribute, int32_t* value) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "panel attribute without a live panel");
    h.Expect(attribute == kAttrLeft || attribute == kAttrTop, "panel attribute code");
    h.Expect(value != nullptr, "setPanelAttribute: null value");
    if (h.logCalls && value != nullptr) {
        h.panelLog.push_back("panel set " + std::to_string(attribute) + " " +
                             std::to_string(*value));
    }
}

void RecordingHost::GetControlAttribute(PanelControl* c, int32_t attribute, ControlValue* v) {
    HostCallScope scope;
    HostControl& control = Control(c);
    RecordingHost& h = *control.host;
    h.Expect(h.panelLive, "control used without a live panel");
    if (h.logCalls) {
        const std::string type = v->type == kValueInt     ? "int"
                                 : v->type == kValueFloat ? "float"
                                                          : "text " + std::to_string(v->textLength);
        h.panelLog.push_back("get c" + std::to_string(control.index) + " " +
                             std::to_string(attribute) + " " + type);
        h.valueRecords.emplace(v->type, v);
    }
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
    case 7:
        v->intValue = s.setSmooth ? s.smooth : control.intValue;
        break;
    case 8:
        v->floatValue = s.setAngle ? s.smoothingAngle : control.floatValue;
        break;
    case 9:
        v->intValue = s.setDoubleSided ? s.doubleSided : control.intValue;
        break;
    case 5: {
        h.Expect(v->type == kValueText && v->text != nullptr && v->textLength > 0,
                 "name read without a text buffer");
        h.nameBuffer = v->text;
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
    if (h.logCalls) {
        h.panelLog.push_back("set c" + std::to_string(control.index) + " " +
                             std::to_string(attribute) + " " + ValueText(v));
        h.valueRecords.emplace(v->type, v);
    }
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
            control.valueType = kValueText;
        } else if (v->type == kValueFloat) {
            control.floatValue = v->floatValue;
            control.valueType = kValueFloat;
        } else {
            control.intValue = v->intValue;
            control.valueType = kValueInt;
        }
    } else {
        h.Fail("setControlAttribute: unexpected attribute");
    }
}

DisplayInfo* RecordingHost::GetDisplayInfo() {
    HostCallScope scope;
    RecordingHost& h = *gActiveHost;
    if (h.logCalls) {
        h.panelLog.push_back("displayInfo");
    }
    return &h.display;
}

PanelControl* RecordingHost::CreateControl(PanelHandle p, const char* kindName,
                                           ControlDescription* d, const char* label) {
    HostCallScope scope;
    RecordingHost& h = FromHandle(p);
    h.Expect(h.panelLive, "createControl without a live panel");
    h.Expect(kindName != nullptr && d != nullptr && label != nullptr, "createControl: null");
    if (h.logCalls && kindName != nullptr && d != nullptr && label != nullptr) {
        h.panelLog.push_back(ControlEntry(h.controlCount + 1, kindName, *d, label));
    }
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
    if (h.moved.index == c.index) {
        c.left = h.moved.left, c.top = h.moved.top, c.width = h.moved.width;
    }
    if (d != nullptr && c.kindCode == kKindText && h.firstTextLines == nullptr) {
        h.firstTextLines = d->lines;
    }
    if (d != nullptr && (c.kindCode == kKindText || c.kindCode == kKindChoice)) {
        for (const char* const* line = d->lines; *line != nullptr; ++line) {
            h.Expect(std::strlen(*line) < 200, "control text line");
        }
    }
    return &c.base;
}

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

PanelOutcome RunPanel(RecordingHost& host, ImportOptions& options, const ModelTables& tables) {
    host.Prepare();
    gActiveHost = &host;
    const PanelOutcome outcome =
        ShowOptionsPanel(&host.panel.services, RecordingHost::GlobalLookup, options, tables);
    gActiveHost = nullptr;
    host.Expect(!host.panelLive && host.panelsCreated == host.panelsDestroyed,
                "panel not destroyed");
    const PanelAction action = host.script.action;
    host.Expect(outcome == (action == PanelAction::kUnavailable ? kPanelUnavailable
                            : action == PanelAction::kCancel    ? kPanelCancelled
                                                                : kPanelConfirmed),
                "panel outcome is not the user's");
    host.Expect(host.panelsOpened == (outcome == kPanelUnavailable ? 0 : 1),
                "panel not opened exactly once");
    return outcome;
}
