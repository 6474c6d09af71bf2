// The values where a choice parameter's choices begin: what host menus offer.
#pragma once

#include "synth/parameters.h"

#include <cstdint>
#include <vector>

// Where each choice of a choice parameter lies, lowest first: the value where the
// choice begins (0 and 1 for the two-way ones), as the LV2 menus offer it. Empty for
// parameters whose texts are numbers.
std::vector<float> choiceValues(ValueText kind);
