#include "ui/form_description.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "ui/form_template_format.h"
#include "ui/handlers.h"

namespace zorv::ui {

namespace {

constexpr uint8_t kPngColorTypeRgba = 6;

struct Line {
    int number = 0;
    std::string keyword;
    std::map<std::string, std::string> fields;
};

// Where a message points to, and the first message kept.
struct Place {
    std::string_view file;
    int line = 0;
    std::string* error = nullptr;

    bool Fail(const std::string& what) const {
        if (error) *error = std::string(file) + ":" + std::to_string(line) + ": " + what;
        return false;
    }
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits "keyword key=value key="quoted value" ..." into a Line.
bool Tokenize(std::string_view text, Line& line, const Place& place) {
    std::size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
    };
    skipBlanks();
    while (pos < text.size()) {
        const std::size_t start = pos;
        while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != '=' && text[pos] != '"') ++pos;
        const std::string word(text.substr(start, pos - start));
        if (line.keyword.empty()) {
            if (word.empty() || (pos < text.size() && !IsBlank(text[pos])))
                return place.Fail("a line starts with a keyword");
            line.keyword = word;
            skipBlanks();
            continue;
        }
        if (word.empty() || pos >= text.size() || text[pos] != '=')
            return place.Fail("expected key=value near '" + std::string(text.substr(start, 20)) + "'");
        ++pos;
        std::string value;
        if (pos < text.size() && text[pos] == '"') {
            const std::size_t close = text.find('"', pos + 1);
            if (close == std::string_view::npos) return place.Fail("unterminated quoted value of " + word);
            value = text.substr(pos + 1, close - pos - 1);
            pos = close + 1;
            if (pos < text.size() && !IsBlank(text[pos])) return place.Fail("text after the quoted value of " + word);
        } else {
            const std::size_t valueStart = pos;
            while (pos < text.size() && !IsBlank(text[pos])) ++pos;
            value = text.substr(valueStart, pos - valueStart);
            if (value.find('"') != std::string::npos) return place.Fail("stray quote in the value of " + word);
        }
        if (!line.fields.emplace(word, value).second) return place.Fail("key " + word + " given twice");
        skipBlanks();
    }
    return true;
}

// Logical lines: comments and blank lines dropped, continuation lines joined.
bool SplitLines(std::string_view text, std::string_view file, std::string* error, std::vector<Line>& lines) {
    std::vector<std::pair<int, std::string>> joined;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view physical = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        const std::size_t first = physical.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || physical[first] == '#') continue;
        if (first > 0) {
            if (joined.empty()) return Place{file, number, error}.Fail("continuation without a line to continue");
            joined.back().second += ' ';
            joined.back().second += physical;
        } else {
            joined.emplace_back(number, std::string(physical));
        }
    }
    for (const auto& [lineNumber, content] : joined) {
        Line line;
        line.number = lineNumber;
        if (!Tokenize(content, line, Place{file, lineNumber, error})) return false;
        lines.push_back(std::move(line));
    }
    return true;
}

template <typename Int>
bool ParseInteger(std::string_view text, Int& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return false;
    const auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return result == std::errc{} && end == text.data() + text.size();
}

bool ParseList(std::string_view text, std::vector<int32_t>& values) {
    values.clear();
    while (true) {
        const std::size_t comma = text.find(',');
        int32_t value = 0;
        if (!ParseInteger(text.substr(0, comma), value)) return false;
        values.push_back(value);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool ParseColor(std::string_view text, uint32_t& color) {
    if (text == "none") {
        color = kColorNotSet;
        return true;
    }
    if (text.starts_with("rgb(") && text.ends_with(")")) {
        std::vector<int32_t> parts;
        if (!ParseList(text.substr(4, text.size() - 5), parts) || parts.size() != 3) return false;
        for (int32_t part : parts)
            if (part < 0 || part > 255) return false;
        color = static_cast<uint32_t>(parts[0]) | static_cast<uint32_t>(parts[1]) << 8 |
                static_cast<uint32_t>(parts[2]) << 16;
        return true;
    }
    return text.starts_with("0x") && text.size() <= 8 && ParseInteger(text, color);
}

// The fields of one line, taken one by one; what is left at the end was not
// a key of that kind.
class Fields {
public:
    Fields(Line& line, const Place& place, const FormDescriptionSource& source)
        : fields_(line.fields), place_(place), source_(source) {}

    const Place& place() const { return place_; }
    bool Fail(const std::string& what) const { return place_.Fail(what); }

    std::optional<std::string> Take(const std::string& key) {
        const auto found = fields_.find(key);
        if (found == fields_.end()) return std::nullopt;
        std::string value = std::move(found->second);
        fields_.erase(found);
        return value;
    }
    bool Require(const std::string& key, std::string& value) {
        auto taken = Take(key);
        if (!taken) return Fail("missing " + key);
        value = std::move(*taken);
        return true;
    }

    template <typename Int>
    bool Integer(const std::string& key, Int& value) {
        const auto text = Take(key);
        if (text && !ParseInteger(*text, value)) return Fail("bad number for " + key + ": " + *text);
        return true;
    }
    bool Ranged(const std::string& key, int32_t& value, int32_t low, int32_t high) {
        int32_t parsed = value;
        if (!Integer(key, parsed)) return false;
        if (parsed < low || parsed > high) return Fail(key + " outside " + std::to_string(low) + ".." + std::to_string(high));
        value = parsed;
        return true;
    }
    bool Flag(const std::string& key, bool& value) {
        const auto text = Take(key);
        if (!text) return true;
        if (*text != "0" && *text != "1") return Fail(key + " must be 0 or 1");
        value = *text == "1";
        return true;
    }
    bool Color(const std::string& key, uint32_t& value) {
        const auto text = Take(key);
        if (text && !ParseColor(*text, value)) return Fail("bad colour for " + key + ": " + *text);
        return true;
    }
    bool Choice(const std::string& key, int32_t& value, std::initializer_list<std::string_view> names) {
        const auto text = Take(key);
        if (!text) return true;
        const auto found = std::find(names.begin(), names.end(), *text);
        if (found == names.end()) return Fail("bad value for " + key + ": " + *text);
        value = static_cast<int32_t>(found - names.begin());
        return true;
    }
    bool Text(const std::string& key, std::string& value) {
        const auto text = Take(key);
        if (!text) return true;
        auto gbk = source_.gbkFromUtf8(*text);
        if (!gbk) return Fail("text of " + key + " has no GBK form");
        value = std::move(*gbk);
        return true;
    }
    bool Font(std::optional<LogFontBytes>& font) {
        std::string face;
        int32_t pixels = 0;
        const bool hasFace = fields_.contains("face"), hasPixels = fields_.contains("px");
        if (hasFace != hasPixels) return Fail("a font needs both face and px");
        if (!hasFace) return true;
        if (!Text("face", face) || !Integer("px", pixels)) return false;
        font = MakeLogFont(face, pixels);
        if (!font) return Fail("font face too long or size not positive");
        return true;
    }
    // An image file, optionally with the size it must have ("name@WxH").
    bool Image(const std::string& key, PngBytes& image, PngHeader* header = nullptr) {
        auto text = Take(key);
        if (!text) return true;
        std::string path = *text;
        std::optional<std::pair<uint32_t, uint32_t>> size;
        if (const std::size_t at = path.rfind('@'); at != std::string::npos) {
            const std::string sizeText = path.substr(at + 1);
            const std::size_t x = sizeText.find('x');
            uint32_t width = 0, height = 0;
            if (x == std::string::npos || !ParseInteger(std::string_view(sizeText).substr(0, x), width) ||
                !ParseInteger(std::string_view(sizeText).substr(x + 1), height))
                return Fail("bad image size in " + path);
            size.emplace(width, height);
            path.resize(at);
        }
        auto bytes = source_.readFile(path);
        if (!bytes) return Fail("cannot read " + path);
        const auto png = ReadPngHeader(*bytes);
        if (!png) return Fail(path + " is not a PNG file");
        if (png->bitDepth != 8 || png->colorType != kPngColorTypeRgba) return Fail(path + " is not 8-bit RGBA");
        if (size && (png->width != size->first || png->height != size->second))
            return Fail(path + " is " + std::to_string(png->width) + "x" + std::to_string(png->height) +
                        ", not " + std::to_string(size->first) + "x" + std::to_string(size->second));
        if (header) *header = *png;
        image = std::move(*bytes);
        return true;
    }
    bool Icon(const std::string& key, std::vector<uint8_t>& icon) {
        auto path = Take(key);
        if (!path) return true;
        auto bytes = source_.readFile(*path);
        if (!bytes) return Fail("cannot read " + *path);
        const auto directory = ReadIcoDirectory(*bytes);
        if (!directory || directory->empty()) return Fail(*path + " is not an ICO file");
        for (const IcoImage& image : *directory)
            if (image.bitCount != 32) return Fail(*path + " holds an image that is not 32-bit");
        icon = std::move(*bytes);
        return true;
    }
    bool NothingLeft(std::string_view kind) {
        if (fields_.empty()) return true;
        return Fail("key " + fields_.begin()->first + " is not one of a " + std::string(kind));
    }

private:
    std::map<std::string, std::string>& fields_;
    Place place_;
    const FormDescriptionSource& source_;
};

bool ReadWindowProps(Fields& fields, WindowProps& props) {
    return fields.Integer("border", props.borderStyle) && fields.Flag("centred", props.centredAtStart) &&
           fields.Color("bg", props.backgroundColor) && fields.Text("title", props.title) &&
           fields.Icon("icon", props.icon);
}

bool ReadPictureProps(Fields& fields, const UnitRecord& unit, PictureBoxProps& props) {
    PngHeader header;
    if (!fields.Color("bg", props.backgroundColor) || !fields.Ranged("mode", props.imageMode, 0, 2) ||
        !fields.Image("image", props.image, &header))
        return false;
    // Mode 1 tiles from the corner; the artwork drawn that way is made to
    // fill its box exactly.
    if (props.imageMode == 1 && !props.image.empty() &&
        (header.width != static_cast<uint32_t>(unit.width) || header.height != static_cast<uint32_t>(unit.height)))
        return fields.Fail("an image in mode 1 must have the size of its box");
    return true;
}

bool ReadLabelProps(Fields& fields, LabelProps& props) {
    return fields.Text("caption", props.caption) && fields.Font(props.font) && fields.Color("fg", props.textColor) &&
           fields.Color("bg", props.backgroundColor) &&
           fields.Choice("halign", props.horizontalAlign, {"left", "centre", "right"}) &&
           fields.Flag("wrap", props.wordWrap) &&
           fields.Choice("valign", props.verticalAlign, {"top", "centre", "bottom"});
}

bool ReadEditProps(Fields& fields, EditBoxProps& props) {
    return fields.Text("text", props.text) && fields.Font(props.font) && fields.Integer("border", props.borderStyle) &&
           fields.Color("fg", props.textColor) && fields.Color("bg", props.backgroundColor) &&
           fields.Flag("hidesel", props.hideSelection) && fields.Ranged("limit", props.textLimit, 0, INT32_MAX) &&
           fields.Flag("multiline", props.multiLine) &&
           fields.Choice("align", props.alignment, {"left", "centre", "right"}) &&
           fields.Ranged("scroll", props.scrollBars, 0, 3) && fields.Integer("input", props.inputMode) &&
           fields.Integer("password", props.passwordChar);
}

bool ReadShapeProps(Fields& fields, ShapeBoxProps& props) {
    return fields.Integer("shape", props.shape) && fields.Color("outline", props.outlineColor) &&
           fields.Color("fill", props.fillColor);
}

bool ReadButtonColors(Fields& fields, ImageButtonProps& props) {
    uint32_t fg = props.fgColorOut, bk = props.bkColorOut;
    if (!fields.Color("fg", fg) || !fields.Color("bk", bk)) return false;
    props.fgColorOut = props.fgColorIn = props.fgColorFocus = fg;
    props.bkColorOut = props.bkColorIn = props.bkColorFocus = bk;
    return fields.Color("fgout", props.fgColorOut) && fields.Color("bkout", props.bkColorOut) &&
           fields.Color("fgin", props.fgColorIn) && fields.Color("bkin", props.bkColorIn) &&
           fields.Color("fgfocus", props.fgColorFocus) && fields.Color("bkfocus", props.bkColorFocus);
}

bool ReadButtonProps(Fields& fields, ImageButtonProps& props) {
    return fields.Ranged("style", props.btnStyle, 0, 2) && fields.Flag("checkbox", props.checkBox) &&
           fields.Flag("checked", props.checked) && fields.Ranged("align", props.alignStyle, 0, 3) &&
           fields.Ranged("press", props.pressStyle, 0, 1) && fields.Flag("drawborder", props.drawBorder) &&
           fields.Flag("drawfocus", props.drawFocus) && fields.Image("picout", props.picOut) &&
           fields.Image("picin", props.picIn) && fields.Image("picdisabled", props.picDisabled) &&
           fields.Color("transout", props.transColorOut) && fields.Color("transin", props.transColorIn) &&
           fields.Color("transdisabled", props.transColorDisabled) &&
           fields.Flag("defaultcolor", props.defaultColor) && fields.Flag("sound", props.standardSound) &&
           ReadButtonColors(fields, props) && fields.Text("caption", props.caption) && fields.Font(props.font);
}

struct KindName {
    std::string_view name;
    UnitType type;
};
constexpr KindName kKinds[] = {
    {"window", UnitType::Window}, {"picture", UnitType::PictureBox}, {"label", UnitType::Label},
    {"edit", UnitType::EditBox},  {"shape", UnitType::ShapeBox},     {"button", UnitType::ImageButton},
};

std::string KindText(UnitType type) {
    for (const KindName& known : kKinds)
        if (known.type == type) return std::string(known.name);
    return "unit";
}

bool ReadKindProps(Fields& fields, UnitRecord& unit) {
    switch (unit.type) {
        case UnitType::Window: return ReadWindowProps(fields, unit.props.emplace<WindowProps>());
        case UnitType::PictureBox: return ReadPictureProps(fields, unit, unit.props.emplace<PictureBoxProps>());
        case UnitType::Label: return ReadLabelProps(fields, unit.props.emplace<LabelProps>());
        case UnitType::EditBox: return ReadEditProps(fields, unit.props.emplace<EditBoxProps>());
        case UnitType::ShapeBox: return ReadShapeProps(fields, unit.props.emplace<ShapeBoxProps>());
        case UnitType::ImageButton: return ReadButtonProps(fields, unit.props.emplace<ImageButtonProps>());
    }
    return false;
}

bool ReadEvents(Fields& fields, UnitRecord& unit) {
    const auto text = fields.Take("events");
    if (!text) return true;
    std::string_view rest = *text;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        const std::size_t colon = item.find(':');
        EventBinding binding;
        if (colon == std::string_view::npos || !ParseInteger(item.substr(0, colon), binding.event))
            return fields.Fail("bad event binding " + std::string(item));
        const std::string_view handler = item.substr(colon + 1);
        if (handler != "none") {
            const auto found = std::find(std::begin(kHandlerNames), std::end(kHandlerNames), handler);
            if (found == std::end(kHandlerNames)) return fields.Fail("unknown handler " + std::string(handler));
            binding.handler = static_cast<uint32_t>(found - std::begin(kHandlerNames));
        }
        if (std::any_of(unit.events.begin(), unit.events.end(),
                        [&](const EventBinding& other) { return other.event == binding.event; }))
            return fields.Fail("event " + std::to_string(binding.event) + " bound twice");
        unit.events.push_back(binding);
    }
    return true;
}

bool ReadCursor(Fields& fields, UnitRecord& unit) {
    const auto text = fields.Take("cursor");
    if (!text || *text == "arrow") return true;
    if (*text == "hand") {
        unit.cursor = kHandCursor;
        return true;
    }
    if (!ParseInteger(*text, unit.cursor) || unit.cursor < 0) return fields.Fail("bad cursor " + *text);
    return true;
}

bool ReadRect(Fields& fields, UnitRecord& unit) {
    std::string text;
    std::vector<int32_t> values;
    if (!fields.Require("rect", text)) return false;
    if (!ParseList(text, values) || values.size() != 4 || values[2] < 0 || values[3] < 0)
        return fields.Fail("rect must be left,top,width,height with a size not negative");
    unit.left = values[0];
    unit.top = values[1];
    unit.width = values[2];
    unit.height = values[3];
    return true;
}

bool ReadKind(Fields& fields, UnitRecord& unit) {
    std::string kind;
    if (!fields.Require("kind", kind)) return false;
    for (const KindName& known : kKinds)
        if (known.name == kind) {
            unit.type = known.type;
            return true;
        }
    return fields.Fail("unknown kind " + kind);
}

bool ReadState(Fields& fields, UnitRecord& unit) {
    bool visible = true;
    bool tabStop = unit.type == UnitType::ImageButton || unit.type == UnitType::EditBox;
    if (!fields.Flag("visible", visible) || !fields.Flag("tabstop", tabStop)) return false;
    unit.stateFlags = (visible ? kUnitVisible : 0) | (tabStop ? kUnitTabStop : 0);
    return true;
}

// Unit identifiers by name, for the parents.
using UnitNames = std::map<std::string, uint32_t, std::less<>>;

bool ReadParent(Fields& fields, UnitRecord& unit, bool isWindowUnit, const UnitNames& earlier,
                std::string_view windowUnitName) {
    const auto parent = fields.Take("parent");
    if (isWindowUnit) return !parent || fields.Fail("the window unit has no parent");
    if (!parent) return fields.Fail("missing parent (window or an earlier unit)");
    if (*parent == "window") return true;
    const auto found = earlier.find(*parent);
    if (found == earlier.end() || *parent == windowUnitName)
        return fields.Fail("parent " + *parent + " is not an earlier control");
    unit.parent = found->second;
    return true;
}

bool ReadUnit(Line& line, const Place& place, const FormDescriptionSource& source, bool isWindowUnit,
              const UnitNames& earlier, std::string_view windowUnitName, UnitRecord& unit) {
    Fields fields(line, place, source);
    std::string idText;
    if (!fields.Require("name", unit.name) || !fields.Require("id", idText)) return false;
    if (!ParseInteger(idText, unit.id)) return fields.Fail("bad id " + idText);
    if (!ReadKind(fields, unit)) return false;
    const bool windowKind = unit.type == UnitType::Window;
    if (windowKind != isWindowUnit) return fields.Fail("the first unit, and only it, is of kind window");
    if (IdentifierKind(unit.id) != (isWindowUnit ? kWindowUnitKind : kControlKind) || (unit.id >> 24 & 0xF) != 6)
        return fields.Fail("id " + idText + " is not a " + (isWindowUnit ? "window unit" : "control") + " identifier");
    if (earlier.contains(unit.name)) return fields.Fail("unit name " + unit.name + " used twice");
    return ReadRect(fields, unit) && ReadParent(fields, unit, isWindowUnit, earlier, windowUnitName) &&
           ReadState(fields, unit) && ReadCursor(fields, unit) && fields.Text("tag", unit.tag) &&
           fields.Text("remark", unit.remark) && ReadEvents(fields, unit) && ReadKindProps(fields, unit) &&
           fields.NothingLeft(KindText(unit.type));
}

void FillChildren(WindowRecord& window) {
    for (std::size_t index = 0; index < window.units.size(); ++index) {
        UnitRecord& unit = window.units[index];
        const uint32_t asParent = index == 0 ? 0 : unit.id;
        unit.children.clear();
        for (std::size_t other = 1; other < window.units.size(); ++other)
            if (window.units[other].parent == asParent) unit.children.push_back(window.units[other].id);
    }
}

uint32_t BigEndian32(std::span<const uint8_t> bytes, std::size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}
uint32_t Little16(std::span<const uint8_t> bytes, std::size_t at) { return bytes[at] | bytes[at + 1] << 8; }
uint32_t Little32(std::span<const uint8_t> bytes, std::size_t at) {
    return Little16(bytes, at) | Little16(bytes, at + 2) << 16;
}

}  // namespace

std::optional<WindowRecord> ParseWindowDescription(std::string_view text, std::string_view fileName,
                                                   const FormDescriptionSource& source, std::string* error) {
    std::vector<Line> lines;
    if (!SplitLines(text, fileName, error, lines)) return std::nullopt;
    if (lines.empty() || lines.front().keyword != "window") {
        Place{fileName, lines.empty() ? 1 : lines.front().number, error}.Fail("the file starts with a window line");
        return std::nullopt;
    }
    WindowRecord window;
    {
        const Place place{fileName, lines.front().number, error};
        Fields fields(lines.front(), place, source);
        std::string idText;
        if (!fields.Require("id", idText) || !fields.NothingLeft("window line")) return std::nullopt;
        if (!ParseInteger(idText, window.id) || window.id >> 16 != 0x5201) {
            place.Fail("bad window id " + idText);
            return std::nullopt;
        }
    }
    UnitNames earlier;
    std::set<uint32_t> ids;
    for (std::size_t index = 1; index < lines.size(); ++index) {
        Line& line = lines[index];
        const Place place{fileName, line.number, error};
        if (line.keyword != "unit") {
            place.Fail("unknown keyword " + line.keyword);
            return std::nullopt;
        }
        UnitRecord unit;
        const std::string_view windowUnitName =
            window.units.empty() ? std::string_view{} : std::string_view(window.units.front().name);
        if (!ReadUnit(line, place, source, index == 1, earlier, windowUnitName, unit)) return std::nullopt;
        if (!ids.insert(unit.id).second) {
            place.Fail("unit id used twice");
            return std::nullopt;
        }
        earlier.emplace(unit.name, unit.id);
        window.units.push_back(std::move(unit));
    }
    if (window.units.empty()) {
        Place{fileName, lines.front().number, error}.Fail("a window without units");
        return std::nullopt;
    }
    FillChildren(window);
    return window;
}

std::optional<FormTemplate> LoadFormDescription(const FormDescriptionSource& source, std::string* error) {
    const std::string listPath(kWindowListPath);
    const auto list = source.readFile(listPath);
    if (!list) {
        if (error) *error = "cannot read " + listPath;
        return std::nullopt;
    }
    const std::string listText(list->begin(), list->end());
    FormTemplate form;
    std::string_view rest = listText;
    int number = 0;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view name = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        ++number;
        while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
        while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
        if (name.empty() || name.front() == '#') continue;
        const std::string path = "form/" + std::string(name);
        const auto text = source.readFile(path);
        if (!text) {
            Place{listPath, number, error}.Fail("cannot read " + path);
            return std::nullopt;
        }
        auto window = ParseWindowDescription(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()),
                                             path, source, error);
        if (!window) return std::nullopt;
        if (form.FindWindow(window->id)) {
            Place{listPath, number, error}.Fail("window listed twice");
            return std::nullopt;
        }
        form.windows.push_back(std::move(*window));
    }
    if (form.windows.empty()) {
        if (error) *error = listPath + ": no windows";
        return std::nullopt;
    }
    return form;
}

std::optional<PngHeader> ReadPngHeader(std::span<const uint8_t> png) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    constexpr std::size_t kIhdrEnd = 8 + 8 + 13;
    if (png.size() < kIhdrEnd || !std::equal(std::begin(kSignature), std::end(kSignature), png.begin()))
        return std::nullopt;
    if (BigEndian32(png, 8) != 13 || !std::equal(png.begin() + 12, png.begin() + 16, "IHDR")) return std::nullopt;
    PngHeader header;
    header.width = BigEndian32(png, 16);
    header.height = BigEndian32(png, 20);
    header.bitDepth = png[24];
    header.colorType = png[25];
    return header;
}

std::optional<std::vector<IcoImage>> ReadIcoDirectory(std::span<const uint8_t> ico) {
    constexpr std::size_t kHeaderSize = 6, kEntrySize = 16;
    if (ico.size() < kHeaderSize || Little16(ico, 0) != 0 || Little16(ico, 2) != 1) return std::nullopt;
    const std::size_t count = Little16(ico, 4);
    if (ico.size() < kHeaderSize + count * kEntrySize) return std::nullopt;
    std::vector<IcoImage> images;
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t at = kHeaderSize + index * kEntrySize;
        const uint64_t size = Little32(ico, at + 8), offset = Little32(ico, at + 12);
        if (offset < kHeaderSize + count * kEntrySize || offset + size > ico.size()) return std::nullopt;
        IcoImage image;
        image.width = ico[at] == 0 ? 256 : ico[at];
        image.height = ico[at + 1] == 0 ? 256 : ico[at + 1];
        image.bitCount = static_cast<uint16_t>(Little16(ico, at + 6));
        images.push_back(image);
    }
    return images;
}

}  // namespace zorv::ui
