#pragma once
// The description of the form template as the project keeps it under
// assets/form/: plain UTF-8 text that the build packs (tools/form-pack) into
// the stored template.
//
// assets/form/template.list names the window files in window-table order,
// one a line.  A window file holds one `window` line and then one `unit`
// line per unit in unit-table order, the window unit first.  A line that
// starts with white space continues the line before it; '#' at the start of
// a line makes it a comment.  Each line is a keyword and key=value fields; a
// value is a run of non-blank characters or a text in double quotes taken
// as it is (no escapes, so "C:\Program Files (x86)\zorv" means what it
// shows).
//
//   window id=0x52010001
//   unit name=MainBackground id=0x16010E2D kind=picture parent=window
//        rect=0,0,1365,902 image=images/main_background.png@1365x902 mode=1
//        events=-1:DragMainWindow
//
// Keys of every unit: name, id, kind (window, picture, label, edit, shape,
// button), rect=left,top,width,height, parent (`window` or the name of an
// earlier unit; every control names one), visible (0/1, default 1), tabstop
// (0/1; default 1 for buttons and edit boxes), cursor (arrow, hand or a
// system cursor number), tag, remark, events=number:Handler,... with the
// handler names of ui/handlers.h or `none` for an event listed without a
// handler.  Child lists follow from the parents, in unit order.
//
// Kind keys (colours as rgb(r,g,b), as a 0xBBGGRR value, or `none`):
//   window   border, centred, bg, title, icon (an ICO file)
//   picture  bg, mode (0-2), image
//   label    caption, face, px, fg, bg, halign (left/centre/right), wrap,
//            valign (top/centre/bottom)
//   edit     text, face, px, border, fg, bg, hidesel, limit, multiline,
//            align (left/centre/right), scroll, input, password
//   shape    shape, outline, fill
//   button   style, checkbox, checked, align, press, drawborder, drawfocus,
//            picout, picin, picdisabled, transout, transin, transdisabled,
//            defaultcolor, sound, fg and bk (all three states), fgout, bkout,
//            fgin, bkin, fgfocus, bkfocus, caption, face, px
// A font is face (a name) with px (the character height in pixels).  Image
// names are relative to assets/; "@WxH" after a PNG name is the size the
// image must have.  Every PNG must be 8-bit RGBA, a picture box in mode 1
// must have an image of its own size, and an icon must be an ICO of 32-bit
// images.  Texts are converted to GBK when packed.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/form_template.h"

namespace zorv::ui {

// Where the description comes from: a file by its path relative to assets/
// (nothing when it cannot be read), and the UTF-8 to GBK conversion
// (nothing when a text has no GBK form).
struct FormDescriptionSource {
    std::function<std::optional<std::vector<uint8_t>>(const std::string& path)> readFile;
    std::function<std::optional<std::string>(std::string_view utf8)> gbkFromUtf8;
};

constexpr std::string_view kWindowListPath = "form/template.list";

// The whole template: the window list and every file it names.  On failure
// *error names the file, the line and the cause.
std::optional<FormTemplate> LoadFormDescription(const FormDescriptionSource& source, std::string* error = nullptr);

// One window file's text (fileName only labels the messages).
std::optional<WindowRecord> ParseWindowDescription(std::string_view text, std::string_view fileName,
                                                   const FormDescriptionSource& source, std::string* error = nullptr);

struct PngHeader {
    uint32_t width = 0, height = 0;
    uint8_t bitDepth = 0, colorType = 0;  // colour type 6 = RGBA
};
// The IHDR fields of a PNG file, or nothing when it does not start with the
// signature and an IHDR chunk.
std::optional<PngHeader> ReadPngHeader(std::span<const uint8_t> png);

struct IcoImage {
    uint32_t width = 0, height = 0;  // 256 where the directory stores 0
    uint16_t bitCount = 0;
};
// The directory of an ICO file, or nothing when it is not one or an image
// lies outside the file.
std::optional<std::vector<IcoImage>> ReadIcoDirectory(std::span<const uint8_t> ico);

}  // namespace zorv::ui
