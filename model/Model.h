// Model tables, the byte source, the line reader and the model file reader.
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

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// ------------------------------------------------------------------ table ---

// The memory of the tables' arrays, given by byte sizes. ResizeTableBlock
// works like realloc (a null block is a new one; on failure it returns null
// and the block stays as it was); `oldBytes` must be the size the block was
// last given, and FreeTableBlock takes that size too. Large blocks are mapped
// on huge pages where the system offers them (see TableMemory.cpp).
void* ResizeTableBlock(void* block, size_t oldBytes, size_t newBytes);
void FreeTableBlock(void* block, size_t bytes);

// The array of one model table: plain records, indexed like std::vector. A
// large block grows in place or has its pages remapped: growing copies
// nothing, never holds the old and the new array at once, and capacity not
// yet written costs no memory. Growing one record at a time therefore stays
// cheap for tables of millions of records. Throws std::bad_alloc when memory
// runs out.
template <typename T> struct Table {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

    T* items = nullptr;
    size_t count = 0;
    size_t capacity = 0;

    Table() = default;
    Table(const Table& other) { *this = other; }
    Table(Table&& other) noexcept { swap(other); }
    Table& operator=(const Table& other) {
        if (this != &other) {
            resize(0);
            Append(other.items, other.count);
        }
        return *this;
    }
    Table& operator=(Table&& other) noexcept {
        Table(std::move(other)).swap(*this);
        return *this;
    }
    ~Table() { FreeTableBlock(items, capacity * sizeof(T)); }

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    T* data() { return items; }
    const T* data() const { return items; }
    T* begin() { return items; }
    T* end() { return items + count; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }
    T& operator[](size_t i) { return items[i]; }
    const T& operator[](size_t i) const { return items[i]; }
    T& back() { return items[count - 1]; }

    void reserve(size_t wanted) {
        if (wanted <= capacity) {
            return;
        }
        if (wanted > SIZE_MAX / sizeof(T)) {
            throw std::bad_alloc();
        }
        void* grown = ResizeTableBlock(items, capacity * sizeof(T), wanted * sizeof(T));
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        items = static_cast<T*>(grown);
        capacity = wanted;
    }
    void push_back(const T& item) {
        if (count == capacity) {
            const T copy = item; // `item` may lie in the array that moves
            Grow(count + 1);
            items[count++] = copy;
            return;
        }
        items[count++] = item;
    }
    // New elements are value-initialised (zero for the records here).
    void resize(size_t n) { resize(n, T{}); }
    void resize(size_t n, const T& item) {
        if (n > count) {
            const T value = item;
            reserve(n);
            for (size_t i = count; i < n; ++i) {
                items[i] = value;
            }
        }
        count = n;
    }
    void assign(size_t n, const T& value) {
        count = 0;
        resize(n, value);
    }
    // Appends `n` copies of `value`.
    void insert(const T* position, size_t n, const T& item) {
        assert(position == end());
        (void)position;
        const T value = item;
        if (count + n > capacity) {
            Grow(count + n);
        }
        resize(count + n, value);
    }
    void clear() { count = 0; }
    void swap(Table& other) noexcept {
        std::swap(items, other.items);
        std::swap(count, other.count);
        std::swap(capacity, other.capacity);
    }

  private:
    void Grow(size_t needed) {
        size_t wanted = capacity < 16 ? 16 : capacity * 2;
        reserve(wanted > needed ? wanted : needed);
    }
    void Append(const T* from, size_t n) {
        reserve(count + n);
        if (n != 0) {
            std::memcpy(static_cast<void*>(items + count), from, n * sizeof(T));
        }
        count += n;
    }
};

// ----------------------------------------------------------- byte source ---

// A stream with C stdio's end-of-file semantics (the indicator is set by the
// read that finds no more bytes), reading a file through one reused block or
// a caller's memory. A read error is treated as the end and flagged.
struct ByteSource {
    std::FILE* file = nullptr;
    Table<unsigned char> block;          // file sources only
    const unsigned char* base = nullptr; // start of the current block (or of the memory)
    const unsigned char* pos = nullptr;
    const unsigned char* end = nullptr;
    uint64_t consumedBefore = 0; // bytes of the stream before the current block
    bool eof = false;
    bool error = false;
};

constexpr size_t kSourceBlockSize = size_t{1} << 20;

// The caller keeps `file` open and closes it; the block is allocated here.
void InitFileSource(ByteSource& source, std::FILE* file);
void InitMemorySource(ByteSource& source, const void* data, size_t size);
// Bytes consumed so far (the read position).
uint64_t SourcePosition(const ByteSource& source);
// Reads up to `count` bytes; a short read sets the end-of-file indicator.
size_t ReadBytes(ByteSource& source, unsigned char* out, size_t count);
// Moves the read position forward; stops at the end without setting the
// indicator (as a seek does).
void SkipBytes(ByteSource& source, size_t count);

// Reads one line of at most capacity-1 bytes into `buffer`, NUL-terminated,
// without its line end; a line end is CR, LF, CR LF or LF CR. A longer line
// is split, its rest read by the next call. Returns null, leaving `buffer`
// untouched, when the end-of-file indicator is already set on entry.
char* ReadTextLine(char* buffer, int32_t capacity, ByteSource& source);

// ------------------------------------------------------------ conversions ---

// Leading white space, optional sign, decimal digits; no digits gives 0.
// Values beyond 32 bits clamp to INT32_MIN / INT32_MAX.
int32_t ParseInteger(const char* text);
// Leading white space, then the longest prefix forming a decimal number with
// optional "e", "E", "d" or "D" exponent, point as separator whatever the
// locale; no number gives 0.0; beyond the double range gives an infinity of
// the sign (an underflow gives a zero of the sign).
double ParseReal(const char* text);
// The same by strtod in the C locale's manner: what a C++ library without a
// floating-point std::from_chars (the WebAssembly build's) uses, and what the
// tests compare the other way with.
double ParseRealByStrtod(const char* text);
// Where the number that ParseReal (`real`) or ParseInteger reads from `text`
// ends; null when the text holds none (read as 0). For telling the user of a
// field that holds more than a number, or none.
const char* NumberEnd(const char* text, bool real);

// The decimal digits, whatever the locale.
inline bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// The common plain decimal ("-123.456789"): optional sign, digits, optional
// point and digits, at most 15 digits in all, at `p`. Returns the position
// after it and sets `value`, or returns null for anything else (no digit, a
// 16th digit). Its digits form an integer below 2^53 and its point a division
// by an exact power of ten, so one IEEE division gives the correctly rounded
// value, the one ParseReal gives for it. Reads no more than 20 bytes, so it may
// scan a buffer that is not terminated but holds that many.
inline const char* ScanPlainDecimal(const char* p, double& value) {
    constexpr double kExactPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = *p == '-';
    p += (*p == '+' || *p == '-') ? 1 : 0;
    uint64_t digits = 0;
    int32_t count = 0;
    int32_t fraction = 0;
    for (; count <= 15 && IsDecimalDigit(*p); ++p, ++count) {
        digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (*p == '.') {
        for (++p; count <= 15 && IsDecimalDigit(*p); ++p, ++count, ++fraction) {
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
        }
    }
    if (count == 0 || count > 15) {
        return nullptr;
    }
    const double magnitude = static_cast<double>(digits) / kExactPowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return p;
}

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

// What the reader left out or read as something else, for a host that wants
// to tell its user (the plug-in never does). `at` is the offset in the file of
// a byte of the line concerned; `value` is given per kind below.
enum class ReadNotice : int32_t {
    FaceLineOutOfRange,   // a face left out: it names line `value`, not in the table
    FaceBrokenLine,       // a face left out: line `value` has an end point out of range
    FaceColour,           // a face left out: colour index `value` outside 0..15
    FaceOpen,             // a face left out: its `value` lines do not close into a loop
    FaceNegativeCount,    // a face left out: line count `value` is negative
    FaceBeyondPointLimit, // a face not sent: it reaches point `value` (the host's limit)
    LineEndOutOfRange,    // a line with end point `value` outside the point table
    LineFaceBadLine,      // a line-list entry that made no line face: line `value` is
                          // not in the table or has an end point out of range
    LineFaceColour,       // ... no line face: colour index `value` outside 0..15
    EndInsideSection,     // the file ends inside section `value` (a ReadSection)
    NoNumber,             // a number field without a number, read as 0
    MoreThanNumber,       // a number field with more after the number
    UnknownLine,          // a line where a section keyword was expected
};
constexpr int32_t kReadNoticeKinds = 13;

// The host numbers points in 16 bits: a face reaching a point beyond this
// number is not sent and does not mark its colour in use.
constexpr int32_t kMaxSendablePoint = 65536;

// The sections a file can end inside, for ReadNotice::EndInsideSection.
enum ReadSection : int32_t {
    kSectionHeader, // before "POINT"
    kSectionPoints, // before "LINE0"
    kSectionLines,  // before "FACE0"
    kSectionFaces,  // before "END00"
    kSectionPalette,
    kSectionBackground,
    kSectionLight,
    kSectionView,
    kSectionLineList,
};

// Told of each notice as the reader meets it, in file order within a
// section. Called only where the reading already branches off its usual
// path, so a reader without one pays nothing measurable.
struct ReadObserver {
    void (*notice)(void* context, ReadNotice kind, uint64_t at, int32_t value);
    void* context;
};

// Reads a model file from the start of `source` into `tables`, which must be
// empty, then groups the faces. `observer`, when not null, is told what was
// left out or read as something else; it changes nothing that is read. On kReadOk, when
// `suggestedLoadTarget` is not null, writes the proposed load target (which may lie outside 0..2)
// and the proposed double-sided flag (then `suggestedDoubleSided` must not be null).
//
// Bounds: no count in the file makes the reader allocate or loop beyond what
// the file's size justifies. A face record cut by the end of the file repeats
// the last line read for its missing index lines, but keeps at most as many
// entries as the file has bytes (a complete record never has more).
ReadResult ReadModelFile(ByteSource& source, ModelTables& tables, int32_t* suggestedLoadTarget,
                         int32_t* suggestedDoubleSided, const ReadObserver* observer = nullptr);

// Reads as ReadModelFile does and tells `observer` the same notices, for a
// host that only wants to know what the reader leaves out: the points and
// lines are kept (the notices count them), the faces are checked but not
// stored, and nothing is grouped. `tables` must be empty.
ReadResult CheckModelFile(ByteSource& source, ModelTables& tables, const ReadObserver& observer);

// Frees every table; harmless on empty tables. lineFaceCount and
// lineEntryCount are left as they are.
void ReleaseModel(ModelTables& tables);
