#include "standin/PanelEdits.h"

namespace {

// Shift-JIS labels of the two choices.
const char kLoadLabel[] = "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb"; // 読み込み対象
const char kColourLabel[] = "\x90\xdd\x92\xe8\x90\x46";                       // 設定色

struct RoleEntry {
    PanelRole role;
    ControlKind kind;
    const char* label;
    int fallbackOrdinal; // which control of the kind, when none has the label
    const char* keyword;
    const char* controlName;
};

const RoleEntry kRoleTable[] = {
    {PanelRole::Load, ControlKind::Choice, kLoadLabel, 0, "load", "load-target choice"},
    {PanelRole::Colour, ControlKind::Choice, kColourLabel, 1, "colour", "colour choice"},
    {PanelRole::Scale, ControlKind::Float, "Scale", 0, "scale", "\"Scale\""},
    {PanelRole::Name, ControlKind::Edit, "Surface Name", 0, "name", "\"Surface Name\""},
    {PanelRole::Smooth, ControlKind::Bool, "Smooth", 0, "smooth", "\"Smooth\""},
    {PanelRole::Angle, ControlKind::Float, "Smoothing Angle", 1, "angle", "\"Smoothing Angle\""},
    {PanelRole::DoubleSided, ControlKind::Bool, "Double Sided", 1, "double", "\"Double Sided\""},
};

const RoleEntry& EntryFor(PanelRole role) {
    return kRoleTable[static_cast<size_t>(role)];
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

ControlModel* FindRoleControl(PanelModel& panel, PanelRole role) {
    const RoleEntry& e = EntryFor(role);
    for (ControlModel& c : panel.controls) {
        if (c.kind == e.kind && c.label == e.label)
            return &c;
    }
    int seen = 0;
    for (ControlModel& c : panel.controls) {
        if (c.kind == e.kind && seen++ == e.fallbackOrdinal)
            return &c;
    }
    return nullptr;
}

std::optional<PanelRole> RoleOf(PanelModel& panel, const ControlModel& control) {
    for (PanelRole role : kPanelRoles) {
        if (FindRoleControl(panel, role) == &control)
            return role;
    }
    return std::nullopt;
}

const char* RoleKeyword(PanelRole role) {
    return EntryFor(role).keyword;
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

PanelEdits EditsHeld(PanelModel& panel) {
    PanelEdits edits;
    const auto held = [&panel](PanelRole role) -> const PanelValue* {
        const ControlModel* c = FindRoleControl(panel, role);
        return c != nullptr ? &c->value : nullptr;
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

std::vector<PanelRole> ApplyPanelEdits(PanelModel& panel, const PanelEdits& edits) {
    std::vector<PanelRole> missing;
    for (PanelRole role : kPanelRoles) {
        const std::optional<PanelValue> edit = EditFor(edits, role);
        if (!edit)
            continue;
        if (ControlModel* c = FindRoleControl(panel, role))
            SetControlValue(*c, *edit);
        else
            missing.push_back(role);
    }
    return missing;
}
