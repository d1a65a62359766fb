// How the warnings and the damaged verdict write what a notice told: a
// line's text, a section's name, a count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A line's text for a message, quoted, as UTF-8. It is kept where it is
// UTF-8, else read as Shift-JIS, the model files' own text (the same on
// every system). At most 40 bytes of it are shown. A tab shows as "\t":
// between two numbers it is the likeliest thing in such a line, and would
// look like a space. Other control characters show as "?".
std::string QuotedLine(std::string_view line);

// A section by its number (a ReadSection): "the point section", "a palette
// section", "the header".
std::string SectionWords(int32_t section);

// A count with its thousands set apart by commas: 5,862.
std::string Thousands(uint64_t n);
