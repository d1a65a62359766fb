#include "cli/TerminalPanel.h"

#include "cli/Report.h"
#include "pipeline/Choices.h"
#include "pipeline/Values.h"
#include "platform/Terminal.h"
#include "platform/TextCodec.h"
#include "standin/PanelEdits.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsValueControl(const ControlModel& c) {
    return c.kind != ControlKind::Text;
}

// The words a role's choice items go by, or null.
const char* const* ItemWords(std::optional<PanelRole> role) {
    if (role == PanelRole::Load)
        return kLoadWords;
    if (role == PanelRole::Colour)
        return kColourWords;
    return nullptr;
}

// "0 ITEM (word), 1 ITEM (word), ...": the English word beside the
// plug-in's Japanese item where the role has one.
std::string ItemList(PanelModel& panel, const ControlModel& c, const char* separator) {
    const char* const* words = ItemWords(RoleOf(panel, c));
    std::string items;
    for (size_t i = 0; i < c.lines.size(); ++i) {
        items += (i ? separator : "") + std::to_string(i) + " " + ShiftJisToUtf8(c.lines[i]);
        if (words != nullptr && i < 3)
            items += std::string(" (") + words[i] + ")";
    }
    return items;
}

std::string DisplayValue(PanelModel& panel, const ControlModel& c) {
    const int32_t v = c.value.i;
    switch (c.kind) {
    case ControlKind::Choice: {
        if (v < 0 || static_cast<size_t>(v) >= c.lines.size())
            return "(no item " + std::to_string(v) + ")";
        std::string s = ShiftJisToUtf8(c.lines[static_cast<size_t>(v)]);
        const char* const* words = ItemWords(RoleOf(panel, c));
        if (words != nullptr && v < 3)
            s += std::string(" (") + words[v] + ")";
        return s;
    }
    case ControlKind::Bool:
        return v == 0 ? "off" : v == 1 ? "on" : "on (" + std::to_string(v) + ")";
    case ControlKind::Edit:
        // A name, typed or taken from the file name: the rule for names.
        return "\"" + ShownText(c.value.text) + "\"";
    default:
        return ShiftJisToUtf8(ControlValueText(c));
    }
}

std::string LabelText(const ControlModel& c) {
    if (c.labelIsNull || c.label.empty())
        return "(" + c.kindName + ")";
    return ShiftJisToUtf8(c.label);
}

void PrintHelp(std::FILE* out) {
    std::fputs("Commands:\n"
               "  N VALUE                 set entry N of the menu\n"
               "  load lines|faces|both   colour bright|middle|dark   scale X   name TEXT\n"
               "  smooth on|off           angle DEGREES               double on|off\n"
               "  (a choice also takes its item number from 0 or the item text)\n"
               "  show | help | ok | cancel (also quit, exit)   (end of input: see --help)\n",
               out);
}

std::vector<ControlModel*> Menu(PanelModel& panel) {
    std::vector<ControlModel*> menu;
    for (ControlModel& c : panel.controls) {
        if (IsValueControl(c))
            menu.push_back(&c);
    }
    return menu;
}

// A choice's item from the typed text: a role's word, the item number, or
// the item text; -1 for none.
int32_t ChoiceItem(PanelModel& panel, const ControlModel& c, const std::string& text) {
    const std::optional<PanelRole> role = RoleOf(panel, c);
    int32_t v = 0;
    if ((role == PanelRole::Load && ParseLoadTarget(text, v)) ||
        (role == PanelRole::Colour && ParseColourSet(text, v)))
        return v;
    if (ParseInt32(text, v) && v >= 0 && static_cast<size_t>(v) < c.lines.size())
        return v;
    for (size_t i = 0; i < c.lines.size(); ++i) {
        if (text == c.lines[i] || text == ShiftJisToUtf8(c.lines[i]))
            return static_cast<int32_t>(i);
    }
    return -1;
}

// A role's switch, number or name from the typed text, judged by the
// rulebook; the line saying why not, naming the control `subject`, or "".
std::string SetRoleFromText(PanelRole role, ControlModel& c, const std::string& text,
                            const std::string& subject) {
    PanelEdits typed;
    const std::string refusal = TakeChoiceText(role, text, subject, typed);
    if (!refusal.empty())
        return refusal;
    if (typed.scale || typed.angle)
        SetControlValue(c, FloatValue(typed.scale ? *typed.scale : *typed.angle));
    else if (typed.smooth || typed.doubleSided)
        SetControlValue(c, IntValue(typed.smooth ? *typed.smooth : *typed.doubleSided));
    else if (typed.name)
        SetControlValue(c, TextValue(*typed.name));
    return "";
}

// Sets `c` from the typed text; returns the line saying why not, naming
// the control `subject`, or "".
std::string SetFromText(PanelModel& panel, ControlModel& c, const std::string& text,
                        const std::string& subject) {
    const std::optional<PanelRole> role = RoleOf(panel, c);
    switch (c.kind) {
    case ControlKind::Choice: {
        const int32_t item = ChoiceItem(panel, c, text);
        if (item < 0)
            return subject + ": choose one of: " + ItemList(panel, c, ", ");
        c.value.i = item;
        return "";
    }
    case ControlKind::Bool:
    case ControlKind::Float:
    case ControlKind::Edit:
        if (role)
            return SetRoleFromText(*role, c, text, subject);
        if (c.kind == ControlKind::Edit) {
            c.value.text = text;
            return "";
        }
        if (c.kind == ControlKind::Bool)
            return ParseOnOff(text, c.value.i) ? "" : subject + ": expected " + kOnOffExpected;
        return ParseFiniteDouble(text, c.value.d) ? "" : subject + ": expected a number";
    default: {
        int32_t v = 0;
        if (!ParseInt32(text, v))
            return subject + ": expected an integer";
        SetControlValue(c, IntValue(v));
        return "";
    }
    }
}

// The command words that name a control by its role.
const struct {
    const char* word;
    PanelRole role;
} kCommandWords[] = {
    {"load", PanelRole::Load},          {"colour", PanelRole::Colour},
    {"color", PanelRole::Colour},       {"colours", PanelRole::Colour},
    {"scale", PanelRole::Scale},        {"name", PanelRole::Name},
    {"smooth", PanelRole::Smooth},      {"angle", PanelRole::Angle},
    {"double", PanelRole::DoubleSided}, {"double-sided", PanelRole::DoubleSided},
};

// The control a command's first word names (a menu number or a role's
// word), or null after saying why not.
ControlModel* CommandTarget(PanelModel& panel, const std::string& word, std::FILE* out) {
    int32_t number = 0;
    if (ParseInt32(word, number)) {
        std::vector<ControlModel*> menu = Menu(panel);
        if (number >= 1 && static_cast<size_t>(number) <= menu.size())
            return menu[static_cast<size_t>(number) - 1];
        std::fprintf(out, "  no entry %d (1 to %zu)\n", number, menu.size());
        return nullptr;
    }
    for (const auto& w : kCommandWords) {
        if (word != w.word)
            continue;
        ControlModel* target = FindRoleControl(panel, w.role);
        if (target == nullptr)
            std::fprintf(out, "  the panel has no %s control\n", w.word);
        return target;
    }
    std::fprintf(out, "  unknown command \"%s\" (type help)\n", word.c_str());
    return nullptr;
}

// One line from `in` without its end; false at the end of input with nothing read.
bool ReadLine(std::FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n')
            return true;
        line += static_cast<char>(c);
    }
    return !line.empty();
}

// A line split into its first word (small letters) and the rest.
void SplitCommand(const std::string& line, std::string& word, std::string& rest) {
    const size_t start = line.find_first_not_of(" \t");
    const size_t wordEnd = line.find_first_of(" \t", start);
    word = AsciiLowercase(
        line.substr(start, wordEnd == std::string::npos ? std::string::npos : wordEnd - start));
    rest.clear();
    if (wordEnd != std::string::npos) {
        const size_t restStart = line.find_first_not_of(" \t", wordEnd);
        if (restStart != std::string::npos)
            rest = line.substr(restStart);
    }
}

// Sets the control the command names to its value, and says how it went.
void Edit(PanelModel& panel, const std::string& word, const std::string& rest, std::FILE* out) {
    ControlModel* target = CommandTarget(panel, word, out);
    if (target == nullptr)
        return;
    if (rest.empty() && target->kind != ControlKind::Edit) {
        std::fprintf(out, "  %s: value missing\n", LabelText(*target).c_str());
        return;
    }
    // The answer in English, with the plug-in's (Japanese) label and the
    // command word beside.
    std::string label = LabelText(*target);
    if (const std::optional<PanelRole> role = RoleOf(panel, *target);
        role && AsciiLowercase(label) != RoleKeyword(*role))
        label += std::string(" [") + RoleKeyword(*role) + "]";
    const std::string error = SetFromText(panel, *target, rest, label);
    std::fprintf(
        out, "  %s\n",
        (error.empty() ? LabelText(*target) + ": " + DisplayValue(panel, *target) : error).c_str());
}

} // namespace

void PrintPanel(PanelModel& panel, std::FILE* out) {
    std::fprintf(out, "=== %s ===  (%d x %d at %d, %d)\n",
                 panel.titleIsNull ? "(untitled)" : ShiftJisToUtf8(panel.title).c_str(),
                 PanelWidth(panel), PanelHeight(panel), panel.left, panel.top);
    int number = 0;
    for (ControlModel& c : panel.controls) {
        if (!IsValueControl(c)) {
            for (const std::string& l : c.lines)
                std::fprintf(out, "      %s\n", ShiftJisToUtf8(l).c_str());
            continue;
        }
        ++number;
        const std::optional<PanelRole> role = RoleOf(panel, c);
        std::string line = "  " + std::to_string(number) + ") " + LabelText(c);
        if (role && c.label != "Scale" && c.label != "Smooth")
            line += std::string(" [") + RoleKeyword(*role) + "]";
        line += ": " + DisplayValue(panel, c);
        if (c.kind == ControlKind::Choice)
            line += "    {" + ItemList(panel, c, " | ") + "}";
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fputs("Type \"N VALUE\" or \"scale 2\", \"load both\", \"name box\"...; \"ok\" or "
               "\"cancel\" to close; \"help\".\n",
               out);
}

int32_t RunTerminalPanel(PanelModel& panel, std::FILE* in, std::FILE* out, bool eofCancels) {
    PrintPanel(panel, out);
    // Piped input is echoed after the prompt so that the transcript reads well.
    const bool echo = !IsTerminal(in);
    std::string line, word, rest;
    for (;;) {
        std::fputs("> ", out);
        std::fflush(nullptr); // warnings on another stream too, before waiting for input
        if (!ReadLine(in, line)) {
            std::fprintf(out, "\n(end of input: %s)\n", eofCancels ? "cancel" : "ok");
            std::fflush(out);
            return eofCancels ? 0 : 1;
        }
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (echo)
            std::fprintf(out, "%s\n", line.c_str());
        if (line.find_first_not_of(" \t") == std::string::npos) {
            PrintPanel(panel, out);
            continue;
        }
        SplitCommand(line, word, rest);
        // "quit" and "exit" are what a terminal user types to get out:
        // they leave the panel as cancel does, so nothing is loaded.
        if (word == "ok" || word == "cancel" || word == "quit" || word == "exit") {
            const int32_t result = word == "ok" ? 1 : 0;
            std::fprintf(out, "(%s)\n", result ? "ok" : "cancelled");
            std::fflush(out);
            return result;
        }
        if (word == "show")
            PrintPanel(panel, out);
        else if (word == "help" || word == "?")
            PrintHelp(out);
        else
            Edit(panel, word, rest, out);
    }
}

int32_t OpenTerminalPanel(void* context, PanelModel& panel, int32_t proposed) {
    const TerminalStreams& streams = *static_cast<const TerminalStreams*>(context);
    return RunTerminalPanel(panel, streams.in, streams.out, proposed == 0);
}
