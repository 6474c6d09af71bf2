// quillo-vst2-presets DIR: writes the factory bank as VST 2 files into DIR: the bank
// quillo-factory.fxb and one program file per preset.
#include "presets/factory_files.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quillo-vst2-presets DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    std::string path;
    try {
        path = dir + "/" + kFactoryBankFileName;
        vst2_files::writeFile(path, vst2_files::encode(factoryBankFile()));
        for (int i = 0; i < kNumFactoryPresets; ++i) {
            const FactoryPreset& preset = kFactoryPresets[i];
            path = dir + "/" + factoryProgramFileName(preset);
            vst2_files::writeFile(path, vst2_files::encode(factoryProgramFile(preset)));
        }
    } catch (const vst2_files::FileError& error) {
        std::cerr << "quillo-vst2-presets: " << path << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
