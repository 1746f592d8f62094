// The description text: what it turns into, and the clear refusals of
// mistakes in it (with file and line).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ui/form_description.h"
#include "ui/form_template_format.h"
#include "ui/handlers.h"

namespace zorv::ui {
namespace {

std::vector<uint8_t> Png(uint32_t width, uint32_t height, uint8_t colorType = 6, uint8_t depth = 8) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(value >> shift));
    png.insert(png.end(), {depth, colorType, 0, 0, 0, 0, 0, 0, 0});  // rest of IHDR and a CRC
    return png;
}

std::vector<uint8_t> Ico(std::initializer_list<uint8_t> sizes, uint16_t bitCount = 32) {
    std::vector<uint8_t> ico = {0, 0, 1, 0, static_cast<uint8_t>(sizes.size()), 0};
    uint32_t offset = static_cast<uint32_t>(6 + 16 * sizes.size());
    for (uint8_t size : sizes) {
        const uint8_t entry[16] = {size, size, 0, 0, 1, 0, static_cast<uint8_t>(bitCount), static_cast<uint8_t>(bitCount >> 8),
                                   4, 0, 0, 0, static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8), 0, 0};
        ico.insert(ico.end(), entry, entry + 16);
        offset += 4;
    }
    ico.insert(ico.end(), 4 * sizes.size(), 0xAB);
    return ico;
}

// Files in memory; texts "converted" by marking them, so that a test sees
// which fields went through the conversion.  "¤" has no conversion.
struct MemorySource {
    std::map<std::string, std::vector<uint8_t>> files;
    FormDescriptionSource source() const {
        return {[this](const std::string& path) -> std::optional<std::vector<uint8_t>> {
                    const auto found = files.find(path);
                    if (found == files.end()) return std::nullopt;
                    return found->second;
                },
                [](std::string_view utf8) -> std::optional<std::string> {
                    if (utf8.find("¤") != std::string_view::npos) return std::nullopt;
                    return "<" + std::string(utf8) + ">";
                }};
    }
};

const char* kWindow = R"(# a comment
window id=0x52010001
unit name=W id=0x06010000 kind=window rect=50,50,400,300 title="A title" icon=w.ico centred=1
     events=0:MainWindowCreated,1:none
unit name=Back id=0x16010002 kind=picture parent=window rect=0,0,400,300 image=b.png@400x300 mode=1
unit name=Text id=0x16010003 kind=label parent=Back rect=-4,5,100,20 caption="C:\Program Files (x86)\zorv"
     face="Face Name" px=17 fg=rgb(57,168,117) bg=0x808080 halign=right wrap=0 valign=bottom cursor=hand
unit name=Check id=0x16010004 kind=button parent=Back rect=1,2,3,4 checkbox=1 checked=1 fg=0x606060 bk=0xFFFFFF
     bkin=none picout=c.png@24x24 events=0:ShowOptions
unit name=Box id=0x16010005 kind=shape parent=Text rect=1,1,1,1 visible=0 outline=0xD9D9D9 fill=none
)";

MemorySource Files() {
    MemorySource files;
    files.files["w.ico"] = Ico({16, 32});
    files.files["b.png"] = Png(400, 300);
    files.files["c.png"] = Png(24, 24);
    return files;
}

std::optional<WindowRecord> Parse(const std::string& text, const MemorySource& files, std::string* error = nullptr) {
    return ParseWindowDescription(text, "test.form", files.source(), error);
}

TEST(FormTemplateDescription, ParsesEveryKindOfField) {
    const MemorySource files = Files();
    std::string error;
    const auto window = Parse(kWindow, files, &error);
    ASSERT_TRUE(window) << error;
    EXPECT_EQ(window->id, 0x52010001u);
    ASSERT_EQ(window->units.size(), 5u);

    const UnitRecord& unit = window->units[0];
    const auto& windowProps = std::get<WindowProps>(unit.props);
    EXPECT_EQ(windowProps.title, "<A title>");
    EXPECT_EQ(windowProps.icon, files.files.at("w.ico"));
    EXPECT_TRUE(windowProps.centredAtStart);
    EXPECT_EQ(unit.events, (std::vector<EventBinding>{{0, static_cast<uint32_t>(Handler::MainWindowCreated)},
                                                      {1, kNoHandler}}));
    EXPECT_EQ(unit.children, std::vector<uint32_t>{0x16010002});

    const UnitRecord& back = window->units[1];
    EXPECT_EQ(back.children, (std::vector<uint32_t>{0x16010003, 0x16010004}));
    EXPECT_EQ(std::get<PictureBoxProps>(back.props).image, files.files.at("b.png"));

    const UnitRecord& text = window->units[2];
    const auto& label = std::get<LabelProps>(text.props);
    EXPECT_EQ(label.caption, "<C:\\Program Files (x86)\\zorv>");
    EXPECT_EQ(LogFontFace(label.font.value()), "<Face Name>");
    EXPECT_EQ(LogFontPixelHeight(*label.font), 17);
    EXPECT_EQ(label.textColor, 0x0075A839u);
    EXPECT_EQ(label.backgroundColor, 0x808080u);
    EXPECT_EQ(label.horizontalAlign, 2);
    EXPECT_FALSE(label.wordWrap);
    EXPECT_EQ(label.verticalAlign, 2);
    EXPECT_EQ(text.left, -4);
    EXPECT_EQ(text.parent, 0x16010002u);
    EXPECT_EQ(text.cursor, kHandCursor);
    EXPECT_EQ(text.stateFlags, kUnitVisible);
    EXPECT_EQ(text.children, std::vector<uint32_t>{0x16010005});

    const UnitRecord& check = window->units[3];
    const auto& button = std::get<ImageButtonProps>(check.props);
    EXPECT_TRUE(button.checkBox && button.checked);
    EXPECT_EQ(button.fgColorOut, 0x606060u);
    EXPECT_EQ(button.fgColorFocus, 0x606060u);
    EXPECT_EQ(button.bkColorOut, 0xFFFFFFu);
    EXPECT_EQ(button.bkColorIn, kColorNotSet);  // the single key wins over bk
    EXPECT_EQ(check.stateFlags, kUnitVisible | kUnitTabStop);  // buttons take the focus by default

    const UnitRecord& box = window->units[4];
    EXPECT_EQ(box.stateFlags, 0u);
    EXPECT_EQ(std::get<ShapeBoxProps>(box.props).fillColor, kColorNotSet);

    // What the parser gives is a storable template.
    FormTemplate form;
    form.windows.push_back(*window);
    const auto bytes = WriteFormTemplate(form);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(ReadFormTemplate(*bytes, &error), form) << error;
}

// Replaces the first occurrence of what in kWindow.
std::string With(const std::string& what, const std::string& replacement) {
    std::string text = kWindow;
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return text.replace(at, what.size(), replacement);
}

void ExpectRefused(const std::string& text, const std::string& expectedInMessage, const MemorySource& files = Files()) {
    std::string error;
    EXPECT_FALSE(Parse(text, files, &error)) << expectedInMessage;
    EXPECT_NE(error.find(expectedInMessage), std::string::npos) << error;
    EXPECT_EQ(error.rfind("test.form:", 0), 0u) << error;
}

TEST(FormTemplateDescription, RefusesMistakesWithFileAndLine) {
    ExpectRefused(With("title=", "titel="), "key titel");
    ExpectRefused(With("mode=1", "mode=3"), "mode");
    ExpectRefused(With("parent=Back rect=-4", "parent=Nowhere rect=-4"), "parent Nowhere");
    ExpectRefused(With("parent=Text", "parent=Box"), "parent Box");  // itself: not earlier
    ExpectRefused(With("parent=Back rect=1,2", "rect=1,2"), "missing parent");
    ExpectRefused(With("parent=Back rect=-4", "parent=W rect=-4"), "parent W");
    ExpectRefused(With("0:ShowOptions", "0:NoSuchHandler"), "unknown handler");
    ExpectRefused(With("events=0:MainWindowCreated,1:none", "events=0:MainWindowCreated,0:none"), "bound twice");
    ExpectRefused(With("halign=right", "halign=middle"), "halign");
    ExpectRefused(With("bg=0x808080", "bg=0x1808080"), "colour");
    ExpectRefused(With("fg=rgb(57,168,117)", "fg=rgb(57,168,256)"), "colour");
    ExpectRefused(With("px=17 ", ""), "face and px");
    ExpectRefused(With("\"Face Name\"", "\"This face name is far too long for LOGFONT\""), "font");
    ExpectRefused(With("id=0x16010005", "id=0x16010004"), "used twice");
    ExpectRefused(With("name=Box", "name=Text"), "used twice");
    ExpectRefused(With("id=0x16010005", "id=0x06010005"), "not a control identifier");
    ExpectRefused(With("kind=shape", "kind=circle"), "unknown kind");
    ExpectRefused(With("kind=shape", "kind=window"), "first unit");
    ExpectRefused(With("rect=1,1,1,1", "rect=1,1,-1,1"), "rect");
    ExpectRefused(With("rect=1,1,1,1", "rect=1,1,1"), "rect");
    ExpectRefused(With("visible=0", "visible=2"), "visible");
    ExpectRefused(With("caption=\"C:", "caption=\"C:¤"), "GBK");
    ExpectRefused(With("title=\"A title\"", "title=\"A title"), "unterminated");
    ExpectRefused(With("window id=0x52010001", "window id=0x52020001"), "window id");
    ExpectRefused(std::string("unit name=W id=0x06010000 kind=window rect=0,0,1,1\n"), "window line");
    ExpectRefused(With("# a comment", "  continued"), "continuation");
    // The line number is that of the unit's first line.
    std::string error;
    EXPECT_FALSE(Parse(With("outline=0xD9D9D9", "outline=0xD9D9D9 oops=1"), Files(), &error));
    EXPECT_EQ(error.rfind("test.form:10:", 0), 0u) << error;
}

TEST(FormTemplateDescription, ChecksImagesAndIcons) {
    ExpectRefused(With("c.png@24x24", "c.png@24x25"), "24x24, not 24x25");
    ExpectRefused(With("c.png@24x24", "missing.png"), "cannot read missing.png");
    MemorySource files = Files();
    files.files["b.png"] = Png(400, 301);
    ExpectRefused(With("b.png@400x300", "b.png"), "size of its box", files);
    files = Files();
    files.files["c.png"] = Png(24, 24, 2);  // RGB without alpha
    ExpectRefused(kWindow, "8-bit RGBA", files);
    files = Files();
    files.files["c.png"] = Png(24, 24, 6, 16);
    ExpectRefused(kWindow, "8-bit RGBA", files);
    files = Files();
    files.files["c.png"] = {1, 2, 3};
    ExpectRefused(kWindow, "not a PNG", files);
    files = Files();
    files.files["w.ico"] = Ico({16}, 24);
    ExpectRefused(kWindow, "not 32-bit", files);
    files = Files();
    files.files["w.ico"].resize(files.files["w.ico"].size() - 1);  // last image cut short
    ExpectRefused(kWindow, "not an ICO", files);
}

TEST(FormTemplateDescription, IcoDirectoryAndPngHeader) {
    const auto directory = ReadIcoDirectory(Ico({16, 0}));
    ASSERT_TRUE(directory);
    ASSERT_EQ(directory->size(), 2u);
    EXPECT_EQ((*directory)[0].width, 16u);
    EXPECT_EQ((*directory)[1].width, 256u);
    EXPECT_EQ((*directory)[1].bitCount, 32);
    std::vector<uint8_t> notIcon = Ico({16});
    notIcon[2] = 2;  // a cursor file
    EXPECT_FALSE(ReadIcoDirectory(notIcon));
    EXPECT_FALSE(ReadIcoDirectory(std::vector<uint8_t>{0, 0, 1, 0, 5, 0}));

    const auto header = ReadPngHeader(Png(1365, 902));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->width, 1365u);
    EXPECT_EQ(header->height, 902u);
    std::vector<uint8_t> png = Png(1, 1);
    png[12] = 'X';
    EXPECT_FALSE(ReadPngHeader(png));
    png = Png(1, 1);
    png.resize(28);
    EXPECT_FALSE(ReadPngHeader(png));
}

TEST(FormTemplateDescription, LoadsTheWindowListInOrder) {
    MemorySource files = Files();
    const std::string second = "window id=0x52010E56\nunit name=P id=0x06010E55 kind=window rect=0,0,1,1\n";
    const std::string list = "# order\nmain.form\n\n  panel.form  \n";
    files.files["form/template.list"] = {list.begin(), list.end()};
    const std::string first = kWindow;
    files.files["form/main.form"] = {first.begin(), first.end()};
    files.files["form/panel.form"] = {second.begin(), second.end()};
    std::string error;
    const auto form = LoadFormDescription(files.source(), &error);
    ASSERT_TRUE(form) << error;
    ASSERT_EQ(form->windows.size(), 2u);
    EXPECT_EQ(form->windows[0].id, 0x52010001u);
    EXPECT_EQ(form->windows[1].id, 0x52010E56u);

    const std::string twice = "main.form\nmain.form\n";
    files.files["form/template.list"] = {twice.begin(), twice.end()};
    EXPECT_FALSE(LoadFormDescription(files.source(), &error));
    EXPECT_NE(error.find("listed twice"), std::string::npos) << error;

    const std::string missing = "main.form\nnone.form\n";
    files.files["form/template.list"] = {missing.begin(), missing.end()};
    EXPECT_FALSE(LoadFormDescription(files.source(), &error));
    EXPECT_EQ(error, "form/template.list:2: cannot read form/none.form");
}

}  // namespace
}  // namespace zorv::ui
