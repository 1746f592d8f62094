#include "runtime/byte_set.h"

#include <gtest/gtest.h>

#include "fatal_capture.h"

namespace zorv {
namespace {

using testing::FatalMessageOf;

TEST(ByteSet, LengthLeftZeroAndMemory) {
    ByteSet bytes{1, 2, 3};
    EXPECT_EQ(ByteSetLength(bytes), 3);
    EXPECT_EQ(ByteSetLength({}), 0);
    EXPECT_EQ(ByteSetLeft(bytes, 2), (ByteSet{1, 2}));
    EXPECT_EQ(ByteSetLeft(bytes, 9), bytes);
    EXPECT_EQ(ByteSetLeft(bytes, -1), ByteSet{});
    EXPECT_EQ(ZeroByteSet(3), (ByteSet{0, 0, 0}));
    EXPECT_EQ(ZeroByteSet(-3), ByteSet{});
    const char memory[] = "abc";
    EXPECT_EQ(ByteSetFromMemory(memory, 2), (ByteSet{'a', 'b'}));
    EXPECT_EQ(ByteSetFromMemory(nullptr, 2), ByteSet{});
    EXPECT_EQ(ByteSetFromMemory(memory, 0), ByteSet{});
}

TEST(ByteSetReadValue, ReadsEachKindLittleEndian) {
    ByteSet bytes{0x04, 0x03, 0x02, 0x01, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(std::get<uint8_t>(ByteSetReadValue(bytes, 1)), 0x04);
    EXPECT_EQ(std::get<int16_t>(ByteSetReadValue(bytes, 2)), 0x0304);
    EXPECT_EQ(std::get<int32_t>(ByteSetReadValue(bytes, 3)), 0x01020304);
    EXPECT_EQ(std::get<int64_t>(ByteSetReadValue(bytes, 4)), 0x3FF0000001020304);
    EXPECT_TRUE(std::get<bool>(ByteSetReadValue(bytes, 7)));
    EXPECT_EQ(std::get<SubprogramAddress>(ByteSetReadValue(bytes, 9)).address, 0x01020304u);
    ByteSet one{0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(std::get<double>(ByteSetReadValue(one, 6)), 1.0);
    EXPECT_EQ(std::get<DateTime>(ByteSetReadValue(one, 8)).oleDate, 1.0);
    EXPECT_EQ(std::get<float>(ByteSetReadValue(ByteSet{0, 0, 0x80, 0x3F}, 5)), 1.0f);
    EXPECT_EQ(std::get<int16_t>(ByteSetReadValue(ByteSet{0xFE, 0xFF}, 2)), -2);
}

TEST(ByteSetReadValue, PositionAdvancesAndEndsAtMinusOne) {
    ByteSet bytes{1, 0, 0, 0, 2, 0, 0, 0, 3};
    int32_t position = 1;
    EXPECT_EQ(std::get<int32_t>(ByteSetReadValue(bytes, 3, &position)), 1);
    EXPECT_EQ(position, 5);
    EXPECT_EQ(std::get<int32_t>(ByteSetReadValue(bytes, 3, &position)), 2);
    EXPECT_EQ(position, 9);
    // One byte left: zero-extended, and the end is reached.
    EXPECT_EQ(std::get<int32_t>(ByteSetReadValue(bytes, 3, &position)), 3);
    EXPECT_EQ(position, -1);
    // Reading on from -1 gives a zero value and keeps -1.
    EXPECT_EQ(std::get<int32_t>(ByteSetReadValue(bytes, 3, &position)), 0);
    EXPECT_EQ(position, -1);
    int32_t exact = 5;
    ByteSetReadValue(ByteSet{1, 2, 3, 4, 5, 6, 7, 8}, 3, &exact);
    EXPECT_EQ(exact, -1);
    int32_t past = 20;
    EXPECT_EQ(std::get<uint8_t>(ByteSetReadValue(bytes, 1, &past)), 0);
    EXPECT_EQ(past, -1);
}

TEST(ByteSetReadValue, TextRunsToTheZeroByte) {
    ByteSet bytes{'a', 'b', 0, 0xD0, 0xB6, 0, 'z'};
    int32_t position = 1;
    EXPECT_EQ(std::get<std::string>(ByteSetReadValue(bytes, 10, &position)), "ab");
    EXPECT_EQ(position, 4);
    EXPECT_EQ(std::get<std::string>(ByteSetReadValue(bytes, 10, &position)), "卸");
    EXPECT_EQ(position, 7);
    EXPECT_EQ(std::get<std::string>(ByteSetReadValue(bytes, 10, &position)), "z");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(std::get<std::string>(ByteSetReadValue({}, 10)), "");
}

TEST(ByteSetReadValue, InvalidKindIsFatal) {
    ByteSet bytes{1, 2, 3, 4};
    EXPECT_EQ(FatalMessageOf([&] { ByteSetReadValue(bytes, 0); }), "“欲取出数据的类型”参数值无效");
    EXPECT_EQ(FatalMessageOf([&] { ByteSetReadValue(bytes, 11); }), "“欲取出数据的类型”参数值无效");
    EXPECT_EQ(FatalMessageOf([&] { ByteSetReadValue(bytes, 10); }), "(none)");
}

}  // namespace
}  // namespace zorv
