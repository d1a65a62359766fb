// The command line of `ostrel`.
#pragma once

#include "convert/Formats.h"
#include "standin/PanelRules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct HostOptions {
    std::vector<std::string> modelPaths; // every model file, in order (folders expanded)
    // Per model: its folder below the folder given ("a/b/"; "" for none),
    // which --out-dir keeps.
    std::vector<std::string> modelSubfolders;
    bool recursive = false;              // --recursive: a folder's sub-folders too
    bool check = false;                  // --check: import and check, write nothing
    bool quiet = false;                  // --quiet: no warning about the model files
    bool strict = false;                 // --strict: a warning fails the model file
    bool salvage = false;                // --salvage: a damaged file written as read
    int32_t jobs = 0;                    // -j N: model files at once; 0: one per core
    std::string outputPath;              // -o FILE; empty: none; "-": standard output
    std::string outDir;                  // --out-dir DIR; empty: none
    std::optional<ExportFormat> format;  // settled from --format or -o's extension
    std::optional<uint32_t> pictureSize; // --size N: png's pixels along each side
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
    PanelEdits edits; // --load, --colours, --scale, --name, --smooth, --angle, --double-sided
};

enum class ParseStatus { Ok, Help, Version, Error };

// Parses argv[1..argc-1]. Options and the model path may come in any order;
// "--name=value" and "--name value" are both accepted; "--" ends the
// options. A folder among the model paths stands for the model files in it
// (ExpandModelFolders). On Error, `error` holds one line (without "ostrel: ").
ParseStatus ParseOptions(int argc, const char* const* argv, HostOptions& options,
                         std::string& error);

// `arg` asks for the usage: --help, -h, -?, and with `windowsForms` also /?
// (what Windows programs answer to).
bool IsHelpRequest(const std::string& arg, bool windowsForms);

// A Windows command line as typed (TypedCommandLine) asks for the usage: an
// unquoted /? among its arguments, before any "--". That is the form the C
// runtime's wildcard expansion may have changed in argv. The program's name,
// first, is passed over; quotes and backslashes read as the C runtime reads
// them.
bool TypedLineAsksForUsage(const std::string& line);

// The option that gives the edit of `role` ("--load", "--colours", ...).
const char* EditOption(PanelRole role);
// The options of `roles`, for messages: "--scale, --smooth".
std::string EditOptions(const std::vector<PanelRole>& roles);
