// Model text builders and a measured activation for the bounds tests.
#pragma once

#include "CountingHeap.h"
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadExample(const char* name) {
    std::ifstream in(std::string(OSTREL_EXAMPLES) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline const char* const kExamples[] = {"tetrahedron.rk4", "cube.rk4", "freelines.rk4"};

inline void AppendNumber(std::string& s, int64_t v) {
    s += std::to_string(v);
    s += '\n';
}

inline void AppendPoint(std::string& s, int64_t x, int64_t y, int64_t z) {
    s += "0\n0\n0\n0\n0\n";
    AppendNumber(s, x);
    AppendNumber(s, y);
    AppendNumber(s, z);
}

inline void AppendLine(std::string& s, int64_t a, int64_t b, int64_t value4 = 0) {
    AppendNumber(s, a);
    AppendNumber(s, b);
    s += "0\n";
    AppendNumber(s, value4);
}

// The three-point triangle every small case shares: points 1-3, lines 1-3.
inline std::string TriangleHead() {
    std::string s = "ROKU4 bounds\nPOINT\n";
    AppendPoint(s, 0, 0, 0);
    AppendPoint(s, 1, 0, 0);
    AppendPoint(s, 0, 1, 0);
    s += "LINE0\n";
    AppendLine(s, 1, 2);
    AppendLine(s, 2, 3);
    AppendLine(s, 3, 1);
    return s;
}

struct Measured {
    int32_t result = -1;
    size_t bytes = 0;    // input size S
    size_t peakHeap = 0; // plug-in heap above the level before the activation
    size_t leaked = 0;   // plug-in heap left after it
    double seconds = 0.0;
};

// The CPU time this thread has had: what an activation costs, whatever else
// the machine is running at the time (a wall clock counts the waits too).
inline double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One activation through `host` with the heap and the clock watched.
inline Measured MeasureActivation(RecordingHost& host, const std::string& text) {
    Measured m;
    m.bytes = text.size();
    const size_t before = HeapCurrent();
    HeapResetPeak();
    const double start = ThreadSeconds();
    m.result = RunActivation(host, text.data(), text.size());
    m.seconds = ThreadSeconds() - start;
    m.peakHeap = HeapPeak() - before;
    m.leaked = HeapCurrent() - before;
    return m;
}
