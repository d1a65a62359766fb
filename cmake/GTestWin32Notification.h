// Included before GoogleTest's own headers in the Windows test builds: the
// one synchronisation helper GoogleTest defines with std::mutex, which the
// Windows compilers in use lack (their thread model needs no extra DLL).
// GoogleTest uses it only to start threads of its own tests, never in a run
// of this project's tests, so a plain flag serves; <windows.h> stays out of
// the test sources.
#pragma once

#if defined(_WIN32) && defined(__cplusplus)
#include <atomic>

namespace testing::internal {

class Notification {
  public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

  private:
    std::atomic<bool> notified_{false};
};

} // namespace testing::internal

#define GTEST_HAS_NOTIFICATION_ 1
#endif
