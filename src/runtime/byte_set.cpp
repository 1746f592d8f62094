#include "runtime/byte_set.h"

#include <algorithm>
#include <cstring>

#include "runtime/fatal.h"

namespace zorv {
namespace {

std::size_t FixedSize(ValueKind kind) {
    switch (kind) {
        case ValueKind::Byte: return 1;
        case ValueKind::Short: return 2;
        case ValueKind::Int: case ValueKind::Bool: case ValueKind::Subprogram: case ValueKind::Float: return 4;
        case ValueKind::Long: case ValueKind::Double: case ValueKind::DateTime: return 8;
        case ValueKind::Text: break;
    }
    return 0;
}

uint64_t LittleEndianValue(const uint8_t* data, std::size_t size) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= uint64_t{data[i]} << (8 * i);
    return value;
}

template <typename T, typename Bits>
T FromBits(Bits bits) {
    static_assert(sizeof(T) == sizeof(Bits));
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Value MakeValue(ValueKind kind, uint64_t bits) {
    switch (kind) {
        case ValueKind::Byte: return static_cast<uint8_t>(bits);
        case ValueKind::Short: return static_cast<int16_t>(static_cast<uint16_t>(bits));
        case ValueKind::Int: return static_cast<int32_t>(static_cast<uint32_t>(bits));
        case ValueKind::Long: return static_cast<int64_t>(bits);
        case ValueKind::Float: return FromBits<float>(static_cast<uint32_t>(bits));
        case ValueKind::Double: return FromBits<double>(bits);
        case ValueKind::Bool: return static_cast<uint32_t>(bits) != 0;
        case ValueKind::DateTime: return DateTime{FromBits<double>(bits)};
        case ValueKind::Subprogram: return SubprogramAddress{static_cast<uint32_t>(bits)};
        case ValueKind::Text: break;
    }
    return std::string();
}

}  // namespace

int32_t ByteSetLength(const ByteSet& bytes) { return static_cast<int32_t>(bytes.size()); }

ByteSet ByteSetLeft(const ByteSet& bytes, int32_t n) {
    std::size_t count = n <= 0 ? 0 : std::min(bytes.size(), static_cast<std::size_t>(n));
    return ByteSet(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

ByteSet ZeroByteSet(int32_t n) { return n <= 0 ? ByteSet() : ByteSet(static_cast<std::size_t>(n), 0); }

ByteSet ByteSetFromMemory(const void* address, int32_t n) {
    if (address == nullptr || n <= 0) return {};
    const auto* first = static_cast<const uint8_t*>(address);
    return ByteSet(first, first + n);
}

Value ByteSetReadValue(const ByteSet& bytes, int32_t kind, int32_t* position) {
    if (kind < 1 || kind > 10) FatalRuntimeError("“欲取出数据的类型”参数值无效");
    auto valueKind = static_cast<ValueKind>(kind);
    int32_t start = position ? *position : 1;
    bool inside = start >= 1 && static_cast<std::size_t>(start) <= bytes.size();
    std::size_t offset = inside ? static_cast<std::size_t>(start) - 1 : bytes.size();
    std::size_t available = bytes.size() - offset;
    std::size_t consumed;
    Value value;
    if (valueKind == ValueKind::Text) {
        const uint8_t* data = bytes.data() + offset;
        std::size_t length = std::find(data, data + available, uint8_t{0}) - data;
        value = std::string(reinterpret_cast<const char*>(data), length);
        consumed = std::min(available, length + 1);  // the zero byte ends the text
    } else {
        std::size_t size = FixedSize(valueKind);
        consumed = std::min(available, size);
        value = MakeValue(valueKind, LittleEndianValue(bytes.data() + offset, consumed));
    }
    if (position) {
        std::size_t next = offset + consumed;
        *position = inside && next < bytes.size() ? static_cast<int32_t>(next) + 1 : -1;
    }
    return value;
}

}  // namespace zorv
