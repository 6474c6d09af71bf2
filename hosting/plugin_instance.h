// One instance of a VST 2 plug-in: its effect record, its Host, and typed calls
// for the dispatcher opcodes a host sends.
#pragma once

#include "hosting/host.h"
#include "hosting/plugin_library.h"

#include <memory>
#include <string>

namespace quillo::hosting {

class PluginInstance {
  public:
    // Calls the library's entry point with a new Host. Throws UserError when the
    // entry point returns no record or a record without the VST magic.
    static std::unique_ptr<PluginInstance> create(std::shared_ptr<PluginLibrary> library,
                                                  HostSettings settings = {});

    // Stops processing if needed and closes the instance.
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return effect_; }
    Host& host() { return *host_; }
    const PluginLibrary& library() const { return *library_; }

    // Lifecycle, in the order a host goes through it.
    void open();
    void setSampleRate(double rate);
    void setBlockSize(int32_t frames);
    void resume();  // effMainsChanged 1, then effStartProcess
    void suspend(); // effStopProcess, then effMainsChanged 0
    void close();   // effClose; the record is gone afterwards
    bool isResumed() const { return resumed_; }

    // Numbers straight from the record.
    int32_t numPrograms() const { return effect_->numPrograms; }
    int32_t numParams() const { return effect_->numParams; }
    int32_t numInputs() const { return effect_->numInputs; }
    int32_t numOutputs() const { return effect_->numOutputs; }
    int32_t flags() const { return effect_->flags; }
    int32_t uniqueId() const { return effect_->uniqueID; }
    int32_t version() const { return effect_->version; }

    // Identity and capabilities.
    std::string effectName();
    std::string vendorString();
    std::string productString();
    int32_t vendorVersion();
    int32_t vstVersion();
    int32_t category();
    intptr_t canDo(const std::string& capability); // 1 yes, -1 no, 0 don't know
    int32_t tailSize();
    // An instrument says so by its flag or by its category.
    bool isInstrument();

    // Parameters and programs.
    std::string paramName(int32_t index);
    std::string paramLabel(int32_t index);
    std::string paramDisplay(int32_t index);
    float param(int32_t index);
    void setParam(int32_t index, float value);
    // Index of the parameter whose name matches without regard to case, or -1.
    int32_t findParam(const std::string& name);
    int32_t program();
    void setProgram(int32_t program);
    std::string programName();

    // Processing.
    intptr_t processEvents(VstEvents* events);
    void processReplacing(float** inputs, float** outputs, int32_t frames);

    // Any opcode, unchanged.
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

  private:
    PluginInstance(std::shared_ptr<PluginLibrary> library, std::unique_ptr<Host> host,
                   AEffect* effect);
    std::string text(int32_t opcode, int32_t index = 0);

    std::shared_ptr<PluginLibrary> library_; // outlives the record it made
    std::unique_ptr<Host> host_;
    AEffect* effect_;
    bool resumed_ = false;
};

} // namespace quillo::hosting
