// The MIDI file reader: any bytes are read, and whatever reads is placed on
// frames at a common and an odd rate, with a selection of channels and tracks.
// Refusals come as UserError; anything else (a crash, a sanitizer report, an
// event out of time order or before frame 0) is a finding.

#include "hosting/user_error.h"
#include "render/midi_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quillo::render::MidiFile file;
    try {
        file = quillo::render::parseMidiFile(std::vector<uint8_t>(data, data + size));
    } catch (const quillo::UserError&) {
        return 0;
    }
    quillo::render::EventSelection selection;
    selection.channels = size > 0 ? static_cast<uint16_t>(data[0] * 257) : 0xFFFF;
    selection.tracks = {1, 3};
    for (int32_t rate : {44100, 7}) {
        for (const auto& chosen : {quillo::render::EventSelection{}, selection}) {
            const quillo::render::Score score = quillo::render::placeEvents(file, rate, chosen);
            int64_t previous = 0;
            for (const auto& event : score.events) {
                if (event.frame < previous) std::abort();
                previous = event.frame;
            }
            if (score.endFrame < previous) std::abort();
            score.tempo.beatsAt(static_cast<double>(previous) / rate);
        }
    }
    return 0;
}
