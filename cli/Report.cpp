#include "cli/Report.h"

#include "platform/TextCodec.h"

#include <cstdio>

namespace {

bool gProgressShown = false;

void PrintLine(const std::string& line) {
    ClearProgress();
    std::fflush(stdout);
    std::fputs(ShownText(line).c_str(), stderr);
    std::fflush(stderr); // a buffered console would show it late
}

} // namespace

std::string ShownText(std::string_view bytes) {
    return NameAsUtf8(bytes, SystemCodePage());
}

void Fail(const std::string& subject, const std::string& what) {
    PrintLine("ostrel: " + (subject.empty() ? "" : subject + ": ") + what + "\n");
}

void Warn(const std::string& what) {
    PrintLine("ostrel: warning: " + what + "\n");
}

void ShowProgress(size_t done, size_t total, const std::string& model) {
    const std::string shown(Utf8Prefix(ShownText(model), 60));
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", done + 1, total, shown.c_str());
    std::fflush(stderr);
    gProgressShown = true;
}

void ClearProgress() {
    if (gProgressShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        gProgressShown = false;
    }
}
