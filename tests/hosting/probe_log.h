// What the probe plug-in saw of its host, read by the tests through
// effVendorSpecific with index kProbeLogRequest.
#pragma once

#include "host_interface/aeffect.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kProbeLogRequest = fourCharCode('p', 'r', 'o', 'b');
// Stands for processReplacing in the list of calls.
constexpr int32_t kProbeProcessCall = -1;

struct ProbeEvent {
    int64_t frame; // block start plus deltaFrames
    int32_t deltaFrames;
    uint8_t bytes[3];
};

struct ProbeLog {
    // Answers to the host calls made from inside the entry point.
    bool versionAskedWithNullEffect = false;
    intptr_t versionAnswer = 0;
    // Answers asked for at effMainsChanged 1.
    intptr_t sampleRateAnswer = 0;
    intptr_t blockSizeAnswer = 0;
    intptr_t processLevelAnswer = 0;
    intptr_t wantMidiAnswer = 0;
    intptr_t canDoSendVstEvents = 0;
    intptr_t canDoSendVstMidiEvent = 0;
    intptr_t canDoReceiveVstEvents = 0;
    intptr_t canDoUnknown = 0;
    intptr_t vendorVersionAnswer = 0;
    std::string vendor;
    std::string product;

    std::vector<int32_t> calls; // dispatcher opcodes and kProbeProcessCall, in order
    std::vector<int32_t> blockFrames;
    std::vector<VstTimeInfo> blockTimes; // audioMasterGetTime at each block
    std::vector<ProbeEvent> events;
    std::vector<int64_t> levelChanges; // frame at which "Level" was set
    bool inputsWereSilent = true;
    int64_t framesProcessed = 0;
};
