// The engine's words for a caller's messages, so that a front end in another
// language says why a choice was refused without restating what the engine
// takes: the values of each edit (the panel's rules) and the names of the
// output formats.
#include "engine/ostrel.h"

#include "engine/Import.h"
#include "standin/PanelRules.h"

#include <exception>
#include <string>

extern "C" {

const char* ostrel_edit_takes(int edit) {
    return edit >= 0 && edit < engine::kEdits ? ChoiceNumberTakes(engine::kRoleOfEdit[edit]) : "";
}

unsigned ostrel_system_code_page(void) {
    return SystemCodePage();
}

const char* ostrel_empty_model(void) {
    return kModelMagic;
}

const char* ostrel_format_names(void) try {
    static const std::string names = FormatNames(", ", " or ");
    return names.c_str();
} catch (const std::exception&) {
    return ""; // no memory for the text; the next call tries again
}

} // extern "C"
