#include "ui/window_icon.h"

namespace zorv::ui {

namespace {

uint16_t Read16(std::span<const uint8_t> bytes, std::size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); }

uint32_t Read32(std::span<const uint8_t> bytes, std::size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

constexpr std::size_t kHeaderSize = 6, kFileEntrySize = 16;

}  // namespace

std::optional<std::vector<IconEntry>> ReadIconDirectory(std::span<const uint8_t> ico) {
    if (ico.size() < kHeaderSize || Read16(ico, 0) != 0 || Read16(ico, 2) != 1) return std::nullopt;
    std::size_t count = Read16(ico, 4);
    if (count == 0 || ico.size() < kHeaderSize + count * kFileEntrySize) return std::nullopt;
    std::vector<IconEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = kHeaderSize + i * kFileEntrySize;
        IconEntry entry;
        entry.width = ico[at] ? ico[at] : 256;
        entry.height = ico[at + 1] ? ico[at + 1] : 256;
        entry.planes = Read16(ico, at + 4);
        entry.bitCount = Read16(ico, at + 6);
        entry.size = Read32(ico, at + 8);
        entry.offset = Read32(ico, at + 12);
        if (entry.size == 0 || entry.offset > ico.size() || entry.size > ico.size() - entry.offset)
            return std::nullopt;
        entries.push_back(entry);
    }
    return entries;
}

std::vector<uint8_t> MakeGroupIconDirectory(const std::vector<IconEntry>& entries) {
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, uint32_t(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IconEntry& entry = entries[i];
        out.push_back(uint8_t(entry.width >= 256 ? 0 : entry.width));
        out.push_back(uint8_t(entry.height >= 256 ? 0 : entry.height));
        out.push_back(0);  // colour count
        out.push_back(0);  // reserved
        Put16(out, entry.planes);
        Put16(out, entry.bitCount);
        Put32(out, entry.size);
        Put16(out, uint32_t(i + 1));
    }
    return out;
}

}  // namespace zorv::ui
