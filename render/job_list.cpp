#include "render/job_list.h"

#include "hosting/text.h"
#include "hosting/user_error.h"
#include "render/json.h"
#include "render/text_file.h"

#include <algorithm>
#include <iostream>
#include <sstream>

namespace quillo::render {
namespace {

enum class Takes { Value, Flag, OptionalValue };

struct Key {
    const char* name; // the long option without its dashes
    Takes takes;
};

// The options a job may have of its own; the rest belong to the whole run.
constexpr Key kKeys[] = {
    {"output", Takes::Value},        {"output-dir", Takes::Value},
    {"format", Takes::Value},        {"mono", Takes::Flag},
    {"gain", Takes::Value},          {"normalize", Takes::OptionalValue},
    {"plugin", Takes::Value},        {"rate", Takes::Value},
    {"block", Takes::Value},         {"fixed-blocks", Takes::Flag},
    {"bank", Takes::Value},          {"program", Takes::Value},
    {"preset", Takes::Value},        {"param", Takes::Value},
    {"tail", Takes::Value},          {"length", Takes::Value},
    {"channel", Takes::Value},       {"track", Takes::Value},
    {"automation", Takes::Value},    {"demo", Takes::Flag},
    {"random-params", Takes::Value}, {"vary", Takes::Value},
    {"sidecar", Takes::Flag},
};

const Key* findKey(const std::string& name) {
    for (const Key& key : kKeys)
        if (name == key.name) return &key;
    return nullptr;
}

std::string knownKeys() {
    std::string list = "midi";
    for (const Key& key : kKeys)
        list += std::string(", ") + key.name;
    return list;
}

// One job as it is read: its MIDI file and its options as command-line arguments.
class JobLine {
  public:
    // Throws UsageError for a key no job takes; "what" is "column" or "key".
    void add(const std::string& key, const std::string& value, const char* what) {
        if (value.empty()) return;
        if (key == "midi") {
            input_ = value;
            return;
        }
        if (key.rfind("param:", 0) == 0 && key.size() > 6) {
            arguments_.push_back("--param=" + key.substr(6) + "=" + value);
            return;
        }
        const Key* known = findKey(key);
        if (!known) {
            throw UsageError(std::string("unknown ") + what + " '" + key +
                             "' (known: " + knownKeys() + ", param:NAME)");
        }
        const std::string word = hosting::lowerCase(value);
        const bool yes = word == "1" || word == "true" || word == "yes";
        const bool no = word == "0" || word == "false" || word == "no";
        switch (known->takes) {
        case Takes::Value: arguments_.push_back("--" + key + "=" + value); break;
        case Takes::Flag:
            if (!yes && !no) throw UsageError(key + ": '" + value + "' is neither yes nor no");
            if (yes) arguments_.push_back("--" + key);
            break;
        case Takes::OptionalValue:
            if (yes) {
                arguments_.push_back("--" + key);
            } else if (!no) {
                arguments_.push_back("--" + key + "=" + value);
            }
            break;
        }
    }

    Job job(const Options& commandLine, const std::string& place) const {
        std::vector<std::string> arguments = arguments_;
        if (!input_.empty()) arguments.insert(arguments.end(), {"--", input_});
        Options options = jobOptions(commandLine, arguments);
        if (input_ == "-") throw UsageError("a batch reads no MIDI file from standard input");
        const int inputs = !input_.empty() + options.demo + !options.notes.empty();
        if (inputs > 1) throw UsageError("give one of a MIDI file, demo and notes");
        if (inputs == 0) throw UsageError("no MIDI file (the 'midi' column)");
        Job job = planJob(options, input_, "");
        job.place = place;
        return job;
    }

  private:
    std::string input_;
    std::vector<std::string> arguments_;
};

// A JSON value as the text of an option; lists give the option once for each item.
std::vector<std::string> texts(const json::Value& value, const std::string& key) {
    switch (value.type) {
    case json::Value::Type::Null: return {};
    case json::Value::Type::Boolean: return {value.boolean ? "true" : "false"};
    case json::Value::Type::Number:
    case json::Value::Type::String: return {value.text};
    case json::Value::Type::Array: {
        std::vector<std::string> all;
        for (const json::Value& item : value.items) {
            if (item.isArray() || item.isObject())
                throw UsageError(key + ": a list of numbers or strings, not of " +
                                 json::describe(item.type) + "s");
            const std::vector<std::string> one = texts(item, key);
            all.insert(all.end(), one.begin(), one.end());
        }
        return all;
    }
    case json::Value::Type::Object: break;
    }
    throw UsageError(key + ": an object only for \"params\"");
}

Job jsonJob(const std::string& line, const Options& commandLine, const std::string& place) {
    json::Value object;
    try {
        object = json::parse(line);
    } catch (const json::SyntaxError& error) {
        throw UsageError("column " + std::to_string(error.column) + ": " + error.what());
    }
    if (!object.isObject())
        throw UsageError("not an object but " + std::string(json::describe(object.type)));
    JobLine job;
    for (const auto& [key, value] : object.members) {
        if (key == "params") {
            if (!value.isObject()) throw UsageError("params: an object of names and values");
            for (const auto& [name, setting] : value.members) {
                if (!setting.isNumber() && !setting.isString())
                    throw UsageError("params: " + name + ": a number or a text");
                job.add("param:" + name, setting.text, "key");
            }
            continue;
        }
        for (const std::string& text : texts(value, key))
            job.add(key, text, "key");
    }
    return job.job(commandLine, place);
}

// The records of a CSV text (RFC 4180: quotes around cells that hold commas, quotes
// or line breaks, a quote doubled inside them), each with the line it starts on.
// Spaces around an unquoted cell are dropped.
struct Record {
    int line;
    std::vector<std::string> cells;
};

std::vector<Record> csvRecords(const std::string& text, const std::string& name) {
    std::vector<Record> records;
    size_t at = 0;
    int line = 1;
    while (at < text.size()) {
        Record record{line, {}};
        bool endOfRecord = false;
        while (!endOfRecord) {
            std::string cell;
            while (at < text.size() && text[at] == ' ')
                ++at;
            if (at < text.size() && text[at] == '"') {
                const int opened = line;
                ++at;
                for (;;) {
                    if (at >= text.size()) {
                        throw UsageError(name + ":" + std::to_string(opened) +
                                         ": a quoted cell has no closing quote");
                    }
                    if (text[at] == '"') {
                        if (at + 1 < text.size() && text[at + 1] == '"') {
                            cell += '"';
                            at += 2;
                            continue;
                        }
                        ++at;
                        break;
                    }
                    if (text[at] == '\n') ++line;
                    cell += text[at++];
                }
                while (at < text.size() && (text[at] == ' ' || text[at] == '\r'))
                    ++at;
                if (at < text.size() && text[at] != ',' && text[at] != '\n') {
                    throw UsageError(name + ":" + std::to_string(line) +
                                     ": text after a quoted cell");
                }
            } else {
                while (at < text.size() && text[at] != ',' && text[at] != '\n')
                    cell += text[at++];
                while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\r'))
                    cell.pop_back();
            }
            record.cells.push_back(cell);
            if (at >= text.size() || text[at] == '\n') {
                endOfRecord = true;
                ++line;
            }
            ++at;
        }
        const bool blank = record.cells.size() == 1 && record.cells[0].empty();
        if (!blank) records.push_back(std::move(record));
    }
    return records;
}

std::vector<Job> csvJobs(const std::string& text, const std::string& name,
                         const Options& commandLine) {
    const std::vector<Record> records = csvRecords(text, name);
    if (records.empty()) return {};
    const Record& header = records.front();
    auto at = [&](int line) { return name + ":" + std::to_string(line); };
    for (size_t c = 0; c < header.cells.size(); ++c) {
        const std::string& column = header.cells[c];
        if (column.empty())
            throw UsageError(at(header.line) + ": column " + std::to_string(c + 1) +
                             " has no name");
        if (std::count(header.cells.begin(), header.cells.end(), column) > 1)
            throw UsageError(at(header.line) + ": the column '" + column + "' is named twice");
        if (column != "midi" && column.rfind("param:", 0) != 0 && !findKey(column)) {
            throw UsageError(at(header.line) + ": unknown column '" + column +
                             "' (known: " + knownKeys() + ", param:NAME)");
        }
    }
    std::vector<Job> jobs;
    for (size_t r = 1; r < records.size(); ++r) {
        const Record& record = records[r];
        try {
            if (record.cells.size() != header.cells.size()) {
                throw UsageError(std::to_string(record.cells.size()) + " cells; the header names " +
                                 std::to_string(header.cells.size()) + " columns");
            }
            JobLine job;
            for (size_t c = 0; c < record.cells.size(); ++c)
                job.add(header.cells[c], record.cells[c], "column");
            jobs.push_back(job.job(commandLine, at(record.line)));
        } catch (const UsageError& error) {
            throw UsageError(at(record.line) + ": " + error.what());
        }
    }
    return jobs;
}

std::vector<Job> jsonLinesJobs(const std::string& text, const std::string& name,
                               const Options& commandLine) {
    std::vector<Job> jobs;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const std::string place = name + ":" + std::to_string(number);
        try {
            jobs.push_back(jsonJob(line, commandLine, place));
        } catch (const UsageError& error) {
            throw UsageError(place + ": " + error.what());
        }
    }
    return jobs;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           hosting::lowerCase(text.substr(text.size() - end.size())) == end;
}

} // namespace

std::vector<Job> parseJobList(const std::string& text, const std::string& name,
                              const Options& commandLine) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    const bool jsonLines =
        endsWith(name, ".jsonl") || endsWith(name, ".ndjson") || endsWith(name, ".json") ||
        (!endsWith(name, ".csv") && first != std::string::npos && text[first] == '{');
    return jsonLines ? jsonLinesJobs(text, name, commandLine) : csvJobs(text, name, commandLine);
}

std::vector<Job> readJobList(const std::string& path, const Options& commandLine) {
    if (path != "-") return parseJobList(readTextFile(path), path, commandLine);
    std::stringstream text;
    text << std::cin.rdbuf();
    return parseJobList(text.str(), "standard input", commandLine);
}

} // namespace quillo::render
