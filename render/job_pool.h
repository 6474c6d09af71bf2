// Jobs side by side: a pool of threads, each taking the next job when it is done with
// one. Every pass of a render still runs on a fresh thread of its own, and every job
// on its own instances, so each output is the very file the job would give alone.
#pragma once

#include "render/job.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillo::render {

struct PoolSettings {
    size_t threads = 1;
    bool quiet = false;
    // A bar of the jobs done on stderr, when it is a terminal.
    bool bar = false;
    // The last line goes to stderr, as when an output is standard output.
    bool summaryToStderr = false;
};

struct PoolOutcome {
    size_t rendered = 0;
    std::vector<std::string> failed; // how the failed jobs are named, in order
};

// Makes job number index, when a thread is ready for it: a run of many jobs never
// holds them all.
using JobSource = std::function<Job(size_t index)>;
// Told of each job as it ends, one job at a time: its result, or null if it failed.
using JobListener = std::function<void(size_t index, const Job& job, const JobResult* result)>;

// Renders every job, however many fail; each failure is printed on stderr as it
// happens, and, unless quiet, a last line tells how it all went.
PoolOutcome runJobs(size_t count, const JobSource& jobAt, Libraries& libraries,
                    const PoolSettings& settings, const JobListener& done = {});

} // namespace quillo::render
