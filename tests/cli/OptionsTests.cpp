#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/Usage.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

struct Parsed {
    ParseStatus status;
    HostOptions options;
    std::string error;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "ostrel");
    Parsed p;
    p.status = ParseOptions(static_cast<int>(args.size()), args.data(), p.options, p.error);
    return p;
}

} // namespace

TEST(Options, Defaults) {
    Parsed p = Parse({"cube.rk4"});
    ASSERT_EQ(p.status, ParseStatus::Ok) << p.error;
    EXPECT_EQ(p.options.modelPaths.at(0), "cube.rk4");
    EXPECT_TRUE(p.options.modulePath.empty());
    EXPECT_FALSE(p.options.hasTrace);
    EXPECT_EQ(p.options.activationVersion, 1);
    EXPECT_FALSE(p.options.noPanelServices);
    EXPECT_FALSE(p.options.noPanel);
    EXPECT_FALSE(p.options.cancel);
    EXPECT_FALSE(p.options.interactive);
    EXPECT_EQ(p.options.screenWidth, 1920);
    EXPECT_EQ(p.options.screenHeight, 1080);
    EXPECT_FALSE(p.options.edits.loadTarget || p.options.edits.colourSet || p.options.edits.scale ||
                 p.options.edits.name || p.options.edits.smooth || p.options.edits.angle ||
                 p.options.edits.doubleSided);
}

TEST(Options, EveryOption) {
    Parsed p =
        Parse({"--module", "/x/ostrel.p", "--trace",        "-",        "--activation-version",
               "-3",       "--cancel",    "--interactive",  "--screen", "1001x777",
               "--load",   "faces",       "--colours",      "dark",     "--scale",
               "2.5",      "--name",      "my box",         "--smooth", "off",
               "--angle",  "30",          "--double-sided", "on",       "model.rk4"});
    ASSERT_EQ(p.status, ParseStatus::Ok) << p.error;
    const HostOptions& o = p.options;
    EXPECT_EQ(o.modulePath, "/x/ostrel.p");
    EXPECT_TRUE(o.hasTrace);
    EXPECT_EQ(o.tracePath, "-");
    EXPECT_EQ(o.activationVersion, -3);
    EXPECT_TRUE(o.cancel && o.interactive);
    EXPECT_FALSE(o.noPanelServices || o.noPanel);
    const HostOptions n = Parse({"m", "--no-panel-services", "--no-panel"}).options;
    EXPECT_TRUE(n.noPanelServices && n.noPanel);
    EXPECT_EQ(o.screenWidth, 1001);
    EXPECT_EQ(o.screenHeight, 777);
    EXPECT_EQ(*o.edits.loadTarget, 1);
    EXPECT_EQ(*o.edits.colourSet, 2);
    EXPECT_EQ(*o.edits.scale, 2.5);
    EXPECT_EQ(*o.edits.name, "my box");
    EXPECT_EQ(*o.edits.smooth, 0);
    EXPECT_EQ(*o.edits.angle, 30.0);
    EXPECT_EQ(*o.edits.doubleSided, 1);
    EXPECT_EQ(o.modelPaths.at(0), "model.rk4");
}

TEST(Options, EqualsFormAndChoiceWords) {
    Parsed p = Parse(
        {"m.rk4", "--load=lines", "--colors=BRIGHT", "--scale=.5", "--name=", "--trace=out.txt"});
    ASSERT_EQ(p.status, ParseStatus::Ok) << p.error;
    EXPECT_EQ(*p.options.edits.loadTarget, 0);
    EXPECT_EQ(*p.options.edits.colourSet, 0);
    EXPECT_EQ(*p.options.edits.scale, 0.5);
    EXPECT_EQ(*p.options.edits.name, "");
    EXPECT_EQ(p.options.tracePath, "out.txt");
    EXPECT_EQ(*Parse({"m", "--load", "both"}).options.edits.loadTarget, 2);
    EXPECT_EQ(*Parse({"m", "--colours", "middle"}).options.edits.colourSet, 1);
}

TEST(Options, DoubleDashEndsOptions) {
    Parsed p = Parse({"--", "--odd-name.rk4"});
    ASSERT_EQ(p.status, ParseStatus::Ok) << p.error;
    EXPECT_EQ(p.options.modelPaths.at(0), "--odd-name.rk4");
}

// The forms users of each system type; /? is a path elsewhere, and after
// "--" every form is a model path.
TEST(Options, Help) {
    EXPECT_EQ(Parse({"--help"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"x", "-h"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"-?"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"--", "-?"}).options.modelPaths, std::vector<std::string>{"-?"});
    EXPECT_TRUE(IsHelpRequest("/?", true));
    EXPECT_FALSE(IsHelpRequest("/?", false));
    EXPECT_FALSE(IsHelpRequest("/h", true));
    EXPECT_NE(std::string(UsageText()).find("--double-sided"), std::string::npos);
    EXPECT_NE(std::string(UsageText()).find("--recursive"), std::string::npos);
}

// The Windows command line as typed asks for the usage with an unquoted /?
// before any "--", wherever the C runtime's wildcard expansion has put other
// names in argv; quotes and backslashes group as the C runtime reads them.
TEST(Options, TypedWindowsLineAsksForUsage) {
    EXPECT_TRUE(TypedLineAsksForUsage("ostrel.exe /?"));
    EXPECT_TRUE(TypedLineAsksForUsage("\"C:\\My Tools\\ostrel.exe\"\tcube.rk4  /?"));
    EXPECT_TRUE(TypedLineAsksForUsage("ostrel.exe \"a\\\\\" /?")); // "a\\" closes its quote
    EXPECT_FALSE(TypedLineAsksForUsage("ostrel.exe \"a\\\" /?"));  // "a\" /? is one argument
    EXPECT_FALSE(TypedLineAsksForUsage("ostrel.exe \"/?\""));      // quoted: argv has it as typed
    EXPECT_FALSE(TypedLineAsksForUsage("ostrel.exe -- /?"));
    EXPECT_FALSE(TypedLineAsksForUsage("\"C:\\a /?\\ostrel.exe\" cube.rk4"));
    EXPECT_FALSE(TypedLineAsksForUsage("ostrel.exe a/? /?x"));
    EXPECT_FALSE(TypedLineAsksForUsage(""));
}

// The panel's values are judged by the rulebook (tests/pipeline), named as
// the options name them; another option's bad value gets the usual message.
TEST(Options, DecimalCommaIsNamed) {
    EXPECT_EQ(Parse({"m", "--angle=12,25"}).error,
              "--angle: bad value '12,25' (a decimal comma: write the number with a point, "
              "--angle 12.25)");
    EXPECT_EQ(Parse({"m", "--activation-version", "1,5"}).error,
              "--activation-version: bad value '1,5' (expected a 32-bit integer)");
}

// --version must name exactly the formats whose writer works in this build:
// a listed format that cannot be written, or a working one left out, misleads
// whoever picks a build or a package.
TEST(Options, VersionNamesTheOutputsThatWork) {
    EXPECT_EQ(Parse({"--version"}).status, ParseStatus::Version);
    EXPECT_EQ(Parse({"cube.rk4", "--version", "-o", "x.obj"}).status, ParseStatus::Version);

    ReceivedModel m;
    const float xyz[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    ReceivePoints(m, 3, xyz);
    const uint16_t corners[3] = {0, 2, 1}; // clockwise from the camera: its front shows
    ReceivePolygon(m, 3, ReceiveLookupSurface(m, "a0"), corners);
    ASSERT_EQ(m.refusal, "");

    std::string working, unavailable;
    for (const OutputFormat& output : OutputFormats()) {
        std::vector<OutputFile> files;
        std::string error;
        const bool written = FormFiles(m, output.format, "x", kShiftJisCodePage, files, error);
        EXPECT_EQ(written, output.builtIn) << FormatExtension(output.format) << ": " << error;
        if (written)
            working += std::string(" ") + FormatExtension(output.format);
        else
            unavailable += std::string(FormatExtension(output.format)) + ": " + error + "\n";
    }
    // What is not built in is named with how to get it.
    EXPECT_EQ(VersionText(), "ostrel 1.4\noutputs:" + working + "\n" + unavailable);
    EXPECT_NE(working.find(" lwo obj"), std::string::npos);
}

TEST(Options, UsageErrors) {
    struct Case {
        std::vector<const char*> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"m", "--bogus"}, "unknown option '--bogus'"},
        {{}, "no model file given"},
        {{"a", "b", "-o", "x.lwo"}, "several model files given"},
        {{"m", "--scale"}, "--scale: missing value"},
        {{"m", "--scale", "abc"}, "--scale: bad value 'abc'"},
        {{"m", "--scale", "nan"}, "--scale: bad value"},
        {{"m", "--scale", "1e999"}, "--scale: bad value"},
        // Collapsed or inside out: never what a user asked for.
        {{"m", "--scale", "0"},
         "--scale: bad value '0' (expected a number above 0: 0 puts every "
         "point at one spot, below 0 turns the object inside out; 1 keeps "
         "the file's units)"},
        {{"m", "--scale=-1"}, "--scale: bad value '-1' (expected a number above 0"},
        {{"m", "--scale", "-0"}, "--scale: bad value '-0'"},
        {{"m", "--scale", " 2"}, "--scale: bad value"},
        {{"m", "--angle", "4x"}, "--angle: bad value"},
        {{"m", "--load", "all"}, "--load: bad value 'all'"},
        {{"m", "--colours", "red"}, "--colours: bad value"},
        {{"m", "--smooth", "maybe"}, "--smooth: bad value"},
        {{"m", "--double-sided", ""}, "--double-sided: bad value"},
        {{"m", "--screen", "1920"}, "--screen: bad value"},
        {{"m", "--screen", "-5x10"}, "--screen: bad value"},
        {{"m", "--screen", "10x"}, "--screen: bad value"},
        {{"m", "--screen", "2147483648x3"}, "--screen: bad value"},
        {{"m", "--activation-version", "1.5"}, "--activation-version: bad value"},
        {{"m", "--activation-version", "4294967296"}, "--activation-version: bad value"},
        {{"m", "--cancel=yes"}, "--cancel: takes no value"},
        {{"m", "--trace", ""}, "--trace: bad value"},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.args);
        EXPECT_EQ(p.status, ParseStatus::Error) << c.expected;
        EXPECT_NE(p.error.find(c.expected), std::string::npos) << "got: " << p.error;
    }
}

TEST(Options, OutputFormatFromExtensionOrFormat) {
    struct Case {
        std::vector<const char*> args;
        ExportFormat format;
    };
    const Case cases[] = {
        {{"m", "-o", "c.obj"}, ExportFormat::Obj},
        {{"m", "-o", "dir.v2/C.GLB"}, ExportFormat::Glb},
        {{"m", "-o", "c.obj", "--format", "OBJ"}, ExportFormat::Obj},
        {{"m", "-o", "c.LWO", "--format", "lwo"}, ExportFormat::Lwob},
        // An extension that names no format leaves the choice to --format.
        {{"m", "-o", "c.bin", "--format", "glb"}, ExportFormat::Glb},
        {{"m", "-o", "out/.hidden", "--format", "lwo"}, ExportFormat::Lwob},
        {{"m", "-o", "/dev/null", "--format", "obj"}, ExportFormat::Obj},
        {{"m", "-o", "-", "--format", "glb"}, ExportFormat::Glb},
        {{"m", "--output=-", "--format=lwo"}, ExportFormat::Lwob},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.args);
        ASSERT_EQ(p.status, ParseStatus::Ok) << c.args[2] << ": " << p.error;
        EXPECT_EQ(*p.options.format, c.format) << c.args[2];
    }
}

TEST(Options, OutputUsageErrors) {
    struct Case {
        std::vector<const char*> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"m", "-o", "c.obj", "--format", "glb"},
         "-o c.obj names a .obj file, but --format asks for glb"},
        {{"m", "-o", "c.LWO", "--format", "obj"}, "names a .lwo file, but --format asks for obj"},
        {{"m", "-o", "c.txt"},
         "cannot tell the format from the extension (use .lwo, .obj, .glb, .gltf, .fbx, .png, "
         ".stl, .ply or .3mf"},
        {{"m", "-o", "-"}, "-o - needs --format lwo|glb|gltf|fbx|png"},
        {{"m", "-o", "-", "--format", "obj"},
         "standard output takes one file, and obj needs a second one"},
        {{"m", "-o", "-", "--format", "glb", "--trace", "-"}, "both want standard output"},
        {{"m", "-o", "c.MTL", "--format", "obj"}, "the OBJ's material library would get this name"},
        {{"m", "--format", "dae", "-o", "c.dae"},
         "expected lwo, obj, glb, gltf, fbx, png, stl, ply or 3mf"},
        {{"m", "--format", "lwob", "-o", "c"},
         "expected lwo, obj, glb, gltf, fbx, png, stl, ply or 3mf"},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.args);
        EXPECT_EQ(p.status, ParseStatus::Error) << c.expected;
        EXPECT_NE(p.error.find(c.expected), std::string::npos) << "got: " << p.error;
    }
}

// What a message says an option takes, it takes.
TEST(Options, MessagesListWhatIsAccepted) {
    Parsed p = Parse({"m", "--smooth", "maybe"});
    ASSERT_EQ(p.status, ParseStatus::Error);
    const std::string expected = "(expected " + std::string(kOnOffExpected) + ")";
    EXPECT_NE(p.error.find(expected), std::string::npos) << p.error;
    std::string words = kOnOffExpected;
    for (char& c : words) {
        if (c == ',' || c == ';' || c == '/')
            c = ' ';
    }
    size_t listed = 0;
    for (size_t at = 0; at < words.size();) {
        const size_t end = std::min(words.find(' ', at), words.size());
        const std::string word = words.substr(at, end - at);
        at = end + 1;
        if (word.empty() || word == "or" || word == "also")
            continue;
        int32_t v = -1;
        EXPECT_TRUE(ParseOnOff(word, v)) << word;
        ++listed;
        for (const char* option : {"--smooth", "--double-sided"})
            EXPECT_EQ(Parse({"m", option, word.c_str()}).status, ParseStatus::Ok) << word;
    }
    EXPECT_EQ(listed, 8u);

    // Each format listed is taken, as its own name and as -o's extension.
    const std::string formats = FormatNames("|", "|") + "|";
    for (size_t at = 0, bar; (bar = formats.find('|', at)) != std::string::npos; at = bar + 1) {
        const std::string name = formats.substr(at, bar - at);
        ExportFormat f{};
        ASSERT_TRUE(ParseExportFormat(name, f)) << name;
        EXPECT_EQ(FormatExtension(f), name);
        const std::string file = "c." + name;
        EXPECT_EQ(*Parse({"m", "-o", file.c_str()}).options.format, f) << name;
    }
}

// Without a panel, edits and the terminal panel can never take effect: the
// combination is refused before anything is imported, naming what is given.
TEST(Options, PanelEditsNeedAPanel) {
    Parsed p = Parse({"m", "--no-panel", "--smooth", "off", "--scale", "2"});
    EXPECT_EQ(p.status, ParseStatus::Error);
    EXPECT_EQ(p.error,
              "--no-panel: no panel opens, so --scale, --smooth cannot take effect (leave them "
              "out)");
    p = Parse({"m", "--no-panel-services", "--interactive"});
    EXPECT_EQ(p.status, ParseStatus::Error);
    EXPECT_EQ(p.error, "--no-panel-services: no panel opens, so --interactive cannot take effect "
                       "(leave it out)");
    EXPECT_EQ(Parse({"m", "--no-panel", "--name="}).status, ParseStatus::Error);
    EXPECT_EQ(Parse({"m", "--no-panel"}).status, ParseStatus::Ok);
    EXPECT_EQ(Parse({"m", "--cancel", "--scale", "2"}).status, ParseStatus::Ok);
}

TEST(Options, DefaultModuleIsBesideTheExecutable) {
    const std::string path = DefaultModulePath();
    ASSERT_GE(path.size(), 9u);
    EXPECT_EQ(path.substr(path.size() - 8), "ostrel.p");
    const char separator = path[path.size() - 9];
    EXPECT_TRUE(separator == '/' || separator == '\\') << path;
}
