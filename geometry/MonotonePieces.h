// Triangles for TriangulateSimplePolygon, from the pieces a sweep's diagonals
// cut a simple loop into. Each piece is monotone along the sweep.
#pragma once

#include "geometry/Sweep.h"

#include <cstdint>
#include <vector>

// Appends the triangles of every piece of the loop `s` has swept. s.Run must be
// done, and `s` not broken. Each triangle is three corner numbers,
// counter-clockwise as `s` walks the loop. `topCorner` is the loop's first
// corner in the sweep. Returns false when a piece does not close, or does not
// cut as the pieces of a simple loop do.
bool CutMonotonePieces(const Sweep& s, uint32_t topCorner, std::vector<uint32_t>& triangles);
