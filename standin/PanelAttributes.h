// The attributes of panels and controls as the plug-in reads and writes
// them (places, sizes, values), and the value records (ControlValue) they
// travel in, with their form in the trace.
//
// Positions travel as integers (or whatever tag the caller uses, converted
// as values are; see PanelModel.h). A get writes only the word(s) of the
// record's tag: byte 4 (tag 2), bytes 8-15 (tag 3) or the caller's text
// buffer (tag 1: pointer at byte 4, capacity at byte 8; the text is cut to
// capacity-1 bytes and NUL-terminated; nothing is written for a null buffer
// or a capacity below 1). The record itself is never written beyond its 40
// bytes, and a record of an unknown tag is left alone.
#pragma once

#include "host/HostApi.h"
#include "standin/PanelModel.h"

#include <cstdint>
#include <string>

// The value a set call carries (only the words of its tag). False for a
// null record or an unknown tag.
bool ReadControlValue(const ControlValue* record, PanelValue& value);

// Writes `value`, converted to the record's tag; `written` receives what was
// written. False when nothing was written.
bool WriteControlValue(ControlValue* record, const PanelValue& value, PanelValue& written);

// A control's attribute as a value of its own type: the place and size as
// integers, the value as the control keeps it; an unknown attribute reads
// as integer 0.
PanelValue ControlAttributeOf(const ControlModel& control, int32_t attribute);
// Sets a control's attribute from `value`, converted; an unknown attribute
// is ignored.
void SetControlAttribute(ControlModel& control, int32_t attribute, const PanelValue& value);

// A panel's attribute: its place, its size (see PanelModel.h) or its value;
// 0 for an unknown attribute.
int32_t PanelAttributeOf(const PanelModel& panel, int32_t attribute);
// Sets a panel's attribute; a size set stands from then on.
void SetPanelAttribute(PanelModel& panel, int32_t attribute, int32_t value);
