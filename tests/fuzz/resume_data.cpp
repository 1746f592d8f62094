// Resume data handed back to StartTaskFromResume (zorv-fetch reads it from
// a file): the reading of the byte string and the checks made before a task
// is continued from it, then the segment operations the continued task runs.
//
// Input: the resume data.  It is read as it is and once more with its last
// two bytes replaced by the right checksum, so that mutations reach the
// layout checks behind the checksum.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "download/segments.h"
#include "download/url.h"
#include "fuzz_support.h"

using namespace zorv::download;

namespace {

bool SameRecord(const ResumeRecord& a, const ResumeRecord& b) {
    if (a.table.count != b.table.count || a.table.capacity != b.table.capacity ||
        a.table.totalLength != b.table.totalLength || a.table.segments.size() != b.table.segments.size())
        return false;
    for (size_t i = 0; i < a.table.segments.size(); ++i) {
        const Segment& x = a.table.segments[i];
        const Segment& y = b.table.segments[i];
        if (x.taken != y.taken || x.split != y.split || x.owner != y.owner || x.start != y.start ||
            x.length != y.length || x.done != y.done || x.connection != y.connection)
            return false;
    }
    return a.host == b.host && a.path == b.path && a.referer == b.referer && a.userAgent == b.userAgent &&
           a.extraHeader == b.extraHeader && a.protocol == b.protocol && a.dotted == b.dotted && a.port == b.port &&
           a.tunnel == b.tunnel && a.totalLength == b.totalLength;
}

// What every accepted record gives: a table of count segments in capacity
// entries, nothing owned, no segment done past its length.
void CheckRead(const ResumeRecord& record) {
    const SegmentTable& table = record.table;
    FUZZ_CHECK(table.count >= 1 && table.count <= table.capacity);
    FUZZ_CHECK(table.segments.size() == static_cast<size_t>(table.capacity));
    for (const Segment& segment : table.segments) {
        FUZZ_CHECK(segment.taken == 0 && segment.split == 0 && segment.owner == 0 && segment.connection == 0);
        FUZZ_CHECK(segment.start >= 0 && segment.length >= 0 && segment.done >= 0 && segment.done <= segment.length);
    }
    FUZZ_CHECK(record.dotted.size() <= 16);
}

// The segments of a record that a task continues from lie inside the file,
// do not overlap and leave no byte out: every byte of the file belongs to
// exactly one segment, as in every table the engine writes.
void CheckTiles(const SegmentTable& table, int64_t totalLength) {
    // Told differently from the reader's own check: segments inside the
    // file, pairwise apart, whose lengths add up to the file's.
    int64_t lengths = 0;
    for (int32_t i = 0; i < table.count; ++i) {
        const Segment& a = table.segments[static_cast<size_t>(i)];
        FUZZ_CHECK(a.start >= 0 && int64_t(a.start) + a.length <= totalLength);
        lengths += a.length;
        for (int32_t j = i + 1; j < table.count; ++j) {
            const Segment& b = table.segments[static_cast<size_t>(j)];
            bool apart = int64_t(a.start) + a.length <= b.start || int64_t(b.start) + b.length <= a.start ||
                         a.length == 0 || b.length == 0;
            FUZZ_CHECK(apart);
        }
    }
    FUZZ_CHECK(lengths == totalLength);
}

// What the continued task does with the table: one connection per
// unfinished segment, each taking or splitting off a segment.
void ContinueTask(ResumeRecord record) {
    SegmentTable& table = record.table;
    const int64_t doneBefore = DoneSum(table);
    FUZZ_CHECK(doneBefore <= record.totalLength);
    const int32_t connections = UnfinishedCount(table);
    for (int32_t i = 0; i < connections + 2; ++i) {
        const int32_t index = AllocateSegment(table);
        FUZZ_CHECK(index >= -2 && index < table.count);
        FUZZ_CHECK(table.count <= table.capacity && table.segments.size() == static_cast<size_t>(table.capacity));
    }
    FUZZ_CHECK(DoneSum(table) == doneBefore);
    CheckTiles(table, record.totalLength);
}

void Check(const std::string& data) {
    const std::optional<ResumeRecord> record = ReadResumeData(data);
    if (!record) return;
    CheckRead(*record);
    // Written again, it reads back the same (when it still fits).
    if (std::optional<std::string> again = WriteResumeData(*record)) {
        std::optional<ResumeRecord> reread = ReadResumeData(*again);
        FUZZ_CHECK(reread.has_value());
        FUZZ_CHECK(SameRecord(*reread, *record) || record->dotted.size() == 16);
    }
    if (!UsableForResume(*record)) return;
    FUZZ_CHECK((record->protocol == kHttp || record->protocol == kHttps) && record->totalLength > 0);
    FUZZ_CHECK(!record->tunnel || record->protocol == kHttps);
    FUZZ_CHECK(IsDottedAddress(record->dotted) && record->port > 0 && record->port <= 65535);
    CheckTiles(record->table, record->totalLength);
    ContinueTask(*record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    if (bytes.size() >= 2) {
        const uint16_t crc = Crc16Arc(data, size - 2);
        bytes[size - 2] = static_cast<char>(crc & 0xFF);
        bytes[size - 1] = static_cast<char>(crc >> 8);
        Check(bytes);
    }
    return 0;
}
