#include "standin/Options.h"

#include "standin/OutputPlan.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

std::string Lower(const std::string& text) {
    std::string s = text;
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool ParseWord(const std::string& text, const char* const* words, int32_t& out) {
    const std::string s = Lower(text);
    for (int32_t i = 0; words[i] != nullptr; ++i) {
        if (s == words[i]) {
            out = i;
            return true;
        }
    }
    return false;
}

// How the output options combine; the format follows -o's extension unless
// --format names it, and may not contradict it.
bool SettleOutput(HostOptions& options, std::string& error) {
    const bool several = options.modelPaths.size() > 1;
    const bool writes = !options.outputPath.empty() || !options.outDir.empty();
    const bool toStdout = options.outputPath == "-";
    if (several && (!options.outputPath.empty() || options.hasTrace || options.interactive)) {
        error = "several model files given: -o, --trace and --interactive take one (use "
                "--out-dir DIR for several; see --help)";
        return false;
    }
    if (options.check && writes) {
        error = "--check writes nothing: leave out -o and --out-dir";
        return false;
    }
    if (!options.outputPath.empty() && !options.outDir.empty()) {
        error = "give either -o FILE or --out-dir DIR";
        return false;
    }
    if (options.format && !writes) {
        error = "--format needs -o FILE or --out-dir DIR";
        return false;
    }
    if (!options.outDir.empty() && !options.format) {
        error = "--out-dir needs --format " + FormatNames("|", "|");
        return false;
    }
    if (toStdout) {
        if (options.hasTrace && options.tracePath == "-") {
            error = "-o - and --trace - both want standard output: send one to a file";
            return false;
        }
        if (!options.format) {
            error = "-o - needs --format " + FormatNames("|", "|", true);
            return false;
        }
        if (!FormatIsOneFile(*options.format)) {
            error = std::string("-o -: standard output takes one file, and ") +
                    FormatExtension(*options.format) +
                    " needs a second one for its materials (use -o FILE." +
                    FormatExtension(*options.format) + ")";
            return false;
        }
        return true;
    }
    if (options.outputPath.empty())
        return true;
    const std::string extension = ExtensionOf(options.outputPath);
    ExportFormat named{};
    const bool known = ParseExportFormat(extension, named);
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
        Lower(MtlPathFor(options.outputPath)) == Lower(options.outputPath)) {
        error = "-o " + options.outputPath +
                ": the OBJ's material library would get this name (use .obj)";
        return false;
    }
    return true;
}

} // namespace

bool ParseLoadTarget(const std::string& text, int32_t& out) {
    static const char* const kWords[] = {"lines", "faces", "both", nullptr};
    return ParseWord(text, kWords, out);
}

bool ParseColourSet(const std::string& text, int32_t& out) {
    static const char* const kWords[] = {"bright", "middle", "dark", nullptr};
    return ParseWord(text, kWords, out);
}

bool ParseOnOff(const std::string& text, int32_t& out) {
    const std::string s = Lower(text);
    if (s == "on" || s == "yes" || s == "1" || s == "true") {
        out = 1;
        return true;
    }
    if (s == "off" || s == "no" || s == "0" || s == "false") {
        out = 0;
        return true;
    }
    return false;
}

bool ParseFiniteDouble(const std::string& text, double& out) {
    if (text.empty() || std::strchr(" \t\n\r\f\v", text[0]) != nullptr)
        return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || errno == ERANGE)
        return false;
    out = value;
    return true;
}

bool ParseInt32(const std::string& text, int32_t& out) {
    if (text.empty() || std::strchr(" \t\n\r\f\v", text[0]) != nullptr)
        return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || errno == ERANGE || value < INT32_MIN ||
        value > INT32_MAX) {
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

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

const char* UsageText() {
    return "usage: ostrel [OPTIONS] MODEL\n"
           "       ostrel [OPTIONS] MODEL -o OUT.lwo|OUT.obj|OUT.glb|OUT.fbx\n"
           "       ostrel [OPTIONS] MODEL... --out-dir DIR --format lwo|obj|glb|fbx\n"
           "       ostrel [OPTIONS] MODEL... --check\n"
           "\n"
           "Loads the object-loader module ostrel.p as the 3D host does and imports MODEL\n"
           "(a \"ROKU4\" model file) through it, playing the host's part.\n"
           "\n"
           "Output:\n"
           "  -o, --output FILE          write what the host received to FILE; the format\n"
           "                             follows the extension (.lwo, .obj + .mtl, .glb,\n"
           "                             .fbx); '-' = stdout (lwo, glb or fbx, with\n"
           "                             --format); a device or FIFO is written into, a\n"
           "                             link's target replaced\n"
           "  --out-dir DIR              one output per model file, named after it, in DIR\n"
           "                             (made when missing)\n"
           "  --format lwo|obj|glb|fbx   the output format (needed with --out-dir and -o -;\n"
           "                             with -o, must agree with a known extension)\n"
           "  --check                    import and check only; one line per model file\n"
           "  No output is ever written over a model file of the run (exit 6).\n"
           "\n"
           "Module and activation:\n"
           "  --module PATH              the module to load (default: ostrel.p beside ostrel)\n"
           "  --activation-version N     version passed to the activation entry (default 1)\n"
           "  --trace FILE               write every call the plug-in makes to FILE ('-' = "
           "stdout)\n"
           "\n"
           "Host behaviour:\n"
           "  --no-panel-services        the global \"LWPanelServices\" is not available\n"
           "  --no-panel                 createPanel fails (returns null)\n"
           "  --screen WxH               display size reported to the plug-in (default 1920x1080)\n"
           "  --cancel                   the user cancels the options panel\n"
           "  --interactive              show the options panel in the terminal and read the\n"
           "                             user's edits from standard input (EOF = ok, or cancel\n"
           "                             with --cancel)\n"
           "\n"
           "Panel edits (applied when the panel opens; an option not given keeps the\n"
           "value the plug-in proposed):\n"
           "  --load lines|faces|both    what to load\n"
           "  --colours bright|middle|dark  palette colour to apply (also --colors)\n"
           "  --scale X                  scale factor\n"
           "  --name TEXT                surface base name (bytes as given)\n"
           "  --smooth on|off            smoothing (also yes/no, true/false, 1/0)\n"
           "  --angle DEGREES            smoothing angle\n"
           "  --double-sided on|off      double-sided surfaces\n"
           "\n"
           "  --help                     show this text\n"
           "  --version                  show the version and the output formats built in\n"
           "\n"
           "Exit status: 0 loaded, 1 not a model file, 2 cannot open or read, 3 cancelled,\n"
           "4 refused by the plug-in or module unusable, 5 the host refused what the\n"
           "plug-in handed over, 6 the output cannot be written or cannot hold the object,\n"
           "64 usage error. With several model files: that of the first file that failed.\n";
}

std::string VersionText() {
    std::string text = "ostrel " OSTREL_VERSION "\noutputs:";
    for (const OutputFormat& output : OutputFormats()) {
        if (output.builtIn)
            text += std::string(" ") + FormatExtension(output.format);
    }
    text += "\n";
    for (const OutputFormat& output : OutputFormats()) {
        if (!output.builtIn)
            text += std::string(FormatExtension(output.format)) + ": " + output.unavailable + "\n";
    }
    return text;
}

ParseStatus ParseOptions(int argc, const char* const* argv, HostOptions& options,
                         std::string& error) {
    bool optionsEnded = false;
    bool haveModel = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (!haveModel)
                options.modelPath = arg;
            options.modelPaths.push_back(arg);
            haveModel = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasInlineValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasInlineValue = true;
        }

        auto flag = [&](bool& target) {
            if (hasInlineValue) {
                error = name + ": takes no value";
                return false;
            }
            target = true;
            return true;
        };
        auto needValue = [&]() {
            if (hasInlineValue)
                return true;
            if (i + 1 >= argc || argv[i + 1] == nullptr) {
                error = name + ": missing value (see --help)";
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto bad = [&](const char* expected) {
            error = name + ": bad value '" + value + "' (expected " + expected + ")";
            return ParseStatus::Error;
        };

        if (name == "--help" || name == "-h") {
            options.help = true;
            return ParseStatus::Help;
        } else if (name == "--version") {
            return ParseStatus::Version;
        } else if (name == "--no-panel-services") {
            if (!flag(options.noPanelServices))
                return ParseStatus::Error;
        } else if (name == "--no-panel") {
            if (!flag(options.noPanel))
                return ParseStatus::Error;
        } else if (name == "--cancel") {
            if (!flag(options.cancel))
                return ParseStatus::Error;
        } else if (name == "--interactive") {
            if (!flag(options.interactive))
                return ParseStatus::Error;
        } else if (name == "--check") {
            if (!flag(options.check))
                return ParseStatus::Error;
        } else if (name == "-o" || name == "--output") {
            if (!needValue())
                return ParseStatus::Error;
            if (value.empty())
                return bad("a file name");
            options.outputPath = value;
        } else if (name == "--out-dir") {
            if (!needValue())
                return ParseStatus::Error;
            if (value.empty())
                return bad("a folder");
            options.outDir = value;
        } else if (name == "--format") {
            if (!needValue())
                return ParseStatus::Error;
            ExportFormat f{};
            if (!ParseExportFormat(value, f))
                return bad(FormatNames(", ", " or ").c_str());
            options.format = f;
        } else if (name == "--module") {
            if (!needValue())
                return ParseStatus::Error;
            if (value.empty())
                return bad("a path");
            options.modulePath = value;
        } else if (name == "--trace") {
            if (!needValue())
                return ParseStatus::Error;
            if (value.empty())
                return bad("a file name or '-'");
            options.hasTrace = true;
            options.tracePath = value;
        } else if (name == "--activation-version") {
            if (!needValue())
                return ParseStatus::Error;
            if (!ParseInt32(value, options.activationVersion))
                return bad("a 32-bit integer");
        } else if (name == "--screen") {
            if (!needValue())
                return ParseStatus::Error;
            if (!ParseScreenSize(value, options.screenWidth, options.screenHeight)) {
                return bad("WIDTHxHEIGHT, e.g. 1920x1080");
            }
        } else if (name == "--load") {
            if (!needValue())
                return ParseStatus::Error;
            int32_t v = 0;
            if (!ParseLoadTarget(value, v))
                return bad("lines, faces or both");
            options.edits.loadTarget = v;
        } else if (name == "--colours" || name == "--colors") {
            if (!needValue())
                return ParseStatus::Error;
            int32_t v = 0;
            if (!ParseColourSet(value, v))
                return bad("bright, middle or dark");
            options.edits.colourSet = v;
        } else if (name == "--scale") {
            if (!needValue())
                return ParseStatus::Error;
            double v = 0;
            if (!ParseFiniteDouble(value, v))
                return bad("a number");
            options.edits.scale = v;
        } else if (name == "--name") {
            if (!needValue())
                return ParseStatus::Error;
            options.edits.name = value;
        } else if (name == "--smooth") {
            if (!needValue())
                return ParseStatus::Error;
            int32_t v = 0;
            if (!ParseOnOff(value, v))
                return bad(kOnOffExpected);
            options.edits.smooth = v;
        } else if (name == "--angle") {
            if (!needValue())
                return ParseStatus::Error;
            double v = 0;
            if (!ParseFiniteDouble(value, v))
                return bad("a number of degrees");
            options.edits.angle = v;
        } else if (name == "--double-sided") {
            if (!needValue())
                return ParseStatus::Error;
            int32_t v = 0;
            if (!ParseOnOff(value, v))
                return bad(kOnOffExpected);
            options.edits.doubleSided = v;
        } else {
            error = "unknown option '" + arg + "' (see --help)";
            return ParseStatus::Error;
        }
    }
    if (!haveModel) {
        error = "no model file given (see --help)";
        return ParseStatus::Error;
    }
    return SettleOutput(options, error) ? ParseStatus::Ok : ParseStatus::Error;
}
