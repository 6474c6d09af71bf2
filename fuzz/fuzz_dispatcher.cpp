// The dispatcher: random opcodes, indices, values and opts, with buffers of the
// sizes hosts give for each opcode, interleaved with rendering. effClose is only
// ever sent at the end, by the teardown.

#include "fuzz/fuzz_support.h"

#include <memory>
#include <vector>

namespace {

// Text buffers as hosts size them; everything else gets room for any record.
size_t bufferSize(int32_t opcode) {
    switch (opcode) {
    case effGetProgramName:
    case effSetProgramName:
    case effGetProgramNameIndexed: return 24;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin: return 64;
    case effGetEffectName: return 32;
    case effGetErrorText: return 256;
    default: return 1024;
    }
}

// Opcodes that read a text from the host.
bool takesText(int32_t opcode) {
    return opcode == effSetProgramName || opcode == effString2Parameter || opcode == effCanDo;
}

float anyOpt(fuzz::Bytes& in) {
    static const float nice[] = {0.0f, 1.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 1234.5678f};
    const uint8_t pick = in.u8();
    if (pick < 100) return nice[pick % (sizeof nice / sizeof nice[0])];
    return in.anyFloat();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    fuzz::Synth synth;
    fuzz::startNote(synth, 57);

    for (int step = 0; step < 128 && !in.empty(); ++step) {
        const uint8_t pick = in.u8();
        const int32_t opcode = pick < 240 ? pick % 128 : in.i32();
        if (opcode == effClose) continue;
        const int32_t index = in.smallOrAny(64);
        intptr_t value = in.smallOrAny(64);
        const float opt = anyOpt(in);

        // Heap buffers of exactly the host's size, so that the address
        // sanitizer reports any write past them.
        const size_t bytes = bufferSize(opcode);
        auto buffer = std::make_unique<char[]>(bytes);
        std::memset(buffer.get(), 0, bytes);
        auto second = std::make_unique<char[]>(1024);
        std::memset(second.get(), 0, 1024);
        void* ptr = buffer.get();

        if (takesText(opcode)) {
            const size_t length = in.u8() % bytes;
            for (size_t i = 0; i < length; ++i)
                buffer[i] = static_cast<char>(in.u8() | 1);
        }
        switch (opcode) {
        case effProcessEvents: {
            // A well-formed list of up to two MIDI events with random bytes.
            static VstMidiEvent events[2];
            auto* list = reinterpret_cast<VstEvents*>(buffer.get());
            list->numEvents = in.u8() % 3;
            for (int i = 0; i < list->numEvents; ++i) {
                events[i] = VstMidiEvent{};
                events[i].type = kVstMidiType;
                events[i].byteSize = sizeof(VstMidiEvent);
                events[i].deltaFrames = in.smallOrAny(1024);
                for (char& byte : events[i].midiData)
                    byte = static_cast<char>(in.u8());
                list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
            }
            break;
        }
        case effSetChunk: value = static_cast<intptr_t>(in.u16() % (bytes + 1)); break;
        case effSetSpeakerArrangement:
        case effGetSpeakerArrangement:
            // value carries the address of the input arrangement (or of its pointer).
            value = reinterpret_cast<intptr_t>(second.get());
            break;
        case effOfflineNotify:
        case effOfflinePrepare:
        case effOfflineRun: value = in.u8() % 4; break;
        default:
            // Hosts pass no buffer with some opcodes; none may need one.
            if (in.u8() == 0) ptr = nullptr;
            break;
        }

        synth.dispatch(opcode, index, value, ptr, opt);

        if (in.u8() < 64) synth.render(in.u16() % (fuzz::Synth::kMaxFrames + 1));
    }
    synth.render(512);
    return 0;
}
