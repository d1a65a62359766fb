// FormFacesAndEdges, step by step. The lines' edges come first. Then each
// polygon is added as its face or as its simple loops. Edges are found in a
// table by their points. Each edge's sharpness is decided as faces arrive at
// it. The rules are in FacesAndEdges.h.
#include "geometry/FacesAndEdges.h"
#include "geometry/SmoothFan.h"

#include <algorithm>
#include <limits>
#include <set>
#include <span>
#include <unordered_map>

namespace {

constexpr int32_t kNoFace = -1;
constexpr size_t kMost = static_cast<size_t>(std::numeric_limits<int32_t>::max());

// The edges met so far, by their lower point. Each point's edges to higher
// points lie together. Their room is counted beforehand for every pair that can
// make an edge: the lines' points and the loops' neighbours. So a look-up scans
// a few entries near those of the points before it. A point with many edges,
// such as the apex of a fan of thousands, is looked up by key instead.
struct EdgeTable {
    static constexpr uint32_t kScanned = 32; // room up to which a point's edges are scanned
    std::vector<uint32_t> start;             // per point, then the end
    std::vector<uint32_t> used;              // per point
    std::vector<uint32_t> higher;            // per entry: the edge's other point
    std::vector<int32_t> ids;                // per entry
    std::unordered_map<uint64_t, int32_t> many;
};

struct Forming {
    const ReceivedModel& model;
    const std::vector<ExportSurface>& surfaces;
    const ShadingGeometry& geometry;
    bool rightHanded;
    FacesAndEdges& out;
    EdgeTable table;
    std::vector<int32_t> firstFace; // per edge; kNoFace while only lines use it
    std::vector<double> threshold;  // per surface: SmoothingThreshold
};

// Working memory reused from polygon to polygon.
struct Scratch {
    std::vector<uint32_t> order;       // a polygon's corners, in the order written
    std::vector<uint32_t> lastPolygon; // per point: the last polygon using it
    std::vector<int32_t> position;     // per point: its place in `stack`, or -1
    std::vector<uint32_t> stack;
    std::vector<std::vector<uint32_t>> pieces;
};

// The edge of points a and b. A new one is made with its points in the order
// met.
int32_t EdgeOf(Forming& f, uint32_t a, uint32_t b) {
    EdgeTable& t = f.table;
    const uint32_t low = std::min(a, b), high = std::max(a, b);
    const uint32_t first = t.start[low], room = t.start[size_t{low} + 1] - first;
    int32_t* found = nullptr;
    if (room <= EdgeTable::kScanned) {
        const uint32_t end = first + t.used[low];
        for (uint32_t k = first; k < end; ++k) {
            if (t.higher[k] == high)
                return t.ids[k];
        }
        t.higher[end] = high;
        found = &t.ids[end];
        ++t.used[low];
    } else {
        const auto [it, made] = t.many.try_emplace(uint64_t{low} << 32 | high, 0);
        if (!made)
            return it->second;
        found = &it->second;
    }
    const int32_t id = static_cast<int32_t>(f.firstFace.size());
    *found = id;
    f.out.edgePoints.push_back(static_cast<int32_t>(a));
    f.out.edgePoints.push_back(static_cast<int32_t>(b));
    f.out.edgeSharp.push_back(0);
    f.firstFace.push_back(kNoFace);
    return id;
}

// Room in the table for every pair of points that can make an edge. These are a
// line's two points, and each corner of a loop with the next. A loop cut into
// simple ones keeps only such pairs.
void MakeRoom(const ReceivedModel& model, EdgeTable& t) {
    t.start.assign(model.points.size() + 1, 0);
    const auto count = [&](uint32_t a, uint32_t b) {
        if (a != b)
            ++t.start[std::min(a, b)];
    };
    for (const ReceivedPolygon& polygon : model.polygons) {
        const std::span<const uint32_t> points = PointsOf(model, polygon);
        if (points.size() == 2)
            count(points[0], points[1]);
        for (size_t i = 0; points.size() >= 3 && i < points.size(); ++i)
            count(points[i], points[i + 1 == points.size() ? 0 : i + 1]);
    }
    uint32_t entries = 0;
    for (uint32_t& s : t.start) {
        const uint32_t room = s;
        s = entries;
        entries += room;
    }
    t.used.assign(model.points.size(), 0);
    t.higher.resize(entries);
    t.ids.resize(entries);
}

// Whether the host's shading breaks between polygons p and q at an edge they
// share. It breaks between two surfaces, and on one surface whose smoothing
// does not join them.
bool BreaksShading(const Forming& f, size_t p, size_t q) {
    if (p == q)
        return false;
    const size_t slot = SurfaceSlot(f.model.polygons[p].surface);
    if (slot != SurfaceSlot(f.model.polygons[q].surface))
        return true;
    const ShadingGeometry& g = f.geometry;
    if (!g.polygonSmooth[p] || !g.polygonSmooth[q])
        return false;
    return !(Dot(g.polygonNormal[p], g.polygonNormal[q]) >= f.threshold[slot]);
}

// The angle the threshold of `surface` stands for, in 0..pi.
double EffectiveAngle(const ExportSurface& surface) {
    const double threshold = SmoothingThreshold(surface);
    return std::isfinite(threshold) ? std::acos(std::clamp(threshold, -1.0, 1.0)) : 0.0;
}

// One face of polygon p, with its corners' edges and normals. The corners are
// `local[0..k)`: indices into the polygon's points, in the order written.
void AddFace(Forming& f, size_t p, const uint32_t* local, size_t k) {
    FacesAndEdges& out = f.out;
    const ReceivedPolygon& polygon = f.model.polygons[p];
    const std::span<const uint32_t> points = PointsOf(f.model, polygon);
    const size_t start = f.geometry.cornerStart[p];
    const int32_t face = static_cast<int32_t>(out.faceStart.size());
    const size_t slot = SurfaceSlot(polygon.surface);
    out.faceStart.push_back(static_cast<int32_t>(out.cornerPoint.size()));
    out.faceSize.push_back(static_cast<int32_t>(k));
    out.faceSurface.push_back(static_cast<int32_t>(slot));
    out.facePolygon.push_back(static_cast<int32_t>(p));
    const Normal3 first = f.geometry.cornerNormal[start + local[0]];
    bool same = true;
    for (size_t j = 0; j < k; ++j) {
        const Normal3 n = f.geometry.cornerNormal[start + local[j]];
        same = same && n.x == first.x && n.y == first.y && n.z == first.z;
        const Normal3 written = f.rightHanded ? RightHanded(n) : n;
        out.cornerNormal.insert(out.cornerNormal.end(), {written.x, written.y, written.z});
        const uint32_t a = points[local[j]];
        out.cornerPoint.push_back(static_cast<int32_t>(a));
        const int32_t edge = EdgeOf(f, a, points[local[j + 1 == k ? 0 : j + 1]]);
        out.cornerEdge.push_back(edge);
        int32_t& firstFace = f.firstFace[static_cast<size_t>(edge)];
        if (firstFace == kNoFace)
            firstFace = face;
        else if (BreaksShading(
                     f, static_cast<size_t>(out.facePolygon[static_cast<size_t>(firstFace)]), p))
            out.edgeSharp[static_cast<size_t>(edge)] = 1;
    }
    const bool flat = !f.geometry.polygonSmooth[p] || same;
    out.faceFlat.push_back(flat ? 1 : 0);
    if (!flat && out.smoothingAngle < 0)
        out.smoothingAngle = EffectiveAngle(f.surfaces[slot]);
}

// The loop `order` cut where a point comes again. `order` holds indices into
// `points`. Each piece closes at the repeat and starts at the point's earlier
// place.
void CutAtRepeats(std::span<const uint32_t> points, const std::vector<uint32_t>& order,
                  Scratch& s) {
    s.pieces.clear();
    s.stack.clear();
    for (size_t k = 0; k <= order.size(); ++k) {
        const uint32_t local = order[k % order.size()];
        const uint32_t v = points[local];
        if (s.position[v] >= 0) {
            const auto begin = s.stack.begin() + s.position[v];
            s.pieces.emplace_back(begin, s.stack.end());
            for (auto it = begin; it != s.stack.end(); ++it)
                s.position[points[*it]] = -1;
            s.stack.erase(begin, s.stack.end());
        }
        s.position[v] = static_cast<int32_t>(s.stack.size());
        s.stack.push_back(local);
    }
    for (uint32_t local : s.stack)
        s.position[points[local]] = -1;
}

// A simple loop's points from its lowest on: the same for every start.
std::vector<uint32_t> TurnedPoints(std::span<const uint32_t> points,
                                   const std::vector<uint32_t>& piece) {
    std::vector<uint32_t> turn;
    for (uint32_t local : piece)
        turn.push_back(points[local]);
    std::rotate(turn.begin(), std::min_element(turn.begin(), turn.end()), turn.end());
    return turn;
}

// Polygon p (three corners or more) as its face, or as its simple loops.
void AddPolygon(Forming& f, size_t p, Scratch& s) {
    const std::span<const uint32_t> points = PointsOf(f.model, f.model.polygons[p]);
    const size_t n = points.size();
    s.order.resize(n);
    bool repeats = false;
    for (size_t j = 0; j < n; ++j) {
        s.order[j] = static_cast<uint32_t>(f.rightHanded ? ReversedCorner(j, n) : j);
        uint32_t& last = s.lastPolygon[points[j]];
        repeats = repeats || last == p;
        last = static_cast<uint32_t>(p);
    }
    if (!repeats) {
        AddFace(f, p, s.order.data(), n);
        return;
    }
    if (s.position.empty())
        s.position.assign(f.model.points.size(), -1);
    CutAtRepeats(points, s.order, s);
    std::set<std::vector<uint32_t>> met;
    ++f.out.splitPolygons;
    for (const std::vector<uint32_t>& piece : s.pieces) {
        if (piece.size() >= 3 && met.insert(TurnedPoints(points, piece)).second) {
            AddFace(f, p, piece.data(), piece.size());
            ++f.out.splitFaces;
        }
    }
}

} // namespace

bool FormFacesAndEdges(const ReceivedModel& model, const std::vector<ExportSurface>& surfaces,
                       const ShadingGeometry& geometry, Handedness handedness, FacesAndEdges& out,
                       std::string& error) {
    out = FacesAndEdges{};
    size_t lines = 0;
    for (const ReceivedPolygon& polygon : model.polygons)
        lines += polygon.cornerCount == 2;
    const size_t corners = geometry.cornerStart.empty() ? 0 : geometry.cornerStart.back();
    if (model.points.size() > kMost || corners > kMost - lines) {
        error = "the object has more points or corners than 32-bit numbers count";
        return false;
    }
    Forming f{model, surfaces, geometry, handedness == Handedness::RightHanded, out, {}, {}, {}};
    for (const ExportSurface& surface : surfaces)
        f.threshold.push_back(SmoothingThreshold(surface));
    MakeRoom(model, f.table);
    out.faceStart.reserve(model.polygons.size());
    out.edgePoints.reserve(corners + 2 * lines);
    out.edgeSharp.reserve(corners / 2 + lines);
    f.firstFace.reserve(corners / 2 + lines);
    out.cornerPoint.reserve(corners);
    out.cornerEdge.reserve(corners);
    out.cornerNormal.reserve(3 * corners);
    for (const ReceivedPolygon& polygon : model.polygons) {
        const std::span<const uint32_t> points = PointsOf(model, polygon);
        if (points.size() == 2 && points[0] != points[1])
            EdgeOf(f, points[0], points[1]);
    }
    Scratch s;
    s.lastPolygon.assign(model.points.size(), UINT32_MAX);
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        if (model.polygons[p].cornerCount >= 3)
            AddPolygon(f, p, s);
    }
    return true;
}
