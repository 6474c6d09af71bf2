// Parameters as people write them on a command line: by name in any case or by
// index, with a normalised number or the value's own text ("Wave1=Pulse").
#pragma once

#include "synth/parameters.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where each choice of a choice parameter lies, lowest first: the value where the
// choice begins (0 and 1 for the two-way ones), as host menus and command lines set
// it. Empty for parameters whose texts are numbers.
std::vector<float> choiceValues(ValueText kind);

// The index of the parameter named so (any case) or numbered so; nullopt if none.
std::optional<int32_t> findParameter(const std::string& name);

// A normalised number as written, or for a choice parameter the choice's value
// whose text reads as written (any case); nullopt if neither.
std::optional<float> parameterValue(int32_t index, const std::string& text);
