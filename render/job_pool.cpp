#include "render/job_pool.h"

#include "hosting/user_error.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <mutex>
#include <thread>
#include <utility>

namespace quillo::render {
namespace {

// How the summary names a job.
std::string nameOf(const Job& job) {
    if (!job.place.empty()) return job.place;
    return job.input.empty() ? "the demo" : job.input;
}

} // namespace

PoolOutcome runJobs(size_t count, const JobSource& jobAt, Libraries& libraries,
                    const PoolSettings& settings, const JobListener& done) {
    const auto started = Clock::now();
    Console console(count, settings.bar);
    std::mutex ended; // the listener and the outcome, one job at a time
    PoolOutcome outcome;
    std::vector<std::pair<size_t, std::string>> failed;
    std::atomic<size_t> next{0};
    const size_t threads = std::max<size_t>(1, std::min(settings.threads, count));
    // --jobs is how many cores the run may keep busy: the writing of each job goes on
    // a thread of its own only when there is a core for each.
    const bool writeAside = 2 * threads <= settings.threads;
    auto work = [&] {
        for (size_t index = next++; index < count; index = next++) {
            JobReport report(/*collect=*/true);
            std::optional<Job> job;
            std::optional<JobResult> result;
            std::string failure;
            try {
                job.emplace(jobAt(index));
                result = renderJob(libraries.get(job->options), *job, report, writeAside);
            } catch (const std::exception& error) {
                failure = *error.what() ? error.what() : "failed";
            } catch (...) {
                failure = "failed";
            }
            if (!failure.empty()) {
                const std::string place = job && !job->place.empty() ? job->place + ": " : "";
                report.messages() << "quillo-render: " << place << failure << "\n";
            }
            {
                std::lock_guard<std::mutex> lock(ended);
                if (result) {
                    ++outcome.rendered;
                } else {
                    failed.emplace_back(index, job ? nameOf(*job) : "job " + std::to_string(index));
                }
                if (done && job) done(index, *job, result ? &*result : nullptr);
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

    std::sort(failed.begin(), failed.end());
    for (auto& [index, name] : failed)
        outcome.failed.push_back(std::move(name));
    const double taken = std::chrono::duration<double>(Clock::now() - started).count();
    if (!settings.quiet) {
        (settings.summaryToStderr ? std::cerr : std::cout) << textf(
            "%zu job%s in %.2f s, %zu at a time: %zu rendered, %zu failed\n", count,
            count == 1 ? "" : "s", taken, threads, outcome.rendered, outcome.failed.size());
    }
    if (!outcome.failed.empty()) {
        std::string which;
        for (const std::string& name : outcome.failed)
            which += (which.empty() ? "" : ", ") + name;
        std::cerr << "quillo-render: " << outcome.failed.size() << " of " << count
                  << (count == 1 ? " job" : " jobs") << " failed: " << which << "\n";
    }
    return outcome;
}

} // namespace quillo::render
