// Triangles of a simple polygon in O(n log n), for TriangulateLoop
// (TriangulateEar.cpp), which projects the loop and falls back to ear clipping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Cuts the polygon of corners (x[i], y[i]), i < n (n >= 3), into n - 2
// triangles and appends them to `triangles`, three corner numbers each,
// turning the way the loop does. Returns false, appending nothing, when the
// loop is not simple: two corners at one place, edges that cross, touch or
// run along each other, or coordinates beyond the range where the
// orientation tests are exact (not finite, or of magnitude above 2^400 or
// below 2^-400 and not zero). Every orientation test is exact, so the
// answer depends on the coordinates alone, and a loop found simple is cut
// exactly: the triangles cover it once.
bool TriangulateSimplePolygon(const double* x, const double* y, size_t n,
                              std::vector<uint32_t>& triangles);
