// The reader's promises (see model/Model.h), checked without a test
// framework so that the fuzzers and the replay can use them: tables within
// their counts, every stored index in range, faces placed exactly once.
#pragma once

#include "model/Model.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Returns the first broken promise, empty if none.
inline std::string CheckTables(const ModelTables& t) {
    const int32_t points = PointCount(t), lines = LineCount(t), faces = FaceCount(t);
    for (const LineRecord& l : t.lines) {
        if (l.faceRefCount < 0 ||
            (l.faceRefCount > 2 &&
             (l.faceRef[0] < 0 ||
              int64_t{l.faceRef[0]} + l.faceRefCount > static_cast<int64_t>(t.faceRefs.size())))) {
            return "line: face references outside the table";
        }
        for (int32_t i = 0; i < l.faceRefCount; ++i) {
            const int32_t f = LineFaces(t, l)[i];
            if (f < 0 || f >= faces) {
                return "line: names a face that does not exist";
            }
        }
        if (l.faceUseCount < 0 || l.faceUseCount > l.faceRefCount || l.direction != 0) {
            return "line: use count or direction";
        }
    }
    for (const FaceRecord& f : t.faces) {
        if (f.lineCount < 0 || f.colourIndex < 0 || f.colourIndex >= kColourCount) {
            return "face: negative line count or colour outside 0..15";
        }
        if (f.lineCount > kInlineFaceLines &&
            (f.lineRef[0] < 0 ||
             int64_t{f.lineRef[0]} + f.lineCount > static_cast<int64_t>(t.faceLineRefs.size()))) {
            return "face: line references outside the table";
        }
        for (int32_t i = 0; i < f.lineCount; ++i) {
            const int32_t l = FaceLines(t, f)[i];
            if (l < 0 || l >= lines || !HasBothEnds(t.lines[static_cast<size_t>(l)], points)) {
                return "face: names a line that does not exist or is broken";
            }
        }
        if (f.group < 0 || f.group >= GroupCount(t)) {
            return "face: no group";
        }
    }
    if (t.lineFaceCount > faces || t.lineFaceCount > t.lineEntryCount || t.lineFaceCount < 0) {
        return "line face counts";
    }
    if (PaletteCount(t) > kMaxPaletteEntries) {
        return "palette longer than 16";
    }
    if (static_cast<int64_t>(t.faceOrder.size()) != faces) {
        return "face order length";
    }
    std::vector<int32_t> placed(static_cast<size_t>(faces), 0);
    for (int32_t f : t.faceOrder) {
        if (f < 0 || f >= faces || ++placed[static_cast<size_t>(f)] != 1) {
            return "face order: a face missing, repeated or unknown";
        }
    }
    int32_t next = 0;
    for (size_t g = 0; g < t.groups.size(); ++g) {
        const FaceGroup& group = t.groups[g];
        if (group.firstMember != next || group.memberCount <= 0) {
            return "group: members not contiguous";
        }
        for (int32_t i = 0; i < group.memberCount; ++i) {
            const int32_t f = t.faceOrder[static_cast<size_t>(next + i)];
            if (t.faces[static_cast<size_t>(f)].group != static_cast<int32_t>(g)) {
                return "group: member names another group";
            }
        }
        next += group.memberCount;
    }
    if (next != faces) {
        return "groups do not cover the faces";
    }
    return {};
}

// Reads `data` as a model file and checks the tables. The tables are released.
// Each notice a read tells, in order, with a copy of its text.
struct HeardNotice {
    ReadNotice notice;
    std::string text;
    bool operator==(const HeardNotice& o) const {
        const ReadNotice& a = notice;
        const ReadNotice& b = o.notice;
        return a.kind == b.kind && a.line == b.line && a.at == b.at && a.value == b.value &&
               a.count == b.count && std::memcmp(&a.number, &b.number, sizeof a.number) == 0 &&
               text == o.text;
    }
};
using HeardNotices = std::vector<HeardNotice>;

inline void HearNotice(void* context, const ReadNotice& notice) {
    HeardNotice heard{notice, std::string(notice.text != nullptr ? notice.text : "",
                                          static_cast<size_t>(notice.textSize))};
    heard.notice.text = nullptr;
    static_cast<HeardNotices*>(context)->push_back(std::move(heard));
}

// A read that only checks must tell what the full read tells, or the
// warnings of the host's route would disagree with the converter's.
inline std::string CheckChecking(const unsigned char* data, size_t size) {
    HeardNotices full, checked;
    const ReadObserver fullObserver{&HearNotice, &full};
    const ReadObserver checkObserver{&HearNotice, &checked};
    ByteSource source;
    ModelTables tables;
    InitMemorySource(source, data, size);
    const ReadResult read = ReadModelFile(source, tables, nullptr, nullptr, &fullObserver);
    ReleaseModel(tables);
    InitMemorySource(source, data, size);
    const ReadResult check = CheckModelFile(source, tables, checkObserver);
    ReleaseModel(tables);
    if (read != check || full != checked)
        return "checking only told other notices than reading";
    for (const HeardNotice& n : full) {
        if (n.notice.line < 1 || n.text.size() > static_cast<size_t>(kLineLimit))
            return "a notice without a line, or with more text than the reader holds";
    }
    return "";
}

inline std::string CheckReader(const unsigned char* data, size_t size) {
    ByteSource source;
    InitMemorySource(source, data, size);
    ModelTables tables;
    int32_t target = -100, doubleSided = -100;
    const ReadResult r = ReadModelFile(source, tables, &target, &doubleSided);
    std::string error;
    if (r == kReadOk) {
        error = CheckTables(tables);
        if (error.empty() && doubleSided != 0 && doubleSided != 1) {
            error = "double-sided suggestion not 0 or 1";
        }
    } else if (r == kReadNotModelFile) {
        if (!tables.points.empty() || target != -100 || doubleSided != -100) {
            error = "not a model file, yet tables or suggestions written";
        }
    } else {
        error = "read failed on memory input";
    }
    ReleaseModel(tables);
    return error.empty() ? CheckChecking(data, size) : error;
}
