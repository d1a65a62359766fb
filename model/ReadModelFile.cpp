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
