#include "geometry/ClosedSolid.h"

#include "geometry/Shading.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <span>
#include <vector>

namespace {

// A coordinate's bits, with -0 made +0: equal places get equal keys.
uint32_t PlaceBits(float value) {
    const float sum = value + 0.0f;
    uint32_t bits;
    std::memcpy(&bits, &sum, sizeof bits);
    return bits;
}

// Each point's number of the first point at its place. A slicer reads an STL
// as triangles of places, so two points at one place join there.
std::vector<uint32_t> PlaceOfEachPoint(const ReceivedModel& model) {
    const size_t n = model.points.size();
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    const auto key = [&model](uint32_t i) {
        const ReceivedPoint& p = model.points[i];
        return std::array<uint32_t, 3>{PlaceBits(p.x), PlaceBits(p.y), PlaceBits(p.z)};
    };
    std::stable_sort(order.begin(), order.end(),
                     [&key](uint32_t a, uint32_t b) { return key(a) < key(b); });
    std::vector<uint32_t> place(n);
    for (size_t k = 0; k < n; ++k)
        place[order[k]] =
            k != 0 && key(order[k]) == key(order[k - 1]) ? place[order[k - 1]] : order[k];
    return place;
}

// A face has no area where its Newell normal is zero, as ComputeShading
// judges it.
bool EnclosesNoArea(const ReceivedModel& model, std::span<const uint32_t> points,
                    std::vector<Vec3>& loop) {
    loop.resize(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const ReceivedPoint& p = model.points[points[i]];
        loop[i] = Vec3{p.x, p.y, p.z};
    }
    const Vec3 n = NewellNormal(loop.data(), loop.size());
    return n.x == 0 && n.y == 0 && n.z == 0;
}

std::string Counted(size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

} // namespace

ClosedSolidCheck CheckClosedSolid(const ReceivedModel& model) {
    ClosedSolidCheck check;
    const std::vector<uint32_t> place = PlaceOfEachPoint(model);
    // Each edge as its two places, the lower first, once per face side.
    std::vector<uint64_t> edges;
    edges.reserve(model.corners.size());
    std::vector<Vec3> loop;
    for (const ReceivedPolygon& polygon : model.polygons) {
        const std::span<const uint32_t> points = PointsOf(model, polygon);
        const size_t n = points.size();
        check.lines += n == 2;
        check.points += n == 1;
        if (n < 3)
            continue;
        ++check.faces;
        check.noAreaFaces += EnclosesNoArea(model, points, loop);
        for (size_t i = 0; i < n; ++i) {
            const uint64_t a = place[points[i]], b = place[points[(i + 1) % n]];
            if (a != b)
                edges.push_back(a < b ? a << 32 | b : b << 32 | a);
        }
    }
    std::sort(edges.begin(), edges.end());
    for (size_t i = 0; i < edges.size();) {
        size_t j = i + 1;
        while (j < edges.size() && edges[j] == edges[i])
            ++j;
        check.openEdges += j - i == 1;
        check.overSharedEdges += j - i > 2;
        i = j;
    }
    return check;
}

std::string ClosedSolidLine(const ClosedSolidCheck& check) {
    std::string line;
    if (check.faces == 0) {
        line = "no faces: nothing to print";
    } else if (check.openEdges == 0 && check.overSharedEdges == 0) {
        line = "a closed solid: every edge joins two faces";
    } else {
        std::vector<std::string> faults;
        if (check.openEdges != 0)
            faults.push_back(Counted(check.openEdges, "open edge", "open edges") +
                             " (the shell is not closed: a slicer may fill it or print nothing "
                             "there)");
        if (check.overSharedEdges != 0)
            faults.push_back(Counted(check.overSharedEdges, "edge", "edges") +
                             " shared by more than two faces (no solid has such an edge: a "
                             "slicer may print a mess there)");
        line = "not a closed solid: ";
        for (size_t i = 0; i < faults.size(); ++i)
            line += (i == 0 ? "" : ", ") + faults[i];
    }
    // Flat pieces print as nothing, closed or not.
    if (check.noAreaFaces != 0)
        line +=
            "; " + Counted(check.noAreaFaces, "face", "faces") + " with no area (nothing to print)";
    if (check.lines != 0)
        line +=
            "; " + Counted(check.lines, "line", "lines") + " left out (the file holds faces only)";
    if (check.points != 0)
        line += "; " + Counted(check.points, "point", "points") +
                " left out (the file holds faces only)";
    return line;
}
