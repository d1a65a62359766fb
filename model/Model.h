// The model's records and tables, and the reader that fills them from a
// model file (ReadModelFile.cpp). The tables' array is in Table.h, the
// bytes it reads from in ByteSource.h, its number fields' parsing in
// NumberParsing.h.
//
// Invariants established by ReadModelFile (everything after it trusts them):
//  - every table's length equals its count and fits a signed 32-bit integer;
//  - a stored face names only lines in 0..lineCount-1 whose end points both
//    lie in 1..pointCount (HasBothEnds); a line without them is kept but
//    broken: no stored face names it;
//  - a stored face has colourIndex 0..15 and lineCount >= 0;
//  - a stored face with two or more lines can close: every end point of each
//    of its line entries is an end point of another entry (a line listed twice
//    counts as two), so chaining always finds a next line;
//  - faceRefs entries name existing faces; faceLineRefs entries existing lines;
//  - paletteCount <= 16.
// This layer knows nothing of the host.
#pragma once

#include "model/ByteSource.h"
#include "model/Table.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// ----------------------------------------------------------------- tables ---

struct PointRecord {
    int32_t value1;
    uint16_t value2;
    uint16_t value3;
    int32_t value5;
    double x;
    double y;
    double z;
};

struct LineRecord {
    int32_t pointA; // 1-based
    int32_t pointB; // 1-based
    uint16_t value3;
    uint16_t value4;
    int32_t faceRefCount; // faces naming the line, line faces included, with repeats
    int32_t direction;    // 0, or 1 (last run A->B) / 2 (B->A); written by BuildObject
    int32_t faceUseCount; // face-section faces listing the line, with repeats
    // Those faces in reading order (see LineFaces): up to two stand here,
    // where the grouping finds them with the line; the list of a line named
    // more often stands in ModelTables::faceRefs from index faceRef[0] on.
    int32_t faceRef[2];
};

// Faces of up to this many lines keep their line list in the record.
constexpr int32_t kInlineFaceLines = 4;

struct FaceRecord {
    int32_t lineCount;
    int32_t colourIndex;
    int32_t value3;
    int32_t group; // index into groups, -1 until GroupFaces
    // The face's lines (see FaceLines): the list itself when it has at most
    // kInlineFaceLines entries, where the grouping finds it with the face;
    // otherwise lineRef[0] is where it starts in ModelTables::faceLineRefs.
    int32_t lineRef[kInlineFaceLines];
};

struct PaletteEntry {
    int32_t brightRed, brightGreen, brightBlue;
    int32_t darkRed, darkGreen, darkBlue;
};

// One connected set of faces. Its members are faceOrder[firstMember ..
// firstMember+memberCount), in visit order.
struct FaceGroup {
    int32_t memberCount;
    int32_t firstMember;
    double sumX, sumY, sumZ;
    int32_t sumCount;
};

constexpr int32_t kColourCount = 16;
constexpr int32_t kMaxPaletteEntries = 16;

struct ModelTables {
    Table<PointRecord> points;
    Table<LineRecord> lines;
    Table<FaceRecord> faces;     // face-section faces, then line faces
    Table<int32_t> faceLineRefs; // line lists of faces of more than kInlineFaceLines lines
    Table<int32_t> faceRefs;     // face lists of lines named by three or more faces
    int32_t lineFaceCount = 0;
    int32_t lineEntryCount = 0;
    std::vector<PaletteEntry> palette; // of the last PALC0 section
    Table<int32_t> faceOrder;          // face indices in group order (GroupFaces)
    Table<FaceGroup> groups;
};

// Whether both end points of a line lie in the point table; a line without
// them is kept but broken, and no stored face names it.
inline bool HasBothEnds(const LineRecord& l, int32_t pointCount) {
    return l.pointA >= 1 && l.pointA <= pointCount && l.pointB >= 1 && l.pointB <= pointCount;
}

inline int32_t PointCount(const ModelTables& t) {
    return static_cast<int32_t>(t.points.size());
}
inline int32_t LineCount(const ModelTables& t) {
    return static_cast<int32_t>(t.lines.size());
}
inline int32_t FaceCount(const ModelTables& t) {
    return static_cast<int32_t>(t.faces.size());
}
inline int32_t PaletteCount(const ModelTables& t) {
    return static_cast<int32_t>(t.palette.size());
}
inline int32_t GroupCount(const ModelTables& t) {
    return static_cast<int32_t>(t.groups.size());
}
// The 0-based indices of the lines of face `f`, lineCount of them, in the
// order the file lists them.
inline const int32_t* FaceLines(const ModelTables& t, const FaceRecord& f) {
    return f.lineCount <= kInlineFaceLines ? f.lineRef : t.faceLineRefs.data() + f.lineRef[0];
}
// The 0-based indices of the faces naming line `l`, faceRefCount of them,
// in reading order (face-table order).
inline const int32_t* LineFaces(const ModelTables& t, const LineRecord& l) {
    return l.faceRefCount <= 2 ? l.faceRef : t.faceRefs.data() + l.faceRef[0];
}

// ----------------------------------------------------------------- reader ---

enum ReadResult : int32_t {
    kReadOk = 0,
    kReadNotModelFile = -1, // the magic is missing; tables untouched
    kReadFailed = -2,       // a read error or no memory; tables released
};

// A model file starts with these five bytes, or has a header of
// kModelHeaderSize bytes whose first byte is zero before them; nothing else
// of the header is looked at.
inline constexpr char kModelMagic[] = "ROKU4";
constexpr size_t kModelMagicSize = sizeof kModelMagic - 1;
constexpr size_t kModelHeaderSize = 128;

// The sections a file is read in, in the order they come (the optional ones
// after FACE0 in any order, any number of times).
enum ReadSection : int32_t {
    kSectionHeader, // after the magic, before "POINT"
    kSectionPoints,
    kSectionLines,
    kSectionFaces,
    kSectionPalette,
    kSectionBackground,
    kSectionLight,
    kSectionView,
    kSectionLineList,
};
constexpr int32_t kSectionCount = 9;

// The keyword lines that open and close each section: "LINE0", "FACE0" and
// "END00" each close one section and open the next, and the header has no
// opening line (the magic stands at the start of its first line). Keywords
// are whole lines, compared byte for byte.
struct SectionKeywords {
    const char* opening; // null for the header
    const char* closing;
};
inline constexpr SectionKeywords kSectionKeywords[kSectionCount] = {
    {nullptr, "POINT"}, {"POINT", "LINE0"}, {"LINE0", "FACE0"},
    {"FACE0", "END00"}, {"PALC0", "ENDP0"}, {"BAKC0", "ENDB0"},
    {"LIT00", "ENDL0"}, {"VIEW0", "ENDV0"}, {"LINE2", "ENDL2"},
};
constexpr const char* ClosingKeyword(ReadSection section) {
    return kSectionKeywords[section].closing;
}
constexpr const char* OpeningKeyword(ReadSection section) {
    return kSectionKeywords[section].opening;
}

// The reader holds at most this many characters of a line: the rest of a
// longer one, its line end included, is read as a line of its own (so a
// line of exactly this many characters is followed by an empty one).
constexpr int32_t kLineLimit = 79;

// What the reader left out or read as something else, for a host that wants
// to tell its user (the plug-in never does); `value` is given per kind, and
// `count` where the kind compares it against one.
enum class ReadNoticeKind : int32_t {
    FaceLineOutOfRange,   // a face left out: it names line `value`, not among the
                          // `count` lines read
    FaceBrokenLine,       // a face left out: line `value` has an end point out of
                          // range (`count`: the points read)
    FaceColour,           // a face left out: colour index `value` outside 0..15
    FaceOpen,             // a face left out: its `value` lines do not close into a loop
    FaceNegativeCount,    // a face left out: line count `value` is negative
    FaceBeyondPointLimit, // a face not sent: it reaches point `value` (the host's limit)
    LineEndOutOfRange,    // a line with end point `value` outside the `count` points read
    LineFaceBadLine,      // a line-list entry that made no line face: line `value` is
                          // not among the `count` lines read, or has an end point out
                          // of range
    LineFaceColour,       // ... no line face: colour index `value` outside 0..15
    EndInsideSection,     // the file ends inside section `value` (a ReadSection)
    NoNumber,             // a number field without a number, read as 0; `value` 1
                          // for a real field, 0 for an integer one
    MoreThanNumber,       // a number field with more after the number, read as
                          // `number`; `value` as for NoNumber
    UnknownLine,          // a line where a section keyword was expected
    LongLine,             // a line of `value` characters, cut after kLineLimit of them,
                          // told once its line end is read (not where lines are only
                          // skipped up to a keyword)
    MisspeltKeyword,      // a line skipped while the reader looks for a keyword, which is a
                          // section keyword but for white space or case (KeywordButForSpelling)
    SectionRead,          // not a warning: section `value` (a ReadSection) is over, closed or
                          // not, at its last line; in it `count` records were read, and
                          // `integers` integer and `number` real number fields
};
constexpr int32_t kReadNoticeKinds = 16;

// One notice, as the reader meets it. `line` counts the line ends the reader
// consumes, from the magic's line (line 1) on: a cut line's rest is still
// the same line. A notice about a record as a whole stands at the record's
// first line.
struct ReadNotice {
    ReadNoticeKind kind;
    int64_t line; // 1-based
    // The offset of a byte of that line, which orders the notices of one
    // line: a record's stand at its first byte, a line's at its last.
    uint64_t at;
    int32_t value;
    int32_t count;
    double number;
    // The line as the reader holds it (NUL bytes included), for the kinds
    // about one line: at most kLineLimit bytes; null with textSize 0 for a
    // record as a whole. Valid during the call only.
    const char* text;
    int32_t textSize;
    int64_t integers; // SectionRead only
};

// The host numbers points in 16 bits: a face reaching a point beyond this
// number is not sent and does not mark its colour in use.
constexpr int32_t kMaxSendablePoint = 65536;

// Told of each notice as the reader meets it, in file order within a
// section (a long line once its end is read, after what its pieces made);
// `notice` must not throw. Only a reader with an observer counts
// lines and looks at what it cuts, so a reader without one pays nothing.
struct ReadObserver {
    void (*notice)(void* context, const ReadNotice& notice);
    void* context;
    // The object goes out with 32-bit point numbers (the converter's build):
    // every face reaches its points, and FaceBeyondPointLimit is not told.
    bool widePoints = false;
};

// Reads a model file from the start of `source` into `tables`, which must be
// empty, then groups the faces. On kReadOk, when `suggestedLoadTarget` is not
// null, writes the proposed load target (which may lie outside 0..2) and the
// proposed double-sided flag (then `suggestedDoubleSided` must not be null).
//
// Bounds: no count in the file makes the reader allocate or loop beyond what
// the file's size justifies. A face record cut by the end of the file repeats
// the last line read for its missing index lines, but keeps at most as many
// entries as the file has bytes (a complete record never has more).
ReadResult ReadModelFile(ByteSource& source, ModelTables& tables, int32_t* suggestedLoadTarget,
                         int32_t* suggestedDoubleSided);
// The same, and `observer`, when not null, is told what was left out or read
// as something else; it changes nothing that is read. The reader that tells
// is an object file of its own (ReadObserved.cpp): the module, which names
// only the reading above, links none of it.
ReadResult ReadModelFile(ByteSource& source, ModelTables& tables, int32_t* suggestedLoadTarget,
                         int32_t* suggestedDoubleSided, const ReadObserver* observer);

// Reads as ReadModelFile does and tells `observer` the same notices, for a
// host that only wants to know what the reader leaves out: the points and
// lines are kept (the notices count them), the faces are checked but not
// stored, and nothing is grouped. `tables` must be empty.
ReadResult CheckModelFile(ByteSource& source, ModelTables& tables, const ReadObserver& observer);

// A line that would be a section keyword but for blanks or tabs before or
// after it, or the case of its letters ("LINE0 ", "\tFACE0", "end00"): that
// keyword. Null for any other line, and for a keyword spelt exactly. The
// reader itself takes only the exact keyword.
const char* KeywordButForSpelling(const char* text, size_t size);

// Frees every table; harmless on empty tables. lineFaceCount and
// lineEntryCount are left as they are.
void ReleaseModel(ModelTables& tables);
