// The attributes of panels and controls as the plug-in reads and writes them:
// places, sizes and values. It also covers the value records (ControlValue)
// they travel in, and their form in the trace.
//
// Positions travel as integers, or in whatever tag the caller uses, converted
// as values are (see PanelModel.h). A get writes only the words of the record's
// tag. Tag 2 writes byte 4, and tag 3 bytes 8-15. Tag 1 writes the caller's
// text buffer, whose pointer is at byte 4 and capacity at byte 8. The text is
// cut to capacity-1 bytes and NUL-terminated. Nothing is written for a null
// buffer or a capacity below 1. The record itself is never written beyond its
// 40 bytes. A record of an unknown tag is left alone.
#pragma once

#include "host/HostApi.h"
#include "standin/PanelModel.h"

#include <cstdint>
#include <string>

// The value a set call carries, read from the words of its tag alone. Returns
// false for a null record or an unknown tag.
bool ReadControlValue(const ControlValue* record, PanelValue& value);

// Writes `value`, converted to the record's tag. `written` receives what was
// written. Returns false when nothing was written.
bool WriteControlValue(ControlValue* record, const PanelValue& value, PanelValue& written);

// A control's attribute as a value of its own type. The place and size are
// integers. The value is of the type the control keeps. An unknown attribute
// reads as integer 0.
PanelValue ControlAttributeOf(const ControlModel& control, int32_t attribute);
// Sets a control's attribute from `value`, converted. An unknown attribute is
// ignored.
void SetControlAttribute(ControlModel& control, int32_t attribute, const PanelValue& value);

// A panel's attribute: its place, its size (see PanelModel.h) or its value. It
// is 0 for an unknown attribute.
int32_t PanelAttributeOf(const PanelModel& panel, int32_t attribute);
// Sets a panel's attribute. A size set stands from then on.
void SetPanelAttribute(PanelModel& panel, int32_t attribute, int32_t value);
