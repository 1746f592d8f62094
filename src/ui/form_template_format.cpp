#include "ui/form_template_format.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <set>
#include <type_traits>

#include "ui/handlers.h"

namespace zorv::ui {

namespace {

constexpr std::size_t kReservedBytes = 20;
constexpr uint32_t kCursorBlockSize = 4;

// ---------------------------------------------------------------- writing

class ByteWriter {
public:
    // The field methods answer true like the reader's, so that one field
    // list per kind serves both directions.
    bool U32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>(value >> shift));
        return true;
    }
    bool I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
    bool U16(uint16_t value) {
        bytes_.push_back(static_cast<uint8_t>(value));
        bytes_.push_back(static_cast<uint8_t>(value >> 8));
        return true;
    }
    bool Ranged(int32_t value, int32_t, int32_t, const char*) { return I32(value); }
    bool Flag(bool value, const char* = nullptr) { return U32(value ? 1 : 0); }
    bool Skip(std::size_t count) {
        bytes_.insert(bytes_.end(), count, 0);
        return true;
    }
    // A value or counted block this program does not use: written as zero
    // or empty, skipped whatever it holds when read.
    bool UnusedValue() { return U32(0); }
    bool UnusedCounted() { return U32(0); }
    void Raw(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    bool Counted(std::span<const uint8_t> data) {
        U32(static_cast<uint32_t>(data.size()));
        Raw(data);
        return true;
    }
    bool CountedString(std::string_view text) {
        return Counted({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    bool Font(const std::optional<LogFontBytes>& font) { return font ? Counted(*font) : U32(0); }
    // Writes text and its terminator; false when the text itself holds a zero byte.
    bool ZeroTerminated(std::string_view text) {
        if (text.find('\0') != std::string_view::npos) return false;
        Raw({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
        bytes_.push_back(0);
        return true;
    }
    bool BlockHeader(uint32_t version) { return Skip(kReservedBytes) && U32(version); }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The property block of each kind as one list of fields, read by ByteReader
// and written by ByteWriter (Props is const for writing).
template <typename Props, typename Kind>
concept PropsOf = std::is_same_v<std::remove_const_t<Props>, Kind>;

template <typename Io, PropsOf<WindowProps> Props>
bool PropsFields(Io& io, Props& props) {
    return io.BlockHeader(kWindowBlockVersion) && io.I32(props.borderStyle) &&
           io.Flag(props.centredAtStart, "centred flag") && io.U32(props.backgroundColor) &&
           io.UnusedValue() /* further flags */ && io.UnusedCounted() /* background image */ &&
           io.Counted(props.icon) && io.CountedString(props.title) && io.UnusedCounted();
}

template <typename Io, PropsOf<PictureBoxProps> Props>
bool PropsFields(Io& io, Props& props) {
    return io.BlockHeader(kPictureBoxBlockVersion) && io.U32(props.backgroundColor) &&
           io.Ranged(props.imageMode, 0, 2, "image mode") && io.Counted(props.image);
}

template <typename Io, PropsOf<ShapeBoxProps> Props>
bool PropsFields(Io& io, Props& props) {
    return io.BlockHeader(kShapeBoxBlockVersion) && io.I32(props.shape) && io.U32(props.outlineColor) &&
           io.U32(props.fillColor);
}

template <typename Io, PropsOf<LabelProps> Props>
bool PropsFields(Io& io, Props& props) {
    // Skipped: effect, border, background image mode and reserved values,
    // then five reserved values.
    return io.BlockHeader(kLabelBlockVersion) && io.Skip(6 * 4) && io.U32(props.textColor) &&
           io.U32(props.backgroundColor) && io.Skip(5 * 4) &&
           io.Ranged(props.horizontalAlign, 0, 2, "horizontal alignment") &&
           io.Flag(props.wordWrap, "word wrap flag") && io.Ranged(props.verticalAlign, 0, 2, "vertical alignment") &&
           io.Font(props.font) && io.CountedString(props.caption);
}

template <typename Io, PropsOf<EditBoxProps> Props>
bool PropsFields(Io& io, Props& props) {
    // Skipped: spinner bounds and step, a reserved value, selection start
    // and length.
    return io.BlockHeader(kEditBoxBlockVersion) && io.I32(props.borderStyle) && io.U32(props.textColor) &&
           io.U32(props.backgroundColor) && io.Flag(props.hideSelection, "hide-selection flag") &&
           io.Ranged(props.textLimit, 0, INT32_MAX, "text limit") && io.Flag(props.multiLine, "multi-line flag") &&
           io.Ranged(props.scrollBars, 0, 3, "scroll bars") && io.Ranged(props.alignment, 0, 2, "alignment") &&
           io.I32(props.inputMode) && io.U16(props.passwordChar) && io.Skip(6 * 4) && io.Font(props.font) &&
           io.CountedString(props.text);
}

template <typename Io, PropsOf<ImageButtonProps> Props>
bool PropsFields(Io& io, Props& props) {
    return io.BlockHeader(kImageButtonBlockVersion) && io.Ranged(props.btnStyle, 0, 2, "button style") &&
           io.Flag(props.checkBox, "check-box flag") && io.Flag(props.checked, "checked flag") &&
           io.Ranged(props.alignStyle, 0, 3, "align style") && io.Ranged(props.pressStyle, 0, 1, "press style") &&
           io.Flag(props.drawBorder, "border flag") && io.Flag(props.drawFocus, "focus flag") &&
           io.U32(props.transColorOut) && io.U32(props.transColorIn) && io.U32(props.transColorDisabled) &&
           io.Flag(props.defaultColor, "default-colour flag") && io.Flag(props.standardSound, "sound flag") &&
           io.U32(props.fgColorOut) && io.U32(props.bkColorOut) && io.U32(props.fgColorIn) &&
           io.U32(props.bkColorIn) && io.U32(props.fgColorFocus) && io.U32(props.bkColorFocus) &&
           io.Counted(props.picIn) && io.Counted(props.picOut) && io.Font(props.font) &&
           io.Counted(props.picDisabled) && io.UnusedCounted() && io.CountedString(props.caption) &&
           io.UnusedCounted() && io.UnusedValue() && io.UnusedCounted();
}

template <typename Props>
constexpr UnitType TypeOfProps() {
    if constexpr (std::is_same_v<Props, WindowProps>) return UnitType::Window;
    if constexpr (std::is_same_v<Props, PictureBoxProps>) return UnitType::PictureBox;
    if constexpr (std::is_same_v<Props, ShapeBoxProps>) return UnitType::ShapeBox;
    if constexpr (std::is_same_v<Props, LabelProps>) return UnitType::Label;
    if constexpr (std::is_same_v<Props, EditBoxProps>) return UnitType::EditBox;
    if constexpr (std::is_same_v<Props, ImageButtonProps>) return UnitType::ImageButton;
}

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

std::optional<std::vector<uint8_t>> WriteUnitRecord(const UnitRecord& unit, std::string* error) {
    const bool propsMatchType =
        std::visit([&](const auto& props) { return TypeOfProps<std::decay_t<decltype(props)>>() == unit.type; },
                   unit.props);
    if (!propsMatchType) {
        SetError(error, "unit " + Hex(unit.id) + ": properties do not match the unit type");
        return std::nullopt;
    }
    ByteWriter out;
    out.U32(static_cast<uint32_t>(unit.type));
    out.Skip(kReservedBytes);
    if (!out.ZeroTerminated(unit.name) || !out.ZeroTerminated(unit.remark)) {
        SetError(error, "unit " + Hex(unit.id) + ": name or remark holds a zero byte");
        return std::nullopt;
    }
    out.U32(0);  // live control slot
    for (int32_t value : {unit.left, unit.top, unit.width, unit.height}) out.I32(value);
    out.U32(0);  // reserved
    out.U32(unit.parent);
    out.U32(static_cast<uint32_t>(unit.children.size()));
    for (uint32_t child : unit.children) out.U32(child);
    out.U32(kCursorBlockSize);
    out.I32(unit.cursor);
    if (!out.ZeroTerminated(unit.tag)) {
        SetError(error, "unit " + Hex(unit.id) + ": tag holds a zero byte");
        return std::nullopt;
    }
    out.U32(0);
    out.U32(unit.stateFlags);
    out.U32(0);
    out.U32(static_cast<uint32_t>(unit.events.size()));
    for (const EventBinding& binding : unit.events) {
        out.I32(binding.event);
        out.U32(binding.handler);
    }
    std::visit([&](const auto& props) { PropsFields(out, props); }, unit.props);
    return std::move(out.bytes());
}

std::optional<std::vector<uint8_t>> WriteFormTemplate(const FormTemplate& form, std::string* error) {
    ByteWriter out;
    const auto windowCount = static_cast<uint32_t>(form.windows.size());
    out.U32(8 * windowCount);
    for (const WindowRecord& window : form.windows) out.U32(window.id);
    out.Skip(4 * std::size_t{windowCount});
    for (const WindowRecord& window : form.windows) {
        std::vector<std::vector<uint8_t>> records;
        for (const UnitRecord& unit : window.units) {
            auto record = WriteUnitRecord(unit, error);
            if (!record) return std::nullopt;
            records.push_back(std::move(*record));
        }
        ByteWriter block;
        for (const UnitRecord& unit : window.units) block.U32(unit.id);
        uint32_t offset = 0;
        for (const std::vector<uint8_t>& record : records) {
            block.U32(offset);
            offset += 4 + static_cast<uint32_t>(record.size());
        }
        for (const std::vector<uint8_t>& record : records) block.Counted(record);
        out.U32(0);
        out.U32(0);
        out.U32(0);  // two empty counted strings
        out.U32(0);
        out.U32(static_cast<uint32_t>(window.units.size()));
        out.Counted(block.bytes());
    }
    return std::move(out.bytes());
}

// ---------------------------------------------------------------- reading

namespace {

// Reads little-endian fields from a span; every read checks the bytes left
// first, and the first failure is kept with its offset.
class ByteReader {
public:
    ByteReader(std::span<const uint8_t> bytes, std::size_t baseOffset, std::string* error)
        : bytes_(bytes), base_(baseOffset), error_(error) {}

    bool Fail(const std::string& what) {
        if (!failed_) SetError(error_, what + " at byte " + std::to_string(base_ + pos_));
        failed_ = true;
        return false;
    }
    bool failed() const { return failed_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    std::size_t offset() const { return base_ + pos_; }
    std::string* error() const { return error_; }

    bool U32(uint32_t& value) {
        if (failed_ || remaining() < 4) return Fail("truncated value");
        value = static_cast<uint32_t>(bytes_[pos_]) | static_cast<uint32_t>(bytes_[pos_ + 1]) << 8 |
                static_cast<uint32_t>(bytes_[pos_ + 2]) << 16 | static_cast<uint32_t>(bytes_[pos_ + 3]) << 24;
        pos_ += 4;
        return true;
    }
    bool I32(int32_t& value) {
        uint32_t raw = 0;
        if (!U32(raw)) return false;
        value = static_cast<int32_t>(raw);
        return true;
    }
    bool U16(uint16_t& value) {
        if (failed_ || remaining() < 2) return Fail("truncated value");
        value = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    // A 32-bit value that must lie in [low, high].
    bool Ranged(int32_t& value, int32_t low, int32_t high, const char* what) {
        if (!I32(value)) return false;
        if (value < low || value > high) return Fail(std::string("bad ") + what);
        return true;
    }
    bool Flag(bool& value, const char* what) {
        int32_t raw = 0;
        if (!Ranged(raw, 0, 1, what)) return false;
        value = raw == 1;
        return true;
    }
    bool Skip(std::size_t count) {
        if (failed_ || remaining() < count) return Fail("truncated block");
        pos_ += count;
        return true;
    }
    bool Take(std::size_t count, std::span<const uint8_t>& out) {
        if (failed_ || remaining() < count) return Fail("truncated block");
        out = bytes_.subspan(pos_, count);
        pos_ += count;
        return true;
    }
    bool Counted(std::span<const uint8_t>& out) {
        uint32_t length = 0;
        return U32(length) && Take(length, out);
    }
    bool Counted(std::vector<uint8_t>& out) {
        std::span<const uint8_t> data;
        if (!Counted(data)) return false;
        out.assign(data.begin(), data.end());
        return true;
    }
    bool CountedString(std::string& out) {
        std::span<const uint8_t> data;
        if (!Counted(data)) return false;
        out.assign(data.begin(), data.end());
        return true;
    }
    bool UnusedCounted() {
        std::span<const uint8_t> data;
        return Counted(data);
    }
    bool UnusedValue() { return Skip(4); }
    bool ZeroTerminated(std::string& out) {
        if (failed_) return false;
        const auto rest = bytes_.subspan(pos_);
        const auto end = std::find(rest.begin(), rest.end(), uint8_t{0});
        if (end == rest.end()) return Fail("unterminated text");
        out.assign(rest.begin(), end);
        pos_ += out.size() + 1;
        return true;
    }
    bool Font(std::optional<LogFontBytes>& font) {
        std::span<const uint8_t> data;
        if (!Counted(data)) return false;
        if (data.empty()) {
            font.reset();
            return true;
        }
        if (data.size() != std::tuple_size_v<LogFontBytes>) return Fail("bad font block length");
        font.emplace();
        std::copy(data.begin(), data.end(), font->begin());
        return true;
    }
    bool BlockHeader(uint32_t expectedVersion) {
        uint32_t version = 0;
        if (!Skip(kReservedBytes) || !U32(version)) return false;
        if (version != expectedVersion) return Fail("unknown property block version " + std::to_string(version));
        return true;
    }
    bool AtEnd(const char* what) {
        if (failed_) return false;
        if (remaining() != 0) return Fail(std::string("bytes left over after ") + what);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    std::size_t pos_ = 0;
    std::size_t base_;
    std::string* error_;
    bool failed_ = false;
};

template <typename Props>
bool ReadPropsInto(ByteReader& in, UnitProps& props) {
    return PropsFields(in, props.emplace<Props>());
}

bool ReadPropsOfType(ByteReader& in, UnitType type, UnitProps& props) {
    switch (type) {
        case UnitType::Window: return ReadPropsInto<WindowProps>(in, props);
        case UnitType::PictureBox: return ReadPropsInto<PictureBoxProps>(in, props);
        case UnitType::ShapeBox: return ReadPropsInto<ShapeBoxProps>(in, props);
        case UnitType::Label: return ReadPropsInto<LabelProps>(in, props);
        case UnitType::EditBox: return ReadPropsInto<EditBoxProps>(in, props);
        case UnitType::ImageButton: return ReadPropsInto<ImageButtonProps>(in, props);
    }
    return in.Fail("unknown unit type");
}

bool IsKnownType(uint32_t type) {
    switch (static_cast<UnitType>(type)) {
        case UnitType::Window:
        case UnitType::PictureBox:
        case UnitType::ShapeBox:
        case UnitType::Label:
        case UnitType::EditBox:
        case UnitType::ImageButton: return true;
    }
    return false;
}

// Bits 24-27 of every unit identifier are 6; bits 28-31 give its kind.
bool IsUnitIdentifier(uint32_t id) { return (id >> 24 & 0xF) == 6; }
bool IsWindowIdentifier(uint32_t id) { return id >> 16 == 0x5201; }

bool ReadUnitHead(ByteReader& in, UnitRecord& unit) {
    uint32_t type = 0, ignored = 0;
    if (!in.U32(type)) return false;
    if (!IsKnownType(type)) return in.Fail("unknown unit type " + Hex(type));
    unit.type = static_cast<UnitType>(type);
    if (!in.Skip(kReservedBytes) || !in.ZeroTerminated(unit.name) || !in.ZeroTerminated(unit.remark)) return false;
    if (!in.U32(ignored) || !in.I32(unit.left) || !in.I32(unit.top) || !in.I32(unit.width) ||
        !in.I32(unit.height) || !in.U32(ignored) || !in.U32(unit.parent))
        return false;
    if (unit.width < 0 || unit.height < 0) return in.Fail("negative size");
    return true;
}

bool ReadChildren(ByteReader& in, UnitRecord& unit) {
    uint32_t count = 0;
    if (!in.U32(count)) return false;
    if (count > in.remaining() / 4) return in.Fail("child count beyond the record");
    unit.children.resize(count);
    for (uint32_t& child : unit.children)
        if (!in.U32(child)) return false;
    return true;
}

bool ReadCursor(ByteReader& in, UnitRecord& unit) {
    std::span<const uint8_t> block;
    if (!in.Counted(block)) return false;
    if (block.empty()) {
        unit.cursor = 0;
        return true;
    }
    if (block.size() != kCursorBlockSize) return in.Fail("bad mouse pointer block length");
    unit.cursor = static_cast<int32_t>(block[0] | block[1] << 8 | block[2] << 16 | uint32_t{block[3]} << 24);
    return true;
}

bool ReadEvents(ByteReader& in, UnitRecord& unit) {
    uint32_t count = 0;
    if (!in.U32(count)) return false;
    if (count > in.remaining() / 8) return in.Fail("event count beyond the record");
    unit.events.resize(count);
    std::set<int32_t> seen;
    for (EventBinding& binding : unit.events) {
        if (!in.I32(binding.event) || !in.U32(binding.handler)) return false;
        if (binding.handler != kNoHandler && binding.handler >= kHandlerCount)
            return in.Fail("handler index outside the handler table");
        if (!seen.insert(binding.event).second) return in.Fail("event listed twice");
    }
    return true;
}

std::optional<UnitRecord> ReadUnitRecordAt(uint32_t unitId, std::span<const uint8_t> record, std::size_t base,
                                           std::string* error) {
    ByteReader in(record, base, error);
    UnitRecord unit;
    unit.id = unitId;
    uint32_t ignored = 0;
    const bool ok = ReadUnitHead(in, unit) && ReadChildren(in, unit) && ReadCursor(in, unit) &&
                    in.ZeroTerminated(unit.tag) && in.U32(ignored) && in.U32(unit.stateFlags) && in.U32(ignored) &&
                    ReadEvents(in, unit) && ReadPropsOfType(in, unit.type, unit.props) && in.AtEnd("unit record");
    if (!ok) {
        if (error) *error = "unit " + Hex(unitId) + ": " + *error;
        return std::nullopt;
    }
    return unit;
}

// The unit kinds and the parent/child relations of one window's units.
bool CheckWindowUnits(const WindowRecord& window, ByteReader& in) {
    if (window.units.empty()) return in.Fail("window " + Hex(window.id) + " has no units");
    const UnitRecord& first = window.units.front();
    if (IdentifierKind(first.id) != kWindowUnitKind || first.type != UnitType::Window || first.parent != 0)
        return in.Fail("window " + Hex(window.id) + ": first unit is not the window unit");
    std::set<uint32_t> earlier;
    for (const UnitRecord& unit : window.units) {
        if (&unit != &first) {
            if (IdentifierKind(unit.id) != kControlKind || unit.type == UnitType::Window)
                return in.Fail("unit " + Hex(unit.id) + ": not a control");
            if (unit.parent != 0 && !earlier.contains(unit.parent))
                return in.Fail("unit " + Hex(unit.id) + ": parent is not an earlier control");
        }
        earlier.insert(unit.id);
    }
    for (const UnitRecord& unit : window.units) {
        std::vector<uint32_t> laidOn;
        const uint32_t asParent = &unit == &first ? 0 : unit.id;
        for (const UnitRecord& other : window.units)
            if (&other != &first && other.parent == asParent) laidOn.push_back(other.id);
        if (unit.children != laidOn)
            return in.Fail("unit " + Hex(unit.id) + ": child list disagrees with the parents");
    }
    return true;
}

bool ReadUnitBlock(ByteReader& in, uint32_t unitCount, WindowRecord& window) {
    std::span<const uint8_t> block;
    const std::size_t blockStart = in.offset() + 4;
    if (!in.Counted(block)) return false;
    if (unitCount > block.size() / 8) return in.Fail("unit count beyond the unit block");
    ByteReader arrays(block, blockStart, in.error());
    std::vector<uint32_t> ids(unitCount), offsets(unitCount);
    for (uint32_t& id : ids)
        if (!arrays.U32(id)) return false;
    for (uint32_t& offset : offsets)
        if (!arrays.U32(offset)) return false;
    const auto records = block.subspan(8 * std::size_t{unitCount});
    const std::size_t recordsStart = blockStart + 8 * std::size_t{unitCount};
    // The records follow each other in unit order without gaps, so that no
    // byte is read as part of two records.
    ByteReader at(records, recordsStart, in.error());
    std::set<uint32_t> seen;
    for (uint32_t index = 0; index < unitCount; ++index) {
        if (!IsUnitIdentifier(ids[index])) return in.Fail("bad unit identifier " + Hex(ids[index]));
        if (!seen.insert(ids[index]).second) return in.Fail("unit identifier " + Hex(ids[index]) + " twice");
        if (offsets[index] != at.offset() - recordsStart) return at.Fail("unit offset out of sequence");
        std::span<const uint8_t> record;
        if (!at.Counted(record)) return false;
        auto unit = ReadUnitRecordAt(ids[index], record, at.offset() - record.size(), in.error());
        if (!unit) return false;
        window.units.push_back(std::move(*unit));
    }
    return at.AtEnd("the unit records");
}

bool ReadWindow(ByteReader& in, WindowRecord& window) {
    uint32_t ignored = 0, unitCount = 0;
    return in.U32(ignored) && in.U32(ignored) && in.UnusedCounted() && in.UnusedCounted() && in.U32(unitCount) &&
           ReadUnitBlock(in, unitCount, window) && CheckWindowUnits(window, in);
}

}  // namespace

std::optional<UnitRecord> ReadUnitRecord(uint32_t unitId, std::span<const uint8_t> record, std::string* error) {
    return ReadUnitRecordAt(unitId, record, 0, error);
}

std::optional<FormTemplate> ReadFormTemplate(std::span<const uint8_t> bytes, std::string* error) {
    ByteReader in(bytes, 0, error);
    uint32_t tableSize = 0;
    if (!in.U32(tableSize)) return std::nullopt;
    if (tableSize % 8 != 0 || tableSize > in.remaining()) {
        in.Fail("bad window table size");
        return std::nullopt;
    }
    FormTemplate form;
    form.windows.resize(tableSize / 8);
    std::set<uint32_t> seen;
    for (WindowRecord& window : form.windows) {
        if (!in.U32(window.id)) return std::nullopt;
        if (!IsWindowIdentifier(window.id) || !seen.insert(window.id).second) {
            in.Fail("bad or repeated window identifier " + Hex(window.id));
            return std::nullopt;
        }
    }
    if (!in.Skip(tableSize / 2)) return std::nullopt;
    for (WindowRecord& window : form.windows)
        if (!ReadWindow(in, window)) return std::nullopt;
    if (!in.AtEnd("the last window")) return std::nullopt;
    return form;
}

// ---------------------------------------------------------------- fonts

namespace {
// LOGFONTA layout: five LONGs, eight BYTEs, 32 face bytes.
constexpr std::size_t kHeightAt = 0, kWeightAt = 16, kCharsetAt = 23, kOutPrecisionAt = 24,
                      kClipPrecisionAt = 25, kQualityAt = 26, kFaceAt = 28;

void PutI32(LogFontBytes& font, std::size_t at, int32_t value) {
    for (int index = 0; index < 4; ++index) font[at + index] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * index));
}
int32_t GetI32(const LogFontBytes& font, std::size_t at) {
    return static_cast<int32_t>(font[at] | font[at + 1] << 8 | font[at + 2] << 16 | uint32_t{font[at + 3]} << 24);
}
}  // namespace

std::optional<LogFontBytes> MakeLogFont(std::string_view faceGbk, int32_t pixelHeight) {
    if (faceGbk.empty() || faceGbk.size() >= kLogFontFaceSize || faceGbk.find('\0') != std::string_view::npos ||
        pixelHeight <= 0)
        return std::nullopt;
    LogFontBytes font{};
    PutI32(font, kHeightAt, -pixelHeight);
    PutI32(font, kWeightAt, kFontWeightNormal);
    font[kCharsetAt] = kCharsetGb2312;
    font[kOutPrecisionAt] = kOutPrecisionStroke;
    font[kClipPrecisionAt] = kClipPrecisionStroke;
    font[kQualityAt] = kQualityDraft;
    std::memcpy(font.data() + kFaceAt, faceGbk.data(), faceGbk.size());
    return font;
}

int32_t LogFontHeight(const LogFontBytes& font) { return GetI32(font, kHeightAt); }

int32_t LogFontPixelHeight(const LogFontBytes& font) {
    const int32_t height = LogFontHeight(font);
    if (height == INT32_MIN) return INT32_MAX;
    return height < 0 ? -height : height;
}

int32_t LogFontWeight(const LogFontBytes& font) { return GetI32(font, kWeightAt); }

uint8_t LogFontCharset(const LogFontBytes& font) { return font[kCharsetAt]; }

std::string LogFontFace(const LogFontBytes& font) {
    const auto face = std::span(font).subspan(kFaceAt);
    return std::string(face.begin(), std::find(face.begin(), face.end(), uint8_t{0}));
}

}  // namespace zorv::ui
