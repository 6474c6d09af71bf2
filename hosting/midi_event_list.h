// A list of MIDI events for one block, handed to a plug-in as a VstEvents.
// All storage is taken once, at construction; filling and sending a block
// allocates nothing.
#pragma once

#include "host_interface/aeffect.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillo::hosting {

class MidiEventList {
  public:
    explicit MidiEventList(size_t capacity);
    MidiEventList(const MidiEventList&) = delete;
    MidiEventList& operator=(const MidiEventList&) = delete;

    size_t capacity() const { return events_.size(); }
    size_t size() const { return static_cast<size_t>(list_->numEvents); }
    bool empty() const { return size() == 0; }
    bool full() const { return size() == capacity(); }

    void clear() { list_->numEvents = 0; }

    // Appends a channel message of up to three bytes at the given frame of the
    // block. Returns false, adding nothing, when the list is full.
    bool add(int32_t deltaFrames, const uint8_t* bytes, size_t length);

    // The list as the plug-in reads it; valid until the next add or clear.
    VstEvents* vstEvents() { return list_; }
    const VstMidiEvent& operator[](size_t i) const { return events_[i]; }

  private:
    std::vector<VstMidiEvent> events_;
    // VstEvents ends in an array of event pointers as long as the list: one
    // pointer-sized word each for the count and the reserved field, then one
    // word per event.
    std::unique_ptr<void*[]> storage_;
    VstEvents* list_;
    VstEvent** slots_;
};

} // namespace quillo::hosting
