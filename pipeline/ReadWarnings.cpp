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
// reader is never interrupted by an allocation here.
void Collect(void* context, ReadNotice kind, uint64_t at, int32_t value) {
    Collector& c = *static_cast<Collector*>(context);
    if (c.counts[static_cast<size_t>(kind)]++ < kWarningsKeptPerKind)
        c.kept.push_back({kind, at, value});
}

// One line of the file: its number, and where its text starts and ends.
struct FileLine {
    int64_t number = 1;
    size_t start = 0;
    size_t end = 0; // its line end, or the end of the file
};

// The lines holding `offsets` (ascending), found in one pass with the
// reader's line ends: CR, LF, CR LF or LF CR.
std::vector<FileLine> LinesAt(std::string_view bytes, const std::vector<uint64_t>& offsets) {
    std::vector<FileLine> found;
    FileLine current;
    size_t i = 0;
    for (uint64_t offset : offsets) {
        const size_t target = static_cast<size_t>(std::min<uint64_t>(offset, bytes.size()));
        for (;;) {
            while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n')
                ++i;
            current.end = i;
            size_t next = i;
            if (i < bytes.size()) {
                next = i + 1;
                if (next < bytes.size() && bytes[next] == (bytes[i] == '\r' ? '\n' : '\r'))
                    ++next;
            }
            // The target lies in this line or its line end, or this is the
            // last line (an offset at the very end belongs to it).
            if (target < next || next >= bytes.size()) {
                i = current.start; // the next offset may lie in the same line
                break;
            }
            current.start = next;
            ++current.number;
            i = next;
        }
        found.push_back(current);
    }
    return found;
}

// A line's text for a message, quoted, as UTF-8: kept where it is UTF-8,
// else read as Shift-JIS, the model files' own text (the same on every
// system); at most 40 bytes of it. A tab shows as "\t", since one between
// two numbers is the likeliest thing in such a line and would otherwise
// look like a space; other control characters as "?".
std::string Quoted(std::string_view bytes, const FileLine& line) {
    std::string text;
    for (char c : NameAsUtf8(bytes.substr(line.start, line.end - line.start), kShiftJisCodePage)) {
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
std::string ReadAs(std::string_view bytes, const FileLine& line, bool real) {
    // The reader sees at most 79 bytes of a line.
    const std::string text(bytes.substr(line.start, std::min<size_t>(line.end - line.start, 79)));
    std::string out;
    if (real)
        AppendGeneral(out, ParseReal(text.c_str()), 17);
    else
        out = std::to_string(ParseInteger(text.c_str()));
    return out;
}

std::string Reason(const Notice& n, std::string_view bytes, const FileLine& line,
                   const ModelTables& t) {
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
    case ReadNotice::FaceBeyondPointLimit:
        return "face not sent: it uses point " + value +
               ", and the host numbers points only up to " + std::to_string(kMaxSendablePoint);
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
        return line.end == line.start ? "an empty line where a number belongs: read as 0"
                                      : "no number in " + Quoted(bytes, line) + ": read as 0";
    case ReadNotice::MoreThanNumber:
        return "more than a number in " + Quoted(bytes, line) + ": read as " +
               ReadAs(bytes, line, n.value != 0) +
               " (a decimal comma, or several numbers on one line?)";
    case ReadNotice::UnknownLine:
        return "unknown line " + Quoted(bytes, line) + " where a section keyword belongs: skipped";
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
    for (size_t n : counts)
        total += n;
    return total;
}

ReadWarnings CollectReadWarnings(std::string_view bytes) {
    Collector collector;
    collector.kept.reserve(kWarningsKeptPerKind * kReadNoticeKinds);
    const ReadObserver observer{&Collect, &collector};
    ByteSource source;
    InitMemorySource(source, bytes.data(), bytes.size());
    ModelTables tables;
    int32_t loadTarget = 0;
    int32_t doubleSided = 0;
    ReadWarnings warnings;
    if (ReadModelFile(source, tables, &loadTarget, &doubleSided, &observer) != kReadOk)
        return warnings; // the import itself says what went wrong
    std::stable_sort(collector.kept.begin(), collector.kept.end(),
                     [](const Notice& a, const Notice& b) { return a.at < b.at; });
    std::vector<uint64_t> offsets;
    for (const Notice& n : collector.kept)
        offsets.push_back(n.at);
    const std::vector<FileLine> lines = LinesAt(bytes, offsets);
    for (size_t i = 0; i < collector.kept.size(); ++i) {
        const Notice& n = collector.kept[i];
        warnings.kept.push_back({n.kind, lines[i].number, Reason(n, bytes, lines[i], tables)});
    }
    warnings.counts = collector.counts;
    ReleaseModel(tables);
    return warnings;
}

std::vector<std::string> WarningLines(const ReadWarnings& warnings, const std::string& name) {
    std::vector<std::string> out;
    for (const ReadWarning& w : warnings.kept)
        out.push_back(name + ":" + std::to_string(w.line) + ": " + w.reason);
    for (size_t kind = 0; kind < warnings.counts.size(); ++kind) {
        const size_t count = warnings.counts[kind];
        if (count > kWarningsKeptPerKind)
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
    return "it starts with " + Quoted(bytes, {1, 0, firstEnd}) + ", not \"ROKU4\"";
}
