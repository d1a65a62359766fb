#include "pipeline/Values.h"

#include "platform/TextCodec.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

template <size_t N>
bool ParseWord(const std::string& text, const char* const (&words)[N], int32_t& out) {
    const std::string word = AsciiLowercase(text);
    for (size_t i = 0; i < N; ++i) {
        if (word == words[i]) {
            out = static_cast<int32_t>(i);
            return true;
        }
    }
    return false;
}

bool StartsWithSpace(const std::string& text) {
    return text.empty() || std::strchr(" \t\n\r\f\v", text[0]) != nullptr;
}

// The whole of `text` read by `convert` (strtod, strtoll): no leading
// white space, nothing left over, nothing out of range.
template <typename T, typename Convert>
bool ParseWhole(const std::string& text, Convert convert, T& value) {
    if (StartsWithSpace(text))
        return false;
    errno = 0;
    char* end = nullptr;
    value = convert(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno != ERANGE;
}

} // namespace

bool ParseLoadTarget(const std::string& text, int32_t& out) {
    return ParseWord(text, kLoadWords, out);
}

bool ParseColourSet(const std::string& text, int32_t& out) {
    return ParseWord(text, kColourWords, out);
}

bool ParseOnOff(const std::string& text, int32_t& out) {
    static const char* const kOff[] = {"off", "no", "0", "false"};
    static const char* const kOn[] = {"on", "yes", "1", "true"};
    int32_t unused = 0;
    if (ParseWord(text, kOn, unused)) {
        out = 1;
        return true;
    }
    if (ParseWord(text, kOff, unused)) {
        out = 0;
        return true;
    }
    return false;
}

bool ParseFiniteDouble(const std::string& text, double& out) {
    double value = 0;
    const auto real = [](const char* p, char** end) { return std::strtod(p, end); };
    if (!ParseWhole(text, real, value) || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool ParsePositiveDouble(const std::string& text, double& out) {
    double value = 0;
    if (!ParseFiniteDouble(text, value) || !(value > 0))
        return false;
    out = value;
    return true;
}

bool ParseInt32(const std::string& text, int32_t& out) {
    long long value = 0;
    const auto decimal = [](const char* p, char** end) { return std::strtoll(p, end, 10); };
    if (!ParseWhole(text, decimal, value) || value < INT32_MIN || value > INT32_MAX)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool ParseScreenSize(const std::string& text, int32_t& width, int32_t& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    const std::string w = text.substr(0, x);
    const std::string h = text.substr(x + 1);
    int32_t wv = 0, hv = 0;
    if (w.empty() || h.empty() || w[0] < '0' || w[0] > '9' || h[0] < '0' || h[0] > '9')
        return false;
    if (!ParseInt32(w, wv) || !ParseInt32(h, hv))
        return false;
    width = wv;
    height = hv;
    return true;
}
