// The host's model of a panel and its controls. It holds what the plug-in
// created: kinds, labels and items. It also says where each control sits and
// what value it holds. These are plain records, so whoever shows the panel (the
// terminal, a web page) reads and edits them directly. The panel services
// (PanelServices.h) keep them in step with the plug-in's calls.
//
// Layout. It is deterministic, and all sizes are in panel units.
//   - Every control is placed when it is created. Its left is 10. Its top is
//     the previous control's top + that control's height + 4. The first
//     control's top is 10. A control moved later does not move the others.
//   - A control with a non-empty label reserves 8 units per label byte, plus
//     8, before its field. An empty label reserves nothing.
//   - TextControl: width 8 per byte of its longest line. Height 16 per line,
//     with at least one line.
//   - ChoiceControl: the label, then the items side by side, each 8 per byte
//     + 16. Height 20.
//   - FloatControl: label + 80, height 20.
//   - EditControl: label + 8 x field width + 8, height 20. The field width is
//     taken as 1..256.
//   - BoolControl: label + 20, height 20.
//   - Any other kind name: label + 80, height 20.
//   - The panel's width is the largest control right edge (left + width)
//     + 10. It is at least 8 per title byte + 20.
//   - The panel's height is the largest control bottom edge (top + height)
//     + 10. It is at least 20.
//   - Both are derived from the controls' current places each time they are
//     asked for. Once the plug-in has set them, the set values stand.
//   - The panel starts at left 0, top 0.
//
// Values. ChoiceControl, BoolControl, TextControl and unknown kinds keep an
// integer. FloatControl keeps a double, and EditControl a text. A value of
// another type is converted. Between int and double, the conversion truncates,
// with saturation. Numbers and decimal text convert both ways, a double as
// "%.17g".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ControlKind { Other, Text, Choice, Float, Edit, Bool };

// The kind a kind name such as "TextControl" stands for. Any other name, and
// null, give Other.
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

// A control of `kind`. Its value is zero, of the type that kind keeps.
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
// A number as a person writes it: 10, 90, 44.5, 0.125. It takes the fewest
// digits that read back to the same value. It has an exponent only below 1e-5
// or from 1e15 on, as in 1e-07 or 1e+20. NaN and infinities are written as
// "nan", "inf" and "-inf".
std::string PlainNumberText(double value);
