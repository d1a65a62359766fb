// What only a reader with an observer does off its usual path: count the
// line ends ReadTextLine consumes near the end of a block or of the file,
// and tell of a line cut after kLineLimit characters with its whole length,
// which is known only where its line end (or the end of the file) is met.
#include "model/Reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

uint64_t OffsetOf(const ByteSource& source, const unsigned char* p) {
    return source.consumedBefore + static_cast<uint64_t>(p - source.base);
}

// Tells of the line cut last, which ends at `endAt`: by a line end
// (`ended`), or by the end of the file. A line of exactly kLineLimit
// characters at the very end has no rest: nothing was cut from it.
void TellCut(Reader<true>& in, uint64_t endAt, bool ended) {
    LineTally& t = in.tally;
    t.cutPending = false;
    const uint64_t length = endAt - t.cutStart;
    if (!ended && length <= static_cast<uint64_t>(kLineLimit)) {
        return;
    }
    const int32_t told =
        static_cast<int32_t>(std::min<uint64_t>(length, std::numeric_limits<int32_t>::max()));
    in.observer->notice(in.observer->context,
                        ReadNotice{ReadNoticeKind::LongLine, t.cutEnds + 1, t.cutStart, told, 0, 0,
                                   t.cutText, kLineLimit});
}

// Looks for the end of the line cut last in what the current block holds
// from the read position; when the block ends first and more may follow,
// the next read near the end of the block looks again.
void LookForCutEnd(Reader<true>& in) {
    const ByteSource& s = in.source;
    const unsigned char* end =
        std::find_if(s.pos, s.end, [](unsigned char c) { return c == '\r' || c == '\n'; });
    if (end != s.end) {
        TellCut(in, OffsetOf(s, end), true);
    } else if (s.file == nullptr || s.eof) {
        TellCut(in, OffsetOf(s, end), false); // the data ends with the line
    }
}

} // namespace

void MetCut(Reader<true>& in, const void* text) {
    LineTally& t = in.tally;
    t.openAt = t.ends;
    if (t.cutEnds == t.ends) {
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
    t.cutPending = true;
    LookForCutEnd(in);
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
        if (t.cutPending) {
            TellCut(in, SourcePosition(in.source), false);
        }
    }
    if (t.cutPending) {
        LookForCutEnd(in); // the read may have fetched the next block
    }
}
