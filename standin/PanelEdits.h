// The user's edits to the plug-in's options panel, applied when the panel
// opens, and the controls they address: found as the plug-in creates them,
// by kind and label, falling back to kind and order.
#pragma once

#include "standin/PanelModel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// An edit not given keeps the value the plug-in proposed.
struct PanelEdits {
    std::optional<int32_t> loadTarget;  // item 0/1/2: lines, faces, both
    std::optional<int32_t> colourSet;   // item 0/1/2: bright, middle, dark
    std::optional<double> scale;        //
    std::optional<std::string> name;    // surface base name, bytes as given
    std::optional<int32_t> smooth;      // 1/0
    std::optional<double> angle;        // smoothing angle, degrees
    std::optional<int32_t> doubleSided; // 1/0
};

// The controls the edits address, in the order the plug-in creates them.
enum class PanelRole { Load, Colour, Scale, Name, Smooth, Angle, DoubleSided };
constexpr PanelRole kPanelRoles[] = {PanelRole::Load,       PanelRole::Colour, PanelRole::Scale,
                                     PanelRole::Name,       PanelRole::Smooth, PanelRole::Angle,
                                     PanelRole::DoubleSided};

// The control of `role`, or null when the panel has none.
ControlModel* FindRoleControl(PanelModel& panel, PanelRole role);
// The role `control` plays in `panel`, if any.
std::optional<PanelRole> RoleOf(PanelModel& panel, const ControlModel& control);
// One word for the role: "load", "colour", "scale", "name", "smooth",
// "angle", "double".
const char* RoleKeyword(PanelRole role);
// The control the role looks for, for messages: "load-target choice",
// "\"Scale\"", ...
const char* RoleControlName(PanelRole role);

// The roles `edits` gives a value for, in role order.
std::vector<PanelRole> EditedRoles(const PanelEdits& edits);

// The values the panel's role controls hold, as edits (a role without a
// control: none).
PanelEdits EditsHeld(PanelModel& panel);

// Applies the edits to the panel's controls. Returns the roles whose
// control the panel lacks, whose edits are not applied.
std::vector<PanelRole> ApplyPanelEdits(PanelModel& panel, const PanelEdits& edits);
