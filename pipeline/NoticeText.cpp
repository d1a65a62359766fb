#include "pipeline/NoticeText.h"

#include "model/Model.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <iterator>

std::string QuotedLine(std::string_view line) {
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

std::string SectionWords(int32_t section) {
    static constexpr const char* kNames[] = {
        "the header",       "the point section", "the line section",
        "the face section", "a palette section", "a background section",
        "a light section",  "a view section",    "a line-list section"};
    static_assert(std::size(kNames) == kSectionCount);
    return kNames[std::clamp(section, 0, kSectionCount - 1)];
}

std::string Thousands(uint64_t n) {
    std::string digits = std::to_string(n);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}
