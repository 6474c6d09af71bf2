// quillo-lv2-ttl DIR: writes the bundle's manifest.ttl, quillo.ttl and presets.ttl
// into DIR.
//
// Everything a host reads of the ports (names, symbols, ranges, defaults, the choices
// with their labels) comes from the parameter table and the instrument's own value
// texts, so the description cannot drift from what the plug-in does. The presets are
// the factory bank, with the same values to the bit.

#include "plugins/lv2/lv2_ports.h"
#include "presets/factory_bank.h"
#include "synth/choice_values.h"
#include "synth/identity.h"
#include "synth/parameters.h"
#include "synth/program_record.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kBinary = "quillo.so";

// "LFO1 Rate" -> "lfo1_rate": lower case, [a-z0-9_].
std::string symbolFor(const char* name) {
    std::string symbol;
    for (const char* c = name; *c; ++c) {
        if (*c >= 'A' && *c <= 'Z')
            symbol += char(*c - 'A' + 'a');
        else if ((*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9'))
            symbol += *c;
        else
            symbol += '_';
    }
    return symbol;
}

// The shortest decimal that reads back as the same float.
std::string decimal(float value) {
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

const char* kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                        "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                        "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                        "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
                        "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                        "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// Hosts keep a preset's URI in their sessions: it follows the preset's name.
std::string presetUri(const FactoryPreset& preset) {
    return std::string(lv2_ports::kUri) + "/preset/" + preset.slug;
}

// A preset's subject, its class, its plug-in and its label, for the manifest and for
// presets.ttl alike; the statement goes on after the label.
void presetHead(std::ostream& out, const FactoryPreset& preset) {
    out << "\n<" << presetUri(preset) << ">\n"
        << "    a pset:Preset ;\n"
        << "    lv2:appliesTo <" << lv2_ports::kUri << "> ;\n"
        << "    rdfs:label " << quoted(preset.name) << " ;\n";
}

// The manifest names each preset with its label, so a host can list them without
// reading presets.ttl.
std::string manifest() {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
        << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
        << "<" << lv2_ports::kUri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << kBinary << "> ;\n"
        << "    rdfs:seeAlso <quillo.ttl> .\n";
    for (int p = 0; p < kNumFactoryPresets; ++p) {
        presetHead(out, kFactoryPresets[p]);
        out << "    rdfs:seeAlso <presets.ttl> .\n";
    }
    return out.str();
}

std::string presets() {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
        << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    for (int p = 0; p < kNumFactoryPresets; ++p) {
        const FactoryPreset& preset = kFactoryPresets[p];
        presetHead(out, preset);
        out << "    rdfs:comment " << quoted(preset.about) << " ;\n"
            << "    lv2:port ";
        for (int32_t i = 0; i < kNumParameters; ++i) {
            out << (i ? " , " : "") << "[\n"
                << "        lv2:symbol " << quoted(symbolFor(kParameterTable[i].name)) << " ;\n"
                << "        pset:value " << decimal(preset.values[i]) << "\n"
                << "    ]";
        }
        out << " .\n";
    }
    return out.str();
}

std::string description() {
    const ProgramRecord defaults; // program 0 as the plug-in starts
    std::ostringstream out;
    out << kPrefixes << "<" << lv2_ports::kUri << ">\n"
        << "    a lv2:InstrumentPlugin , doap:Project ;\n"
        << "    doap:name " << quoted(identity::kName) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(identity::kVendor) << " ] ;\n"
        << "    doap:release [ doap:revision " << quoted(identity::versionText()) << " ] ;\n"
        << "    rdfs:comment \"A monophonic two-oscillator subtractive synthesizer.\" ;\n"
        << "    lv2:minorVersion " << identity::kVersionMinor << " ;\n"
        << "    lv2:microVersion " << identity::kVersionMicro << " ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:port ";

    std::set<std::string> symbols;
    for (int32_t i = 0; i < kNumParameters; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        const std::string symbol = symbolFor(info.name);
        if (!symbols.insert(symbol).second)
            throw std::runtime_error("two parameters share the symbol " + symbol);
        out << "[\n"
            << "        a lv2:InputPort , lv2:ControlPort ;\n"
            << "        lv2:index " << i << " ;\n"
            << "        lv2:symbol " << quoted(symbol) << " ;\n"
            << "        lv2:name " << quoted(info.name) << " ;\n"
            << "        lv2:default " << decimal(defaults.values[i]) << " ;\n"
            << "        lv2:minimum 0.0 ;\n"
            << "        lv2:maximum 1.0 ;\n";
        const std::vector<float> choices = choiceValues(info.text);
        if (!choices.empty()) {
            out << "        lv2:portProperty lv2:enumeration ;\n"
                << "        lv2:scalePoint ";
            for (size_t c = 0; c < choices.size(); ++c) {
                char label[kMaxValueTextLength + 1];
                writeValueText(info.text, choices[c], label);
                out << (c ? " , " : "") << "[ rdfs:label " << quoted(label) << " ; rdf:value "
                    << decimal(choices[c]) << " ]";
            }
            out << " ;\n";
        }
        out << "    ] , ";
    }
    out << "[\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports midi:MidiEvent ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << lv2_ports::kMidiIn << " ;\n"
        << "        lv2:symbol \"midi_in\" ;\n"
        << "        lv2:name \"MIDI In\" ;\n"
        << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << lv2_ports::kLeftOut << " ;\n"
        << "        lv2:symbol \"out_left\" ;\n"
        << "        lv2:name \"Left\" ;\n"
        << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << lv2_ports::kRightOut << " ;\n"
        << "        lv2:symbol \"out_right\" ;\n"
        << "        lv2:name \"Right\" ;\n"
        << "    ] .\n";
    return out.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) {
        std::cerr << "quillo-lv2-ttl: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quillo-lv2-ttl DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    try {
        if (!writeFile(dir + "/manifest.ttl", manifest())) return 1;
        if (!writeFile(dir + "/quillo.ttl", description())) return 1;
        if (!writeFile(dir + "/presets.ttl", presets())) return 1;
    } catch (const std::exception& error) {
        std::cerr << "quillo-lv2-ttl: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
