#include "download/segments.h"

#include <gtest/gtest.h>

#include "download/url.h"

namespace zorv::download {
namespace {

TEST(SegmentTable, SmallFileIsOneSegmentWhateverIsWanted) {
    SegmentTable table = BuildSegmentTable(10000, 0, 4);
    EXPECT_EQ(table.count, 1);
    EXPECT_EQ(table.capacity, 10);
    EXPECT_EQ(table.segments[0].length, 10000);
    EXPECT_EQ(static_cast<int>(table.segments.size()), 10);
}

TEST(SegmentTable, LastSegmentTakesTheRemainder) {
    SegmentTable table = BuildSegmentTable(100000, 0, 3);
    ASSERT_EQ(table.count, 3);
    EXPECT_EQ(table.segments[0].start, 0);
    EXPECT_EQ(table.segments[1].start, 33333);
    EXPECT_EQ(table.segments[2].start, 66666);
    EXPECT_EQ(table.segments[0].length, 33333);
    EXPECT_EQ(table.segments[1].length, 33333);
    EXPECT_EQ(table.segments[2].length, 33334);
    EXPECT_EQ(BuildSegmentTable(1000000, 0, 11).capacity, 20);
}

TEST(SegmentAllocator, FreeSegmentsFirstThenSplitOfLargestRemainder) {
    SegmentTable table = BuildSegmentTable(300000, 0, 2);
    table.segments[0].taken = 1;
    EXPECT_EQ(AllocateSegment(table), 1);
    // Everything taken: the largest remainder is halved (earlier one on a tie).
    table.segments[0].done = 100000;  // remainder 50000
    table.segments[1].done = 49999;   // remainder 100001
    EXPECT_EQ(AllocateSegment(table), 2);
    const Segment& old = table.segments[1];
    const Segment& added = table.segments[2];
    EXPECT_EQ(old.length - old.done, 50001);
    EXPECT_EQ(old.split, 1);
    EXPECT_EQ(added.length, 50000);
    EXPECT_EQ(added.start, old.start + old.done + 50001);
    EXPECT_EQ(added.taken, 1);
    EXPECT_EQ(added.start + added.length, 300000);
}

TEST(SegmentAllocator, RemainderBelowTwoBuffersIsNotSplit) {
    SegmentTable table = BuildSegmentTable(40959 + 20480, 0, 1);
    table.segments[0].taken = 1;
    table.segments[0].done = 20480;  // remainder 40959
    EXPECT_EQ(AllocateSegment(table), -2);
    table.segments[0].done = 20479;  // remainder 40960
    EXPECT_EQ(AllocateSegment(table), 1);
    SegmentTable empty;
    EXPECT_EQ(AllocateSegment(empty), -1);
}

TEST(SegmentAllocator, GrowsCapacityInTens) {
    SegmentTable table = BuildSegmentTable(10000000, 0, 10);
    for (Segment& segment : table.segments) segment.taken = 1;
    EXPECT_EQ(AllocateSegment(table), 10);
    EXPECT_EQ(table.capacity, 20);
    EXPECT_EQ(table.count, 11);
    EXPECT_EQ(TakeFreeSegment(table), -1);
    EXPECT_EQ(UnfinishedCount(table), 11);
    table.segments[3].done = table.segments[3].length;
    EXPECT_EQ(UnfinishedCount(table), 10);
    EXPECT_EQ(DoneSum(table), table.segments[3].length);
}

TEST(Crc16, ArcCheckValue) {
    const char text[] = "123456789";
    EXPECT_EQ(Crc16Arc(reinterpret_cast<const uint8_t*>(text), 9), 0xBB3D);
}

ResumeRecord Sample() {
    ResumeRecord record;
    record.table = BuildSegmentTable(100000, 0, 3);
    record.table.segments[0].taken = 1;
    record.table.segments[0].owner = 77;
    record.table.segments[0].done = 1234;
    record.table.segments[2].done = 55;
    record.host = "dl.example.com:8080";
    record.path = "/files/zorv.exe";
    record.referer = "http://dl.example.com:8080/files";
    record.extraHeader = "Cookie: a=1\r\n";
    record.dotted = "10.20.30.40";
    record.port = 8080;
    record.totalLength = 100000;
    return record;
}

TEST(ResumeData, RoundTripKeepsRangesAndRequestAndClearsOwners) {
    std::optional<std::string> data = WriteResumeData(Sample());
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), 16 + 28 * 10 + 28 + 24 + 16 + 36 + 4 + 20 + 16 + 33 + 14 + 2u);
    std::optional<ResumeRecord> back = ReadResumeData(*data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->table.count, 3);
    EXPECT_EQ(back->table.capacity, 10);
    EXPECT_EQ(back->table.segments[0].done, 1234);
    EXPECT_EQ(back->table.segments[0].taken, 0);
    EXPECT_EQ(back->table.segments[0].owner, 0);
    EXPECT_EQ(back->table.segments[2].start, 66666);
    EXPECT_EQ(DoneSum(back->table), 1289);
    EXPECT_EQ(back->host, "dl.example.com:8080");
    EXPECT_EQ(back->path, "/files/zorv.exe");
    EXPECT_EQ(back->referer, "http://dl.example.com:8080/files");
    EXPECT_FALSE(back->userAgent);
    EXPECT_EQ(back->extraHeader, "Cookie: a=1\r\n");
    EXPECT_EQ(back->dotted, "10.20.30.40");
    EXPECT_EQ(back->port, 8080);
    EXPECT_EQ(back->totalLength, 100000);
}

// Sample() as the engine wrote it before lengths were 64-bit: still read,
// and written byte for byte alike.
std::string RecordOfThe32BitEngine() {
    const char* hex =
        "030000000a000000a08601000000000001000000000000004d0000000000000035820000d20400000000000000000000"
        "0000000000000000358200003582000000000000000000000000000000000000000000006a0401003682000037000000"
        "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "000000000000000000000000a801000094010000b8010000000000000d000000d90100000100000031302e32302e3330"
        "2e34300000000000901f0000000000000000000000000000000000000000000000000000000000000000000000000000"
        "00000000000000000000000000000000a0860100646c2e6578616d706c652e636f6d3a38303830002f66696c65732f7a"
        "6f72762e65786500687474703a2f2f646c2e6578616d706c652e636f6d3a383038302f66696c657300436f6f6b69653a"
        "20613d310d0a00ee00";
    std::string bytes;
    for (size_t i = 0; hex[i] != '\0'; i += 2) bytes += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
    return bytes;
}

TEST(ResumeData, RecordsOfFilesBelow2GiBKeepThe32BitForm) {
    const std::string old = RecordOfThe32BitEngine();
    EXPECT_EQ(WriteResumeData(Sample()), old);
    std::optional<ResumeRecord> back = ReadResumeData(old);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->totalLength, 100000);
    EXPECT_EQ(back->table.segments[2].start, 66666);
    EXPECT_EQ(DoneSum(back->table), 1289);
}

// An HTTPS task is recorded with its scheme, and through a proxy with its
// tunnel, so that it continues over TLS; an old HTTP record has neither.
TEST(ResumeData, HttpsTasksKeepTheirSchemeAndTunnel) {
    ResumeRecord record = Sample();
    record.protocol = kHttps;
    record.tunnel = true;
    std::optional<std::string> data = WriteResumeData(record);
    ASSERT_TRUE(data);
    std::optional<ResumeRecord> back = ReadResumeData(*data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->protocol, kHttps);
    EXPECT_TRUE(back->tunnel);
    EXPECT_TRUE(UsableForResume(*back));
    std::optional<ResumeRecord> old = ReadResumeData(RecordOfThe32BitEngine());
    ASSERT_TRUE(old);
    EXPECT_EQ(old->protocol, kHttp);
    EXPECT_FALSE(old->tunnel);
    EXPECT_TRUE(UsableForResume(*old));
    old->protocol = kFtp;
    EXPECT_FALSE(UsableForResume(*old));
}

// Past 4 GiB: offsets, lengths and done counts of 64 bits, a header the
// reader tells from the 32-bit form, and a length of -1 where that form
// keeps it, which a reader of 32-bit words never continues.
TEST(ResumeData, LongerFilesAreRecordedInTheWideForm) {
    const int64_t total = (int64_t(5) << 30) + 12345;
    ResumeRecord record = Sample();
    record.totalLength = total;
    record.table = BuildSegmentTable(total, 0, 3);
    record.table.segments[2].done = (int64_t(1) << 30) + 7;  // past 4 GiB in the file
    std::optional<std::string> data = WriteResumeData(record);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->substr(8, 8), std::string("\xFF\xFF\xFF\xFFZR64", 8));
    std::optional<ResumeRecord> back = ReadResumeData(*data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->totalLength, total);
    EXPECT_EQ(back->table.totalLength, total);
    EXPECT_EQ(back->table.segments[2].start, 2 * (total / 3));
    EXPECT_EQ(back->table.segments[2].length, total / 3 + total % 3);
    EXPECT_EQ(back->table.segments[2].done, (int64_t(1) << 30) + 7);
    EXPECT_TRUE(UsableForResume(*back));
    EXPECT_EQ(back->host, record.host);
    for (size_t i = 0; i < data->size(); ++i) {
        std::string changed = *data;
        changed[i] = static_cast<char>(changed[i] ^ 0x01);
        EXPECT_FALSE(ReadResumeData(changed)) << "byte " << i;
    }
}

TEST(ResumeData, AnyChangedByteIsRefused) {
    std::optional<std::string> data = WriteResumeData(Sample());
    ASSERT_TRUE(data);
    for (size_t i = 0; i < data->size(); ++i) {
        std::string changed = *data;
        changed[i] = static_cast<char>(changed[i] ^ 0x01);
        EXPECT_FALSE(ReadResumeData(changed)) << "byte " << i;
    }
    EXPECT_FALSE(ReadResumeData(data->substr(0, data->size() - 1)));
    EXPECT_FALSE(ReadResumeData(""));
}

// 28 x 153391690 is 2^32 + 24: in a 32-bit size_t the space the segment
// array needs would look like 24 bytes.
TEST(ResumeData, CapacityBeyondTheDataIsRefusedWhateverTheWordSize) {
    std::optional<std::string> data = WriteResumeData(Sample());
    ASSERT_TRUE(data);
    const uint32_t capacity = 153391690;
    for (int i = 0; i < 4; ++i) (*data)[4 + i] = static_cast<char>(capacity >> (8 * i));
    const uint16_t crc = Crc16Arc(reinterpret_cast<const uint8_t*>(data->data()), data->size() - 2);
    (*data)[data->size() - 2] = static_cast<char>(crc & 0xFF);
    (*data)[data->size() - 1] = static_cast<char>(crc >> 8);
    EXPECT_FALSE(ReadResumeData(*data));
}

TEST(ResumeData, OnlyTablesThatCoverTheFileOnceAreContinued) {
    EXPECT_TRUE(UsableForResume(Sample()));
    // Both segments over the first half, both finished: the done sum equals
    // the file length although the second half was never fetched.
    ResumeRecord overlap = Sample();
    overlap.table = BuildSegmentTable(100000, 0, 2);
    overlap.table.segments[1].start = 0;
    for (Segment& segment : overlap.table.segments) segment.done = segment.length;
    EXPECT_EQ(DoneSum(overlap.table), 100000);
    EXPECT_EQ(UnfinishedCount(overlap.table), 0);
    EXPECT_FALSE(UsableForResume(overlap));
    ResumeRecord gap = Sample();
    gap.table.segments[1].length -= 1;
    EXPECT_FALSE(UsableForResume(gap));
    ResumeRecord shortOfTheEnd = Sample();
    shortOfTheEnd.table.segments[2].length -= 1;
    EXPECT_FALSE(UsableForResume(shortOfTheEnd));
}

TEST(ResumeData, DataThatWouldNotFitIsNotWritten) {
    ResumeRecord record = Sample();
    record.referer = std::string(1700, 'r');
    EXPECT_FALSE(WriteResumeData(record));
    record.referer = std::string(1000, 'r');
    std::optional<std::string> fits = WriteResumeData(record);
    ASSERT_TRUE(fits);
    EXPECT_LE(fits->size(), kResumeLimit);
}

}  // namespace
}  // namespace zorv::download
