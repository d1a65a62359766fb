// The exit status of `ostrel`: one name per use, the numbers as documented
// in the README and --help:
//   0 loaded, 1 not a model file, 2 cannot open or read, 3 cancelled,
//   4 refused by the plug-in or module unusable,
//   5 the host refused what the plug-in handed over,
//   6 the output was not written, 7 warnings with --strict,
//   8 nothing to import, 9 damaged, 64 usage error.
#pragma once

#include "pipeline/Pipeline.h"

#include <cstddef>

constexpr int kExitLoaded = 0;
constexpr int kExitNotModelFile = 1;
constexpr int kExitCannotReadModel = 2;
// The trace, or standard output, could not be written: the status of a file
// that cannot be opened, as it has always been documented.
constexpr int kExitTraceNotWritten = 2;
constexpr int kExitStdoutNotWritten = 2;
constexpr int kExitCancelled = 3;
constexpr int kExitPluginRefused = 4;
constexpr int kExitModuleUnusable = 4;
constexpr int kExitHostFailed = 4; // something unforeseen went wrong in ostrel itself
constexpr int kExitHostRefused = 5;
constexpr int kExitOutputNotWritten = 6;
// With --strict, the plug-in's reader left something out or read it as
// something else.
constexpr int kExitWarned = 7;
// The model held nothing that reached the host: no point, so no polygon.
constexpr int kExitNothingImported = 8;
// The model file is damaged (pipeline/Damage.h): written only with
// --salvage, and even then this status.
constexpr int kExitDamaged = 9;
constexpr int kExitUsage = 64;

// The status of each import result, in the order ImportResult lists them.
inline int ExitCodeFor(ImportResult result) {
    constexpr int kByResult[] = {kExitLoaded,           kExitNotModelFile,    kExitCannotReadModel,
                                 kExitCancelled,        kExitPluginRefused,   kExitHostRefused,
                                 kExitOutputNotWritten, kExitNothingImported, kExitDamaged};
    static_assert(sizeof kByResult / sizeof kByResult[0] ==
                  static_cast<size_t>(ImportResult::Damaged) + 1);
    return kByResult[static_cast<size_t>(result)];
}
