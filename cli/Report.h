// What `ostrel` says on the terminal besides its outputs: failures and
// warnings on standard error, one line each, and the batch's progress line.
// Paths and names are shown by the rule for names, so that a Shift-JIS file
// name reads as text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `bytes` as text for the terminal: UTF-8 kept, otherwise decoded from the
// system's code page.
std::string ShownText(std::string_view bytes);

// "ostrel: SUBJECT: WHAT" (without the subject when it is empty).
void Fail(const std::string& subject, const std::string& what);
// "ostrel: warning: WHAT".
void Warn(const std::string& what);

// The batch progress line on standard error, "[3/12] name", rewritten in
// place; cleared before anything else is shown.
void ShowProgress(size_t done, size_t total, const std::string& model);
void ClearProgress();
