// The failure fields of the activities' events ("ActivityError" and a failed stop): a failure
// report's details, copied so that they outlive the report, and their "wilActivity" struct of
// 14 fields, or 17 with the failure's identity (id, count, function).
#pragma once
#include "platform/platform.h"

#include <cstdint>
#include <string>

#include "common/failure.h"
#include "common/telemetry/event_fields.h"

namespace telemetry {

// The privacy tags of every event that carries failure fields.
inline constexpr ULONGLONG kFailurePrivacyTags = 0x1000000;

// A failure report's details, copied: the report's texts live only as long as the report.
struct FailureDetails {
    HRESULT hr = S_OK;
    std::string file;
    std::uint32_t line = 0;
    std::string module;
    std::uint32_t failureType = 0;
    std::wstring message;
    std::uint32_t threadId = 0;
    std::string callContext;
    std::uint32_t failureId = 0;
    std::uint32_t failureCount = 0;
    std::string function;

    explicit FailureDetails(const failure::FailureInfo& info);
};

// Adds the 14 failure fields, and with `identity` the three that make the 17-field form.
void AddFailureFields(EventFields& fields, const FailureDetails& details, bool identity);

} // namespace telemetry
