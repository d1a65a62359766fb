// Nothing may unwind from a host callback into the plug-in. So every callback
// body runs under GuardCallback. It keeps the first exception caught as the
// load's failure, which the pipeline reports. Then it lets the call return
// normally.
#pragma once

#include <exception>
#include <new>
#include <string>

// Non-zero while this thread runs the plug-in's own code. It is raised while an
// activation entry runs (PluginCodeScope{+1}). It is lowered again while a host
// callback runs within it (GuardCallback). An allocation counter, the bounds
// tests', tells the plug-in's heap from the host's with it.
inline thread_local int gInPluginCode = 0;

struct PluginCodeScope {
    int step;
    explicit PluginCodeScope(int s) noexcept : step(s) { gInPluginCode += step; }
    ~PluginCodeScope() { gInPluginCode -= step; }
    PluginCodeScope(const PluginCodeScope&) = delete;
    PluginCodeScope& operator=(const PluginCodeScope&) = delete;
};

// Keeps only the first failure. `failure` may be null when no load is in
// progress.
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
    const PluginCodeScope host(-1);
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
