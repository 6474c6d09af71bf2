// Automation files (--automation FILE): parameters moved over time, each change at
// its exact frame.
//
//   {
//     "ramp_frames": 32,
//     "parameters": {
//       "Cutoff": [{"seconds": 0, "value": 0.2},
//                  {"beats": 8, "value": 0.9},
//                  {"frame": 441000, "value": 0.4, "ramp": "step"}],
//       "Wave1":  [{"beats": 4, "value": "Pulse"}]
//     }
//   }
//
// A point's time is in seconds, in beats (quarter notes through the MIDI file's
// tempo changes) or in frames. Its value is normalised, 0 to 1, or a text the
// parameter shows. A point is reached by a linear ramp from the point before it,
// moved every ramp_frames frames (32 unless the file says otherwise), unless it
// says "ramp": "step" or gives its value as a text: then the value changes at its
// time. Before its first point a parameter keeps the value the settings gave it;
// after its last it keeps the last.
#pragma once

#include "render/instrument.h"
#include "render/renderer.h"
#include "render/score.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillo::render {

constexpr int32_t kDefaultRampFrames = 32;

struct AutomationPoint {
    enum class Unit { Seconds, Beats, Frames };
    Unit unit = Unit::Seconds;
    double time = 0.0;
    std::optional<float> value; // normalised
    std::string valueText;      // otherwise the text the parameter shows
    bool ramp = true;           // reached by a linear ramp from the point before
    std::string place;          // "auto.json:7: Cutoff, point 2", for messages
};

struct AutomationLane {
    std::string parameter;
    std::string place; // "auto.json:5", for messages
    std::vector<AutomationPoint> points;
};

struct Automation {
    int32_t rampFrames = kDefaultRampFrames;
    std::vector<AutomationLane> lanes;
};

// Throws UserError naming the file, its line and the point.
Automation parseAutomation(const std::string& text, const std::string& name);
Automation readAutomation(const std::string& path);

// The changes the automation makes on this instrument, in frame order, for a
// render at this rate over this tempo map. Throws UserError naming the point for a
// parameter the plug-in does not have, a text it never shows or points out of
// order.
std::vector<ResolvedChange> resolveAutomation(const Automation& automation, Instrument& instrument,
                                              const TempoMap& tempo, double sampleRate);

} // namespace quillo::render
