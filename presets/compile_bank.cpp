// quillo-bank SOURCE OUTPUT.cpp: compiles the factory bank's text into the table
// of presets/factory_bank.h.
// quillo-bank --texts SOURCE: prints the source with every text column rewritten
// from its value, for whoever edits the values.
//
// The source holds, for each preset, a line "preset NAME", a line "audition KIND",
// a line "about TEXT" and then the 36 parameters in index order, each as its name,
// its normalised value and the text the plug-in shows for that value. The texts are
// there for the reader; this tool asks the plug-in for each one and stops the build,
// naming the line, when a text disagrees with its value, so the columns a reviewer
// reads are always the sound that ships.

#include "plugins/vst2/vst_x_synth.h"
#include "presets/factory_bank.h"
#include "synth/program_record.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// --texts: rewrite the text columns instead of checking them.
bool rewriteTexts = false;

struct SourcePreset {
    int line = 0;
    std::string name;
    std::string about;
    Audition audition = Audition::Keys;
    bool hasAudition = false;
    float values[kNumParameters] = {};
    std::string texts[kNumParameters];
    int parameters = 0; // how many have been read
};

class SourceError : public std::runtime_error {
  public:
    SourceError(const std::string& file, int line, const std::string& what)
        : std::runtime_error(file + ":" + std::to_string(line) + ": " + what) {}
};

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool startsWithWord(const std::string& line, const std::string& word, std::string& rest) {
    if (line.compare(0, word.size(), word) != 0) return false;
    if (line.size() > word.size() && line[word.size()] != ' ' && line[word.size()] != '\t')
        return false;
    rest = trimmed(line.substr(word.size()));
    return true;
}

Audition auditionNamed(const std::string& name, const std::string& file, int line) {
    for (Audition a : {Audition::Bass, Audition::Lead, Audition::Pad, Audition::Keys,
                       Audition::Hits, Audition::Effect})
        if (name == auditionName(a)) return a;
    throw SourceError(file, line,
                      "unknown audition '" + name + "' (bass, lead, pad, keys, hits or effect)");
}

// The plug-in itself says what each value reads: one instance, no host.
class TextSource {
  public:
    TextSource() : synth_(std::make_unique<VstXSynth>(nullptr)) {}
    std::string text(int32_t index, float value) {
        synth_->setParameter(index, value);
        char text[kMaxValueTextLength + 1] = {};
        synth_->getParameterDisplay(index, text);
        return text;
    }

  private:
    std::unique_ptr<VstXSynth> synth_;
};

// Returns the line with the text the plug-in shows.
std::string readParameter(SourcePreset& preset, const std::string& raw, const std::string& file,
                          int number, TextSource& texts) {
    const std::string line = trimmed(raw);
    const int32_t index = preset.parameters;
    if (index >= kNumParameters)
        throw SourceError(file, number,
                          "more than " + std::to_string(kNumParameters) +
                              " parameters in preset '" + preset.name + "'");
    const std::string name = kParameterTable[index].name;
    std::string rest;
    if (!startsWithWord(line, name, rest))
        throw SourceError(file, number,
                          "expected parameter " + std::to_string(index) + " '" + name +
                              "' here (the parameters go in index order)");
    std::istringstream fields(rest);
    std::string valueText, shown, extra;
    fields >> valueText >> shown;
    if (valueText.empty() || shown.empty() || (fields >> extra))
        throw SourceError(file, number, name + ": expected a value and its text");
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(valueText.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(value >= 0.0f && value <= 1.0f))
        throw SourceError(file, number, name + ": '" + valueText + "' is not a value from 0 to 1");
    const std::string actual = texts.text(index, value);
    std::string corrected = raw;
    if (rewriteTexts) {
        const size_t at = raw.rfind(shown);
        corrected = raw.substr(0, at) + actual;
        shown = actual;
    }
    if (actual != shown)
        throw SourceError(file, number,
                          name + " " + valueText + " reads \"" + actual +
                              "\" in the plug-in, not \"" + shown + "\"");
    preset.values[index] = value;
    preset.texts[index] = shown;
    ++preset.parameters;
    return corrected;
}

void finish(const SourcePreset& preset, const std::string& file) {
    if (preset.parameters != kNumParameters)
        throw SourceError(file, preset.line,
                          "preset '" + preset.name + "' has " + std::to_string(preset.parameters) +
                              " of the " + std::to_string(kNumParameters) + " parameters");
    if (!preset.hasAudition)
        throw SourceError(file, preset.line, "preset '" + preset.name + "' has no audition line");
    if (preset.about.empty())
        throw SourceError(file, preset.line, "preset '" + preset.name + "' has no about line");
}

std::vector<SourcePreset> readSource(const std::string& file, std::ostream* rewritten) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error(file + ": cannot read");
    TextSource texts;
    std::vector<SourcePreset> presets;
    std::set<std::string> slugs;
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        const std::string line = trimmed(raw);
        std::string out = raw;
        if (line.empty() || line[0] == '#') {
            if (rewritten) *rewritten << out << "\n";
            continue;
        }
        std::string rest;
        if (startsWithWord(line, "preset", rest)) {
            if (!presets.empty()) finish(presets.back(), file);
            if (rest.empty() || rest.size() >= size_t(ProgramRecord::kNameSize))
                throw SourceError(file, number,
                                  "a preset name has 1 to " +
                                      std::to_string(ProgramRecord::kNameSize - 1) +
                                      " characters: '" + rest + "'");
            for (unsigned char c : rest)
                if (c < 0x20 || c > 0x7E || c == '"' || c == '\\' || c == '|')
                    throw SourceError(
                        file, number,
                        "a preset name is plain ASCII without quotes, backslashes or bars");
            if (presetSlug(rest).empty() || !slugs.insert(presetSlug(rest)).second)
                throw SourceError(file, number, "'" + rest + "' is not a name of its own");
            presets.emplace_back();
            presets.back().line = number;
            presets.back().name = rest;
        } else if (presets.empty()) {
            throw SourceError(file, number, "expected \"preset NAME\"");
        } else if (startsWithWord(line, "audition", rest)) {
            presets.back().audition = auditionNamed(rest, file, number);
            presets.back().hasAudition = true;
        } else if (startsWithWord(line, "about", rest)) {
            // It goes into C++ and Turtle strings and a Markdown table.
            if (rest.find_first_of("\"\\|") != std::string::npos)
                throw SourceError(file, number, "an about line has no quotes, backslashes or bars");
            presets.back().about = rest;
        } else {
            out = readParameter(presets.back(), raw, file, number, texts);
        }
        if (rewritten) *rewritten << out << "\n";
    }
    if (presets.empty()) throw std::runtime_error(file + ": no presets");
    finish(presets.back(), file);
    if (presets.size() > size_t(kNumPrograms))
        throw std::runtime_error(file + ": more presets than the " + std::to_string(kNumPrograms) +
                                 " programs of a bank");
    return presets;
}

// Exact: a hexadecimal float literal reads back as the same float.
std::string floatLiteral(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%af", double(value));
    return text;
}

std::string generated(const std::vector<SourcePreset>& presets, const std::string& source) {
    std::ostringstream out;
    out << "// Written by quillo-bank from " << source << ". Do not edit.\n"
        << "#include \"presets/factory_bank.h\"\n\n"
        << "const FactoryPreset kFactoryPresets[] = {\n";
    const char* auditions[] = {"Bass", "Lead", "Pad", "Keys", "Hits", "Effect"};
    for (const SourcePreset& preset : presets) {
        out << "    {\"" << preset.name << "\", \"" << presetSlug(preset.name) << "\",\n"
            << "     \"" << preset.about << "\",\n"
            << "     Audition::" << auditions[int(preset.audition)] << ",\n     {";
        for (int i = 0; i < kNumParameters; ++i)
            out << (i ? ", " : "") << floatLiteral(preset.values[i]);
        out << "},\n     {";
        for (int i = 0; i < kNumParameters; ++i)
            out << (i ? ", " : "") << "\"" << preset.texts[i] << "\"";
        out << "}},\n";
    }
    out << "};\n\nconst int kNumFactoryPresets = " << presets.size() << ";\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: quillo-bank SOURCE OUTPUT.cpp\n"
                     "       quillo-bank --texts SOURCE\n";
        return 2;
    }
    try {
        if (std::string(argv[1]) == "--texts") {
            rewriteTexts = true;
            std::ostringstream rewritten;
            readSource(argv[2], &rewritten);
            std::cout << rewritten.str();
            return 0;
        }
        const std::string text = generated(readSource(argv[1], nullptr), "presets/factory.txt");
        std::ofstream out(argv[2], std::ios::binary);
        out << text;
        out.close();
        if (!out) throw std::runtime_error(std::string(argv[2]) + ": cannot write");
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
