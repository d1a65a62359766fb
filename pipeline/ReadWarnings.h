// What the plug-in's reader left out of a model file or read as something
// else, told to the user: the reader itself runs a second time on the same
// bytes with an observer (the module never sets one), so the warnings cannot
// disagree with what the host received. And, for a file that is not a model
// file, what it starts with instead.
#pragma once

#include "model/Model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Of each kind, the first few are kept with their line; the rest are counted.
constexpr size_t kWarningsKeptPerKind = 3;

struct ReadWarning {
    ReadNotice kind;
    int64_t line; // 1-based line of the file (line ends CR, LF, CR LF, LF CR)
    std::string reason;
};

struct ReadWarnings {
    std::vector<ReadWarning> kept; // in file order
    std::array<size_t, kReadNoticeKinds> counts{};
    size_t Total() const;
};

// Reads `bytes` as the plug-in does, with an observer. `widePoints`: the
// object goes out through the converter's build, which sends every face,
// so no face is told of for the host's 16-bit point numbers. Throws
// std::bad_alloc when memory runs out.
ReadWarnings CollectReadWarnings(std::string_view bytes, bool widePoints = false);
// The same for the file at `path`, read in blocks as the plug-in reads it,
// never held whole. False, leaving `warnings` as they were, when it cannot be
// opened or read.
bool CollectReadWarningsFromFile(const std::string& path, ReadWarnings& warnings,
                                 bool widePoints = false);

// The lines a front end shows, without a prefix: "NAME:LINE: REASON" for
// each kept warning, then per kind with more "NAME: and N more like that
// (WHAT)".
std::vector<std::string> WarningLines(const ReadWarnings& warnings, const std::string& name);

// What a file that is not a model file starts with instead of "ROKU4":
// "it starts with a byte-order mark ...", "its first line is blank ...".
std::string DescribeNotModelFile(std::string_view bytes);
