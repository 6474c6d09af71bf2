// Program and bank files: the layout other hosts write and read, bit-for-bit round
// trips, one clear error for each way a file can be broken, and what the tools'
// --preset and --bank make of them.

#include "host_interface/aeffect.h"
#include "presets/factory_files.h"
#include "presets/preset_loading.h"
#include "presets/vst2_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>

using namespace vst2_files;

namespace {

int32_t wordAt(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<int32_t>((uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) |
                                (uint32_t(bytes[at + 2]) << 8) | uint32_t(bytes[at + 3]));
}

void putWord(std::vector<uint8_t>& bytes, size_t at, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = uint8_t(uint32_t(value) >> (24 - 8 * i));
}

ProgramFile sampleProgram() {
    ProgramFile program;
    program.pluginId = fourCharCode('q', 'l', 'o', '1');
    program.pluginVersion = 1;
    program.setName("Sub Bass");
    program.values = {0.0f, 0.25f, 1.0f};
    return program;
}

std::string decodeError(const std::vector<uint8_t>& bytes, bool bank) {
    try {
        bank ? (void)decodeBank(bytes) : (void)decodeProgram(bytes);
    } catch (const FileError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        return message;
    }
    return "no error";
}

} // namespace

TEST(ProgramFile, IsTheStandardBigEndianParameterList) {
    const std::vector<uint8_t> bytes = encode(sampleProgram());
    ASSERT_EQ(bytes.size(), 56u + 3 * 4);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
    EXPECT_EQ(wordAt(bytes, 4), 56 - 8 + 3 * 4); // everything after the size field
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FxCk");
    EXPECT_EQ(wordAt(bytes, 12), 1);
    EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 20), "qlo1");
    EXPECT_EQ(wordAt(bytes, 20), 1);
    EXPECT_EQ(wordAt(bytes, 24), 3);
    EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[28]), "Sub Bass");
    EXPECT_EQ(wordAt(bytes, 56 + 4), 0x3E800000); // 0.25f
    EXPECT_EQ(wordAt(bytes, 56 + 8), 0x3F800000); // 1.0f
}

TEST(BankFile, HoldsWholeProgramChunksAfterA156ByteHeader) {
    BankFile bank;
    bank.pluginId = fourCharCode('q', 'l', 'o', '1');
    bank.pluginVersion = 1;
    bank.setCurrentProgram(1);
    bank.programs = {sampleProgram(), sampleProgram()};
    const std::vector<uint8_t> bytes = encode(bank);
    const size_t program = 56 + 3 * 4;
    ASSERT_EQ(bytes.size(), 156 + 2 * program);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FxBk");
    EXPECT_EQ(wordAt(bytes, 4), int32_t(bytes.size() - 8));
    EXPECT_EQ(wordAt(bytes, 12), 2);
    EXPECT_EQ(wordAt(bytes, 24), 2);
    EXPECT_EQ(wordAt(bytes, 28), 1); // the current program, in a version 2 bank
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 156 + program, bytes.end()),
              encode(sampleProgram()));
}

TEST(Vst2Files, ReadBackBitForBit) {
    // Everything a reader might be tempted to tidy: bytes after the name's zero,
    // reserved bytes, a NaN with a payload, negative zero, a denormal.
    ProgramFile odd = sampleProgram();
    std::memcpy(odd.nameField.data(), "Odd\0left over bytes here!!!", 28);
    uint32_t nanBits = 0x7FA12345;
    float nan;
    std::memcpy(&nan, &nanBits, 4);
    odd.values = {nan, -0.0f, std::numeric_limits<float>::denorm_min(), 3e38f};
    BankFile bank;
    bank.formatVersion = 1;
    bank.pluginId = odd.pluginId;
    bank.reserved[100] = 0xAB;
    bank.programs = {odd, sampleProgram()};
    bank.programs[1].values = {1.0f, 2.0f, 3.0f, 4.0f};

    for (const std::vector<uint8_t>& bytes : {encode(odd), encode(bank), encode(factoryBankFile()),
                                              encode(factoryProgramFile(kFactoryPresets[0]))}) {
        const bool isBank = std::string(bytes.begin() + 8, bytes.begin() + 12) == "FxBk";
        EXPECT_EQ(isBank ? encode(decodeBank(bytes)) : encode(decodeProgram(bytes)), bytes);
    }
    ProgramFile opaque = sampleProgram();
    opaque.opaque = true;
    opaque.values.clear();
    opaque.chunk = {1, 2, 3, 4, 5};
    EXPECT_EQ(encode(decodeProgram(encode(opaque))), encode(opaque));
    EXPECT_EQ(decodeProgram(encode(opaque)).chunk, opaque.chunk);
}

TEST(Vst2Files, RefuseBrokenFilesWithOneLine) {
    const std::vector<uint8_t> program = encode(sampleProgram());
    BankFile bankFile;
    bankFile.pluginId = sampleProgram().pluginId;
    bankFile.programs = {sampleProgram(), sampleProgram()};
    const std::vector<uint8_t> bank = encode(bankFile);

    std::vector<uint8_t> shortFile(program.begin(), program.begin() + 8);
    EXPECT_NE(decodeError(shortFile, false).find("too short"), std::string::npos);
    std::vector<uint8_t> shortHeader(program.begin(), program.begin() + 40);
    putWord(shortHeader, 4, 32);
    EXPECT_NE(decodeError(shortHeader, false).find("header alone"), std::string::npos);
    EXPECT_NE(decodeError({}, true).find("too short"), std::string::npos);

    std::vector<uint8_t> badMagic = program;
    badMagic[0] = 'X';
    EXPECT_NE(decodeError(badMagic, false).find("CcnK"), std::string::npos);
    std::vector<uint8_t> badKind = program;
    badKind[9] = 'Q';
    EXPECT_NE(decodeError(badKind, false).find("FQCk"), std::string::npos);
    EXPECT_NE(decodeError(program, true).find("a program file, not a bank"), std::string::npos);
    EXPECT_NE(decodeError(bank, false).find("a bank file, not a program"), std::string::npos);

    std::vector<uint8_t> truncated(program.begin(), program.end() - 4);
    EXPECT_NE(decodeError(truncated, false).find("size field"), std::string::npos);
    std::vector<uint8_t> tooManyValues = program;
    putWord(tooManyValues, 24, 4);
    EXPECT_NE(decodeError(tooManyValues, false).find("counts 4 parameter values"),
              std::string::npos);
    std::vector<uint8_t> negative = program;
    putWord(negative, 24, -1);
    EXPECT_NE(decodeError(negative, false).find("counts -1"), std::string::npos);

    std::vector<uint8_t> tooManyPrograms = bank;
    putWord(tooManyPrograms, 24, 3);
    EXPECT_NE(decodeError(tooManyPrograms, true).find("counts 3 programs"), std::string::npos);
    std::vector<uint8_t> tooFewPrograms = bank;
    putWord(tooFewPrograms, 24, 1);
    EXPECT_NE(decodeError(tooFewPrograms, true).find("follow the last one"), std::string::npos);
    std::vector<uint8_t> foreignProgram = bank;
    foreignProgram[156 + 16] = 'X';
    EXPECT_NE(decodeError(foreignProgram, true).find("program 0 of 2 was made for plug-in 'Xlo1'"),
              std::string::npos);

    try {
        requirePlugin(fourCharCode('N', 'e', 'k', 'o'), fourCharCode('q', 'l', 'o', '1'));
        ADD_FAILURE() << "another plug-in's file was accepted";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(),
                     "made for the plug-in with identifier 'Neko', not this one ('qlo1')");
    }
    EXPECT_EQ(idText(0x01020304), "0x01020304");
}

TEST(Vst2Files, WriteReplacesTheFileWholeAndReadsItBack) {
    const std::string path =
        ::testing::TempDir() + "quillo_fx_" + std::to_string(getpid()) + ".fxp";
    const std::vector<uint8_t> bytes = encode(sampleProgram());
    writeFile(path, {1, 2, 3});
    writeFile(path, bytes);
    EXPECT_EQ(readFile(path), bytes);
    std::remove(path.c_str());
    EXPECT_THROW(readFile(path), FileError);
    EXPECT_THROW(writeFile("/no/such/dir/x.fxp", bytes), FileError);
}

// What --preset and --bank give the command-line tools.
TEST(PresetLoading, FactoryNamesAndFilesForThisPluginOnly) {
    const int32_t quillo = fourCharCode('q', 'l', 'o', '1');
    const FactoryPreset& first = kFactoryPresets[0];
    const LoadedProgram byName = loadPreset(presetSlug(first.name), quillo, 36, true);
    EXPECT_EQ(byName.name, first.name);
    EXPECT_EQ(byName.values, std::vector<float>(first.values, first.values + 36));

    const std::string dir = ::testing::TempDir() + "quillo_presets_" + std::to_string(getpid());
    const std::string fxp = dir + ".fxp", fxb = dir + ".fxb";
    writeFile(fxp, encode(factoryProgramFile(first)));
    EXPECT_EQ(loadPreset(fxp, quillo, 36, true).values, byName.values);
    BankFile bank = factoryBankFile();
    bank.setCurrentProgram(5);
    writeFile(fxb, encode(bank));
    const LoadedBank loaded = loadBank(fxb, quillo, 36, 32);
    EXPECT_EQ(loaded.programs.size(), 32u);
    EXPECT_EQ(loaded.currentProgram, 5);
    EXPECT_EQ(loaded.programs[0].values, byName.values);

    auto error = [](auto load) {
        try {
            load();
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(error([&] { loadPreset("No Such Sound", quillo, 36, true); }),
              "--preset No Such Sound: no factory preset has this name (see --list-presets)");
    EXPECT_NE(error([&] {
                  loadPreset(fxp, fourCharCode('N', 'e', 'k', 'o'), 36, false);
              }).find("not this one ('Neko')"),
              std::string::npos);
    EXPECT_EQ(error([&] { loadPreset(fxp, quillo, 35, true); }),
              "--preset " + fxp + ": the program holds 36 parameter values; the plug-in has 35");
    EXPECT_NE(error([&] { loadBank(fxb, quillo, 36, 16); }).find("holds 32 programs"),
              std::string::npos);
    EXPECT_NE(error([&] { loadBank(fxp, quillo, 36, 32); }).find("a program file, not a bank"),
              std::string::npos);
    std::remove(fxp.c_str());
    std::remove(fxb.c_str());
}
