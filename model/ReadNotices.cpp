// What only a reader with an observer does off its usual path: count the
// line ends ReadTextLine consumes near the end of a block or of the file,
// and tell of a line cut after kLineLimit characters with its whole length,
// once its line end (or the end of the file) is read: the same moment of
// the reading wherever the file's blocks end.
#include "model/Reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool AllZero(const void* bytes, size_t size) {
    const auto* p = static_cast<const char*>(bytes);
    return std::all_of(p, p + size, [](char c) { return c == 0; });
}

} // namespace

void TellCut(Reader<true>& in, uint64_t endAt, bool ended) {
    LineTally& t = in.tally;
    t.cutPending = false;
    const uint64_t length = endAt - t.cutStart;
    if (!ended && length <= static_cast<uint64_t>(kLineLimit)) {
        return; // nothing after the characters kept
    }
    // Zero bytes up to the end of the file are padding, as MacBinary pads a
    // file to a multiple of 128 bytes: nothing was left out.
    if (!ended && t.cutAllZero) {
        return;
    }
    const int32_t told =
        static_cast<int32_t>(std::min<uint64_t>(length, std::numeric_limits<int32_t>::max()));
    in.observer->notice(in.observer->context,
                        ReadNotice{ReadNoticeKind::LongLine, t.cutEnds + 1, t.cutStart, told, 0, 0,
                                   t.cutText, kLineLimit, 0});
}

const char* KeywordButForSpelling(const char* text, size_t size) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t first = 0;
    while (first < size && blank(text[first])) {
        ++first;
    }
    size_t last = size;
    while (last > first && blank(text[last - 1])) {
        --last;
    }
    const size_t length = last - first;
    for (const SectionKeywords& k : kSectionKeywords) {
        for (const char* keyword : {k.opening, k.closing}) {
            if (keyword == nullptr || std::strlen(keyword) != length) {
                continue;
            }
            bool same = true;
            for (size_t i = 0; same && i < length; ++i) {
                const char c = text[first + i];
                same = (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == keyword[i];
            }
            // The exact keyword is the keyword itself, not a misspelling of it.
            if (same && (length != size || std::memcmp(text, keyword, length) != 0)) {
                return keyword;
            }
        }
    }
    return nullptr;
}

void MetCut(Reader<true>& in, const void* text) {
    LineTally& t = in.tally;
    t.openAt = t.ends;
    if (t.cutEnds == t.ends) {
        t.cutAllZero = t.cutAllZero && AllZero(text, kLineLimit);
        return; // a further piece of a line met before
    }
    t.cutEnds = t.ends;
    if (t.skipping) {
        return;
    }
    // The first line is always skipped: any other cut line starts with the
    // piece just read.
    t.cutStart = SourcePosition(in.source) - static_cast<uint64_t>(kLineLimit);
    std::memcpy(t.cutText, text, kLineLimit);
    t.cutAllZero = AllZero(text, kLineLimit);
    t.cutPending = true;
}

void ReadLineCounted(Reader<true>& in) {
    LineTally& t = in.tally;
    const uint64_t before = SourcePosition(in.source);
    LineRead read;
    if (ReadCountedLine(in.line, kLineBufferSize, in.source, read) == nullptr) {
        return; // past the end: the buffer keeps the last line
    }
    t.length = read.stored;
    if (read.ended) {
        ++t.ends;
        if (t.cutPending) {
            TellCut(in, before + static_cast<uint64_t>(read.stored), true);
        }
    } else if (read.stored == kLineLimit) {
        MetCut(in, in.line);
    } else {
        // The end of the file ended the read: a last line without a line
        // end is open; an empty read after the last line end stays with it.
        if (read.stored > 0) {
            t.openAt = t.ends;
        }
        t.cutAllZero = t.cutAllZero && AllZero(in.line, static_cast<size_t>(read.stored));
        if (t.cutPending) {
            TellCut(in, SourcePosition(in.source), false);
        }
    }
}
