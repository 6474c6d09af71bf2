// Who Quillo is, as every front-end reports it to its hosts.
#pragma once

#include <cstdint>

namespace identity {
constexpr const char* kName = "Quillo";
constexpr const char* kVendor = "Mirefold";
// 1.0.0, as VST 2 hosts read a vendor version.
constexpr int32_t kVersion = 1000;
} // namespace identity
