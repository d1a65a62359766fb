#include "cli/Batch.h"

#include "platform/Processors.h"

#include <deque>
#include <exception>
#include <utility>

#if OSTREL_THREADS
#include <thread>
#endif

namespace {

void RunInTurn(size_t count, const BatchSteps& steps) {
    for (size_t i = 0; i < count; ++i) {
        steps.prepare(i);
        steps.work(i);
        steps.report(i);
    }
}

} // namespace

#if OSTREL_THREADS

size_t DefaultWorkers() {
    return UsableProcessors();
}

namespace {

struct Running {
    size_t job;
    std::exception_ptr failure;
    std::thread thread;
};

} // namespace

void RunBatch(size_t count, size_t workers, const BatchSteps& steps) {
    if (workers <= 1 || count <= 1) {
        RunInTurn(count, steps);
        return;
    }
    std::deque<Running> running; // in job order; element addresses stay put
    const auto reportFirst = [&running, &steps] {
        Running& first = running.front();
        if (first.thread.joinable())
            first.thread.join();
        const size_t job = first.job;
        const std::exception_ptr failure = first.failure;
        running.pop_front();
        if (failure)
            std::rethrow_exception(failure);
        steps.report(job);
    };
    try {
        for (size_t i = 0; i < count; ++i) {
            if (running.size() == workers)
                reportFirst();
            steps.prepare(i);
            Running& slot = running.emplace_back();
            slot.job = i;
            try {
                slot.thread = std::thread([&slot, &steps] {
                    try {
                        steps.work(slot.job);
                    } catch (...) {
                        slot.failure = std::current_exception();
                    }
                });
            } catch (const std::exception&) {
                // No thread to be had: this job works here.
                steps.work(i);
            }
        }
        while (!running.empty())
            reportFirst();
    } catch (...) {
        for (Running& r : running)
            if (r.thread.joinable())
                r.thread.join();
        throw;
    }
}

#else

size_t DefaultWorkers() {
    return 1;
}

void RunBatch(size_t count, size_t /*workers*/, const BatchSteps& steps) {
    RunInTurn(count, steps);
}

#endif
