#include "mesh/Mesh.h"
#include "model/Model.h"
#include "model/Reader.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <exception>
#include <vector>

namespace {

// Each section reader returns whether it met the keyword that closes it
// (otherwise the file ended inside it).
template <typename In> bool ReadPoints(In& in, ModelTables& t) {
    while (!in.AtEnd()) {
        PointRecord p{};
        if (!in.RecordStart(ClosingKeyword(kSectionPoints), p.value1)) {
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

template <typename In> bool ReadLines(In& in, ModelTables& t) {
    while (!in.AtEnd()) {
        LineRecord l{};
        NoticePlace record;
        if (!in.RecordStart(ClosingKeyword(kSectionLines), l.pointA, &record)) {
            return true;
        }
        l.pointB = in.NextInteger();
        l.value3 = static_cast<uint16_t>(in.NextInteger());
        l.value4 = static_cast<uint16_t>(in.NextInteger());
        if (In::kTells && !HasBothEnds(l, PointCount(t))) {
            const bool aInRange = l.pointA >= 1 && l.pointA <= PointCount(t);
            in.Notice(ReadNoticeKind::LineEndOutOfRange, record, aInRange ? l.pointB : l.pointA,
                      PointCount(t));
        }
        CheckRoom(t.lines);
        t.lines.push_back(l);
    }
    return false;
}

// Skips lines up to and including `keyword`; returns whether it was met.
template <typename In> bool SkipTo(In& in, const char* keyword) {
    in.Skipping(true);
    bool met = false;
    while (!met && !in.AtEnd()) {
        in.Next();
        met = in.Is(keyword);
    }
    in.Skipping(false);
    return met;
}

template <typename In> bool ReadPalette(In& in, ModelTables& t) {
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
    return SkipTo(in, ClosingKeyword(kSectionPalette));
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

// Reads the magic, after the header if the file has one. Returns kReadOk
// when it is there.
ReadResult ReadMagic(ByteSource& source) {
    unsigned char magic[kModelMagicSize] = {};
    size_t got = ReadBytes(source, magic, sizeof magic);
    if (got >= 1 && magic[0] == 0) {
        SkipBytes(source, kModelHeaderSize - sizeof magic);
        source.eof = false; // a seek clears the indicator
        got = ReadBytes(source, magic, sizeof magic);
    }
    if (got != sizeof magic || std::memcmp(magic, kModelMagic, sizeof magic) != 0) {
        return source.error ? kReadFailed : kReadNotModelFile;
    }
    return kReadOk;
}

// The sections after the magic.
template <typename In>
ReadResult ReadSections(In& in, ModelTables& t, int32_t* suggestedLoadTarget,
                        int32_t* suggestedDoubleSided) {
    int32_t viewLines = 1;
    int32_t viewFaces = 1;
    // The rest of the first line is skipped unread.
    in.Skipping(true);
    in.Next();
    in.Skipping(false);
    // Each section in turn; once the file has ended inside one, the later
    // ones find nothing to read.
    const auto section = [&in](bool closed, ReadSection which) {
        if (!closed) {
            in.Notice(ReadNoticeKind::EndInsideSection, in.LastPlace(), which);
        }
        return closed;
    };
    FaceNames overflow;
    if (section(SkipTo(in, ClosingKeyword(kSectionHeader)), kSectionHeader) &&
        section(ReadPoints(in, t), kSectionPoints) && section(ReadLines(in, t), kSectionLines)) {
        section(ReadFaces(in, t, overflow), kSectionFaces);
    }
    while (!in.AtEnd()) {
        in.Next();
        if (in.Is(OpeningKeyword(kSectionPalette))) {
            section(ReadPalette(in, t), kSectionPalette);
        } else if (in.Is(OpeningKeyword(kSectionBackground))) {
            section(SkipTo(in, ClosingKeyword(kSectionBackground)), kSectionBackground);
        } else if (in.Is(OpeningKeyword(kSectionLight))) {
            section(SkipTo(in, ClosingKeyword(kSectionLight)), kSectionLight);
        } else if (in.Is(OpeningKeyword(kSectionView))) {
            viewLines = in.NextInteger();
            viewFaces = in.NextInteger();
            section(SkipTo(in, ClosingKeyword(kSectionView)), kSectionView);
        } else if (in.Is(OpeningKeyword(kSectionLineList))) {
            section(ReadLineList(in, t, overflow), kSectionLineList);
        } else if (In::kTells && !IsBlank(in.line)) {
            in.NoticeLine(ReadNoticeKind::UnknownLine, 0, 0);
        }
    }
    if (in.source.error) {
        return kReadFailed;
    }
    if (!in.keepFaces) {
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

ReadResult ReadTables(ByteSource& source, ModelTables& t, int32_t* suggestedLoadTarget,
                      int32_t* suggestedDoubleSided, const ReadObserver* observer, bool keepFaces) {
    t.lineFaceCount = 0;
    t.lineEntryCount = 0;
    if (const ReadResult magic = ReadMagic(source); magic != kReadOk) {
        return magic;
    }
    if (observer != nullptr) {
        Reader<true> in{source, {}, observer, keepFaces};
        return ReadSections(in, t, suggestedLoadTarget, suggestedDoubleSided);
    }
    Reader<false> in{source, {}, nullptr, keepFaces};
    return ReadSections(in, t, suggestedLoadTarget, suggestedDoubleSided);
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
