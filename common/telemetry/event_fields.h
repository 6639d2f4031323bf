// One self-describing event under construction: the event metadata (its name, then each field's
// name and type) and one data descriptor per field value, in field order. The provider puts its
// own metadata in front and writes the whole (trace_logging_provider.h).
//
// Event metadata layout: UINT16 total size, one tags byte (0: no event tags), the event name
// with its terminator, then per field its name with its terminator and its in-type byte; a
// Struct field sets the chain bit 0x80 on its in-type and follows it with the number of fields
// it groups. Field values: UInt32 and UInt64 little-endian, AnsiString 8-bit text with its
// terminator, UnicodeString UTF-16 text with its terminator; a Struct has no value.
#pragma once
#include "platform/platform.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>

namespace telemetry {

// The in-type codes of the self-describing format that these events use.
enum class InType : std::uint8_t { UnicodeString = 1, AnsiString = 2, UInt32 = 8, UInt64 = 10, Struct = 24 };
inline constexpr std::uint8_t kInTypeChain = 0x80;

// Descriptor types of the data blocks of one event write.
inline constexpr ULONG kDescriptorProviderMetadata = 2;
inline constexpr ULONG kDescriptorEventMetadata = 1;

class EventFields {
public:
    static constexpr size_t kMaxFields = 24;
    static constexpr size_t kMetadataBytes = 1024;

    explicit EventFields(const char* eventName);
    // The descriptors point into the object itself.
    EventFields(const EventFields&) = delete;
    EventFields& operator=(const EventFields&) = delete;

    void UInt32(const char* name, std::uint32_t value);
    void UInt64(const char* name, std::uint64_t value);
    // A null text is written as the empty text.
    void AnsiString(const char* name, const char* value);
    void UnicodeString(const char* name, const wchar_t* value);
    // Groups the `fieldCount` fields added next under `name`.
    void Struct(const char* name, std::uint8_t fieldCount);

    // Puts the provider metadata in the first descriptor and returns all descriptors: provider
    // metadata, event metadata, then one per field value.
    EVENT_DATA_DESCRIPTOR* Descriptors(const void* providerMetadata, USHORT providerMetadataSize);
    ULONG DescriptorCount() const { return static_cast<ULONG>(2 + values_); }

private:
    void AppendMetadata(const void* bytes, size_t size);
    void AppendField(const char* name, InType type);
    void AddValue(const void* bytes, size_t size);
    std::uint64_t& NumberSlot(); // the value's own storage, for the field about to be added

    std::array<char, kMetadataBytes> metadata_{};
    size_t metadataSize_ = 0;
    std::array<EVENT_DATA_DESCRIPTOR, 2 + kMaxFields> descriptors_{};
    size_t values_ = 0;
    std::array<std::uint64_t, kMaxFields> numbers_{};
    std::deque<std::u16string> texts_; // UTF-16 copies of the wide values; stable addresses
};

} // namespace telemetry
