#include "ui/property_rules.h"

#include <algorithm>

#include "ui/form_ids.h"

namespace zorv::ui {

int64_t ClampCommonProperty(int property, int64_t value) {
    switch (property) {
        case ids::prop::Left:
        case ids::prop::Top:
            return std::clamp<int64_t>(value, -kPositionLimit, kPositionLimit);
        case ids::prop::Width:
        case ids::prop::Height:
            return std::clamp<int64_t>(value, 0, kSizeLimit);
        default:
            return value;
    }
}

}  // namespace zorv::ui
