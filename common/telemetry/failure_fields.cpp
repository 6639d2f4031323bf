// The failure fields' layout, in the order a session's decoder expects them.
#include "common/telemetry/failure_fields.h"

namespace telemetry {

namespace {
constexpr UCHAR kFailureFieldCount = 14;
constexpr UCHAR kFullFailureFieldCount = 17;

std::string Text(const char* text)
{
    return text != nullptr ? text : "";
}
} // namespace

FailureDetails::FailureDetails(const failure::FailureInfo& info)
    : hr(info.hr), file(Text(info.file)), line(info.line), module(Text(info.module)),
      failureType(static_cast<std::uint32_t>(info.kind)), message(info.message != nullptr ? info.message : L""),
      threadId(info.threadId), callContext(Text(info.callContext)), failureId(info.failureId),
      failureCount(info.failureCount), function(Text(info.function))
{
}

// The reporting support has no originating or current context, so those fields are empty.
void AddFailureFields(EventFields& fields, const FailureDetails& details, bool identity)
{
    fields.Struct("wilActivity", identity ? kFullFailureFieldCount : kFailureFieldCount);
    fields.UInt32("hresult", static_cast<std::uint32_t>(details.hr));
    fields.AnsiString("fileName", details.file.c_str());
    fields.UInt32("lineNumber", details.line);
    fields.AnsiString("module", details.module.c_str());
    fields.UInt32("failureType", details.failureType);
    fields.UnicodeString("message", details.message.c_str());
    fields.UInt32("threadId", details.threadId);
    fields.AnsiString("callContext", details.callContext.c_str());
    fields.UInt32("originatingContextId", 0);
    fields.AnsiString("originatingContextName", nullptr);
    fields.UnicodeString("originatingContextMessage", nullptr);
    fields.UInt32("currentContextId", 0);
    fields.AnsiString("currentContextName", nullptr);
    fields.UnicodeString("currentContextMessage", nullptr);
    if (identity) {
        fields.UInt32("failureId", details.failureId);
        fields.UInt32("failureCount", details.failureCount);
        fields.AnsiString("function", details.function.c_str());
    }
}

} // namespace telemetry
