#include "cli/Options.h"

#include "cli/ModelList.h"
#include "cli/Paths.h"
#include "platform/NumberText.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace {

// WIDTHxHEIGHT, each 0 to 2^31 - 1, digits only.
bool ParseScreenSize(const std::string& text, int32_t& width, int32_t& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    const std::string w = text.substr(0, x);
    const std::string h = text.substr(x + 1);
    int32_t wv = 0, hv = 0;
    if (w.empty() || h.empty() || w[0] < '0' || w[0] > '9' || h[0] < '0' || h[0] > '9')
        return false;
    if (!ParseInt32(w, wv) || !ParseInt32(h, hv))
        return false;
    width = wv;
    height = hv;
    return true;
}

// One option that takes a value: its names, how the value is taken, and
// what a bad value should have been, for the message.
struct ValueOption {
    const char* name;
    const char* alias; // null: none
    bool (*take)(const std::string& value, HostOptions& options);
    std::string expected;
    // A panel control's: taken by the panel's rules (standin/PanelRules.h).
    std::optional<PanelRole> role = std::nullopt;
};

// One option that is a switch.
struct FlagOption {
    const char* name;
    bool HostOptions::*flag;
};

const FlagOption kFlags[] = {
    {"--no-panel-services", &HostOptions::noPanelServices},
    {"--no-panel", &HostOptions::noPanel},
    {"--cancel", &HostOptions::cancel},
    {"--interactive", &HostOptions::interactive},
    {"--check", &HostOptions::check},
    {"--quiet", &HostOptions::quiet},
    {"--strict", &HostOptions::strict},
    {"--salvage", &HostOptions::salvage},
    {"--recursive", &HostOptions::recursive},
};

#ifdef _WIN32
constexpr bool kWindowsForms = true;
#else
constexpr bool kWindowsForms = false;
#endif

bool TakeText(const std::string& value, std::string& into) {
    into = value;
    return !value.empty();
}

bool TakePictureSize(const std::string& value, HostOptions& options) {
    int32_t n = 0;
    if (!ParseInt32(value, n) || n < int32_t{kPictureMinSize} || n > int32_t{kPictureMaxSize})
        return false;
    options.pictureSize = static_cast<uint32_t>(n);
    return true;
}

const std::vector<ValueOption>& ValueOptions() {
    static const std::vector<ValueOption> options = {
        {"-o", "--output",
         [](const std::string& v, HostOptions& o) { return TakeText(v, o.outputPath); },
         "a file name"},
        {"--out-dir", nullptr,
         [](const std::string& v, HostOptions& o) { return TakeText(v, o.outDir); }, "a folder"},
        {"--format", nullptr,
         [](const std::string& v, HostOptions& o) {
             ExportFormat f{};
             if (!ParseExportFormat(v, f))
                 return false;
             o.format = f;
             return true;
         },
         FormatNames(", ", " or ")},
        {"--size", nullptr, &TakePictureSize,
         "a picture's pixels along each side, " + std::to_string(kPictureMinSize) + " to " +
             std::to_string(kPictureMaxSize)},
        {"-j", "--jobs",
         [](const std::string& v, HostOptions& o) { return ParseInt32(v, o.jobs) && o.jobs >= 1; },
         "a number of model files at once, 1 or more"},
        {"--module", nullptr,
         [](const std::string& v, HostOptions& o) { return TakeText(v, o.modulePath); }, "a path"},
        {"--trace", nullptr,
         [](const std::string& v, HostOptions& o) { return o.hasTrace = TakeText(v, o.tracePath); },
         "a file name or '-'"},
        {"--activation-version", nullptr,
         [](const std::string& v, HostOptions& o) { return ParseInt32(v, o.activationVersion); },
         "a 32-bit integer"},
        {"--screen", nullptr,
         [](const std::string& v, HostOptions& o) {
             return ParseScreenSize(v, o.screenWidth, o.screenHeight);
         },
         "WIDTHxHEIGHT, e.g. 1920x1080"},
        // The panel's controls: read and judged by the rulebook.
        {"--load", nullptr, nullptr, "", PanelRole::Load},
        {"--colours", "--colors", nullptr, "", PanelRole::Colour},
        {"--scale", nullptr, nullptr, "", PanelRole::Scale},
        {"--name", nullptr, nullptr, "", PanelRole::Name},
        {"--smooth", nullptr, nullptr, "", PanelRole::Smooth},
        {"--angle", nullptr, nullptr, "", PanelRole::Angle},
        {"--double-sided", nullptr, nullptr, "", PanelRole::DoubleSided},
    };
    return options;
}

const ValueOption* FindValueOption(const std::string& name) {
    for (const ValueOption& option : ValueOptions()) {
        if (name == option.name || (option.alias != nullptr && name == option.alias))
            return &option;
    }
    return nullptr;
}

// The option at argv[i] (its value taken from argv[i + 1] when not given
// inline, which moves i on); Ok when it was taken.
ParseStatus TakeOption(int argc, const char* const* argv, int& i, HostOptions& options,
                       std::string& error) {
    const std::string arg = argv[i];
    std::string name = arg;
    std::string value;
    bool hasInlineValue = false;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasInlineValue = true;
    }
    if (IsHelpRequest(name, kWindowsForms))
        return ParseStatus::Help;
    if (name == "--version")
        return ParseStatus::Version;
    for (const FlagOption& flag : kFlags) {
        if (name != flag.name)
            continue;
        if (hasInlineValue) {
            error = name + ": takes no value";
            return ParseStatus::Error;
        }
        options.*flag.flag = true;
        return ParseStatus::Ok;
    }
    const ValueOption* option = FindValueOption(name);
    if (option == nullptr) {
        error = "unknown option '" + arg + "' (see --help)";
        return ParseStatus::Error;
    }
    if (!hasInlineValue) {
        if (i + 1 >= argc || argv[i + 1] == nullptr) {
            error = name + ": missing value (see --help)";
            return ParseStatus::Error;
        }
        value = argv[++i];
    }
    if (option->role) {
        error = TakeChoiceText(*option->role, value, name, options.edits);
        return error.empty() ? ParseStatus::Ok : ParseStatus::Error;
    }
    if (!option->take(value, options)) {
        error = name + ": bad value '" + value + "' (expected " + option->expected + ")";
        return ParseStatus::Error;
    }
    return ParseStatus::Ok;
}

const struct {
    PanelRole role;
    const char* option;
} kEditOptions[] = {
    {PanelRole::Load, "--load"},
    {PanelRole::Colour, "--colours"},
    {PanelRole::Scale, "--scale"},
    {PanelRole::Name, "--name"},
    {PanelRole::Smooth, "--smooth"},
    {PanelRole::Angle, "--angle"},
    {PanelRole::DoubleSided, "--double-sided"},
};

// Edits, and the terminal panel, need a panel to take effect; without one
// they would be dropped without a word.
bool SettlePanel(const HostOptions& options, std::string& error) {
    if (!options.noPanel && !options.noPanelServices)
        return true;
    std::string needing = options.interactive ? "--interactive" : "";
    const std::string edits = EditOptions(EditedRoles(options.edits));
    if (!edits.empty())
        needing += (needing.empty() ? "" : ", ") + edits;
    if (needing.empty())
        return true;
    error = std::string(options.noPanel ? "--no-panel" : "--no-panel-services") +
            ": no panel opens, so " + needing + " cannot take effect (leave " +
            (needing.find(',') == std::string::npos ? "it" : "them") + " out)";
    return false;
}

// The output options that exclude or need each other.
bool SettleCombination(const HostOptions& options, std::string& error) {
    error.clear();
    const bool writes = !options.outputPath.empty() || !options.outDir.empty();
    if (options.modelPaths.size() > 1 &&
        (!options.outputPath.empty() || options.hasTrace || options.interactive)) {
        error = "several model files given: -o, --trace and --interactive take one (use "
                "--out-dir DIR for several; see --help)";
    } else if (std::count(options.modelPaths.begin(), options.modelPaths.end(), "-") > 0 &&
               (options.interactive ||
                std::count(options.modelPaths.begin(), options.modelPaths.end(), "-") > 1)) {
        error = "the model '-' (standard input) can be given once, and not with --interactive "
                "(which reads its edits from there)";
    } else if (options.check && writes) {
        error = "--check writes nothing: leave out -o and --out-dir";
    } else if (!options.outputPath.empty() && !options.outDir.empty()) {
        error = "give either -o FILE or --out-dir DIR";
    } else if (options.format && !writes) {
        error = "--format needs -o FILE or --out-dir DIR";
    }
    return error.empty();
}

// -o -: standard output takes one file in a format named, and not the trace.
bool SettleStandardOutput(const HostOptions& options, std::string& error) {
    error.clear();
    if (options.hasTrace && options.tracePath == "-") {
        error = "-o - and --trace - both want standard output: send one to a file";
    } else if (!options.format) {
        error = "-o - needs --format " + FormatNames("|", "|", true);
    } else if (!FormatIsOneFile(*options.format)) {
        error = std::string("-o -: standard output takes one file, and ") +
                FormatExtension(*options.format) +
                " needs a second one for its materials (use -o FILE." +
                FormatExtension(*options.format) + ")";
    }
    return error.empty();
}

// -o FILE: the format follows the extension unless --format names it, and
// may not contradict it.
bool SettleOutputFormat(HostOptions& options, std::string& error) {
    ExportFormat named{};
    const bool known = ParseExportFormat(ExtensionOf(options.outputPath), named);
    if (!options.format && !known) {
        error = "-o " + options.outputPath + ": cannot tell the format from the extension (use ." +
                FormatNames(", .", " or .") + ", or --format)";
        return false;
    }
    if (options.format && known && named != *options.format) {
        error = "-o " + options.outputPath + " names a ." + FormatExtension(named) +
                " file, but --format asks for " + FormatExtension(*options.format) + " (use ." +
                FormatExtension(*options.format) + ", or leave out --format)";
        return false;
    }
    if (!options.format)
        options.format = named;
    if (*options.format == ExportFormat::Obj &&
        AsciiLowercase(MtlPathFor(options.outputPath)) == AsciiLowercase(options.outputPath)) {
        error = "-o " + options.outputPath +
                ": the OBJ's material library would get this name (use .obj)";
        return false;
    }
    return true;
}

bool SettleOutput(HostOptions& options, std::string& error) {
    if (!SettleCombination(options, error))
        return false;
    if (!options.outDir.empty() && !options.format)
        options.format = ExportFormat::Glb; // what most programs read
    if (options.outputPath == "-"
            ? !SettleStandardOutput(options, error)
            : !options.outputPath.empty() && !SettleOutputFormat(options, error))
        return false;
    if (options.pictureSize && options.format != ExportFormat::Png) {
        error = "--size is the size of a png picture: use it with -o NAME.png or --format png";
        return false;
    }
    return true;
}

} // namespace

bool IsHelpRequest(const std::string& arg, bool windowsForms) {
    return arg == "--help" || arg == "-h" || arg == "-?" || (windowsForms && arg == "/?");
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The argument of `line` at `i` (past it on return); `quoted` whether any
// part of it stood in quotes. 2n backslashes before a quote are n and the
// quote opens or closes; 2n + 1 are n and a quote; others stay as they are.
std::string NextTypedArgument(const std::string& line, size_t& i, bool& quoted) {
    std::string arg;
    bool inQuotes = false;
    quoted = false;
    while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
        size_t slashes = 0;
        while (i < line.size() && line[i] == '\\') {
            ++slashes;
            ++i;
        }
        if (i < line.size() && line[i] == '"') {
            arg.append(slashes / 2, '\\');
            if (slashes % 2 == 1) {
                arg += '"';
            } else {
                inQuotes = !inQuotes;
                quoted = true;
            }
            ++i;
        } else {
            arg.append(slashes, '\\');
            if (i < line.size() && (inQuotes || !IsBlank(line[i])))
                arg += line[i++];
        }
    }
    return arg;
}

} // namespace

bool TypedLineAsksForUsage(const std::string& line) {
    size_t i = 0;
    bool inQuotes = false; // the program's name: quotes group, nothing is escaped
    for (; i < line.size() && (inQuotes || !IsBlank(line[i])); ++i)
        inQuotes = line[i] == '"' ? !inQuotes : inQuotes;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        bool quoted = false;
        const std::string arg = NextTypedArgument(line, i, quoted);
        if (arg == "--")
            return false;
        if (arg == "/?" && !quoted)
            return true;
    }
    return false;
}

const char* EditOption(PanelRole role) {
    for (const auto& e : kEditOptions) {
        if (e.role == role)
            return e.option;
    }
    return "";
}

std::string EditOptions(const std::vector<PanelRole>& roles) {
    std::string text;
    for (PanelRole role : roles)
        text += (text.empty() ? "" : ", ") + std::string(EditOption(role));
    return text;
}

ParseStatus ParseOptions(int argc, const char* const* argv, HostOptions& options,
                         std::string& error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        if (!optionsEnded && IsHelpRequest(arg, kWindowsForms))
            return ParseStatus::Help;
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.modelPaths.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (const ParseStatus status = TakeOption(argc, argv, i, options, error);
                   status != ParseStatus::Ok) {
            return status;
        }
    }
    if (options.modelPaths.empty()) {
        error = "no model file given (see --help)";
        return ParseStatus::Error;
    }
    options.modelPaths =
        ExpandModelFolders(options.modelPaths, options.recursive, &options.modelSubfolders);
    return SettleOutput(options, error) && SettlePanel(options, error) ? ParseStatus::Ok
                                                                       : ParseStatus::Error;
}
