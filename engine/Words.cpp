// The engine's words for a caller's messages, so that a front end in another
// language says why a choice was refused without restating what the engine
// takes: the values of each edit and the names of the output formats.
#include "engine/ostrel.h"

#include "pipeline/Pipeline.h" // and through it the format table

#include <exception>
#include <string>

namespace {

// As ostrel_request_edit_number and _text judge them, edit by edit.
const char* const kEditTakes[] = {"0 (lines only), 1 (faces only) or 2 (both)",
                                  "0 (bright), 1 (middle) or 2 (dark)",
                                  "a finite number",
                                  "text",
                                  "1 (on) or 0 (off)",
                                  "a finite number of degrees",
                                  "1 (on) or 0 (off)"};
static_assert(sizeof kEditTakes / sizeof kEditTakes[0] == OSTREL_EDIT_DOUBLE_SIDED + 1);

} // namespace

extern "C" {

const char* ostrel_edit_takes(int edit) {
    return edit >= OSTREL_EDIT_LOAD && edit <= OSTREL_EDIT_DOUBLE_SIDED ? kEditTakes[edit] : "";
}

const char* ostrel_format_names(void) try {
    static const std::string names = FormatNames(", ", " or ");
    return names.c_str();
} catch (const std::exception&) {
    return ""; // no memory for the text; the next call tries again
}

} // extern "C"
