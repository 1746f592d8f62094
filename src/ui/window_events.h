#pragma once
// Delivery of template events to the program's handlers.  Portable.
#include <cstdint>
#include <optional>

#include "ui/form_template.h"
#include "ui/handlers.h"

namespace zorv::ui {

// Calls the handler with that table index; nothing when the index is out of
// the table or its entry is null.
std::optional<int> CallBoundHandler(uint32_t handler, const EventArgs& args);

// Raises an event of a unit: its handler runs only when the unit's record
// binds one to the event number.  The handler's result, or nothing when no
// handler ran.
std::optional<int> DeliverEvent(uint32_t windowId, const UnitRecord& unit, int32_t event, int32_t a = 0,
                                int32_t b = 0, int32_t c = 0);

}  // namespace zorv::ui
