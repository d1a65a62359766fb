// The panel's rules, in one place. Every front end goes by them: the
// stand-in applies the user's edits with them, and the terminal panel, the
// engine and the page's binding read and refuse the user's values with them.
// A front end shows what comes back and restates none of it.
//
// A role is what a control of the plug-in's panel is for: the load target,
// the scale, and so on. Roles are found once per panel (ResolvePanelRoles).
// The controls do not change once the panel is open, so the answer holds.
#pragma once

#include "standin/PanelModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// ---- Roles -----------------------------------------------------------

// In the order the plug-in creates the controls.
enum class PanelRole { Load, Colour, Scale, Name, Smooth, Angle, DoubleSided };
constexpr PanelRole kPanelRoles[] = {PanelRole::Load,       PanelRole::Colour, PanelRole::Scale,
                                     PanelRole::Name,       PanelRole::Smooth, PanelRole::Angle,
                                     PanelRole::DoubleSided};
constexpr size_t kPanelRoleCount = sizeof kPanelRoles / sizeof kPanelRoles[0];

// The user's edits. An edit not given keeps the value the plug-in proposed.
struct PanelEdits {
    std::optional<int32_t> loadTarget;  // item 0/1/2: lines, faces, both
    std::optional<int32_t> colourSet;   // item 0/1/2: bright, middle, dark
    std::optional<double> scale;        //
    std::optional<std::string> name;    // surface base name, bytes as given
    std::optional<int32_t> smooth;      // 1/0
    std::optional<double> angle;        // smoothing angle, degrees
    std::optional<int32_t> doubleSided; // 1/0
};

// What one control is for: its role, the word that names the role, and
// the words of its items. All null for a control without a role.
struct ControlRole {
    std::optional<PanelRole> role;
    const char* keyword = nullptr;          // RoleKeyword(role)
    const char* const* itemWords = nullptr; // ItemWords(role)
};

// Which control plays which role in one panel. A role's control is the one
// of its kind with its label. Where no control has that label, it is the
// n-th control of its kind (the plug-in's order).
struct PanelRoles {
    std::array<int32_t, kPanelRoleCount> controlOf{}; // an index into the controls; -1: none
    std::vector<ControlRole> ofControl;               // per control
};
PanelRoles ResolvePanelRoles(const PanelModel& panel);
// The control of `role`, or null when the panel has none.
ControlModel* RoleControl(PanelModel& panel, const PanelRoles& roles, PanelRole role);

// One word for the role: "load", "colour", "scale", "name", "smooth",
// "angle", "double". The page and the terminal name controls by it.
const char* RoleKeyword(PanelRole role);
// The role a keyword names, if any.
std::optional<PanelRole> RoleNamed(const std::string& keyword);
// The control the role looks for, for messages: "load-target choice",
// "\"Scale\"".
const char* RoleControlName(PanelRole role);

// The roles `edits` gives a value for, in role order.
std::vector<PanelRole> EditedRoles(const PanelEdits& edits);
// The values the panel's role controls hold, as edits.
PanelEdits EditsHeld(const PanelModel& panel, const PanelRoles& roles);
// Applies the edits to the panel's controls. Returns the roles whose
// control the panel lacks: their edits are not applied.
std::vector<PanelRole> ApplyPanelEdits(PanelModel& panel, const PanelRoles& roles,
                                       const PanelEdits& edits);

// ---- Values ------------------------------------------------------------

// The most bytes a surface base name may hold. The plug-in keeps the name
// in 255 bytes and a NUL, and would cut a longer one without a word.
constexpr size_t kNameMostBytes = 255;
// The smoothing angle, in degrees. Faces meeting at less than it shade
// smoothly: below 0 smooths nothing, above 180 nothing more.
constexpr double kAngleLeast = 0;
constexpr double kAngleMost = 180;

// The items of the plug-in's two choices, as words: item 0, 1, 2.
inline constexpr const char* kLoadWords[] = {"lines", "faces", "both"};
inline constexpr const char* kColourWords[] = {"bright", "middle", "dark"};
// The words of a role's choice items, or null for a role without items.
const char* const* ItemWords(std::optional<PanelRole> role);
// What a switch takes, for messages.
inline constexpr char kOnOffExpected[] = "on or off; also yes/no, true/false, 1/0";

// Each reads a whole word in any case. False for any other text, and then
// `out` is left alone.
bool ParseLoadTarget(const std::string& text, int32_t& out); // lines, faces, both
bool ParseColourSet(const std::string& text, int32_t& out);  // bright, middle, dark
bool ParseOnOff(const std::string& text, int32_t& out);      // on|off, yes|no, 1|0, true|false

// What `role` takes, for messages: "lines, faces or both".
const char* ChoiceTakes(PanelRole role);
// The same as a number: "0 (lines only), 1 (faces only) or 2 (both)".
const char* ChoiceNumberTakes(PanelRole role);

// Reads `text` as the user's value for `role` into `edits`. A choice takes
// its item's word, a switch on or off, the scale and the angle a number, the
// name its bytes. Returns "" when taken. Otherwise it returns the one line
// saying why not, naming the option `subject` as the front end names it
// ("--scale", "scale"), and leaves `edits` alone:
//     --scale: bad value '0' (expected a number above 0: ...)
//     --scale: bad value '1,5' (a decimal comma: write the number with a point, --scale 1.5)
std::string TakeChoiceText(PanelRole role, const std::string& text, const std::string& subject,
                           PanelEdits& edits);
// The same for a value given as a number: a choice by its item number, a
// switch by 1 or 0. The name takes no number.
std::string TakeChoiceNumber(PanelRole role, double value, const std::string& subject,
                             PanelEdits& edits);

// Sets control `index` from the text a user typed for it. A control with a
// role goes by the role's rules. A choice also takes its item number from 0
// and its item's text. A control without a role goes by its kind. Returns ""
// when set, else the line saying why not, naming the control `subject`.
std::string SetControlFromText(PanelModel& panel, const PanelRoles& roles, size_t index,
                               const std::string& text, const std::string& subject);

// A choice's items for a person to read, with their numbers and the role's
// words: "0 ITEM (lines), 1 ITEM (faces), 2 ITEM (both)". Items are UTF-8.
std::string ItemListText(const ControlModel& control, std::optional<PanelRole> role,
                         const char* separator);

// ---- Meaning -------------------------------------------------------------

// What a control means in English, beside the plug-in's Japanese: a role's
// label ("Load"), a choice's items ("lines only"), the lines of the note under
// the name. Nothing for what the plug-in writes in English already.
struct ControlEnglish {
    std::string label;              // "" none
    std::vector<std::string> lines; // one per line or item; "" none
};
ControlEnglish EnglishOf(const ControlModel& control, std::optional<PanelRole> role);
