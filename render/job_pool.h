// Jobs side by side: a pool of threads, each taking the next job when it is done with
// one. Every pass of a render still runs on a fresh thread of its own, and every job
// on its own instances, so each output is the very file the job would give alone.
#pragma once

#include "render/job.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillo::render {

struct PoolSettings {
    size_t threads = 1;
    bool quiet = false;
    // A bar of the jobs done on stderr, when it is a terminal.
    bool bar = false;
};

struct PoolOutcome {
    size_t rendered = 0;
    std::vector<std::string> failed;               // how the failed jobs are named, in order
    std::vector<std::optional<JobResult>> results; // by job; empty for a failed one
};

// Renders every job, however many fail; each failure is printed on stderr as it
// happens, and, unless quiet, a last line on stdout tells how it all went.
PoolOutcome runJobs(const std::vector<Job>& jobs, Libraries& libraries,
                    const PoolSettings& settings);

} // namespace quillo::render
