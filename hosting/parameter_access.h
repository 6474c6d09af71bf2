// A plug-in's parameters as the command-line tools reach them, whatever the format:
// found by name (or an LV2 port's symbol) in any case, and set by a normalised
// number or by the text the plug-in shows ("--param Wave1=Pulse").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quillo::hosting {

class ParameterAccess {
  public:
    virtual ~ParameterAccess() = default;

    // Parameters, by index from 0.
    virtual int32_t numParams() = 0;
    virtual std::string paramName(int32_t index) = 0;
    // A second name to find the parameter by (an LV2 port's symbol); may be empty.
    virtual std::string paramSymbol(int32_t /*index*/) { return ""; }
    // The value as the plug-in shows it, with its unit when it has one.
    virtual std::string paramText(int32_t index) = 0;
    virtual float param(int32_t index) = 0;
    virtual void setParam(int32_t index, float value) = 0;
};

// Index of the parameter whose name or symbol matches without regard to case, or -1.
int32_t findParam(ParameterAccess& plugin, const std::string& name);

// A value from 0 to 1 at which the parameter shows the text (without regard to
// case, with or without its unit): the middle of the first stretch of values
// showing it, found by trying the whole range. The parameter keeps its value.
// Throws UserError naming the texts it does show.
float valueShowing(ParameterAccess& plugin, int32_t index, const std::string& text);

// --param NAME=VALUE or INDEX=VALUE, as written.
struct ParameterSetting {
    std::string name; // empty when given by index
    int32_t index = -1;
    std::optional<float> value; // a normalised value from 0 to 1
    std::string valueText;      // otherwise the text the plug-in shows for the value
    std::string text;           // as written, for messages
};

// Throws UsageError when the text is not NAME=VALUE or INDEX=VALUE.
ParameterSetting parseParameter(const std::string& text);

// The index and value a setting stands for on this plug-in. Throws UserError
// ("--param TEXT: why") for a name, index or text the plug-in does not have.
std::pair<int32_t, float> resolveParameter(ParameterAccess& plugin,
                                           const ParameterSetting& setting);

} // namespace quillo::hosting
