// What the reader left out, in words: small broken model files, inline, with
// the exact lines each gives (where each notice stands and what it holds is
// the reader's, tests/model); none for a sound file; the same from a
// conversion's own import; and what a file that is not a model file starts
// with instead.
#include "LinkedModule.h"
#include "pipeline/Pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// A tetrahedron: lines 3-34 its four points, 36-59 its six lines, 61-84 its
// four faces (count, colour, value, three line numbers each), 85 "END00".
std::string Tetrahedron() {
    std::string text = "ROKU4 tetrahedron\nPOINT\n";
    const char* points[] = {"0\n0\n0\n", "1\n0\n0\n", "0\n1\n0\n", "0\n0\n1\n"};
    for (const char* xyz : points)
        text += std::string("0\n0\n0\n0\n0\n") + xyz;
    text += "LINE0\n";
    const int ends[][2] = {{1, 2}, {2, 3}, {3, 1}, {1, 4}, {2, 4}, {3, 4}};
    for (const auto& e : ends)
        text += std::to_string(e[0]) + "\n" + std::to_string(e[1]) + "\n0\n0\n";
    text += "FACE0\n";
    const int faces[][3] = {{1, 2, 3}, {1, 5, 4}, {2, 6, 5}, {3, 4, 6}};
    for (const auto& f : faces)
        text += "3\n0\n0\n" + std::to_string(f[0]) + "\n" + std::to_string(f[1]) + "\n" +
                std::to_string(f[2]) + "\n";
    return text + "END00\n";
}

// The tetrahedron with its 1-based line `number` replaced by `text`.
std::string WithLine(int number, const std::string& text, std::string model = Tetrahedron()) {
    size_t start = 0;
    for (int i = 1; i < number; ++i)
        start = model.find('\n', start) + 1;
    return model.replace(start, model.find('\n', start) - start, text);
}

std::vector<std::string> Warnings(const std::string& bytes) {
    return WarningLines(CollectReadWarnings(bytes), "m.rk4");
}

using Lines = std::vector<std::string>;

} // namespace

TEST(ReadWarnings, FacesLeftOut) {
    EXPECT_EQ(Warnings(WithLine(65, "99")),
              Lines{"m.rk4:65: face left out: it names line 99, and the line section has 6 lines"});
    EXPECT_EQ(Warnings(WithLine(62, "16")),
              Lines{"m.rk4:62: face left out: colour index 16 is outside 0..15"});
    // Line 4 ends at point 4, which no other line of the face reaches.
    EXPECT_EQ(Warnings(WithLine(66, "4")),
              Lines{"m.rk4:61: face left out: its 3 lines do not close into a loop"});
    // A negative count reads the face's lines as records of their own.
    EXPECT_EQ(
        Warnings(WithLine(61, "-3")),
        (Lines{"m.rk4:61: face left out: its line count -3 is negative",
               "m.rk4:74: face left out: it names line 0, and the line section has 6 lines"}));
}

// Line 16 is the second point's x (a real), line 11 its first value (an
// integer): what each number field was read as, by the reader's conversions.
TEST(ReadWarnings, NumberFields) {
    const char* more = " (a decimal comma, or several numbers on one line?)";
    // Numbers with a decimal comma are told once, however many there are.
    EXPECT_EQ(Warnings(WithLine(16, "0,5")),
              Lines{"m.rk4:16: a number is written with a decimal comma, \"0,5\": the reader "
                    "reads it only up to the comma (save the file with decimal points)"});
    EXPECT_EQ(Warnings(WithLine(16, "0,5", WithLine(17, "-1,25"))),
              Lines{"m.rk4:16: 2 numbers are written with a decimal comma, the first \"0,5\": "
                    "the reader reads each only up to the comma (save the file with decimal "
                    "points)"});
    EXPECT_EQ(
        Warnings(WithLine(16, "1.5 2 3")),
        Lines{std::string("m.rk4:16: more than a number in \"1.5 2 3\": read as 1.5") + more});
    EXPECT_EQ(Warnings(WithLine(11, "1.5")),
              Lines{std::string("m.rk4:11: more than a number in \"1.5\": read as 1") + more});
    EXPECT_EQ(Warnings(WithLine(16, "x")), Lines{"m.rk4:16: no number in \"x\": read as 0"});
    // A tab is shown as such, other control characters as "?".
    EXPECT_EQ(Warnings(WithLine(16, "1\t2")),
              Lines{std::string("m.rk4:16: more than a number in \"1\\t2\": read as 1") + more});
    EXPECT_EQ(Warnings(WithLine(16, "\tx\x01")),
              Lines{"m.rk4:16: no number in \"\\tx?\": read as 0"});
    EXPECT_EQ(Warnings(WithLine(16, "")),
              Lines{"m.rk4:16: an empty line where a number belongs: read as 0"});
}

TEST(ReadWarnings, LinesOutOfRange) {
    // Line 1 ends at point 9 of 4: the two faces naming it are left out.
    EXPECT_EQ(Warnings(WithLine(37, "9")),
              (Lines{"m.rk4:36: line with end point 9, and the point section has 4 points: no face "
                     "can use it",
                     "m.rk4:64: face left out: it names line 1, whose end points are not both "
                     "among the 4 points",
                     "m.rk4:70: face left out: it names line 1, whose end points are not both "
                     "among the 4 points"}));
    std::string lineList = Tetrahedron() + "LINE2\n7\n0\n1\n0\n2\n0\n20\n0\n5\n0\n1\n0\nENDL2\n";
    EXPECT_EQ(Warnings(lineList),
              (Lines{"m.rk4:87: line-list entry left out: it names line 7, and the line section "
                     "has 6 lines",
                     "m.rk4:91: line-list entry left out: colour index 20 is outside 0..15"}));
}

TEST(ReadWarnings, SectionsAndUnknownLines) {
    const std::string model = Tetrahedron();
    // Cut inside the third face: the record is told of once, as the cut.
    EXPECT_EQ(Warnings(model.substr(0, model.find("3\n0\n0\n2\n6\n5\n") + 8)),
              Lines{"m.rk4:76: the file ends inside the face section (no \"END00\" line)"});
    EXPECT_EQ(Warnings(model.substr(0, model.find("LINE0"))),
              Lines{"m.rk4:34: the file ends inside the point section (no \"LINE0\" line)"});
    EXPECT_EQ(Warnings("ROKU4\nno points here\n"),
              Lines{"m.rk4:2: no \"POINT\" line: the file holds no object"});
    EXPECT_EQ(Warnings(model + "PALC0\n1\n"),
              Lines{"m.rk4:87: the file ends inside a palette section (no \"ENDP0\" line)"});
    // Blank lines between sections are no mistake; "face0" is, and is named
    // as the keyword it would be, as a keyword with blanks around it is.
    EXPECT_EQ(
        Warnings(model + "\n  \nface0\r\nVIEW0\n1\n1\nENDV0\nface 0\n"),
        (Lines{"m.rk4:88: the keyword \"face0\" is in small letters: write it as \"FACE0\" (the "
               "reader does not take it for \"FACE0\")",
               "m.rk4:93: unknown line \"face 0\" where a section keyword belongs: skipped"}));
    EXPECT_EQ(
        Warnings("ROKU4\nPOINT \n").at(0),
        "m.rk4:2: the keyword \"POINT \" has a trailing blank: remove it (the reader does not "
        "take it for \"POINT\")");
    // A line cut after 79 characters, or of exactly 79, shifts what follows.
    const std::string digits(79, '1');
    EXPECT_EQ(Warnings(WithLine(16, digits + "2345678901234")).at(0),
              "m.rk4:16: line 16 is 92 characters long: the reader keeps 79, and the rest is "
              "read as the next line");
    EXPECT_EQ(Warnings(WithLine(16, digits)).at(0),
              "m.rk4:16: line 16 is 79 characters long: the reader keeps 79, and reads its line "
              "end as an empty next line");
}

// Of each kind the first three, then how many more; in file order.
TEST(ReadWarnings, FewPerKindThenACount) {
    std::string model = Tetrahedron() + "LINE2\n";
    for (int i = 0; i < 5; ++i)
        model += "1\n0\n16\n0\n";
    model += "ENDL2\nabc\ndef\n";
    EXPECT_EQ(Warnings(model),
              (Lines{"m.rk4:87: line-list entry left out: colour index 16 is outside 0..15",
                     "m.rk4:91: line-list entry left out: colour index 16 is outside 0..15",
                     "m.rk4:95: line-list entry left out: colour index 16 is outside 0..15",
                     "m.rk4:108: unknown line \"abc\" where a section keyword belongs: skipped",
                     "m.rk4:109: unknown line \"def\" where a section keyword belongs: skipped",
                     "m.rk4: and 2 more line-list entries with a colour index outside 0..15"}));
}

// The file read again in blocks, as the plug-in reads it, gives what its
// bytes give; a file that cannot be read again says so.
TEST(ReadWarnings, FromAFileAsFromItsBytes) {
    const std::string bytes = WithLine(62, "16") + "PALC0\n1\n";
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("ostrel-warnings-" + std::to_string(std::random_device()()) + ".rk4");
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_EQ(WarningLines(CollectReadWarningsFromFile(path.string()), "m.rk4"), Warnings(bytes));
    std::filesystem::remove(path);
    EXPECT_EQ(WarningLines(CollectReadWarningsFromFile(path.string()), "m.rk4"),
              Lines{"m.rk4: not read for warnings: it could not be opened again"});
}

#if OSTREL_THREADS
// Warnings are read beside imports, and several models at once: each read
// words its own lines, Shift-JIS text included, whatever the others do (a
// conversion naming its output in another code page among them).
TEST(ReadWarnings, ReadsOnSeveralThreadsAreEachTheirOwn) {
    const std::string model = Tetrahedron();
    const std::vector<std::string> models = {model + "\x95\x5c\x8e\xa6\n",
                                             model + "\x83\x5c\x83\x74\x83\x67\n",
                                             model + "caf\xe9 \x95\x5c\n", model + "PALC0\n1\n"};
    std::vector<Lines> expected;
    for (const std::string& m : models)
        expected.push_back(Warnings(m));
    EXPECT_EQ(expected[0],
              Lines{"m.rk4:86: unknown line \"表示\" where a section keyword belongs: skipped"});
    std::vector<size_t> wrong(models.size(), 0);
    size_t wrongNames = 0;
    {
        std::vector<std::jthread> threads;
        for (size_t t = 0; t < models.size(); ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 300; ++i)
                    wrong[t] += Warnings(models[t]) != expected[t] ? 1 : 0;
            });
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                wrongNames += NameAsUtf8("caf\xe9", 1252) != "café" ? 1 : 0;
                wrongNames += NameAsUtf8("\x95\x5c\x8e\xa6", kShiftJisCodePage) != "表示" ? 1 : 0;
            }
        });
    }
    EXPECT_EQ(wrong, std::vector<size_t>(models.size(), 0));
    EXPECT_EQ(wrongNames, 0u);
}
#endif

// Every example and test model reads without a warning, but the one cut off
// on purpose; and the import with warnings asked for is the same import.
TEST(ReadWarnings, NoneForSoundModels) {
    LinkedModule linked;
    ASSERT_TRUE(linked.started) << linked.error;
    for (const char* dir : {OSTREL_EXAMPLES_DIR, OSTREL_TEST_DATA_DIR}) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().extension() != ".rk4")
                continue;
            SCOPED_TRACE(entry.path().string());
            ImportRequest request;
            request.module = &linked.module;
            request.modelName = entry.path().string();
            request.readWarnings = true;
            request.traceText = true;
            request.salvage = true;
            const ImportOutcome outcome = RunImport(request);
            ASSERT_EQ(outcome.result, ImportResult::Loaded) << outcome.reason;
            const Lines lines = WarningLines(outcome.readWarnings, "m");
            if (entry.path().filename() == "header_cr_eof.rk4") {
                EXPECT_EQ(lines, Lines{"m:11: the file ends inside the point section (no "
                                       "\"LINE0\" line)"});
                EXPECT_EQ(outcome.damage.kind, DamageKind::CutShort);
            } else {
                EXPECT_EQ(lines, Lines{});
                EXPECT_EQ(outcome.damage.kind, DamageKind::None);
            }
            request.readWarnings = false;
            EXPECT_EQ(RunImport(request).trace, outcome.trace);
        }
    }
}

// A conversion, through the converter's build, takes its warnings from its
// own import: the same lines as a read that only checks (and none for the
// host's point numbers, which the output does not have).
TEST(ReadWarnings, AConversionTellsThemFromItsImport) {
    LinkedModule linked;
    LinkedWideModule wide;
    ASSERT_TRUE(linked.started && wide.started) << linked.error << wide.error;
    const std::string model = WithLine(16, "0,5") + "PALC0\n1\n";
    ImportRequest request;
    request.module = &linked.module;
    request.converter = &wide.module;
    request.modelName = "m.rk4";
    request.modelBytes = model;
    request.format = ExportFormat::Obj;
    request.readWarnings = true;
    request.salvage = true; // cut inside the palette
    const ImportOutcome outcome = RunImport(request);
    ASSERT_EQ(outcome.result, ImportResult::Loaded) << outcome.reason;
    EXPECT_EQ(WarningLines(outcome.readWarnings, "m.rk4"), Warnings(model));
    EXPECT_EQ(outcome.readWarnings.Total(), 2u);
}

TEST(ReadWarnings, WhatANonModelFileStartsWith) {
    const std::string model = Tetrahedron();
    EXPECT_EQ(DescribeNotModelFile("\xEF\xBB\xBF" + model),
              "it starts with a byte-order mark before \"ROKU4\" (as Notepad saves UTF-8): save "
              "it without one");
    EXPECT_EQ(DescribeNotModelFile("\r\n" + model),
              "its first line is blank: \"ROKU4\" must start the file");
    EXPECT_EQ(DescribeNotModelFile("  " + model),
              "it starts with white space before \"ROKU4\", which must start the file");
    EXPECT_EQ(DescribeNotModelFile("solid cube\nfacet normal 0 0 1\n"),
              "it starts with \"solid cube\", not \"ROKU4\"");
    EXPECT_EQ(DescribeNotModelFile(std::string("PK\x03\x04\0\0", 6)),
              "it holds binary data, not text starting with \"ROKU4\"");
    EXPECT_EQ(DescribeNotModelFile(""), "the file is empty");
    EXPECT_EQ(DescribeNotModelFile("\xFF\xFE"
                                   "R\0O\0"),
              "it is UTF-16 text: save it as ANSI or UTF-8 text starting with \"ROKU4\"");
    EXPECT_EQ(DescribeNotModelFile(std::string(128, '\0') + "roku4\n"),
              "after its 128-byte header, it starts with \"roku4\", not \"ROKU4\"");
}
