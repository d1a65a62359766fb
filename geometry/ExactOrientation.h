// Orientation tests that are exact, for the sweep (TriangulateSweep.cpp). A
// fast estimate with an error bound comes first. Where it cannot decide, exact
// sums of exact products do. So no rounding can make the sweep inconsistent.
// The tests are exact for coordinates in the range InExactRange accepts. There,
// no product or error term overflows or underflows.
#pragma once

#include <cmath>

// a + b as the rounded sum and its exact error.
inline void TwoSum(double a, double b, double& sum, double& error) {
    sum = a + b;
    const double bVirtual = sum - a;
    const double aVirtual = sum - bVirtual;
    error = (a - aVirtual) + (b - bVirtual);
}

// a * b as the rounded product and its exact error, by Dekker's splitting. It
// is exact while no intermediate overflows or underflows. The range check on
// the coordinates guarantees that.
inline void TwoProduct(double a, double b, double& product, double& error) {
    constexpr double kSplitter = 134217729.0; // 2^27 + 1
    product = a * b;
    const double ca = kSplitter * a;
    const double aHigh = ca - (ca - a);
    const double aLow = a - aHigh;
    const double cb = kSplitter * b;
    const double bHigh = cb - (cb - b);
    const double bLow = b - bHigh;
    error = aLow * bLow - (((product - aHigh * bHigh) - aLow * bHigh) - aHigh * bLow);
}

// The sign of (a - c) x (b - c): positive when a, b, c turn
// counter-clockwise, negative clockwise, zero when they lie on one line.
inline int Orient(double ax, double ay, double bx, double by, double cx, double cy) {
    const double left = (ax - cx) * (by - cy);
    const double right = (ay - cy) * (bx - cx);
    const double estimate = left - right;
    // The estimate's error stays below this bound (differences, products and
    // their difference each rounded once).
    const double bound = 3.3306690738754716e-16 * (std::fabs(left) + std::fabs(right));
    if (estimate > bound) {
        return 1;
    }
    if (-estimate > bound) {
        return -1;
    }
    // Exactly, the value is ax by - ax cy - cx by - ay bx + ay cx + cy bx. It
    // is a sum of twelve exact parts, grown into a non-overlapping expansion.
    // The expansion's sign is that of its largest component.
    const double factors[6][2] = {{ax, by}, {-ax, cy}, {-cx, by}, {-ay, bx}, {ay, cx}, {cy, bx}};
    double expansion[12];
    int length = 0;
    auto grow = [&](double value) {
        double q = value;
        for (int i = 0; i < length; ++i) {
            double sum, error;
            TwoSum(q, expansion[i], sum, error);
            expansion[i] = error;
            q = sum;
        }
        expansion[length++] = q;
    };
    for (const auto& f : factors) {
        double product, error;
        TwoProduct(f[0], f[1], product, error);
        grow(error);
        grow(product);
    }
    for (int i = length - 1; i >= 0; --i) {
        if (expansion[i] != 0) {
            return expansion[i] > 0 ? 1 : -1;
        }
    }
    return 0;
}

// Whether every coordinate keeps the exact tests exact.
inline bool InExactRange(double v) {
    const double a = std::fabs(v);
    return a == 0 || (a >= 0x1p-400 && a <= 0x1p400);
}
