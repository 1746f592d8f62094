#pragma once
// Byte-set commands.
#include <cstdint>

#include "runtime/values.h"

namespace zorv {

int32_t ByteSetLength(const ByteSet& bytes);
// The first n bytes, n clamped to 0 ... length.
ByteSet ByteSetLeft(const ByteSet& bytes, int32_t n);
// n zero bytes; n <= 0 gives the empty byte set.
ByteSet ZeroByteSet(int32_t n);
// A copy of n bytes at the address; a null address or n <= 0 gives the
// empty byte set.
ByteSet ByteSetFromMemory(const void* address, int32_t n);

// Kinds of value ByteSetReadValue reads.
enum class ValueKind : int32_t {
    Byte = 1, Short = 2, Int = 3, Long = 4, Float = 5, Double = 6, Bool = 7, DateTime = 8, Subprogram = 9, Text = 10,
};

// Reads one value of the kind (1 ... 10, see ValueKind) at the 1-based
// position (*position, or 1 without a position variable).  A shorter rest is
// zero-extended; a text runs to the first zero byte or the end.  The position
// variable is advanced past the value, or set to -1 when nothing follows it.
// A position before the start or past the end reads a zero value (an empty
// text) and sets -1.  A kind outside 1 ... 10 is a fatal runtime error
// ("“欲取出数据的类型”参数值无效").
Value ByteSetReadValue(const ByteSet& bytes, int32_t kind, int32_t* position = nullptr);

}  // namespace zorv
