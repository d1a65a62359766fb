#include "mesh/Mesh.h"

#include <algorithm>
#include <cassert>
#include <vector>

// The grouping is a depth-first pre-order walk: placing a face adds it to the
// group and the sums, then follows each of its lines listed by exactly two
// faces, each face of such a line's list to completion in turn, then the
// lines listed by more than two faces the same way.
//
// Three changes keep it cheap without changing its result:
//  - the pending work lives on a heap stack (face, pass, position in the
//    face's line list), so one group of millions of faces needs no deep
//    call stack;
//  - each frame keeps its place in the list of the line it follows, so a
//    list is not scanned again after the walk of a face reached from it;
//  - every long list keeps a cursor: the position before which every entry
//    is known to be placed. A placed face
//    stays placed, so a walk along the list may start at the cursor, and
//    whatever it passes moves the cursor on. The recursive form would
//    revisit those entries only to find them placed. Each entry of a long
//    list is thus passed at most once overall, even for a line listed by
//    tens of thousands of faces. Short lists are scanned whole; the cursors
//    (one per line) are allocated only when the first long list is met, so
//    the usual model, whose lines are listed by two or three faces, needs no
//    memory for them.

namespace {

// Lists longer than this keep a cursor.
constexpr int32_t kCursorMinRefs = 8;

// One face whose walk is in progress: the line of its list being followed
// and the part of that line's face list still to take.
struct Frame {
    int32_t face;
    int32_t linePos;     // position in the face's line list; -1 before the first
    const int32_t* refs; // the followed line's face list (see LineFaces)
    int32_t refPos;      // next entry of that list
    int32_t refEnd;      // end of that list
    int32_t line;        // the followed line, for its cursor; -1 without one
    int16_t pass;        // 0: lines listed by exactly two faces; 1: by more
    int16_t lastPass;    // 0 when no line of the face is listed by more than two
};

void Place(ModelTables& t, int32_t faceIndex, int32_t groupIndex, int32_t& cursor,
           std::vector<Frame>& stack) {
    FaceRecord& face = t.faces[static_cast<size_t>(faceIndex)];
    FaceGroup& group = t.groups[static_cast<size_t>(groupIndex)];
    face.group = groupIndex;
    t.faceOrder[static_cast<size_t>(cursor++)] = faceIndex;
    ++group.memberCount;
    const int32_t* refs = FaceLines(t, face);
    int16_t lastPass = 0;
    double sumX = group.sumX, sumY = group.sumY, sumZ = group.sumZ;
    int32_t sumCount = group.sumCount;
    for (int32_t i = 0; i < face.lineCount; ++i) {
        const LineRecord& line = t.lines[static_cast<size_t>(refs[i])];
        lastPass = line.faceUseCount > 2 ? 1 : lastPass;
        if (line.faceUseCount > 0) {
            // Stored faces name only lines whose end points exist.
            assert(line.pointA >= 1 && line.pointA <= PointCount(t));
            assert(line.pointB >= 1 && line.pointB <= PointCount(t));
            const PointRecord& a = t.points[static_cast<size_t>(line.pointA - 1)];
            const PointRecord& b = t.points[static_cast<size_t>(line.pointB - 1)];
            sumX += b.x + a.x;
            sumY += b.y + a.y;
            sumZ += b.z + a.z;
            sumCount += 2;
        }
    }
    group.sumX = sumX;
    group.sumY = sumY;
    group.sumZ = sumZ;
    group.sumCount = sumCount;
    stack.push_back(Frame{faceIndex, -1, nullptr, 0, 0, -1, 0, lastPass});
}

// The next face to place from `frame`: the next unplaced face along its
// current line's list, moving on to the face's next line to follow when the
// list is exhausted; -1 when the face has no line left to follow.
int32_t NextFace(ModelTables& t, Frame& frame, std::vector<int32_t>& lineCursor) {
    [[maybe_unused]] const int32_t faceCount = FaceCount(t); // for the asserts
    int32_t next = -1;
    for (;;) {
        if (frame.line >= 0) {
            // Entries before a line's cursor are placed: another
            // face's walk along the same list may have passed them
            // while this one waited.
            int32_t& lineAt = lineCursor[static_cast<size_t>(frame.line)];
            frame.refPos = std::max(frame.refPos, lineAt);
            while (frame.refPos < frame.refEnd) {
                const int32_t candidate = frame.refs[frame.refPos++];
                assert(candidate >= 0 && candidate < faceCount);
                if (t.faces[static_cast<size_t>(candidate)].group == -1) {
                    next = candidate;
                    break;
                }
            }
            lineAt = frame.refPos;
        } else {
            while (frame.refPos < frame.refEnd) {
                const int32_t candidate = frame.refs[frame.refPos++];
                assert(candidate >= 0 && candidate < faceCount);
                // The face itself stands in each of its lines' lists.
                if (candidate != frame.face &&
                    t.faces[static_cast<size_t>(candidate)].group == -1) {
                    next = candidate;
                    break;
                }
            }
        }
        if (next >= 0) {
            break;
        }
        // This line's list is exhausted: the next line to follow.
        const FaceRecord& face = t.faces[static_cast<size_t>(frame.face)];
        if (++frame.linePos >= face.lineCount) {
            if (frame.pass >= frame.lastPass) {
                break;
            }
            ++frame.pass;
            frame.linePos = 0;
        }
        const int32_t lineIndex = FaceLines(t, face)[frame.linePos];
        const LineRecord& line = t.lines[static_cast<size_t>(lineIndex)];
        const bool follow = frame.pass == 0 ? line.faceUseCount == 2 : line.faceUseCount > 2;
        frame.line = -1;
        frame.refPos = frame.refEnd = 0;
        if (follow) {
            frame.refs = LineFaces(t, line);
            frame.refPos = 0;
            frame.refEnd = line.faceRefCount;
            if (line.faceRefCount > kCursorMinRefs) {
                if (lineCursor.empty()) {
                    lineCursor.assign(t.lines.size(), 0);
                }
                frame.line = lineIndex;
            }
        }
    }
    return next;
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
            const int32_t next = NextFace(t, frame, lineCursor);
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
