#include "render/job_pool.h"

#include "hosting/user_error.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <thread>

namespace quillo::render {
namespace {

// How the summary names a job.
std::string nameOf(const Job& job) {
    if (!job.place.empty()) return job.place;
    return job.input.empty() ? "the demo" : job.input;
}

} // namespace

PoolOutcome runJobs(const std::vector<Job>& jobs, Libraries& libraries,
                    const PoolSettings& settings) {
    const auto started = Clock::now();
    Console console(jobs.size(), settings.bar);
    std::vector<std::string> failures(jobs.size()); // a message for each failed job
    PoolOutcome outcome;
    outcome.results.resize(jobs.size());
    std::atomic<size_t> next{0};
    const size_t threads = std::max<size_t>(1, std::min(settings.threads, jobs.size()));
    // --jobs is how many cores the run may keep busy: the writing of each job goes on
    // a thread of its own only when there is a core for each.
    const bool writeAside = 2 * threads <= settings.threads;
    auto work = [&] {
        for (size_t index = next++; index < jobs.size(); index = next++) {
            const Job& job = jobs[index];
            JobReport report(/*collect=*/true);
            try {
                outcome.results[index] =
                    renderJob(libraries.get(job.options), job, report, writeAside);
            } catch (const std::exception& error) {
                failures[index] = error.what();
                if (failures[index].empty()) failures[index] = "failed";
            }
            if (!failures[index].empty()) {
                report.messages() << "quillo-render: "
                                  << (job.place.empty() ? "" : job.place + ": ") << failures[index]
                                  << "\n";
            }
            console.jobDone(report);
        }
    };
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& thread : pool)
        thread.join();

    for (size_t index = 0; index < jobs.size(); ++index) {
        if (failures[index].empty()) {
            ++outcome.rendered;
        } else {
            outcome.failed.push_back(nameOf(jobs[index]));
        }
    }
    const double taken = std::chrono::duration<double>(Clock::now() - started).count();
    if (!settings.quiet) {
        // With an output on standard output, the summary goes to stderr.
        const bool toStdout = std::none_of(jobs.begin(), jobs.end(),
                                           [](const Job& job) { return job.output == "-"; });
        (toStdout ? std::cout : std::cerr) << textf(
            "%zu job%s in %.2f s, %zu at a time: %zu rendered, %zu failed\n", jobs.size(),
            jobs.size() == 1 ? "" : "s", taken, threads, outcome.rendered, outcome.failed.size());
    }
    if (!outcome.failed.empty()) {
        std::string which;
        for (const std::string& place : outcome.failed)
            which += (which.empty() ? "" : ", ") + place;
        std::cerr << "quillo-render: " << outcome.failed.size() << " of " << jobs.size()
                  << (jobs.size() == 1 ? " job" : " jobs") << " failed: " << which << "\n";
    }
    return outcome;
}

} // namespace quillo::render
