// Which control plays which role, the user's edits applied by role, and what
// the controls mean in English. Rules: PanelRules.h.
#include "standin/PanelRules.h"

namespace {

// Shift-JIS labels of the two choices.
const char kLoadLabel[] = "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb"; // 読み込み対象
const char kColourLabel[] = "\x90\xdd\x92\xe8\x90\x46";                       // 設定色

struct RoleEntry {
    ControlKind kind;
    const char* label;
    int fallbackOrdinal; // which control of the kind, when none has the label
    const char* keyword;
    const char* controlName;
};

// In the order of kPanelRoles.
const RoleEntry kRoleTable[] = {
    {ControlKind::Choice, kLoadLabel, 0, "load", "load-target choice"},
    {ControlKind::Choice, kColourLabel, 1, "colour", "colour choice"},
    {ControlKind::Float, "Scale", 0, "scale", "\"Scale\""},
    {ControlKind::Edit, "Surface Name", 0, "name", "\"Surface Name\""},
    {ControlKind::Bool, "Smooth", 0, "smooth", "\"Smooth\""},
    {ControlKind::Float, "Smoothing Angle", 1, "angle", "\"Smoothing Angle\""},
    {ControlKind::Bool, "Double Sided", 1, "double", "\"Double Sided\""},
};
static_assert(sizeof kRoleTable / sizeof kRoleTable[0] == kPanelRoleCount);

const RoleEntry& EntryFor(PanelRole role) {
    return kRoleTable[static_cast<size_t>(role)];
}

// The control of the role's kind with its label, else the n-th of its kind.
int32_t FindRoleControl(const PanelModel& panel, const RoleEntry& e) {
    const std::vector<ControlModel>& controls = panel.controls;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].kind == e.kind && controls[i].label == e.label)
            return static_cast<int32_t>(i);
    }
    int seen = 0;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].kind == e.kind && seen++ == e.fallbackOrdinal)
            return static_cast<int32_t>(i);
    }
    return -1;
}

template <typename T>
std::optional<PanelValue> AsValue(const std::optional<T>& edit, PanelValue (*make)(T)) {
    return edit ? std::optional<PanelValue>(make(*edit)) : std::nullopt;
}

// The edit of `role`, as a value, if given.
std::optional<PanelValue> EditFor(const PanelEdits& edits, PanelRole role) {
    switch (role) {
    case PanelRole::Load:
        return AsValue(edits.loadTarget, &IntValue);
    case PanelRole::Colour:
        return AsValue(edits.colourSet, &IntValue);
    case PanelRole::Scale:
        return AsValue(edits.scale, &FloatValue);
    case PanelRole::Name:
        return AsValue(edits.name, &TextValue);
    case PanelRole::Smooth:
        return AsValue(edits.smooth, &IntValue);
    case PanelRole::Angle:
        return AsValue(edits.angle, &FloatValue);
    case PanelRole::DoubleSided:
        return AsValue(edits.doubleSided, &IntValue);
    }
    return std::nullopt;
}

} // namespace

PanelRoles ResolvePanelRoles(const PanelModel& panel) {
    PanelRoles roles;
    roles.ofControl.resize(panel.controls.size());
    for (PanelRole role : kPanelRoles) {
        const int32_t at = FindRoleControl(panel, EntryFor(role));
        roles.controlOf[static_cast<size_t>(role)] = at;
        // Two roles of one kind may fall back to one control: the first keeps it.
        if (at < 0 || roles.ofControl[static_cast<size_t>(at)].role)
            continue;
        ControlRole& of = roles.ofControl[static_cast<size_t>(at)];
        of.role = role;
        of.keyword = RoleKeyword(role);
        of.itemWords = ItemWords(role);
    }
    return roles;
}

ControlModel* RoleControl(PanelModel& panel, const PanelRoles& roles, PanelRole role) {
    const int32_t at = roles.controlOf[static_cast<size_t>(role)];
    return at >= 0 ? &panel.controls[static_cast<size_t>(at)] : nullptr;
}

const char* RoleKeyword(PanelRole role) {
    return EntryFor(role).keyword;
}

std::optional<PanelRole> RoleNamed(const std::string& keyword) {
    for (PanelRole role : kPanelRoles) {
        if (keyword == RoleKeyword(role))
            return role;
    }
    return std::nullopt;
}

const char* RoleControlName(PanelRole role) {
    return EntryFor(role).controlName;
}

std::vector<PanelRole> EditedRoles(const PanelEdits& edits) {
    std::vector<PanelRole> roles;
    for (PanelRole role : kPanelRoles) {
        if (EditFor(edits, role))
            roles.push_back(role);
    }
    return roles;
}

PanelEdits EditsHeld(const PanelModel& panel, const PanelRoles& roles) {
    PanelEdits edits;
    const auto held = [&](PanelRole role) -> const PanelValue* {
        const int32_t at = roles.controlOf[static_cast<size_t>(role)];
        return at >= 0 ? &panel.controls[static_cast<size_t>(at)].value : nullptr;
    };
    if (const PanelValue* v = held(PanelRole::Load))
        edits.loadTarget = ValueAsInt(*v);
    if (const PanelValue* v = held(PanelRole::Colour))
        edits.colourSet = ValueAsInt(*v);
    if (const PanelValue* v = held(PanelRole::Scale))
        edits.scale = ValueAsDouble(*v);
    if (const PanelValue* v = held(PanelRole::Name))
        edits.name = ValueAsText(*v);
    if (const PanelValue* v = held(PanelRole::Smooth))
        edits.smooth = ValueAsInt(*v);
    if (const PanelValue* v = held(PanelRole::Angle))
        edits.angle = ValueAsDouble(*v);
    if (const PanelValue* v = held(PanelRole::DoubleSided))
        edits.doubleSided = ValueAsInt(*v);
    return edits;
}

std::vector<PanelRole> ApplyPanelEdits(PanelModel& panel, const PanelRoles& roles,
                                       const PanelEdits& edits) {
    std::vector<PanelRole> missing;
    for (PanelRole role : kPanelRoles) {
        const std::optional<PanelValue> edit = EditFor(edits, role);
        if (!edit)
            continue;
        if (ControlModel* c = RoleControl(panel, roles, role))
            SetControlValue(*c, *edit);
        else
            missing.push_back(role);
    }
    return missing;
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

ControlEnglish EnglishOf(const ControlModel& control, std::optional<PanelRole> role) {
    ControlEnglish out;
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
