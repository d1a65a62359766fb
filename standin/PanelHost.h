// The host side of the panel services ("LWPanelServices"):
// panels, controls with their values and places, the display information,
// and what openPanel does (apply the command line's edits, optionally show
// the panel in the terminal, answer confirm or cancel). Every call the
// plug-in makes goes into the trace.
//
// Layout (deterministic; all sizes in panel units):
//   - every control is placed when it is created: left = 10, top = the
//     previous control's top + its height + 4 (the first control: top 10);
//     a control moved later does not move the others;
//   - a control with a non-empty label reserves 8 units per label byte plus 8
//     before its field; an empty label reserves nothing;
//   - TextControl: width 8 per byte of its longest line, height 16 per line
//     (at least one line);
//   - ChoiceControl: label, then the items side by side, each 8 per byte + 16;
//     height 20;
//   - FloatControl: label + 80, height 20;
//   - EditControl: label + 8 x field width + 8 (field width taken as 1..256),
//     height 20;
//   - BoolControl: label + 20, height 20;
//   - any other kind name: label + 80, height 20;
//   - the panel's width is the largest control right edge (left + width) + 10,
//     at least 8 per title byte + 20; its height the largest control bottom
//     edge (top + height) + 10, at least 20; both are derived from the
//     controls' current places each time they are asked for, unless the
//     plug-in has set them (attribute 2 / 3), which then stand.
//   - the panel starts at left 0, top 0.
//
// Values: ChoiceControl, BoolControl, TextControl and unknown kinds keep an
// integer, FloatControl a double, EditControl a text. A ControlValue of
// another type tag is converted (int <-> double by truncation with
// saturation, numbers <-> decimal text). Positions travel as integers (or
// whatever tag the caller uses, converted the same way). A get writes only
// the word(s) of the record's tag: byte 4 (tag 2), bytes 8-15 (tag 3) or the
// caller's text buffer (tag 1: pointer at byte 4, capacity at byte 8; the
// text is cut to capacity-1 bytes and NUL-terminated; nothing is written for
// a null buffer or a capacity below 1). The record itself is never written
// beyond its 40 bytes, and a record of an unknown tag is left alone.
#pragma once

#include "host/HostApi.h"
#include "standin/Options.h"
#include "standin/Trace.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct PanelSettings {
    bool noPanel = false; // createPanel answers null
    int32_t screenWidth = 1920;
    int32_t screenHeight = 1080;
    bool cancel = false;      // openPanel answers 0 (with interactive: EOF means cancel)
    bool interactive = false; // show the panel at openPanel and read edits
    PanelEdits edits;
    std::FILE* consoleIn = nullptr;  // interactive input (default stdin)
    std::FILE* consoleOut = nullptr; // interactive display (default stdout)
    std::FILE* warnings = nullptr;   // where warnings go (null: nowhere)
};

enum class ControlValueKind { Int, Float, Text };

struct HostControl {
    PanelControl record{}; // what the plug-in calls through (words 1 and 2)
    int32_t number = 0;    // 1-based creation order within its panel
    std::string kindName;
    int32_t kindCode = 0; // from the kind name (0 for an unknown name)
    bool labelIsNull = false;
    std::string label;              // bytes as given (Shift-JIS)
    std::vector<std::string> lines; // TextControl lines / ChoiceControl items
    int32_t fieldWidth = 0;         // EditControl
    int32_t left = 0, top = 0, width = 0, height = 0;
    ControlValueKind valueKind = ControlValueKind::Int;
    int32_t intValue = 0;
    double floatValue = 0;
    std::string textValue;
};

struct HostPanel {
    std::string title;
    bool titleIsNull = false;
    int32_t left = 0, top = 0;
    bool widthSet = false, heightSet = false;
    int32_t width = 0, height = 0; // meaningful when set by the plug-in
    int32_t value = 0;
    int32_t nextTop = 10;
    std::vector<std::unique_ptr<HostControl>> controls;
    int32_t openCount = 0;
};

struct PanelHost {
    PanelServices services{};
    DrawingTable drawing{};
    DisplayInfo display{};
    PanelSettings settings;
    Trace* trace = nullptr;
    std::vector<std::unique_ptr<HostPanel>> panels; // live panels
    int32_t panelsCreated = 0;
    int32_t panelsDestroyed = 0;
    std::string failure; // set when a callback caught an exception
    // First line of the first TextControl created: the plug-in's statistics
    // line, kept for --check after the panel is gone.
    std::string statistics;
};

// Fills the table and makes `host` the current panel host (the one that
// getDisplayInfo, which takes no arguments, answers for). `host` must stay
// put while current.
void PanelHostInit(PanelHost& host, const PanelSettings& settings, Trace* trace);
// Frees every panel and stops being current.
void PanelHostRelease(PanelHost& host);

// Layout constants and rules (see the header comment).
constexpr int32_t kPanelMargin = 10;
constexpr int32_t kRowGap = 4;
constexpr int32_t kUnitsPerByte = 8;
// Size of a control of this kind with this label and lines/items/field width.
void ControlSize(const HostControl& control, int32_t& width, int32_t& height);
int32_t PanelWidth(const HostPanel& panel);
int32_t PanelHeight(const HostPanel& panel);

// The controls the command-line edits address, found as the plug-in creates
// them: by kind and label, falling back to kind and order.
enum class PanelRole { Load, Colour, Scale, Name, Smooth, Angle, DoubleSided };
HostControl* FindRoleControl(HostPanel& panel, PanelRole role);
const char* RoleKeyword(PanelRole role); // "load", "colour", ...

// Applies the edits to the panel's controls; an edit whose control is
// missing is reported on `warnings` (if not null) and skipped.
void ApplyPanelEdits(HostPanel& panel, const PanelEdits& edits, std::FILE* warnings);

// Value helpers used by the console and the tests.
int32_t SaturateToInt32(double value);
std::string ControlValueText(const HostControl& control); // the value as plain text
// A number as a person writes it: 10, 90, 44.5, 0.125; the fewest digits
// that read back to the same value; an exponent only below 1e-5 or from
// 1e15 on (1e-07, 1e+20). NaN and infinities as "nan", "inf", "-inf".
std::string PlainNumberText(double value);
void SetControlInt(HostControl& control, int32_t value);
void SetControlFloat(HostControl& control, double value);
void SetControlText(HostControl& control, const std::string& value);
