// The reader's private parts, shared by its sources: the line reader over
// the byte source, the number lines converted in place, and the checks and
// records the sections share. Only model/ includes this.
#pragma once

#include "model/Model.h"
#include "model/NumberParsing.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

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

constexpr int32_t kLineBufferSize = kLineLimit + 1;

// Where a notice stands: ReadNotice::at and ReadNotice::line.
struct NoticePlace {
    uint64_t at = 0;
    int64_t line = 0;
};

// What a reader with an observer keeps to say where it is: the line ends it
// has consumed, and the last line it cut after kLineLimit characters, told
// once its line end is read and its whole length known.
struct LineTally {
    int64_t ends = 0; // line ends consumed since the magic
    // `ends` when the last read left its line open: cut, or ended by the end
    // of the file. The magic's line is open until its rest is read.
    int64_t openAt = 0;
    int32_t length = 0;    // bytes of the line buffer, after Next
    bool skipping = false; // lines are only compared with a keyword: cuts untold
    int64_t cutEnds = -1;  // `ends` while in the last line cut
    bool cutPending = false;
    uint64_t cutStart = 0; // the offset of its first byte
    char cutText[kLineLimit];
    bool cutAllZero = false; // every byte of the cut line read so far is zero
    // What the current section has read: records begun, number fields.
    int32_t records = 0;
    int64_t integers = 0;
    int64_t reals = 0;
};

template <bool kObserved> struct Reader;
// The parts of a reader with an observer that run off the usual path
// (ReadNotices.cpp): a line read near the end of a block or of the file,
// counted; a line cut after kLineLimit characters, `text` its first ones;
// the end of that line at offset `endAt`, by a line end or the file's end.
void ReadLineCounted(Reader<true>& in);
void MetCut(Reader<true>& in, const void* text);
void TellCut(Reader<true>& in, uint64_t endAt, bool ended);

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
//
// With an observer (kObserved) the reader also counts the line ends it
// consumes and keeps its tally; without one it is the same code without
// them, so that the plug-in's reading pays nothing for what it never tells.
template <bool kObserved> struct Reader {
    static constexpr bool kTells = kObserved;
    ByteSource& source;
    char line[kLineBufferSize + 8];
    const ReadObserver* observer; // not null exactly when kObserved
    bool keepFaces;               // false: faces are checked, not stored
    LineTally tally{};            // kObserved only

    // The offset of a byte of the line last read: its last byte, or its line
    // end (after the end of the file: the last line's).
    uint64_t LastLineAt() const {
        const uint64_t position = SourcePosition(source);
        return position == 0 ? 0 : position - 1;
    }
    // The number of the line last read; a cut line's rest is the same line.
    int64_t LastLine() const { return tally.openAt == tally.ends ? tally.ends + 1 : tally.ends; }
    NoticePlace LastPlace() const {
        if constexpr (kObserved) {
            return {LastLineAt(), LastLine()};
        }
        return {};
    }
    // Tells of a record, or a line, as a whole.
    void Notice(ReadNoticeKind kind, NoticePlace where, int32_t value, int32_t count = 0) const {
        if constexpr (kObserved) {
            observer->notice(observer->context, ReadNotice{kind, where.line, where.at, value, count,
                                                           0, nullptr, 0, 0});
        }
    }
    // Tells of the line just read by Next, with its text.
    void NoticeLine(ReadNoticeKind kind, int32_t value, double number) const {
        if constexpr (kObserved) {
            observer->notice(observer->context, ReadNotice{kind, LastLine(), LastLineAt(), value, 0,
                                                           number, line, tally.length, 0});
        }
    }
    // Tells that section `which` is over, with the records and the number
    // fields read in it.
    void SectionEnd([[maybe_unused]] ReadSection which) {
        if constexpr (kObserved) {
            const NoticePlace where = LastPlace();
            observer->notice(observer->context,
                             ReadNotice{ReadNoticeKind::SectionRead, where.line, where.at, which,
                                        tally.records, static_cast<double>(tally.reals), nullptr, 0,
                                        tally.integers});
            tally.records = 0;
            tally.integers = 0;
            tally.reals = 0;
        }
    }
    // Tells of a line skipped on the way to a keyword that is a keyword but
    // for its spelling.
    void CheckSkippedLine() const {
        if constexpr (kObserved) {
            if (KeywordButForSpelling(line, static_cast<size_t>(tally.length)) != nullptr) {
                NoticeLine(ReadNoticeKind::MisspeltKeyword, 0, 0);
            }
        }
    }
    // Between these, lines are only compared with a keyword: a line cut
    // there is not told (its rest would be skipped as well).
    void Skipping(bool on) {
        if constexpr (kObserved) {
            tally.skipping = on;
        }
    }

    bool AtEnd() const { return source.eof; }
    // Whether the next line, with its look-ahead byte, certainly lies inside
    // the current block.
    bool InBlock() const { return !source.eof && source.end - source.pos >= kLineBufferSize + 8; }
    void ReadNearEnd() {
        if constexpr (kObserved) {
            ReadLineCounted(*this);
        } else {
            ReadTextLine(line, kLineBufferSize, source);
        }
    }
    void Next() {
        if (!InBlock()) {
            ReadNearEnd();
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
        if constexpr (kObserved) {
            tally.length = length;
        }
        if (length < kLineLimit) {
            EndLine(p + length);
        } else {
            source.pos = p + length; // the line end, if any, stays for the next read
            if constexpr (kObserved) {
                MetCut(*this, p);
            }
        }
    }
    // Reads a line that nothing looks at: the same line as Next, not copied.
    void Skip() {
        if (!InBlock()) {
            ReadNearEnd();
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
        if constexpr (kObserved) {
            MetCut(*this, p);
        }
    }
    // Moves past the CR or LF at `end` and the other byte of a pair.
    void EndLine(const unsigned char* end) {
        if constexpr (kObserved) {
            ++tally.ends;
            if (tally.cutPending) {
                TellCut(*this, source.consumedBefore + static_cast<uint64_t>(end - source.base),
                        true);
            }
        }
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
        if constexpr (kObserved) {
            ++tally.integers;
        }
        int32_t value;
        if (TryInteger(value)) {
            return value;
        }
        return NextIntegerInGeneral();
    }
    double NextReal() {
        if constexpr (kObserved) {
            ++tally.reals;
        }
        double value;
        if (TryReal(value)) {
            return value;
        }
        return NextRealInGeneral();
    }
    // Reads the first line of a record into `first`, or returns false when
    // that line is `keyword`, which ends the section. With an observer,
    // `record` (when not null) is where the record stands.
    bool RecordStart(const char* keyword, int32_t& first,
                     [[maybe_unused]] NoticePlace* record = nullptr) {
        [[maybe_unused]] const uint64_t at = kObserved ? SourcePosition(source) : 0;
        if (TryInteger(first)) {
            if constexpr (kObserved) {
                ++tally.records;
                ++tally.integers;
                if (record != nullptr) {
                    *record = {at, LastLine()};
                }
            }
            return true; // a number is never a keyword
        }
        const bool wasAtEnd = AtEnd();
        Next();
        if (Is(keyword)) {
            return false;
        }
        first = LineInteger(line);
        if constexpr (kObserved) {
            ++tally.records;
            ++tally.integers;
            if (record != nullptr) {
                *record = {at, LastLine()};
            }
            if (!wasAtEnd) {
                CheckNumberField(false, first);
            }
        }
        return true;
    }
    [[gnu::noinline]] int32_t NextIntegerInGeneral() {
        [[maybe_unused]] const bool wasAtEnd = AtEnd();
        Next();
        const int32_t value = LineInteger(line);
        if constexpr (kObserved) {
            if (!wasAtEnd) {
                CheckNumberField(false, value);
            }
        }
        return value;
    }
    [[gnu::noinline]] double NextRealInGeneral() {
        [[maybe_unused]] const bool wasAtEnd = AtEnd();
        Next();
        const double value = ParseReal(line);
        if constexpr (kObserved) {
            if (!wasAtEnd) {
                CheckNumberField(true, value);
            }
        }
        return value;
    }
    // Tells of a number field just read, as `value`, that holds no number or
    // more than one; an empty line at the very end is the end, not a field.
    void CheckNumberField(bool real, double value) const {
        if (AtEnd() && line[0] == '\0') {
            return;
        }
        const char* end = NumberEnd(line, real);
        if (end == nullptr) {
            NoticeLine(ReadNoticeKind::NoNumber, real ? 1 : 0, value);
            return;
        }
        while (*end == ' ' || *end == '\t' || *end == '\v' || *end == '\f') {
            ++end;
        }
        if (*end != '\0') {
            NoticeLine(ReadNoticeKind::MoreThanNumber, real ? 1 : 0, value);
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

// A 1-based line number that faces and line faces may name: in range and
// with both end points in the point table.
inline bool NamesSoundLine(const ModelTables& t, int32_t index) {
    return index >= 1 && index <= LineCount(t) &&
           HasBothEnds(t.lines[static_cast<size_t>(index - 1)], PointCount(t));
}

// The names of faces by the lines they name, beyond the two a line record
// holds: (line, face) pairs in reading order.
using FaceNames = std::vector<std::pair<int32_t, int32_t>>;

// The sections after the lines: each reader returns whether it met the
// keyword that closes it (otherwise the file ended inside it). One for each
// reader, in an object file of its own: ReadFaces.cpp without an observer,
// ReadObserved.cpp with one (the bodies are in ReadFaces.h).
bool ReadFaces(Reader<false>& in, ModelTables& t, FaceNames& overflow);
bool ReadFaces(Reader<true>& in, ModelTables& t, FaceNames& overflow);
bool ReadLineList(Reader<false>& in, ModelTables& t, FaceNames& overflow);
bool ReadLineList(Reader<true>& in, ModelTables& t, FaceNames& overflow);
// Moves the names set aside in `overflow` into faceRefs, once all is read.
void GatherFaceRefs(ModelTables& t, FaceNames& overflow);
