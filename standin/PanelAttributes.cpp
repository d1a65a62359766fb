#include "standin/PanelAttributes.h"

#include <cstring>

namespace {

// The place or size field `attribute` names, or null.
template <typename Control> auto PlaceField(Control& control, int32_t attribute) {
    decltype(&control.left) field = nullptr;
    switch (attribute) {
    case kAttrLeft:
        field = &control.left;
        break;
    case kAttrTop:
        field = &control.top;
        break;
    case kAttrWidth:
        field = &control.width;
        break;
    case kAttrHeight:
        field = &control.height;
        break;
    default:
        break;
    }
    return field;
}

} // namespace

bool ReadControlValue(const ControlValue* record, PanelValue& value) {
    if (record == nullptr)
        return false;
    switch (record->type) {
    case kValueInt:
        value = IntValue(record->intValue);
        return true;
    case kValueFloat:
        value = FloatValue(record->floatValue);
        return true;
    case kValueText: {
        value = TextValue({});
        const char* p = record->text;
        const int32_t length = record->textLength;
        if (p != nullptr && length > 0)
            value.text.assign(p, strnlen(p, static_cast<size_t>(length)));
        return true;
    }
    default:
        return false;
    }
}

bool WriteControlValue(ControlValue* record, const PanelValue& value, PanelValue& written) {
    if (record == nullptr)
        return false;
    switch (record->type) {
    case kValueInt:
        written = IntValue(ValueAsInt(value));
        record->intValue = written.i;
        return true;
    case kValueFloat:
        written = FloatValue(ValueAsDouble(value));
        record->floatValue = written.d;
        return true;
    case kValueText: {
        char* buffer = record->text;
        const int32_t capacity = record->textLength;
        if (buffer == nullptr || capacity < 1)
            return false;
        written = TextValue(ValueAsText(value));
        if (written.text.size() > static_cast<size_t>(capacity) - 1)
            written.text.resize(static_cast<size_t>(capacity) - 1);
        std::memcpy(buffer, written.text.data(), written.text.size());
        buffer[written.text.size()] = '\0';
        return true;
    }
    default:
        return false;
    }
}

PanelValue ControlAttributeOf(const ControlModel& control, int32_t attribute) {
    if (attribute == kAttrValue)
        return control.value;
    const int32_t* field = PlaceField(control, attribute);
    return IntValue(field != nullptr ? *field : 0);
}

void SetControlAttribute(ControlModel& control, int32_t attribute, const PanelValue& value) {
    if (attribute == kAttrValue) {
        SetControlValue(control, value);
    } else if (int32_t* field = PlaceField(control, attribute)) {
        *field = ValueAsInt(value);
    }
}

int32_t PanelAttributeOf(const PanelModel& panel, int32_t attribute) {
    switch (attribute) {
    case kAttrWidth:
        return PanelWidth(panel);
    case kAttrHeight:
        return PanelHeight(panel);
    case kAttrValue:
        return panel.value;
    default:
        break;
    }
    const int32_t* field = PlaceField(panel, attribute);
    return field != nullptr ? *field : 0;
}

void SetPanelAttribute(PanelModel& panel, int32_t attribute, int32_t value) {
    if (attribute == kAttrValue)
        panel.value = value;
    if (attribute == kAttrWidth)
        panel.widthSet = true;
    if (attribute == kAttrHeight)
        panel.heightSet = true;
    if (int32_t* field = PlaceField(panel, attribute))
        *field = value;
}
