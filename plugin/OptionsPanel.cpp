#include "plugin/Plugin.h"

#include <cstdio>
#include <cstring>

namespace {

// Labels and items are Shift-JIS (code page 932) byte strings.
const char kLabelLoad[] = "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x91\xCE\x8F\xDB"; // what to load
const char* const kLoadItems[] = {
    "\x90\xFC\x82\xCC\x82\xDD", // lines only
    "\x96\xCA\x82\xCC\x82\xDD", // faces only
    "\x97\xBC\x95\xFB",         // both
    nullptr,
};
const char kLabelColour[] = "\x90\xDD\x92\xE8\x90\x46"; // colour to apply
const char* const kColourItems[] = {
    "\x96\xBE\x82\xE9\x82\xA2\x90\x46", // bright colour
    "\x92\x86\x8A\xD4",                 // middle
    "\x88\xC3\x82\xA2\x90\x46",         // dark colour
    nullptr,
};
// How surface names are formed: the name above followed by 0 to 15.
const char* const kNameHelpLines[] = {
    "\x8F\xE3\x8B\x4C\x96\xBC\x8F\xCC\x82\xCC\x8C\xE3\x82\xEB\x82\xC9\x20\x30\x81\x60\x31\x35\x82"
    "\xF0\x98\x41\x8C\x8B\x82\xB5\x82\xBD",
    "\x83\x54\x81\x5B\x83\x74\x83\x46\x83\x43\x83\x58\x96\xBC\x82\xF0\x90\xB6\x90\xAC\x82\xB5\x82"
    "\xDC\x82\xB7\x81\x42",
    nullptr,
};
const char* const kAboutLines[] = {
    "Ostrel 1.4 - model file loader",
    "Reads points, lines, faces and palette",
    "of ROKU4 model files.",
    nullptr,
};

constexpr int32_t kAngleGap = 16; // the angle field's distance right of Smooth

// The module's statistics line lives as long as the module: the host's text
// control may read it at any time while the panel is open.
SummaryText gSummary;

PanelControl* Create(PanelServices* s, PanelHandle panel, const char* kind, int32_t kindCode,
                     const char* const* list, int32_t width, const char* label) {
    ControlDescription d{};
    d.kindCode = kindCode;
    if (list != nullptr) {
        d.lines = list;
    } else {
        d.fieldWidth = width;
    }
    return s->createControl(panel, kind, &d, label);
}

// A host must supply every control; a missing one is passed over rather
// than followed.
void Get(PanelControl* c, int32_t attribute, ControlValue* v) {
    if (c != nullptr) {
        c->getControlAttribute(c, attribute, v);
    }
}
void Set(PanelControl* c, int32_t attribute, ControlValue* v) {
    if (c != nullptr) {
        c->setControlAttribute(c, attribute, v);
    }
}

// Values travel through the panel's one record per type tag.
void SetInt(PanelControl* c, ControlValue& record, int32_t value) {
    record.intValue = value;
    Set(c, kAttrValue, &record);
}
void SetFloat(PanelControl* c, ControlValue& record, double value) {
    record.floatValue = value;
    Set(c, kAttrValue, &record);
}
int32_t GetInt(PanelControl* c, ControlValue& record) {
    Get(c, kAttrValue, &record);
    return record.intValue;
}
double GetFloat(PanelControl* c, ControlValue& record) {
    Get(c, kAttrValue, &record);
    return record.floatValue;
}

// Places the panel, at its size once its controls stand, in the middle of
// the screen.
void CentrePanel(PanelServices* s, PanelHandle panel, const DisplayInfo& display) {
    int32_t width = 0;
    int32_t height = 0;
    s->getPanelAttribute(panel, kAttrWidth, &width);
    s->getPanelAttribute(panel, kAttrHeight, &height);
    // Signed division, rounding toward zero; computed wide so that no host
    // value can overflow it.
    int32_t left = static_cast<int32_t>((int64_t{display.screenWidth} - width) / 2);
    int32_t top = static_cast<int32_t>((int64_t{display.screenHeight} - height) / 2);
    s->setPanelAttribute(panel, kAttrLeft, &left);
    s->setPanelAttribute(panel, kAttrTop, &top);
}

} // namespace

void FormatSummary(const ModelTables& t, char* out) {
    // Four counts of at most 11 characters each and 23 of text fit the buffer.
    std::snprintf(out, kSummaryCapacity, "%d pts / %d/%d lines / %d faces", PointCount(t),
                  t.lineFaceCount, t.lineEntryCount, FaceCount(t) - t.lineFaceCount);
}

SummaryText& ModuleSummaryText() {
    return gSummary;
}

PanelOutcome ShowOptionsPanel(PanelServices* s, GlobalLookupFn globalLookup, ImportOptions& options,
                              const ModelTables& tables) {
    return ShowOptionsPanel(s, globalLookup, options, tables, gSummary);
}

PanelOutcome ShowOptionsPanel(PanelServices* s, GlobalLookupFn globalLookup, ImportOptions& options,
                              const ModelTables& tables, SummaryText& summaryText) {
    FormatSummary(tables, summaryText.text);
    summaryText.lines[0] = summaryText.text;
    summaryText.lines[1] = nullptr;
    PanelHandle panel = s->createPanel("Ostrel 1.4", s);
    if (panel == nullptr) {
        return kPanelUnavailable;
    }
    DisplayInfo display{};
    if (s->drawingTable != nullptr) {
        if (const DisplayInfo* info = s->drawingTable->getDisplayInfo()) {
            display = *info;
        }
    }
    s->globalLookup = globalLookup;

    // One value record per type tag, reused for every call of that tag.
    ControlValue ivalue{};
    ivalue.type = kValueInt;
    ControlValue fvalue{};
    fvalue.type = kValueFloat;
    ControlValue tvalue{};
    tvalue.type = kValueText;

    PanelControl* summary = Create(s, panel, "TextControl", kKindText, summaryText.lines, 0, "");
    (void)summary;
    PanelControl* load = Create(s, panel, "ChoiceControl", kKindChoice, kLoadItems, 0, kLabelLoad);
    PanelControl* colour =
        Create(s, panel, "ChoiceControl", kKindChoice, kColourItems, 0, kLabelColour);
    PanelControl* scale = Create(s, panel, "FloatControl", kKindFloat, nullptr, 0, "Scale");
    PanelControl* name = Create(s, panel, "EditControl", kKindEdit, nullptr, 16, "Surface Name");
    Create(s, panel, "TextControl", kKindText, kNameHelpLines, 0, "");
    PanelControl* smooth = Create(s, panel, "BoolControl", kKindBool, nullptr, 0, "Smooth");
    Get(smooth, kAttrLeft, &ivalue);
    const int32_t smoothLeft = ivalue.intValue;
    Get(smooth, kAttrWidth, &ivalue);
    const int32_t smoothWidth = ivalue.intValue;
    Get(smooth, kAttrTop, &ivalue);
    const int32_t smoothTop = ivalue.intValue;
    PanelControl* angle =
        Create(s, panel, "FloatControl", kKindFloat, nullptr, 0, "Smoothing Angle");
    // The angle field stands on the check box's row, to its right.
    ivalue.intValue = static_cast<int32_t>(static_cast<uint32_t>(smoothLeft) +
                                           static_cast<uint32_t>(smoothWidth) + kAngleGap);
    Set(angle, kAttrLeft, &ivalue);
    ivalue.intValue = smoothTop;
    Set(angle, kAttrTop, &ivalue);
    PanelControl* doubleSided =
        Create(s, panel, "BoolControl", kKindBool, nullptr, 0, "Double Sided");
    Create(s, panel, "TextControl", kKindText, kAboutLines, 0, "");

    SetInt(load, ivalue, options.loadTarget);
    tvalue.text = options.surfaceBaseName;
    tvalue.textLength = static_cast<int32_t>(std::strlen(options.surfaceBaseName));
    Set(name, kAttrValue, &tvalue);
    SetInt(smooth, ivalue, options.smooth);
    SetFloat(scale, fvalue, options.scale);
    SetFloat(angle, fvalue, options.smoothingAngle);
    SetInt(colour, ivalue, options.colourSet);
    SetInt(doubleSided, ivalue, options.doubleSided);

    CentrePanel(s, panel, display);

    PanelOutcome outcome = kPanelCancelled;
    if (s->openPanel(panel, 3) != 0) {
        options.loadTarget = GetInt(load, ivalue);
        tvalue.text = options.surfaceBaseName;
        tvalue.textLength = static_cast<int32_t>(kBaseNameCapacity);
        Get(name, kAttrValue, &tvalue);
        options.surfaceBaseName[kBaseNameCapacity - 1] = '\0';
        options.scale = GetFloat(scale, fvalue);
        options.smooth = GetInt(smooth, ivalue);
        options.smoothingAngle = GetFloat(angle, fvalue);
        options.colourSet = GetInt(colour, ivalue);
        options.doubleSided = GetInt(doubleSided, ivalue);
        outcome = kPanelConfirmed;
    }
    s->destroyPanel(panel);
    return outcome;
}
