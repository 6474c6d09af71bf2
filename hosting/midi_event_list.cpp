#include "hosting/midi_event_list.h"

#include <algorithm>
#include <new>

namespace quillo::hosting {

static_assert(offsetof(VstEvents, events) == 2 * sizeof(void*));

MidiEventList::MidiEventList(size_t capacity)
    : events_(std::max<size_t>(capacity, 1)),
      storage_(new void*[2 + std::max<size_t>(events_.size(), 2)]()),
      list_(new (storage_.get()) VstEvents{}), slots_(list_->events) {}

bool MidiEventList::add(int32_t deltaFrames, const uint8_t* bytes, size_t length) {
    if (full()) return false;
    const size_t index = size();
    VstMidiEvent& event = events_[index];
    event = VstMidiEvent{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = deltaFrames;
    for (size_t i = 0; i < std::min<size_t>(length, 3); ++i) {
        event.midiData[i] = static_cast<char>(bytes[i]);
    }
    slots_[index] = reinterpret_cast<VstEvent*>(&event);
    list_->numEvents = static_cast<int32_t>(index + 1);
    return true;
}

} // namespace quillo::hosting
