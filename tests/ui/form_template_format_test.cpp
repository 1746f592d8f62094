// The stored template layout: round trips, exact record bytes, and refusal
// of truncated or inconsistent input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "ui/form_template.h"
#include "ui/form_template_format.h"
#include "runtime/fatal.h"
#include "ui/handlers.h"

namespace zorv::ui {
namespace {

// Little-endian byte builder for the expected layouts.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& u32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<uint8_t>(value >> shift));
        return *this;
    }
    Bytes& u32s(std::initializer_list<uint32_t> values) {
        for (uint32_t value : values) u32(value);
        return *this;
    }
    Bytes& u16(uint16_t value) {
        data.push_back(static_cast<uint8_t>(value));
        data.push_back(static_cast<uint8_t>(value >> 8));
        return *this;
    }
    Bytes& zeros(std::size_t count) {
        data.insert(data.end(), count, 0);
        return *this;
    }
    Bytes& text(const std::string& value) {  // zero-terminated
        data.insert(data.end(), value.begin(), value.end());
        data.push_back(0);
        return *this;
    }
    Bytes& counted(const std::vector<uint8_t>& value) {
        u32(static_cast<uint32_t>(value.size()));
        data.insert(data.end(), value.begin(), value.end());
        return *this;
    }
    Bytes& counted(const std::string& value) { return counted(std::vector<uint8_t>(value.begin(), value.end())); }
};

uint32_t HandlerIndex(Handler handler) { return static_cast<uint32_t>(handler); }

std::vector<uint8_t> Blob(std::size_t size, uint8_t seed) {
    std::vector<uint8_t> blob(size);
    for (std::size_t index = 0; index < size; ++index) blob[index] = static_cast<uint8_t>(seed + index * 7);
    return blob;
}

UnitRecord Unit(uint32_t id, UnitType type, const char* name, UnitProps props) {
    UnitRecord unit;
    unit.id = id;
    unit.type = type;
    unit.name = name;
    unit.props = std::move(props);
    return unit;
}

// Two windows holding every unit kind, with every stored field away from its
// default, so that a field lost on the way shows up in the comparison.
FormTemplate SampleTemplate() {
    WindowRecord first;
    first.id = 0x52010001;
    WindowProps windowProps;
    windowProps.borderStyle = 2;
    windowProps.centredAtStart = true;
    windowProps.backgroundColor = 0x00123456;
    windowProps.title = "安装窗口";
    windowProps.icon = Blob(70, 3);
    UnitRecord windowUnit = Unit(0x06010000, UnitType::Window, "MainWindow", windowProps);
    windowUnit.left = 50;
    windowUnit.top = 50;
    windowUnit.width = 400;
    windowUnit.height = 300;
    windowUnit.remark = "主窗口";
    windowUnit.children = {0x16010002};
    windowUnit.events = {{0, HandlerIndex(Handler::MainWindowCreated)}, {3, HandlerIndex(Handler::MainWindowMoved)}};
    first.units.push_back(windowUnit);

    PictureBoxProps pictureProps;
    pictureProps.backgroundColor = 0x00EFF0FF;
    pictureProps.imageMode = 1;
    pictureProps.image = Blob(33, 9);
    UnitRecord background = Unit(0x16010002, UnitType::PictureBox, "Background", pictureProps);
    background.width = 400;
    background.height = 300;
    background.children = {0x16010003, 0x16010004, 0x16010005, 0x16010006};
    background.events = {{-1, HandlerIndex(Handler::DragMainWindow)}};
    first.units.push_back(background);

    LabelProps labelProps;
    labelProps.caption = "当前安装路径 C:\\Program Files (x86)\\zorv";
    labelProps.font = MakeLogFont("微软雅黑", 17);
    labelProps.textColor = 0x808080;
    labelProps.backgroundColor = 0x00FEFDFC;
    labelProps.horizontalAlign = 2;
    labelProps.wordWrap = false;
    labelProps.verticalAlign = 1;
    UnitRecord label = Unit(0x16010003, UnitType::Label, "PathLabel", labelProps);
    label.parent = 0x16010002;
    label.left = -4;
    label.top = 7;
    label.width = 120;
    label.height = 32;
    label.cursor = kHandCursor;
    label.tag = "t";
    first.units.push_back(label);

    EditBoxProps editProps;
    editProps.text = "C:\\Program Files (x86)\\zorv";
    editProps.font = MakeLogFont("HarmonyOS Sans SC", 15);
    editProps.borderStyle = 1;
    editProps.textColor = 0x000102;
    editProps.backgroundColor = 0x00FFFFFE;
    editProps.hideSelection = false;
    editProps.textLimit = 50;
    editProps.multiLine = true;
    editProps.alignment = 1;
    editProps.scrollBars = 3;
    editProps.inputMode = 2;
    editProps.passwordChar = '#';
    UnitRecord edit = Unit(0x16010004, UnitType::EditBox, "Edit", editProps);
    edit.parent = 0x16010002;
    edit.stateFlags = kUnitVisible | kUnitTabStop;
    edit.events = {{-7, HandlerIndex(Handler::PathEditFocusGained)}, {-8, HandlerIndex(Handler::PathEditFocusLost)}};
    first.units.push_back(edit);

    ShapeBoxProps shapeProps;
    shapeProps.shape = 3;
    shapeProps.outlineColor = 0xD9D9D9;
    shapeProps.fillColor = 0xD9D9DA;
    UnitRecord shape = Unit(0x16010005, UnitType::ShapeBox, "Block", shapeProps);
    shape.parent = 0x16010002;
    shape.stateFlags = 0;
    first.units.push_back(shape);

    ImageButtonProps buttonProps;
    buttonProps.btnStyle = 2;
    buttonProps.checkBox = true;
    buttonProps.checked = true;
    buttonProps.alignStyle = 3;
    buttonProps.pressStyle = 1;
    buttonProps.drawBorder = true;
    buttonProps.drawFocus = true;
    buttonProps.transColorOut = 0x01;
    buttonProps.transColorIn = 0x02;
    buttonProps.transColorDisabled = 0x03;
    buttonProps.defaultColor = true;
    buttonProps.standardSound = true;
    buttonProps.fgColorOut = 0x11;
    buttonProps.bkColorOut = 0x12;
    buttonProps.fgColorIn = 0x13;
    buttonProps.bkColorIn = 0x14;
    buttonProps.fgColorFocus = 0x15;
    buttonProps.bkColorFocus = 0x16;
    buttonProps.picIn = Blob(21, 1);
    buttonProps.picOut = Blob(22, 2);
    buttonProps.picDisabled = Blob(23, 3);
    buttonProps.font = MakeLogFont("微软雅黑", 23);
    buttonProps.caption = "桌面快捷方式";
    UnitRecord button = Unit(0x16010006, UnitType::ImageButton, "Check", buttonProps);
    button.parent = 0x16010002;
    button.stateFlags = kUnitVisible | kUnitTabStop;
    button.events = {{0, kNoHandler}};
    first.units.push_back(button);

    WindowRecord second;
    second.id = 0x52010E56;
    UnitRecord secondUnit = Unit(0x06010E55, UnitType::Window, "Panel", WindowProps{});
    secondUnit.stateFlags = 0;
    second.units.push_back(secondUnit);

    FormTemplate form;
    form.windows = {first, second};
    return form;
}

std::vector<uint8_t> Written(const FormTemplate& form) {
    std::string error;
    auto bytes = WriteFormTemplate(form, &error);
    EXPECT_TRUE(bytes) << error;
    return bytes.value_or(std::vector<uint8_t>{});
}

TEST(FormTemplateFormat, RoundTripKeepsEveryField) {
    const FormTemplate form = SampleTemplate();
    const std::vector<uint8_t> bytes = Written(form);
    std::string error;
    const auto read = ReadFormTemplate(bytes, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(*read, form);
    // The comparison covers the lookups built on the model as well.
    ASSERT_NE(read->FindWindow(0x52010E56), nullptr);
    EXPECT_EQ(read->FindWindow(0x52010E56)->WindowUnit()->name, "Panel");
    EXPECT_EQ(read->FindWindow(0x52010002), nullptr);
    EXPECT_EQ(read->windows[0].FindUnit(0x16010003)->HandlerFor(-1), kNoHandler);
    EXPECT_EQ(read->windows[0].FindUnit(0x16010002)->HandlerFor(-1), HandlerIndex(Handler::DragMainWindow));
}

TEST(FormTemplateFormat, WindowTableAndUnitBlockLayout) {
    FormTemplate form;
    form.windows.resize(1);
    form.windows[0].id = 0x52010ED0;
    form.windows[0].units.push_back(Unit(0x06010ED1, UnitType::Window, "W", WindowProps{}));
    const std::vector<uint8_t> record = WriteUnitRecord(form.windows[0].units[0]).value();

    Bytes expected;
    expected.u32s({8, 0x52010ED0, 0});               // window table: 8 x N, ids, ignored slots
    expected.u32s({0, 0, 0, 0, 1});                  // two ignored values, two empty strings, U
    expected.u32(static_cast<uint32_t>(8 + 4 + record.size()));  // counted unit block
    expected.u32s({0x06010ED1, 0});                  // unit ids, offsets after the two arrays
    expected.counted(record);
    EXPECT_EQ(Written(form), expected.data);
}

TEST(FormTemplateFormat, ShapeBoxRecordBytes) {
    ShapeBoxProps props;
    props.shape = 0;
    props.outlineColor = 0xD9D9D9;
    props.fillColor = 0xC0C1C2;
    UnitRecord unit = Unit(0x1601A8B0, UnitType::ShapeBox, "HeaderBlock2", props);
    unit.remark = "r";
    unit.left = 128;
    unit.top = -28;
    unit.width = 80;
    unit.height = 40;
    unit.parent = 0x16011A2B;
    unit.cursor = kHandCursor;
    unit.stateFlags = kUnitVisible | kUnitTabStop;
    unit.events = {{-1, 7}, {-7, kNoHandler}};

    Bytes expected;
    expected.u32(0x00010007).zeros(20).text("HeaderBlock2").text("r");
    expected.u32s({0, 128, static_cast<uint32_t>(-28), 80, 40, 0, 0x16011A2B});
    expected.u32(0);                       // no children
    expected.u32s({4, 32649});             // pointer block
    expected.text("");                     // tag
    expected.u32s({0, 5, 0});              // reserved, state flags, reserved
    expected.u32s({2, static_cast<uint32_t>(-1), 7, static_cast<uint32_t>(-7), 0xFFFFFFFF});
    expected.zeros(20).u32(1);             // property block header, version 1
    expected.u32s({0, 0xD9D9D9, 0xC0C1C2});
    EXPECT_EQ(WriteUnitRecord(unit).value(), expected.data);
}

// The property block of a record starts after the common fields; these
// records have no children, no events and empty texts, so it starts at a
// fixed place.
std::vector<uint8_t> PropertyBlock(const UnitRecord& unit) {
    const std::vector<uint8_t> record = WriteUnitRecord(unit).value();
    const std::size_t common = 4 + 20 + unit.name.size() + 1 + 1 + 7 * 4 + 4 + 8 + 1 + 12 + 4;
    return {record.begin() + static_cast<std::ptrdiff_t>(common), record.end()};
}

TEST(FormTemplateFormat, LabelBlockPlacesColoursAndAlignment) {
    LabelProps props;
    props.textColor = 0x808080;
    props.backgroundColor = 0xFFFFFF;
    props.horizontalAlign = 1;
    props.wordWrap = true;
    props.verticalAlign = 2;
    props.font = MakeLogFont("A", 18);
    props.caption = "复制成功";
    const UnitRecord unit = Unit(0x16010ED5, UnitType::Label, "L", props);

    Bytes expected;
    expected.zeros(20).u32(2);
    expected.u32s({0, 0, 0, 0, 0, 0, 0x808080, 0xFFFFFF, 0, 0, 0, 0, 0, 1, 1, 2});
    expected.counted(std::vector<uint8_t>(props.font->begin(), props.font->end()));
    expected.counted(std::string("复制成功"));
    EXPECT_EQ(PropertyBlock(unit), expected.data);
}

TEST(FormTemplateFormat, EditBoxBlockOrder) {
    EditBoxProps props;
    props.text = "C:\\x";
    props.borderStyle = 0;
    props.textColor = 0x000001;
    props.backgroundColor = 0xFFFFFF;
    props.hideSelection = true;
    props.textLimit = 50;
    props.multiLine = false;
    props.scrollBars = 0;
    props.alignment = 2;
    props.inputMode = 0;
    props.passwordChar = 0x2A;
    const UnitRecord unit = Unit(0x1601A8A7, UnitType::EditBox, "E", props);

    Bytes expected;
    expected.zeros(20).u32(2);
    expected.u32s({0, 1, 0xFFFFFF, 1, 50, 0, 0, 2, 0}).u16(0x2A).zeros(24);
    expected.u32(0);  // no font
    expected.counted(std::string("C:\\x"));
    EXPECT_EQ(PropertyBlock(unit), expected.data);
}

TEST(FormTemplateFormat, ImageButtonBlockOrder) {
    ImageButtonProps props;
    props.btnStyle = 1;
    props.checkBox = true;
    props.checked = false;
    props.alignStyle = 2;
    props.pressStyle = 1;
    props.drawBorder = false;
    props.drawFocus = true;
    props.transColorOut = 0xA1;
    props.transColorIn = 0xA2;
    props.transColorDisabled = 0xA3;
    props.defaultColor = true;
    props.standardSound = false;
    props.fgColorOut = 0xB1;
    props.bkColorOut = 0xB2;
    props.fgColorIn = 0xB3;
    props.bkColorIn = 0xB4;
    props.fgColorFocus = 0xB5;
    props.bkColorFocus = 0xB6;
    props.picIn = {1, 2};
    props.picOut = {3};
    props.picDisabled = {4, 5, 6};
    props.caption = "自定义选项";
    const UnitRecord unit = Unit(0x1601A89B, UnitType::ImageButton, "B", props);

    Bytes expected;
    expected.zeros(20).u32(2);
    expected.u32s({1, 1, 0, 2, 1, 0, 1, 0xA1, 0xA2, 0xA3, 1, 0});
    expected.u32s({0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6});
    expected.counted(std::vector<uint8_t>{1, 2}).counted(std::vector<uint8_t>{3});
    expected.u32(0);  // no font
    expected.counted(std::vector<uint8_t>{4, 5, 6}).u32(0);
    expected.counted(std::string("自定义选项")).u32s({0, 0, 0});
    EXPECT_EQ(PropertyBlock(unit), expected.data);
}

TEST(FormTemplateFormat, WindowAndPictureBlocks) {
    WindowProps windowProps;
    windowProps.borderStyle = 0;
    windowProps.centredAtStart = true;
    windowProps.backgroundColor = kColorNotSet;
    windowProps.icon = {9, 8};
    windowProps.title = "Zorvane安装卸载程序";
    Bytes expectedWindow;
    expectedWindow.zeros(20).u32(6).u32s({0, 1, 0xFF000000, 0, 0});
    expectedWindow.counted(std::vector<uint8_t>{9, 8}).counted(std::string("Zorvane安装卸载程序")).u32(0);
    EXPECT_EQ(PropertyBlock(Unit(0x06010000, UnitType::Window, "W", windowProps)), expectedWindow.data);

    PictureBoxProps pictureProps;
    pictureProps.backgroundColor = 0x0075A839;
    pictureProps.imageMode = 2;
    pictureProps.image = {7, 7, 7};
    Bytes expectedPicture;
    expectedPicture.zeros(20).u32(1).u32s({0x0075A839, 2}).counted(std::vector<uint8_t>{7, 7, 7});
    EXPECT_EQ(PropertyBlock(Unit(0x16010ED3, UnitType::PictureBox, "P", pictureProps)), expectedPicture.data);
}

TEST(FormTemplateFormat, WriterRefusesInconsistentUnits) {
    UnitRecord mismatched = Unit(0x16010002, UnitType::Label, "L", PictureBoxProps{});
    std::string error;
    EXPECT_FALSE(WriteUnitRecord(mismatched, &error));
    EXPECT_NE(error.find("0x16010002"), std::string::npos);

    UnitRecord zeroInName = Unit(0x16010002, UnitType::PictureBox, "", PictureBoxProps{});
    zeroInName.name = std::string("a\0b", 3);
    EXPECT_FALSE(WriteUnitRecord(zeroInName));
    FormTemplate form = SampleTemplate();
    form.windows[1].units[0].tag = std::string(1, '\0');
    EXPECT_FALSE(WriteFormTemplate(form));
}

// ---- refusal of inconsistent input

std::optional<FormTemplate> ReadModified(void (*modify)(FormTemplate&)) {
    FormTemplate form = SampleTemplate();
    modify(form);
    const std::vector<uint8_t> bytes = Written(form);
    return ReadFormTemplate(bytes);
}

TEST(FormTemplateFormat, RefusesInconsistentUnitRelations) {
    // A parent that does not exist, or comes later in the unit table.
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[0].units[2].parent = 0x16010099; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) {
        std::swap(f.windows[0].units[1], f.windows[0].units[2]);
    }));
    // Child lists that disagree with the parents.
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[0].units[1].children.pop_back(); }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { std::swap(f.windows[0].units[1].children[0], f.windows[0].units[1].children[1]); }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[0].units[0].children.clear(); }));
    // The window unit must come first and be the only one.
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { std::swap(f.windows[1].units, f.windows[0].units); f.windows[1].units.erase(f.windows[1].units.begin()); }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[1].units.clear(); }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) {
        UnitRecord second = f.windows[1].units[0];
        second.id = 0x06010E54;
        f.windows[1].units.push_back(second);
    }));
    // Identifiers: wrong kind, wrong bits 24-27, repeated, menu items.
    EXPECT_FALSE(ReadModified([](FormTemplate& f) {
        f.windows[0].units[5].id = f.windows[0].units[1].children[3] = 0x26010006;  // a menu item
    }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) {
        f.windows[0].units[5].id = f.windows[0].units[1].children[3] = 0x15010006;
    }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[1].units[0].id = 0x16010E55; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[0].id = 0x52020001; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[1].id = f.windows[0].id; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) {
        f.windows[0].units[5].id = f.windows[0].units[4].id;
        f.windows[0].units[1].children[3] = f.windows[0].units[4].id;
    }));
}

TEST(FormTemplateFormat, RefusesOutOfRangeValues) {
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[0].units[0].events[0].handler = kHandlerCount; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[0].units[0].events[1].event = 0; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { f.windows[0].units[2].width = -1; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { std::get<LabelProps>(f.windows[0].units[2].props).horizontalAlign = 3; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { std::get<PictureBoxProps>(f.windows[0].units[1].props).imageMode = -1; }));
    EXPECT_FALSE(ReadModified([](FormTemplate& f) { std::get<ImageButtonProps>(f.windows[0].units[5].props).alignStyle = 4; }));
    // The highest handler index is still accepted.
    EXPECT_TRUE(ReadModified([](FormTemplate& f) { f.windows[0].units[0].events[0].handler = kHandlerCount - 1; }));
}

// Offsets into the written sample: the first window's unit block and the
// first record in it.
struct SampleLayout {
    std::vector<uint8_t> bytes;
    std::size_t offsetsAt;  // U offsets of the first window
    std::size_t recordAt;   // length prefix of its first record
};

SampleLayout Layout() {
    SampleLayout layout{Written(SampleTemplate()), 0, 0};
    const std::size_t windowAt = 4 + 16;          // after the table of two windows
    const std::size_t unitCount = 6;
    const std::size_t idsAt = windowAt + 20 + 4;  // after the window head and the block length
    layout.offsetsAt = idsAt + 4 * unitCount;
    layout.recordAt = layout.offsetsAt + 4 * unitCount;
    return layout;
}

void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    for (int index = 0; index < 4; ++index) bytes[at + index] = static_cast<uint8_t>(value >> (8 * index));
}

TEST(FormTemplateFormat, RefusesBadLayout) {
    SampleLayout layout = Layout();
    ASSERT_TRUE(ReadFormTemplate(layout.bytes));

    std::vector<uint8_t> bytes = layout.bytes;
    Put32(bytes, 0, 12);  // table size not a multiple of 8
    EXPECT_FALSE(ReadFormTemplate(bytes));

    bytes = layout.bytes;
    bytes.push_back(0);  // trailing byte after the last window
    EXPECT_FALSE(ReadFormTemplate(bytes));

    bytes = layout.bytes;
    Put32(bytes, layout.offsetsAt + 4, 1);  // second record's offset out of sequence
    EXPECT_FALSE(ReadFormTemplate(bytes));

    bytes = layout.bytes;
    Put32(bytes, layout.recordAt + 4, 0x00010008);  // unknown unit type
    std::string error;
    EXPECT_FALSE(ReadFormTemplate(bytes, &error));
    EXPECT_NE(error.find("unknown unit type"), std::string::npos) << error;

    // A record one byte longer than its content.
    UnitRecord unit = SampleTemplate().windows[0].units[1];
    std::vector<uint8_t> record = WriteUnitRecord(unit).value();
    ASSERT_TRUE(ReadUnitRecord(unit.id, record));
    record.push_back(0);
    EXPECT_FALSE(ReadUnitRecord(unit.id, record));
}

TEST(FormTemplateFormat, RefusesBadPropertyBlocks) {
    UnitRecord label = SampleTemplate().windows[0].units[2];
    const std::vector<uint8_t> good = WriteUnitRecord(label).value();
    ASSERT_EQ(ReadUnitRecord(label.id, good).value(), label);
    const std::size_t fontLengthAt = good.size() - 4 - std::get<LabelProps>(label.props).caption.size() - 60 - 4;
    const std::size_t versionAt = fontLengthAt - 16 * 4 - 4;

    std::vector<uint8_t> bytes = good;
    Put32(bytes, versionAt, 3);
    std::string error;
    EXPECT_FALSE(ReadUnitRecord(label.id, bytes, &error));
    EXPECT_NE(error.find("version"), std::string::npos) << error;

    // A font block that is not a whole LOGFONT.
    bytes = good;
    Put32(bytes, fontLengthAt, 59);
    EXPECT_FALSE(ReadUnitRecord(label.id, bytes));
    // A word-wrap flag that is neither 0 nor 1.
    bytes = good;
    Put32(bytes, fontLengthAt - 8, 2);
    EXPECT_FALSE(ReadUnitRecord(label.id, bytes));
    // Pointer blocks of other sizes than 4 (or 0, the arrow).
    bytes = good;
    const std::size_t cursorAt = 4 + 20 + label.name.size() + 1 + label.remark.size() + 1 + 28 + 4;
    ASSERT_EQ(bytes[cursorAt + 4], 0x89);  // low byte of 32649
    Put32(bytes, cursorAt, 2);
    EXPECT_FALSE(ReadUnitRecord(label.id, bytes));
}

TEST(FormTemplateFormat, EmptyPointerBlockReadsAsArrow) {
    UnitRecord label = SampleTemplate().windows[0].units[2];
    std::vector<uint8_t> bytes = WriteUnitRecord(label).value();
    const std::size_t cursorAt = 4 + 20 + label.name.size() + 1 + label.remark.size() + 1 + 28 + 4;
    Put32(bytes, cursorAt, 0);
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(cursorAt + 4),
                bytes.begin() + static_cast<std::ptrdiff_t>(cursorAt + 8));
    const auto read = ReadUnitRecord(label.id, bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->cursor, 0);
    EXPECT_EQ(read->props, label.props);
}

// ---- corruption never reads out of bounds (the host build runs under ASan)

TEST(FormTemplateCorruption, EveryTruncationIsRefused) {
    const std::vector<uint8_t> bytes = Written(SampleTemplate());
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        // A copy of exactly that size, so that ASan sees any read past it.
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(ReadFormTemplate(cut)) << "accepted at size " << size;
    }
}

// Whatever the reader accepts is a model that the writer stores again and
// the reader gives back unchanged: acceptance never yields a half-valid model.
void ExpectStableIfAccepted(const std::vector<uint8_t>& bytes, std::size_t at) {
    const auto read = ReadFormTemplate(bytes);
    if (!read) return;
    const auto rewritten = WriteFormTemplate(*read);
    ASSERT_TRUE(rewritten) << "change at byte " << at;
    const auto reread = ReadFormTemplate(*rewritten);
    ASSERT_TRUE(reread) << "change at byte " << at;
    EXPECT_EQ(*reread, *read) << "change at byte " << at;
}

TEST(FormTemplateCorruption, FlippedBytesAreRefusedOrReadConsistently) {
    const std::vector<uint8_t> bytes = Written(SampleTemplate());
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (uint8_t mask : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
            std::vector<uint8_t> flipped = bytes;
            flipped[at] ^= mask;
            ExpectStableIfAccepted(flipped, at);
        }
    }
}

TEST(FormTemplateCorruption, HugeLengthsAndCountsAreRefused) {
    const SampleLayout layout = Layout();
    for (uint32_t huge : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x10000000u}) {
        for (std::size_t at = 0; at + 4 <= layout.bytes.size(); ++at) {
            std::vector<uint8_t> changed = layout.bytes;
            Put32(changed, at, huge);
            ExpectStableIfAccepted(changed, at);
        }
        // The known length and count fields in particular.
        for (std::size_t at : {std::size_t{0}, std::size_t{36}, std::size_t{40}, layout.recordAt}) {
            std::vector<uint8_t> changed = layout.bytes;
            Put32(changed, at, huge);
            EXPECT_FALSE(ReadFormTemplate(changed)) << "value " << huge << " at byte " << at;
        }
    }
}

// ---- the start-up read

struct FatalMessage {
    std::string message;
};

bool ThrowFatalMessage(const std::string& message, const std::string&) { throw FatalMessage{message}; }

TEST(FormTemplateStartup, UnreadableTemplateIsFatalWithItsMessage) {
    SetFatalErrorHandler(ThrowFatalMessage);
    std::vector<uint8_t> bytes = Written(SampleTemplate());
    EXPECT_EQ(ReadFormTemplateOrFatal(bytes), SampleTemplate());
    bytes.pop_back();
    std::string message;
    try {
        ReadFormTemplateOrFatal(bytes);
    } catch (const FatalMessage& fatal) {
        message = fatal.message;
    }
    EXPECT_EQ(message, "载入窗口模板数据段出错!");
    try {
        ReadFormTemplateOrFatal({});
        message.clear();
    } catch (const FatalMessage& fatal) {
        message = fatal.message;
    }
    EXPECT_EQ(message, "载入窗口模板数据段出错!");
    SetFatalErrorHandler(nullptr);
}

// ---- fonts

TEST(FormTemplateLogFont, StoresTheFixedFieldsAndTheGbkFace) {
    const auto font = MakeLogFont("微软雅黑", 15);
    ASSERT_TRUE(font);
    const std::vector<uint8_t> expectedHead = {0xF1, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                               0x90, 0x01, 0, 0, 0, 0, 0, 134, 3, 2, 1, 0};
    EXPECT_EQ(std::vector<uint8_t>(font->begin(), font->begin() + 28), expectedHead);
    // "微软雅黑" in code page 936.
    const std::vector<uint8_t> face = {0xCE, 0xA2, 0xC8, 0xED, 0xD1, 0xC5, 0xBA, 0xDA};
    EXPECT_EQ(std::vector<uint8_t>(font->begin() + 28, font->begin() + 36), face);
    EXPECT_TRUE(std::all_of(font->begin() + 36, font->end(), [](uint8_t byte) { return byte == 0; }));

    EXPECT_EQ(LogFontHeight(*font), -15);
    EXPECT_EQ(LogFontPixelHeight(*font), 15);
    EXPECT_EQ(LogFontWeight(*font), 400);
    EXPECT_EQ(LogFontCharset(*font), 134);
    EXPECT_EQ(LogFontFace(*font), "微软雅黑");
}

TEST(FormTemplateLogFont, RefusesFacesThatDoNotFitAndBadHeights) {
    EXPECT_TRUE(MakeLogFont(std::string(31, 'a'), 1));
    EXPECT_FALSE(MakeLogFont(std::string(32, 'a'), 12));
    EXPECT_FALSE(MakeLogFont("", 12));
    EXPECT_FALSE(MakeLogFont(std::string("a\0b", 3), 12));
    EXPECT_FALSE(MakeLogFont("Arial", 0));
    EXPECT_FALSE(MakeLogFont("Arial", -3));

    // A face filling all 32 bytes (no terminator) reads back whole; a
    // positive stored height is taken as it is.
    LogFontBytes full = *MakeLogFont("Arial", 12);
    std::fill(full.begin() + 28, full.end(), 'x');
    EXPECT_EQ(LogFontFace(full), std::string(32, 'x'));
    full[0] = 20;
    full[1] = full[2] = full[3] = 0;
    EXPECT_EQ(LogFontPixelHeight(full), 20);
}

}  // namespace
}  // namespace zorv::ui
