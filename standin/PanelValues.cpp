// The values a user may give the panel's controls, how typed text is read,
// and the one line saying why a value is refused. Rules: PanelRules.h.
#include "standin/PanelRules.h"

#include "platform/NumberText.h"
#include "platform/TextCodec.h"

#include <cmath>
#include <vector>

namespace {

template <size_t N>
bool ParseWord(const std::string& text, const char* const (&words)[N], int32_t& out) {
    const std::string word = AsciiLowercase(text);
    for (size_t i = 0; i < N; ++i) {
        if (word == words[i]) {
            out = static_cast<int32_t>(i);
            return true;
        }
    }
    return false;
}

// What each role takes as text, and as a number where that differs.
struct ChoiceRule {
    std::string takes;
    std::string takesNumber; // "": as `takes`
};

// In the order of kPanelRoles. Made once, on first use.
const std::vector<ChoiceRule>& Rules() {
    static const std::vector<ChoiceRule> rules = [] {
        const std::string name = "at most " + std::to_string(kNameMostBytes) + " bytes";
        const std::string onOff = kOnOffExpected;
        const std::string angle = "a number of degrees, " +
                                  std::to_string(static_cast<int>(kAngleLeast)) + " to " +
                                  std::to_string(static_cast<int>(kAngleMost));
        return std::vector<ChoiceRule>{
            {"lines, faces or both", "0 (lines only), 1 (faces only) or 2 (both)"},
            {"bright, middle or dark", "0 (bright), 1 (middle) or 2 (dark)"},
            {"a number above 0: 0 puts every point at one spot, below 0 turns the object inside "
             "out; 1 keeps the file's units",
             ""},
            {name + ", which the plug-in's base name holds", "text of " + name},
            {onOff, "1 (on) or 0 (off)"},
            {angle, ""},
            {onOff, "1 (on) or 0 (off)"},
        };
    }();
    return rules;
}

const ChoiceRule& RuleOf(PanelRole role) {
    return Rules()[static_cast<size_t>(role)];
}

// Whether a number is a value `role` takes; the choices and switches by
// their whole item numbers.
bool NumberFits(PanelRole role, double value) {
    if (!std::isfinite(value))
        return false;
    switch (role) {
    case PanelRole::Load:
    case PanelRole::Colour:
        return value >= 0 && value <= 2 && value == std::floor(value);
    case PanelRole::Smooth:
    case PanelRole::DoubleSided:
        return value == 0 || value == 1;
    case PanelRole::Scale:
        return value > 0;
    case PanelRole::Angle:
        return value >= kAngleLeast && value <= kAngleMost;
    case PanelRole::Name:
        break;
    }
    return false;
}

void SetNumber(PanelRole role, double value, PanelEdits& edits) {
    const auto whole = static_cast<int32_t>(value);
    switch (role) {
    case PanelRole::Load:
        edits.loadTarget = whole;
        break;
    case PanelRole::Colour:
        edits.colourSet = whole;
        break;
    case PanelRole::Smooth:
        edits.smooth = whole;
        break;
    case PanelRole::DoubleSided:
        edits.doubleSided = whole;
        break;
    case PanelRole::Scale:
        edits.scale = value;
        break;
    case PanelRole::Angle:
        edits.angle = value;
        break;
    case PanelRole::Name:
        break;
    }
}

// The number `text` stands for as `role` reads text: a choice's word, a
// switch's word, a number. False: none.
bool TextAsNumber(PanelRole role, const std::string& text, double& out) {
    int32_t item = 0;
    bool read = false;
    switch (role) {
    case PanelRole::Load:
        read = ParseLoadTarget(text, item);
        break;
    case PanelRole::Colour:
        read = ParseColourSet(text, item);
        break;
    case PanelRole::Smooth:
    case PanelRole::DoubleSided:
        read = ParseOnOff(text, item);
        break;
    case PanelRole::Scale:
    case PanelRole::Angle:
        return ParseFiniteDouble(text, out);
    case PanelRole::Name:
        return false;
    }
    out = item;
    return read;
}

bool TextFits(PanelRole role, const std::string& text) {
    double value = 0;
    return TextAsNumber(role, text, value) && NumberFits(role, value);
}

// A number written with a decimal comma, as many locales write it: the text
// with a point in its place when `role` would take that, else "".
std::string WithDecimalPoint(PanelRole role, const std::string& text) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos)
        return "";
    std::string pointed = text;
    pointed[comma] = '.';
    return TextFits(role, pointed) ? pointed : "";
}

std::string Refusal(const std::string& subject, const std::string& text, const std::string& why) {
    return subject + ": bad value '" + text + "' (" + why + ")";
}

// A choice's item from the typed text: a role's word, the item number, or
// the item's text (as the plug-in's bytes or as UTF-8); -1 for none.
int32_t ChoiceItem(const ControlModel& c, std::optional<PanelRole> role, const std::string& text) {
    int32_t v = 0;
    if ((role == PanelRole::Load && ParseLoadTarget(text, v)) ||
        (role == PanelRole::Colour && ParseColourSet(text, v)))
        return v;
    if (ParseInt32(text, v) && v >= 0 && static_cast<size_t>(v) < c.lines.size())
        return v;
    for (size_t i = 0; i < c.lines.size(); ++i) {
        if (text == c.lines[i] || text == ShiftJisToUtf8(c.lines[i]))
            return static_cast<int32_t>(i);
    }
    return -1;
}

// A role's switch, number or name from the typed text.
std::string SetRoleFromText(PanelRole role, ControlModel& c, const std::string& text,
                            const std::string& subject) {
    PanelEdits typed;
    const std::string refusal = TakeChoiceText(role, text, subject, typed);
    if (!refusal.empty())
        return refusal;
    if (typed.scale || typed.angle)
        SetControlValue(c, FloatValue(typed.scale ? *typed.scale : *typed.angle));
    else if (typed.smooth || typed.doubleSided)
        SetControlValue(c, IntValue(typed.smooth ? *typed.smooth : *typed.doubleSided));
    else if (typed.name)
        SetControlValue(c, TextValue(*typed.name));
    return "";
}

// A control without a role, by its kind.
std::string SetByKind(ControlModel& c, const std::string& text, const std::string& subject) {
    switch (c.kind) {
    case ControlKind::Edit:
        c.value.text = text;
        return "";
    case ControlKind::Bool:
        return ParseOnOff(text, c.value.i) ? "" : subject + ": expected " + kOnOffExpected;
    case ControlKind::Float:
        return ParseFiniteDouble(text, c.value.d) ? "" : subject + ": expected a number";
    default: {
        int32_t v = 0;
        if (!ParseInt32(text, v))
            return subject + ": expected an integer";
        SetControlValue(c, IntValue(v));
        return "";
    }
    }
}

} // namespace

const char* const* ItemWords(std::optional<PanelRole> role) {
    if (role == PanelRole::Load)
        return kLoadWords;
    if (role == PanelRole::Colour)
        return kColourWords;
    return nullptr;
}

bool ParseLoadTarget(const std::string& text, int32_t& out) {
    return ParseWord(text, kLoadWords, out);
}

bool ParseColourSet(const std::string& text, int32_t& out) {
    return ParseWord(text, kColourWords, out);
}

bool ParseOnOff(const std::string& text, int32_t& out) {
    static const char* const kOff[] = {"off", "no", "0", "false"};
    static const char* const kOn[] = {"on", "yes", "1", "true"};
    int32_t unused = 0;
    if (ParseWord(text, kOn, unused)) {
        out = 1;
        return true;
    }
    if (ParseWord(text, kOff, unused)) {
        out = 0;
        return true;
    }
    return false;
}

const char* ChoiceTakes(PanelRole role) {
    return RuleOf(role).takes.c_str();
}

const char* ChoiceNumberTakes(PanelRole role) {
    const ChoiceRule& rule = RuleOf(role);
    return (rule.takesNumber.empty() ? rule.takes : rule.takesNumber).c_str();
}

std::string TakeChoiceText(PanelRole role, const std::string& text, const std::string& subject,
                           PanelEdits& edits) {
    if (role == PanelRole::Name) {
        if (text.size() > kNameMostBytes)
            return subject + ": bad value of " + std::to_string(text.size()) + " bytes (expected " +
                   RuleOf(role).takes + ")";
        edits.name = text;
        return "";
    }
    double value = 0;
    if (TextAsNumber(role, text, value) && NumberFits(role, value)) {
        SetNumber(role, value, edits);
        return "";
    }
    const std::string pointed = WithDecimalPoint(role, text);
    return Refusal(subject, text,
                   pointed.empty() ? std::string("expected ") + ChoiceTakes(role)
                                   : "a decimal comma: write the number with a point, " + subject +
                                         " " + pointed);
}

std::string TakeChoiceNumber(PanelRole role, double value, const std::string& subject,
                             PanelEdits& edits) {
    if (role != PanelRole::Name && NumberFits(role, value)) {
        SetNumber(role, value, edits);
        return "";
    }
    std::string shown;
    AppendShortest(shown, value, NumberNotation::Fixed);
    return Refusal(subject, shown, std::string("expected ") + ChoiceNumberTakes(role));
}

std::string ItemListText(const ControlModel& control, std::optional<PanelRole> role,
                         const char* separator) {
    const char* const* words = ItemWords(role);
    std::string items;
    for (size_t i = 0; i < control.lines.size(); ++i) {
        items += (i ? separator : "") + std::to_string(i) + " " + ShiftJisToUtf8(control.lines[i]);
        if (words != nullptr && i < 3)
            items += std::string(" (") + words[i] + ")";
    }
    return items;
}

std::string SetControlFromText(PanelModel& panel, const PanelRoles& roles, size_t index,
                               const std::string& text, const std::string& subject) {
    ControlModel& c = panel.controls[index];
    const std::optional<PanelRole> role = roles.ofControl[index].role;
    if (c.kind == ControlKind::Choice) {
        const int32_t item = ChoiceItem(c, role, text);
        if (item < 0)
            return subject + ": choose one of: " + ItemListText(c, role, ", ");
        c.value.i = item;
        return "";
    }
    const bool roleKind =
        c.kind == ControlKind::Bool || c.kind == ControlKind::Float || c.kind == ControlKind::Edit;
    if (role && roleKind)
        return SetRoleFromText(*role, c, text, subject);
    return SetByKind(c, text, subject);
}
