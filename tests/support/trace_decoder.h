// Reads back the file of a trace session (the record layout: the README's trace session section)
// and decodes every event's names, types and values from the metadata the event carries.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

using TraceGuid = std::array<std::uint8_t, 16>;

struct TraceField {
    std::string name;
    std::uint8_t inType = 0;       // without the chain bit
    std::uint8_t structFields = 0; // Struct: the number of fields it groups
    std::uint64_t number = 0;      // UInt32, UInt64
    std::string text;              // AnsiString as written; UnicodeString converted to UTF-8
};

struct TraceEvent {
    // Descriptor.
    std::uint16_t id = 0;
    std::uint8_t version = 0;
    std::uint8_t channel = 0;
    std::uint8_t level = 0;
    std::uint8_t opcode = 0;
    std::uint16_t task = 0;
    std::uint64_t keyword = 0;
    TraceGuid activityId{};
    TraceGuid relatedActivityId{};
    // Provider metadata.
    std::string providerName;
    std::uint8_t traitType = 0;
    TraceGuid providerGroup{};
    // Event metadata and values, in field order (Struct fields included).
    std::string name;
    std::uint8_t tags = 0;
    std::vector<TraceField> fields;
    std::vector<std::uint32_t> descriptorTypes;

    // The `occurrence`-th field of that name; throws when there is none.
    const TraceField& Field(const std::string& fieldName, int occurrence = 0) const;
    std::vector<std::string> FieldNames() const;
};

// Every record of the file, in order; an absent file gives none. Throws std::runtime_error for a
// record that does not decode.
std::vector<TraceEvent> ReadTrace(const std::filesystem::path& file);

bool IsZero(const TraceGuid& id);

} // namespace testing_support
