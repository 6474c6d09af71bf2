#include "render/sidecar.h"

#include "hosting/user_error.h"
#include "render/json.h"
#include "render/output_target.h"
#include "render/text_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace quillo::render {
namespace {

// The version of the layout, for readers to come.
constexpr int kSidecarVersion = 1;

// The shortest text that reads back as the same double.
std::string exact(double value) {
    char text[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

std::string numberList(const std::vector<int>& numbers, const char* separator = ",") {
    std::string list;
    for (int n : numbers)
        list += (list.empty() ? "" : separator) + std::to_string(n);
    return list;
}

fs::path folderOf(const std::string& file) {
    const fs::path folder = fs::path(file).parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// A file inside the folder by its way from there, so that the two can move together;
// any other by its absolute path.
std::string seenFrom(const fs::path& folder, const std::string& file) {
    std::error_code error;
    const fs::path absolute = fs::absolute(file, error).lexically_normal();
    const fs::path relative = fs::relative(absolute, fs::absolute(folder, error), error);
    const bool inside = !error && !relative.empty() && *relative.begin() != "..";
    return inside ? relative.string() : absolute.string();
}

// The options that shape the sound and the file, besides the plug-in's settings.
std::vector<std::string> renderArguments(const Job& job) {
    const Options& o = job.options;
    std::vector<std::string> arguments = {"--rate=" + std::to_string(o.sampleRate),
                                          "--block=" + std::to_string(o.blockSize)};
    if (o.fixedBlocks) arguments.push_back("--fixed-blocks");
    arguments.push_back("--tail=" + exact(o.tailSeconds));
    if (o.lengthSeconds) arguments.push_back("--length=" + exact(*o.lengthSeconds));
    if (!o.channels.empty()) arguments.push_back("--channel=" + numberList(o.channels));
    if (!o.tracks.empty()) arguments.push_back("--track=" + numberList(o.tracks));
    if (o.gainDb) arguments.push_back("--gain=" + exact(*o.gainDb));
    if (o.normalizeDbfs) arguments.push_back("--normalize=" + exact(*o.normalizeDbfs));
    arguments.push_back(std::string("--format=") + fileTypeName(job.format.type) + "," +
                        encodingName(job.format.encoding));
    if (o.mono) arguments.push_back("--mono");
    return arguments;
}

class SidecarReader {
  public:
    SidecarReader(std::string path, json::Value root)
        : path_(std::move(path)), root_(std::move(root)) {}

    [[noreturn]] void fail(const json::Value& at, const std::string& why) const {
        throw UserError(path_ + ":" + std::to_string(at.line) + ": " + why);
    }

    // The member, which must be of the type unless null is allowed and found.
    const json::Value* get(const std::string& key, json::Value::Type type, bool required) const {
        const json::Value* value = root_.find(key);
        if (!value || value->type == json::Value::Type::Null) {
            if (required) fail(root_, "no \"" + key + "\"");
            return nullptr;
        }
        if (value->type != type)
            fail(*value, "\"" + key + "\": " + json::describe(type) + ", not " +
                             json::describe(value->type));
        return value;
    }

    const json::Value& root() const { return root_; }

  private:
    std::string path_;
    json::Value root_;
};

} // namespace

std::string sidecarPath(const std::string& output) {
    return output + ".json";
}

std::string sidecarText(const Job& job, const std::string& pluginPath, const JobResult& result) {
    const Options& o = job.options;
    const fs::path folder = folderOf(sidecarPath(job.output));
    std::error_code error;
    const std::string plugin = fs::exists(pluginPath, error)
                                   ? fs::absolute(pluginPath).lexically_normal().string()
                                   : pluginPath; // an LV2 URI
    std::ostringstream out;
    out << "{\n  \"sidecar\": " << kSidecarVersion << ",\n";
    out << "  \"output\": " << json::quote(fs::path(job.output).filename().string()) << ",\n";
    out << "  \"plugin\": " << json::quote(plugin) << ",\n";
    if (!o.notes.empty()) {
        out << "  \"notes\": [" << numberList(o.notes, ", ") << "],\n";
    } else if (job.input.empty()) {
        out << "  \"demo\": true,\n";
    } else {
        out << "  \"midi\": " << json::quote(job.input == "-" ? "-" : seenFrom(folder, job.input))
            << ",\n";
    }
    out << "  \"program\": " << (o.program ? std::to_string(*o.program) : "null") << ",\n";
    out << "  \"bank\": " << (o.bank.empty() ? "null" : json::quote(o.bank)) << ",\n";
    out << "  \"preset\": " << (o.preset.empty() ? "null" : json::quote(o.preset)) << ",\n";
    out << "  \"random_params\": ";
    if (o.randomSeed) {
        out << "{\"seed\": " << *o.randomSeed << ", \"vary\": [";
        for (size_t i = 0; i < result.varied.size(); ++i)
            out << (i ? ", " : "") << json::quote(result.varied[i]);
        out << "]},\n";
    } else {
        out << "null,\n";
    }
    out << "  \"parameters\": [\n";
    for (size_t i = 0; i < result.parameters.size(); ++i) {
        const ParameterValue& p = result.parameters[i];
        out << "    {\"index\": " << p.index << ", \"name\": " << json::quote(p.name)
            << ", \"value\": " << json::number(p.value) << ", \"text\": " << json::quote(p.text)
            << "}" << (i + 1 < result.parameters.size() ? ",\n" : "\n");
    }
    out << "  ],\n";
    out << "  \"automation\": "
        << (o.automation.empty() ? "null" : json::quote(seenFrom(folder, o.automation))) << ",\n";
    out << "  \"options\": [";
    const std::vector<std::string> arguments = renderArguments(job);
    for (size_t i = 0; i < arguments.size(); ++i)
        out << (i ? ", " : "") << json::quote(arguments[i]);
    out << "]\n}\n";
    return out.str();
}

void writeSidecar(const Job& job, const std::string& pluginPath, const JobResult& result) {
    const std::string text = sidecarText(job, pluginPath, result);
    auto target = OutputTarget::open(sidecarPath(job.output), false);
    target->write(text.data(), text.size());
    target->commit();
}

Job jobFromSidecar(const std::string& path, const Options& commandLine) {
    const json::Value root = json::parse(readTextFile(path), path);
    if (!root.isObject()) throw UserError(path + ": not a sidecar (no JSON object)");
    const SidecarReader sidecar(path, root);
    const fs::path folder = folderOf(path);
    auto besideIt = [&](const std::string& file) {
        return fs::path(file).is_absolute() || file == "-" ? file : (folder / file).string();
    };
    using Type = json::Value::Type;

    std::vector<std::string> arguments;
    const json::Value& plugin = *sidecar.get("plugin", Type::String, true);
    arguments.push_back("--plugin=" + plugin.text);
    if (const json::Value* program = sidecar.get("program", Type::Number, false))
        arguments.push_back("--program=" + program->text);
    for (const json::Value& parameter : sidecar.get("parameters", Type::Array, true)->items) {
        const json::Value* index = parameter.find("index");
        const json::Value* value = parameter.find("value");
        if (!index || !value || !index->isNumber() || !value->isNumber())
            sidecar.fail(parameter, "a parameter without a numeric \"index\" and \"value\"");
        arguments.push_back("--param=" + index->text + "=" + value->text);
    }
    if (const json::Value* automation = sidecar.get("automation", Type::String, false))
        arguments.push_back("--automation=" + besideIt(automation->text));
    for (const json::Value& option : sidecar.get("options", Type::Array, true)->items) {
        if (!option.isString()) sidecar.fail(option, "\"options\": a list of strings");
        arguments.push_back(option.text);
    }
    std::string input;
    if (const json::Value* notes = sidecar.get("notes", Type::Array, false)) {
        std::string keys;
        for (const json::Value& key : notes->items) {
            if (!key.isNumber()) sidecar.fail(key, "\"notes\": a list of MIDI key numbers");
            keys += (keys.empty() ? "" : ",") + key.text;
        }
        arguments.push_back("--notes=" + keys);
    } else if (const json::Value* demo = root.find("demo"); demo && demo->boolean) {
        arguments.push_back("--demo");
    } else {
        input = besideIt(sidecar.get("midi", Type::String, true)->text);
    }
    const std::string output = sidecar.get("output", Type::String, true)->text;

    Options options;
    try {
        options = jobOptions(jobOptions(Options{}, arguments), commandLine.arguments);
    } catch (const UsageError& error) {
        throw UsageError(path + ": " + error.what());
    }
    options.fromSidecars.clear();
    if (commandLine.output.empty()) {
        options.output =
            commandLine.outputDirectory.empty()
                ? (folder / output).string()
                : (fs::path(commandLine.outputDirectory) / fs::path(output).filename()).string();
    }
    return planJob(options, input, path);
}

} // namespace quillo::render
