#include "pipeline/ReadWarnings.h"

#include "pipeline/NoticeText.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

void Keep(NoticeCollector::Kept& kept, const ReadNotice& notice) {
    kept.notice = notice;
    kept.notice.textSize = std::clamp(notice.textSize, 0, kLineLimit);
    if (notice.text != nullptr)
        std::memcpy(kept.text.data(), notice.text, static_cast<size_t>(kept.notice.textSize));
    kept.notice.text = nullptr; // valid only during the call: `text` holds it
}

// Tallies the notice for the verdict. Keeps the first few of each kind with
// a copy of their text; `kept` has room for them all. Faces past the host's
// point limit are only counted: they are said in one line (WarningLines),
// as numbers written with a decimal comma are. A section read is no warning.
void CollectNotice(void* context, const ReadNotice& notice) {
    NoticeCollector& c = *static_cast<NoticeCollector*>(context);
    TallyDamage(c.damage, notice);
    if (notice.kind == ReadNoticeKind::SectionRead)
        return;
    if (notice.kind == ReadNoticeKind::MoreThanNumber &&
        IsDecimalCommaNumber(notice.text,
                             static_cast<size_t>(std::clamp(notice.textSize, 0, kLineLimit)))) {
        if (c.decimalCommas++ == 0)
            Keep(c.firstDecimalComma, notice);
        return;
    }
    if (c.counts[static_cast<size_t>(notice.kind)]++ >= kWarningsKeptPerKind ||
        notice.kind == ReadNoticeKind::FaceBeyondPointLimit || c.keptCount == c.kept.size())
        return;
    Keep(c.kept[c.keptCount++], notice);
}

std::string Keyword(const char* keyword) {
    return std::string("\"") + keyword + "\"";
}

std::string SectionName(int32_t section) {
    const auto which = static_cast<ReadSection>(std::clamp(section, 0, kSectionCount - 1));
    return SectionWords(section) + " (no " + Keyword(ClosingKeyword(which)) + " line)";
}

// What a number field was read as.
std::string ReadAs(const ReadNotice& n) {
    std::string out;
    if (n.value != 0)
        AppendGeneral(out, n.number, 17);
    else
        out = std::to_string(static_cast<int64_t>(n.number));
    return out;
}

std::string LongLine(const ReadNotice& n) {
    const std::string head = "line " + std::to_string(n.line) + " is " + std::to_string(n.value) +
                             " characters long: the reader keeps " + std::to_string(kLineLimit);
    return n.value == kLineLimit ? head + ", and reads its line end as an empty next line"
                                 : head + ", and the rest is read as the next line";
}

std::string Reason(const ReadNotice& n, std::string_view text) {
    const std::string value = std::to_string(n.value);
    const std::string count = std::to_string(n.count);
    // A keyword the reader does not see is named as such, whatever it was
    // read as.
    if (const char* keyword = KeywordButForSpelling(text.data(), text.size()))
        return "the keyword " + QuotedLine(text) + " " +
               MisspellingOf(text.data(), text.size(), keyword) +
               " (the reader does not take it for \"" + keyword + "\")";
    switch (n.kind) {
    case ReadNoticeKind::FaceLineOutOfRange:
        return "face left out: it names line " + value + ", and the line section has " + count +
               " lines";
    case ReadNoticeKind::FaceBrokenLine:
        return "face left out: it names line " + value +
               ", whose end points are not both among the " + count + " points";
    case ReadNoticeKind::FaceColour:
        return "face left out: colour index " + value + " is outside 0..15";
    case ReadNoticeKind::FaceOpen:
        return "face left out: its " + value + " lines do not close into a loop";
    case ReadNoticeKind::FaceNegativeCount:
        return "face left out: its line count " + value + " is negative";
    case ReadNoticeKind::FaceBeyondPointLimit: // counted only, and said once (WarningLines)
        return "";
    case ReadNoticeKind::LineEndOutOfRange:
        return "line with end point " + value + ", and the point section has " + count +
               " points: no face can use it";
    case ReadNoticeKind::LineFaceBadLine:
        return n.value >= 1 && n.value <= n.count
                   ? "line-list entry left out: line " + value + " has an end point out of range"
                   : "line-list entry left out: it names line " + value +
                         ", and the line section has " + count + " lines";
    case ReadNoticeKind::LineFaceColour:
        return "line-list entry left out: colour index " + value + " is outside 0..15";
    case ReadNoticeKind::EndInsideSection:
        return n.value == kSectionHeader ? "no " + Keyword(ClosingKeyword(kSectionHeader)) +
                                               " line: the file holds no object"
                                         : "the file ends inside " + SectionName(n.value);
    case ReadNoticeKind::NoNumber:
        return (text.empty() ? std::string("an empty line where a number belongs")
                             : "no number in " + QuotedLine(text)) +
               ": read as " + ReadAs(n);
    case ReadNoticeKind::MoreThanNumber:
        return "more than a number in " + QuotedLine(text) + ": read as " + ReadAs(n) +
               " (a decimal comma, or several numbers on one line?)";
    case ReadNoticeKind::UnknownLine:
        return "unknown line " + QuotedLine(text) + " where a section keyword belongs: skipped";
    case ReadNoticeKind::LongLine:
        return LongLine(n);
    case ReadNoticeKind::MisspeltKeyword: // a misspelt keyword: named above
    case ReadNoticeKind::SectionRead:     // no warning
        break;
    }
    return "";
}

// What "and N more" counts, per kind.
const char* KindSummary(ReadNoticeKind kind) {
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
        "lines longer than the reader keeps",
        "keywords spelt with blanks, tabs or small letters",
        "",
    };
    static_assert(std::size(kSummaries) == kReadNoticeKinds);
    return kSummaries[static_cast<size_t>(kind)];
}

// Why a read that only checks gave no warnings.
std::string NotReadReason(ReadResult result, bool readError) {
    if (readError)
        return "it could not be read again";
    if (result == kReadNotModelFile)
        return "it changed since it was imported";
    return "not enough memory to read it again";
}

ReadWarnings CheckedWarnings(ByteSource& source, bool widePoints) {
    NoticeCollector collector;
    ModelTables tables;
    const ReadResult result =
        CheckModelFile(source, tables, CollectorObserver(collector, widePoints));
    ReleaseModel(tables);
    if (result != kReadOk || source.error) {
        ReadWarnings warnings;
        warnings.notRead = NotReadReason(result, source.error);
        return warnings;
    }
    return WordedWarnings(collector);
}

} // namespace

ReadObserver CollectorObserver(NoticeCollector& collector, bool widePoints) {
    return {&CollectNotice, &collector, widePoints};
}

size_t ReadWarnings::Total() const {
    size_t total = decimalCommas;
    for (size_t kind = 0; kind < counts.size(); ++kind) {
        const bool once = static_cast<ReadNoticeKind>(kind) == ReadNoticeKind::FaceBeyondPointLimit;
        total += once ? std::min<size_t>(counts[kind], 1) : counts[kind];
    }
    return total;
}

ReadWarnings WordedWarnings(const NoticeCollector& collector) {
    // In file order: by the byte each stands at, a long line before what
    // else is told of it.
    std::vector<const NoticeCollector::Kept*> order;
    for (size_t i = 0; i < collector.keptCount; ++i)
        order.push_back(&collector.kept[i]);
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
        if (a->notice.at != b->notice.at)
            return a->notice.at < b->notice.at;
        return a->notice.kind == ReadNoticeKind::LongLine &&
               b->notice.kind != ReadNoticeKind::LongLine;
    });
    ReadWarnings warnings;
    for (const NoticeCollector::Kept* k : order) {
        const std::string_view text(k->text.data(), static_cast<size_t>(k->notice.textSize));
        warnings.kept.push_back({k->notice.kind, k->notice.line, Reason(k->notice, text)});
    }
    warnings.counts = collector.counts;
    warnings.decimalCommas = collector.decimalCommas;
    if (const NoticeCollector::Kept& first = collector.firstDecimalComma;
        collector.decimalCommas != 0) {
        const std::string_view text(first.text.data(), static_cast<size_t>(first.notice.textSize));
        warnings.firstDecimalComma = {
            ReadNoticeKind::MoreThanNumber, first.notice.line,
            (collector.decimalCommas == 1
                 ? "a number is written with a decimal comma, " + QuotedLine(text) +
                       ": the reader reads it"
                 : Thousands(collector.decimalCommas) +
                       " numbers are written with a decimal comma, the first " + QuotedLine(text) +
                       ": the reader reads each") +
                " only up to the comma (save the file with decimal points)"};
    }
    warnings.damage = DamageOf(collector.damage);
    return warnings;
}

ReadWarnings CollectReadWarnings(std::string_view bytes, bool widePoints) {
    ByteSource source;
    InitMemorySource(source, bytes.data(), bytes.size());
    return CheckedWarnings(source, widePoints);
}

ReadWarnings CollectReadWarningsFromFile(const std::string& path, bool widePoints) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        ReadWarnings warnings;
        warnings.notRead = "it could not be opened again";
        return warnings;
    }
    struct Closer {
        std::FILE* file;
        ~Closer() { std::fclose(file); }
    } closer{file};
    ByteSource source;
    InitFileSource(source, file);
    return CheckedWarnings(source, widePoints);
}

std::vector<std::string> WarningLines(const ReadWarnings& warnings, const std::string& name) {
    std::vector<std::string> out;
    if (!warnings.notRead.empty())
        out.push_back(name + ": not read for warnings: " + warnings.notRead);
    // In file order, the decimal commas' one line among the others.
    const auto line = [&name](const ReadWarning& w) {
        return name + ":" + std::to_string(w.line) + ": " + w.reason;
    };
    bool commasTold = warnings.decimalCommas == 0;
    for (const ReadWarning& w : warnings.kept) {
        if (!commasTold && warnings.firstDecimalComma.line < w.line) {
            out.push_back(line(warnings.firstDecimalComma));
            commasTold = true;
        }
        out.push_back(line(w));
    }
    if (!commasTold)
        out.push_back(line(warnings.firstDecimalComma));
    if (const size_t beyond =
            warnings.counts[static_cast<size_t>(ReadNoticeKind::FaceBeyondPointLimit)];
        beyond != 0)
        out.push_back(name + ": " + std::to_string(beyond) + (beyond == 1 ? " face" : " faces") +
                      " not sent to the host: the host numbers points in 16 bits, up to " +
                      std::to_string(kMaxSendablePoint) + ", and " +
                      (beyond == 1 ? "it uses" : "they use") +
                      " points past that (an output file holds every face)");
    for (size_t kind = 0; kind < warnings.counts.size(); ++kind) {
        const size_t count = warnings.counts[kind];
        if (count > kWarningsKeptPerKind &&
            static_cast<ReadNoticeKind>(kind) != ReadNoticeKind::FaceBeyondPointLimit)
            out.push_back(name + ": and " + std::to_string(count - kWarningsKeptPerKind) +
                          " more " + KindSummary(static_cast<ReadNoticeKind>(kind)));
    }
    return out;
}

std::string DescribeNotModelFile(std::string_view bytes) {
    const std::string magic = Keyword(kModelMagic);
    if (bytes.empty())
        return "the file is empty";
    const auto startsWith = [&bytes](std::string_view prefix) {
        return bytes.substr(0, prefix.size()) == prefix;
    };
    if (startsWith("\xEF\xBB\xBF"))
        return bytes.substr(3, kModelMagicSize) == kModelMagic
                   ? "it starts with a byte-order mark before " + magic +
                         " (as Notepad saves UTF-8): save it without one"
                   : "it starts with a byte-order mark, not " + magic;
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF"))
        return "it is UTF-16 text: save it as ANSI or UTF-8 text starting with " + magic;
    if (bytes[0] == '\0') {
        // The reader skips a header that starts with a zero byte.
        if (bytes.size() <= kModelHeaderSize)
            return "it holds binary data, not " + magic;
        return "after its " + std::to_string(kModelHeaderSize) + "-byte header, " +
               DescribeNotModelFile(bytes.substr(kModelHeaderSize));
    }
    bytes = bytes.substr(0, kDescribedBytes - kModelHeaderSize);
    const size_t firstEnd = std::min(bytes.find_first_of("\r\n"), bytes.size());
    const std::string_view first = bytes.substr(0, firstEnd);
    if (first.find_first_not_of(" \t\f\v") == std::string_view::npos)
        return "its first line is blank: " + magic + " must start the file";
    const size_t sample = std::min<size_t>(bytes.size(), 256);
    for (size_t i = 0; i < sample; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v')
            return "it holds binary data, not text starting with " + magic;
    }
    const size_t text = first.find_first_not_of(" \t\f\v");
    if (text != 0 && first.substr(text, kModelMagicSize) == kModelMagic)
        return "it starts with white space before " + magic + ", which must start the file";
    return "it starts with " + QuotedLine(first) + ", not " + magic;
}
