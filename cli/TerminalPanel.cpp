#include "cli/TerminalPanel.h"

#include "cli/Report.h"
#include "platform/NumberText.h"
#include "platform/Terminal.h"
#include "platform/TextCodec.h"
#include "standin/PanelRules.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// The panel being shown and each control's role, found once when it opens.
struct ShownPanel {
    PanelModel& model;
    const PanelRoles roles;
};

bool IsValueControl(const ControlModel& c) {
    return c.kind != ControlKind::Text;
}

std::string DisplayValue(const ControlModel& c, const ControlRole& of) {
    const int32_t v = c.value.i;
    switch (c.kind) {
    case ControlKind::Choice: {
        if (v < 0 || static_cast<size_t>(v) >= c.lines.size())
            return "(no item " + std::to_string(v) + ")";
        std::string s = ShiftJisToUtf8(c.lines[static_cast<size_t>(v)]);
        if (of.itemWords != nullptr && v < 3)
            s += std::string(" (") + of.itemWords[v] + ")";
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

// The indices of the controls that hold a value, as the menu numbers them.
std::vector<size_t> Menu(const PanelModel& panel) {
    std::vector<size_t> menu;
    for (size_t i = 0; i < panel.controls.size(); ++i) {
        if (IsValueControl(panel.controls[i]))
            menu.push_back(i);
    }
    return menu;
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
// word), or nothing after saying why not.
std::optional<size_t> CommandTarget(const ShownPanel& panel, const std::string& word,
                                    std::FILE* out) {
    int32_t number = 0;
    if (ParseInt32(word, number)) {
        const std::vector<size_t> menu = Menu(panel.model);
        if (number >= 1 && static_cast<size_t>(number) <= menu.size())
            return menu[static_cast<size_t>(number) - 1];
        std::fprintf(out, "  no entry %d (1 to %zu)\n", number, menu.size());
        return std::nullopt;
    }
    for (const auto& w : kCommandWords) {
        if (word != w.word)
            continue;
        const int32_t at = panel.roles.controlOf[static_cast<size_t>(w.role)];
        if (at < 0) {
            std::fprintf(out, "  the panel has no %s control\n", w.word);
            return std::nullopt;
        }
        return static_cast<size_t>(at);
    }
    std::fprintf(out, "  unknown command \"%s\" (type help)\n", word.c_str());
    return std::nullopt;
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
void Edit(ShownPanel& panel, const std::string& word, const std::string& rest, std::FILE* out) {
    const std::optional<size_t> target = CommandTarget(panel, word, out);
    if (!target)
        return;
    const ControlModel& control = panel.model.controls[*target];
    if (rest.empty() && control.kind != ControlKind::Edit) {
        std::fprintf(out, "  %s: value missing\n", LabelText(control).c_str());
        return;
    }
    // The answer in English, with the plug-in's (Japanese) label and the
    // command word beside.
    const ControlRole& of = panel.roles.ofControl[*target];
    std::string label = LabelText(control);
    if (of.keyword != nullptr && AsciiLowercase(label) != of.keyword)
        label += std::string(" [") + of.keyword + "]";
    const std::string error = SetControlFromText(panel.model, panel.roles, *target, rest, label);
    std::fprintf(
        out, "  %s\n",
        (error.empty() ? LabelText(control) + ": " + DisplayValue(control, of) : error).c_str());
}

void PrintPanel(const ShownPanel& panel, std::FILE* out) {
    const PanelModel& model = panel.model;
    std::fprintf(out, "=== %s ===  (%d x %d at %d, %d)\n",
                 model.titleIsNull ? "(untitled)" : ShiftJisToUtf8(model.title).c_str(),
                 PanelWidth(model), PanelHeight(model), model.left, model.top);
    int number = 0;
    for (size_t i = 0; i < model.controls.size(); ++i) {
        const ControlModel& c = model.controls[i];
        if (!IsValueControl(c)) {
            for (const std::string& l : c.lines)
                std::fprintf(out, "      %s\n", ShiftJisToUtf8(l).c_str());
            continue;
        }
        ++number;
        const ControlRole& of = panel.roles.ofControl[i];
        std::string line = "  " + std::to_string(number) + ") " + LabelText(c);
        if (of.keyword != nullptr && c.label != "Scale" && c.label != "Smooth")
            line += std::string(" [") + of.keyword + "]";
        line += ": " + DisplayValue(c, of);
        if (c.kind == ControlKind::Choice)
            line += "    {" + ItemListText(c, of.role, " | ") + "}";
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fputs("Type \"N VALUE\" or \"scale 2\", \"load both\", \"name box\"...; \"ok\" or "
               "\"cancel\" to close; \"help\".\n",
               out);
}

} // namespace

int32_t RunTerminalPanel(PanelModel& model, std::FILE* in, std::FILE* out, bool eofCancels) {
    ShownPanel panel{model, ResolvePanelRoles(model)};
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
