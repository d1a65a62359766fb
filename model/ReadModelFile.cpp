#include "mesh/Mesh.h"
#include "model/Model.h"
#include "model/NumberParsing.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <utility>
#include <vector>

namespace {

// The usual integer line: one to nine plain digits at `p`, which need no
// clamping. Returns the position after them and sets `value`, or returns
// null when there is no digit. Reads at most ten bytes.
inline const char* ScanPlainInteger(const char* p, int32_t& value) {
    uint32_t v = 0;
    int32_t n = 0;
    for (; n < 9 && IsDecimalDigit(p[n]); ++n) {
        v = v * 10 + static_cast<uint32_t>(p[n] - '0');
    }
    value = static_cast<int32_t>(v);
    return n == 0 ? nullptr : p + n;
}

// ParseInteger, with the usual line done in place.
inline int32_t LineInteger(const char* text) {
    int32_t value;
    const char* end = ScanPlainInteger(text, value);
    return end == nullptr || IsDecimalDigit(*end) ? ParseInteger(text) : value;
}

constexpr uint64_t kOnes = 0x0101010101010101ull;

constexpr int32_t kLineBufferSize = 80;
constexpr int32_t kLineLimit = kLineBufferSize - 1;

// The reader's state: one reused 80-byte line buffer. Once the end of the
// file is reached, every further read leaves the buffer holding the last
// line read, exactly as the format's reading rules expect.
//
// Most lines lie well inside the current block with their look-ahead byte.
// Those are read here eight bytes at a time: each word is copied to the
// buffer whole and tested for CR and LF at once; the line ends at the first
// such byte, or after 79 bytes, exactly where ReadTextLine would stop. The
// buffer has room for the last word's spill past the terminating NUL, which
// nothing reads. Lines near the end of a block, and everything at the end of
// the file, go through ReadTextLine itself.
//
// The usual number lines inside the block are converted where they lie and
// never reach the buffer, nor do lines that are skipped unread: the buffer's
// content matters only to a keyword test or a general conversion right after
// the line is read, and once the end of the file is reached. The end is only
// ever reached inside ReadTextLine, whose last line is in the buffer.
struct Reader {
    ByteSource& source;
    char line[kLineBufferSize + 8];
    const ReadObserver* observer; // null: nobody is told what is left out
    bool keepFaces;               // false: faces are checked, not stored

    // The offset of a byte of the line last read: its last byte, or its line
    // end (after the end of the file: the last line's).
    uint64_t LastLineAt() const {
        const uint64_t position = SourcePosition(source);
        return position == 0 ? 0 : position - 1;
    }
    // The offset of the next line's first byte, when someone listens.
    uint64_t NextLineAt() const { return observer != nullptr ? SourcePosition(source) : 0; }
    void Notice(ReadNotice kind, uint64_t at, int32_t value) const {
        if (observer != nullptr) {
            observer->notice(observer->context, kind, at, value);
        }
    }

    bool AtEnd() const { return source.eof; }
    // Whether the next line, with its look-ahead byte, certainly lies inside
    // the current block.
    bool InBlock() const { return !source.eof && source.end - source.pos >= kLineBufferSize + 8; }
    void Next() {
        if (!InBlock()) {
            ReadTextLine(line, kLineBufferSize, source);
            return;
        }
        const unsigned char* p = source.pos;
        int32_t length = kLineLimit;
        for (int32_t at = 0; at < kLineLimit; at += 8) {
            uint64_t word;
            std::memcpy(&word, p + at, 8);
            std::memcpy(line + at, &word, 8);
            const int32_t found = FirstLineEnd(word);
            if (found < 8) {
                length = std::min(at + found, kLineLimit);
                break;
            }
        }
        line[length] = '\0';
        if (length < kLineLimit) {
            EndLine(p + length);
        } else {
            source.pos = p + length; // the line end, if any, stays for the next read
        }
    }
    // Reads a line that nothing looks at: the same line as Next, not copied.
    void Skip() {
        if (!InBlock()) {
            ReadTextLine(line, kLineBufferSize, source);
            return;
        }
        const unsigned char* p = source.pos;
        for (int32_t at = 0; at < kLineLimit; at += 8) {
            uint64_t word;
            std::memcpy(&word, p + at, 8);
            const int32_t found = FirstLineEnd(word);
            if (found < 8) {
                if (at + found < kLineLimit) {
                    EndLine(p + at + found);
                    return;
                }
                break;
            }
        }
        source.pos = p + kLineLimit;
    }
    // Moves past the CR or LF at `end` and the other byte of a pair.
    void EndLine(const unsigned char* end) {
        const unsigned char c = *end++;
        end += *end == (c == '\r' ? '\n' : '\r') ? 1 : 0;
        source.pos = end;
    }

    // The usual number lines are converted straight from the block: a plain
    // integer of one to nine digits, or a decimal of at most 15 digits with
    // an optional sign and point, ended by CR or LF. Their values are the
    // ones the general conversions give. Anything else, and any line near
    // the end of the block, is left untouched for Next and the general
    // conversions.
    bool TryInteger(int32_t& value) {
        if (!InBlock()) {
            return false;
        }
        const char* end = ScanPlainInteger(Here(), value);
        if (end == nullptr || !IsLineEnd(static_cast<unsigned char>(*end))) {
            return false;
        }
        EndLine(reinterpret_cast<const unsigned char*>(end));
        return true;
    }
    const char* Here() const { return reinterpret_cast<const char*>(source.pos); }
    bool TryReal(double& value) {
        if (!InBlock()) {
            return false;
        }
        const char* end = ScanPlainDecimal(Here(), value);
        if (end == nullptr || !IsLineEnd(static_cast<unsigned char>(*end))) {
            return false;
        }
        EndLine(reinterpret_cast<const unsigned char*>(end));
        return true;
    }
    int32_t NextInteger() {
        int32_t value;
        if (TryInteger(value)) {
            return value;
        }
        return NextIntegerInGeneral();
    }
    double NextReal() {
        double value;
        if (TryReal(value)) {
            return value;
        }
        return NextRealInGeneral();
    }
    // Reads the first line of a record into `first`, or returns false when
    // that line is `keyword`, which ends the section.
    bool RecordStart(const char* keyword, int32_t& first) {
        if (TryInteger(first)) {
            return true; // a number is never a keyword
        }
        const bool wasAtEnd = AtEnd();
        Next();
        if (Is(keyword)) {
            return false;
        }
        if (observer != nullptr && !wasAtEnd) {
            CheckNumberField(false);
        }
        first = LineInteger(line);
        return true;
    }
    [[gnu::noinline]] int32_t NextIntegerInGeneral() {
        const bool wasAtEnd = AtEnd();
        Next();
        if (observer != nullptr && !wasAtEnd) {
            CheckNumberField(false);
        }
        return LineInteger(line);
    }
    [[gnu::noinline]] double NextRealInGeneral() {
        const bool wasAtEnd = AtEnd();
        Next();
        if (observer != nullptr && !wasAtEnd) {
            CheckNumberField(true);
        }
        return ParseReal(line);
    }
    // Tells of a number field just read that holds no number or more than
    // one; an empty line at the very end is the end, not a field.
    void CheckNumberField(bool real) const {
        if (AtEnd() && line[0] == '\0') {
            return;
        }
        const char* end = NumberEnd(line, real);
        if (end == nullptr) {
            Notice(ReadNotice::NoNumber, LastLineAt(), 0);
            return;
        }
        while (*end == ' ' || *end == '\t' || *end == '\v' || *end == '\f') {
            ++end;
        }
        if (*end != '\0') {
            Notice(ReadNotice::MoreThanNumber, LastLineAt(), real ? 1 : 0);
        }
    }
    static bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }
    // Keywords start with a capital letter, numbers never: most lines are
    // told apart by their first byte.
    bool Is(const char* keyword) const {
        return line[0] == keyword[0] && std::strcmp(line, keyword) == 0;
    }

    // Index of the first CR or LF byte of a little-endian word, 8 if none.
    // The zero-byte test may flag bytes above the first real match (a borrow
    // runs upwards), never below it, so the lowest flag is exact.
    static int32_t FirstLineEnd(uint64_t word) {
        if constexpr (std::endian::native == std::endian::little) {
            constexpr uint64_t highs = 0x8080808080808080ull;
            const uint64_t cr = word ^ (kOnes * '\r');
            const uint64_t lf = word ^ (kOnes * '\n');
            const uint64_t hits = ((cr - kOnes) & ~cr & highs) | ((lf - kOnes) & ~lf & highs);
            return hits == 0 ? 8 : std::countr_zero(hits) / 8;
        } else {
            unsigned char bytes[8];
            std::memcpy(bytes, &word, 8);
            for (int32_t i = 0; i < 8; ++i) {
                if (bytes[i] == '\r' || bytes[i] == '\n') {
                    return i;
                }
            }
            return 8;
        }
    }
};

constexpr size_t kMaxTable = static_cast<size_t>(std::numeric_limits<int32_t>::max());

// Tables are counted in signed 32 bits; a file that would need more is
// treated like an allocation failure.
template <typename T> void CheckRoom(const Table<T>& table, size_t more = 1) {
    if (table.size() + more > kMaxTable) {
        throw std::bad_alloc();
    }
}

// Each section reader returns whether it met the keyword that closes it
// (otherwise the file ended inside it).
bool ReadPoints(Reader& in, ModelTables& t) {
    while (!in.AtEnd()) {
        PointRecord p{};
        if (!in.RecordStart("LINE0", p.value1)) {
            return true;
        }
        p.value2 = static_cast<uint16_t>(in.NextInteger());
        p.value3 = static_cast<uint16_t>(in.NextInteger());
        in.Skip();
        p.value5 = in.NextInteger();
        p.x = in.NextReal();
        p.y = in.NextReal();
        p.z = in.NextReal();
        CheckRoom(t.points);
        t.points.push_back(p);
    }
    return false;
}

bool ReadLines(Reader& in, ModelTables& t) {
    while (!in.AtEnd()) {
        LineRecord l{};
        const uint64_t recordAt = in.NextLineAt();
        if (!in.RecordStart("FACE0", l.pointA)) {
            return true;
        }
        l.pointB = in.NextInteger();
        l.value3 = static_cast<uint16_t>(in.NextInteger());
        l.value4 = static_cast<uint16_t>(in.NextInteger());
        if (in.observer != nullptr && !HasBothEnds(l, PointCount(t))) {
            const bool aInRange = l.pointA >= 1 && l.pointA <= PointCount(t);
            in.Notice(ReadNotice::LineEndOutOfRange, recordAt, aInRange ? l.pointB : l.pointA);
        }
        CheckRoom(t.lines);
        t.lines.push_back(l);
    }
    return false;
}

// Faces up to this many lines are checked by comparing their end points
// directly, which for the usual triangles and quads beats counting them in a
// table indexed by point number.
constexpr int32_t kDirectCloseCheckMaxLines = 16;

// Tells whether a face of two or more line entries can close: every end
// point of every entry must be an end point of another entry, that is, used
// more often among all entries' end points than by the entry itself (twice
// for a line from a point to itself). `pointUses` is zero for every point
// on entry and on return; it is allocated on first need.
bool CanClose(const ModelTables& t, const int32_t* lineRefs, int32_t count,
              std::vector<int32_t>& pointUses) {
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

// A 1-based line number that faces and line faces may name: in range and
// with both end points in the point table.
bool NamesSoundLine(const ModelTables& t, int32_t index) {
    return index >= 1 && index <= LineCount(t) &&
           HasBothEnds(t.lines[static_cast<size_t>(index - 1)], PointCount(t));
}

// Tells why a face or line-list entry cannot name line `index` (which
// NamesSoundLine refused).
void NoticeUnsoundLine(const Reader& in, const ModelTables& t, ReadNotice outOfRange,
                       ReadNotice broken, uint64_t at, int32_t index) {
    in.Notice(index >= 1 && index <= LineCount(t) ? broken : outOfRange, at, index);
}

// Tells of a face that reaches a point the host cannot be sent: the highest.
void NoticeBeyondPointLimit(const Reader& in, const ModelTables& t, const int32_t* lineRefs,
                            int32_t count, uint64_t at) {
    int32_t highest = 0;
    for (int32_t i = 0; i < count; ++i) {
        const LineRecord& l = t.lines[static_cast<size_t>(lineRefs[i])];
        highest = std::max({highest, l.pointA, l.pointB});
    }
    if (highest > kMaxSendablePoint) {
        in.Notice(ReadNotice::FaceBeyondPointLimit, at, highest);
    }
}

// A face naming a line: up to two such names stay in the line record; from
// the third on, all of the line's names go to `overflow` (line, face), in
// reading order, to be gathered into faceRefs when the reading is done.
using FaceNames = std::vector<std::pair<int32_t, int32_t>>;

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

bool ReadFaces(Reader& in, ModelTables& t, FaceNames& overflow) {
    std::vector<int32_t> pointUses;
    const bool checkReach = in.observer != nullptr && PointCount(t) > kMaxSendablePoint;
    while (!in.AtEnd()) {
        FaceRecord f{};
        const uint64_t recordAt = in.NextLineAt();
        if (!in.RecordStart("END00", f.lineCount)) {
            return true;
        }
        f.colourIndex = in.NextInteger();
        const uint64_t colourAt = in.observer != nullptr ? in.LastLineAt() : 0;
        f.value3 = in.NextInteger();
        f.group = -1;
        // The index lines are gathered at the end of faceLineRefs; a short
        // list moves into the record when the face is stored.
        const int32_t firstLineRef = static_cast<int32_t>(t.faceLineRefs.size());
        bool valid = f.lineCount >= 0 && f.colourIndex >= 0 && f.colourIndex < kColourCount;
        if (!valid) {
            if (f.lineCount < 0) {
                in.Notice(ReadNotice::FaceNegativeCount, recordAt, f.lineCount);
            } else {
                in.Notice(ReadNotice::FaceColour, colourAt, f.colourIndex);
            }
        }

        // Index lines are appended as read and dropped again if the face is
        // left out. Past the end of the file each missing line repeats the
        // last one; a record cannot honestly hold more entries than the file
        // has bytes, so that is where the repetition stops.
        int32_t stored = 0;
        for (int32_t i = 0; i < f.lineCount; ++i) {
            if (in.AtEnd()) {
                const int32_t index = LineInteger(in.line);
                const uint64_t bound = SourcePosition(in.source);
                const int32_t remaining = f.lineCount - i;
                int32_t repeat = remaining;
                if (static_cast<uint64_t>(stored) + static_cast<uint64_t>(repeat) > bound) {
                    repeat = static_cast<int32_t>(bound > static_cast<uint64_t>(stored)
                                                      ? bound - static_cast<uint64_t>(stored)
                                                      : 0);
                }
                // A record cut off here is told of once, as the end of the
                // file inside the section.
                valid = valid && NamesSoundLine(t, index);
                if (valid) {
                    CheckRoom(t.faceLineRefs, static_cast<size_t>(repeat));
                    t.faceLineRefs.insert(t.faceLineRefs.end(), static_cast<size_t>(repeat),
                                          index - 1);
                    stored += repeat;
                }
                break;
            }
            const int32_t index = in.NextInteger();
            if (valid && !NamesSoundLine(t, index)) {
                valid = false;
                NoticeUnsoundLine(in, t, ReadNotice::FaceLineOutOfRange, ReadNotice::FaceBrokenLine,
                                  in.LastLineAt(), index);
            }
            if (valid) {
                CheckRoom(t.faceLineRefs);
                t.faceLineRefs.push_back(index - 1);
                ++stored;
            }
        }
        if (valid && stored != f.lineCount) {
            f.lineCount = stored; // cut by the end of the file, see above
        }
        if (valid && f.lineCount >= 2) {
            valid = CanClose(t, t.faceLineRefs.data() + firstLineRef, f.lineCount, pointUses);
            if (!valid) {
                in.Notice(ReadNotice::FaceOpen, recordAt, f.lineCount);
            }
        }
        if (valid && checkReach) {
            NoticeBeyondPointLimit(in, t, t.faceLineRefs.data() + firstLineRef, f.lineCount,
                                   recordAt);
        }
        if (!valid || !in.keepFaces) {
            t.faceLineRefs.resize(static_cast<size_t>(firstLineRef));
            continue;
        }
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
    return false;
}

// Skips lines up to and including `keyword`; returns whether it was met.
bool SkipTo(Reader& in, const char* keyword) {
    while (!in.AtEnd()) {
        in.Next();
        if (in.Is(keyword)) {
            return true;
        }
    }
    return false;
}

bool ReadPalette(Reader& in, ModelTables& t) {
    const int32_t count = std::max(in.NextInteger(), 0);
    const int32_t kept = std::min(count, kMaxPaletteEntries);
    t.palette.assign(static_cast<size_t>(kept), PaletteEntry{});
    in.Next();
    for (int32_t i = 0; i < count; ++i) {
        if (i >= kept && in.AtEnd()) {
            break; // further entries would only be read and dropped
        }
        PaletteEntry e{};
        e.brightRed = in.NextInteger();
        e.brightGreen = in.NextInteger();
        e.brightBlue = in.NextInteger();
        e.darkRed = in.NextInteger();
        e.darkGreen = in.NextInteger();
        e.darkBlue = in.NextInteger();
        in.Next();
        if (i < kept) {
            t.palette[static_cast<size_t>(i)] = e;
        }
    }
    return SkipTo(in, "ENDP0");
}

bool ReadLineList(Reader& in, ModelTables& t, FaceNames& overflow) {
    while (!in.AtEnd()) {
        int32_t index;
        const uint64_t recordAt = in.NextLineAt();
        if (!in.RecordStart("ENDL2", index)) {
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
                in.Notice(ReadNotice::LineFaceBadLine, recordAt, index);
            } else if (t.lines[static_cast<size_t>(index - 1)].value4 == 0) {
                in.Notice(ReadNotice::LineFaceColour, recordAt, colour);
            }
            continue;
        }
        if (in.observer != nullptr && PointCount(t) > kMaxSendablePoint) {
            const int32_t lineRef = index - 1;
            NoticeBeyondPointLimit(in, t, &lineRef, 1, recordAt);
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

// The face lists of the lines named three times or more, gathered from the
// names set aside while reading: each line's names in reading order, one
// list after another in faceRefs, found from the line's faceRef[0].
void GatherFaceRefs(ModelTables& t, FaceNames& overflow) {
    std::stable_sort(overflow.begin(), overflow.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    CheckRoom(t.faceRefs, overflow.size());
    t.faceRefs.assign(overflow.size(), 0);
    for (size_t i = 0; i < overflow.size(); ++i) {
        const auto [lineIndex, faceIndex] = overflow[i];
        if (i == 0 || overflow[i - 1].first != lineIndex) {
            t.lines[static_cast<size_t>(lineIndex)].faceRef[0] = static_cast<int32_t>(i);
        }
        t.faceRefs[i] = faceIndex;
    }
    FaceNames().swap(overflow);
}

// Whether a line holds nothing but white space.
bool IsBlank(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\v' && *text != '\f') {
            return false;
        }
    }
    return true;
}

ReadResult ReadTables(ByteSource& source, ModelTables& t, int32_t* suggestedLoadTarget,
                      int32_t* suggestedDoubleSided, const ReadObserver* observer, bool keepFaces) {
    int32_t viewLines = 1;
    int32_t viewFaces = 1;
    t.lineFaceCount = 0;
    t.lineEntryCount = 0;

    unsigned char magic[5] = {};
    size_t got = ReadBytes(source, magic, sizeof magic);
    if (got >= 1 && magic[0] == 0) {
        SkipBytes(source, 123);
        source.eof = false; // a seek clears the indicator
        got = ReadBytes(source, magic, sizeof magic);
    }
    if (got != sizeof magic || std::memcmp(magic, "ROKU4", 5) != 0) {
        return source.error ? kReadFailed : kReadNotModelFile;
    }

    Reader in{source, {}, observer, keepFaces};
    in.Next(); // the rest of the first line
    // Each section in turn; once the file has ended inside one, the later
    // ones find nothing to read.
    const auto section = [&in](bool closed, ReadSection which) {
        if (!closed) {
            in.Notice(ReadNotice::EndInsideSection, in.LastLineAt(), which);
        }
        return closed;
    };
    FaceNames overflow;
    if (section(SkipTo(in, "POINT"), kSectionHeader) &&
        section(ReadPoints(in, t), kSectionPoints) && section(ReadLines(in, t), kSectionLines)) {
        section(ReadFaces(in, t, overflow), kSectionFaces);
    }
    while (!in.AtEnd()) {
        in.Next();
        if (in.Is("PALC0")) {
            section(ReadPalette(in, t), kSectionPalette);
        } else if (in.Is("BAKC0")) {
            section(SkipTo(in, "ENDB0"), kSectionBackground);
        } else if (in.Is("LIT00")) {
            section(SkipTo(in, "ENDL0"), kSectionLight);
        } else if (in.Is("VIEW0")) {
            viewLines = in.NextInteger();
            viewFaces = in.NextInteger();
            section(SkipTo(in, "ENDV0"), kSectionView);
        } else if (in.Is("LINE2")) {
            section(ReadLineList(in, t, overflow), kSectionLineList);
        } else if (observer != nullptr && !IsBlank(in.line)) {
            in.Notice(ReadNotice::UnknownLine, in.LastLineAt(), 0);
        }
    }
    if (source.error) {
        return kReadFailed;
    }
    if (!keepFaces) {
        return kReadOk;
    }

    GatherFaceRefs(t, overflow);
    GroupFaces(t);

    const bool allShared = std::none_of(t.lines.begin(), t.lines.end(),
                                        [](const LineRecord& l) { return l.faceUseCount == 1; });
    if (suggestedLoadTarget != nullptr) {
        assert(suggestedDoubleSided != nullptr);
        if (t.lineFaceCount == FaceCount(t)) {
            viewFaces = 0;
        }
        if (viewFaces != 0 && (t.lineFaceCount == 0 || t.lineEntryCount == t.lineFaceCount)) {
            viewLines = 0;
        }
        // VIEW0 values are any 32-bit integers: wrap as the 32-bit sum does,
        // without overflowing.
        const int64_t target = int64_t{viewLines} + 2 * int64_t{viewFaces} - 1;
        *suggestedLoadTarget = static_cast<int32_t>(static_cast<uint32_t>(target));
        *suggestedDoubleSided = allShared ? 0 : 1;
    }
    return kReadOk;
}

// Reads, or checks only, releasing the tables when that fails.
ReadResult ReadOrCheck(ByteSource& source, ModelTables& tables, int32_t* suggestedLoadTarget,
                       int32_t* suggestedDoubleSided, const ReadObserver* observer,
                       bool keepFaces) {
    try {
        ReadResult r = ReadTables(source, tables, suggestedLoadTarget, suggestedDoubleSided,
                                  observer, keepFaces);
        if (r == kReadFailed) {
            ReleaseModel(tables);
        }
        return r;
    } catch (const std::exception&) {
        // std::bad_alloc or std::length_error from growing a table
        ReleaseModel(tables);
        return kReadFailed;
    }
}

} // namespace

ReadResult ReadModelFile(ByteSource& source, ModelTables& tables, int32_t* suggestedLoadTarget,
                         int32_t* suggestedDoubleSided, const ReadObserver* observer) {
    return ReadOrCheck(source, tables, suggestedLoadTarget, suggestedDoubleSided, observer, true);
}

ReadResult CheckModelFile(ByteSource& source, ModelTables& tables, const ReadObserver& observer) {
    return ReadOrCheck(source, tables, nullptr, nullptr, &observer, false);
}

void ReleaseModel(ModelTables& tables) {
    // swap with empties so the memory really goes back
    Table<PointRecord>().swap(tables.points);
    Table<LineRecord>().swap(tables.lines);
    Table<FaceRecord>().swap(tables.faces);
    Table<int32_t>().swap(tables.faceLineRefs);
    Table<int32_t>().swap(tables.faceRefs);
    Table<int32_t>().swap(tables.faceOrder);
    std::vector<PaletteEntry>().swap(tables.palette);
    Table<FaceGroup>().swap(tables.groups);
}
