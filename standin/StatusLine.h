// The one line per model file that the stand-in host prints on success.
#pragma once

#include "standin/OutputPlan.h"

#include <cstddef>
#include <string>

// "1 point", "2 points", "0 points".
std::string CountOf(size_t count, const char* singular, const char* plural);

struct ReceivedCounts {
    size_t points = 0;
    size_t polygons = 0; // those with vertices
    size_t dropped = 0;  // those without, which no writer keeps
    size_t surfaces = 0;
};

// "8 points, 6 polygons, 3 surfaces"; the dropped polygons are named after
// the polygons when there are any.
std::string CountsText(const ReceivedCounts& counts);

// "MODEL -> OUT: <counts>", then what a reader of the output should know:
// that it holds no polygon (other programs show nothing), and where the
// material library went when its name differs from the OBJ's.
std::string ConvertedLine(const std::string& model, const OutputPlan& plan,
                          const ReceivedCounts& counts);
