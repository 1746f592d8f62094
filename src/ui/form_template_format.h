#pragma once
// The stored form template: the byte block that the build embeds in the
// program and that the program decodes once at start into a FormTemplate.
//
// Every integer is 32-bit little-endian.  A counted string or block is a
// 32-bit byte length followed by that many bytes (no terminator); names,
// remarks and tags inside unit records are zero-terminated GBK texts.
//
//   window table   u32 8*N, N window identifiers, N slots (written 0, ignored)
//   per window     u32, u32 (written 0, ignored), two counted strings (written
//                  empty, skipped), u32 unit count U, then a counted block of
//                  U unit identifiers, U offsets relative to the end of those
//                  two arrays, and at each offset u32 length + unit record.
//
// Unit record:
//   u32 type; 20 zero bytes; name\0; remark\0;
//   u32 live-control slot (0), left, top, width, height, reserved (0), parent;
//   u32 child count + child identifiers;
//   mouse pointer as a counted block of 4 bytes (0 arrow, or a system cursor
//   number; a block of length 0 also reads as the arrow);
//   tag\0; u32 reserved, u32 state flags, u32 reserved;
//   u32 event count n + n pairs (event number, handler index) - the handler
//   index is the position in the program's handler table (ui/handlers.h),
//   0xFFFFFFFF for an event listed without a handler;
//   the type's property block, filling the record to its end.
//
// Every property block starts with 20 zero bytes and a u32 version; a font is
// a counted block of 60 bytes (a LOGFONTA) or of 0 bytes for "no font".
//
//   window (6)       border style; centred-at-start flag; background colour;
//                    further flags (0); counted background image (empty);
//                    counted icon (ICO file); counted title; counted string
//                    (empty).
//   picture box (1)  background colour; image mode; counted PNG.
//   shape box (1)    shape; outline colour; fill colour.
//   label (2)        sixteen u32: 1 effect (0), 2 border (0), 3 background
//                    image mode (0), 4-6 reserved, 7 text colour,
//                    8 background colour, 9-13 reserved, 14 horizontal
//                    alignment, 15 word wrap, 16 vertical alignment; then font
//                    and counted caption.
//   edit box (2)     border style, text colour, background colour,
//                    hide-selection flag, text limit, multi-line flag, scroll
//                    bars, alignment, input mode; u16 password character; six
//                    u32 spinner and selection values (spinner lower bound,
//                    upper bound, step, reserved, selection start, selection
//                    length; all 0); then font and counted text.
//   image button (2) BtnStyle, CheckBox, Checked, AlignStyle, PressStyle,
//                    DrawBorder, DrawFocus, TransColorOut, TransColorIn, then
//                    the three further values TransColorDisabled,
//                    DefaultColor, StandardSound; FgColorOut, BkColorOut,
//                    FgColorIn, BkColorIn, FgColorFocus, BkColorFocus; counted
//                    PicIn, PicOut, font; the two further blocks PicDisabled
//                    and a reserved block (empty); counted caption; a counted
//                    string (empty); a u32 (0); a final counted block (empty).
//
// Reading checks every length against the bytes left and refuses anything
// that does not fit this layout: unknown unit types or block versions,
// identifiers of the wrong kind, duplicate identifiers, a window whose first
// unit is not its window unit, a parent that is not an earlier unit of the
// same window, child lists that disagree with the parents, unit records that
// do not follow each other without gaps in unit order, handler indexes
// outside the handler table, and bytes left over at the end of a record or of
// the whole template.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/form_template.h"

namespace zorv::ui {

constexpr uint32_t kWindowBlockVersion = 6;
constexpr uint32_t kPictureBoxBlockVersion = 1;
constexpr uint32_t kShapeBoxBlockVersion = 1;
constexpr uint32_t kLabelBlockVersion = 2;
constexpr uint32_t kEditBoxBlockVersion = 2;
constexpr uint32_t kImageButtonBlockVersion = 2;

// The encoded template, or nothing when the model cannot be stored (props
// that do not match the unit type, a zero byte inside a zero-terminated
// text); *error then says which unit.
std::optional<std::vector<uint8_t>> WriteFormTemplate(const FormTemplate& form, std::string* error = nullptr);

// One unit record as it follows its length prefix (for checks of the layout).
std::optional<std::vector<uint8_t>> WriteUnitRecord(const UnitRecord& unit, std::string* error = nullptr);

// The decoded template, or nothing for truncated or inconsistent input;
// *error then names the offending place.
std::optional<FormTemplate> ReadFormTemplate(std::span<const uint8_t> bytes, std::string* error = nullptr);

// The program's start-up read: the decoded template, or the fatal runtime
// error "载入窗口模板数据段出错!" (this one lives in zorv_ui with the runtime).
FormTemplate ReadFormTemplateOrFatal(std::span<const uint8_t> bytes);

// One unit record (without its length prefix) of the given identifier.
// Checks the record itself only, not its relation to other units.
std::optional<UnitRecord> ReadUnitRecord(uint32_t unitId, std::span<const uint8_t> record,
                                         std::string* error = nullptr);

// Identifier kinds (bits 28-31).
constexpr uint32_t kWindowUnitKind = 0, kControlKind = 1, kMenuItemKind = 2;
constexpr uint32_t IdentifierKind(uint32_t id) { return id >> 28; }

// LOGFONTA fields as stored.
constexpr int32_t kFontWeightNormal = 400;
constexpr uint8_t kCharsetGb2312 = 134;
constexpr uint8_t kOutPrecisionStroke = 3;
constexpr uint8_t kClipPrecisionStroke = 2;
constexpr uint8_t kQualityDraft = 1;
constexpr std::size_t kLogFontFaceSize = 32;  // face bytes including the terminator

// A font of the given GBK face name and character height in pixels (stored
// as a negative height), weight 400, GB2312 character set; nothing when the
// face does not fit in 31 bytes, is empty or holds a zero byte, or the height
// is not positive.
std::optional<LogFontBytes> MakeLogFont(std::string_view faceGbk, int32_t pixelHeight);

// The stored height field (negative = character height in pixels).
int32_t LogFontHeight(const LogFontBytes& font);
// The character height in pixels: the negated stored height when negative,
// otherwise the stored height.
int32_t LogFontPixelHeight(const LogFontBytes& font);
int32_t LogFontWeight(const LogFontBytes& font);
uint8_t LogFontCharset(const LogFontBytes& font);
// The face name bytes up to the terminator (all 32 bytes when there is none).
std::string LogFontFace(const LogFontBytes& font);

}  // namespace zorv::ui
