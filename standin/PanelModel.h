// The host's model of a panel and its controls: what the plug-in created
// (kinds, labels, items), where each control sits and the value it holds.
// Plain records, so that whoever shows the panel (the terminal, a web page)
// reads and edits them directly; the panel services (PanelServices.h) keep
// them in step with the plug-in's calls.
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
//     plug-in has set them, which then stand.
//   - the panel starts at left 0, top 0.
//
// Values: ChoiceControl, BoolControl, TextControl and unknown kinds keep an
// integer, FloatControl a double, EditControl a text. A value of another
// type is converted: int <-> double by truncation with saturation, numbers
// <-> decimal text (a double as "%.17g").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ControlKind { Other, Text, Choice, Float, Edit, Bool };

// The kind a kind name ("TextControl", ...) stands for; Other for any other
// name and for null.
ControlKind ControlKindNamed(const char* kindName);

enum class PanelValueType { Int, Float, Text };

struct PanelValue {
    PanelValueType type = PanelValueType::Int;
    int32_t i = 0;
    double d = 0;
    std::string text;
};

struct ControlModel {
    int32_t number = 0; // 1-based creation order within its panel
    std::string kindName;
    bool kindNameIsNull = false;
    ControlKind kind = ControlKind::Other;
    bool labelIsNull = false;
    std::string label;              // bytes as given (Shift-JIS)
    std::vector<std::string> lines; // TextControl lines / ChoiceControl items
    int32_t fieldWidth = 0;         // EditControl
    int32_t left = 0, top = 0, width = 0, height = 0;
    PanelValue value; // of the type the kind keeps
};

struct PanelModel {
    std::string title;
    bool titleIsNull = false;
    int32_t left = 0, top = 0;
    bool widthSet = false, heightSet = false;
    int32_t width = 0, height = 0; // meaningful when set by the plug-in
    int32_t value = 0;
    int32_t nextTop = 10; // where the next control goes
    std::vector<ControlModel> controls;
};

// A control of `kind`, its value of the type that kind keeps (zero).
ControlModel MakeControl(ControlKind kind);

// Sizes `control` by the layout rules (see above) and places it below the
// controls placed before it.
void PlaceControl(PanelModel& panel, ControlModel& control);
int32_t PanelWidth(const PanelModel& panel);
int32_t PanelHeight(const PanelModel& panel);

// Conversions between the value types.
int32_t SaturateToInt32(double value);
int32_t ValueAsInt(const PanelValue& value);
double ValueAsDouble(const PanelValue& value);
std::string ValueAsText(const PanelValue& value);
PanelValue IntValue(int32_t value);
PanelValue FloatValue(double value);
PanelValue TextValue(std::string value);

// Stores `value` in `control`, converted to the type the control keeps.
void SetControlValue(ControlModel& control, const PanelValue& value);

// The value as a person reads it: numbers as PlainNumberText writes them.
std::string ControlValueText(const ControlModel& control);
// A number as a person writes it: 10, 90, 44.5, 0.125; the fewest digits
// that read back to the same value; an exponent only below 1e-5 or from
// 1e15 on (1e-07, 1e+20). NaN and infinities as "nan", "inf", "-inf".
std::string PlainNumberText(double value);
