// Quillo as a JACK client: one MIDI input, two audio outputs, the instrument in
// between.
//
// The process callback runs on JACK's real-time thread: it takes the settings sent
// from outside through a lock-free queue, the MIDI of the period with each event at
// its frame, and renders the whole period. It allocates nothing, locks nothing and
// blocks on nothing. Everything else runs on the thread that made the client.
#pragma once

#include "synth/synth_core.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// What went wrong talking to the server, as one line for the user.
struct JackError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class JackSynth {
  public:
    // Opens a client on a running server (never starts one). Throws JackError.
    explicit JackSynth(const std::string& clientName);
    ~JackSynth();
    JackSynth(const JackSynth&) = delete;
    JackSynth& operator=(const JackSynth&) = delete;

    // Queue a setting for the next period; false when the queue is full.
    bool sendParameter(int32_t index, float value);
    bool sendProgram(int32_t program);

    void activate();
    // Connects ports of other clients whose names match the pattern (a regular
    // expression; null for any) and that have the given flags: every such MIDI output
    // to our input, our two outputs to the first two such audio inputs. Returns the
    // number of connections made.
    int connectMidiFrom(const char* pattern, unsigned long flags = 0);
    int connectAudioTo(const char* pattern, unsigned long flags = 0);

    // What the status line shows; read from the control thread.
    struct Status {
        uint32_t sampleRate;
        uint32_t bufferSize;
        uint64_t notes;
        uint64_t xruns;
        float peak; // largest absolute sample since the last status, then reset
    };
    Status takeStatus();
    // Set when the server went away, with its reason.
    bool serverGone() const { return serverGone_.load(); }
    std::string shutdownReason() const;
    // Calls into the allocator from the process callback; counted only in the checked
    // build (QUILLO_JACK_COUNT_ALLOCATIONS), 0 otherwise.
    uint64_t allocationsWhileProcessing() const;
    const char* clientName() const;

  private:
    struct Command {
        enum Kind : int32_t { Parameter, Program } kind;
        int32_t index;
        float value;
    };

    static int process(jack_nframes_t frames, void* self);
    static int sampleRateChanged(jack_nframes_t rate, void* self);
    static int bufferSizeChanged(jack_nframes_t frames, void* self);
    static int xrun(void* self);
    static void shutdown(jack_status_t code, const char* reason, void* self);

    void runCommands();
    void receiveMidi(jack_nframes_t frames);
    bool send(const Command& command);
    int connect(const char* pattern, const char* type, unsigned long flags, bool toUs);

    jack_client_t* client_ = nullptr;
    jack_port_t* midiIn_ = nullptr;
    jack_port_t* left_ = nullptr;
    jack_port_t* right_ = nullptr;
    jack_ringbuffer_t* commands_ = nullptr;
    std::unique_ptr<SynthCore> core_; // about half a megabyte: on the heap

    float appliedRate_ = 0;
    std::atomic<uint32_t> sampleRate_{0};
    std::atomic<uint32_t> bufferSize_{0};
    std::atomic<uint64_t> notes_{0};
    std::atomic<uint64_t> xruns_{0};
    std::atomic<float> peak_{0};
    std::atomic<bool> serverGone_{false};
    std::atomic<uint64_t> allocations_{0};
    char shutdownReason_[256] = {};
};
