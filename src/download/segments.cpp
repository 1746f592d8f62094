#include "download/segments.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "download/url.h"

namespace zorv::download {
namespace {

int32_t CapacityFor(int32_t count) { return count <= 10 ? 10 : 10 * ((count + 9) / 10); }

void GrowForOneMore(SegmentTable& table) {
    if (table.count < table.capacity) return;
    table.capacity += 10 * ((table.count + 1) / 10);
    table.segments.resize(static_cast<size_t>(table.capacity));
}

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> entries{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
        entries[i] = crc;
    }
    return entries;
}
constexpr auto kCrcTable = MakeCrcTable();

void PutWord(std::string& out, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

void PutWide(std::string& out, int64_t value) {
    uint64_t bits = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

int32_t GetWord(const std::string& in, size_t at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(static_cast<uint8_t>(in[at + i])) << (8 * i);
    return static_cast<int32_t>(bits);
}

int64_t GetWide(const std::string& in, size_t at) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(static_cast<uint8_t>(in[at + i])) << (8 * i);
    return static_cast<int64_t>(bits);
}

constexpr size_t kHeaderSize = 16, kRequestSize = 28, kAddressSize = 24, kMmsSize = 16, kRtspSize = 36;

// The two forms of resume data differ only in the width of the offsets,
// lengths and done counts: 32-bit words, or 64-bit ones with the table's
// length right after the header.
struct Layout {
    bool wide = false;
    size_t ValueSize() const { return wide ? 8 : 4; }
    size_t HeaderSize() const { return kHeaderSize + (wide ? 8 : 0); }
    size_t SegmentSize() const { return 4 * 4 + 3 * ValueSize(); }
    // Everything but the segments and the string area, checksum included.
    size_t FixedSize() const { return HeaderSize() + kRequestSize + kAddressSize + kMmsSize + kRtspSize + ValueSize() + 2; }
    void Put(std::string& out, int64_t value) const {
        if (wide)
            PutWide(out, value);
        else
            PutWord(out, static_cast<int32_t>(value));
    }
    int64_t Get(const std::string& in, size_t at) const { return wide ? GetWide(in, at) : GetWord(in, at); }
};

bool FitsWord(int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

// The 32-bit form whenever every value fits into it.
Layout LayoutFor(const ResumeRecord& record) {
    bool fits = FitsWord(record.totalLength) && FitsWord(record.table.totalLength);
    for (const Segment& segment : record.table.segments)
        fits = fits && FitsWord(segment.start) && FitsWord(segment.length) && FitsWord(segment.done);
    return Layout{!fits};
}

}  // namespace

SegmentTable BuildSegmentTable(int64_t totalLength, int64_t startOffset, int32_t wanted) {
    SegmentTable table;
    int32_t count = totalLength < BUFFER_SIZE || wanted < 1 ? 1 : wanted;
    table.count = count;
    table.capacity = CapacityFor(count);
    table.totalLength = totalLength;
    table.segments.resize(static_cast<size_t>(table.capacity));
    int64_t each = totalLength / count;
    for (int32_t i = 0; i < count; ++i) {
        Segment& segment = table.segments[static_cast<size_t>(i)];
        segment.start = startOffset + i * each;
        segment.length = each + (i == count - 1 ? totalLength % count : 0);
    }
    return table;
}

int32_t TakeFreeSegment(SegmentTable& table) {
    for (int32_t i = 0; i < table.count; ++i) {
        Segment& segment = table.segments[static_cast<size_t>(i)];
        if (!segment.taken && !segment.Finished()) {
            segment.taken = 1;
            return i;
        }
    }
    return -1;
}

int32_t AllocateSegment(SegmentTable& table) {
    if (table.count == 0) return -1;
    int32_t free = TakeFreeSegment(table);
    if (free >= 0) return free;
    int32_t largest = 0;
    for (int32_t i = 1; i < table.count; ++i) {
        const Segment& candidate = table.segments[static_cast<size_t>(i)];
        const Segment& best = table.segments[static_cast<size_t>(largest)];
        if (candidate.length - candidate.done > best.length - best.done) largest = i;
    }
    const Segment& best = table.segments[static_cast<size_t>(largest)];
    int64_t remainder = best.length - best.done;
    if (remainder < 2 * BUFFER_SIZE) return -2;
    GrowForOneMore(table);
    Segment& old = table.segments[static_cast<size_t>(largest)];
    int64_t given = remainder / 2;
    int64_t kept = remainder - given;
    old.length = old.done + kept;
    old.split = 1;
    Segment& added = table.segments[static_cast<size_t>(table.count)];
    added = Segment{};
    added.taken = 1;
    added.start = old.start + old.done + kept;
    added.length = given;
    return table.count++;
}

int32_t UnfinishedCount(const SegmentTable& table) {
    int32_t unfinished = 0;
    for (int32_t i = 0; i < table.count; ++i)
        if (!table.segments[static_cast<size_t>(i)].Finished()) ++unfinished;
    return unfinished;
}

int64_t DoneSum(const SegmentTable& table) {
    int64_t sum = 0;
    for (int32_t i = 0; i < table.count; ++i) sum += table.segments[static_cast<size_t>(i)].done;
    return sum;
}

uint16_t Crc16Arc(const uint8_t* data, size_t length) {
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) crc = static_cast<uint16_t>(kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}

std::optional<std::string> WriteResumeData(const ResumeRecord& record) {
    const SegmentTable& table = record.table;
    const Layout layout = LayoutFor(record);
    std::string out;
    PutWord(out, table.count);
    PutWord(out, table.capacity);
    if (layout.wide) {
        PutWord(out, -1);
        PutWord(out, kWideResumeMark);
        PutWide(out, table.totalLength);
    } else {
        PutWord(out, static_cast<int32_t>(table.totalLength));
        PutWord(out, 0);
    }
    for (int32_t i = 0; i < table.capacity; ++i) {
        Segment segment = i < static_cast<int32_t>(table.segments.size()) ? table.segments[static_cast<size_t>(i)]
                                                                           : Segment{};
        for (int32_t word : {segment.taken, segment.split, segment.owner}) PutWord(out, word);
        for (int64_t value : {segment.start, segment.length, segment.done}) layout.Put(out, value);
        PutWord(out, segment.connection);
    }
    // The string area follows the fixed blocks; offsets count from byte 0.
    size_t stringsAt = out.size() + kRequestSize + kAddressSize + kMmsSize + kRtspSize + layout.ValueSize();
    std::string strings;
    auto place = [&](const std::optional<std::string>& text) -> int32_t {
        if (!text) return 0;
        int32_t offset = static_cast<int32_t>(stringsAt + strings.size());
        strings += *text;
        strings += '\0';
        return offset;
    };
    int32_t hostAt = place(record.host);
    int32_t pathAt = place(record.path);
    int32_t refererAt = place(record.referer);
    int32_t agentAt = place(record.userAgent);
    int32_t extraAt = record.extraHeader.empty() ? 0 : place(record.extraHeader);
    for (int32_t word : {0, pathAt, hostAt, refererAt, agentAt, static_cast<int32_t>(record.extraHeader.size()),
                         extraAt})
        PutWord(out, word);
    PutWord(out, record.protocol);
    char dotted[16] = {};
    std::memcpy(dotted, record.dotted.data(), std::min<size_t>(record.dotted.size(), 15));
    out.append(dotted, 16);
    PutWord(out, record.port);
    // The tunnel flag takes the first word of the block that only MMS
    // tasks filled; HTTP records leave it 0, as they always did.
    PutWord(out, record.tunnel ? 1 : 0);
    out.append(kMmsSize - 4 + kRtspSize, '\0');
    layout.Put(out, record.totalLength);
    if (out.size() + strings.size() + 2 > kResumeLimit) return std::nullopt;
    out += strings;
    uint16_t crc = Crc16Arc(reinterpret_cast<const uint8_t*>(out.data()), out.size());
    out += static_cast<char>(crc & 0xFF);
    out += static_cast<char>(crc >> 8);
    return out;
}

std::optional<ResumeRecord> ReadResumeData(const std::string& data) {
    if (data.size() < kHeaderSize + 2 || data.size() > kResumeLimit || data[0] == 0) return std::nullopt;
    const Layout layout{GetWord(data, 8) == -1 && GetWord(data, 12) == kWideResumeMark};
    const size_t fixed = layout.FixedSize();
    if (data.size() < fixed) return std::nullopt;
    uint16_t stored = static_cast<uint16_t>(static_cast<uint8_t>(data[data.size() - 2]) |
                                            static_cast<uint8_t>(data[data.size() - 1]) << 8);
    if (Crc16Arc(reinterpret_cast<const uint8_t*>(data.data()), data.size() - 2) != stored) return std::nullopt;
    // The string area always holds the host and ends with its last text's
    // terminator; a cut string can pass the checksum by chance but not this.
    if (data[data.size() - 3] != '\0') return std::nullopt;
    ResumeRecord record;
    SegmentTable& table = record.table;
    table.count = GetWord(data, 0);
    table.capacity = GetWord(data, 4);
    table.totalLength = layout.wide ? GetWide(data, kHeaderSize) : GetWord(data, 8);
    // Compared by division: with the 32-bit size_t of the Windows build,
    // the segment size x capacity wraps for a capacity near 2^32 / 28 and
    // would pass, and the array of that capacity could not be allocated.
    if (table.count < 1 || table.capacity < table.count || table.capacity % 10 != 0 ||
        static_cast<size_t>(table.capacity) > (data.size() - fixed) / layout.SegmentSize())
        return std::nullopt;
    size_t at = layout.HeaderSize();
    table.segments.resize(static_cast<size_t>(table.capacity));
    for (Segment& segment : table.segments) {
        size_t values = at + 12;
        segment.start = layout.Get(data, values);
        segment.length = layout.Get(data, values + layout.ValueSize());
        segment.done = layout.Get(data, values + 2 * layout.ValueSize());
        if (segment.start < 0 || segment.length < 0 || segment.done < 0 || segment.done > segment.length)
            return std::nullopt;
        at += layout.SegmentSize();
    }
    size_t stringsEnd = data.size() - 2;
    auto text = [&](int32_t offset) -> std::optional<std::string> {
        if (offset == 0) return std::nullopt;
        if (offset < 0 || static_cast<size_t>(offset) >= stringsEnd) return std::string();
        size_t end = data.find('\0', static_cast<size_t>(offset));
        if (end == std::string::npos || end >= stringsEnd) return std::string();
        return data.substr(static_cast<size_t>(offset), end - static_cast<size_t>(offset));
    };
    record.path = text(GetWord(data, at + 4)).value_or("");
    record.host = text(GetWord(data, at + 8)).value_or("");
    record.referer = text(GetWord(data, at + 12)).value_or("");
    record.userAgent = text(GetWord(data, at + 16));
    record.extraHeader = text(GetWord(data, at + 24)).value_or("");
    at += kRequestSize;
    record.protocol = GetWord(data, at);
    record.dotted = std::string(data.c_str() + at + 4, strnlen(data.c_str() + at + 4, 16));
    record.port = GetWord(data, at + 20);
    record.tunnel = record.protocol == kHttps && GetWord(data, at + kAddressSize) == 1;
    at += kAddressSize + kMmsSize + kRtspSize;
    record.totalLength = layout.Get(data, at);
    return record;
}

bool UsableForResume(const ResumeRecord& record) {
    const SegmentTable& table = record.table;
    if ((record.protocol != kHttp && record.protocol != kHttps) || record.totalLength <= 0 || table.totalLength != record.totalLength) return false;
    if (record.host.empty() || record.path.empty() || !IsDottedAddress(record.dotted) || record.port <= 0 ||
        record.port > 65535)
        return false;
    // Every table the engine writes covers the file exactly once.  Segments
    // that overlap would count their shared bytes twice and let the done sum
    // reach the file length while a gap was never fetched.
    std::vector<std::pair<int64_t, int64_t>> ranges;
    for (int32_t i = 0; i < table.count; ++i) {
        const Segment& segment = table.segments[static_cast<size_t>(i)];
        // Below the file's length, so the end cannot overflow.
        if (segment.start > record.totalLength || segment.length > record.totalLength - segment.start) return false;
        ranges.emplace_back(segment.start, segment.start + segment.length);
    }
    std::sort(ranges.begin(), ranges.end());
    int64_t covered = 0;
    for (const auto& [begin, end] : ranges) {
        if (begin != covered) return false;
        covered = end;
    }
    return covered == record.totalLength;
}

}  // namespace zorv::download
