#include "pipeline/ReadWarnings.h"

#include "model/NumberParsing.h"
#include "platform/NumberText.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cstring>

namespace {

struct Notice {
    ReadNotice kind;
    uint64_t at;
    int32_t value;
};

struct Collector {
    std::vector<Notice> kept;
    std::array<size_t, kReadNoticeKinds> counts{};
};

// Keeps the first few of each kind; `kept` has room for them all, so the
// reader is never interrupted by an allocation here. Faces past the host's
// point limit are only counted: they are said in one line (WarningLines).
void Collect(void* context, ReadNotice kind, uint64_t at, int32_t value) {
    Collector& c = *static_cast<Collector*>(context);
    if (c.counts[static_cast<size_t>(kind)]++ < kWarningsKeptPerKind &&
        kind != ReadNotice::FaceBeyondPointLimit)
        c.kept.push_back({kind, at, value});
}

// The lines of the file holding given offsets, found by a pass over its
// bytes fed block by block (the whole file at once, or as it is read), with
// the reader's line ends: CR, LF, CR LF or LF CR. An offset belongs to the
// line whose text or line end holds it; an offset at the very end, to the
// last line. Only the texts of those lines are kept, each once.
struct FoundLine {
    int64_t number;
    size_t text; // index into LineFinder::texts
};

struct LineFinder {
    std::vector<uint64_t> offsets; // ascending
    std::vector<FoundLine> found;  // one per offset, when done
    std::vector<std::string> texts;
    uint64_t fed = 0;    // bytes fed so far
    int64_t number = 1;  // of the line being read
    std::string carried; // its text from earlier blocks
    // The last block ended with a line end: `open` is that byte when its
    // pair (LF after CR, CR after LF) may still come; `last` is the line it
    // ended, which is the file's last if no byte follows.
    bool endedWithLine = false;
    char open = 0;
    std::string last;
};

bool AllFound(const LineFinder& f) {
    return f.found.size() == f.offsets.size();
}

// Gives line `number`, of text `text`, the offsets before `next`.
void Assign(LineFinder& f, uint64_t next, int64_t number, std::string_view text) {
    bool kept = false;
    while (!AllFound(f) && f.offsets[f.found.size()] < next) {
        if (!kept)
            f.texts.emplace_back(text);
        kept = true;
        f.found.push_back({number, f.texts.size() - 1});
    }
}

// Counts the lines from `i`, the start of a line, whose line end starts
// before `stop` (at most the block's last byte but one, so that a line end's
// pair can be looked at and the block goes on after it): returns where the
// line after the last of them starts. No branch on the bytes: large files
// have millions of short lines.
size_t SkipLines(std::string_view block, size_t i, size_t stop, int64_t& number) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(block.data());
    constexpr unsigned char kPairBits = '\r' ^ '\n'; // CR <-> LF
    size_t lineStart = i;
    int64_t ends = 0;
    while (i < stop) {
        const unsigned char c = p[i];
        const bool end = c == '\r' || c == '\n';
        const bool pair = end && p[i + 1] == (c ^ kPairBits);
        ends += end;
        i += 1 + static_cast<size_t>(pair);
        lineStart = end ? i : lineStart;
    }
    number += ends;
    return lineStart;
}

void Feed(LineFinder& f, std::string_view block) {
    size_t i = 0;
    if (f.open != 0 && !block.empty()) {
        if (block[0] == (f.open == '\r' ? '\n' : '\r')) {
            Assign(f, f.fed + 1, f.number - 1, f.last);
            i = 1;
        }
        f.open = 0;
    }
    if (i < block.size())
        f.endedWithLine = false;
    size_t start = i;
    while (i < block.size() && !AllFound(f)) {
        // Lines that end well before the next offset are only counted.
        const uint64_t target = f.offsets[f.found.size()];
        // The last line end of the block is left to the loop below: the
        // line it ends may be the file's last.
        if (i == start && f.carried.empty() && target > f.fed + i + 1 && block.size() > 2) {
            const size_t stop =
                static_cast<size_t>(std::min<uint64_t>(block.size() - 2, target - f.fed - 1));
            if (stop > i) {
                i = start = SkipLines(block, i, stop, f.number);
            }
        }
        const char c = block[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        size_t next = i + 1;
        if (next < block.size() && block[next] == (c == '\r' ? '\n' : '\r'))
            ++next;
        const uint64_t nextAt = f.fed + next;
        // The text is only formed when an offset lies in the line, or when
        // the line may be the file's last.
        if (!AllFound(f) && f.offsets[f.found.size()] < nextAt) {
            std::string text = f.carried;
            text.append(block.substr(start, i - start));
            Assign(f, nextAt, f.number, text);
            if (next == block.size())
                f.last = std::move(text);
        } else if (next == block.size()) {
            f.last = f.carried;
            f.last.append(block.substr(start, i - start));
        }
        if (next == block.size()) {
            f.endedWithLine = true;
            f.open = next == i + 1 ? c : 0;
        }
        f.carried.clear();
        ++f.number;
        i = next;
        start = next;
    }
    if (start < block.size() && !AllFound(f))
        f.carried.append(block.substr(start));
    f.fed += block.size();
}

// The lines of the offsets not yet placed: the file's last line.
void Finish(LineFinder& f) {
    if (f.endedWithLine)
        Assign(f, UINT64_MAX, f.number - 1, f.last);
    else
        Assign(f, UINT64_MAX, f.number, f.carried);
}

// A line's text for a message, quoted, as UTF-8: kept where it is UTF-8,
// else read as Shift-JIS, the model files' own text (the same on every
// system); at most 40 bytes of it. A tab shows as "\t", since one between
// two numbers is the likeliest thing in such a line and would otherwise
// look like a space; other control characters as "?".
std::string Quoted(std::string_view line) {
    std::string text;
    for (char c : NameAsUtf8(line, kShiftJisCodePage)) {
        if (c == '\t')
            text += "\\t";
        else
            text += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    }
    const std::string_view shown = Utf8Prefix(text, 40);
    return "\"" + std::string(shown) + (shown.size() < text.size() ? "...\"" : "\"");
}

const char* SectionName(int32_t section) {
    switch (section) {
    case kSectionPoints:
        return "the point section (no \"LINE0\" line)";
    case kSectionLines:
        return "the line section (no \"FACE0\" line)";
    case kSectionFaces:
        return "the face section (no \"END00\" line)";
    case kSectionPalette:
        return "a palette section (no \"ENDP0\" line)";
    case kSectionBackground:
        return "a background section (no \"ENDB0\" line)";
    case kSectionLight:
        return "a light section (no \"ENDL0\" line)";
    case kSectionView:
        return "a view section (no \"ENDV0\" line)";
    default:
        return "a line-list section (no \"ENDL2\" line)";
    }
}

// What a number field was read as, by the reader's own conversions.
std::string ReadAs(std::string_view line, bool real) {
    // The reader sees at most 79 bytes of a line.
    const std::string text(line.substr(0, 79));
    std::string out;
    if (real)
        AppendGeneral(out, ParseReal(text.c_str()), 17);
    else
        out = std::to_string(ParseInteger(text.c_str()));
    return out;
}

std::string Reason(const Notice& n, std::string_view line, const ModelTables& t) {
    const std::string value = std::to_string(n.value);
    const std::string points = std::to_string(PointCount(t));
    const std::string lines = std::to_string(LineCount(t));
    switch (n.kind) {
    case ReadNotice::FaceLineOutOfRange:
        return "face left out: it names line " + value + ", and the line section has " + lines +
               " lines";
    case ReadNotice::FaceBrokenLine:
        return "face left out: it names line " + value +
               ", whose end points are not both among the " + points + " points";
    case ReadNotice::FaceColour:
        return "face left out: colour index " + value + " is outside 0..15";
    case ReadNotice::FaceOpen:
        return "face left out: its " + value + " lines do not close into a loop";
    case ReadNotice::FaceNegativeCount:
        return "face left out: its line count " + value + " is negative";
    case ReadNotice::FaceBeyondPointLimit: // counted only, and said once (WarningLines)
        return "";
    case ReadNotice::LineEndOutOfRange:
        return "line with end point " + value + ", and the point section has " + points +
               " points: no face can use it";
    case ReadNotice::LineFaceBadLine:
        return n.value >= 1 && n.value <= LineCount(t)
                   ? "line-list entry left out: line " + value + " has an end point out of range"
                   : "line-list entry left out: it names line " + value +
                         ", and the line section has " + lines + " lines";
    case ReadNotice::LineFaceColour:
        return "line-list entry left out: colour index " + value + " is outside 0..15";
    case ReadNotice::EndInsideSection:
        return n.value == kSectionHeader
                   ? std::string("no \"POINT\" line: the file holds no object")
                   : std::string("the file ends inside ") + SectionName(n.value);
    case ReadNotice::NoNumber:
        return line.empty() ? "an empty line where a number belongs: read as 0"
                            : "no number in " + Quoted(line) + ": read as 0";
    case ReadNotice::MoreThanNumber:
        return "more than a number in " + Quoted(line) + ": read as " + ReadAs(line, n.value != 0) +
               " (a decimal comma, or several numbers on one line?)";
    case ReadNotice::UnknownLine:
        return "unknown line " + Quoted(line) + " where a section keyword belongs: skipped";
    }
    return "";
}

// What "and N more" counts, per kind.
const char* KindSummary(ReadNotice kind) {
    constexpr const char* kSummaries[] = {
        "faces naming a line out of range",
        "faces naming a line with an end point out of range",
        "faces with a colour index outside 0..15",
        "faces whose lines do not close",
        "faces with a negative line count",
        "faces beyond the host's point limit",
        "lines with an end point out of range",
        "line-list entries naming a line out of range",
        "line-list entries with a colour index outside 0..15",
        "sections cut off",
        "number fields without a number",
        "number fields holding more than a number",
        "unknown lines",
    };
    static_assert(std::size(kSummaries) == kReadNoticeKinds);
    return kSummaries[static_cast<size_t>(kind)];
}

} // namespace

size_t ReadWarnings::Total() const {
    size_t total = 0;
    for (size_t kind = 0; kind < counts.size(); ++kind) {
        const bool once = static_cast<ReadNotice>(kind) == ReadNotice::FaceBeyondPointLimit;
        total += once ? std::min<size_t>(counts[kind], 1) : counts[kind];
    }
    return total;
}

namespace {

// Reads the model from `source` with an observer; the kept notices in file
// order. False when the reader failed (the import itself says what went
// wrong). `tables` hold what the messages count.
bool ReadNotices(ByteSource& source, ModelTables& tables, bool widePoints,
                 std::vector<Notice>& kept, std::array<size_t, kReadNoticeKinds>& counts) {
    Collector collector;
    collector.kept.reserve(kWarningsKeptPerKind * kReadNoticeKinds);
    const ReadObserver observer{&Collect, &collector, widePoints};
    if (CheckModelFile(source, tables, observer) != kReadOk)
        return false;
    std::stable_sort(collector.kept.begin(), collector.kept.end(),
                     [](const Notice& a, const Notice& b) { return a.at < b.at; });
    kept = std::move(collector.kept);
    counts = collector.counts;
    return true;
}

LineFinder FinderFor(const std::vector<Notice>& kept) {
    LineFinder finder;
    for (const Notice& n : kept)
        finder.offsets.push_back(n.at);
    return finder;
}

ReadWarnings Worded(const std::vector<Notice>& kept,
                    const std::array<size_t, kReadNoticeKinds>& counts, const LineFinder& lines,
                    const ModelTables& tables) {
    ReadWarnings warnings;
    for (size_t i = 0; i < kept.size(); ++i) {
        const FoundLine& line = lines.found[i];
        warnings.kept.push_back(
            {kept[i].kind, line.number, Reason(kept[i], lines.texts[line.text], tables)});
    }
    warnings.counts = counts;
    return warnings;
}

} // namespace

ReadWarnings CollectReadWarnings(std::string_view bytes, bool widePoints) {
    ByteSource source;
    InitMemorySource(source, bytes.data(), bytes.size());
    ModelTables tables;
    std::vector<Notice> kept;
    std::array<size_t, kReadNoticeKinds> counts{};
    if (!ReadNotices(source, tables, widePoints, kept, counts))
        return {};
    LineFinder lines = FinderFor(kept);
    Feed(lines, bytes);
    Finish(lines);
    ReadWarnings warnings = Worded(kept, counts, lines, tables);
    ReleaseModel(tables);
    return warnings;
}

bool CollectReadWarningsFromFile(const std::string& path, ReadWarnings& warnings, bool widePoints) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    ModelTables tables;
    std::vector<Notice> kept;
    std::array<size_t, kReadNoticeKinds> counts{};
    bool ok = true;
    {
        ByteSource source;
        InitFileSource(source, file);
        ok = ReadNotices(source, tables, widePoints, kept, counts) && !source.error;
    }
    // The lines of the kept notices: the file again from its start, up to
    // the last of them.
    LineFinder lines = FinderFor(kept);
    if (ok && !kept.empty()) {
        std::rewind(file);
        std::vector<char> block(kSourceBlockSize);
        size_t got;
        while (!AllFound(lines) && (got = std::fread(block.data(), 1, block.size(), file)) > 0)
            Feed(lines, std::string_view(block.data(), got));
        ok = !std::ferror(file);
        Finish(lines);
    }
    std::fclose(file);
    if (ok)
        warnings = Worded(kept, counts, lines, tables);
    ReleaseModel(tables);
    return ok;
}

std::vector<std::string> WarningLines(const ReadWarnings& warnings, const std::string& name) {
    std::vector<std::string> out;
    for (const ReadWarning& w : warnings.kept)
        out.push_back(name + ":" + std::to_string(w.line) + ": " + w.reason);
    if (const size_t beyond =
            warnings.counts[static_cast<size_t>(ReadNotice::FaceBeyondPointLimit)];
        beyond != 0)
        out.push_back(name + ": " + std::to_string(beyond) + (beyond == 1 ? " face" : " faces") +
                      " not sent to the host: the host numbers points in 16 bits, up to " +
                      std::to_string(kMaxSendablePoint) + ", and " +
                      (beyond == 1 ? "it uses" : "they use") +
                      " points past that (an output file holds every face)");
    for (size_t kind = 0; kind < warnings.counts.size(); ++kind) {
        const size_t count = warnings.counts[kind];
        if (count > kWarningsKeptPerKind &&
            static_cast<ReadNotice>(kind) != ReadNotice::FaceBeyondPointLimit)
            out.push_back(name + ": and " + std::to_string(count - kWarningsKeptPerKind) +
                          " more " + KindSummary(static_cast<ReadNotice>(kind)));
    }
    return out;
}

std::string DescribeNotModelFile(std::string_view bytes) {
    if (bytes.empty())
        return "the file is empty";
    const auto startsWith = [&bytes](std::string_view prefix) {
        return bytes.substr(0, prefix.size()) == prefix;
    };
    if (startsWith("\xEF\xBB\xBF"))
        return bytes.substr(3, 5) == "ROKU4"
                   ? "it starts with a byte-order mark before \"ROKU4\" (as Notepad saves "
                     "UTF-8): save it without one"
                   : "it starts with a byte-order mark, not \"ROKU4\"";
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF"))
        return "it is UTF-16 text: save it as ANSI or UTF-8 text starting with \"ROKU4\"";
    if (bytes[0] == '\0') {
        // The reader skips a 128-byte header that starts with a zero byte.
        if (bytes.size() <= 128)
            return "it holds binary data, not \"ROKU4\"";
        return "after its 128-byte header, " + DescribeNotModelFile(bytes.substr(128));
    }
    const size_t firstEnd = std::min(bytes.find_first_of("\r\n"), bytes.size());
    const std::string_view first = bytes.substr(0, firstEnd);
    if (first.find_first_not_of(" \t\f\v") == std::string_view::npos)
        return "its first line is blank: \"ROKU4\" must start the file";
    const size_t sample = std::min<size_t>(bytes.size(), 256);
    for (size_t i = 0; i < sample; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v')
            return "it holds binary data, not text starting with \"ROKU4\"";
    }
    const size_t text = first.find_first_not_of(" \t\f\v");
    if (text != 0 && first.substr(text, 5) == "ROKU4")
        return "it starts with white space before \"ROKU4\", which must start the file";
    return "it starts with " + Quoted(first) + ", not \"ROKU4\"";
}
