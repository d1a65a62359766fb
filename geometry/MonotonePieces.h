// The pieces a sweep's diagonals cut a simple loop into, each monotone along
// the sweep, cut into triangles, for TriangulateSimplePolygon.
#pragma once

#include "geometry/Sweep.h"

#include <cstdint>
#include <vector>

// Appends the triangles of every piece of the loop `s` has swept (s.Run
// done, not broken), three corner numbers each, counter-clockwise as `s`
// walks the loop; `topCorner` is its first corner in the sweep. False when
// a piece does not close or cut as the pieces of a simple loop do.
bool CutMonotonePieces(const Sweep& s, uint32_t topCorner, std::vector<uint32_t>& triangles);
