// quillo-render: renders MIDI files, the demo phrase or the built-in notes through a
// VST 2 or LV2 instrument into audio files, one at a time or many at once: job lists,
// renders again from sidecars, datasets of random patches.
#include "hosting/user_error.h"
#include "render/dataset.h"
#include "render/instrument.h"
#include "render/job.h"
#include "render/job_list.h"
#include "render/job_pool.h"
#include "render/options.h"
#include "render/output_target.h"
#include "render/patch.h"
#include "render/plugin_report.h"
#include "render/sidecar.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iostream>
#include <thread>
#include <unistd.h>

using namespace quillo;
using namespace quillo::render;

namespace {

unsigned cores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<Job> jobsOf(const Options& options) {
    if (!options.dataset.empty()) return {}; // made one at a time
    std::vector<Job> jobs;
    if (!options.batch.empty()) jobs = readJobList(options.batch, options);
    for (const std::string& sidecar : options.fromSidecars)
        jobs.push_back(jobFromSidecar(sidecar, options));
    if (options.demo || (!options.notes.empty() && options.midiFiles.empty()))
        jobs.push_back(planJob(options, "", ""));
    for (const std::string& input : options.midiFiles)
        jobs.push_back(planJob(options, input, ""));
    requireDistinctOutputs(jobs);
    return jobs;
}

int run(const Options& options) {
    if (options.help) {
        std::cout << usage();
        return 0;
    }
    if (options.version) {
        std::cout << "quillo-render " QUILLO_VERSION "\n";
        return 0;
    }
    const std::vector<Job> jobs = jobsOf(options);
    Libraries libraries;
    const bool listing =
        options.info || options.listParams || options.listPrograms || options.listPresets;
    if (listing || !options.savePreset.empty()) {
        auto plugin = libraries.get(options).instantiate(options.sampleRate, options.blockSize);
        applySettings(*plugin, options);
        if (!options.savePreset.empty()) savePreset(*plugin, options.savePreset);
        const char* gap = "";
        if (options.info) {
            plugin->describe(std::cout);
            gap = "\n";
        }
        if (options.listParams) {
            std::cout << gap;
            printParameters(*plugin, std::cout);
            gap = "\n";
        }
        if (options.listPrograms) {
            std::cout << gap;
            printPrograms(*plugin, std::cout);
            gap = "\n";
        }
        if (options.listPresets) {
            std::cout << gap;
            printPresets(*plugin, std::cout);
        }
        if (listing || jobs.empty()) return 0;
    }

    const unsigned threads = options.jobs > 0 ? static_cast<unsigned>(options.jobs) : cores();
    if (jobs.size() == 1 && options.batch.empty() && options.dataset.empty()) {
        JobReport report(/*collect=*/false);
        renderJob(libraries.get(jobs[0].options), jobs[0], report, /*writeAside=*/threads >= 2);
        return 0;
    }
    // Side by side, each job on its own: one that fails is reported, the others
    // still render.
    PoolSettings pool;
    pool.threads = threads;
    pool.quiet = options.quiet;
    pool.bar = !options.quiet && isatty(STDERR_FILENO);
    pool.summaryToStderr =
        std::any_of(jobs.begin(), jobs.end(), [](const Job& job) { return job.output == "-"; });
    if (options.dataset.empty()) {
        const PoolOutcome outcome = runJobs(
            jobs.size(), [&jobs](size_t index) { return jobs[index]; }, libraries, pool);
        return outcome.failed.empty() ? 0 : 1;
    }

    const Dataset dataset(options);
    std::error_code made; // if it failed, the manifests say why
    std::filesystem::create_directories(options.dataset, made);
    Manifests manifests(options.dataset);
    const PoolOutcome outcome = runJobs(
        dataset.size(), [&dataset](size_t index) { return dataset.item(index); }, libraries, pool,
        [&manifests](size_t index, const Job& job, const JobResult* result) {
            manifests.add(index, job, result);
        });
    manifests.finish();
    if (!options.quiet) {
        std::cout << (std::filesystem::path(options.dataset) / "manifest.csv").string()
                  << " and manifest.jsonl: " << outcome.rendered << " of " << dataset.size()
                  << " patches\n";
    }
    return outcome.failed.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    installOutputSignalHandlers();
    try {
        return run(parseOptions(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const UsageError& error) {
        std::cerr << "quillo-render: " << error.what() << "\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "quillo-render: " << error.what() << "\n";
        return 1;
    }
}
