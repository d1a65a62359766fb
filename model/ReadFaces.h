// The face and line-list sections: each record checked as it is read, its
// line names counted and kept with the lines they name. Private to model/:
// ReadFaces.cpp makes them for the reader without an observer,
// ReadObserved.cpp for the one with, each an object file of its own. All of
// it is internal to the file that includes it (an unnamed namespace), as it
// would be were it written there.
#pragma once

#include "model/Model.h"
#include "model/Reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Faces up to this many lines are checked by comparing their end points
// directly, which for the usual triangles and quads beats counting them in a
// table indexed by point number.
constexpr int32_t kDirectCloseCheckMaxLines = 16;

// Tells whether a face of two or more line entries can close: every end
// point of every entry must be an end point of another entry, that is, used
// more often among all entries' end points than by the entry itself (twice
// for a line from a point to itself). `pointUses` is zero for every point
// on entry and on return; it is allocated on first need.
[[gnu::always_inline]] inline bool CanClose(const ModelTables& t, const int32_t* lineRefs,
                                            int32_t count, std::vector<int32_t>& pointUses) {
    if (count <= kDirectCloseCheckMaxLines) {
        // The end points in lanes of four, padded with 0, which no line of
        // a stored face has (point numbers start at 1); each end point is
        // counted against all of them at once.
        using Lanes = int32_t __attribute__((vector_size(16)));
        int32_t flat[2 * kDirectCloseCheckMaxLines];
        for (int32_t i = 0; i < count; ++i) {
            const LineRecord& l = t.lines[static_cast<size_t>(lineRefs[i])];
            flat[2 * i] = l.pointA;
            flat[2 * i + 1] = l.pointB;
        }
        const int32_t groups = (2 * count + 3) / 4;
        for (int32_t j = 2 * count; j < 4 * groups; ++j) {
            flat[j] = 0;
        }
        Lanes ends[2 * kDirectCloseCheckMaxLines / 4];
        std::memcpy(ends, flat, static_cast<size_t>(groups) * sizeof(Lanes));
        for (int32_t i = 0; i < count; ++i) {
            const int32_t a = flat[2 * i];
            const int32_t b = flat[2 * i + 1];
            Lanes usesA = {}, usesB = {}; // -1 per match
            for (int32_t g = 0; g < groups; ++g) {
                usesA += ends[g] == a;
                usesB += ends[g] == b;
            }
            const int32_t own = a == b ? 2 : 1;
            if (-(usesA[0] + usesA[1] + usesA[2] + usesA[3]) <= own ||
                -(usesB[0] + usesB[1] + usesB[2] + usesB[3]) <= own) {
                return false;
            }
        }
        return true;
    }
    if (pointUses.empty()) {
        pointUses.assign(static_cast<size_t>(PointCount(t)) + 1, 0);
    }
    for (int32_t i = 0; i < count; ++i) {
        const LineRecord& l = t.lines[static_cast<size_t>(lineRefs[i])];
        ++pointUses[static_cast<size_t>(l.pointA)];
        ++pointUses[static_cast<size_t>(l.pointB)];
    }
    bool closes = true;
    for (int32_t i = 0; i < count && closes; ++i) {
        const LineRecord& l = t.lines[static_cast<size_t>(lineRefs[i])];
        // Uses of an end point by this entry itself: two for a line from a
        // point to itself.
        const int32_t own = l.pointA == l.pointB ? 2 : 1;
        closes = pointUses[static_cast<size_t>(l.pointA)] > own &&
                 pointUses[static_cast<size_t>(l.pointB)] > own;
    }
    for (int32_t i = 0; i < count; ++i) {
        const LineRecord& l = t.lines[static_cast<size_t>(lineRefs[i])];
        pointUses[static_cast<size_t>(l.pointA)] = 0;
        pointUses[static_cast<size_t>(l.pointB)] = 0;
    }
    return closes;
}

// Tells why a face cannot name line `index` (which NamesSoundLine refused).
template <typename In>
void NoticeUnsoundLine(const In& in, const ModelTables& t, NoticePlace where, int32_t index) {
    if (index >= 1 && index <= LineCount(t)) {
        in.Notice(ReadNoticeKind::FaceBrokenLine, where, index, PointCount(t));
    } else {
        in.Notice(ReadNoticeKind::FaceLineOutOfRange, where, index, LineCount(t));
    }
}

// Whether faces are to be told of when they reach past the host's limit:
// for an observer of an object sent with 16-bit point numbers, and a table
// longer than they reach.
template <typename In> bool ChecksPointLimit(const In& in, const ModelTables& t) {
    return In::kTells && !in.observer->widePoints && PointCount(t) > kMaxSendablePoint;
}

// Tells of a face that reaches a point the host cannot be sent: the highest.
template <typename In>
void NoticeBeyondPointLimit(const In& in, const ModelTables& t, const int32_t* lineRefs,
                            int32_t count, NoticePlace where) {
    int32_t highest = 0;
    for (int32_t i = 0; i < count; ++i) {
        const LineRecord& l = t.lines[static_cast<size_t>(lineRefs[i])];
        highest = std::max({highest, l.pointA, l.pointB});
    }
    if (highest > kMaxSendablePoint) {
        in.Notice(ReadNoticeKind::FaceBeyondPointLimit, where, highest);
    }
}

// A face naming a line: up to two such names stay in the line record; from
// the third on, all of the line's names go to `overflow` (line, face), in
// reading order, to be gathered into faceRefs when the reading is done.
void AddFaceRef(ModelTables& t, int32_t lineIndex, int32_t faceIndex, FaceNames& overflow) {
    LineRecord& l = t.lines[static_cast<size_t>(lineIndex)];
    if (l.faceRefCount < 2) {
        l.faceRef[l.faceRefCount] = faceIndex;
    } else {
        if (l.faceRefCount == 2) {
            overflow.emplace_back(lineIndex, l.faceRef[0]);
            overflow.emplace_back(lineIndex, l.faceRef[1]);
        }
        overflow.emplace_back(lineIndex, faceIndex);
    }
    ++l.faceRefCount;
}

// Whether the count and colour of a face record allow the face; tells why
// not.
template <typename In>
bool FaceHeadSound(const In& in, const FaceRecord& f, NoticePlace record, NoticePlace colour) {
    const bool sound = f.lineCount >= 0 && f.colourIndex >= 0 && f.colourIndex < kColourCount;
    if (!sound) {
        if (f.lineCount < 0) {
            in.Notice(ReadNoticeKind::FaceNegativeCount, record, f.lineCount);
        } else {
            in.Notice(ReadNoticeKind::FaceColour, colour, f.colourIndex);
        }
    }
    return sound;
}

// A face's entries past the end of the file: each missing line repeats the
// last one; a record cannot honestly hold more entries than the file has
// bytes, so that is where the repetition stops. A record cut off here is told
// of once, as the end of the file inside the section. Returns whether the face
// stays valid; `stored` counts the entries appended.
template <typename In>
bool RepeatLastLine(const In& in, ModelTables& t, int32_t remaining, int32_t& stored, bool valid) {
    const int32_t index = LineInteger(in.line);
    const uint64_t bound = SourcePosition(in.source);
    int32_t repeat = remaining;
    if (static_cast<uint64_t>(stored) + static_cast<uint64_t>(repeat) > bound) {
        repeat = static_cast<int32_t>(
            bound > static_cast<uint64_t>(stored) ? bound - static_cast<uint64_t>(stored) : 0);
    }
    valid = valid && NamesSoundLine(t, index);
    if (valid) {
        CheckRoom(t.faceLineRefs, static_cast<size_t>(repeat));
        t.faceLineRefs.insert(t.faceLineRefs.end(), static_cast<size_t>(repeat), index - 1);
        stored += repeat;
    }
    return valid;
}

// Reads a face's index lines. While the face is valid they are appended to
// faceLineRefs as read (the caller drops them again if the face is left
// out); the first line that names no sound line makes it invalid, and is told
// of. A face cut by the end of the file keeps the entries it got. Returns
// whether the face is still valid.
template <typename In> bool ReadFaceLines(In& in, ModelTables& t, FaceRecord& f, bool valid) {
    int32_t stored = 0;
    for (int32_t i = 0; i < f.lineCount; ++i) {
        if (in.AtEnd()) {
            valid = RepeatLastLine(in, t, f.lineCount - i, stored, valid);
            break;
        }
        const int32_t index = in.NextInteger();
        if (valid && !NamesSoundLine(t, index)) {
            valid = false;
            NoticeUnsoundLine(in, t, in.LastPlace(), index);
        }
        if (valid) {
            CheckRoom(t.faceLineRefs);
            t.faceLineRefs.push_back(index - 1);
            ++stored;
        }
    }
    if (valid && stored != f.lineCount) {
        f.lineCount = stored; // cut by the end of the file
    }
    return valid;
}

// Whether a face of sound lines, its entries from `firstLineRef` on, can
// close (told of when not); a listener is also told of one that reaches a
// point the host cannot be sent.
template <typename In>
bool FaceShapeSound(const In& in, const ModelTables& t, const FaceRecord& f, int32_t firstLineRef,
                    NoticePlace record, bool checkReach, std::vector<int32_t>& pointUses) {
    const int32_t* lineRefs = t.faceLineRefs.data() + firstLineRef;
    if (f.lineCount >= 2 && !CanClose(t, lineRefs, f.lineCount, pointUses)) {
        in.Notice(ReadNoticeKind::FaceOpen, record, f.lineCount);
        return false;
    }
    if (checkReach) {
        NoticeBeyondPointLimit(in, t, lineRefs, f.lineCount, record);
    }
    return true;
}

// Stores a valid face whose entries end faceLineRefs: a short list moves
// into the record; each line it names counts it and names it.
[[gnu::always_inline]] inline void StoreFace(ModelTables& t, FaceRecord& f, int32_t firstLineRef,
                                             FaceNames& overflow) {
    if (f.lineCount <= kInlineFaceLines) {
        std::copy_n(t.faceLineRefs.data() + firstLineRef, f.lineCount, f.lineRef);
        t.faceLineRefs.resize(static_cast<size_t>(firstLineRef));
    } else {
        f.lineRef[0] = firstLineRef;
    }
    CheckRoom(t.faces);
    const int32_t faceIndex = FaceCount(t);
    for (int32_t i = 0; i < f.lineCount; ++i) {
        const int32_t lineIndex = FaceLines(t, f)[i];
        ++t.lines[static_cast<size_t>(lineIndex)].faceUseCount;
        AddFaceRef(t, lineIndex, faceIndex, overflow);
    }
    t.faces.push_back(f);
}

template <typename In> bool ReadFaceSection(In& in, ModelTables& t, FaceNames& overflow) {
    std::vector<int32_t> pointUses;
    const bool checkReach = ChecksPointLimit(in, t);
    while (!in.AtEnd()) {
        FaceRecord f{};
        NoticePlace record;
        if (!in.RecordStart(ClosingKeyword(kSectionFaces), f.lineCount, &record)) {
            return true;
        }
        f.colourIndex = in.NextInteger();
        const NoticePlace colour = in.LastPlace();
        f.value3 = in.NextInteger();
        f.group = -1;
        // The index lines are gathered at the end of faceLineRefs; a short
        // list moves into the record when the face is stored.
        const int32_t firstLineRef = static_cast<int32_t>(t.faceLineRefs.size());
        bool valid = FaceHeadSound(in, f, record, colour);
        valid = ReadFaceLines(in, t, f, valid);
        valid = valid && FaceShapeSound(in, t, f, firstLineRef, record, checkReach, pointUses);
        if (!valid || !in.keepFaces) {
            t.faceLineRefs.resize(static_cast<size_t>(firstLineRef));
            continue;
        }
        StoreFace(t, f, firstLineRef, overflow);
    }
    return false;
}

template <typename In> bool ReadLineListSection(In& in, ModelTables& t, FaceNames& overflow) {
    while (!in.AtEnd()) {
        int32_t index;
        NoticePlace record;
        if (!in.RecordStart(ClosingKeyword(kSectionLineList), index, &record)) {
            return true;
        }
        in.Skip();
        const int32_t colour = in.NextInteger();
        in.Skip();
        if (t.lineEntryCount < std::numeric_limits<int32_t>::max()) {
            ++t.lineEntryCount;
        }
        if (!NamesSoundLine(t, index) || t.lines[static_cast<size_t>(index - 1)].value4 != 0 ||
            colour < 0 || colour >= kColourCount) {
            // A line whose fourth value is not 0 is kept off the line list
            // on purpose: that is no mistake to tell of.
            if (!NamesSoundLine(t, index)) {
                in.Notice(ReadNoticeKind::LineFaceBadLine, record, index, LineCount(t));
            } else if (t.lines[static_cast<size_t>(index - 1)].value4 == 0) {
                in.Notice(ReadNoticeKind::LineFaceColour, record, colour);
            }
            continue;
        }
        if (ChecksPointLimit(in, t)) {
            const int32_t lineRef = index - 1;
            NoticeBeyondPointLimit(in, t, &lineRef, 1, record);
        }
        if (!in.keepFaces) {
            continue;
        }
        CheckRoom(t.faces);
        FaceRecord f{};
        f.lineCount = 1;
        f.colourIndex = colour;
        f.value3 = 0;
        f.group = -1;
        f.lineRef[0] = index - 1;
        AddFaceRef(t, index - 1, FaceCount(t), overflow);
        t.faces.push_back(f);
        ++t.lineFaceCount;
    }
    return false;
}

} // namespace
