#include "cli/TerminalPanel.h"
#include "platform/TextCodec.h"
#include "standin/PanelServices.h"

#include "MemoryFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {

const char* const kLoadItems[] = {"\x90\xfc\x82\xcc\x82\xdd", "\x96\xca\x82\xcc\x82\xdd",
                                  "\x97\xbc\x95\xfb", nullptr};
const char* const kColourItems[] = {"\x96\xbe\x82\xe9\x82\xa2\x90\x46", "\x92\x86\x8a\xd4",
                                    "\x88\xc3\x82\xa2\x90\x46", nullptr};
const char* const kSummary[] = {"8 pts / 0/0 lines / 6 faces", nullptr};

struct Console {
    PanelHost host;
    PanelModel* panel = nullptr;
    PanelControl* c[8] = {};

    Console() {
        PanelHostInit(host, PanelBehaviour{}, nullptr);
        PanelServices* s = &host.services;
        PanelHandle handle = s->createPanel("Ostrel 1.4", s);
        ControlDescription d{};
        d.kindCode = kKindText;
        d.lines = kSummary;
        c[0] = s->createControl(handle, "TextControl", &d, "");
        d.kindCode = kKindChoice;
        d.items = kLoadItems;
        c[1] = s->createControl(handle, "ChoiceControl", &d,
                                "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x91\xce\x8f\xdb");
        d.items = kColourItems;
        c[2] = s->createControl(handle, "ChoiceControl", &d, "\x90\xdd\x92\xe8\x90\x46");
        d = ControlDescription{};
        d.kindCode = kKindFloat;
        c[3] = s->createControl(handle, "FloatControl", &d, "Scale");
        d.kindCode = kKindEdit;
        d.fieldWidth = 16;
        c[4] = s->createControl(handle, "EditControl", &d, "Surface Name");
        d = ControlDescription{};
        d.kindCode = kKindBool;
        c[5] = s->createControl(handle, "BoolControl", &d, "Smooth");
        d.kindCode = kKindFloat;
        c[6] = s->createControl(handle, "FloatControl", &d, "Smoothing Angle");
        d.kindCode = kKindBool;
        c[7] = s->createControl(handle, "BoolControl", &d, "Double Sided");
        panel = &host.panels.front()->model;
    }
    ~Console() { PanelHostRelease(host); }

    ControlModel& Control(int number) { return panel->controls[static_cast<size_t>(number) - 1]; }

    int32_t Run(const std::string& input, bool eofCancels, std::string* shown = nullptr) {
        MemoryFile in(input);
        MemoryFile out;
        const int32_t result = RunTerminalPanel(*panel, in.file, out.file, eofCancels);
        if (shown != nullptr)
            *shown = out.Text();
        return result;
    }
};

} // namespace

TEST(TerminalPanel, ShowsLabelsAndValuesInUtf8) {
    Console console;
    console.Control(2).value.i = 2;
    console.Control(3).value.i = 1;
    console.Control(4).value.d = 8;
    console.Control(5).value.text = "cube";
    console.Control(6).value.i = 1;
    console.Control(7).value.d = 44.5;
    std::string shown;
    EXPECT_EQ(console.Run("ok\n", false, &shown), 1);
    EXPECT_NE(shown.find("=== Ostrel 1.4 ==="), std::string::npos) << shown;
    EXPECT_NE(shown.find("8 pts / 0/0 lines / 6 faces"), std::string::npos);
    EXPECT_NE(shown.find("1) 読み込み対象 [load]: 両方 (both)"), std::string::npos) << shown;
    EXPECT_NE(shown.find("2) 設定色 [colour]: 中間 (middle)"), std::string::npos) << shown;
    EXPECT_NE(shown.find("3) Scale: 8"), std::string::npos) << shown;
    EXPECT_NE(shown.find("4) Surface Name [name]: \"cube\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("5) Smooth: on"), std::string::npos) << shown;
    EXPECT_NE(shown.find("6) Smoothing Angle [angle]: 44.5"), std::string::npos) << shown;
    EXPECT_NE(shown.find("7) Double Sided [double]: off"), std::string::npos) << shown;
}

TEST(TerminalPanel, CommandsChangeValues) {
    Console console;
    const std::string input =
        "load faces\ncolour dark\nscale 2.5\nname my box\nsmooth on\nangle 90\ndouble on\nok\n";
    EXPECT_EQ(console.Run(input, false), 1);
    EXPECT_EQ(console.Control(2).value.i, 1);
    EXPECT_EQ(console.Control(3).value.i, 2);
    EXPECT_EQ(console.Control(4).value.d, 2.5);
    EXPECT_EQ(console.Control(5).value.text, "my box");
    EXPECT_EQ(console.Control(6).value.i, 1);
    EXPECT_EQ(console.Control(7).value.d, 90.0);
    EXPECT_EQ(console.Control(8).value.i, 1);
}

TEST(TerminalPanel, NumberedMenuAndItemForms) {
    Console console;
    EXPECT_EQ(console.Run("1 2\n2 明るい色\n3 .5\n3 -1\n3 0\n4 box\n5 off\n7 yes\nok\n", false), 1);
    EXPECT_EQ(console.Control(2).value.i, 2);
    EXPECT_EQ(console.Control(3).value.i, 0);
    EXPECT_EQ(console.Control(4).value.d, 0.5); // 0 and below refused
    EXPECT_EQ(console.Control(5).value.text, "box");
    EXPECT_EQ(console.Control(6).value.i, 0);
    EXPECT_EQ(console.Control(8).value.i, 1);
}

TEST(TerminalPanel, BadInputIsReportedAndIgnored) {
    Console console;
    console.Control(4).value.d = 8;
    std::string shown;
    EXPECT_EQ(console.Run("scale x\n1 7\n99 1\nfrobnicate\nscale\nok\n", false, &shown), 1);
    EXPECT_EQ(console.Control(4).value.d, 8.0);
    EXPECT_EQ(console.Control(2).value.i, 0);
    EXPECT_NE(shown.find("expected a number"), std::string::npos) << shown;
    EXPECT_NE(shown.find("no entry 99"), std::string::npos) << shown;
    EXPECT_NE(shown.find("unknown command \"frobnicate\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("value missing"), std::string::npos) << shown;
}

// A wrong entry is answered in English, the plug-in's Japanese beside.
TEST(TerminalPanel, WrongEntriesAnsweredInEnglish) {
    Console console;
    std::string shown;
    EXPECT_EQ(console.Run("load all\nscale x\nok\n", false, &shown), 1);
    EXPECT_NE(
        shown.find("  読み込み対象 [load]: choose one of: 0 線のみ (lines), 1 面のみ (faces), "
                   "2 両方 (both)\n"),
        std::string::npos)
        << shown;
    EXPECT_NE(shown.find("  Scale: bad value 'x' (expected a number above 0: "), std::string::npos)
        << shown;
}

TEST(TerminalPanel, CancelAndEndOfInput) {
    {
        Console console;
        EXPECT_EQ(console.Run("scale 3\ncancel\nscale 4\n", false), 0);
        EXPECT_EQ(console.Control(4).value.d,
                  3.0); // the host keeps it; the plug-in reads nothing
    }
    // What a terminal user types to get out cancels too, in any case.
    for (const char* word : {"quit", "exit", "  Quit  "}) {
        Console console;
        std::string shown;
        EXPECT_EQ(console.Run(std::string(word) + "\nok\n", false, &shown), 0) << word;
        EXPECT_NE(shown.find("(cancelled)\n"), std::string::npos) << shown;
    }
    {
        Console console;
        EXPECT_EQ(console.Run("scale 3\n", false), 1); // EOF = ok
    }
    {
        Console console;
        EXPECT_EQ(console.Run("", true), 0); // EOF = cancel with --cancel
    }
}

TEST(TerminalPanel, NumbersAsAPersonWritesThem) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{10, "10"},
                 {90, "90"},
                 {44.5, "44.5"},
                 {0.125, "0.125"},
                 {8, "8"},
                 {-2.5, "-2.5"},
                 {0, "0"},
                 {0.1, "0.1"},
                 {1e-5, "0.00001"},
                 {1e-7, "1e-07"},
                 {1e14, "100000000000000"},
                 {1e15, "1e+15"},
                 {1.0 / 3, "0.3333333333333333"}};
    for (const auto& c : cases)
        EXPECT_EQ(PlainNumberText(c.value), c.text) << c.value;
    // Every form reads back to the value it shows.
    for (double v : {0.1 + 0.2, 123456.789, 2.0 / 3 * 1e-9, 6.02214076e23, -1e300}) {
        const std::string text = PlainNumberText(v);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    }

    Console console;
    std::string shown;
    console.Run("scale 10\nangle 90\nok\n", false, &shown);
    EXPECT_NE(shown.find("  Scale: 10\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("  Smoothing Angle: 90\n"), std::string::npos) << shown;
}

TEST(TerminalPanel, NamesShownByTheRuleForNames) {
    const struct {
        const char* typed;
        const char* shown;
    } cases[] = {
        {"箱", "\"箱\""},       // UTF-8 as it is
        {"\x94\xa0", "\"箱\""}, // Shift-JIS converted
        {"a\xff"
         "b",
         "\"a\\xffb\""}, // neither: escaped
    };
    // Bytes that are not UTF-8 are read in the system's code page: the cases
    // after the first are Shift-JIS ones.
    const size_t count = SystemCodePage() == kShiftJisCodePage ? std::size(cases) : 1;
    for (size_t i = 0; i < count; ++i) {
        const auto& c = cases[i];
        Console console;
        std::string shown;
        console.Run(std::string("name ") + c.typed + "\nok\n", false, &shown);
        EXPECT_NE(shown.find(std::string("Surface Name: ") + c.shown + "\n"), std::string::npos)
            << shown;
    }
}
