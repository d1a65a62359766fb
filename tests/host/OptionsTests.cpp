#include "standin/Options.h"
#include "standin/Received.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(p.options.modelPath, "cube.rk4");
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
    Parsed p = Parse({"--module",
                      "/x/ostrel.p",
                      "--trace",
                      "-",
                      "--activation-version",
                      "-3",
                      "--no-panel-services",
                      "--no-panel",
                      "--cancel",
                      "--interactive",
                      "--screen",
                      "1001x777",
                      "--load",
                      "faces",
                      "--colours",
                      "dark",
                      "--scale",
                      "2.5",
                      "--name",
                      "my box",
                      "--smooth",
                      "off",
                      "--angle",
                      "30",
                      "--double-sided",
                      "on",
                      "model.rk4"});
    ASSERT_EQ(p.status, ParseStatus::Ok) << p.error;
    const HostOptions& o = p.options;
    EXPECT_EQ(o.modulePath, "/x/ostrel.p");
    EXPECT_TRUE(o.hasTrace);
    EXPECT_EQ(o.tracePath, "-");
    EXPECT_EQ(o.activationVersion, -3);
    EXPECT_TRUE(o.noPanelServices && o.noPanel && o.cancel && o.interactive);
    EXPECT_EQ(o.screenWidth, 1001);
    EXPECT_EQ(o.screenHeight, 777);
    EXPECT_EQ(*o.edits.loadTarget, 1);
    EXPECT_EQ(*o.edits.colourSet, 2);
    EXPECT_EQ(*o.edits.scale, 2.5);
    EXPECT_EQ(*o.edits.name, "my box");
    EXPECT_EQ(*o.edits.smooth, 0);
    EXPECT_EQ(*o.edits.angle, 30.0);
    EXPECT_EQ(*o.edits.doubleSided, 1);
    EXPECT_EQ(o.modelPath, "model.rk4");
}

TEST(Options, EqualsFormAndChoiceWords) {
    Parsed p = Parse(
        {"m.rk4", "--load=lines", "--colors=BRIGHT", "--scale=-1", "--name=", "--trace=out.txt"});
    ASSERT_EQ(p.status, ParseStatus::Ok) << p.error;
    EXPECT_EQ(*p.options.edits.loadTarget, 0);
    EXPECT_EQ(*p.options.edits.colourSet, 0);
    EXPECT_EQ(*p.options.edits.scale, -1.0);
    EXPECT_EQ(*p.options.edits.name, "");
    EXPECT_EQ(p.options.tracePath, "out.txt");
    EXPECT_EQ(*Parse({"m", "--load", "both"}).options.edits.loadTarget, 2);
    EXPECT_EQ(*Parse({"m", "--colours", "middle"}).options.edits.colourSet, 1);
}

TEST(Options, DoubleDashEndsOptions) {
    Parsed p = Parse({"--", "--odd-name.rk4"});
    ASSERT_EQ(p.status, ParseStatus::Ok) << p.error;
    EXPECT_EQ(p.options.modelPath, "--odd-name.rk4");
}

TEST(Options, Help) {
    EXPECT_EQ(Parse({"--help"}).status, ParseStatus::Help);
    EXPECT_EQ(Parse({"x", "-h"}).status, ParseStatus::Help);
    EXPECT_NE(std::string(UsageText()).find("--double-sided"), std::string::npos);
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
    const uint16_t corners[3] = {0, 1, 2};
    ReceivePolygon(m, 3, ReceiveLookupSurface(m, "a0"), corners);
    ASSERT_EQ(m.refusal, "");

    std::string working;
    for (const OutputFormat& output : OutputFormats()) {
        std::string bytes, mtl, error;
        bool written = false;
        switch (output.format) {
        case ExportFormat::Lwob:
            written = WriteLwob(m, bytes, error);
            break;
        case ExportFormat::Obj:
            written = WriteObj(m, "x.mtl", bytes, mtl, error);
            break;
        case ExportFormat::Glb:
            written = WriteGlb(m, bytes, error);
            break;
        }
        EXPECT_EQ(written, output.builtIn) << FormatExtension(output.format) << ": " << error;
        if (written)
            working += std::string(" ") + FormatExtension(output.format);
    }
    EXPECT_EQ(VersionText(), "ostrel 1.4\noutputs:" + working + "\n");
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
        {{"m", "--scale", " 2"}, "--scale: bad value"},
        {{"m", "--angle", "4x"}, "--angle: bad value"},
        {{"m", "--load", "all"}, "--load: bad value 'all'"},
        {{"m", "--colours", "red"}, "--colours: bad value"},
        {{"m", "--smooth", "maybe"}, "--smooth: bad value"},
        {{"m", "--double-sided", ""}, "--double-sided: bad value"},
        {{"m", "--screen", "1920"}, "--screen: bad value"},
        {{"m", "--screen", "-5x10"}, "--screen: bad value"},
        {{"m", "--screen", "10x"}, "--screen: bad value"},
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

TEST(Options, ValueParsers) {
    int32_t w = 0, h = 0;
    EXPECT_TRUE(ParseScreenSize("0x0", w, h));
    EXPECT_EQ(w, 0);
    EXPECT_TRUE(ParseScreenSize("2147483647X3", w, h));
    EXPECT_EQ(w, 2147483647);
    EXPECT_EQ(h, 3);
    EXPECT_FALSE(ParseScreenSize("2147483648x3", w, h));
    int32_t v = -1;
    EXPECT_TRUE(ParseOnOff("YES", v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(ParseOnOff("false", v));
    EXPECT_EQ(v, 0);
    double d = 0;
    EXPECT_TRUE(ParseFiniteDouble("-0.5e1", d));
    EXPECT_EQ(d, -5.0);
    EXPECT_FALSE(ParseFiniteDouble("", d));
    EXPECT_FALSE(ParseFiniteDouble("inf", d));
}
