#include "synth/note_memory.h"

void NoteMemory::pushFront(uint8_t key, uint8_t velocity) {
    for (int i = kSlots - 1; i > 0; --i)
        slots[i] = slots[i - 1];
    slots[0] = {key, velocity};
}

NoteMemory::Release NoteMemory::remove(uint8_t key) {
    int found = 0;
    while (found < kSlots && slots[found].key != key)
        ++found;
    if (found == kSlots) return Release::NotHeld;

    for (int i = found; i < kSlots - 1; ++i)
        slots[i] = slots[i + 1];
    slots[kSlots - 1] = {};

    if (found != 0) return Release::Background;
    // Emptiness is read from the velocity here: a held key 0 still counts.
    return slots[0].velocity == 0 ? Release::LastKey : Release::FallBack;
}

void NoteMemory::clear() {
    for (Slot& slot : slots)
        slot = {};
}
