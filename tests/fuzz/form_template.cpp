// The stored form template, as the program reads it at start from its
// resource: a template that cannot be read must be refused with a text (the
// start-up turns that refusal into the fatal error "载入窗口模板数据段出错!"),
// never read past its bytes; a template that is read gives windows the
// window code can build, and their images and icon are decoded next.
//
// Input: the template bytes.
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <variant>

#include "fuzz_support.h"
#include "ui/form_template.h"
#include "ui/form_template_format.h"
#include "ui/handlers.h"
#include "ui/png_image.h"
#include "ui/window_icon.h"

using namespace zorv::ui;

namespace {

void CheckWindow(const WindowRecord& window) {
    FUZZ_CHECK(!window.units.empty());
    FUZZ_CHECK(window.WindowUnit() == &window.units.front());
    std::set<uint32_t> earlier;
    for (const UnitRecord& unit : window.units) {
        FUZZ_CHECK(unit.parent == 0 || earlier.contains(unit.parent));
        FUZZ_CHECK(unit.width >= 0 && unit.height >= 0);
        for (const EventBinding& binding : unit.events)
            FUZZ_CHECK(binding.handler == kNoHandler || binding.handler < kHandlerCount);
        FUZZ_CHECK(window.FindUnit(unit.id) == &unit);
        earlier.insert(unit.id);
    }
}

void DecodeImage(const PngBytes& png) {
    if (png.empty()) return;
    PngError error = PngError::None;
    std::optional<RgbaImage> image = DecodePng(png, &error);
    if (!image) {
        FUZZ_CHECK(error != PngError::None);
        return;
    }
    FUZZ_CHECK(image->width > 0 && image->height > 0 && image->width <= kMaxPngSide && image->height <= kMaxPngSide);
    FUZZ_CHECK(image->pixels.size() == static_cast<size_t>(image->width) * image->height * 4);
}

void DecodeIcon(const std::vector<uint8_t>& icon) {
    std::optional<std::vector<IconEntry>> entries = ReadIconDirectory(icon);
    if (!entries) return;
    FUZZ_CHECK(!entries->empty());
    for (const IconEntry& entry : *entries)
        FUZZ_CHECK(entry.size > 0 && entry.offset <= icon.size() && entry.size <= icon.size() - entry.offset);
    FUZZ_CHECK(MakeGroupIconDirectory(*entries).size() == 6 + 14 * entries->size());
}

// The images and the icon, as the window code decodes them.
void DecodeContents(const UnitRecord& unit) {
    if (const auto* window = std::get_if<WindowProps>(&unit.props)) DecodeIcon(window->icon);
    if (const auto* picture = std::get_if<PictureBoxProps>(&unit.props)) DecodeImage(picture->image);
    if (const auto* button = std::get_if<ImageButtonProps>(&unit.props)) {
        DecodeImage(button->picIn);
        DecodeImage(button->picOut);
        DecodeImage(button->picDisabled);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    std::string error;
    const std::optional<FormTemplate> form = ReadFormTemplate(bytes, &error);
    if (!form) {
        // The refusal says where the template went wrong.
        FUZZ_CHECK(error.find(" at byte ") != std::string::npos);
        return 0;
    }
    for (const WindowRecord& window : form->windows) {
        CheckWindow(window);
        for (const UnitRecord& unit : window.units) DecodeContents(unit);
    }
    // What is read can be written again and reads back the same.
    std::optional<std::vector<uint8_t>> again = WriteFormTemplate(*form);
    FUZZ_CHECK(again.has_value());
    std::string againError;
    const std::optional<FormTemplate> reread = ReadFormTemplate(*again, &againError);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(*reread == *form);
    return 0;
}
