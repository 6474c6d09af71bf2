// The factory bank as VST 2 files: one program file per preset and a bank of 32.
#pragma once

#include "presets/factory_bank.h"
#include "presets/vst2_files.h"

// The preset as a program file of Quillo's 36 values.
vst2_files::ProgramFile factoryProgramFile(const FactoryPreset& preset);

// The 32 programs of the bank: the factory presets in order, then, in the programs
// left over, Quillo's default program named "Init", a blank slate to start from.
vst2_files::BankFile factoryBankFile();

// File names in the installed presets folder.
constexpr const char* kFactoryBankFileName = "quillo-factory.fxb";
std::string factoryProgramFileName(const FactoryPreset& preset); // "<slug>.fxp"
