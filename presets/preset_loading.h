// What --preset and --bank load, for the command-line tools: a factory preset by
// name, or the VST 2 program and bank files of the plug-in being played.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LoadedProgram {
    std::string name;
    std::vector<float> values; // one per parameter
};

struct LoadedBank {
    std::vector<LoadedProgram> programs;
    int32_t currentProgram = 0;
};

// A path (anything ending in ".fxp" or holding a '/') is read as a program file;
// anything else names a factory preset, which only Quillo has (factoryPresets false
// for another plug-in). The file must be a parameter list made for the plug-in with
// this identifier and parameter count. Throws quillo::UserError with one line
// ("--preset X: why").
LoadedProgram loadPreset(const std::string& argument, int32_t pluginId, int32_t numParams,
                         bool factoryPresets);

// A bank file of parameter lists for this plug-in, with at most maxPrograms programs.
// Throws quillo::UserError with one line ("--bank X: why").
LoadedBank loadBank(const std::string& path, int32_t pluginId, int32_t numParams,
                    int32_t maxPrograms);

// Whether an argument of --preset is taken as a file.
bool isPresetFile(const std::string& argument);
