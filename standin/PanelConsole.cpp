#include "standin/PanelConsole.h"

#include "platform/Terminal.h"
#include "platform/TextCodec.h"
#include "standin/Options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsValueControl(const HostControl& c) {
    return c.kindCode != kKindText;
}

const char* const kLoadWords[] = {"lines", "faces", "both"};
const char* const kColourWords[] = {"bright", "middle", "dark"};

const char* RoleOf(HostPanel& panel, const HostControl& c) {
    static const PanelRole kRoles[] = {PanelRole::Load,       PanelRole::Colour, PanelRole::Scale,
                                       PanelRole::Name,       PanelRole::Smooth, PanelRole::Angle,
                                       PanelRole::DoubleSided};
    for (PanelRole role : kRoles) {
        if (FindRoleControl(panel, role) == &c)
            return RoleKeyword(role);
    }
    return nullptr;
}

std::string DisplayValue(HostPanel& panel, const HostControl& c) {
    switch (c.kindCode) {
    case kKindChoice: {
        if (c.intValue >= 0 && static_cast<size_t>(c.intValue) < c.lines.size()) {
            std::string s = ShiftJisToUtf8(c.lines[static_cast<size_t>(c.intValue)]);
            const char* role = RoleOf(panel, c);
            if (role != nullptr && c.intValue < 3) {
                if (std::strcmp(role, "load") == 0)
                    s += std::string(" (") + kLoadWords[c.intValue] + ")";
                if (std::strcmp(role, "colour") == 0)
                    s += std::string(" (") + kColourWords[c.intValue] + ")";
            }
            return s;
        }
        return "(no item " + std::to_string(c.intValue) + ")";
    }
    case kKindBool:
        if (c.intValue == 0)
            return "off";
        if (c.intValue == 1)
            return "on";
        return "on (" + std::to_string(c.intValue) + ")";
    case kKindEdit:
        // A name, typed or taken from the file name: the rule for names.
        return "\"" + NameAsUtf8(c.textValue, SystemCodePage()) + "\"";
    default:
        return ShiftJisToUtf8(ControlValueText(c));
    }
}

std::string LabelText(const HostControl& c) {
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
               "  show | help | ok | cancel        (end of input: see --help)\n",
               out);
}

std::vector<HostControl*> Menu(HostPanel& panel) {
    std::vector<HostControl*> menu;
    for (auto& c : panel.controls) {
        if (IsValueControl(*c))
            menu.push_back(c.get());
    }
    return menu;
}

std::string Lower(std::string s) {
    for (char& ch : s) {
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    }
    return s;
}

// Sets `c` from the typed text; returns an error message or "".
std::string SetFromText(HostPanel& panel, HostControl& c, const std::string& text) {
    const char* role = RoleOf(panel, c);
    switch (c.kindCode) {
    case kKindChoice: {
        int32_t v = 0;
        if (role != nullptr && std::strcmp(role, "load") == 0 && ParseLoadTarget(text, v)) {
            c.intValue = v;
            return "";
        }
        if (role != nullptr && std::strcmp(role, "colour") == 0 && ParseColourSet(text, v)) {
            c.intValue = v;
            return "";
        }
        if (ParseInt32(text, v) && v >= 0 && static_cast<size_t>(v) < c.lines.size()) {
            c.intValue = v;
            return "";
        }
        for (size_t i = 0; i < c.lines.size(); ++i) {
            if (text == c.lines[i] || text == ShiftJisToUtf8(c.lines[i])) {
                c.intValue = static_cast<int32_t>(i);
                return "";
            }
        }
        std::string items;
        for (size_t i = 0; i < c.lines.size(); ++i) {
            items += (i ? ", " : "") + std::to_string(i) + " " + ShiftJisToUtf8(c.lines[i]);
        }
        return "choose one of: " + items;
    }
    case kKindBool: {
        int32_t v = 0;
        if (!ParseOnOff(text, v))
            return std::string("expected ") + kOnOffExpected;
        c.intValue = v;
        return "";
    }
    case kKindFloat: {
        double v = 0;
        if (!ParseFiniteDouble(text, v))
            return "expected a number";
        c.floatValue = v;
        return "";
    }
    case kKindEdit:
        c.textValue = text;
        return "";
    default: {
        int32_t v = 0;
        if (!ParseInt32(text, v))
            return "expected an integer";
        SetControlInt(c, v);
        return "";
    }
    }
}

} // namespace

void PrintPanel(const HostPanel& constPanel, std::FILE* out) {
    HostPanel& panel = const_cast<HostPanel&>(constPanel); // role lookup only reads
    std::fprintf(out, "=== %s ===  (%d x %d at %d, %d)\n",
                 panel.titleIsNull ? "(untitled)" : ShiftJisToUtf8(panel.title).c_str(),
                 PanelWidth(panel), PanelHeight(panel), panel.left, panel.top);
    int number = 0;
    for (auto& cp : panel.controls) {
        HostControl& c = *cp;
        if (!IsValueControl(c)) {
            for (const std::string& l : c.lines)
                std::fprintf(out, "      %s\n", ShiftJisToUtf8(l).c_str());
            continue;
        }
        ++number;
        const char* role = RoleOf(panel, c);
        std::string line = "  " + std::to_string(number) + ") " + LabelText(c);
        if (role != nullptr && c.label != "Scale" && c.label != "Smooth")
            line += std::string(" [") + role + "]";
        line += ": " + DisplayValue(panel, c);
        if (c.kindCode == kKindChoice) {
            line += "    {";
            for (size_t i = 0; i < c.lines.size(); ++i) {
                line += (i ? " | " : "") + std::to_string(i) + " " + ShiftJisToUtf8(c.lines[i]);
            }
            line += "}";
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fputs("Type \"N VALUE\" or \"scale 2\", \"load both\", \"name box\"...; \"ok\" or "
               "\"cancel\" to close; \"help\".\n",
               out);
}

// One line from `in` without its end; false at the end of input with nothing read.
static bool ReadLine(std::FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n')
            return true;
        line += static_cast<char>(c);
    }
    return !line.empty();
}

int32_t RunPanelConsole(HostPanel& panel, std::FILE* in, std::FILE* out, bool eofCancels) {
    PrintPanel(panel, out);
    int32_t result = eofCancels ? 0 : 1;
    bool closed = false;
    // Piped input is echoed after the prompt so that the transcript reads well.
    const bool echo = !IsTerminal(in);
    std::string line;
    while (!closed) {
        std::fputs("> ", out);
        std::fflush(nullptr); // warnings on another stream too, before waiting for input
        if (!ReadLine(in, line)) {
            std::fprintf(out, "\n(end of input: %s)\n", eofCancels ? "cancel" : "ok");
            break;
        }
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (echo)
            std::fprintf(out, "%s\n", line.c_str());
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) {
            PrintPanel(panel, out);
            continue;
        }
        const size_t wordEnd = line.find_first_of(" \t", start);
        const std::string word = Lower(
            line.substr(start, wordEnd == std::string::npos ? std::string::npos : wordEnd - start));
        std::string rest;
        if (wordEnd != std::string::npos) {
            const size_t restStart = line.find_first_not_of(" \t", wordEnd);
            if (restStart != std::string::npos)
                rest = line.substr(restStart);
        }

        if (word == "ok") {
            result = 1;
            closed = true;
            continue;
        }
        if (word == "cancel") {
            result = 0;
            closed = true;
            continue;
        }
        if (word == "show") {
            PrintPanel(panel, out);
            continue;
        }
        if (word == "help" || word == "?") {
            PrintHelp(out);
            continue;
        }

        HostControl* target = nullptr;
        int32_t number = 0;
        if (ParseInt32(word, number)) {
            std::vector<HostControl*> menu = Menu(panel);
            if (number >= 1 && static_cast<size_t>(number) <= menu.size()) {
                target = menu[static_cast<size_t>(number) - 1];
            } else {
                std::fprintf(out, "  no entry %d (1 to %zu)\n", number, menu.size());
                continue;
            }
        } else {
            static const struct {
                const char* word;
                PanelRole role;
            } kWords[] = {
                {"load", PanelRole::Load},          {"colour", PanelRole::Colour},
                {"color", PanelRole::Colour},       {"colours", PanelRole::Colour},
                {"scale", PanelRole::Scale},        {"name", PanelRole::Name},
                {"smooth", PanelRole::Smooth},      {"angle", PanelRole::Angle},
                {"double", PanelRole::DoubleSided}, {"double-sided", PanelRole::DoubleSided}};
            bool known = false;
            for (const auto& w : kWords) {
                if (word == w.word) {
                    known = true;
                    target = FindRoleControl(panel, w.role);
                    if (target == nullptr)
                        std::fprintf(out, "  the panel has no %s control\n", w.word);
                    break;
                }
            }
            if (!known) {
                std::fprintf(out, "  unknown command \"%s\" (type help)\n", word.c_str());
                continue;
            }
            if (target == nullptr)
                continue;
        }
        if (rest.empty() && target->kindCode != kKindEdit) {
            std::fprintf(out, "  %s: value missing\n", LabelText(*target).c_str());
            continue;
        }
        const std::string error = SetFromText(panel, *target, rest);
        if (!error.empty()) {
            std::fprintf(out, "  %s: %s\n", LabelText(*target).c_str(), error.c_str());
        } else {
            std::fprintf(out, "  %s: %s\n", LabelText(*target).c_str(),
                         DisplayValue(panel, *target).c_str());
        }
    }
    if (closed)
        std::fprintf(out, "(%s)\n", result ? "ok" : "cancelled");
    std::fflush(out);
    return result;
}
