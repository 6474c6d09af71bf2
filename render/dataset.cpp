#include "render/dataset.h"

#include "render/json.h"
#include "render/output_target.h"
#include "render/random_patch.h"

#include <cmath>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace quillo::render {
namespace {

// A CSV cell, quoted when it holds a comma, a quote or a line break.
std::string cell(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string notesOf(const Job& job) {
    if (!job.input.empty()) return job.input;
    std::string keys;
    for (int key : job.options.notes)
        keys += (keys.empty() ? "" : ",") + std::to_string(key);
    return keys;
}

// Tenths of a dB, or null for silence.
std::string peakText(float peak) {
    if (!(peak > 0.0f)) return "";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(peak));
    return text;
}

void writeFile(const std::string& path, const std::string& text) {
    auto target = OutputTarget::open(path, false);
    target->write(text.data(), text.size());
    target->commit();
}

} // namespace

const std::vector<int> kDatasetNotes = {48, 60, 72};

std::vector<Job> datasetJobs(const Options& options) {
    Options item = options;
    item.dataset.clear();
    item.count = 0;
    item.quiet = true; // the bar and the last line say enough
    if (options.midiFiles.empty() && options.notes.empty()) item.notes = kDatasetNotes;
    const std::string input = options.midiFiles.empty() ? "" : options.midiFiles[0];
    const uint64_t seed = options.randomSeed.value_or(0);
    const int width = std::max<int>(4, static_cast<int>(std::to_string(options.count - 1).size()));
    const char* extension = extensionOf(options.fileType.value_or(FileType::Wav));
    std::vector<Job> jobs;
    jobs.reserve(static_cast<size_t>(options.count));
    for (int64_t i = 0; i < options.count; ++i) {
        item.randomSeed = itemSeed(seed, static_cast<uint64_t>(i));
        std::string number = std::to_string(i);
        number.insert(0, static_cast<size_t>(std::max<int>(0, width - int(number.size()))), '0');
        item.output = (fs::path(options.dataset) / (number + extension)).string();
        jobs.push_back(planJob(item, input, item.output));
    }
    return jobs;
}

void writeManifests(const std::string& folder, const std::vector<Job>& jobs,
                    const PoolOutcome& outcome) {
    std::ostringstream csv, lines;
    bool header = false;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (!outcome.results[i]) continue;
        const Job& job = jobs[i];
        const JobResult& result = *outcome.results[i];
        const std::string file = fs::path(job.output).filename().string();
        if (!header) {
            csv << "file,seed,notes,peak_dbfs";
            for (const ParameterValue& p : result.parameters)
                csv << "," << cell(p.name);
            csv << "\n";
            header = true;
        }
        const std::string notes = notesOf(job);
        const std::string peak = peakText(result.peak);
        csv << cell(file) << "," << *job.options.randomSeed << "," << cell(notes) << "," << peak;
        for (const ParameterValue& p : result.parameters)
            csv << "," << json::number(p.value);
        csv << "\n";

        lines << "{\"file\": " << json::quote(file) << ", \"seed\": " << *job.options.randomSeed
              << ", \"notes\": " << json::quote(notes)
              << ", \"peak_dbfs\": " << (peak.empty() ? "null" : peak) << ", \"parameters\": {";
        for (size_t p = 0; p < result.parameters.size(); ++p)
            lines << (p ? ", " : "") << json::quote(result.parameters[p].name) << ": "
                  << json::number(result.parameters[p].value);
        lines << "}, \"texts\": {";
        for (size_t p = 0; p < result.parameters.size(); ++p)
            lines << (p ? ", " : "") << json::quote(result.parameters[p].name) << ": "
                  << json::quote(result.parameters[p].text);
        lines << "}}\n";
    }
    writeFile((fs::path(folder) / "manifest.csv").string(), csv.str());
    writeFile((fs::path(folder) / "manifest.jsonl").string(), lines.str());
}

} // namespace quillo::render
