// Quillo's parameters as quillo-render finds and shows them through its VST 2 plug-in,
// for quillo-jack's command line and its tests.
#pragma once

#include "hosting/parameter_access.h"
#include "plugins/vst2/vst_x_synth.h"

#include <memory>
#include <string>

// An instance of the plug-in class that never plays and only answers for the command
// line, so that names and value texts mean the same in both programs. Main thread.
class ParameterProbe : public quillo::hosting::ParameterAccess {
  public:
    int32_t numParams() override { return kNumParameters; }
    std::string paramName(int32_t index) override {
        char name[64] = {};
        synth_->getParameterName(index, name);
        return name;
    }
    std::string paramText(int32_t index) override {
        char text[64] = {};
        synth_->getParameterDisplay(index, text);
        return text;
    }
    float param(int32_t index) override { return synth_->getParameter(index); }
    void setParam(int32_t index, float value) override { synth_->setParameter(index, value); }

  private:
    std::unique_ptr<VstXSynth> synth_ = std::make_unique<VstXSynth>(nullptr);
};
