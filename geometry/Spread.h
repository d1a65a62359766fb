// Work spread over threads, for the stages of the shading that treat each
// item on its own: a polygon's normal and triangles, a point's smoothing, a
// corner's normal. Each range of items is worked by one thread, and each
// item's result lands in its own place, so the result is the same bytes for
// any number of threads.
#pragma once

#include <cstddef>
#include <exception>
#include <vector>
#if OSTREL_THREADS
#include <thread>
#endif

// Below this many items, threads cost more than they save.
constexpr size_t kSpreadLeast = 20000;

// Runs work(begin, end) over [0, count) in `workers` contiguous ranges at
// once, the first on the calling thread. With one worker, without threads in
// this build, or below kSpreadLeast items, it is one range. An exception
// thrown in any range, memory running out say, is thrown here once every
// range has ended.
template <typename Work> void SpreadOver(unsigned workers, size_t count, Work work) {
#if OSTREL_THREADS
    if (workers > 1 && count >= kSpreadLeast) {
        const size_t ranges = workers;
        std::vector<std::exception_ptr> failures(ranges);
        const auto run = [&](size_t r) {
            try {
                work(count * r / ranges, count * (r + 1) / ranges);
            } catch (...) {
                failures[r] = std::current_exception();
            }
        };
        std::vector<std::thread> threads;
        try {
            for (size_t r = 1; r < ranges; ++r)
                threads.emplace_back(run, r);
        } catch (...) {
            // No thread to be had: the ranges not started run here.
            for (size_t r = threads.size() + 1; r < ranges; ++r)
                run(r);
        }
        run(0);
        for (std::thread& thread : threads)
            thread.join();
        for (const std::exception_ptr& failure : failures) {
            if (failure)
                std::rethrow_exception(failure);
        }
        return;
    }
#endif
    (void)workers;
    work(size_t{0}, count);
}
