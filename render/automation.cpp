#include "render/automation.h"

#include "hosting/user_error.h"
#include "render/json.h"
#include "render/text_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillo::render {
namespace {

constexpr int32_t kMaxRampFrames = 1 << 20;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// "frame 22050", "0.5 s (frame 22050)", "beat 4 (frame 105840)".
std::string timeText(const AutomationPoint& point, int64_t frame) {
    const std::string inFrames = "frame " + std::to_string(frame);
    switch (point.unit) {
    case AutomationPoint::Unit::Seconds: return number(point.time) + " s (" + inFrames + ")";
    case AutomationPoint::Unit::Beats: return "beat " + number(point.time) + " (" + inFrames + ")";
    case AutomationPoint::Unit::Frames: break;
    }
    return inFrames;
}

class Reader {
  public:
    explicit Reader(std::string name) : name_(std::move(name)) {}

    Automation read(const std::string& text) {
        const json::Value file = json::parse(text, name_);
        if (!file.isObject())
            throw UserError(at(file) + "an object with \"parameters\", not " +
                            json::describe(file.type));
        Automation automation;
        const json::Value* parameters = nullptr;
        for (const auto& [key, value] : file.members) {
            if (key == "parameters") {
                parameters = &value;
            } else if (key == "ramp_frames") {
                automation.rampFrames = rampFrames(value);
            } else {
                throw UserError(at(value) + "unknown key '" + key +
                                "' (known: parameters, ramp_frames)");
            }
        }
        if (!parameters) throw UserError(at(file) + "no \"parameters\"");
        if (!parameters->isObject())
            throw UserError(at(*parameters) + "\"parameters\": an object of lists of points");
        for (const auto& [name, points] : parameters->members)
            automation.lanes.push_back(lane(name, points));
        return automation;
    }

  private:
    std::string at(const json::Value& value) const {
        return name_ + ":" + std::to_string(value.line) + ": ";
    }

    int32_t rampFrames(const json::Value& value) const {
        if (!value.isNumber() || value.number < 1 || value.number > kMaxRampFrames ||
            value.number != std::floor(value.number)) {
            throw UserError(at(value) + "ramp_frames: a whole number of frames from 1 to " +
                            std::to_string(kMaxRampFrames));
        }
        return static_cast<int32_t>(value.number);
    }

    AutomationLane lane(const std::string& name, const json::Value& points) const {
        AutomationLane lane;
        lane.parameter = name;
        lane.place = name_ + ":" + std::to_string(points.line);
        if (!points.isArray() || points.items.empty())
            throw UserError(at(points) + name + ": a list of points");
        for (size_t i = 0; i < points.items.size(); ++i)
            lane.points.push_back(point(name, i + 1, points.items[i]));
        return lane;
    }

    AutomationPoint point(const std::string& parameter, size_t number,
                          const json::Value& value) const {
        AutomationPoint point;
        point.place = at(value) + parameter + ", point " + std::to_string(number);
        auto fail = [&](const std::string& why) { return UserError(point.place + ": " + why); };
        if (!value.isObject())
            throw fail("an object with a time and a value, not " +
                       std::string(json::describe(value.type)));
        int times = 0;
        bool stepped = false;
        for (const auto& [key, member] : value.members) {
            if (key == "seconds" || key == "beats" || key == "frame") {
                ++times;
                point.unit = key == "seconds" ? AutomationPoint::Unit::Seconds
                             : key == "beats" ? AutomationPoint::Unit::Beats
                                              : AutomationPoint::Unit::Frames;
                if (!member.isNumber() || member.number < 0)
                    throw fail("\"" + key + "\": a number from 0 on");
                if (key == "frame" && member.number != std::floor(member.number))
                    throw fail("\"frame\": a whole number");
                point.time = member.number;
            } else if (key == "value") {
                if (member.isNumber()) {
                    if (member.number < 0 || member.number > 1)
                        throw fail("the value " + member.text +
                                   " is not from 0 to 1 (or a text the parameter shows)");
                    point.value = static_cast<float>(member.number);
                } else if (member.isString() && !member.text.empty()) {
                    point.valueText = member.text;
                } else {
                    throw fail("\"value\": a number from 0 to 1 or a text the parameter shows");
                }
            } else if (key == "ramp") {
                if (!member.isString() || (member.text != "linear" && member.text != "step"))
                    throw fail("\"ramp\": \"linear\" or \"step\"");
                stepped = member.text == "step";
            } else {
                throw fail("unknown key '" + key + "' (known: seconds, beats, frame, value, ramp)");
            }
        }
        if (times != 1) throw fail("give one time: \"seconds\", \"beats\" or \"frame\"");
        if (!point.value && point.valueText.empty()) throw fail("no \"value\"");
        point.ramp = !stepped && point.value.has_value();
        return point;
    }

    std::string name_;
};

int64_t frameOf(const AutomationPoint& point, const TempoMap& tempo, double sampleRate) {
    switch (point.unit) {
    case AutomationPoint::Unit::Seconds: return frameAt(point.time, sampleRate);
    case AutomationPoint::Unit::Beats: return frameAt(tempo.secondsAt(point.time), sampleRate);
    case AutomationPoint::Unit::Frames: break;
    }
    return static_cast<int64_t>(point.time);
}

} // namespace

Automation parseAutomation(const std::string& text, const std::string& name) {
    return Reader(name).read(text);
}

Automation readAutomation(const std::string& path) {
    return parseAutomation(readTextFile(path), path);
}

std::vector<ResolvedChange> resolveAutomation(const Automation& automation, Instrument& instrument,
                                              const TempoMap& tempo, double sampleRate) {
    std::vector<ResolvedChange> changes;
    for (const AutomationLane& lane : automation.lanes) {
        const int32_t index = findParam(instrument, lane.parameter);
        if (index < 0) {
            throw UserError(lane.place + ": the plug-in has no parameter '" + lane.parameter +
                            "' (see --list-params)");
        }
        int64_t lastFrame = -1;
        float lastValue = 0.0f;
        const AutomationPoint* last = nullptr;
        for (const AutomationPoint& point : lane.points) {
            const int64_t frame = frameOf(point, tempo, sampleRate);
            float value = 0.0f;
            try {
                value =
                    point.value ? *point.value : valueShowing(instrument, index, point.valueText);
            } catch (const UserError& error) {
                throw UserError(point.place + ": " + error.what());
            }
            if (last && frame < lastFrame) {
                throw UserError(point.place + ": at " + timeText(point, frame) +
                                ", before the point before it (frame " + std::to_string(lastFrame) +
                                ")");
            }
            // The ramp's steps between the points, each at its own frame; the point
            // itself lands on its value exactly.
            if (last && point.ramp && frame > lastFrame) {
                const double span = static_cast<double>(frame - lastFrame);
                for (int64_t f = lastFrame + automation.rampFrames; f < frame;
                     f += automation.rampFrames) {
                    const double progress = static_cast<double>(f - lastFrame) / span;
                    changes.push_back(
                        {f, index,
                         static_cast<float>(lastValue + (double(value) - lastValue) * progress)});
                }
            }
            changes.push_back({frame, index, value});
            last = &point;
            lastFrame = frame;
            lastValue = value;
        }
    }
    std::stable_sort(
        changes.begin(), changes.end(),
        [](const ResolvedChange& a, const ResolvedChange& b) { return a.frame < b.frame; });
    return changes;
}

} // namespace quillo::render
