// What the plug-in's reader left out of a model file or read as something
// else, in words for the user. The reader tells each notice with its line,
// the line's text and what it read (model/Model.h), so the words need
// neither the tables nor the file: they cannot disagree with what the host
// received. The notices come from the import itself where it runs through
// the converter's build (a NoticeCollector as its observer), or from a read
// that only checks (CheckModelFile) beside an import through the host's
// module, which takes no observer. And, for a file that is not a model
// file, what it starts with instead.
#pragma once

#include "model/Model.h"
#include "pipeline/Damage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Of each kind, the first few are kept with their line; the rest are counted.
constexpr size_t kWarningsKeptPerKind = 3;

// The notices of one read: the first few of each kind with their text, and
// how many there were. Its observer allocates nothing and never throws, so
// that it may listen to the plug-in's own reading.
struct NoticeCollector {
    struct Kept {
        ReadNotice notice; // its text is `text`, held here
        std::array<char, kLineLimit> text;
    };
    std::array<Kept, kWarningsKeptPerKind * kReadNoticeKinds> kept;
    size_t keptCount = 0; // in the order told
    std::array<size_t, kReadNoticeKinds> counts{};
    // Numbers written with a decimal comma are told once, as one warning,
    // and not among those with more than a number.
    size_t decimalCommas = 0;
    Kept firstDecimalComma{};
    DamageTally damage; // what the notices say of the file's structure
};

// An observer filling `collector`. `widePoints`: the object goes out through
// the converter's build, which sends every face, so no face is told of for
// the host's 16-bit point numbers.
ReadObserver CollectorObserver(NoticeCollector& collector, bool widePoints);

struct ReadWarning {
    ReadNoticeKind kind;
    int64_t line; // 1-based line of the file, as the reader counts them
    std::string reason;
};

struct ReadWarnings {
    std::vector<ReadWarning> kept; // in file order
    std::array<size_t, kReadNoticeKinds> counts{};
    size_t decimalCommas = 0;
    ReadWarning firstDecimalComma{}; // when decimalCommas
    // Empty when the model was read for its warnings; otherwise why not.
    std::string notRead;
    // Whether the file is damaged, and why (Damage.h).
    Damage damage;
    size_t Total() const;
};

// The collected notices in words.
ReadWarnings WordedWarnings(const NoticeCollector& collector);

// Reads `bytes` as the plug-in does, checking only, with a collector.
// Throws std::bad_alloc when memory runs out.
ReadWarnings CollectReadWarnings(std::string_view bytes, bool widePoints = false);
// The same for the file at `path`, read in blocks as the plug-in reads it,
// never held whole. When it cannot be opened or read, `notRead` says so.
ReadWarnings CollectReadWarningsFromFile(const std::string& path, bool widePoints = false);

// The lines a front end shows, without a prefix: "NAME:LINE: REASON" for
// each kept warning, then per kind with more "NAME: and N more like that
// (WHAT)"; or the line saying why the model was not read for them.
std::vector<std::string> WarningLines(const ReadWarnings& warnings, const std::string& name);

// DescribeNotModelFile looks at no more than this many of a file's first
// bytes: a header, then enough to tell text from binary data and to show
// the first line (a longer first line is judged by its start).
constexpr size_t kDescribedBytes = kModelHeaderSize + 512;

// What a file that is not a model file starts with instead of the magic:
// "it starts with a byte-order mark ...", "its first line is blank ...",
// from its first bytes (all of them, or at least kDescribedBytes).
std::string DescribeNotModelFile(std::string_view bytes);
