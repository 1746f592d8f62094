#include <atomic>

#include "ui/handlers.h"
#include "ui/window_events.h"

namespace zorv::ui {

namespace {
// Written once at start, before the first window loads; read on the UI thread.
std::atomic<EventHandler> handlerTable[kHandlerCount];
}  // namespace

void SetHandlerTable(const EventHandler (&table)[kHandlerCount]) {
    for (uint32_t i = 0; i < kHandlerCount; ++i) handlerTable[i].store(table[i]);
}

std::optional<int> CallBoundHandler(uint32_t handler, const EventArgs& args) {
    if (handler >= kHandlerCount) return std::nullopt;
    EventHandler function = handlerTable[handler].load();
    if (!function) return std::nullopt;
    return function(args);
}

std::optional<int> DeliverEvent(uint32_t windowId, const UnitRecord& unit, int32_t event, int32_t a, int32_t b,
                                int32_t c) {
    uint32_t handler = unit.HandlerFor(event);
    if (handler == kNoHandler) return std::nullopt;
    EventArgs args{windowId, unit.id, event, a, b, c};
    return CallBoundHandler(handler, args);
}

}  // namespace zorv::ui
