#include "hosting/lv2_plugin.h"

#include "hosting/user_error.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/port-groups/port-groups.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace quillo::hosting {
namespace {

// Bytes of an atom port's buffer: room for a few thousand MIDI events a block.
constexpr size_t kAtomBufferBytes = 64 * 1024;

// LV2's own vocabularies (plug-in classes, units, port groups), each a bundle on the
// LV2 path and the resource its data describes: loaded with a lone bundle, so that its
// plug-in can be read without loading every plug-in on the system.
struct Vocabulary {
    const char* bundle;
    const char* uri;
};
const Vocabulary kVocabularies[] = {{"core.lv2", LV2_CORE_URI},
                                    {"units.lv2", LV2_UNITS_URI},
                                    {"atom.lv2", LV2_ATOM_URI},
                                    {"midi.lv2", LV2_MIDI_URI},
                                    {"port-groups.lv2", LV2_PORT_GROUPS_URI},
                                    {"port-props.lv2", LV2_PORT_PROPS_URI},
                                    {"urid.lv2", LV2_URID_URI},
                                    {"options.lv2", LV2_OPTIONS_URI},
                                    {"buf-size.lv2", LV2_BUF_SIZE_URI},
                                    {"presets.lv2", LV2_PRESETS_URI}};

const char* const kProvidedFeatures[] = {LV2_URID__map,          LV2_URID__unmap,
                                         LV2_OPTIONS__options,   LV2_BUF_SIZE__boundedBlockLength,
                                         LV2_CORE__isLive,       LV2_CORE__hardRTCapable,
                                         LV2_CORE__inPlaceBroken};

std::vector<std::string> lv2Path() {
    std::vector<std::string> dirs;
    std::string path;
    if (const char* env = std::getenv("LV2_PATH")) {
        path = env;
    } else {
        const char* home = std::getenv("HOME");
        path = std::string(home ? home : "") + "/.lv2:/usr/local/lib/lv2:/usr/lib/lv2";
    }
    size_t start = 0;
    while (start <= path.size()) {
        const size_t colon = std::min(path.find(':', start), path.size());
        if (colon > start) dirs.push_back(path.substr(start, colon - start));
        start = colon + 1;
    }
    return dirs;
}

std::string text(const LilvNode* node) {
    return node ? lilv_node_as_string(node) : "";
}

// Owns a node lilv gave away.
struct Node {
    LilvNode* node;
    explicit Node(LilvNode* n) : node(n) {}
    ~Node() { lilv_node_free(node); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    operator const LilvNode*() const { return node; }
};

LV2_URID mapUrid(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->map(uri);
}

const char* unmapUrid(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    return static_cast<UridMap*>(handle)->unmap(urid);
}

void mixInto(float* channel, const float* out, int32_t frames, bool& taken) {
    if (!taken) {
        std::copy(out, out + frames, channel);
        taken = true;
        return;
    }
    for (int32_t i = 0; i < frames; ++i)
        channel[i] += out[i];
}

bool isDirectory(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

uint32_t UridMap::map(const char* uri) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = ids_.find(uri);
    if (found != ids_.end()) return found->second;
    uris_.push_back(std::make_unique<std::string>(uri));
    const auto id = static_cast<uint32_t>(uris_.size());
    ids_.emplace(uri, id);
    return id;
}

const char* UridMap::unmap(uint32_t urid) {
    std::lock_guard<std::mutex> lock(mutex_);
    return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1]->c_str() : nullptr;
}

bool Lv2Library::looksLikeLv2(const std::string& text) {
    if (isDirectory(text)) return true;
    // A URI: a scheme, then ':' ("https://…", "urn:…"); not a path with a colon in it.
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || text.find('/') < colon) return false;
    return std::all_of(text.begin(), text.begin() + colon, [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

std::shared_ptr<Lv2Library> Lv2Library::open(const std::string& bundleOrUri) {
    std::shared_ptr<Lv2Library> library(new Lv2Library);
    LilvWorld* world = library->world_ = lilv_world_new();
    if (!world) throw UserError("cannot start lilv");

    const LilvPlugin* plugin = nullptr;
    if (isDirectory(bundleOrUri)) {
        for (const std::string& dir : lv2Path()) {
            for (const Vocabulary& vocabulary : kVocabularies) {
                const std::string path = dir + "/" + vocabulary.bundle + "/";
                if (!isDirectory(path)) continue;
                Node bundle(lilv_new_file_uri(world, nullptr, path.c_str()));
                lilv_world_load_bundle(world, bundle);
                Node described(lilv_new_uri(world, vocabulary.uri));
                lilv_world_load_resource(world, described);
            }
        }
        std::string path = std::filesystem::absolute(bundleOrUri).lexically_normal().string();
        if (path.back() != '/') path += '/';
        if (!std::filesystem::exists(path + "manifest.ttl"))
            throw UserError("not an LV2 bundle (no manifest.ttl)");
        Node bundle(lilv_new_file_uri(world, nullptr, path.c_str()));
        lilv_world_load_bundle(world, bundle);
        lilv_world_load_plugin_classes(world);
        const LilvPlugins* all = lilv_world_get_all_plugins(world);
        std::vector<const LilvPlugin*> found;
        LILV_FOREACH(plugins, i, all) {
            found.push_back(lilv_plugins_get(all, i));
        }
        if (found.empty()) throw UserError("the bundle holds no plug-in");
        if (found.size() > 1) {
            std::string uris;
            for (const LilvPlugin* p : found)
                uris += std::string(uris.empty() ? "" : ", ") + text(lilv_plugin_get_uri(p));
            throw UserError("the bundle holds several plug-ins; name one by its URI: " + uris);
        }
        plugin = found.front();
    } else {
        lilv_world_load_all(world);
        Node uri(lilv_new_uri(world, bundleOrUri.c_str()));
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        if (!plugin) throw UserError("no LV2 plug-in with this URI on the LV2 path");
    }
    library->plugin_ = plugin;
    library->describe();
    return library;
}

Lv2Library::~Lv2Library() {
    if (world_) lilv_world_free(world_);
}

void Lv2Library::describe() {
    LilvWorld* world = world_;
    uri_ = text(lilv_plugin_get_uri(plugin_));
    {
        LilvNode* name = lilv_plugin_get_name(plugin_);
        name_ = text(name);
        lilv_node_free(name);
        LilvNode* author = lilv_plugin_get_author_name(plugin_);
        author_ = text(author);
        lilv_node_free(author);
    }
    className_ = text(lilv_plugin_class_get_label(lilv_plugin_get_class(plugin_)));
    {
        const char* bundle = lilv_node_as_uri(lilv_plugin_get_bundle_uri(plugin_));
        char* path = lilv_file_uri_parse(bundle, nullptr);
        bundle_ = path ? path : bundle;
        lilv_free(path);
    }

    LilvNodes* required = lilv_plugin_get_required_features(plugin_);
    LILV_FOREACH(nodes, i, required) {
        requiredFeatures_.push_back(text(lilv_nodes_get(required, i)));
    }
    lilv_nodes_free(required);

    Node inputPort(lilv_new_uri(world, LV2_CORE__InputPort));
    Node outputPort(lilv_new_uri(world, LV2_CORE__OutputPort));
    Node controlPort(lilv_new_uri(world, LV2_CORE__ControlPort));
    Node audioPort(lilv_new_uri(world, LV2_CORE__AudioPort));
    Node cvPort(lilv_new_uri(world, LV2_CORE__CVPort));
    Node atomPort(lilv_new_uri(world, LV2_ATOM__AtomPort));
    Node midiEvent(lilv_new_uri(world, LV2_MIDI__MidiEvent));
    Node toggled(lilv_new_uri(world, LV2_CORE__toggled));
    Node integer(lilv_new_uri(world, LV2_CORE__integer));
    Node logarithmic(lilv_new_uri(world, LV2_PORT_PROPS__logarithmic));
    Node unit(lilv_new_uri(world, LV2_UNITS__unit));
    Node unitSymbol(lilv_new_uri(world, LV2_UNITS__symbol));
    Node designation(lilv_new_uri(world, LV2_CORE__designation));
    Node left(lilv_new_uri(world, LV2_PORT_GROUPS__left));
    Node right(lilv_new_uri(world, LV2_PORT_GROUPS__right));

    const uint32_t count = lilv_plugin_get_num_ports(plugin_);
    std::vector<float> minimum(count), maximum(count), defaults(count);
    lilv_plugin_get_port_ranges_float(plugin_, minimum.data(), maximum.data(), defaults.data());
    for (uint32_t index = 0; index < count; ++index) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, index);
        Lv2Port p;
        p.index = index;
        p.symbol = text(lilv_port_get_symbol(plugin_, port));
        LilvNode* name = lilv_port_get_name(plugin_, port);
        p.name = name ? text(name) : p.symbol;
        lilv_node_free(name);
        const bool input = lilv_port_is_a(plugin_, port, inputPort);
        if (lilv_port_is_a(plugin_, port, controlPort))
            p.kind = input ? Lv2Port::Kind::ControlIn : Lv2Port::Kind::ControlOut;
        else if (lilv_port_is_a(plugin_, port, audioPort))
            p.kind = input ? Lv2Port::Kind::AudioIn : Lv2Port::Kind::AudioOut;
        else if (lilv_port_is_a(plugin_, port, cvPort))
            p.kind = input ? Lv2Port::Kind::CvIn : Lv2Port::Kind::CvOut;
        else if (lilv_port_is_a(plugin_, port, atomPort))
            p.kind = input ? Lv2Port::Kind::AtomIn : Lv2Port::Kind::AtomOut;
        else if (!lilv_port_has_property(plugin_, port,
                                         Node(lilv_new_uri(world, LV2_CORE__connectionOptional))))
            throw UserError("port '" + p.symbol + "' is of a kind this host does not know");
        else
            continue;

        p.minimum = std::isnan(minimum[index]) ? 0.0f : minimum[index];
        p.maximum = std::isnan(maximum[index]) ? 1.0f : maximum[index];
        p.defaultValue = std::isnan(defaults[index]) ? p.minimum : defaults[index];
        p.toggled = lilv_port_has_property(plugin_, port, toggled);
        p.integer = lilv_port_has_property(plugin_, port, integer);
        p.logarithmic = lilv_port_has_property(plugin_, port, logarithmic);
        p.midi =
            p.kind == Lv2Port::Kind::AtomIn && lilv_port_supports_event(plugin_, port, midiEvent);
        if (LilvScalePoints* points = lilv_port_get_scale_points(plugin_, port)) {
            LILV_FOREACH(scale_points, i, points) {
                const LilvScalePoint* point = lilv_scale_points_get(points, i);
                p.scalePoints.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                                           text(lilv_scale_point_get_label(point)));
            }
            lilv_scale_points_free(points);
            std::sort(p.scalePoints.begin(), p.scalePoints.end());
        }
        if (LilvNodes* units = lilv_port_get_value(plugin_, port, unit)) {
            const LilvNode* u = lilv_nodes_get_first(units);
            if (LilvNode* symbol = lilv_world_get(world, u, unitSymbol, nullptr)) {
                p.unit = text(symbol);
                lilv_node_free(symbol);
            }
            lilv_nodes_free(units);
        }
        if (LilvNodes* designations = lilv_port_get_value(plugin_, port, designation)) {
            const LilvNode* d = lilv_nodes_get_first(designations);
            if (lilv_node_equals(d, left)) p.channel = Lv2Port::Channel::Left;
            if (lilv_node_equals(d, right)) p.channel = Lv2Port::Channel::Right;
            lilv_nodes_free(designations);
        }
        ports_.push_back(p);
    }

    // Audio outputs without a designation: one is mono, otherwise they alternate left
    // and right in port order.
    std::vector<Lv2Port*> outputs;
    bool designated = false;
    for (Lv2Port& p : ports_) {
        if (p.kind != Lv2Port::Kind::AudioOut) continue;
        outputs.push_back(&p);
        designated = designated || p.channel != Lv2Port::Channel::Both;
    }
    if (!designated && outputs.size() > 1) {
        for (size_t i = 0; i < outputs.size(); ++i)
            outputs[i]->channel = i % 2 == 0 ? Lv2Port::Channel::Left : Lv2Port::Channel::Right;
        // An odd one out at the end plays in both.
        if (outputs.size() % 2 == 1) outputs.back()->channel = Lv2Port::Channel::Both;
    }

    Node presetClass(lilv_new_uri(world, LV2_PRESETS__Preset));
    Node label(lilv_new_uri(world, LILV_NS_RDFS "label"));
    LilvNodes* presets = lilv_plugin_get_related(plugin_, presetClass);
    LILV_FOREACH(nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        lilv_world_load_resource(world, preset);
        LilvNode* name = lilv_world_get(world, preset, label, nullptr);
        presets_.emplace_back(name ? text(name) : text(preset), text(preset));
        lilv_node_free(name);
    }
    lilv_nodes_free(presets);
    std::sort(presets_.begin(), presets_.end());
}

bool Lv2Library::isInstrument() const {
    if (className_ == "Instrument Plugin") return true;
    bool midiIn = false, audioOut = false;
    for (const Lv2Port& p : ports_) {
        midiIn = midiIn || p.midi;
        audioOut = audioOut || p.kind == Lv2Port::Kind::AudioOut;
    }
    return midiIn && audioOut;
}

std::map<std::string, float> Lv2Library::presetValues(const std::string& presetUri) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, float> values;
    Node preset(lilv_new_uri(world_, presetUri.c_str()));
    // lilv maps the types of the stored values, so it needs the map, not null.
    LV2_URID_Map map{&urids_, mapUrid};
    LilvState* state = lilv_state_new_from_world(world_, &map, preset);
    if (!state) throw UserError("cannot read the preset " + presetUri);
    auto collect = [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
        if (size == sizeof(float))
            std::memcpy(&(*static_cast<std::map<std::string, float>*>(data))[symbol], value,
                        sizeof(float));
    };
    lilv_state_emit_port_values(state, collect, &values);
    lilv_state_free(state);
    return values;
}

Lv2Instance::Lv2Instance(std::shared_ptr<Lv2Library> library, double sampleRate, int32_t maxBlock)
    : library_(std::move(library)), maxBlock_(maxBlock) {
    for (const std::string& feature : library_->requiredFeatures()) {
        if (std::find_if(std::begin(kProvidedFeatures), std::end(kProvidedFeatures),
                         [&](const char* f) { return feature == f; }) ==
            std::end(kProvidedFeatures))
            throw UserError("needs the LV2 feature " + feature + ", which this host lacks");
    }

    UridMap& urids = library_->urids_;
    sequenceType_ = urids.map(LV2_ATOM__Sequence);
    chunkType_ = urids.map(LV2_ATOM__Chunk);
    midiType_ = urids.map(LV2_MIDI__MidiEvent);

    const std::vector<Lv2Port>& ports = library_->ports();
    const uint32_t count = lilv_plugin_get_num_ports(library_->plugin_);
    controls_.assign(count, 0.0f);
    audio_.resize(count);
    atoms_.resize(count);
    for (const Lv2Port& p : ports) {
        switch (p.kind) {
        case Lv2Port::Kind::ControlIn: controls_[p.index] = p.defaultValue; break;
        case Lv2Port::Kind::ControlOut: break;
        case Lv2Port::Kind::AtomIn:
        case Lv2Port::Kind::AtomOut: atoms_[p.index].assign(kAtomBufferBytes / 8, 0); break;
        default: audio_[p.index].assign(static_cast<size_t>(maxBlock), 0.0f); break;
        }
    }

    map_ = {&urids, mapUrid};
    unmap_ = {&urids, unmapUrid};
    sampleRate_ = static_cast<float>(sampleRate);
    minBlock_ = 1;
    sequenceSize_ = static_cast<int32_t>(kAtomBufferBytes);
    const uint32_t atomInt = urids.map(LV2_ATOM__Int), atomFloat = urids.map(LV2_ATOM__Float);
    options_ = {
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_PARAMETERS__sampleRate), sizeof(float), atomFloat,
         &sampleRate_},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), atomInt,
         &minBlock_},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), atomInt,
         &maxBlock_},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t),
         atomInt, &maxBlock_},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__sequenceSize), sizeof(int32_t), atomInt,
         &sequenceSize_},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    features_ = {{LV2_URID__map, &map_},
                 {LV2_URID__unmap, &unmap_},
                 {LV2_OPTIONS__options, options_.data()},
                 {LV2_BUF_SIZE__boundedBlockLength, nullptr}};
    for (LV2_Feature& f : features_)
        featureList_.push_back(&f);
    featureList_.push_back(nullptr);

    {
        std::lock_guard<std::mutex> lock(library_->mutex_);
        instance_ = lilv_plugin_instantiate(library_->plugin_, sampleRate, featureList_.data());
    }
    if (!instance_) throw UserError("the plug-in refused to start (instantiate failed)");
    for (const Lv2Port& p : ports) {
        void* buffer = nullptr;
        switch (p.kind) {
        case Lv2Port::Kind::ControlIn:
        case Lv2Port::Kind::ControlOut: buffer = &controls_[p.index]; break;
        case Lv2Port::Kind::AtomIn:
        case Lv2Port::Kind::AtomOut: buffer = atoms_[p.index].data(); break;
        default: buffer = audio_[p.index].data(); break;
        }
        lilv_instance_connect_port(instance_, p.index, buffer);
        if (p.kind == Lv2Port::Kind::AtomIn) atomIns_.push_back(&p);
        if (p.kind == Lv2Port::Kind::AtomOut) atomOuts_.push_back(&p);
        if (p.kind == Lv2Port::Kind::AudioOut) audioOuts_.push_back(&p);
    }
    // A channel fed by one output of its own (not one that plays in both) takes that
    // output's samples directly.
    for (int c = 0; c < 2; ++c) {
        const Lv2Port::Channel mine = c == 0 ? Lv2Port::Channel::Left : Lv2Port::Channel::Right;
        const Lv2Port::Channel other = c == 0 ? Lv2Port::Channel::Right : Lv2Port::Channel::Left;
        int feeding = 0;
        const Lv2Port* last = nullptr;
        for (const Lv2Port* p : audioOuts_)
            if (p->channel != other) ++feeding, last = p;
        if (feeding == 1 && last->channel == mine) direct_[c] = last;
    }
}

Lv2Instance::~Lv2Instance() {
    if (!instance_) return;
    deactivate();
    lilv_instance_free(instance_);
}

void Lv2Instance::activate() {
    if (active_) return;
    lilv_instance_activate(instance_);
    active_ = true;
}

void Lv2Instance::deactivate() {
    if (!active_) return;
    lilv_instance_deactivate(instance_);
    active_ = false;
}

size_t Lv2Instance::eventCapacity() const {
    // Each event takes its header and three bytes padded to eight.
    return (kAtomBufferBytes - sizeof(LV2_Atom_Sequence)) / (sizeof(LV2_Atom_Event) + 8);
}

void Lv2Instance::run(const MidiEvent* events, size_t count, float* left, float* right,
                      int32_t frames) {
    for (const Lv2Port* p : atomOuts_) {
        // The room the plug-in may write into.
        auto* atom = reinterpret_cast<LV2_Atom*>(atoms_[p->index].data());
        atom->size = static_cast<uint32_t>(kAtomBufferBytes - sizeof(LV2_Atom));
        atom->type = chunkType_;
    }
    for (const Lv2Port* p : atomIns_) {
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atoms_[p->index].data());
        sequence->atom.type = sequenceType_;
        sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
        sequence->body.unit = 0;
        sequence->body.pad = 0;
        if (!p->midi) continue;
        auto* body = reinterpret_cast<uint8_t*>(&sequence->body);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t size = events[i].size;
            const size_t step = sizeof(LV2_Atom_Event) + ((size + 7u) & ~size_t(7));
            if (sizeof(LV2_Atom) + sequence->atom.size + step > kAtomBufferBytes) break;
            auto* event = reinterpret_cast<LV2_Atom_Event*>(body + sequence->atom.size);
            event->time.frames = events[i].frame;
            event->body.type = midiType_;
            event->body.size = size;
            std::memcpy(event + 1, events[i].bytes, size);
            sequence->atom.size += static_cast<uint32_t>(step);
        }
    }

    float* channels[2] = {left, right};
    for (int c = 0; c < 2; ++c)
        if (direct_[c]) lilv_instance_connect_port(instance_, direct_[c]->index, channels[c]);

    lilv_instance_run(instance_, static_cast<uint32_t>(frames));

    // Each other channel is the sum of the outputs that play in it; a lone one is
    // copied, so its samples reach the file as the plug-in wrote them (negative zeros
    // included).
    bool taken[2] = {direct_[0] != nullptr, direct_[1] != nullptr};
    for (const Lv2Port* p : audioOuts_) {
        if (p == direct_[0] || p == direct_[1]) continue;
        const float* out = audio_[p->index].data();
        if (p->channel != Lv2Port::Channel::Right) mixInto(left, out, frames, taken[0]);
        if (p->channel != Lv2Port::Channel::Left) mixInto(right, out, frames, taken[1]);
    }
    if (!taken[0]) std::fill(left, left + frames, 0.0f);
    if (!taken[1]) std::fill(right, right + frames, 0.0f);
}

} // namespace quillo::hosting
