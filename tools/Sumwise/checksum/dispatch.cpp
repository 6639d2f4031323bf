// The dispatched entries of checksum.h. Each operation has a table of seven slots indexed by
// processor class + 1: slot 0 (class -1, not chosen yet) chooses the class and dispatches
// again; slots 1 to 6 check the arguments and call the class's kernel. After the first call
// an entry costs one acquire load of the class and one indirect call.
#include "tools/Sumwise/checksum/checksum.h"

#include <array>
#include <utility>

#include "tools/Sumwise/checksum/cpu_features.h"
#include "tools/Sumwise/checksum/kernels.h"

namespace checksum {
namespace {

using Crc32cEntry = int32_t (*)(const void* data, uint32_t length, uint32_t* state);
using Crc32Entry = int32_t (*)(const void* data, int32_t length, uint32_t* state);
using Adler32Entry = int32_t (*)(const void* data, int32_t length, uint32_t* state);
using ByteSwapEntry = int32_t (*)(uint32_t* words, int32_t count);

constexpr size_t kSlotCount = kProcessorClassCount + 1;

template <CrcKernel Kernel>
int32_t Crc32cChecked(const void* data, uint32_t length, uint32_t* state)
{
    if (data == nullptr || state == nullptr) {
        return kChecksumNullPointer;
    }
    if (length == 0) {
        return kChecksumBadLength;
    }
    *state = Kernel(static_cast<const uint8_t*>(data), length, *state);
    return kChecksumOk;
}

template <CrcKernel Kernel>
int32_t Crc32Checked(const void* data, int32_t length, uint32_t* state)
{
    if (data == nullptr || state == nullptr) {
        return kChecksumNullPointer;
    }
    if (length <= 0) {
        return kChecksumBadLength;
    }
    *state = Kernel(static_cast<const uint8_t*>(data), static_cast<size_t>(length), *state);
    return kChecksumOk;
}

template <AdlerKernel Kernel>
int32_t Adler32Checked(const void* data, int32_t length, uint32_t* state)
{
    if (state == nullptr) {
        return kChecksumNullPointer;
    }
    if (data == nullptr) {
        *state = 1;  // the Adler-32 of nothing
        return kChecksumOk;
    }
    const size_t count = length > 0 ? static_cast<size_t>(length) : 0;
    *state = Kernel(static_cast<const uint8_t*>(data), count, *state);
    return kChecksumOk;
}

template <ByteSwapKernel Kernel>
int32_t ByteSwapChecked(uint32_t* words, int32_t count)
{
    if (words == nullptr) {
        return kChecksumNullPointer;
    }
    if (count <= 0) {
        return kChecksumBadLength;
    }
    Kernel(words, static_cast<size_t>(count));
    return kChecksumOk;
}

int32_t Crc32cFirstCall(const void* data, uint32_t length, uint32_t* state)
{
    InitializeProcessorClass();
    return Crc32cUpdate(data, length, state);
}

int32_t Crc32FirstCall(const void* data, int32_t length, uint32_t* state)
{
    InitializeProcessorClass();
    return Crc32Update(data, length, state);
}

int32_t Adler32FirstCall(const void* data, int32_t length, uint32_t* state)
{
    InitializeProcessorClass();
    return Adler32Update(data, length, state);
}

int32_t ByteSwapFirstCall(uint32_t* words, int32_t count)
{
    InitializeProcessorClass();
    return ByteSwap32(words, count);
}

// Slot 0 chooses the class; slot c + 1 checks and calls class c's kernel.
template <size_t... C>
constexpr std::array<Crc32cEntry, kSlotCount> Crc32cSlotTable(std::index_sequence<C...>)
{
    return {Crc32cFirstCall, Crc32cChecked<kKernelsByClass[C].crc32c>...};
}

template <size_t... C>
constexpr std::array<Crc32Entry, kSlotCount> Crc32SlotTable(std::index_sequence<C...>)
{
    return {Crc32FirstCall, Crc32Checked<kKernelsByClass[C].crc32>...};
}

template <size_t... C>
constexpr std::array<Adler32Entry, kSlotCount> Adler32SlotTable(std::index_sequence<C...>)
{
    return {Adler32FirstCall, Adler32Checked<kKernelsByClass[C].adler32>...};
}

template <size_t... C>
constexpr std::array<ByteSwapEntry, kSlotCount> ByteSwapSlotTable(std::index_sequence<C...>)
{
    return {ByteSwapFirstCall, ByteSwapChecked<kKernelsByClass[C].byteSwap>...};
}

constexpr auto kClasses = std::make_index_sequence<kProcessorClassCount>();
constexpr auto kCrc32cSlots = Crc32cSlotTable(kClasses);
constexpr auto kCrc32Slots = Crc32SlotTable(kClasses);
constexpr auto kAdler32Slots = Adler32SlotTable(kClasses);
constexpr auto kByteSwapSlots = ByteSwapSlotTable(kClasses);

} // namespace

int32_t Crc32cUpdate(const void* data, uint32_t length, uint32_t* state)
{
    return kCrc32cSlots[CurrentProcessorClass() + 1](data, length, state);
}

int32_t Crc32Update(const void* data, int32_t length, uint32_t* state)
{
    return kCrc32Slots[CurrentProcessorClass() + 1](data, length, state);
}

int32_t Adler32Update(const void* data, int32_t length, uint32_t* state)
{
    return kAdler32Slots[CurrentProcessorClass() + 1](data, length, state);
}

int32_t ByteSwap32(uint32_t* words, int32_t count)
{
    return kByteSwapSlots[CurrentProcessorClass() + 1](words, count);
}

} // namespace checksum
