#pragma once
// The form template: the four windows of the program with their units
// (controls), as decoded from the stored template block.  This header is the
// decoded model that the window code builds from; the stored byte format is
// read and written by form_template_format.{h,cpp}.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zorv::ui {

// Unit type: low 16 bits the type within its control library, high 16 bits
// the library number.
enum class UnitType : uint32_t {
    Window = 0x00010001,
    EditBox = 0x00010005,
    PictureBox = 0x00010006,
    ShapeBox = 0x00010007,
    Label = 0x0001000A,
    ImageButton = 0x00020001,
};

constexpr uint32_t kColorNotSet = 0xFF000000;  // COLORREF "not set" (transparent)
constexpr uint32_t kNoHandler = 0xFFFFFFFF;    // event slot without a handler
constexpr int32_t kHandCursor = 32649;         // system cursor number of the hand

// Unit state flags.
constexpr uint32_t kUnitVisible = 1u << 0;
constexpr uint32_t kUnitTabStop = 1u << 2;

// A Windows LOGFONTA as the template stores it (60 bytes).
using LogFontBytes = std::array<uint8_t, 60>;
using PngBytes = std::vector<uint8_t>;  // empty = no image

struct EventBinding {
    int32_t event = 0;
    uint32_t handler = kNoHandler;  // index into the program's handler table
    bool operator==(const EventBinding&) const = default;
};

struct WindowProps {
    int32_t borderStyle = 0;
    bool centredAtStart = false;  // first shown centred on the work area instead of at its stored position
    uint32_t backgroundColor = kColorNotSet;
    std::string title;            // GBK; empty = none
    std::vector<uint8_t> icon;    // ICO file bytes; empty = none
    bool operator==(const WindowProps&) const = default;
};

struct PictureBoxProps {
    uint32_t backgroundColor = kColorNotSet;
    int32_t imageMode = 0;  // 0 natural size at top-left, 1 tiled, 2 centred (scaled down to fit)
    PngBytes image;
    bool operator==(const PictureBoxProps&) const = default;
};

struct LabelProps {
    std::string caption;  // GBK
    std::optional<LogFontBytes> font;
    uint32_t textColor = 0;
    uint32_t backgroundColor = 0xFFFFFF;
    int32_t horizontalAlign = 0;  // 0 left, 1 centre, 2 right
    bool wordWrap = true;
    int32_t verticalAlign = 0;  // 0 top, 1 centre, 2 bottom (without word wrap)
    bool operator==(const LabelProps&) const = default;
};

struct EditBoxProps {
    std::string text;  // GBK
    std::optional<LogFontBytes> font;
    int32_t borderStyle = 0;
    uint32_t textColor = 0;
    uint32_t backgroundColor = 0xFFFFFF;
    bool hideSelection = true;
    int32_t textLimit = 0;  // bytes; 0 = none
    bool multiLine = false;
    int32_t alignment = 0;
    int32_t scrollBars = 0;     // 0 none, 1 horizontal, 2 vertical, 3 both (multi-line only)
    int32_t inputMode = 0;      // 0 ordinary text (the only mode stored in this program)
    uint16_t passwordChar = 0;  // 0 = no masking
    bool operator==(const EditBoxProps&) const = default;
};

struct ShapeBoxProps {
    int32_t shape = 0;  // 0 rectangle
    uint32_t outlineColor = 0;
    uint32_t fillColor = kColorNotSet;
    bool operator==(const ShapeBoxProps&) const = default;
};

struct ImageButtonProps {
    int32_t btnStyle = 0;  // 0 flat, 1 three-dimensional, 2 flat with rounded hover background
    bool checkBox = false;
    bool checked = false;
    int32_t alignStyle = 0;  // 0 image left, 1 image above, 2 image right, 3 over each other
    int32_t pressStyle = 0;  // shift while pressed: 0 = (1, 1), 1 = (0, 2)
    bool drawBorder = false;
    bool drawFocus = false;
    uint32_t transColorOut = kColorNotSet;
    uint32_t transColorIn = kColorNotSet;
    uint32_t transColorDisabled = kColorNotSet;
    bool defaultColor = false;
    uint32_t fgColorOut = 0, bkColorOut = 0xFFFFFF;
    uint32_t fgColorIn = 0, bkColorIn = 0xFFFFFF;
    uint32_t fgColorFocus = 0, bkColorFocus = 0xFFFFFF;
    bool standardSound = false;
    PngBytes picIn, picOut, picDisabled;
    std::optional<LogFontBytes> font;
    std::string caption;  // GBK
    bool operator==(const ImageButtonProps&) const = default;
};

using UnitProps = std::variant<WindowProps, PictureBoxProps, LabelProps, EditBoxProps, ShapeBoxProps,
                               ImageButtonProps>;

struct UnitRecord {
    uint32_t id = 0;
    UnitType type = UnitType::PictureBox;
    std::string name;  // e.g. "MainBackground"
    std::string remark;
    int32_t left = 0, top = 0, width = 0, height = 0;  // relative to the parent, or the screen for the window unit
    uint32_t parent = 0;                               // 0 = the window
    std::vector<uint32_t> children;
    int32_t cursor = 0;  // 0 arrow, else a system cursor number (kHandCursor)
    std::string tag;
    uint32_t stateFlags = kUnitVisible;
    std::vector<EventBinding> events;
    UnitProps props;

    bool visible() const { return stateFlags & kUnitVisible; }
    // Handler bound to an event number, or kNoHandler.
    uint32_t HandlerFor(int32_t event) const {
        for (const EventBinding& binding : events)
            if (binding.event == event) return binding.handler;
        return kNoHandler;
    }
    bool operator==(const UnitRecord&) const = default;
};

struct WindowRecord {
    uint32_t id = 0;                // 0x5201xxxx
    std::vector<UnitRecord> units;  // unit-table order; the window unit first
    const UnitRecord* WindowUnit() const;
    const UnitRecord* FindUnit(uint32_t unitId) const;
    bool operator==(const WindowRecord&) const = default;
};

struct FormTemplate {
    std::vector<WindowRecord> windows;  // window-table order
    const WindowRecord* FindWindow(uint32_t windowId) const;
    bool operator==(const FormTemplate&) const = default;
};

}  // namespace zorv::ui
