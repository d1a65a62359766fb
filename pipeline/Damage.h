// Whether a model file is damaged: where the reader lost the file's
// structure, and why, in one line.
//
// The plug-in reads on whatever the file holds, and the host gets what it
// reads. That does not make the file sound. A file is damaged where:
// - it ends inside a section (a download or copy cut short);
// - a section keyword is spelt with blanks or tabs around it, or in lower
//   case, so that the reader does not see it and one section runs into the
//   next;
// - a section keyword stands where a number belongs, so that the section's
//   records are out of step (a long line split in two, a line taken out);
// - most records of a section hold numbers the reader cannot read (decimal
//   commas, text);
// - more than a few faces, lines or line-list entries name records the file
//   does not hold.
// What the reader sets right on its own stays a warning: a number with more
// after it here and there, a long line, a face that does not close.
//
// The verdict comes from the reader's notices alone (model/Model.h), as the
// warnings do. The tally keeps what the verdict needs while the notices
// come. It has a fixed size and never throws, so it may listen to the
// plug-in's own reading.
#pragma once

#include "model/Model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// ---- The thresholds, all in one place ----------------------------------

// A section's numbers are mostly unreadable when more than this share of
// its integer fields, or of its real ones, hold no number, or more after it.
constexpr double kMostlyUnreadable = 0.5;
// Records that name records the file does not hold are more than a few when
// there are more than this many in a section ...
constexpr int64_t kFewBadReferences = 5;
// ... and more than this share of the section's records.
constexpr double kBadReferenceShare = 0.01;

// ---- The verdict --------------------------------------------------------

enum class DamageKind {
    None,
    CutShort,        // the file ends inside a section
    MisspeltKeyword, // a keyword with blanks, tabs or small letters
    OutOfStep,       // a keyword where a number belongs
    Unreadable,      // a section's numbers mostly unreadable
    BadReferences,   // records naming records the file does not hold
};

struct Damage {
    DamageKind kind = DamageKind::None;
    int64_t line = 0;  // where the structure was lost, 1-based
    std::string cause; // one line: what is wrong, and the way out where there is one
};

// A line of the file as a notice told it, kept with its text.
struct KeptLine {
    int64_t line = 0; // 0: none kept
    int32_t section = -1;
    int32_t size = 0;
    std::array<char, kLineLimit> text{};
};

// What one finding needs besides its kind, line and section.
struct DamageFinding {
    DamageKind kind = DamageKind::None;
    KeptLine where;
    int64_t count = 0; // records or fields found wrong
    int64_t of = 0;    // ... of the section's
    int32_t length = 0;
    bool decimalCommas = false;
};

// What the notices of one read say of the file's structure, as they come.
struct DamageTally {
    // The findings so far: the earliest stands for the file.
    DamageFinding earliest;
    // The section now being read: its notices come before its SectionRead.
    KeptLine firstUnreadable; // its first number field read wrong
    bool unreadableCommas = false;
    int64_t unreadableIntegers = 0;
    int64_t unreadableReals = 0;
    KeptLine firstBadReference;
    int64_t badReferences = 0;
    KeptLine longLine; // its first long line
    int32_t longLineLength = 0;
    // Findings of the section now being read, placed when it ends.
    DamageFinding pending;
};

// Takes one notice into the tally.
void TallyDamage(DamageTally& tally, const ReadNotice& notice);

// The verdict of a whole read.
Damage DamageOf(const DamageTally& tally);

// Whether a number field's text is a number written with a decimal comma,
// as "-0,164062": digits, one comma, digits, maybe a sign before.
bool IsDecimalCommaNumber(const char* text, size_t size);

// What is wrong with a keyword's spelling, and what to do:
// "has a trailing blank: remove it", "is in small letters: write it as "END00"".
std::string MisspellingOf(const char* text, size_t size, const char* keyword);
