// The fixed ids of the tools' telemetry: one provider GUID shared by both tools' providers (their
// names tell them apart) and the GUID of the platform's telemetry provider group.
#pragma once
#include "platform/platform.h"

namespace telemetry {

// {6b0e3c52-91d4-4f7a-a8e5-3d2c7f41b9a0}
inline constexpr GUID kToolsProviderId = {0x6b0e3c52, 0x91d4, 0x4f7a, {0xa8, 0xe5, 0x3d, 0x2c, 0x7f, 0x41, 0xb9, 0xa0}};
// {4f50731a-89cf-4782-b3e0-dce8c90476ba}
inline constexpr GUID kTelemetryGroupId = {0x4f50731a, 0x89cf, 0x4782, {0xb3, 0xe0, 0xdc, 0xe8, 0xc9, 0x04, 0x76, 0xba}};

} // namespace telemetry
