#include "pipeline/Damage.h"

#include "pipeline/NoticeText.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

KeptLine Keep(const ReadNotice& n) {
    KeptLine kept;
    kept.line = n.line;
    kept.size = std::clamp(n.textSize, 0, kLineLimit);
    if (n.text != nullptr)
        std::memcpy(kept.text.data(), n.text, static_cast<size_t>(kept.size));
    return kept;
}

std::string_view TextOf(const KeptLine& kept) {
    return {kept.text.data(), static_cast<size_t>(kept.size)};
}

// Keeps the finding when it comes before every other: where the reader lost
// the file's structure first.
void Consider(DamageTally& t, const DamageFinding& f) {
    if (t.earliest.kind == DamageKind::None || f.where.line < t.earliest.where.line)
        t.earliest = f;
}

bool IsBadReference(ReadNoticeKind kind) {
    return kind == ReadNoticeKind::FaceLineOutOfRange || kind == ReadNoticeKind::FaceBrokenLine ||
           kind == ReadNoticeKind::LineEndOutOfRange || kind == ReadNoticeKind::LineFaceBadLine;
}

// A number field read wrong: a misspelt keyword, a keyword out of step, or
// a number the reader could not read.
void TallyNumberField(DamageTally& t, const ReadNotice& n) {
    const size_t size = static_cast<size_t>(std::clamp(n.textSize, 0, kLineLimit));
    if (KeywordButForSpelling(n.text, size) != nullptr) {
        if (t.pending.kind == DamageKind::None)
            t.pending = {DamageKind::MisspeltKeyword, Keep(n)};
        return;
    }
    if (n.kind == ReadNoticeKind::NoNumber) {
        for (const SectionKeywords& k : kSectionKeywords) {
            for (const char* keyword : {k.opening, k.closing}) {
                if (keyword != nullptr && std::strlen(keyword) == size &&
                    std::memcmp(keyword, n.text, size) == 0) {
                    if (t.pending.kind == DamageKind::None) {
                        // A long line before it split into two, which put the
                        // records after it out of step.
                        t.pending = {DamageKind::OutOfStep,
                                     t.longLine.line != 0 ? t.longLine : Keep(n)};
                        t.pending.length = t.longLine.line != 0 ? t.longLineLength : 0;
                    }
                    return;
                }
            }
        }
    }
    ++(n.value != 0 ? t.unreadableReals : t.unreadableIntegers);
    const bool comma = IsDecimalCommaNumber(n.text, size);
    if (t.firstUnreadable.line == 0) {
        t.firstUnreadable = Keep(n);
        t.unreadableCommas = comma;
    }
    t.unreadableCommas = t.unreadableCommas && comma;
}

bool MostlyUnreadable(int64_t unreadable, int64_t fields) {
    return fields > 0 &&
           static_cast<double>(unreadable) > kMostlyUnreadable * static_cast<double>(fields);
}

// A section is over (`n` tells which, with what it read): its findings are
// placed, and the next starts afresh.
void EndSection(DamageTally& t, const ReadNotice& n) {
    const int32_t section = n.value;
    const int32_t records = n.count;
    if (t.pending.kind != DamageKind::None) {
        t.pending.where.section = section;
        Consider(t, t.pending);
    }
    const auto reals = static_cast<int64_t>(n.number);
    const bool byReals = MostlyUnreadable(t.unreadableReals, reals);
    if (byReals || MostlyUnreadable(t.unreadableIntegers, n.integers)) {
        DamageFinding f{DamageKind::Unreadable, t.firstUnreadable,
                        byReals ? t.unreadableReals : t.unreadableIntegers,
                        byReals ? reals : n.integers};
        f.where.section = section;
        f.decimalCommas = t.unreadableCommas;
        Consider(t, f);
    }
    if (t.badReferences > kFewBadReferences &&
        static_cast<double>(t.badReferences) > kBadReferenceShare * records) {
        DamageFinding f{DamageKind::BadReferences, t.firstBadReference, t.badReferences, records};
        f.where.section = section;
        Consider(t, f);
    }
    const DamageFinding earliest = t.earliest;
    t = DamageTally{};
    t.earliest = earliest;
}

std::string Plural(int64_t n, const char* one, const char* many) {
    return Thousands(static_cast<uint64_t>(n)) + " " + (n == 1 ? one : many);
}

// "412 of 1,522 faces name lines the file does not hold".
std::string BadReferencesCause(const DamageFinding& f) {
    const char* what = f.where.section == kSectionLines   ? "lines name points"
                       : f.where.section == kSectionFaces ? "faces name lines"
                                                          : "line-list entries name lines";
    return Thousands(static_cast<uint64_t>(f.count)) + " of " +
           Thousands(static_cast<uint64_t>(f.of)) + " " + what +
           " the file does not hold, the first at line " +
           Thousands(static_cast<uint64_t>(f.where.line));
}

std::string UnreadableCause(const DamageFinding& f) {
    const std::string where =
        QuotedLine(TextOf(f.where)) + " at line " + Thousands(static_cast<uint64_t>(f.where.line));
    if (f.decimalCommas)
        return SectionWords(f.where.section) + " has its numbers written with decimal commas (" +
               where + "), and the reader reads each only up to the comma: save the file with " +
               "decimal points";
    return SectionWords(f.where.section) + " has " + Thousands(static_cast<uint64_t>(f.count)) +
           " of " + Plural(f.of, "number", "numbers") + " the reader cannot read, the first " +
           where;
}

std::string OutOfStepCause(const DamageFinding& f) {
    const std::string line = Thousands(static_cast<uint64_t>(f.where.line));
    if (f.length > 0)
        return "line " + line + " is " + Thousands(static_cast<uint64_t>(f.length)) +
               " characters long: the reader keeps " + std::to_string(kLineLimit) +
               " and reads the rest as a line of its own, so the records of " +
               SectionWords(f.where.section) + " after it are out of step";
    return "the keyword " + QuotedLine(TextOf(f.where)) + " at line " + line +
           " stands where a number of " + SectionWords(f.where.section) +
           " belongs: a record before it is incomplete, so the records after it are out of step";
}

} // namespace

bool IsDecimalCommaNumber(const char* text, size_t size) {
    size_t i = 0;
    if (i < size && (text[i] == '-' || text[i] == '+'))
        ++i;
    const auto digits = [&] {
        const size_t from = i;
        while (i < size && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > from;
    };
    if (!digits() || i >= size || text[i] != ',')
        return false;
    ++i;
    if (!digits())
        return false;
    while (i < size && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return i == size;
}

std::string MisspellingOf(const char* text, size_t size, const char* keyword) {
    const std::string_view line(text, size);
    const size_t start = line.find_first_not_of(" \t");
    const size_t end = line.find_last_not_of(" \t") + 1;
    // "a blank", "blanks", "a tab", "tabs", "blanks and tabs".
    const auto blanks = [](std::string_view run) {
        const bool blank = run.find(' ') != std::string_view::npos;
        const bool tab = run.find('\t') != std::string_view::npos;
        if (blank && tab)
            return std::string("blanks and tabs");
        const std::string one = blank ? "blank" : "tab";
        return run.size() == 1 ? "a " + one : one + "s";
    };
    std::string what;
    const auto add = [&what](const std::string& part) {
        what += (what.empty() ? "" : " and ") + part;
    };
    if (start > 0)
        add("has " + blanks(line.substr(0, start)) + " before it");
    if (end < size) {
        const std::string after = blanks(line.substr(end));
        add(after.rfind("a ", 0) == 0 ? "has a trailing " + after.substr(2)
                                      : "has trailing " + after);
    }
    const std::string_view word = line.substr(start, end - start);
    if (word != keyword)
        add(std::none_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; })
                ? "is in small letters"
                : "has small letters");
    if (word != keyword)
        return what + ": write it as \"" + keyword + "\"";
    return what + (start + (size - end) == 1 ? ": remove it" : ": remove them");
}

void TallyDamage(DamageTally& t, const ReadNotice& n) {
    switch (n.kind) {
    case ReadNoticeKind::NoNumber:
    case ReadNoticeKind::MoreThanNumber:
        TallyNumberField(t, n);
        return;
    case ReadNoticeKind::MisspeltKeyword:
        if (t.pending.kind == DamageKind::None)
            t.pending = {DamageKind::MisspeltKeyword, Keep(n)};
        return;
    case ReadNoticeKind::UnknownLine: {
        // Told only between sections: a misspelt keyword there loses the
        // section it would open.
        const size_t size = static_cast<size_t>(std::clamp(n.textSize, 0, kLineLimit));
        if (KeywordButForSpelling(n.text, size) != nullptr)
            Consider(t, {DamageKind::MisspeltKeyword, Keep(n)});
        return;
    }
    case ReadNoticeKind::LongLine:
        if (t.longLine.line == 0) {
            t.longLine = Keep(n);
            t.longLineLength = n.value;
        }
        return;
    case ReadNoticeKind::EndInsideSection:
        // A file that ends in its header holds no object: nothing to import,
        // unless a misspelt "POINT" is why.
        if (n.value != kSectionHeader) {
            DamageFinding f{DamageKind::CutShort, Keep(n)};
            f.where.section = n.value;
            Consider(t, f);
        }
        return;
    case ReadNoticeKind::SectionRead:
        EndSection(t, n);
        return;
    default:
        if (IsBadReference(n.kind) && t.badReferences++ == 0)
            t.firstBadReference = Keep(n);
        return;
    }
}

Damage DamageOf(const DamageTally& t) {
    const DamageFinding& f = t.earliest;
    Damage d;
    d.kind = f.kind;
    d.line = f.where.line;
    const std::string line = Thousands(static_cast<uint64_t>(f.where.line));
    switch (f.kind) {
    case DamageKind::None:
        break;
    case DamageKind::CutShort:
        d.cause = "the file ends at line " + line + ", inside " + SectionWords(f.where.section) +
                  ": the download or copy was cut short";
        break;
    case DamageKind::MisspeltKeyword: {
        const std::string_view text = TextOf(f.where);
        d.cause = "the keyword " + QuotedLine(text) + " at line " + line + " " +
                  MisspellingOf(text.data(), text.size(),
                                KeywordButForSpelling(text.data(), text.size()));
        break;
    }
    case DamageKind::OutOfStep:
        d.cause = OutOfStepCause(f);
        break;
    case DamageKind::Unreadable:
        d.cause = UnreadableCause(f);
        break;
    case DamageKind::BadReferences:
        d.cause = BadReferencesCause(f);
        break;
    }
    return d;
}
