// quillo-render: renders MIDI files, or the built-in demo phrase, through a VST 2
// instrument into audio files.
#include "hosting/user_error.h"
#include "render/instrument.h"
#include "render/job.h"
#include "render/options.h"
#include "render/output_target.h"
#include "render/patch.h"
#include "render/plugin_report.h"
#include "render/plugin_search.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <set>

using namespace quillo;
using namespace quillo::render;

namespace {

std::vector<Job> jobsOf(const Options& options) {
    if (options.demo) {
        const std::string output =
            !options.output.empty()
                ? options.output
                : defaultOutputFor("demo", options.fileType.value_or(FileType::Wav),
                                   options.outputDirectory);
        return {{"", output}};
    }
    std::vector<Job> jobs;
    std::set<std::string> outputs;
    for (const std::string& input : options.midiFiles) {
        const std::string output =
            !options.output.empty()
                ? options.output
                : defaultOutputFor(input, options.fileType.value_or(FileType::Wav),
                                   options.outputDirectory);
        if (output != "-" &&
            !outputs.insert(std::filesystem::absolute(output).lexically_normal()).second) {
            throw UsageError(input + ": its output " + output + " is also another MIDI file's");
        }
        jobs.push_back({input, output});
    }
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
    std::error_code madeDirectory;
    if (!options.outputDirectory.empty()) {
        std::filesystem::create_directories(options.outputDirectory, madeDirectory);
    }
    const std::string pluginPath = options.plugin.empty() ? findDefaultPlugin() : options.plugin;
    const auto library = InstrumentLibrary::open(pluginPath);
    const bool listing =
        options.info || options.listParams || options.listPrograms || options.listPresets;
    if (listing || !options.savePreset.empty()) {
        auto plugin = library->instantiate(options.sampleRate, options.blockSize);
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

    // Each file on its own: one that fails is reported, the others still render.
    int status = 0;
    for (const Job& job : jobs) {
        try {
            renderJob(*library, options, job);
        } catch (const UsageError&) {
            throw;
        } catch (const UserError& error) {
            if (jobs.size() == 1) throw;
            std::cerr << "quillo-render: " << error.what() << "\n";
            status = 1;
        }
    }
    return status;
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
