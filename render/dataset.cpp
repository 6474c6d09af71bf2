#include "render/dataset.h"

#include "hosting/user_error.h"
#include "render/json.h"
#include "render/random_patch.h"

#include <algorithm>
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

// Tenths of a dB; empty for silence.
std::string peakText(float peak) {
    if (!(peak > 0.0f)) return "";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(peak));
    return text;
}

void put(OutputTarget& target, const std::string& text) {
    target.write(text.data(), text.size());
}

} // namespace

const std::vector<int> kDatasetNotes = {48, 60, 72};

Dataset::Dataset(const Options& options)
    : item_(options), folder_(options.dataset),
      input_(options.midiFiles.empty() ? "" : options.midiFiles[0]),
      seed_(options.randomSeed.value_or(0)), count_(static_cast<size_t>(options.count)),
      digits_(std::max<int>(4, static_cast<int>(std::to_string(options.count - 1).size()))),
      extension_(extensionOf(options.fileType.value_or(FileType::Wav))) {
    item_.dataset.clear();
    item_.count = 0;
    item_.quiet = true; // the bar and the last line say enough
    item_.arguments.clear();
    if (input_.empty() && item_.notes.empty()) item_.notes = kDatasetNotes;
}

Job Dataset::item(size_t index) const {
    Options options = item_;
    options.randomSeed = itemSeed(seed_, index);
    std::string number = std::to_string(index);
    number.insert(0, static_cast<size_t>(std::max<int>(0, digits_ - int(number.size()))), '0');
    options.output = (fs::path(folder_) / (number + extension_)).string();
    return planJob(options, input_, options.output);
}

Manifests::Manifests(const std::string& folder)
    : csv_(OutputTarget::open((fs::path(folder) / "manifest.csv").string(), false)),
      json_(OutputTarget::open((fs::path(folder) / "manifest.jsonl").string(), false)) {}

void Manifests::add(size_t index, const Job& job, const JobResult* result) {
    Lines lines;
    if (result) {
        const std::string file = fs::path(job.output).filename().string();
        const std::string notes = notesOf(job);
        const std::string peak = peakText(result->peak);
        const uint64_t seed = job.options.randomSeed.value_or(0);
        if (header_.empty()) {
            header_ = "file,seed,notes,peak_dbfs";
            for (const ParameterValue& p : result->parameters)
                header_ += "," + cell(p.name);
            header_ += "\n";
        }
        std::ostringstream csv, json;
        csv << cell(file) << "," << seed << "," << cell(notes) << "," << peak;
        for (const ParameterValue& p : result->parameters)
            csv << "," << json::number(p.value);
        csv << "\n";
        json << "{\"file\": " << json::quote(file) << ", \"seed\": " << seed
             << ", \"notes\": " << json::quote(notes)
             << ", \"peak_dbfs\": " << (peak.empty() ? "null" : peak) << ", \"parameters\": {";
        for (size_t p = 0; p < result->parameters.size(); ++p)
            json << (p ? ", " : "") << json::quote(result->parameters[p].name) << ": "
                 << json::number(result->parameters[p].value);
        json << "}, \"texts\": {";
        for (size_t p = 0; p < result->parameters.size(); ++p)
            json << (p ? ", " : "") << json::quote(result->parameters[p].name) << ": "
                 << json::quote(result->parameters[p].text);
        json << "}}\n";
        lines.emplace(csv.str(), json.str());
    }
    waiting_.emplace(index, std::move(lines));
    for (auto first = waiting_.begin(); first != waiting_.end() && first->first == next_;
         first = waiting_.erase(first), ++next_) {
        if (!first->second || !error_.empty()) continue;
        try {
            if (csv_->length() == 0) put(*csv_, header_);
            put(*csv_, first->second->first);
            put(*json_, first->second->second);
        } catch (const UserError& error) {
            error_ = error.what(); // the renders go on; finish() tells
        }
    }
}

void Manifests::finish() {
    if (!error_.empty()) throw UserError(error_);
    csv_->commit();
    json_->commit();
}

} // namespace quillo::render
