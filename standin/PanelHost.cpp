#include "standin/PanelHost.h"

#include "standin/CallbackGuard.h"
#include "standin/PanelConsole.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

PanelHost* gCurrentHost = nullptr;
DisplayInfo gNoDisplay{}; // answered when no host is current (never null)

constexpr size_t kMaxListEntries = 4096; // guard against an unterminated list

struct KindInfo {
    const char* name;
    int32_t code;
};
constexpr KindInfo kKinds[] = {
    {"TextControl", kKindText}, {"ChoiceControl", kKindChoice}, {"FloatControl", kKindFloat},
    {"EditControl", kKindEdit}, {"BoolControl", kKindBool},
};

int32_t KindCodeOf(const char* kindName) {
    if (kindName == nullptr)
        return 0;
    for (const KindInfo& k : kKinds) {
        if (std::strcmp(k.name, kindName) == 0)
            return k.code;
    }
    return 0;
}

int32_t Units(size_t bytes) {
    const size_t units = bytes * static_cast<size_t>(kUnitsPerByte);
    return units > 1000000 ? 1000000 : static_cast<int32_t>(units);
}

int32_t LabelUnits(const HostControl& control) {
    return control.label.empty() ? 0 : Units(control.label.size()) + kUnitsPerByte;
}

void Warn(PanelHost* host, const std::string& text) {
    std::FILE* out = host != nullptr ? host->settings.warnings : stderr;
    if (out != nullptr) {
        std::fprintf(out, "ostrel: warning: %s\n", text.c_str());
        std::fflush(out); // a buffered console would show it late
    }
}

// The failure of the load whose panel services are in use, if any.
std::string* CurrentFailure() {
    return gCurrentHost != nullptr ? &gCurrentHost->failure : nullptr;
}

HostPanel* FindPanel(PanelHost* host, PanelHandle handle) {
    if (host == nullptr || handle == nullptr)
        return nullptr;
    for (auto& p : host->panels) {
        if (p.get() == handle)
            return p.get();
    }
    return nullptr;
}

HostControl* FindControl(PanelHost* host, PanelControl* record) {
    if (host == nullptr || record == nullptr)
        return nullptr;
    for (auto& p : host->panels) {
        for (auto& c : p->controls) {
            if (&c->record == record)
                return c.get();
        }
    }
    return nullptr;
}

std::string NumberText(int32_t value) {
    return std::to_string(value);
}

std::string DoubleText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

int32_t TextToInt(const std::string& text) {
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

double TextToDouble(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// A value in transit: what a ControlValue carried, or what a get will write.
struct Value {
    int32_t type = kValueInt;
    int32_t i = 0;
    double d = 0;
    std::string text;
};

// Reads the incoming value of a set call (only the words of its tag).
bool ReadIncoming(const ControlValue* record, Value& v) {
    if (record == nullptr)
        return false;
    v.type = record->type;
    switch (record->type) {
    case kValueInt:
        v.i = record->intValue;
        return true;
    case kValueFloat:
        v.d = record->floatValue;
        return true;
    case kValueText: {
        const char* p = record->text;
        const int32_t length = record->textLength;
        if (p != nullptr && length > 0)
            v.text.assign(p, strnlen(p, static_cast<size_t>(length)));
        return true;
    }
    default:
        return false;
    }
}

int32_t AsInt(const Value& v) {
    switch (v.type) {
    case kValueFloat:
        return SaturateToInt32(v.d);
    case kValueText:
        return TextToInt(v.text);
    default:
        return v.i;
    }
}
double AsDouble(const Value& v) {
    switch (v.type) {
    case kValueFloat:
        return v.d;
    case kValueText:
        return TextToDouble(v.text);
    default:
        return static_cast<double>(v.i);
    }
}
std::string AsText(const Value& v) {
    switch (v.type) {
    case kValueFloat:
        return DoubleText(v.d);
    case kValueText:
        return v.text;
    default:
        return NumberText(v.i);
    }
}

// Appends the trace form of a value: decimal, %.17g or quoted text.
void AppendValue(std::string& line, const Value& v) {
    switch (v.type) {
    case kValueInt:
        AppendInt(line, v.i);
        break;
    case kValueFloat:
        AppendDouble17(line, v.d);
        break;
    case kValueText:
        AppendQuotedBytes(line, v.text.data(), v.text.size());
        break;
    default:
        line += "?type=";
        AppendInt(line, v.type);
        break;
    }
}

// The control's current value of `attribute`, in its native type.
Value ControlAttribute(const HostControl& c, int32_t attribute) {
    Value v;
    switch (attribute) {
    case kAttrLeft:
        v.i = c.left;
        break;
    case kAttrTop:
        v.i = c.top;
        break;
    case kAttrWidth:
        v.i = c.width;
        break;
    case kAttrHeight:
        v.i = c.height;
        break;
    case kAttrValue:
        switch (c.valueKind) {
        case ControlValueKind::Int:
            v.i = c.intValue;
            break;
        case ControlValueKind::Float:
            v.type = kValueFloat;
            v.d = c.floatValue;
            break;
        case ControlValueKind::Text:
            v.type = kValueText;
            v.text = c.textValue;
            break;
        }
        break;
    default:
        break;
    }
    return v;
}

// Converts `native` to the tag of `record` and writes it; `written` receives
// what was written, for the trace. Returns false when nothing was written.
bool WriteOutgoing(ControlValue* record, const Value& native, Value& written) {
    if (record == nullptr)
        return false;
    written.type = record->type;
    switch (record->type) {
    case kValueInt:
        written.i = AsInt(native);
        record->intValue = written.i;
        return true;
    case kValueFloat:
        written.d = AsDouble(native);
        record->floatValue = written.d;
        return true;
    case kValueText: {
        char* buffer = record->text;
        const int32_t capacity = record->textLength;
        if (buffer == nullptr || capacity < 1)
            return false;
        std::string text = AsText(native);
        if (text.size() > static_cast<size_t>(capacity) - 1)
            text.resize(static_cast<size_t>(capacity) - 1);
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
        written.text = text;
        return true;
    }
    default:
        return false;
    }
}

void PlaceControl(HostPanel& panel, HostControl& control) {
    ControlSize(control, control.width, control.height);
    control.left = kPanelMargin;
    control.top = panel.nextTop;
    const long long next = static_cast<long long>(panel.nextTop) + control.height + kRowGap;
    panel.nextTop = next > 100000000 ? 100000000 : static_cast<int32_t>(next);
}

std::string ControlRef(const HostControl* c) {
    return c != nullptr ? "#" + std::to_string(c->number) : std::string("#?");
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
        if (host == nullptr || host->settings.noPanel) {
            TraceLine(host != nullptr ? host->trace : nullptr, line + " -> null");
            return;
        }
        auto panel = std::make_unique<HostPanel>();
        panel->titleIsNull = title == nullptr;
        if (title != nullptr)
            panel->title = title;
        HostPanel* handle = panel.get();
        host->panels.push_back(std::move(panel));
        ++host->panelsCreated;
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
                ++host->panelsDestroyed;
                return;
            }
        }
        Warn(host, "destroyPanel called with an unknown panel");
    });
}

static int32_t HostOpenPanel(PanelHandle handle, int32_t flags) noexcept {
    PanelHost* host = gCurrentHost;
    int32_t result = 0;
    GuardCallback(CurrentFailure(), "openPanel", [&] {
        if (host == nullptr)
            return;
        HostPanel* panel = FindPanel(host, handle);
        if (panel == nullptr) {
            Warn(host, "openPanel called with an unknown panel");
        } else {
            ++panel->openCount;
            ApplyPanelEdits(*panel, host->settings.edits, host->settings.warnings);
            result = host->settings.cancel ? 0 : 1;
            if (host->settings.interactive) {
                std::FILE* in =
                    host->settings.consoleIn != nullptr ? host->settings.consoleIn : stdin;
                std::FILE* out =
                    host->settings.consoleOut != nullptr ? host->settings.consoleOut : stdout;
                result = RunPanelConsole(*panel, in, out, host->settings.cancel);
            }
        }
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
        HostPanel* panel = FindPanel(host, handle);
        int32_t v = 0;
        if (panel != nullptr) {
            switch (attribute) {
            case kAttrLeft:
                v = panel->left;
                break;
            case kAttrTop:
                v = panel->top;
                break;
            case kAttrWidth:
                v = PanelWidth(*panel);
                break;
            case kAttrHeight:
                v = PanelHeight(*panel);
                break;
            case kAttrValue:
                v = panel->value;
                break;
            default:
                break;
            }
        } else {
            Warn(host, "getPanelAttribute called with an unknown panel");
        }
        std::string line = "getPanelAttribute ";
        AppendInt(line, attribute);
        line += " -> ";
        if (value != nullptr && panel != nullptr) {
            *value = v;
            AppendInt(line, v);
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
        HostPanel* panel = FindPanel(host, handle);
        std::string line = "setPanelAttribute ";
        AppendInt(line, attribute);
        line += ' ';
        if (value == nullptr) {
            line += "null";
        } else {
            const int32_t v = *value;
            AppendInt(line, v);
            if (panel != nullptr) {
                switch (attribute) {
                case kAttrLeft:
                    panel->left = v;
                    break;
                case kAttrTop:
                    panel->top = v;
                    break;
                case kAttrWidth:
                    panel->width = v;
                    panel->widthSet = true;
                    break;
                case kAttrHeight:
                    panel->height = v;
                    panel->heightSet = true;
                    break;
                case kAttrValue:
                    panel->value = v;
                    break;
                default:
                    break;
                }
            }
        }
        if (panel == nullptr)
            Warn(host, "setPanelAttribute called with an unknown panel");
        TraceLine(host->trace, line);
    });
}

static void HostGetControlAttribute(PanelControl* record, int32_t attribute,
                                    ControlValue* value) noexcept {
    PanelHost* host = gCurrentHost;
    GuardCallback(CurrentFailure(), "getControlAttribute", [&] {
        if (host == nullptr)
            return;
        HostControl* control = FindControl(host, record);
        std::string line = "getControlAttribute " + ControlRef(control) + ' ';
        AppendInt(line, attribute);
        line += " -> ";
        Value written;
        if (control == nullptr) {
            Warn(host, "getControlAttribute called with an unknown control");
            line += "null";
        } else if (WriteOutgoing(value, ControlAttribute(*control, attribute), written)) {
            AppendValue(line, written);
        } else if (value == nullptr) {
            line += "null";
        } else if (value->type == kValueText) {
            line += "null"; // no buffer or no room: nothing written
        } else {
            line += "?type=";
            AppendInt(line, value->type);
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
        HostControl* control = FindControl(host, record);
        std::string line = "setControlAttribute " + ControlRef(control) + ' ';
        AppendInt(line, attribute);
        line += ' ';
        Value v;
        if (!ReadIncoming(value, v)) {
            if (value == nullptr) {
                line += "null";
            } else {
                line += "?type=";
                AppendInt(line, value->type);
            }
            TraceLine(host->trace, line);
            return;
        }
        AppendValue(line, v);
        TraceLine(host->trace, line);
        if (control == nullptr) {
            Warn(host, "setControlAttribute called with an unknown control");
            return;
        }
        switch (attribute) {
        case kAttrLeft:
            control->left = AsInt(v);
            break;
        case kAttrTop:
            control->top = AsInt(v);
            break;
        case kAttrWidth:
            control->width = AsInt(v);
            break;
        case kAttrHeight:
            control->height = AsInt(v);
            break;
        case kAttrValue:
            switch (control->valueKind) {
            case ControlValueKind::Int:
                control->intValue = AsInt(v);
                break;
            case ControlValueKind::Float:
                control->floatValue = AsDouble(v);
                break;
            case ControlValueKind::Text:
                control->textValue = AsText(v);
                break;
            }
            break;
        default:
            break;
        }
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
        HostPanel* panel = FindPanel(host, handle);
        auto control = std::make_unique<HostControl>();
        control->record.getControlAttribute = &HostGetControlAttribute;
        control->record.setControlAttribute = &HostSetControlAttribute;
        control->kindCode = KindCodeOf(kindName);
        control->kindName = kindName != nullptr ? kindName : "";
        control->labelIsNull = label == nullptr;
        if (label != nullptr)
            control->label = label;

        std::string line = "createControl ";
        if (control->kindCode != 0) {
            line += control->kindName;
        } else {
            AppendQuoted(line, kindName);
        }
        line += ' ';
        AppendQuoted(line, label);

        switch (control->kindCode) {
        case kKindText:
        case kKindChoice: {
            const char* const* list = description != nullptr ? description->lines : nullptr;
            for (size_t i = 0; list != nullptr && list[i] != nullptr && i < kMaxListEntries; ++i) {
                control->lines.emplace_back(list[i]);
                line += ' ';
                AppendQuoted(line, list[i]);
            }
            if (control->kindCode == kKindText && host->statistics.empty() &&
                !control->lines.empty())
                host->statistics = control->lines.front();
            control->valueKind = ControlValueKind::Int;
            break;
        }
        case kKindEdit:
            control->fieldWidth = description != nullptr ? description->fieldWidth : 0;
            line += ' ';
            AppendInt(line, control->fieldWidth);
            control->valueKind = ControlValueKind::Text;
            break;
        case kKindFloat:
            control->valueKind = ControlValueKind::Float;
            break;
        default:
            control->valueKind = ControlValueKind::Int;
            break;
        }

        // The host always supplies a control; one made for an
        // unknown panel is kept by the first live panel or, failing that, by
        // a panel of its own so that it stays valid.
        if (panel == nullptr) {
            Warn(host, "createControl called with an unknown panel");
            if (host->panels.empty())
                host->panels.push_back(std::make_unique<HostPanel>());
            panel = host->panels.front().get();
        }
        control->number = static_cast<int32_t>(panel->controls.size()) + 1;
        PlaceControl(*panel, *control);
        line += " -> #";
        AppendInt(line, control->number);
        PanelControl* record = &control->record;
        panel->controls.push_back(std::move(control));
        result = record; // only once the panel owns it
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

void PanelHostInit(PanelHost& host, const PanelSettings& settings, Trace* trace) {
    host.settings = settings;
    if (host.settings.consoleIn == nullptr)
        host.settings.consoleIn = stdin;
    if (host.settings.consoleOut == nullptr)
        host.settings.consoleOut = stdout;
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
    host.display.screenWidth = settings.screenWidth;
    host.display.screenHeight = settings.screenHeight;
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

void ControlSize(const HostControl& control, int32_t& width, int32_t& height) {
    const int32_t label = LabelUnits(control);
    switch (control.kindCode) {
    case kKindText: {
        size_t longest = 0;
        for (const std::string& l : control.lines)
            longest = std::max(longest, l.size());
        width = Units(longest);
        const size_t rows = std::max<size_t>(1, control.lines.size());
        height = rows > 100000 ? 1600000 : static_cast<int32_t>(rows) * 16;
        return;
    }
    case kKindChoice: {
        long long w = label;
        for (const std::string& item : control.lines)
            w += Units(item.size()) + 16;
        width = w > 100000000 ? 100000000 : static_cast<int32_t>(w);
        height = 20;
        return;
    }
    case kKindFloat:
        width = label + 80;
        height = 20;
        return;
    case kKindEdit: {
        const int32_t chars = std::clamp(control.fieldWidth, 1, 256);
        width = label + chars * kUnitsPerByte + 8;
        height = 20;
        return;
    }
    case kKindBool:
        width = label + 20;
        height = 20;
        return;
    default:
        width = label + 80;
        height = 20;
        return;
    }
}

int32_t PanelWidth(const HostPanel& panel) {
    if (panel.widthSet)
        return panel.width;
    long long right = 0;
    for (const auto& c : panel.controls)
        right = std::max(right, static_cast<long long>(c->left) + c->width);
    long long w = right + kPanelMargin;
    w = std::max(w, static_cast<long long>(Units(panel.title.size())) + 2 * kPanelMargin);
    return w > INT32_MAX ? INT32_MAX : static_cast<int32_t>(w);
}

int32_t PanelHeight(const HostPanel& panel) {
    if (panel.heightSet)
        return panel.height;
    long long bottom = 0;
    for (const auto& c : panel.controls)
        bottom = std::max(bottom, static_cast<long long>(c->top) + c->height);
    long long h = std::max(bottom + kPanelMargin, static_cast<long long>(2 * kPanelMargin));
    return h > INT32_MAX ? INT32_MAX : static_cast<int32_t>(h);
}

namespace {

HostControl* FindByKind(HostPanel& panel, int32_t kindCode, const char* label,
                        int fallbackOrdinal) {
    for (auto& c : panel.controls) {
        if (c->kindCode == kindCode && label != nullptr && c->label == label)
            return c.get();
    }
    int seen = 0;
    for (auto& c : panel.controls) {
        if (c->kindCode == kindCode && seen++ == fallbackOrdinal)
            return c.get();
    }
    return nullptr;
}

// Shift-JIS labels of the two choices.
const char kLoadLabel[] = "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb"; // 読み込み対象
const char kColourLabel[] = "\x90\xdd\x92\xe8\x90\x46";                       // 設定色

} // namespace

HostControl* FindRoleControl(HostPanel& panel, PanelRole role) {
    switch (role) {
    case PanelRole::Load:
        return FindByKind(panel, kKindChoice, kLoadLabel, 0);
    case PanelRole::Colour:
        return FindByKind(panel, kKindChoice, kColourLabel, 1);
    case PanelRole::Scale:
        return FindByKind(panel, kKindFloat, "Scale", 0);
    case PanelRole::Name:
        return FindByKind(panel, kKindEdit, "Surface Name", 0);
    case PanelRole::Smooth:
        return FindByKind(panel, kKindBool, "Smooth", 0);
    case PanelRole::Angle:
        return FindByKind(panel, kKindFloat, "Smoothing Angle", 1);
    case PanelRole::DoubleSided:
        return FindByKind(panel, kKindBool, "Double Sided", 1);
    }
    return nullptr;
}

const char* RoleKeyword(PanelRole role) {
    switch (role) {
    case PanelRole::Load:
        return "load";
    case PanelRole::Colour:
        return "colour";
    case PanelRole::Scale:
        return "scale";
    case PanelRole::Name:
        return "name";
    case PanelRole::Smooth:
        return "smooth";
    case PanelRole::Angle:
        return "angle";
    case PanelRole::DoubleSided:
        return "double";
    }
    return "?";
}

int32_t SaturateToInt32(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

std::string PlainNumberText(double value) {
    // The shortest digits that read back to the same double, in the fixed
    // form unless that would need a long run of zeros.
    const double magnitude = std::fabs(value);
    const bool fixed = magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e15);
    char buffer[400];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value,
                      fixed ? std::chars_format::fixed : std::chars_format::scientific);
    return std::string(buffer, r.ec == std::errc() ? r.ptr : buffer);
}

std::string ControlValueText(const HostControl& control) {
    switch (control.valueKind) {
    case ControlValueKind::Int:
        return NumberText(control.intValue);
    case ControlValueKind::Float:
        return PlainNumberText(control.floatValue);
    case ControlValueKind::Text:
        return control.textValue;
    }
    return std::string();
}

void SetControlInt(HostControl& control, int32_t value) {
    switch (control.valueKind) {
    case ControlValueKind::Int:
        control.intValue = value;
        break;
    case ControlValueKind::Float:
        control.floatValue = value;
        break;
    case ControlValueKind::Text:
        control.textValue = NumberText(value);
        break;
    }
}

void SetControlFloat(HostControl& control, double value) {
    switch (control.valueKind) {
    case ControlValueKind::Int:
        control.intValue = SaturateToInt32(value);
        break;
    case ControlValueKind::Float:
        control.floatValue = value;
        break;
    case ControlValueKind::Text:
        control.textValue = DoubleText(value);
        break;
    }
}

void SetControlText(HostControl& control, const std::string& value) {
    switch (control.valueKind) {
    case ControlValueKind::Int:
        control.intValue = TextToInt(value);
        break;
    case ControlValueKind::Float:
        control.floatValue = TextToDouble(value);
        break;
    case ControlValueKind::Text:
        control.textValue = value;
        break;
    }
}

void ApplyPanelEdits(HostPanel& panel, const PanelEdits& edits, std::FILE* warnings) {
    auto missing = [&](const char* option, const char* what) {
        if (warnings != nullptr) {
            std::fprintf(warnings,
                         "ostrel: warning: %s: the panel has no %s control; not applied\n", option,
                         what);
            std::fflush(warnings);
        }
    };
    auto applyInt = [&](const std::optional<int32_t>& edit, PanelRole role, const char* option,
                        const char* what) {
        if (!edit)
            return;
        if (HostControl* c = FindRoleControl(panel, role)) {
            SetControlInt(*c, *edit);
        } else {
            missing(option, what);
        }
    };
    auto applyFloat = [&](const std::optional<double>& edit, PanelRole role, const char* option,
                          const char* what) {
        if (!edit)
            return;
        if (HostControl* c = FindRoleControl(panel, role)) {
            SetControlFloat(*c, *edit);
        } else {
            missing(option, what);
        }
    };
    applyInt(edits.loadTarget, PanelRole::Load, "--load", "load-target choice");
    applyInt(edits.colourSet, PanelRole::Colour, "--colours", "colour choice");
    applyFloat(edits.scale, PanelRole::Scale, "--scale", "\"Scale\"");
    if (edits.name) {
        if (HostControl* c = FindRoleControl(panel, PanelRole::Name)) {
            SetControlText(*c, *edits.name);
        } else {
            missing("--name", "\"Surface Name\"");
        }
    }
    applyInt(edits.smooth, PanelRole::Smooth, "--smooth", "\"Smooth\"");
    applyFloat(edits.angle, PanelRole::Angle, "--angle", "\"Smoothing Angle\"");
    applyInt(edits.doubleSided, PanelRole::DoubleSided, "--double-sided", "\"Double Sided\"");
}
