// The panel the plug-in built, for the engine's callers. It gives the
// proposals by edit, and the controls in order. Each control comes with the
// edit it answers, its label and items in UTF-8 and in the plug-in's bytes,
// their English (standin/PanelRules.h) and the value proposed. A front end
// presents these. It keys nothing by the plug-in's Japanese.
#include "engine/Import.h"
#include "standin/PanelRules.h"

#include <exception>
#include <string>

namespace {

int KindCode(ControlKind kind) {
    switch (kind) {
    case ControlKind::Text:
        return OSTREL_CONTROL_TEXT;
    case ControlKind::Choice:
        return OSTREL_CONTROL_CHOICE;
    case ControlKind::Float:
        return OSTREL_CONTROL_NUMBER;
    case ControlKind::Edit:
        return OSTREL_CONTROL_EDIT;
    case ControlKind::Bool:
        return OSTREL_CONTROL_SWITCH;
    case ControlKind::Other:
        break;
    }
    return OSTREL_CONTROL_OTHER;
}

int EditOf(std::optional<PanelRole> role) {
    for (int edit = 0; role && edit < engine::kEdits; ++edit) {
        if (engine::kRoleOfEdit[edit] == *role)
            return edit;
    }
    return -1;
}

double NumberOf(const PanelValue& value) {
    switch (value.type) {
    case PanelValueType::Int:
        return value.i;
    case PanelValueType::Float:
        return value.d;
    case PanelValueType::Text:
        break;
    }
    return 0;
}

} // namespace

void KeepPanel(const PanelModel& panel, unsigned codePage, ostrel_import& out) {
    const PanelRoles roles = ResolvePanelRoles(panel);
    for (size_t i = 0; i < panel.controls.size(); ++i) {
        const ControlModel& control = panel.controls[i];
        engine::ControlRecord record;
        record.edit = EditOf(roles.ofControl[i].role);
        record.kind = KindCode(control.kind);
        record.labelBytes = control.label;
        record.label = NameAsUtf8(control.label, codePage);
        ControlEnglish english = EnglishOf(control, roles.ofControl[i].role);
        record.english = std::move(english.label);
        for (const std::string& line : control.lines)
            record.lines.push_back(NameAsUtf8(line, codePage));
        record.linesEnglish = std::move(english.lines);
        record.proposedNumber = NumberOf(control.value);
        if (control.value.type == PanelValueType::Text)
            record.proposedText = NameAsUtf8(control.value.text, codePage);
        if (record.edit >= 0) {
            engine::Proposal& p = out.proposals[record.edit];
            p.given = true;
            p.number = record.proposedNumber;
            p.text = record.proposedText;
        }
        out.controls.push_back(std::move(record));
    }
}

extern "C" {

int ostrel_proposal(const ostrel_import* import, int edit, double* number, const char** text) {
    if (import == nullptr || edit < 0 || edit >= engine::kEdits || !import->proposals[edit].given)
        return 0;
    const engine::Proposal& p = import->proposals[edit];
    if (number != nullptr)
        *number = p.number;
    if (text != nullptr)
        *text = p.text.c_str();
    return 1;
}

size_t ostrel_control_count(const ostrel_import* import) {
    return import != nullptr ? import->controls.size() : 0;
}

int ostrel_control_at(const ostrel_import* import, size_t i, ostrel_control* out) {
    if (import == nullptr || out == nullptr || i >= import->controls.size())
        return 0;
    const engine::ControlRecord& c = import->controls[i];
    out->edit = c.edit;
    out->kind = c.kind;
    out->label = c.label.c_str();
    out->labelBytes = c.labelBytes.data();
    out->labelSize = c.labelBytes.size();
    out->english = c.english.c_str();
    out->lineCount = c.lines.size();
    out->proposed = c.proposedNumber;
    out->proposedText = c.proposedText.c_str();
    return 1;
}

const char* ostrel_control_line(const ostrel_import* import, size_t i, size_t line, int english) {
    if (import == nullptr || i >= import->controls.size() ||
        line >= import->controls[i].lines.size())
        return "";
    const engine::ControlRecord& c = import->controls[i];
    return english != 0 ? c.linesEnglish[line].c_str() : c.lines[line].c_str();
}

} // extern "C"
