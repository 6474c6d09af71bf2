#include "plugins/jack/jack_synth.h"

#include <jack/midiport.h>

#ifdef QUILLO_JACK_COUNT_ALLOCATIONS
#include "validate/alloc_counter.h"
#endif

#include <cmath>
#include <cstring>

namespace {

constexpr size_t kCommandQueueBytes = 64 * 1024;

// The JACK library prints its own errors; ours are one line each.
void quiet(const char*) {}

} // namespace

JackSynth::JackSynth(const std::string& clientName) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    client_ = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!client_) {
        if (status & JackServerFailed)
            throw JackError("no JACK server is running (start jackd, or PipeWire with its "
                            "JACK support)");
        if (status & JackNameNotUnique)
            throw JackError("a JACK client named '" + clientName + "' is already running");
        throw JackError("the JACK server refused the client (status 0x" +
                        std::to_string(unsigned(status)) + ")");
    }
    midiIn_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    left_ = jack_port_register(client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    right_ = jack_port_register(client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    commands_ = jack_ringbuffer_create(kCommandQueueBytes);
    if (!midiIn_ || !left_ || !right_ || !commands_) {
        if (commands_) jack_ringbuffer_free(commands_);
        jack_client_close(client_);
        throw JackError("cannot register the client's ports");
    }
    jack_ringbuffer_mlock(commands_);

    // Built at 44100 Hz with program 0, then set to the server's rate, as a plug-in
    // host does, so that the same settings sound the same in every format.
    core_ = std::make_unique<SynthCore>();
    appliedRate_ = static_cast<float>(jack_get_sample_rate(client_));
    core_->setSampleRate(appliedRate_);
    sampleRate_ = jack_get_sample_rate(client_);
    bufferSize_ = jack_get_buffer_size(client_);

    jack_set_process_callback(client_, process, this);
    jack_set_sample_rate_callback(client_, sampleRateChanged, this);
    jack_set_buffer_size_callback(client_, bufferSizeChanged, this);
    jack_set_xrun_callback(client_, xrun, this);
    jack_on_info_shutdown(client_, shutdown, this);
}

JackSynth::~JackSynth() {
    if (!serverGone_) jack_deactivate(client_);
    jack_client_close(client_);
    jack_ringbuffer_free(commands_);
}

void JackSynth::activate() {
    if (jack_activate(client_) != 0) throw JackError("cannot activate the JACK client");
}

const char* JackSynth::clientName() const {
    return jack_get_client_name(client_);
}

bool JackSynth::send(const Command& command) {
    if (jack_ringbuffer_write_space(commands_) < sizeof command) return false;
    jack_ringbuffer_write(commands_, reinterpret_cast<const char*>(&command), sizeof command);
    return true;
}

bool JackSynth::sendParameter(int32_t index, float value) {
    return send({Command::Parameter, index, value});
}

bool JackSynth::sendProgram(int32_t program) {
    return send({Command::Program, program, 0.0f});
}

int JackSynth::connect(const char* pattern, const char* type, unsigned long flags, bool toUs) {
    const char** ports =
        jack_get_ports(client_, pattern, type, flags | (toUs ? JackPortIsOutput : JackPortIsInput));
    if (!ports) return 0;
    int made = 0;
    if (toUs) {
        for (int i = 0; ports[i]; ++i)
            if (jack_connect(client_, ports[i], jack_port_name(midiIn_)) == 0) ++made;
    } else {
        // Left and right to the first two inputs that match. Both carry the same signal,
        // so a single matching input takes the left one alone.
        jack_port_t* ours[] = {left_, right_};
        for (int i = 0; i < 2 && ports[i]; ++i)
            if (jack_connect(client_, jack_port_name(ours[i]), ports[i]) == 0) ++made;
    }
    jack_free(ports);
    return made;
}

int JackSynth::connectMidiFrom(const char* pattern, unsigned long flags) {
    return connect(pattern, JACK_DEFAULT_MIDI_TYPE, flags, true);
}

int JackSynth::connectAudioTo(const char* pattern, unsigned long flags) {
    return connect(pattern, JACK_DEFAULT_AUDIO_TYPE, flags, false);
}

uint64_t JackSynth::allocationsWhileProcessing() const {
    return allocations_.load();
}

JackSynth::Status JackSynth::takeStatus() {
    return {sampleRate_.load(), bufferSize_.load(), notes_.load(), xruns_.load(),
            peak_.exchange(0.0f)};
}

std::string JackSynth::shutdownReason() const {
    return serverGone_.load(std::memory_order_acquire) ? shutdownReason_ : "";
}

// Settings from outside, in the order they were sent.
void JackSynth::runCommands() {
    Command command;
    while (jack_ringbuffer_read_space(commands_) >= sizeof command) {
        jack_ringbuffer_read(commands_, reinterpret_cast<char*>(&command), sizeof command);
        if (command.kind == Command::Parameter)
            core_->setParameter(command.index, command.value);
        else
            core_->setProgram(command.index);
    }
}

// The period's MIDI, each message at its frame. Program changes select programs; the
// instrument takes everything else (and ignores what it does not play).
void JackSynth::receiveMidi(jack_nframes_t frames) {
    void* buffer = jack_port_get_buffer(midiIn_, frames);
    const uint32_t count = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        uint8_t bytes[3] = {0, 0, 0};
        std::memcpy(bytes, event.buffer, event.size < 3 ? event.size : 3);
        const uint8_t kind = bytes[0] & 0xF0;
        if (kind == 0xC0) {
            core_->setProgram(bytes[1] & 0x7F);
            continue;
        }
        if (kind == 0x90 && (bytes[2] & 0x7F) != 0) notes_.fetch_add(1, std::memory_order_relaxed);
        core_->receiveMidi(bytes, static_cast<int32_t>(event.time));
    }
}

int JackSynth::process(jack_nframes_t frames, void* arg) {
    auto& self = *static_cast<JackSynth*>(arg);
#ifdef QUILLO_JACK_COUNT_ALLOCATIONS
    // The checked build counts every call into the allocator made from here.
    quillo::validate::AllocationCounter::Armed armed;
#endif
    // A new server rate is applied here, where nothing renders beside it.
    const float rate = static_cast<float>(self.sampleRate_.load(std::memory_order_relaxed));
    if (rate != self.appliedRate_) {
        self.core_->setSampleRate(rate);
        self.appliedRate_ = rate;
    }
    self.runCommands();
    self.receiveMidi(frames);
    auto* left = static_cast<float*>(jack_port_get_buffer(self.left_, frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(self.right_, frames));
    self.core_->render(left, right, static_cast<int32_t>(frames));

    float peak = 0.0f;
    for (jack_nframes_t i = 0; i < frames; ++i)
        peak = std::fmax(peak, std::fabs(left[i]));
    float seen = self.peak_.load(std::memory_order_relaxed);
    while (peak > seen && !self.peak_.compare_exchange_weak(seen, peak)) {
    }
#ifdef QUILLO_JACK_COUNT_ALLOCATIONS
    self.allocations_.store(quillo::validate::AllocationCounter::count());
#endif
    return 0;
}

int JackSynth::sampleRateChanged(jack_nframes_t rate, void* arg) {
    static_cast<JackSynth*>(arg)->sampleRate_ = rate;
    return 0;
}

int JackSynth::bufferSizeChanged(jack_nframes_t frames, void* arg) {
    static_cast<JackSynth*>(arg)->bufferSize_ = frames;
    return 0;
}

int JackSynth::xrun(void* arg) {
    static_cast<JackSynth*>(arg)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void JackSynth::shutdown(jack_status_t, const char* reason, void* arg) {
    auto& self = *static_cast<JackSynth*>(arg);
    std::strncpy(self.shutdownReason_, reason ? reason : "", sizeof self.shutdownReason_ - 1);
    self.serverGone_.store(true, std::memory_order_release);
}
