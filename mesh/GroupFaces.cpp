#include "mesh/Mesh.h"

#include <cassert>
#include <vector>

// The grouping is a depth-first pre-order walk: placing a face adds it to the
// group and the sums, then follows each of its lines listed by exactly two
// faces, each face of such a line's list to completion in turn, then the
// lines listed by more than two faces the same way.
//
// Two changes keep it cheap without changing its result:
//  - the pending work lives on a heap stack (face, pass, position in the
//    face's line list), so one group of millions of faces needs no deep
//    call stack;
//  - every line keeps a cursor: the length of the leading part of its face
//    list that is known to be placed. A placed face stays placed, so a walk
//    along the list may start at the cursor, and whatever it passes moves the
//    cursor on. The recursive form would revisit those entries only to find
//    them placed. Each list entry is thus passed at most once overall, even
//    for a line listed by tens of thousands of faces. Short lists are simply
//    scanned from their start, which passes the same entries; the cursors
//    (one per line) are allocated only when the first long list is met, so
//    the usual model, whose lines are listed by two or three faces, needs no
//    memory for them.

namespace {

// Lists longer than this keep a cursor.
constexpr int32_t kCursorMinRefs = 8;

struct Frame {
    int32_t face;
    int32_t pass;     // 0: lines listed by exactly two faces; 1: by more
    int32_t linePos;  // next position in the face's line list
    int32_t lastPass; // 0 when no line of the face is listed by more than two
};

void Place(ModelTables& t, int32_t faceIndex, int32_t groupIndex, int32_t& cursor,
           std::vector<Frame>& stack) {
    FaceRecord& face = t.faces[static_cast<size_t>(faceIndex)];
    FaceGroup& group = t.groups[static_cast<size_t>(groupIndex)];
    face.group = groupIndex;
    t.faceOrder[static_cast<size_t>(cursor++)] = faceIndex;
    ++group.memberCount;
    const int32_t* refs = FaceLines(t, face);
    int32_t lastPass = 0;
    for (int32_t i = 0; i < face.lineCount; ++i) {
        const LineRecord& line = t.lines[static_cast<size_t>(refs[i])];
        lastPass = line.faceUseCount > 2 ? 1 : lastPass;
        if (line.faceUseCount > 0) {
            // Stored faces name only lines whose end points exist.
            assert(line.pointA >= 1 && line.pointA <= PointCount(t));
            assert(line.pointB >= 1 && line.pointB <= PointCount(t));
            const PointRecord& a = t.points[static_cast<size_t>(line.pointA - 1)];
            const PointRecord& b = t.points[static_cast<size_t>(line.pointB - 1)];
            group.sumX += b.x + a.x;
            group.sumY += b.y + a.y;
            group.sumZ += b.z + a.z;
            group.sumCount += 2;
        }
    }
    stack.push_back(Frame{faceIndex, 0, 0, lastPass});
}

} // namespace

void GroupFaces(ModelTables& t) {
    const int32_t faceCount = FaceCount(t);
    t.groups.clear();
    t.faceOrder.assign(static_cast<size_t>(faceCount), 0);
    std::vector<int32_t> lineCursor; // empty until a long list is met
    std::vector<Frame> stack;
    int32_t cursor = 0;

    for (int32_t start = 0; start < faceCount; ++start) {
        if (t.faces[static_cast<size_t>(start)].group != -1) {
            continue;
        }
        const int32_t groupIndex = static_cast<int32_t>(t.groups.size());
        t.groups.push_back(FaceGroup{0, cursor, 0.0, 0.0, 0.0, 0});
        Place(t, start, groupIndex, cursor, stack);

        while (!stack.empty()) {
            Frame& frame = stack.back();
            const FaceRecord& face = t.faces[static_cast<size_t>(frame.face)];
            const int32_t* refs = FaceLines(t, face);
            int32_t next = -1;
            while (frame.pass <= frame.lastPass && next < 0) {
                if (frame.linePos >= face.lineCount) {
                    ++frame.pass;
                    frame.linePos = 0;
                    continue;
                }
                const int32_t lineIndex = refs[frame.linePos];
                const LineRecord& line = t.lines[static_cast<size_t>(lineIndex)];
                const bool follow =
                    frame.pass == 0 ? line.faceUseCount == 2 : line.faceUseCount > 2;
                if (follow) {
                    const int32_t* faceRefs = LineFaces(t, line);
                    // A cursor of 0 is always right: nothing is skipped.
                    int32_t* lineCursorAt = nullptr;
                    int32_t pos = 0;
                    if (line.faceRefCount > kCursorMinRefs) {
                        if (lineCursor.empty()) {
                            lineCursor.assign(t.lines.size(), 0);
                        }
                        lineCursorAt = &lineCursor[static_cast<size_t>(lineIndex)];
                        pos = *lineCursorAt;
                    }
                    while (pos < line.faceRefCount) {
                        const int32_t candidate = faceRefs[pos++];
                        assert(candidate >= 0 && candidate < faceCount);
                        if (t.faces[static_cast<size_t>(candidate)].group == -1) {
                            next = candidate;
                            break;
                        }
                    }
                    if (lineCursorAt != nullptr) {
                        *lineCursorAt = pos;
                    }
                }
                if (next < 0) {
                    ++frame.linePos; // this line's list is exhausted
                }
            }
            if (next < 0) {
                stack.pop_back();
                continue;
            }
            // `frame` stays on this line: the rest of its list is taken after
            // the reached face's walk completes.
            Place(t, next, groupIndex, cursor, stack);
        }
    }
    assert(cursor == faceCount);
}
