// Decoding the records of a trace session file: descriptor, ids, then the data blocks, whose
// provider and event metadata name and type the values that follow.
#include "support/trace_decoder.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {

namespace {
constexpr std::uint8_t kChain = 0x80;
constexpr std::uint8_t kUnicodeString = 1;
constexpr std::uint8_t kAnsiString = 2;
constexpr std::uint8_t kUInt32 = 8;
constexpr std::uint8_t kUInt64 = 10;
constexpr std::uint8_t kStruct = 24;

// Bounded reading of one block of bytes.
class Reader {
public:
    Reader(const std::uint8_t* data, size_t size) : data_(data), size_(size) {}

    template <class T>
    T Take()
    {
        T value{};
        std::memcpy(&value, Bytes(sizeof value), sizeof value);
        return value;
    }

    const std::uint8_t* Bytes(size_t count)
    {
        if (count > size_ - used_) {
            throw std::runtime_error("trace record cut short");
        }
        const std::uint8_t* at = data_ + used_;
        used_ += count;
        return at;
    }

    std::string Text()
    {
        std::string text;
        for (char ch; (ch = static_cast<char>(Take<std::uint8_t>())) != '\0';) {
            text.push_back(ch);
        }
        return text;
    }

    std::string Utf16Text()
    {
        std::string text;
        for (std::uint32_t unit; (unit = Take<std::uint16_t>()) != 0;) {
            std::uint32_t ch = unit;
            if (unit >= 0xD800 && unit < 0xDC00) {
                ch = 0x10000 + ((unit - 0xD800) << 10) + (Take<std::uint16_t>() - 0xDC00u);
            }
            AppendUtf8(text, ch);
        }
        return text;
    }

    bool AtEnd() const { return used_ == size_; }

private:
    static void AppendUtf8(std::string& text, std::uint32_t ch)
    {
        if (ch < 0x80) {
            text.push_back(static_cast<char>(ch));
        } else if (ch < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (ch >> 6)));
            text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
        } else if (ch < 0x10000) {
            text.push_back(static_cast<char>(0xE0 | (ch >> 12)));
            text.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xF0 | (ch >> 18)));
            text.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
        }
    }

    const std::uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};

struct Block {
    std::uint32_t type;
    Reader reader;
};

void DecodeProvider(Reader reader, TraceEvent& event)
{
    reader.Take<std::uint16_t>();
    event.providerName = reader.Text();
    while (!reader.AtEnd()) {
        const auto traitSize = reader.Take<std::uint16_t>();
        event.traitType = reader.Take<std::uint8_t>();
        if (traitSize != 3 + sizeof(TraceGuid)) {
            throw std::runtime_error("unexpected provider trait size");
        }
        std::memcpy(event.providerGroup.data(), reader.Bytes(sizeof(TraceGuid)), sizeof(TraceGuid));
    }
}

void DecodeValue(Reader& value, TraceField& field)
{
    switch (field.inType) {
    case kUInt32:
        field.number = value.Take<std::uint32_t>();
        break;
    case kUInt64:
        field.number = value.Take<std::uint64_t>();
        break;
    case kAnsiString:
        field.text = value.Text();
        break;
    case kUnicodeString:
        field.text = value.Utf16Text();
        break;
    default:
        throw std::runtime_error("unknown in-type " + std::to_string(field.inType));
    }
    if (!value.AtEnd()) {
        throw std::runtime_error("value block longer than its field " + field.name);
    }
}

void DecodeEvent(Reader metadata, std::vector<Block>& blocks, size_t nextValue, TraceEvent& event)
{
    metadata.Take<std::uint16_t>();
    event.tags = metadata.Take<std::uint8_t>();
    for (std::uint8_t tag = event.tags; (tag & kChain) != 0;) {
        tag = metadata.Take<std::uint8_t>();
    }
    event.name = metadata.Text();
    while (!metadata.AtEnd()) {
        TraceField field;
        field.name = metadata.Text();
        const auto inType = metadata.Take<std::uint8_t>();
        field.inType = inType & static_cast<std::uint8_t>(~kChain);
        if ((inType & kChain) != 0) {
            const auto extra = metadata.Take<std::uint8_t>();
            if (field.inType == kStruct) {
                field.structFields = extra & static_cast<std::uint8_t>(~kChain);
            }
        }
        if (field.inType != kStruct) {
            if (nextValue >= blocks.size()) {
                throw std::runtime_error("no value for field " + field.name);
            }
            DecodeValue(blocks[nextValue++].reader, field);
        }
        event.fields.push_back(field);
    }
    if (nextValue != blocks.size()) {
        throw std::runtime_error("more values than fields");
    }
}

TraceEvent DecodeRecord(Reader record)
{
    TraceEvent event;
    event.id = record.Take<std::uint16_t>();
    event.version = record.Take<std::uint8_t>();
    event.channel = record.Take<std::uint8_t>();
    event.level = record.Take<std::uint8_t>();
    event.opcode = record.Take<std::uint8_t>();
    event.task = record.Take<std::uint16_t>();
    event.keyword = record.Take<std::uint64_t>();
    std::memcpy(event.activityId.data(), record.Bytes(16), 16);
    std::memcpy(event.relatedActivityId.data(), record.Bytes(16), 16);
    const auto count = record.Take<std::uint32_t>();
    std::vector<Block> blocks;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto type = record.Take<std::uint32_t>();
        const auto size = record.Take<std::uint32_t>();
        blocks.push_back(Block{type, Reader(record.Bytes(size), size)});
        event.descriptorTypes.push_back(type);
    }
    if (!record.AtEnd() || blocks.size() < 2 || blocks[0].type != 2 || blocks[1].type != 1) {
        throw std::runtime_error("record without provider and event metadata");
    }
    DecodeProvider(blocks[0].reader, event);
    DecodeEvent(blocks[1].reader, blocks, 2, event);
    return event;
}
} // namespace

const TraceField& TraceEvent::Field(const std::string& fieldName, int occurrence) const
{
    for (const TraceField& field : fields) {
        if (field.name == fieldName && occurrence-- == 0) {
            return field;
        }
    }
    throw std::runtime_error("event " + name + " has no field " + fieldName);
}

std::vector<std::string> TraceEvent::FieldNames() const
{
    std::vector<std::string> names;
    for (const TraceField& field : fields) {
        names.push_back(field.name);
    }
    return names;
}

std::vector<TraceEvent> ReadTrace(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    std::vector<TraceEvent> events;
    Reader reader(bytes.data(), bytes.size());
    while (!reader.AtEnd()) {
        const auto size = reader.Take<std::uint32_t>();
        if (size < sizeof size) {
            throw std::runtime_error("bad record size");
        }
        events.push_back(DecodeRecord(Reader(reader.Bytes(size - sizeof size), size - sizeof size)));
    }
    return events;
}

bool IsZero(const TraceGuid& id)
{
    for (const std::uint8_t byte : id) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

} // namespace testing_support
