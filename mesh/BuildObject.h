// The object's build, for either width of point numbers: the bodies behind
// ChainFaceLines, OrientFace and BuildObjectWith (Mesh.h). Private to mesh/:
// BuildObject.cpp makes them for the host's 16-bit point numbers,
// BuildWide.cpp for the converter's 32-bit ones, so that each width is an
// object file of its own and the module, whose entry names only the former,
// links nothing of the latter. All of it is internal to the file that
// includes it (an unnamed namespace), as it would be were it written there.
#pragma once

#include "mesh/Mesh.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <type_traits>
#include <vector>

namespace {

// Below this many lines the plain scan of the line list is cheaper than
// indexing the face's points.
constexpr int32_t kIndexedChainMinLines = 16;

const LineRecord& LineAt(const ModelTables& t, const int32_t* refs, int32_t pos) {
    return t.lines[static_cast<size_t>(refs[pos])];
}

// The first position other than `current` whose line has `point` as an end,
// and whether that line is then run forwards (its pointA is the point).
int32_t FindNextPlain(const ModelTables& t, const int32_t* refs, int32_t count, int32_t current,
                      int32_t point) {
    for (int32_t p = 0; p < count; ++p) {
        if (p == current) {
            continue;
        }
        const LineRecord& l = LineAt(t, refs, p);
        if (l.pointA == point || l.pointB == point) {
            return p;
        }
    }
    return -1;
}

void IndexFacePoints(const ModelTables& t, const int32_t* refs, int32_t count, ChainScratch& s) {
    auto note = [&](int32_t point, int32_t pos) {
        int32_t& first = s.firstPos[static_cast<size_t>(point)];
        int32_t& second = s.secondPos[static_cast<size_t>(point)];
        if (first < 0) {
            first = pos;
        } else if (first != pos && second < 0) {
            second = pos;
        }
    };
    for (int32_t p = 0; p < count; ++p) {
        const LineRecord& l = LineAt(t, refs, p);
        note(l.pointA, p);
        note(l.pointB, p);
    }
}

void ClearFacePoints(const ModelTables& t, const int32_t* refs, int32_t count, ChainScratch& s) {
    for (int32_t p = 0; p < count; ++p) {
        const LineRecord& l = LineAt(t, refs, p);
        s.firstPos[static_cast<size_t>(l.pointA)] = s.secondPos[static_cast<size_t>(l.pointA)] = -1;
        s.firstPos[static_cast<size_t>(l.pointB)] = s.secondPos[static_cast<size_t>(l.pointB)] = -1;
    }
}

template <typename PointNumber>
bool ChainLoop(ModelTables& t, const FaceRecord& face, std::vector<PointNumber>& vertexList,
               ChainScratch& scratch) {
    const int32_t n = face.lineCount;
    const int32_t* refs = FaceLines(t, face);
    assert(n >= 2);

    int32_t current = 0;
    bool forwards = true;
    bool needsOrient = true;
    for (int32_t p = 0; p < n; ++p) {
        const LineRecord& l = LineAt(t, refs, p);
        if (l.faceUseCount == 2 && l.direction != 0) {
            // Run a shared line against the neighbour sent before.
            current = p;
            forwards = l.direction == 2;
            needsOrient = false;
            break;
        }
    }

    const bool indexed = n >= kIndexedChainMinLines;
    if (indexed) {
        IndexFacePoints(t, refs, n, scratch);
    }
    vertexList.clear();
    for (int32_t step = 0; step < n; ++step) {
        LineRecord& l = t.lines[static_cast<size_t>(refs[current])];
        int32_t farEnd;
        if (forwards) {
            vertexList.push_back(static_cast<PointNumber>(l.pointA - 1));
            farEnd = l.pointB;
            if (l.faceUseCount == 2) {
                l.direction = 1;
            }
        } else {
            vertexList.push_back(static_cast<PointNumber>(l.pointB - 1));
            farEnd = l.pointA;
            if (l.faceUseCount == 2) {
                l.direction = 2;
            }
        }
        int32_t next;
        if (indexed) {
            next = scratch.firstPos[static_cast<size_t>(farEnd)];
            if (next == current) {
                next = scratch.secondPos[static_cast<size_t>(farEnd)];
            }
        } else {
            next = FindNextPlain(t, refs, n, current, farEnd);
        }
        // The reader stores only faces that can close.
        assert(next >= 0);
        current = next;
        forwards = LineAt(t, refs, current).pointA == farEnd;
    }
    if (indexed) {
        ClearFacePoints(t, refs, n, scratch);
    }
    return needsOrient;
}

template <typename PointNumber>
void OrientLoop(ModelTables& t, const FaceRecord& face, std::vector<PointNumber>& vertexList) {
    assert(face.group >= 0 && !vertexList.empty());
    const FaceGroup& g = t.groups[static_cast<size_t>(face.group)];
    const auto point = [&](size_t j) -> const PointRecord& {
        return t.points[static_cast<size_t>(vertexList[j])];
    };
    const double count = static_cast<double>(g.sumCount);
    const PointRecord& p0 = point(0);
    const double rx = g.sumX / count - p0.x;
    const double ry = g.sumY / count - p0.y;
    const double rz = g.sumZ / count - p0.z;
    const double rLength = std::sqrt(ry * ry + rz * rz + rx * rx);
    const double ux = rx / rLength;
    const double uy = ry / rLength;
    const double uz = rz / rLength;

    double nx = 0.0;
    double ny = 0.0;
    double nz = 0.0;
    const size_t n = vertexList.size();
    for (size_t j = 0; j < n; ++j) {
        const PointRecord& p = point(j);
        const PointRecord& q = point((j + 1) % n);
        nx += (q.z + p.z) * (p.y - q.y);
        ny += (q.x + p.x) * (p.z - q.z);
        nz += (q.y + p.y) * (p.x - q.x);
    }
    const double nLength = std::sqrt(nx * nx + nz * nz + ny * ny);
    const double d = (nx / nLength) * ux + (nz / nLength) * uz + (ny / nLength) * uy;
    if (d >= 0.0) {
        return;
    }
    // Reverse, also for a d that is not a number (zero normal, or the first
    // vertex on the centroid).
    const int32_t* refs = FaceLines(t, face);
    for (int32_t i = 0; i < face.lineCount; ++i) {
        LineRecord& l = t.lines[static_cast<size_t>(refs[i])];
        if (l.faceUseCount == 2) {
            l.direction = l.direction == 2 ? 1 : 2;
        }
    }
    std::reverse(vertexList.begin(), vertexList.end());
}

// Marks the faces to send (the load target's, and only those whose points
// the sink can number: every one for 32-bit point numbers) and their colours
// in use. Returns the most lines any of them has.
int32_t ChooseFaces(const ModelTables& t, const BuildOptions& options, bool widePoints,
                    std::vector<unsigned char>& faceSent, ColourFlags& colourUsed) {
    const int32_t faceCount = FaceCount(t);
    const bool sendLines = options.loadTarget != 1;
    const bool sendFaces = options.loadTarget != 0;
    int32_t longestFace = 0;
    // The host names points in 16 bits; stored faces name only points of the
    // table, so a table that short makes every face reachable, as 32-bit
    // numbers make every face of any table.
    const bool allReachable = widePoints || PointCount(t) <= kMaxSendablePoint;
    for (int32_t i = 0; i < faceCount; ++i) {
        const FaceRecord& f = t.faces[static_cast<size_t>(i)];
        if (f.lineCount == 1 ? !sendLines : !sendFaces) {
            continue;
        }
        const int32_t* refs = FaceLines(t, f);
        bool reachable = true;
        for (int32_t j = 0; !allReachable && j < f.lineCount && reachable; ++j) {
            const LineRecord& l = LineAt(t, refs, j);
            reachable = l.pointA <= kMaxSendablePoint && l.pointB <= kMaxSendablePoint;
        }
        if (!reachable) {
            continue;
        }
        assert(f.colourIndex >= 0 && f.colourIndex < kColourCount);
        faceSent[static_cast<size_t>(i)] = 1;
        colourUsed[static_cast<size_t>(f.colourIndex)] = true;
        longestFace = std::max(longestFace, f.lineCount);
    }
    return longestFace;
}

template <typename PointNumber>
void AddPolygon(const ObjectSink& sink, int32_t n, int32_t surface, const PointNumber* points) {
    if constexpr (std::is_same_v<PointNumber, uint32_t>) {
        sink.addWidePolygon(sink.context, n, surface, points);
    } else {
        sink.addPolygon(sink.context, n, surface, points);
    }
}

template <typename PointNumber>
void BuildWith(ModelTables& t, const BuildOptions& options, const ObjectSink& sink) {
    constexpr bool kWide = sizeof(PointNumber) > sizeof(uint16_t);
    // Everything that allocates happens here, before the first sink call.
    const int32_t faceCount = FaceCount(t);
    std::vector<unsigned char> faceSent(static_cast<size_t>(faceCount), 0);
    ColourFlags colourUsed{};
    const int32_t longestFace = ChooseFaces(t, options, kWide, faceSent, colourUsed);
    SurfaceNames names;
    for (int32_t j = 0; j < kColourCount; ++j) {
        if (colourUsed[static_cast<size_t>(j)]) {
            names[static_cast<size_t>(j)] = SurfaceName(options.surfaceBaseName, j);
        }
    }
    std::vector<PointNumber> vertexList;
    vertexList.reserve(static_cast<size_t>(std::max(longestFace, 2)));
    ChainScratch scratch;
    if (longestFace >= kIndexedChainMinLines) {
        scratch.firstPos.assign(t.points.size() + 1, -1);
        scratch.secondPos.assign(t.points.size() + 1, -1);
    }

    sink.startObject(sink.context);
    sink.declarePointCount(sink.context, PointCount(t));
    for (const PointRecord& p : t.points) {
        const float xyz[3] = {
            static_cast<float>(p.x * options.scale),
            static_cast<float>(-(p.y * options.scale)),
            static_cast<float>(p.z * options.scale),
        };
        sink.addPoint(sink.context, xyz);
    }

    int32_t surfaceSlots[kColourCount];
    for (int32_t j = 0; j < kColourCount; ++j) {
        surfaceSlots[j] = -1;
        if (colourUsed[static_cast<size_t>(j)]) {
            surfaceSlots[j] =
                sink.lookupSurface(sink.context, names[static_cast<size_t>(j)].c_str());
        }
    }

    for (const int32_t faceIndex : t.faceOrder) {
        if (!faceSent[static_cast<size_t>(faceIndex)]) {
            continue;
        }
        const FaceRecord& f = t.faces[static_cast<size_t>(faceIndex)];
        // Only the low 16 bits of the surface value travel, sign-extended.
        const int32_t surface =
            static_cast<int16_t>(static_cast<uint16_t>(surfaceSlots[f.colourIndex] & 0xFFFF));
        vertexList.clear();
        if (f.lineCount == 1) {
            const LineRecord& l = LineAt(t, FaceLines(t, f), 0);
            vertexList.push_back(static_cast<PointNumber>(l.pointA - 1));
            vertexList.push_back(static_cast<PointNumber>(l.pointB - 1));
            AddPolygon(sink, 2, surface, vertexList.data());
        } else if (f.lineCount == 0) {
            AddPolygon(sink, 0, surface, vertexList.data());
        } else {
            if (ChainLoop(t, f, vertexList, scratch)) {
                OrientLoop(t, f, vertexList);
            }
            AddPolygon(sink, f.lineCount, surface, vertexList.data());
        }
    }

    SendSurfaceAttributes(t, colourUsed, names, options, sink);
}

} // namespace
