// The one line per model file that `ostrel` prints: after a conversion,
// after --check, or after an import only.
#pragma once

#include "cli/OutputPlan.h"
#include "pipeline/Pipeline.h"

#include <cstddef>
#include <string>

// "8 points, 6 polygons, 3 surfaces"; the dropped polygons are named after
// the polygons when there are any.
std::string CountsText(const ReceivedCounts& counts);

// "MODEL -> OUT: <counts>", then what a reader of the output should know:
// that it holds no polygon (other programs show nothing), and where the
// material library went when its name differs from the OBJ's.
std::string ConvertedLine(const std::string& model, const OutputPlan& plan,
                          const ReceivedCounts& counts);

// "MODEL: statistics "..."; <counts> received; ok" (or the failure, or
// "damaged: CAUSE").
std::string CheckLine(const std::string& model, const ImportOutcome& outcome);

// What follows the status line of a damaged file written as read:
// "; damaged: CAUSE (written as read, --salvage)"; "" for a sound one.
std::string SalvagedText(const ImportOutcome& outcome);

// "MODEL: <counts> received".
std::string ReceivedLine(const std::string& model, const ReceivedCounts& counts);

// The last line of a batch: "3 model files: 2 converted, 1 failed, 1 with
// warnings" ("checked" with --check, "imported" without an output). Damaged
// files are counted apart, and named only when there are any: "3 model
// files: 1 converted, 2 damaged, 0 failed, 0 with warnings".
std::string BatchLine(const HostOptions& options, size_t total, size_t failed, size_t damaged,
                      size_t warned);
