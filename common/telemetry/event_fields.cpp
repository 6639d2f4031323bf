// Building the metadata and data descriptors of one self-describing event.
#include "common/telemetry/event_fields.h"

#include <cstring>

#include "common/failure_macros.h"
#include "common/hresults.h"

namespace telemetry {

namespace {
const char kEmptyText[] = "";

// UTF-16 from the platform's wide text (UTF-16 already, or UTF-32 where wchar_t has 32 bits).
std::u16string Utf16(const wchar_t* text)
{
    std::u16string out;
    for (; text != nullptr && *text != L'\0'; ++text) {
        const auto ch = static_cast<std::uint32_t>(*text);
        if (ch > 0xFFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((ch - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(ch));
        }
    }
    return out;
}

EVENT_DATA_DESCRIPTOR Describe(const void* bytes, size_t size, ULONG type)
{
    EVENT_DATA_DESCRIPTOR descriptor{};
    descriptor.Ptr = static_cast<ULONGLONG>(reinterpret_cast<ULONG_PTR>(bytes));
    descriptor.Size = static_cast<ULONG>(size);
    descriptor.Reserved = type; // the low byte is the descriptor type
    return descriptor;
}
} // namespace

EventFields::EventFields(const char* eventName)
{
    const std::uint16_t sizePlaceholder = 0;
    const std::uint8_t noTags = 0;
    AppendMetadata(&sizePlaceholder, sizeof sizePlaceholder);
    AppendMetadata(&noTags, sizeof noTags);
    AppendMetadata(eventName, std::strlen(eventName) + 1);
}

void EventFields::AppendMetadata(const void* bytes, size_t size)
{
    // The names are the program's own literals; metadata that outgrows the buffer is a defect.
    FAIL_FAST_HR_IF(kHrInsufficientBuffer, size > metadata_.size() - metadataSize_);
    std::memcpy(metadata_.data() + metadataSize_, bytes, size);
    metadataSize_ += size;
}

void EventFields::AppendField(const char* name, InType type)
{
    AppendMetadata(name, std::strlen(name) + 1);
    const auto typeByte = static_cast<std::uint8_t>(type);
    AppendMetadata(&typeByte, sizeof typeByte);
}

void EventFields::AddValue(const void* bytes, size_t size)
{
    FAIL_FAST_HR_IF(kHrInsufficientBuffer, values_ >= kMaxFields);
    descriptors_[2 + values_] = Describe(bytes, size, 0);
    ++values_;
}

std::uint64_t& EventFields::NumberSlot()
{
    FAIL_FAST_HR_IF(kHrInsufficientBuffer, values_ >= kMaxFields);
    return numbers_[values_];
}

void EventFields::UInt32(const char* name, std::uint32_t value)
{
    AppendField(name, InType::UInt32);
    std::uint64_t& slot = NumberSlot();
    std::memcpy(&slot, &value, sizeof value);
    AddValue(&slot, sizeof value);
}

void EventFields::UInt64(const char* name, std::uint64_t value)
{
    AppendField(name, InType::UInt64);
    std::uint64_t& slot = NumberSlot();
    slot = value;
    AddValue(&slot, sizeof value);
}

void EventFields::AnsiString(const char* name, const char* value)
{
    AppendField(name, InType::AnsiString);
    const char* text = value != nullptr ? value : kEmptyText;
    AddValue(text, std::strlen(text) + 1);
}

void EventFields::UnicodeString(const char* name, const wchar_t* value)
{
    AppendField(name, InType::UnicodeString);
    const std::u16string& text = texts_.emplace_back(Utf16(value));
    AddValue(text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

void EventFields::Struct(const char* name, std::uint8_t fieldCount)
{
    AppendMetadata(name, std::strlen(name) + 1);
    const std::uint8_t typeBytes[] = {static_cast<std::uint8_t>(static_cast<std::uint8_t>(InType::Struct) | kInTypeChain),
                                      fieldCount};
    AppendMetadata(typeBytes, sizeof typeBytes);
}

EVENT_DATA_DESCRIPTOR* EventFields::Descriptors(const void* providerMetadata, USHORT providerMetadataSize)
{
    const auto size = static_cast<std::uint16_t>(metadataSize_);
    std::memcpy(metadata_.data(), &size, sizeof size);
    descriptors_[0] = Describe(providerMetadata, providerMetadataSize, kDescriptorProviderMetadata);
    descriptors_[1] = Describe(metadata_.data(), metadataSize_, kDescriptorEventMetadata);
    return descriptors_.data();
}

} // namespace telemetry
