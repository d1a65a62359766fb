#include "standin/PanelServices.h"

#include "standin/CallbackGuard.h"
#include "standin/PanelAttributes.h"

namespace {

thread_local PanelHost* gCurrentHost = nullptr; // of the import on this thread
DisplayInfo gNoDisplay{};                       // answered when no host is current (never null)

constexpr size_t kMaxListEntries = 4096; // guard against an unterminated list

void Warn(PanelHost& host, const char* call, const char* what) {
    host.warnings.push_back(std::string(call) + " called with an unknown " + what);
}

// The failure of the load whose panel services are in use, if any.
std::string* CurrentFailure() {
    return gCurrentHost != nullptr ? &gCurrentHost->failure : nullptr;
}

HostPanel* FindPanel(PanelHost& host, PanelHandle handle) {
    for (auto& p : host.panels) {
        if (handle != nullptr && p.get() == handle)
            return p.get();
    }
    return nullptr;
}

ControlModel* FindControl(PanelHost& host, PanelControl* record) {
    for (auto& p : host.panels) {
        for (size_t i = 0; record != nullptr && i < p->records.size(); ++i) {
            if (p->records[i].get() == record)
                return &p->model.controls[i];
        }
    }
    return nullptr;
}

std::string ControlRef(const ControlModel* c) {
    return c != nullptr ? "#" + std::to_string(c->number) : std::string("#?");
}

// The control's kind, label and lines or field width as the plug-in gave
// them, with their trace form.
ControlModel DescribedControl(const char* kindName, const ControlDescription* description,
                              const char* label, std::string& line) {
    ControlModel control = MakeControl(ControlKindNamed(kindName));
    control.kindName = kindName != nullptr ? kindName : "";
    control.labelIsNull = label == nullptr;
    if (label != nullptr)
        control.label = label;
    if (control.kind != ControlKind::Other) {
        line += control.kindName;
    } else {
        AppendQuoted(line, kindName);
    }
    line += ' ';
    AppendQuoted(line, label);
    if (control.kind == ControlKind::Text || control.kind == ControlKind::Choice) {
        const char* const* list = description != nullptr ? description->lines : nullptr;
        for (size_t i = 0; list != nullptr && list[i] != nullptr && i < kMaxListEntries; ++i) {
            control.lines.emplace_back(list[i]);
            line += ' ';
            AppendQuoted(line, list[i]);
        }
    } else if (control.kind == ControlKind::Edit) {
        control.fieldWidth = description != nullptr ? description->fieldWidth : 0;
        line += ' ';
        AppendInt(line, control.fieldWidth);
    }
    return control;
}

// What openPanel does with a panel: applies the edits, then lets the
// handler show it. Returns the answer.
int32_t OpenPanel(PanelHost& host, HostPanel& panel) {
    if (!host.opened)
        host.opened = panel.model;
    const std::vector<PanelRole> missing = ApplyPanelEdits(panel.model, host.behaviour.edits);
    host.editsWithoutControl.insert(host.editsWithoutControl.end(), missing.begin(), missing.end());
    const int32_t proposed = host.behaviour.cancel ? 0 : 1;
    const PanelHandler& handler = host.behaviour.handler;
    const int32_t answer =
        handler.open != nullptr ? handler.open(handler.context, panel.model, proposed) : proposed;
    if (!host.answered)
        host.answered = EditsHeld(panel.model);
    return answer;
}

} // namespace

// ------------------------------------------------------------ callbacks ---

extern "C" {

static PanelHandle HostCreatePanel(const char* title, PanelServices* /*self*/) noexcept {
    PanelHost* host = gCurrentHost;
    PanelHandle result = nullptr;
    GuardCallback(CurrentFailure(), "createPanel", [&] {
        std::string line = "createPanel ";
        AppendQuoted(line, title);
        if (host == nullptr || host->behaviour.noPanel) {
            TraceLine(host != nullptr ? host->trace : nullptr, line + " -> null");
            return;
        }
        auto panel = std::make_unique<HostPanel>();
        panel->model.titleIsNull = title == nullptr;
        if (title != nullptr)
            panel->model.title = title;
        HostPanel* handle = panel.get();
        host->panels.push_back(std::move(panel));
        TraceLine(host->trace, line + " -> panel");
        result = handle;
    });
    return result;
}

static void HostDestroyPanel(PanelHandle handle) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "destroyPanel", [&] {
        if (host == nullptr)
            return;
        TraceLine(host->trace, "destroyPanel");
        for (auto it = host->panels.begin(); it != host->panels.end(); ++it) {
            if (it->get() == handle) {
                host->panels.erase(it);
                return;
            }
        }
        Warn(*host, "destroyPanel", "panel");
    });
}

static int32_t HostOpenPanel(PanelHandle handle, int32_t flags) noexcept {
    PanelHost* host = gCurrentHost;
    int32_t result = 0;
    GuardCallback(CurrentFailure(), "openPanel", [&] {
        if (host == nullptr)
            return;
        if (HostPanel* panel = FindPanel(*host, handle))
            result = OpenPanel(*host, *panel);
        else
            Warn(*host, "openPanel", "panel");
        std::string line = "openPanel ";
        AppendInt(line, flags);
        line += " -> ";
        AppendInt(line, result);
        TraceLine(host->trace, line);
    });
    return result;
}

static void HostGetPanelAttribute(PanelHandle handle, int32_t attribute, int32_t* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "getPanelAttribute", [&] {
        if (host == nullptr)
            return;
        HostPanel* panel = FindPanel(*host, handle);
        if (panel == nullptr)
            Warn(*host, "getPanelAttribute", "panel");
        std::string line = "getPanelAttribute ";
        AppendInt(line, attribute);
        line += " -> ";
        if (value != nullptr && panel != nullptr) {
            *value = PanelAttributeOf(panel->model, attribute);
            AppendInt(line, *value);
        } else {
            line += "null";
        }
        TraceLine(host->trace, line);
    });
}

static void HostSetPanelAttribute(PanelHandle handle, int32_t attribute, int32_t* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "setPanelAttribute", [&] {
        if (host == nullptr)
            return;
        HostPanel* panel = FindPanel(*host, handle);
        std::string line = "setPanelAttribute ";
        AppendInt(line, attribute);
        line += ' ';
        if (value == nullptr) {
            line += "null";
        } else {
            AppendInt(line, *value);
            if (panel != nullptr)
                SetPanelAttribute(panel->model, attribute, *value);
        }
        if (panel == nullptr)
            Warn(*host, "setPanelAttribute", "panel");
        TraceLine(host->trace, line);
    });
}

static void HostGetControlAttribute(PanelControl* record, int32_t attribute,
                                    ControlValue* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "getControlAttribute", [&] {
        if (host == nullptr)
            return;
        ControlModel* control = FindControl(*host, record);
        std::string line = "getControlAttribute " + ControlRef(control) + ' ';
        AppendInt(line, attribute);
        line += " -> ";
        PanelValue written;
        if (control == nullptr) {
            Warn(*host, "getControlAttribute", "control");
            line += "null";
        } else if (WriteControlValue(value, ControlAttributeOf(*control, attribute), written)) {
            AppendValue(line, written);
        } else if (value != nullptr && value->type == kValueText) {
            line += "null"; // no buffer or no room: nothing written
        } else {
            AppendUnreadable(line, value);
        }
        TraceLine(host->trace, line);
    });
}

static void HostSetControlAttribute(PanelControl* record, int32_t attribute,
                                    ControlValue* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "setControlAttribute", [&] {
        if (host == nullptr)
            return;
        ControlModel* control = FindControl(*host, record);
        std::string line = "setControlAttribute " + ControlRef(control) + ' ';
        AppendInt(line, attribute);
        line += ' ';
        PanelValue v;
        if (!ReadControlValue(value, v)) {
            AppendUnreadable(line, value);
            TraceLine(host->trace, line);
            return;
        }
        AppendValue(line, v);
        TraceLine(host->trace, line);
        if (control != nullptr)
            SetControlAttribute(*control, attribute, v);
        else
            Warn(*host, "setControlAttribute", "control");
    });
}

static PanelControl* HostCreateControl(PanelHandle handle, const char* kindName,
                                       ControlDescription* description,
                                       const char* label) noexcept {
    PanelHost* host = gCurrentHost;
    PanelControl* result = nullptr;
    GuardCallback(CurrentFailure(), "createControl", [&] {
        if (host == nullptr)
            return;
        std::string line = "createControl ";
        ControlModel control = DescribedControl(kindName, description, label, line);
        if (control.kind == ControlKind::Text && host->statistics.empty() && !control.lines.empty())
            host->statistics = control.lines.front();

        // The host always supplies a control; one made for an unknown panel
        // is kept by the first live panel or, failing that, by a panel of
        // its own so that it stays valid.
        HostPanel* panel = FindPanel(*host, handle);
        if (panel == nullptr) {
            Warn(*host, "createControl", "panel");
            if (host->panels.empty())
                host->panels.push_back(std::make_unique<HostPanel>());
            panel = host->panels.front().get();
        }
        control.number = static_cast<int32_t>(panel->model.controls.size()) + 1;
        PlaceControl(panel->model, control);
        line += " -> #";
        AppendInt(line, control.number);
        auto record = std::make_unique<PanelControl>();
        record->getControlAttribute = &HostGetControlAttribute;
        record->setControlAttribute = &HostSetControlAttribute;
        panel->model.controls.push_back(std::move(control));
        panel->records.push_back(std::move(record));
        result = panel->records.back().get(); // only once the panel owns it
        TraceLine(host->trace, line);
    });
    return result;
}

static DisplayInfo* HostGetDisplayInfo(void) noexcept {
    PanelHost* host = gCurrentHost;
    if (host == nullptr)
        return &gNoDisplay;
    GuardCallback(CurrentFailure(), "getDisplayInfo", [&] {
        std::string line = "getDisplayInfo -> ";
        AppendInt(line, host->display.screenWidth);
        line += ' ';
        AppendInt(line, host->display.screenHeight);
        TraceLine(host->trace, line);
    });
    return &host->display;
}

} // extern "C"

// ------------------------------------------------------------- the host ---

void PanelHostInit(PanelHost& host, const PanelBehaviour& behaviour, Trace* trace) {
    host.behaviour = behaviour;
    host.trace = trace;
    host.services = PanelServices{};
    host.services.createPanel = &HostCreatePanel;
    host.services.destroyPanel = &HostDestroyPanel;
    host.services.openPanel = &HostOpenPanel;
    host.services.getPanelAttribute = &HostGetPanelAttribute;
    host.services.setPanelAttribute = &HostSetPanelAttribute;
    host.services.createControl = &HostCreateControl;
    host.drawing = DrawingTable{};
    host.drawing.getDisplayInfo = &HostGetDisplayInfo;
    host.services.drawingTable = &host.drawing;
    host.display = DisplayInfo{};
    host.display.screenWidth = behaviour.screenWidth;
    host.display.screenHeight = behaviour.screenHeight;
    // The six words the plug-in does not read: fixed values (a 32-bit
    // colour depth, 96 dpi, no offsets).
    host.display.other[0] = 32; // bits per pixel
    host.display.other[1] = 96; // horizontal dots per inch
    host.display.other[2] = 96; // vertical dots per inch
    host.display.other[3] = 0;
    host.display.other[4] = 0;
    host.display.other[5] = 0;
    gCurrentHost = &host;
}

void PanelHostRelease(PanelHost& host) {
    host.panels.clear();
    if (gCurrentHost == &host)
        gCurrentHost = nullptr;
}
