// Several model files at once: each job is prepared and reported on the
// calling thread, in the order given, while the work between runs on a thread
// of its own beside the others. What a user reads is therefore the same
// whatever the number of workers; only the time differs.
#pragma once

#include <cstddef>
#include <functional>

struct BatchSteps {
    std::function<void(size_t)> prepare; // calling thread, in order
    std::function<void(size_t)> work;    // any thread, beside other jobs' work
    std::function<void(size_t)> report;  // calling thread, in order
};

// Runs jobs 0 .. count-1. Job i is prepared only once job i - workers has
// been reported, so at most `workers` jobs hold their results at a time. With
// one worker, or where the build has no threads, each job is prepared, worked
// and reported in turn. An exception thrown by `work` reaches the caller from
// that job's report.
void RunBatch(size_t count, size_t workers, const BatchSteps& steps);

// The number of workers when the user names none: the processors this
// process may run on; 1 where the build has no threads.
size_t DefaultWorkers();
