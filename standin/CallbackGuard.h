// Nothing may unwind from a host callback into the plug-in: every callback
// body runs under GuardCallback, which keeps the first exception caught as
// the load's failure (Main reports it) and lets the call return normally.
#pragma once

#include <exception>
#include <new>
#include <string>

// Keeps only the first failure; `failure` may be null (no load in progress).
inline void NoteCallbackFailure(std::string* failure, const char* where,
                                const char* what) noexcept {
    if (failure == nullptr || !failure->empty())
        return;
    try {
        *failure = std::string(where) + ": " + what;
    } catch (...) {
    }
}

template <typename Body>
void GuardCallback(std::string* failure, const char* where, Body&& body) noexcept {
    try {
        body();
    } catch (const std::bad_alloc&) {
        NoteCallbackFailure(failure, where, "not enough memory to keep what it was handed");
    } catch (const std::exception& e) {
        NoteCallbackFailure(failure, where, e.what());
    } catch (...) {
        NoteCallbackFailure(failure, where, "unknown exception");
    }
}
