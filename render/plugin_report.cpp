#include "render/plugin_report.h"

#include <cstdio>
#include <iomanip>

namespace quillo::render {
namespace {

const char* categoryName(int32_t category) {
    static const char* const names[] = {
        "unknown", "effect",      "synth",       "analysis",        "mastering", "spatializer",
        "room fx", "surround fx", "restoration", "offline process", "shell",     "generator",
    };
    if (category < 0 || category >= static_cast<int32_t>(std::size(names))) return "?";
    return names[category];
}

std::string flagNames(int32_t flags) {
    static const std::pair<int32_t, const char*> known[] = {
        {effFlagsHasEditor, "hasEditor"},
        {effFlagsHasClip, "hasClip"},
        {effFlagsHasVu, "hasVu"},
        {effFlagsCanMono, "canMono"},
        {effFlagsCanReplacing, "canReplacing"},
        {effFlagsProgramChunks, "programChunks"},
        {effFlagsIsSynth, "isSynth"},
        {effFlagsNoSoundInStop, "noSoundInStop"},
        {effFlagsExtIsAsync, "extIsAsync"},
        {effFlagsExtHasBuffer, "extHasBuffer"},
        {effFlagsCanDoubleReplacing, "canDoubleReplacing"},
    };
    std::string names;
    for (const auto& [bit, name] : known) {
        if (flags & bit) names += (names.empty() ? "" : " ") + std::string(name);
    }
    return names;
}

const char* answerText(intptr_t answer) {
    if (answer > 0) return "yes";
    if (answer < 0) return "no";
    return "don't know";
}

std::string hex(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

} // namespace

std::string fourCharacters(int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
        text += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
    }
    return text;
}

void printInfo(hosting::PluginInstance& plugin, std::ostream& out) {
    auto line = [&out](const char* label) -> std::ostream& {
        return out << std::left << std::setw(16) << label;
    };
    line("Plug-in") << plugin.library().path() << " (entry " << plugin.library().entryName()
                    << ")\n";
    line("Effect name") << plugin.effectName() << "\n";
    line("Vendor") << plugin.vendorString() << "\n";
    line("Product") << plugin.productString() << "\n";
    line("Version") << plugin.version() << "\n";
    line("Vendor version") << plugin.vendorVersion() << "\n";
    line("VST version") << plugin.vstVersion() << "\n";
    line("Unique id") << plugin.uniqueId() << " '" << fourCharacters(plugin.uniqueId()) << "'\n";
    const int32_t category = plugin.category();
    line("Category") << category << " (" << categoryName(category) << ")\n";
    line("Programs") << plugin.numPrograms() << "\n";
    line("Parameters") << plugin.numParams() << "\n";
    line("Inputs") << plugin.numInputs() << "\n";
    line("Outputs") << plugin.numOutputs() << "\n";
    line("Flags") << hex(plugin.flags()) << " (" << flagNames(plugin.flags()) << ")\n";
    line("Initial delay") << plugin.effect()->initialDelay << "\n";
    line("Tail size") << plugin.tailSize() << "\n";

    out << "Can do\n";
    static const char* const capabilities[] = {
        "receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
        "sendVstMidiEvent", "receiveVstTimeInfo",  "offline",
        "bypass",           "midiProgramNames",
    };
    for (const char* capability : capabilities) {
        const intptr_t answer = plugin.canDo(capability);
        out << "  " << std::left << std::setw(22) << capability << answerText(answer) << " ("
            << answer << ")\n";
    }

    out << "Parameter names\n";
    for (int32_t index = 0; index < plugin.numParams(); ++index) {
        out << "  " << std::right << std::setw(3) << index << "  " << plugin.paramName(index)
            << "\n";
    }
}

void printParameters(Instrument& plugin, std::ostream& out) {
    int nameWidth = 4, symbolWidth = 0;
    for (int32_t index = 0; index < plugin.numParams(); ++index) {
        nameWidth = std::max(nameWidth, static_cast<int>(plugin.paramName(index).size()));
        symbolWidth = std::max(symbolWidth, static_cast<int>(plugin.paramSymbol(index).size()));
    }
    // LV2 plug-ins name their parameters twice: a label and a symbol.
    if (symbolWidth > 0) symbolWidth = std::max(symbolWidth, 6);
    out << std::right << std::setw(5) << "Index"
        << "  " << std::left << std::setw(nameWidth) << "Name";
    if (symbolWidth > 0) out << "  " << std::setw(symbolWidth) << "Symbol";
    out << "  " << std::setw(8) << "Value"
        << "  Text\n";
    for (int32_t index = 0; index < plugin.numParams(); ++index) {
        char value[32];
        std::snprintf(value, sizeof value, "%.6f", plugin.param(index));
        const std::string text = plugin.paramText(index);
        out << std::right << std::setw(5) << index << "  " << std::left << std::setw(nameWidth)
            << plugin.paramName(index);
        if (symbolWidth > 0) out << "  " << std::setw(symbolWidth) << plugin.paramSymbol(index);
        out << "  " << std::setw(8) << value << "  " << text << "\n";
    }
}

void printPrograms(Instrument& instrument, std::ostream& out) {
    out << "Program  Name\n";
    for (int32_t program = 0; program < instrument.numPrograms(); ++program) {
        out << std::right << std::setw(7) << program << "  " << instrument.programName(program)
            << "\n";
    }
}

} // namespace quillo::render
