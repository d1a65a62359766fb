// Triangles of a simple polygon in O(n log n), for TriangulateLoop
// (TriangulateEar.cpp). TriangulateLoop projects the loop, and falls back to
// ear clipping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Cuts the polygon of corners (x[i], y[i]), i < n, into n - 2 triangles, for
// n >= 3. Appends them to `triangles`, three corner numbers each, turning the
// way the loop does.
// Returns false, appending nothing, when the loop is not simple. Two corners
// may lie at one place, or edges may cross, touch or run along each other. It
// also returns false for coordinates beyond the range where the orientation
// tests are exact. Such a coordinate is not finite, or it is not zero and of
// magnitude above 2^400 or below 2^-400.
// Every orientation test is exact, so the answer depends on the coordinates
// alone. A loop found simple is cut exactly: the triangles cover it once.
bool TriangulateSimplePolygon(const double* x, const double* y, size_t n,
                              std::vector<uint32_t>& triangles);
