// Who Quillo is, as every front-end reports it to its hosts.
#pragma once

#include <cstdint>
#include <string>

namespace identity {
constexpr const char* kName = "Quillo";
constexpr const char* kVendor = "Mirefold";
// 1.0.0, as VST 2 hosts read a vendor version.
constexpr int32_t kVersion = 1000;
// Its digits, as LV2 hosts and the programs' --version show them.
constexpr int32_t kVersionMajor = kVersion / 1000;
constexpr int32_t kVersionMinor = kVersion / 100 % 10;
constexpr int32_t kVersionMicro = kVersion / 10 % 10;
inline std::string versionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionMicro);
}
// The VST 2 identifier, 'qlo1' packed first character high, and the version the
// effect record reports: program and bank files carry both.
constexpr int32_t kVst2UniqueId = 0x716C6F31;
constexpr int32_t kVst2RecordVersion = 1;
} // namespace identity
