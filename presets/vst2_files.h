// VST 2 program files (.fxp) and bank files (.fxb): reading and writing.
//
// Both are one "CcnK" chunk, every number big-endian:
//
//   program            bank
//    0 "CcnK"           0 "CcnK"
//    4 byte size        4 byte size (of what follows this field)
//    8 "FxCk"/"FPCh"    8 "FxBk"/"FBCh"
//   12 format version  12 format version (1, or 2 with the current program)
//   16 plug-in id      16 plug-in id
//   20 plug-in version 20 plug-in version
//   24 parameters      24 programs
//   28 name, 28 bytes  28 current program (version 2), then reserved: 128 bytes
//   56 float values    156 the programs, each a whole "FxCk" chunk
//
// "FPCh" and "FBCh" hold a plug-in's opaque state instead of parameter values: a
// byte count and the bytes, after the name or the reserved field. Quillo writes
// parameter lists; the opaque kinds are read and written so that any instrument's
// files can be loaded and a read file writes back bit for bit.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vst2_files {

// One line saying what is wrong with a file; the caller puts the path in front.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "qlo1" for 'qlo1'; an identifier that is not four printable characters as hex.
std::string idText(int32_t id);

constexpr size_t kProgramNameSize = 28;

struct ProgramFile {
    int32_t formatVersion = 1;
    int32_t pluginId = 0;
    int32_t pluginVersion = 0;
    // Kept whole, bytes after the terminating zero included, so a file reads back
    // bit for bit.
    std::array<char, kProgramNameSize> nameField{};
    bool opaque = false;        // "FPCh": chunk holds the state, values is empty
    std::vector<float> values;  // "FxCk": one normalised value per parameter
    std::vector<uint8_t> chunk; // "FPCh"

    std::string name() const;
    // Cuts the name to 27 characters and zero-fills the field.
    void setName(const std::string& name);
};

struct BankFile {
    int32_t formatVersion = 2;
    int32_t pluginId = 0;
    int32_t pluginVersion = 0;
    // The 128 bytes after the program count: in version 2 the first four hold the
    // current program, the rest is zero.
    std::array<uint8_t, 128> reserved{};
    bool opaque = false; // "FBCh": chunk holds the state, programs is empty
    std::vector<ProgramFile> programs;
    std::vector<uint8_t> chunk;

    int32_t currentProgram() const; // 0 in a version 1 bank
    void setCurrentProgram(int32_t program);
};

// The file's bytes. Throws FileError for what no reader could take back (counts that
// disagree, a value count that does not fit the field).
std::vector<uint8_t> encode(const ProgramFile& program);
std::vector<uint8_t> encode(const BankFile& bank);

// Throws FileError, with one line naming the first fault, for anything that is not a
// whole, consistent file of its kind: too short, wrong magic, a size field or a count
// that disagrees with the bytes, a bank program for another plug-in.
ProgramFile decodeProgram(const std::vector<uint8_t>& bytes);
BankFile decodeBank(const std::vector<uint8_t>& bytes);

// Throws FileError unless the file was made for the plug-in with this identifier.
void requirePlugin(int32_t fileId, int32_t pluginId);

// Whole files. Reading throws FileError ("cannot read: ..."); writing goes to a
// temporary name beside the target, renamed once complete, so a failed write leaves
// whatever was there before.
std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace vst2_files
