// The rulebook every front end answers by (the command line and its
// terminal panel, the engine and through it the Python package and the
// Blender add-on, the page through its binding): which values the user may
// give the plug-in's panel controls and the one line saying why one is
// refused; what each control means in English; which files of a folder are
// model files. A front end hands the user's text, or a number, to these and
// shows what comes back; it restates none of it.
#pragma once

#include "standin/PanelEdits.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The most bytes a surface base name may hold: the plug-in keeps it in 255
// bytes and a NUL, and would cut a longer one without a word.
constexpr size_t kNameMostBytes = 255;
// The smoothing angle, in degrees: faces meeting at less than it shade
// smoothly, so below 0 smooths nothing and above 180 nothing more.
constexpr double kAngleLeast = 0;
constexpr double kAngleMost = 180;

// What `role` takes, for messages: "lines, faces or both", "a number above
// 0: ...".
const char* ChoiceTakes(PanelRole role);
// ... and as a number: "0 (lines only), 1 (faces only) or 2 (both)".
const char* ChoiceNumberTakes(PanelRole role);

// Reads `text` as the user's value for `role` into `edits`: a choice by its
// item's word (any case), a switch by on/off (and the words ParseOnOff
// takes), the scale and the angle as numbers, the name as its bytes. Returns
// "" when taken, else the one line saying why not, naming the option
// `subject` as the front end names it ("--scale", "scale"):
//     --scale: bad value '0' (expected a number above 0: ...)
//     --scale: bad value '1,5' (a decimal comma: write the number with a point, --scale 1.5)
// `edits` is left alone when the value is refused.
std::string TakeChoiceText(PanelRole role, const std::string& text, const std::string& subject,
                           PanelEdits& edits);
// The same for a value given as a number: a choice by its item number, a
// switch by 1 or 0; the name takes no number.
std::string TakeChoiceNumber(PanelRole role, double value, const std::string& subject,
                             PanelEdits& edits);

// What a control means, in English, beside the plug-in's Japanese: a
// role's label ("Load"), a choice's items ("lines only"), a note's lines;
// nothing for what the plug-in writes in English already.
struct ControlEnglish {
    std::string label;              // "" none
    std::vector<std::string> lines; // one per line or item; "" none
};
ControlEnglish EnglishOf(PanelModel& panel, const ControlModel& control);

// The model files among the files of a folder: those directly in it (a
// name without a '/': "sub/a.rk4" is in a sub-folder) whose extension is
// .rk4 in any case, sorted by name without case, then by bytes, the same
// order on every system whatever order the folder lists them in. Returns
// their indices into `names`.
std::vector<size_t> FolderModelFiles(const std::vector<std::string>& names);
bool IsModelFileName(const std::string& name);
