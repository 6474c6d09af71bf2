// The effect record, the identity a plug-in gives, and the dispatcher's answers
// to every opcode a host might send.

#include "validate/check.h"
#include "validate/guarded_bytes.h"
#include "validate/session.h"

#include <cstdio>

namespace quillo::validate {
namespace {

std::string fourChars(int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

// A host reads the record before anything else and trusts it from then on.
std::string recordIsSane(const Context& context) {
    auto plugin = context.create();
    const AEffect* effect = plugin->effect();
    expect(effect->magic == kEffectMagic, "magic is not 'VstP'");
    expect(effect->dispatcher != nullptr, "no dispatcher function");
    expect(effect->setParameter != nullptr, "no setParameter function");
    expect(effect->getParameter != nullptr, "no getParameter function");
    expect((effect->flags & effFlagsCanReplacing) != 0,
           "does not announce processReplacing (flag 0x10)");
    expect(effect->processReplacing != nullptr, "no processReplacing function");
    expect(!(effect->flags & effFlagsCanDoubleReplacing) || effect->processDoubleReplacing,
           "announces double precision but has no processDoubleReplacing function");
    expect(effect->numParams >= 0 && effect->numParams <= 10000,
           "implausible parameter count " + std::to_string(effect->numParams));
    expect(effect->numPrograms >= 0 && effect->numPrograms <= 10000,
           "implausible program count " + std::to_string(effect->numPrograms));
    expect(effect->numInputs >= 0 && effect->numInputs <= 64,
           "implausible input count " + std::to_string(effect->numInputs));
    expect(effect->numOutputs >= 1 && effect->numOutputs <= 64,
           "an instrument needs 1 to 64 outputs, not " + std::to_string(effect->numOutputs));
    expect(effect->uniqueID != 0, "unique identifier is 0");
    expect(effect->initialDelay >= 0, "negative initial delay");

    // Some hosts copy the record's numbers once; they must not change on opening.
    const AEffect before = *effect;
    plugin->open();
    plugin->setSampleRate(48000.0);
    plugin->setBlockSize(512);
    plugin->resume();
    expect(effect->magic == kEffectMagic, "magic changed after opening");
    expect(effect->dispatcher == before.dispatcher &&
               effect->processReplacing == before.processReplacing &&
               effect->setParameter == before.setParameter &&
               effect->getParameter == before.getParameter,
           "function pointers changed after opening");
    expect(effect->numParams == before.numParams && effect->numPrograms == before.numPrograms &&
               effect->numOutputs == before.numOutputs,
           "counts changed after opening");

    char text[160];
    std::snprintf(text, sizeof text,
                  "%d parameters, %d programs, %d in, %d out, flags 0x%x, id '%s', version %d",
                  effect->numParams, effect->numPrograms, effect->numInputs, effect->numOutputs,
                  static_cast<unsigned>(effect->flags), fourChars(effect->uniqueID).c_str(),
                  effect->version);
    return text;
}

// A host lists an instrument only when it says it is one and takes MIDI.
std::string declaresInstrumentTakingMidi(const Context& context) {
    auto plugin = context.create();
    plugin->open();
    expect(plugin->isInstrument(), "neither the synth flag (0x100) nor the synth category");
    const intptr_t events = plugin->canDo("receiveVstEvents");
    const intptr_t midi = plugin->canDo("receiveVstMidiEvent");
    expect(events == 1 || midi == 1,
           "answers neither receiveVstEvents nor receiveVstMidiEvent with 1");
    expect(plugin->canDo("quilloValidateNoSuchCapability") != 1,
           "claims a capability that does not exist");
    const int32_t version = plugin->vstVersion();
    expect(version >= 2400, "VST version " + std::to_string(version) + ", not 2.4");
    return "category " + std::to_string(plugin->category()) + ", VST version " +
           std::to_string(version);
}

// The interface's text sizes: 32 bytes for the effect name, 64 for the others.
std::string identityTextsEndInsideBuffers(const Context& context) {
    auto plugin = context.create();
    struct Text {
        int32_t opcode;
        const char* what;
        size_t size;
    };
    const Text texts[] = {{effGetEffectName, "effect name", 32},
                          {effGetVendorString, "vendor", 64},
                          {effGetProductString, "product", 64}};
    std::string summary;
    for (const Text& t : texts) {
        GuardedBytes buffer(t.size);
        plugin->dispatch(t.opcode, 0, 0, buffer.data());
        const std::string damage = buffer.damage();
        expect(damage.empty(), std::string(t.what) + ": " + damage);
        expect(buffer.terminated(),
               std::string(t.what) + " not terminated within " + std::to_string(t.size) + " bytes");
        summary +=
            (summary.empty() ? "" : ", ") + std::string(t.what) + " \"" + buffer.text() + "\"";
    }
    return summary;
}

} // namespace

void addRecordChecks(std::vector<Check>& checks) {
    checks.push_back({"effect record: magic, counts, flags and functions", recordIsSane});
    checks.push_back({"declares an instrument that receives MIDI", declaresInstrumentTakingMidi});
    checks.push_back(
        {"identity texts end inside the host's buffers", identityTextsEndInsideBuffers});
}

} // namespace quillo::validate
