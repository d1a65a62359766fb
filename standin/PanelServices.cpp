#include "standin/PanelServices.h"

#include "standin/CallbackGuard.h"
#include "standin/HostChecks.h"
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

// The control's kind, label and lines or field width as the plug-in gave
// them.
ControlModel DescribedControl(const char* kindName, const ControlDescription* description,
                              const char* label) {
    ControlModel control = MakeControl(ControlKindNamed(kindName));
    control.kindNameIsNull = kindName == nullptr;
    control.kindName = kindName != nullptr ? kindName : "";
    control.labelIsNull = label == nullptr;
    if (label != nullptr)
        control.label = label;
    if (control.kind == ControlKind::Text || control.kind == ControlKind::Choice) {
        const char* const* list = description != nullptr ? description->lines : nullptr;
        for (size_t i = 0; list != nullptr && list[i] != nullptr && i < kMaxListEntries; ++i)
            control.lines.emplace_back(list[i]);
    } else if (control.kind == ControlKind::Edit) {
        control.fieldWidth = description != nullptr ? description->fieldWidth : 0;
    }
    return control;
}

// What openPanel does with a panel: applies the edits, then lets the
// handler show it. Returns the answer.
int32_t OpenPanel(PanelHost& host, HostPanel& panel) {
    if (!host.opened)
        host.opened = panel.model;
    const PanelRoles roles = ResolvePanelRoles(panel.model);
    const std::vector<PanelRole> missing =
        ApplyPanelEdits(panel.model, roles, host.behaviour.edits);
    host.editsWithoutControl.insert(host.editsWithoutControl.end(), missing.begin(), missing.end());
    const int32_t proposed = host.behaviour.cancel ? 0 : 1;
    const PanelHandler& handler = host.behaviour.handler;
    const int32_t answer =
        handler.open != nullptr ? handler.open(handler.context, panel.model, proposed) : proposed;
    if (!host.answered)
        host.answered = EditsHeld(panel.model, roles);
    return answer;
}

} // namespace

// ------------------------------------------------------------ callbacks ---

extern "C" {

static PanelHandle HostCreatePanel(const char* title, PanelServices* self) noexcept {
    PanelHost* host = gCurrentHost;
    PanelHandle result = nullptr;
    GuardCallback(CurrentFailure(), "createPanel", [&] {
        if (host != nullptr && host->checks != nullptr)
            CheckCreatePanel(*host->checks, self, &host->services, !host->behaviour.noPanel);
        if (host == nullptr || host->behaviour.noPanel) {
            if (host != nullptr && TraceEnabled(host->trace))
                TraceLine(host->trace, CreatePanelLine(title, false));
            return;
        }
        auto panel = std::make_unique<HostPanel>();
        panel->model.titleIsNull = title == nullptr;
        if (title != nullptr)
            panel->model.title = title;
        HostPanel* handle = panel.get();
        host->panels.push_back(std::move(panel));
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, CreatePanelLine(title, true));
        result = handle;
    });
    return result;
}

static void HostDestroyPanel(PanelHandle handle) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "destroyPanel", [&] {
        if (host == nullptr)
            return;
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, DestroyPanelLine());
        for (auto it = host->panels.begin(); it != host->panels.end(); ++it) {
            if (it->get() == handle) {
                host->panels.erase(it);
                if (host->checks != nullptr)
                    CheckDestroyPanel(*host->checks);
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
        if (HostPanel* panel = FindPanel(*host, handle)) {
            if (host->checks != nullptr)
                CheckOpenPanel(*host->checks);
            result = OpenPanel(*host, *panel);
        } else
            Warn(*host, "openPanel", "panel");
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, OpenPanelLine(flags, result));
    });
    return result;
}

static void HostGetPanelAttribute(PanelHandle handle, int32_t attribute, int32_t* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "getPanelAttribute", [&] {
        if (host == nullptr)
            return;
        HostPanel* panel = FindPanel(*host, handle);
        if (host->checks != nullptr)
            CheckPanelAttribute(*host->checks, attribute, false, value);
        if (panel == nullptr)
            Warn(*host, "getPanelAttribute", "panel");
        const bool written = value != nullptr && panel != nullptr;
        if (written)
            *value = PanelAttributeOf(panel->model, attribute);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, GetPanelAttributeLine(attribute, written ? value : nullptr));
    });
}

static void HostSetPanelAttribute(PanelHandle handle, int32_t attribute, int32_t* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "setPanelAttribute", [&] {
        if (host == nullptr)
            return;
        HostPanel* panel = FindPanel(*host, handle);
        if (host->checks != nullptr)
            CheckPanelAttribute(*host->checks, attribute, true, value);
        if (value != nullptr && panel != nullptr)
            SetPanelAttribute(panel->model, attribute, *value);
        if (panel == nullptr)
            Warn(*host, "setPanelAttribute", "panel");
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, SetPanelAttributeLine(attribute, value));
    });
}

static void HostGetControlAttribute(PanelControl* record, int32_t attribute,
                                    ControlValue* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "getControlAttribute", [&] {
        if (host == nullptr)
            return;
        ControlModel* control = FindControl(*host, record);
        PanelValue written;
        const bool wrote =
            control != nullptr &&
            WriteControlValue(value, ControlAttributeOf(*control, attribute), written);
        if (control == nullptr)
            Warn(*host, "getControlAttribute", "control");
        if (host->checks != nullptr) {
            CheckGetControlAttribute(*host->checks, control, attribute, value);
            if (wrote && attribute == kAttrValue && control->kind == ControlKind::Edit)
                NoteNameRead(*host->checks, written);
        }
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, GetControlAttributeLine(control, attribute,
                                                           wrote ? &written : nullptr, value));
    });
}

static void HostSetControlAttribute(PanelControl* record, int32_t attribute,
                                    ControlValue* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "setControlAttribute", [&] {
        if (host == nullptr)
            return;
        ControlModel* control = FindControl(*host, record);
        if (host->checks != nullptr)
            CheckSetControlAttribute(*host->checks, attribute, value);
        PanelValue v;
        const bool readable = ReadControlValue(value, v);
        if (TraceEnabled(host->trace))
            TraceLine(host->trace,
                      SetControlAttributeLine(control, attribute, readable ? &v : nullptr, value));
        if (!readable)
            return;
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
        if (host->checks != nullptr)
            CheckCreateControl(*host->checks, kindName, description, label);
        ControlModel control = DescribedControl(kindName, description, label);
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
        std::string line = TraceEnabled(host->trace) ? CreateControlLine(control) : std::string();
        auto record = std::make_unique<PanelControl>();
        record->getControlAttribute = &HostGetControlAttribute;
        record->setControlAttribute = &HostSetControlAttribute;
        panel->model.controls.push_back(std::move(control));
        panel->records.push_back(std::move(record));
        result = panel->records.back().get(); // only once the panel owns it
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, line);
    });
    return result;
}

static DisplayInfo* HostGetDisplayInfo(void) noexcept {
    PanelHost* host = gCurrentHost;
    if (host == nullptr)
        return &gNoDisplay;
    GuardCallback(CurrentFailure(), "getDisplayInfo", [&] {
        if (TraceEnabled(host->trace))
            TraceLine(host->trace, DisplayInfoLine(host->display));
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
