// The stand-in host's command line.
#pragma once

#include "convert/Formats.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The user's edits that openPanel applies to the plug-in's controls before
// it returns. An option not given keeps the value the plug-in proposed.
struct PanelEdits {
    std::optional<int32_t> loadTarget;  // --load lines|faces|both -> 0/1/2
    std::optional<int32_t> colourSet;   // --colours bright|middle|dark -> 0/1/2
    std::optional<double> scale;        // --scale X
    std::optional<std::string> name;    // --name TEXT (bytes as given)
    std::optional<int32_t> smooth;      // --smooth on|off -> 1/0
    std::optional<double> angle;        // --angle DEGREES
    std::optional<int32_t> doubleSided; // --double-sided on|off -> 1/0
};

struct HostOptions {
    std::string modelPath;               // the first model file
    std::vector<std::string> modelPaths; // every model file, in order
    bool check = false;                  // --check: import and check, write nothing
    std::string outputPath;              // -o FILE; empty: none; "-": standard output
    std::string outDir;                  // --out-dir DIR; empty: none
    std::optional<ExportFormat> format;  // settled from --format or -o's extension
    std::string modulePath;              // empty: ostrel.p beside the executable
    bool hasTrace = false;
    std::string tracePath; // "-" = standard output
    int32_t activationVersion = 1;
    bool noPanelServices = false; // globalLookup answers null
    bool noPanel = false;         // createPanel answers null
    bool cancel = false;          // openPanel answers 0
    bool interactive = false;     // show the panel in the terminal at openPanel
    int32_t screenWidth = 1920;
    int32_t screenHeight = 1080;
    PanelEdits edits;
    bool help = false;
};

enum class ParseStatus { Ok, Help, Version, Error };

// Parses argv[1..argc-1]. Options and the model path may come in any order;
// "--name=value" and "--name value" are both accepted; "--" ends the
// options. On Error, `error` holds one line (without "ostrel: ").
ParseStatus ParseOptions(int argc, const char* const* argv, HostOptions& options,
                         std::string& error);

// The --help text.
const char* UsageText();

// The --version text: the version, then the output formats built in.
std::string VersionText();

// Value parsers (shared with the interactive panel). Each returns false for a
// bad value and leaves `out` alone.
bool ParseLoadTarget(const std::string& text, int32_t& out); // lines|faces|both
bool ParseColourSet(const std::string& text, int32_t& out);  // bright|middle|dark
bool ParseOnOff(const std::string& text, int32_t& out);      // on|off|yes|no|1|0|true|false
// What ParseOnOff takes, for messages.
inline constexpr char kOnOffExpected[] = "on or off; also yes/no, true/false, 1/0";
bool ParseFiniteDouble(const std::string& text, double& out); // whole text, finite
bool ParseInt32(const std::string& text, int32_t& out);       // whole text, decimal
bool ParseScreenSize(const std::string& text, int32_t& width,
                     int32_t& height); // WxH, each 0..2^31-1
