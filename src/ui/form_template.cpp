#include "ui/form_template.h"

namespace zorv::ui {

namespace {
// Bits 28-31 of a unit identifier: 0 for the window unit, 1 for a control.
constexpr uint32_t UnitKind(uint32_t unitId) { return unitId >> 28; }
}  // namespace

const UnitRecord* WindowRecord::WindowUnit() const {
    for (const UnitRecord& unit : units)
        if (unit.type == UnitType::Window && UnitKind(unit.id) == 0) return &unit;
    return nullptr;
}

const UnitRecord* WindowRecord::FindUnit(uint32_t unitId) const {
    for (const UnitRecord& unit : units)
        if (unit.id == unitId) return &unit;
    return nullptr;
}

const WindowRecord* FormTemplate::FindWindow(uint32_t windowId) const {
    for (const WindowRecord& window : windows)
        if (window.id == windowId) return &window;
    return nullptr;
}

}  // namespace zorv::ui
