// The records shared between a VST 2.4 host and a plug-in, byte for byte.
//
// Both sides of the interface include this header: the plug-in library, and the
// command-line host and validator that load plug-ins. Layouts follow the 32-bit
// interface (4-byte pointers); with 8-byte pointers the pointer-sized fields widen
// and the natural x86_64 alignment applies. The offsets are checked at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

// Host callback and record dispatcher share one form.
using AudioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                           intptr_t value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    int32_t sampleFrames);
using AEffectProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                          int32_t sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);

// Entry point signature: the library exports it as "VSTPluginMain" and as "main".
using VstPluginMainProc = AEffect* (*)(AudioMasterCallback host);

// Four-character codes, first character in the most significant byte.
constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P'); // 0x56737450

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process; // deprecated accumulating processing
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities; // deprecated
    int32_t offQualities;  // deprecated
    float ioRatio;         // deprecated
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// Flag bits of AEffect::flags.
enum : int32_t {
    effFlagsHasEditor = 1 << 0, // never set: Quillo has no editor
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,
    effFlagsExtHasBuffer = 1 << 11,
    effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher opcodes, host to plug-in.
enum : int32_t {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents, // 25
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels, // 79
};

// Host-callback opcodes, plug-in to host.
enum : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion,
    audioMasterCurrentId,
    audioMasterIdle,
    audioMasterPinConnected,
    audioMasterWantMidi = 6,
    audioMasterGetTime,
    audioMasterProcessEvents,
    audioMasterSetTime,
    audioMasterTempoAt,
    audioMasterGetNumAutomatableParameters,
    audioMasterGetParameterQuantization,
    audioMasterIOChanged,
    audioMasterNeedIdle,
    audioMasterSizeWindow,
    audioMasterGetSampleRate,
    audioMasterGetBlockSize,
    audioMasterGetInputLatency,
    audioMasterGetOutputLatency,
    audioMasterGetPreviousPlug,
    audioMasterGetNextPlug,
    audioMasterWillReplaceOrAccumulate,
    audioMasterGetCurrentProcessLevel,
    audioMasterGetAutomationState,
    audioMasterOfflineStart,
    audioMasterOfflineRead,
    audioMasterOfflineWrite,
    audioMasterOfflineGetCurrentPass,
    audioMasterOfflineGetCurrentMetaPass,
    audioMasterSetOutputSampleRate,
    audioMasterGetOutputSpeakerArrangement,
    audioMasterGetVendorString,
    audioMasterGetProductString,
    audioMasterGetVendorVersion,
    audioMasterVendorSpecific,
    audioMasterSetIcon,
    audioMasterCanDo,
    audioMasterGetLanguage,
    audioMasterOpenWindow,
    audioMasterCloseWindow,
    audioMasterGetDirectory,
    audioMasterUpdateDisplay,
    audioMasterBeginEdit,
    audioMasterEndEdit,
    audioMasterOpenFileSelector,
    audioMasterCloseFileSelector,
    audioMasterEditFile,
    audioMasterGetChunkFile,
    audioMasterGetInputSpeakerArrangement, // 49
};

// Plug-in categories answered to effGetPlugCategory.
enum : int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect,
    kPlugCategSynth,
};

// Answers to audioMasterGetCurrentProcessLevel: the kind of thread a call comes from.
enum : int32_t {
    kVstProcessLevelUnknown = 0,
    kVstProcessLevelUser,     // user interface thread
    kVstProcessLevelRealtime, // audio thread
    kVstProcessLevelPrefetch, // sequencer thread working ahead
    kVstProcessLevelOffline,  // rendering offline, faster or slower than real time
};

// ---- Events ----

enum : int32_t {
    kVstMidiType = 1,
    kVstSysExType = 6,
};

// Any event; the type tells which record it really is.
struct VstEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

// VstMidiEvent::flags: the event comes from a live player, not a sequence.
enum : int32_t { kVstMidiEventIsRealtime = 1 << 0 };

struct VstMidiEvent {
    int32_t type; // kVstMidiType
    int32_t byteSize;
    int32_t deltaFrames; // frame of the event within the coming block
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4]; // status, two data bytes, unused
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstMidiSysexEvent {
    int32_t type; // kVstSysExType
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t dumpBytes;
    intptr_t resvd1;
    char* sysexDump;
    intptr_t resvd2;
};

// A list of events; hosts allocate it with room for numEvents pointers.
struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2];
};

// ---- Editor and keys ----

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct VstKeyCode {
    int32_t character;
    uint8_t virt;
    uint8_t modifier;
};

// ---- Speaker arrangements ----

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    int32_t type;
    char future[28];
};

struct VstSpeakerArrangement {
    int32_t type;
    int32_t numChannels;
    VstSpeakerProperties speakers[8]; // numChannels entries in the real block
};

// ---- Transport (answered by hosts to audioMasterGetTime) ----

enum : int32_t {
    kVstTransportChanged = 1 << 0,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

// Records that the dispatcher only hands on; nothing in Quillo reads them.
struct VstPinProperties;
struct VstParameterProperties;
struct VstVariableIo;
struct VstAudioFile;
struct VstOfflineTask;
struct VstPatchChunkInfo;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstFileSelect;

// ---- Layout checks ----

namespace aeffect_layout {
constexpr size_t P = sizeof(void*);
constexpr size_t align(size_t offset, size_t to) {
    return (offset + to - 1) / to * to;
}

// Offsets as the interface lays them out for the pointer size of this build.
constexpr size_t dispatcher = align(4, P);
constexpr size_t numPrograms = dispatcher + 4 * P;
constexpr size_t flags = numPrograms + 16;
constexpr size_t resvd1 = align(flags + 4, P);
constexpr size_t initialDelay = resvd1 + 2 * P;
constexpr size_t object = align(initialDelay + 16, P);
constexpr size_t uniqueID = object + 2 * P;
constexpr size_t processReplacing = align(uniqueID + 8, P);
constexpr size_t future = processReplacing + 2 * P;
constexpr size_t size = align(future + 56, P);
} // namespace aeffect_layout

static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == aeffect_layout::dispatcher);
static_assert(offsetof(AEffect, process) == aeffect_layout::dispatcher + aeffect_layout::P);
static_assert(offsetof(AEffect, setParameter) ==
              aeffect_layout::dispatcher + 2 * aeffect_layout::P);
static_assert(offsetof(AEffect, getParameter) ==
              aeffect_layout::dispatcher + 3 * aeffect_layout::P);
static_assert(offsetof(AEffect, numPrograms) == aeffect_layout::numPrograms);
static_assert(offsetof(AEffect, numParams) == aeffect_layout::numPrograms + 4);
static_assert(offsetof(AEffect, numInputs) == aeffect_layout::numPrograms + 8);
static_assert(offsetof(AEffect, numOutputs) == aeffect_layout::numPrograms + 12);
static_assert(offsetof(AEffect, flags) == aeffect_layout::flags);
static_assert(offsetof(AEffect, resvd1) == aeffect_layout::resvd1);
static_assert(offsetof(AEffect, resvd2) == aeffect_layout::resvd1 + aeffect_layout::P);
static_assert(offsetof(AEffect, initialDelay) == aeffect_layout::initialDelay);
static_assert(offsetof(AEffect, realQualities) == aeffect_layout::initialDelay + 4);
static_assert(offsetof(AEffect, offQualities) == aeffect_layout::initialDelay + 8);
static_assert(offsetof(AEffect, ioRatio) == aeffect_layout::initialDelay + 12);
static_assert(offsetof(AEffect, object) == aeffect_layout::object);
static_assert(offsetof(AEffect, user) == aeffect_layout::object + aeffect_layout::P);
static_assert(offsetof(AEffect, uniqueID) == aeffect_layout::uniqueID);
static_assert(offsetof(AEffect, version) == aeffect_layout::uniqueID + 4);
static_assert(offsetof(AEffect, processReplacing) == aeffect_layout::processReplacing);
static_assert(offsetof(AEffect, processDoubleReplacing) ==
              aeffect_layout::processReplacing + aeffect_layout::P);
static_assert(offsetof(AEffect, future) == aeffect_layout::future);
static_assert(sizeof(AEffect) == aeffect_layout::size);

// The two builds spelled out: 144 bytes with 4-byte pointers, 192 on x86_64.
static_assert(sizeof(void*) != 4 ||
              (offsetof(AEffect, numPrograms) == 20 && offsetof(AEffect, flags) == 36 &&
               offsetof(AEffect, resvd1) == 40 && offsetof(AEffect, object) == 64 &&
               offsetof(AEffect, uniqueID) == 72 && offsetof(AEffect, processReplacing) == 80 &&
               offsetof(AEffect, future) == 88 && sizeof(AEffect) == 144));
static_assert(sizeof(void*) != 8 ||
              (offsetof(AEffect, dispatcher) == 8 && offsetof(AEffect, numPrograms) == 40 &&
               offsetof(AEffect, flags) == 56 && offsetof(AEffect, resvd1) == 64 &&
               offsetof(AEffect, initialDelay) == 80 && offsetof(AEffect, ioRatio) == 92 &&
               offsetof(AEffect, object) == 96 && offsetof(AEffect, uniqueID) == 112 &&
               offsetof(AEffect, processReplacing) == 120 && offsetof(AEffect, future) == 136 &&
               sizeof(AEffect) == 192));

static_assert(sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(offsetof(VstMidiEvent, detune) == 28);
static_assert(sizeof(VstEvent) == 32);
static_assert(offsetof(VstEvents, reserved) == aeffect_layout::P);
static_assert(offsetof(VstEvents, events) == 2 * aeffect_layout::P);
static_assert(sizeof(VstSpeakerProperties) == 112);
static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);
static_assert(sizeof(VstKeyCode) == 8);
static_assert(sizeof(VstTimeInfo) == 88);
