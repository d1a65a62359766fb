#include "pipeline/Choices.h"

#include "pipeline/Values.h"
#include "platform/NumberText.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cmath>

namespace {

// What each role takes as text, and as a number where that differs.
struct ChoiceRule {
    const char* takes;
    const char* takesNumber; // null: as `takes`
};

const ChoiceRule kRules[] = {
    {"lines, faces or both", "0 (lines only), 1 (faces only) or 2 (both)"},
    {"bright, middle or dark", "0 (bright), 1 (middle) or 2 (dark)"},
    {"a number above 0: 0 puts every point at one spot, below 0 turns the object inside out; 1 "
     "keeps the file's units",
     nullptr},
    {"at most 255 bytes, which the plug-in's base name holds", "text of at most 255 bytes"},
    {kOnOffExpected, "1 (on) or 0 (off)"},
    {"a number of degrees, 0 to 180", nullptr},
    {kOnOffExpected, "1 (on) or 0 (off)"},
};
static_assert(sizeof kRules / sizeof kRules[0] == sizeof kPanelRoles / sizeof kPanelRoles[0]);

const ChoiceRule& RuleOf(PanelRole role) {
    return kRules[static_cast<size_t>(role)];
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

} // namespace

const char* ChoiceTakes(PanelRole role) {
    return RuleOf(role).takes;
}

const char* ChoiceNumberTakes(PanelRole role) {
    const ChoiceRule& rule = RuleOf(role);
    return rule.takesNumber != nullptr ? rule.takesNumber : rule.takes;
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

namespace {

// The plug-in's note under the name field, line by line (Shift-JIS).
const struct {
    const char* bytes;
    const char* english;
} kNoteLines[] = {
    {"\x8F\xE3\x8B\x4C\x96\xBC\x8F\xCC\x82\xCC\x8C\xE3\x82\xEB\x82\xC9\x20\x30\x81\x60\x31\x35\x82"
     "\xF0\x98\x41\x8C\x8B\x82\xB5\x82\xBD",
     "Surface names are made from the name above"},
    {"\x83\x54\x81\x5B\x83\x74\x83\x46\x83\x43\x83\x58\x96\xBC\x82\xF0\x90\xB6\x90\xAC\x82\xB5\x82"
     "\xDC\x82\xB7\x81\x42",
     "followed by 0 to 15."},
};

const char* const kLoadItems[] = {"lines only", "faces only", "both"};
const char* const kColourItems[] = {"bright", "middle", "dark"};

} // namespace

ControlEnglish EnglishOf(PanelModel& panel, const ControlModel& control) {
    ControlEnglish out;
    const std::optional<PanelRole> role = RoleOf(panel, control);
    const char* const* items = nullptr;
    if (role == PanelRole::Load) {
        out.label = "Load";
        items = kLoadItems;
    } else if (role == PanelRole::Colour) {
        out.label = "Palette colour";
        items = kColourItems;
    }
    for (size_t i = 0; i < control.lines.size(); ++i) {
        std::string meaning = items != nullptr && i < 3 ? items[i] : "";
        for (const auto& note : kNoteLines) {
            if (!role && control.lines[i] == note.bytes)
                meaning = note.english;
        }
        out.lines.push_back(std::move(meaning));
    }
    return out;
}

bool IsModelFileName(const std::string& name) {
    const size_t start = name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1;
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > start && AsciiLowercase(name.substr(dot + 1)) == "rk4";
}

std::vector<size_t> FolderModelFiles(const std::vector<std::string>& names) {
    std::vector<size_t> found;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].find('/') == std::string::npos && IsModelFileName(names[i]))
            found.push_back(i);
    }
    const auto before = [&names](size_t a, size_t b) {
        const std::string la = AsciiLowercase(names[a]), lb = AsciiLowercase(names[b]);
        return la != lb ? la < lb : names[a] < names[b];
    };
    std::sort(found.begin(), found.end(), before);
    return found;
}
