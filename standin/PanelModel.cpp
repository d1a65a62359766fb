#include "standin/PanelModel.h"

#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kPanelMargin = 10;
constexpr int32_t kRowGap = 4;
constexpr int32_t kUnitsPerByte = 8;

struct KindName {
    const char* name;
    ControlKind kind;
};
constexpr KindName kKindNames[] = {
    {"TextControl", ControlKind::Text},   {"ChoiceControl", ControlKind::Choice},
    {"FloatControl", ControlKind::Float}, {"EditControl", ControlKind::Edit},
    {"BoolControl", ControlKind::Bool},
};

int32_t Units(size_t bytes) {
    const size_t units = bytes * static_cast<size_t>(kUnitsPerByte);
    return units > 1000000 ? 1000000 : static_cast<int32_t>(units);
}

int32_t LabelUnits(const ControlModel& control) {
    return control.label.empty() ? 0 : Units(control.label.size()) + kUnitsPerByte;
}

int32_t TextToInt(const std::string& text) {
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Size of a control of this kind with this label and lines/items/field width.
void ControlSize(const ControlModel& control, int32_t& width, int32_t& height) {
    const int32_t label = LabelUnits(control);
    height = 20;
    switch (control.kind) {
    case ControlKind::Text: {
        size_t longest = 0;
        for (const std::string& l : control.lines)
            longest = std::max(longest, l.size());
        width = Units(longest);
        const size_t rows = std::max<size_t>(1, control.lines.size());
        height = rows > 100000 ? 1600000 : static_cast<int32_t>(rows) * 16;
        return;
    }
    case ControlKind::Choice: {
        long long w = label;
        for (const std::string& item : control.lines)
            w += Units(item.size()) + 16;
        width = w > 100000000 ? 100000000 : static_cast<int32_t>(w);
        return;
    }
    case ControlKind::Edit:
        width = label + std::clamp(control.fieldWidth, 1, 256) * kUnitsPerByte + 8;
        return;
    case ControlKind::Bool:
        width = label + 20;
        return;
    case ControlKind::Float:
    case ControlKind::Other:
        width = label + 80;
        return;
    }
}

} // namespace

ControlKind ControlKindNamed(const char* kindName) {
    if (kindName == nullptr)
        return ControlKind::Other;
    for (const KindName& k : kKindNames) {
        if (std::strcmp(k.name, kindName) == 0)
            return k.kind;
    }
    return ControlKind::Other;
}

ControlModel MakeControl(ControlKind kind) {
    ControlModel control;
    control.kind = kind;
    control.value.type = kind == ControlKind::Float  ? PanelValueType::Float
                         : kind == ControlKind::Edit ? PanelValueType::Text
                                                     : PanelValueType::Int;
    return control;
}

void PlaceControl(PanelModel& panel, ControlModel& control) {
    ControlSize(control, control.width, control.height);
    control.left = kPanelMargin;
    control.top = panel.nextTop;
    const long long next = static_cast<long long>(panel.nextTop) + control.height + kRowGap;
    panel.nextTop = next > 100000000 ? 100000000 : static_cast<int32_t>(next);
}

namespace {

// The farthest `edge` of any control plus the margin, at least `least`.
template <typename Edge> int32_t Extent(const PanelModel& panel, Edge edge, long long least) {
    long long far = 0;
    for (const ControlModel& c : panel.controls)
        far = std::max(far, edge(c));
    const long long extent = std::max(far + kPanelMargin, least);
    return extent > INT32_MAX ? INT32_MAX : static_cast<int32_t>(extent);
}

} // namespace

int32_t PanelWidth(const PanelModel& panel) {
    if (panel.widthSet)
        return panel.width;
    return Extent(
        panel, [](const ControlModel& c) { return static_cast<long long>(c.left) + c.width; },
        static_cast<long long>(Units(panel.title.size())) + 2 * kPanelMargin);
}

int32_t PanelHeight(const PanelModel& panel) {
    if (panel.heightSet)
        return panel.height;
    return Extent(
        panel, [](const ControlModel& c) { return static_cast<long long>(c.top) + c.height; },
        2 * kPanelMargin);
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

int32_t ValueAsInt(const PanelValue& value) {
    switch (value.type) {
    case PanelValueType::Float:
        return SaturateToInt32(value.d);
    case PanelValueType::Text:
        return TextToInt(value.text);
    case PanelValueType::Int:
        break;
    }
    return value.i;
}

double ValueAsDouble(const PanelValue& value) {
    switch (value.type) {
    case PanelValueType::Float:
        return value.d;
    case PanelValueType::Text:
        return std::strtod(value.text.c_str(), nullptr);
    case PanelValueType::Int:
        break;
    }
    return static_cast<double>(value.i);
}

std::string ValueAsText(const PanelValue& value) {
    std::string text;
    switch (value.type) {
    case PanelValueType::Float:
        AppendGeneral(text, value.d, 17); // as the trace writes a double
        return text;
    case PanelValueType::Text:
        return value.text;
    case PanelValueType::Int:
        break;
    }
    return std::to_string(value.i);
}

PanelValue IntValue(int32_t value) {
    PanelValue v;
    v.i = value;
    return v;
}

PanelValue FloatValue(double value) {
    PanelValue v;
    v.type = PanelValueType::Float;
    v.d = value;
    return v;
}

PanelValue TextValue(std::string value) {
    PanelValue v;
    v.type = PanelValueType::Text;
    v.text = std::move(value);
    return v;
}

void SetControlValue(ControlModel& control, const PanelValue& value) {
    PanelValue& to = control.value;
    switch (to.type) {
    case PanelValueType::Int:
        to.i = ValueAsInt(value);
        return;
    case PanelValueType::Float:
        to.d = ValueAsDouble(value);
        return;
    case PanelValueType::Text:
        to.text = ValueAsText(value);
        return;
    }
}

std::string PlainNumberText(double value) {
    // The shortest digits that read back to the same double, in the fixed
    // form unless that would need a long run of zeros.
    const double magnitude = std::fabs(value);
    const bool fixed = magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e15);
    std::string text;
    AppendShortest(text, value, fixed ? NumberNotation::Fixed : NumberNotation::Scientific);
    return text;
}

std::string ControlValueText(const ControlModel& control) {
    if (control.value.type == PanelValueType::Float)
        return PlainNumberText(control.value.d);
    return ValueAsText(control.value);
}
