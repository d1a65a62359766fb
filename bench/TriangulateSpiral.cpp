// triangulate-spiral: cuts one large polygon into triangles with the
// converter's TriangulateLoop alone, and checks the result: a band wound
// around its centre (simple, and hard for ear clipping), or with --scribble
// corners at random (not simple: the bounded fall-back). Prints the corners,
// the median and best thread CPU time over the runs, and for the band
// whether the triangles cover it exactly (their unsigned areas add up to
// the band's area, and each turns the band's way).
//
//   triangulate-spiral [--corners N] [--turns T] [--runs R] [--scribble]
#include "geometry/Shading.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numbers>
#include <random>
#include <vector>

namespace {

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Out along the outer edge, back along the inner one, as floats (as the
// host receives points), tilted out of the axis planes.
std::vector<Vec3> Band(size_t corners, double turns) {
    const size_t steps = corners / 2 - 1;
    std::vector<Vec3> loop;
    for (int side = 0; side < 2; ++side) {
        for (size_t s = 0; s <= steps; ++s) {
            const size_t k = side == 0 ? s : steps - s;
            const double a =
                2 * std::numbers::pi * turns * static_cast<double>(k) / static_cast<double>(steps);
            const double r = 1 + a + (side == 0 ? 1.0 : 0.5);
            const double x = r * std::cos(a), y = r * std::sin(a);
            loop.push_back(Vec3{static_cast<float>(x), static_cast<float>(0.3 * x + 0.2 * y),
                                static_cast<float>(y)});
        }
    }
    return loop;
}

std::vector<Vec3> Scribble(size_t corners) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> c(-100, 100);
    std::vector<Vec3> loop;
    for (size_t k = 0; k < corners; ++k) {
        loop.push_back(Vec3{c(random), c(random), 0.1 * c(random)});
    }
    return loop;
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
} // namespace

int main(int argc, char** argv) {
    size_t corners = 1000000;
    double turns = 20;
    int runs = 5;
    bool scribble = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--corners") == 0 && hasValue) {
            corners = std::strtoul(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--turns") == 0 && hasValue) {
            turns = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--runs") == 0 && hasValue) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--scribble") == 0) {
            scribble = true;
        } else {
            std::fputs("usage: triangulate-spiral [--corners N] [--turns T] [--runs R] "
                       "[--scribble]\n",
                       stderr);
            return 64;
        }
    }
    if (corners < 8 || corners % 2 != 0 || runs < 1) {
        std::fputs("triangulate-spiral: an even number of corners, at least 8\n", stderr);
        return 64;
    }
    const std::vector<Vec3> loop = scribble ? Scribble(corners) : Band(corners, turns);
    std::vector<double> seconds;
    std::vector<uint32_t> triangles;
    for (int run = 0; run < runs; ++run) {
        triangles.clear();
        const double start = ThreadSeconds();
        TriangulateLoop(loop.data(), loop.size(), triangles);
        seconds.push_back(ThreadSeconds() - start);
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    if (triangles.size() != 3 * (loop.size() - 2)) {
        std::printf("%zu corners: %zu triangles, expected %zu\n", loop.size(), triangles.size() / 3,
                    loop.size() - 2);
        return 1;
    }
    if (scribble) {
        std::printf("%zu corners, not simple: %.3f s median, %.3f s best (%d runs)\n", loop.size(),
                    median, seconds.front(), runs);
        return 0;
    }
    // Areas in the plane the loop is cut in (the corners, rounded to floats
    // after the tilt, are not quite flat): the plane of the two axes other
    // than the normal's largest, here Y.
    const Vec3 normal = NewellNormal(loop.data(), loop.size());
    const double area = std::fabs(normal.y) / 2;
    double sum = 0;
    size_t turnedBack = 0;
    for (size_t k = 0; k < triangles.size(); k += 3) {
        const Vec3 n = Cross(Sub(loop[triangles[k + 1]], loop[triangles[k]]),
                             Sub(loop[triangles[k + 2]], loop[triangles[k]]));
        sum += std::fabs(n.y) / 2;
        turnedBack += n.y * normal.y < 0 ? 1 : 0;
    }
    const bool exact = std::fabs(sum - area) <= 1e-9 * area && turnedBack == 0;
    std::printf("%zu corners, %g turns: %.3f s median, %.3f s best (%d runs); %s (triangles "
                "cover %.9f of the area)\n",
                loop.size(), turns, median, seconds.front(), runs, exact ? "exact" : "NOT EXACT",
                sum / area);
    return exact ? 0 : 1;
}
