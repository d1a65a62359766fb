// The options panel shown in the terminal (--interactive): the title, the
// text controls' lines, every control with its label (Shift-JIS converted to
// UTF-8) and its current value (numbers as PlainNumberText writes them, the
// name field by the rule for names), then a line-based prompt. Installed as
// the panel services' handler (OpenTerminalPanel).
//
// Commands (one per line; case-insensitive keywords):
//   N VALUE          set menu entry N (the numbers shown before the controls)
//   load lines|faces|both     colour bright|middle|dark     scale X
//   name TEXT        (the rest of the line, bytes as typed)
//   smooth on|off    angle DEGREES    double on|off   (also "double-sided")
//   A choice also takes its item number counted from 0 or the item text.
//   show             show the panel again (an empty line does too)
//   help | ?         list the commands
//   ok               close the panel, confirming
//   cancel           close the panel, cancelling (also "quit", "exit")
// End of input closes the panel: confirming, or cancelling when `eofCancels`.
#pragma once

#include "standin/PanelModel.h"

#include <cstdint>
#include <cstdio>

// Shows the panel on `out`, reads commands from `in`; returns 1 (ok) or 0 (cancel).
int32_t RunTerminalPanel(PanelModel& panel, std::FILE* in, std::FILE* out, bool eofCancels);

// The streams the terminal panel uses, as the handler's context.
struct TerminalStreams {
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
};

// The panel handler (PanelServices.h) for the terminal: `context` is a
// TerminalStreams; end of input cancels when the host's answer would have
// been to cancel.
int32_t OpenTerminalPanel(void* context, PanelModel& panel, int32_t proposed);
