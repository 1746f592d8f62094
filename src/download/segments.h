#pragma once
// The byte ranges of a target file, how they are handed to connections and
// split, and the resume-data byte string that records a task.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorv::download {

// The unit of the table's rules: a file below it is one segment, and a
// remainder below twice it is not split.
constexpr int32_t BUFFER_SIZE = 20480;

// Offsets and lengths are 64-bit: a file may be as long as 2^63 - 1 bytes.
struct Segment {
    int32_t taken = 0;       // a connection owns it
    int32_t split = 0;       // a part of it went to another segment
    int32_t owner = 0;       // owning connection's identifier
    int64_t start = 0;
    int64_t length = 0;
    int64_t done = 0;
    int32_t connection = 0;  // owning connection (identifier); no meaning after loading
    bool Finished() const { return done >= length; }
};

struct SegmentTable {
    int32_t count = 0;
    int32_t capacity = 0;
    int64_t totalLength = 0;
    std::vector<Segment> segments;  // capacity entries; those beyond count are zero
};

// n segments over totalLength (one when the file is below BUFFER_SIZE).
SegmentTable BuildSegmentTable(int64_t totalLength, int64_t startOffset, int32_t wanted);

// First segment that is neither taken nor finished, now taken; -1 for none.
int32_t TakeFreeSegment(SegmentTable& table);

// A free segment, or else a new one split off the largest remainder; -2 when
// no remainder is worth splitting (below 2 x BUFFER_SIZE).
int32_t AllocateSegment(SegmentTable& table);

int32_t UnfinishedCount(const SegmentTable& table);
int64_t DoneSum(const SegmentTable& table);

// CRC-16/ARC: reflected polynomial 0xA001, start 0, no final exclusive-or.
uint16_t Crc16Arc(const uint8_t* data, size_t length);

// Everything a resume-data string records.
struct ResumeRecord {
    SegmentTable table;
    std::string host, path, referer;
    std::optional<std::string> userAgent;
    std::string extraHeader;
    int32_t protocol = 1;  // kHttp or kHttps: a task continues over the scheme it had
    std::string dotted;    // resolved address, at most 15 characters
    int32_t port = 0;
    // HTTPS through a proxy: dotted and port are the proxy's, and every
    // continued connection asks it for a CONNECT tunnel to the host.
    bool tunnel = false;
    int64_t totalLength = 0;
};

constexpr size_t kResumeLimit = 2048;

// The resume data, or nullopt when it would not fit into kResumeLimit bytes.
// A file whose length fits into 31 bits is recorded in 32-bit words, byte
// for byte as engines before the 64-bit lengths wrote it.  A longer one is
// recorded with 64-bit offsets, lengths and done counts; its header holds
// -1 where the 32-bit form has the length and kWideResumeMark in the word
// that form leaves 0, so a reader tells the two apart, and a reader that
// knows only 32-bit words finds a length below 1 and does not continue it.
std::optional<std::string> WriteResumeData(const ResumeRecord& record);
constexpr int32_t kWideResumeMark = 0x3436525A;  // "ZR64"

// Reads either form.  nullopt when the first byte is 0, the checksum
// differs or the layout is inconsistent.  Taken and split flags, owners and
// connections are cleared.
std::optional<ResumeRecord> ReadResumeData(const std::string& data);

// Whether StartTaskFromResume can continue the record: an HTTP or HTTPS task whose
// address is known and whose segments cover the file exactly once, without
// overlap or gap.
bool UsableForResume(const ResumeRecord& record);

}  // namespace zorv::download
