// The reader's sections, made once for each reader: without an observer in
// ReadModelFile.cpp (the plug-in's reading), with one in ReadObserved.cpp.
// Private to model/: each of those files makes its own reader of these
// bodies, so that the module, which reads without an observer, links nothing
// of the other. All of it is internal to the file that includes it (an
// unnamed namespace), as it would be were it written there.
#pragma once

#include "mesh/Mesh.h"
#include "model/Model.h"
#include "model/Reader.h"

#include <algorithm>
#include <cassert>
#include <exception>

// Reads the magic, after the header if the file has one. Returns kReadOk
// when it is there. (ReadModelFile.cpp)
ReadResult ReadMagic(ByteSource& source);

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
// Out of line: the sections call it in many places, none of them hot, and
// inlined there it costs the usual records' loops more than the calls do.
template <typename In> [[gnu::noinline]] bool SkipTo(In& in, const char* keyword) {
    in.Skipping(true);
    bool met = false;
    while (!met && !in.AtEnd()) {
        in.Next();
        met = in.Is(keyword);
        if (In::kTells && !met) {
            in.CheckSkippedLine();
        }
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
inline bool IsBlank(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\v' && *text != '\f') {
            return false;
        }
    }
    return true;
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
        in.SectionEnd(which);
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

// Reads, or checks only (`keepFaces` false), with the reader with an
// observer (kObserved) or without; releases the tables when that fails.
template <bool kObserved>
ReadResult ReadOrCheck(ByteSource& source, ModelTables& t, int32_t* suggestedLoadTarget,
                       int32_t* suggestedDoubleSided, const ReadObserver* observer,
                       bool keepFaces) {
    try {
        t.lineFaceCount = 0;
        t.lineEntryCount = 0;
        ReadResult r = ReadMagic(source);
        if (r == kReadOk) {
            Reader<kObserved> in{source, {}, observer, keepFaces};
            r = ReadSections(in, t, suggestedLoadTarget, suggestedDoubleSided);
        }
        if (r == kReadFailed) {
            ReleaseModel(t);
        }
        return r;
    } catch (const std::exception&) {
        // std::bad_alloc or std::length_error from growing a table
        ReleaseModel(t);
        return kReadFailed;
    }
}

} // namespace
