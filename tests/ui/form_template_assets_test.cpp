// The program's own template as the build packs it from assets/form/: the
// four windows, their units and the event bindings.  Natively the packed
// file of the build is read; in the Windows build the resource linked into
// this test program.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "ui/form_ids.h"
#include "ui/form_template.h"
#include "ui/form_template_format.h"
#include "ui/handlers.h"
#ifdef _WIN32
#include "ui/form_template_resource_win32.h"
#endif

namespace zorv::ui {
namespace {

#ifndef _WIN32
std::vector<uint8_t> PackedBytes() {
    std::ifstream file(ZORV_FORM_PACKED, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
#endif

const FormTemplate& Form() {
#ifdef _WIN32
    return LoadFormTemplateFromResource();
#else
    static const FormTemplate form = [] {
        std::string error;
        auto read = ReadFormTemplate(PackedBytes(), &error);
        EXPECT_TRUE(read) << error;
        return read.value_or(FormTemplate{});
    }();
    return form;
#endif
}

const UnitRecord& Unit(uint32_t windowId, uint32_t unitId) {
    const WindowRecord* window = Form().FindWindow(windowId);
    if (!window) throw std::runtime_error("window missing");
    const UnitRecord* unit = window->FindUnit(unitId);
    if (!unit) throw std::runtime_error("unit missing");
    return *unit;
}

template <typename Props>
const Props& PropsOf(uint32_t windowId, uint32_t unitId) {
    return std::get<Props>(Unit(windowId, unitId).props);
}

uint32_t H(Handler handler) { return static_cast<uint32_t>(handler); }

TEST(FormTemplateAssets, FourWindowsInTableOrderWithTheirUnits) {
    const FormTemplate& form = Form();
    ASSERT_EQ(form.windows.size(), 4u);
    const uint32_t windows[] = {ids::MainWindow, ids::OptionsPanel, ids::StatusBar, ids::ProgressPanel};
    const uint32_t windowUnits[] = {ids::MainWindowUnit, ids::OptionsPanelUnit, ids::StatusBarUnit,
                                    ids::ProgressPanelUnit};
    const std::size_t unitCounts[] = {11, 11, 6, 24};
    for (std::size_t index = 0; index < 4; ++index) {
        EXPECT_EQ(form.windows[index].id, windows[index]);
        ASSERT_NE(form.windows[index].WindowUnit(), nullptr);
        EXPECT_EQ(form.windows[index].WindowUnit()->id, windowUnits[index]);
        EXPECT_EQ(form.windows[index].units.size(), unitCounts[index]);
    }
}

TEST(FormTemplateAssets, WindowUnitsAndTheirVisibility) {
    struct Expected { uint32_t window, unit; int32_t width, height; bool visible; };
    for (const Expected& e : {Expected{ids::MainWindow, ids::MainWindowUnit, 1365, 902, true},
                              Expected{ids::OptionsPanel, ids::OptionsPanelUnit, 1365, 250, false},
                              Expected{ids::StatusBar, ids::StatusBarUnit, 1365, 66, false},
                              Expected{ids::ProgressPanel, ids::ProgressPanelUnit, 964, 700, false}}) {
        const UnitRecord& unit = Unit(e.window, e.unit);
        EXPECT_EQ(unit.type, UnitType::Window);
        EXPECT_EQ((std::vector<int32_t>{unit.left, unit.top, unit.width, unit.height}),
                  (std::vector<int32_t>{50, 50, e.width, e.height}));
        EXPECT_EQ(unit.visible(), e.visible) << std::hex << e.window;
        EXPECT_EQ(std::get<WindowProps>(unit.props).borderStyle, 0);
    }
    const auto& main = PropsOf<WindowProps>(ids::MainWindow, ids::MainWindowUnit);
    EXPECT_EQ(main.title, "Zorvane安装卸载程序");
    EXPECT_TRUE(main.centredAtStart);
    ASSERT_GE(main.icon.size(), 6u);
    EXPECT_EQ(main.icon[2], 1);  // ICO type
    EXPECT_EQ(main.icon[4], 9);  // nine images
    const auto& options = PropsOf<WindowProps>(ids::OptionsPanel, ids::OptionsPanelUnit);
    EXPECT_TRUE(options.title.empty());
    EXPECT_TRUE(options.icon.empty());
}

TEST(FormTemplateAssets, EveryControlHasAParentAndContainersCoverTheirWindow) {
    const std::map<uint32_t, std::pair<uint32_t, std::size_t>> containers = {
        {ids::MainWindow, {ids::MainBackground, 9}},
        {ids::OptionsPanel, {ids::OptionsBackground, 9}},
        {ids::StatusBar, {ids::StatusBackground, 4}},
        {ids::ProgressPanel, {ids::ProgressBackground, 22}},
    };
    for (const WindowRecord& window : Form().windows) {
        const auto [containerId, childCount] = containers.at(window.id);
        const UnitRecord& container = Unit(window.id, containerId);
        const UnitRecord& windowUnit = *window.WindowUnit();
        EXPECT_EQ(container.type, UnitType::PictureBox);
        EXPECT_EQ(container.parent, 0u);
        EXPECT_EQ((std::vector<int32_t>{container.left, container.top, container.width, container.height}),
                  (std::vector<int32_t>{0, 0, windowUnit.width, windowUnit.height}));
        EXPECT_EQ(container.children.size(), childCount);
        EXPECT_EQ(windowUnit.children, std::vector<uint32_t>{containerId});
        // All other controls lie on the container, in unit order.
        std::vector<uint32_t> others;
        for (const UnitRecord& unit : window.units)
            if (unit.id != windowUnit.id && unit.id != containerId) {
                EXPECT_EQ(unit.parent, containerId) << unit.name;
                others.push_back(unit.id);
            }
        EXPECT_EQ(container.children, others);
    }
}

TEST(FormTemplateAssets, UnitNamesMatchTheirIdentifiers) {
    const std::map<std::string, uint32_t> expected = {
        {"MainBackground", ids::MainBackground}, {"LogoImage", ids::LogoImage}, {"CloseButton", ids::CloseButton},
        {"InstallButton", ids::InstallButton}, {"UninstallButton", ids::UninstallButton},
        {"DragHandleSmall", ids::DragHandleSmall}, {"DragHandleHidden", ids::DragHandleHidden},
        {"OptionsIcon", ids::OptionsIcon}, {"OptionsLink", ids::OptionsLink},
        {"InstallPathLabel", ids::InstallPathLabel}, {"OptionsBackground", ids::OptionsBackground},
        {"OptionsBackIcon", ids::OptionsBackIcon}, {"OptionsBackLink", ids::OptionsBackLink},
        {"PathFrame", ids::PathFrame}, {"PathEdit", ids::PathEdit}, {"BrowseIcon", ids::BrowseIcon},
        {"DesktopShortcutCheck", ids::DesktopShortcutCheck}, {"StartMenuCheck", ids::StartMenuCheck},
        {"DiskSpaceLabel", ids::DiskSpaceLabel}, {"ConfirmButton", ids::ConfirmButton},
        {"StatusBackground", ids::StatusBackground}, {"StatusIcon", ids::StatusIcon},
        {"StatusSpinner", ids::StatusSpinner}, {"StatusText", ids::StatusText}, {"StatusClose", ids::StatusClose},
        {"ProgressBackground", ids::ProgressBackground}, {"FrameTop", ids::FrameTop},
        {"FrameBottom", ids::FrameBottom}, {"FrameLeft", ids::FrameLeft}, {"FrameRight", ids::FrameRight},
        {"HeaderSeparator", ids::HeaderSeparator}, {"HeaderBlock1", ids::HeaderBlock1},
        {"HeaderBlock2", ids::HeaderBlock2}, {"HeaderBlock3", ids::HeaderBlock3}, {"HeaderBlock4", ids::HeaderBlock4},
        {"HeaderBlock5", ids::HeaderBlock5}, {"HeaderBlock6", ids::HeaderBlock6}, {"BodyBlock1", ids::BodyBlock1},
        {"BodyBlock2", ids::BodyBlock2}, {"BodyBlock3", ids::BodyBlock3}, {"BodyBlock4", ids::BodyBlock4},
        {"BodyBlock5", ids::BodyBlock5}, {"BodyBlock6", ids::BodyBlock6}, {"FooterBlock1", ids::FooterBlock1},
        {"FooterBlock2", ids::FooterBlock2}, {"FooterBlock3", ids::FooterBlock3}, {"FooterBlock4", ids::FooterBlock4},
        {"InstallNotifier", ids::InstallNotifier},
    };
    std::size_t controls = 0;
    for (const WindowRecord& window : Form().windows)
        for (const UnitRecord& unit : window.units) {
            if (unit.type == UnitType::Window) continue;
            ++controls;
            ASSERT_TRUE(expected.contains(unit.name)) << unit.name;
            EXPECT_EQ(unit.id, expected.at(unit.name)) << unit.name;
        }
    EXPECT_EQ(controls, expected.size());
}

TEST(FormTemplateAssets, HiddenUnitsAndStartStates) {
    EXPECT_FALSE(Unit(ids::MainWindow, ids::DragHandleHidden).visible());
    EXPECT_FALSE(Unit(ids::StatusBar, ids::StatusSpinner).visible());
    EXPECT_FALSE(Unit(ids::ProgressPanel, ids::InstallNotifier).visible());
    EXPECT_TRUE(Unit(ids::MainWindow, ids::DragHandleSmall).visible());
    EXPECT_TRUE(Unit(ids::MainWindow, ids::UninstallButton).visible());

    for (uint32_t check : {ids::DesktopShortcutCheck, ids::StartMenuCheck}) {
        const auto& props = PropsOf<ImageButtonProps>(ids::OptionsPanel, check);
        EXPECT_TRUE(props.checkBox);
        EXPECT_TRUE(props.checked);
        EXPECT_FALSE(props.picOut.empty());
        EXPECT_FALSE(props.picIn.empty());
    }
    const auto& frame = PropsOf<ImageButtonProps>(ids::OptionsPanel, ids::PathFrame);
    EXPECT_TRUE(frame.checkBox);
    EXPECT_FALSE(frame.checked);

    const auto& edit = PropsOf<EditBoxProps>(ids::OptionsPanel, ids::PathEdit);
    EXPECT_EQ(edit.text, "C:\\Program Files (x86)\\zorv");
    EXPECT_EQ(edit.textLimit, 50);
    EXPECT_FALSE(edit.multiLine);
    EXPECT_TRUE(edit.hideSelection);
    EXPECT_EQ(edit.borderStyle, 0);
    ASSERT_TRUE(edit.font);
    EXPECT_EQ(LogFontFace(*edit.font), "微软雅黑");
    EXPECT_EQ(LogFontPixelHeight(*edit.font), 15);
    // Image buttons and the edit box take the keyboard focus.
    EXPECT_EQ(Unit(ids::OptionsPanel, ids::PathEdit).stateFlags, 5u);
    EXPECT_EQ(Unit(ids::OptionsPanel, ids::ConfirmButton).stateFlags, 5u);
    EXPECT_EQ(Unit(ids::OptionsPanel, ids::DiskSpaceLabel).stateFlags, 1u);
}

TEST(FormTemplateAssets, HandPointerOnlyWhereStored) {
    const std::set<uint32_t> hand = {ids::CloseButton,     ids::InstallButton,   ids::UninstallButton,
                                     ids::OptionsIcon,     ids::OptionsLink,     ids::InstallPathLabel,
                                     ids::OptionsBackIcon, ids::OptionsBackLink, ids::PathFrame,
                                     ids::BrowseIcon,      ids::ConfirmButton,   ids::StatusClose};
    for (const WindowRecord& window : Form().windows)
        for (const UnitRecord& unit : window.units)
            EXPECT_EQ(unit.cursor, hand.contains(unit.id) ? kHandCursor : 0) << unit.name;
}

TEST(FormTemplateAssets, TextsFontsColoursAndAlignment) {
    const auto& path = PropsOf<LabelProps>(ids::MainWindow, ids::InstallPathLabel);
    EXPECT_EQ(path.caption, "当前安装路径 C:\\Program Files (x86)\\zorv");
    EXPECT_EQ(LogFontPixelHeight(path.font.value()), 17);
    EXPECT_EQ(path.textColor, 0x808080u);
    EXPECT_EQ(path.backgroundColor, 0xFFFFFFu);
    EXPECT_EQ(path.horizontalAlign, 1);
    EXPECT_TRUE(path.wordWrap);

    const auto& disk = PropsOf<LabelProps>(ids::OptionsPanel, ids::DiskSpaceLabel);
    EXPECT_EQ(disk.caption, "磁盘空间至少需要 100 MB");
    EXPECT_EQ(disk.horizontalAlign, 2);
    for (uint32_t id : {ids::StatusIcon, ids::StatusText}) {
        const auto& label = PropsOf<LabelProps>(ids::StatusBar, id);
        EXPECT_EQ(label.horizontalAlign, 1);
        EXPECT_EQ(label.textColor, 0xFFFFFFu);
        EXPECT_EQ(label.backgroundColor, 0x0075A839u);  // RGB (57, 168, 117)
        EXPECT_EQ(LogFontPixelHeight(label.font.value()), 18);
    }
    EXPECT_EQ(PropsOf<LabelProps>(ids::StatusBar, ids::StatusIcon).caption, "3.0");
    EXPECT_EQ(PropsOf<LabelProps>(ids::StatusBar, ids::StatusText).caption, "复制成功");
    EXPECT_EQ(PropsOf<PictureBoxProps>(ids::StatusBar, ids::StatusSpinner).backgroundColor, 0x00679331u);

    EXPECT_EQ(PropsOf<ImageButtonProps>(ids::MainWindow, ids::OptionsLink).caption, "自定义选项");
    EXPECT_EQ(PropsOf<ImageButtonProps>(ids::MainWindow, ids::OptionsLink).fgColorOut, 0x606060u);
    EXPECT_EQ(PropsOf<ImageButtonProps>(ids::OptionsPanel, ids::OptionsBackLink).caption, "自定义选项");
    EXPECT_EQ(PropsOf<ImageButtonProps>(ids::OptionsPanel, ids::DesktopShortcutCheck).caption, "桌面快捷方式");
    EXPECT_EQ(PropsOf<ImageButtonProps>(ids::OptionsPanel, ids::StartMenuCheck).caption, "添加到开机菜单");
    for (auto [window, id] : {std::pair{ids::MainWindow, ids::InstallButton},
                              std::pair{ids::MainWindow, ids::UninstallButton},
                              std::pair{ids::OptionsPanel, ids::ConfirmButton}}) {
        const auto& button = PropsOf<ImageButtonProps>(window, id);
        EXPECT_TRUE(button.caption.empty());
        EXPECT_FALSE(button.picOut.empty());
        EXPECT_TRUE(button.picIn.empty());
    }
    const auto& install = PropsOf<ImageButtonProps>(ids::MainWindow, ids::InstallButton);
    EXPECT_EQ(LogFontFace(install.font.value()), "HarmonyOS Sans SC");
    EXPECT_EQ(LogFontPixelHeight(PropsOf<ImageButtonProps>(ids::OptionsPanel, ids::ConfirmButton).font.value()), 23);

    EXPECT_EQ(PropsOf<PictureBoxProps>(ids::MainWindow, ids::MainBackground).imageMode, 1);
    for (auto [window, id] : {std::pair{ids::MainWindow, ids::LogoImage}, std::pair{ids::MainWindow, ids::OptionsIcon},
                              std::pair{ids::OptionsPanel, ids::BrowseIcon}, std::pair{ids::StatusBar, ids::StatusClose}})
        EXPECT_EQ(PropsOf<PictureBoxProps>(window, id).imageMode, 2);
    for (const UnitRecord& unit : Form().FindWindow(ids::ProgressPanel)->units)
        if (unit.type == UnitType::ShapeBox) {
            const auto& shape = std::get<ShapeBoxProps>(unit.props);
            EXPECT_EQ(shape.outlineColor, 0xD9D9D9u);
            EXPECT_EQ(shape.fillColor, 0xD9D9D9u);
        }
}

TEST(FormTemplateAssets, RectanglesOfSampleControls) {
    auto rect = [](uint32_t window, uint32_t id) {
        const UnitRecord& unit = Unit(window, id);
        return std::vector<int32_t>{unit.left, unit.top, unit.width, unit.height};
    };
    EXPECT_EQ(rect(ids::MainWindow, ids::InstallButton), (std::vector<int32_t>{626, 574, 132, 52}));
    EXPECT_EQ(rect(ids::MainWindow, ids::UninstallButton), rect(ids::MainWindow, ids::InstallButton));
    EXPECT_EQ(rect(ids::OptionsPanel, ids::PathFrame), (std::vector<int32_t>{-4, 64, 1370, 72}));
    EXPECT_EQ(rect(ids::OptionsPanel, ids::ConfirmButton), (std::vector<int32_t>{1112, 142, 263, 104}));
    EXPECT_EQ(rect(ids::StatusBar, ids::StatusClose), (std::vector<int32_t>{1319, 17, 32, 32}));
    EXPECT_EQ(rect(ids::ProgressPanel, ids::HeaderBlock4), (std::vector<int32_t>{536, 28, 210, 40}));
    EXPECT_EQ(rect(ids::ProgressPanel, ids::BodyBlock6), (std::vector<int32_t>{26, 432, 216, 200}));
    EXPECT_EQ(rect(ids::ProgressPanel, ids::FooterBlock3), (std::vector<int32_t>{768, 648, 80, 30}));
    EXPECT_EQ(rect(ids::ProgressPanel, ids::InstallNotifier), (std::vector<int32_t>{344, 64, 72, 32}));
}

TEST(FormTemplateAssets, EveryBindingOfTheBindingTable) {
    struct Binding { uint32_t window, unit; int32_t event; uint32_t handler; };
    const Binding bindings[] = {
        {ids::MainWindow, ids::MainWindowUnit, ids::event::Created, H(Handler::MainWindowCreated)},
        {ids::MainWindow, ids::MainWindowUnit, ids::event::CloseRequested, H(Handler::MainWindowClosing)},
        {ids::MainWindow, ids::MainWindowUnit, ids::event::PositionChanged, H(Handler::MainWindowMoved)},
        {ids::MainWindow, ids::MainBackground, ids::event::LeftButtonDown, H(Handler::DragMainWindow)},
        {ids::MainWindow, ids::DragHandleSmall, ids::event::LeftButtonDown, H(Handler::DragMainWindow)},
        {ids::MainWindow, ids::DragHandleHidden, ids::event::LeftButtonDown, H(Handler::DragMainWindow)},
        {ids::MainWindow, ids::CloseButton, ids::event::Clicked, H(Handler::CloseClicked)},
        {ids::MainWindow, ids::InstallButton, ids::event::Clicked, H(Handler::InstallClicked)},
        {ids::MainWindow, ids::UninstallButton, ids::event::Clicked, H(Handler::UninstallClicked)},
        {ids::MainWindow, ids::OptionsLink, ids::event::Clicked, H(Handler::ShowOptions)},
        {ids::MainWindow, ids::OptionsIcon, ids::event::LeftButtonDown, H(Handler::ShowOptions)},
        {ids::MainWindow, ids::InstallPathLabel, ids::event::LeftButtonDown, H(Handler::ShowOptions)},
        {ids::OptionsPanel, ids::OptionsPanelUnit, ids::event::Created, H(Handler::OptionsPanelCreated)},
        {ids::OptionsPanel, ids::OptionsPanelUnit, ids::event::Shown, H(Handler::OptionsPanelShown)},
        {ids::OptionsPanel, ids::OptionsPanelUnit, ids::event::Hidden, H(Handler::OptionsPanelHidden)},
        {ids::OptionsPanel, ids::OptionsBackLink, ids::event::Clicked, H(Handler::HideOptions)},
        {ids::OptionsPanel, ids::OptionsBackIcon, ids::event::LeftButtonDown, H(Handler::HideOptions)},
        {ids::OptionsPanel, ids::BrowseIcon, ids::event::LeftButtonDown, H(Handler::BrowseFolder)},
        {ids::OptionsPanel, ids::PathEdit, ids::event::FocusGained, H(Handler::PathEditFocusGained)},
        {ids::OptionsPanel, ids::PathEdit, ids::event::FocusLost, H(Handler::PathEditFocusLost)},
        {ids::OptionsPanel, ids::PathEdit, ids::event::KeyDown, H(Handler::PathEditKeyDown)},
        {ids::OptionsPanel, ids::PathFrame, ids::event::Clicked, H(Handler::PathFrameClicked)},
        {ids::OptionsPanel, ids::ConfirmButton, ids::event::Clicked, H(Handler::ConfirmClicked)},
        {ids::StatusBar, ids::StatusClose, ids::event::LeftButtonDown, H(Handler::HideStatusBar)},
        {ids::ProgressPanel, ids::ProgressPanelUnit, ids::event::Shown, H(Handler::ProgressPanelShown)},
        {ids::ProgressPanel, ids::ProgressPanelUnit, ids::event::Hidden, H(Handler::ProgressPanelHidden)},
        {ids::ProgressPanel, ids::InstallNotifier, ids::event::Notification, H(Handler::InstallNotified)},
    };
    std::size_t bound = 0;
    for (const Binding& binding : bindings) {
        EXPECT_EQ(Unit(binding.window, binding.unit).HandlerFor(binding.event), binding.handler)
            << std::hex << binding.unit << " event " << std::dec << binding.event;
    }
    // Nothing else is bound: units without a row have no handler.
    for (const WindowRecord& window : Form().windows)
        for (const UnitRecord& unit : window.units)
            for (const EventBinding& event : unit.events)
                if (event.handler != kNoHandler) ++bound;
    EXPECT_EQ(bound, std::size(bindings));
    // The created events of StatusBar and ProgressPanel run nothing.
    EXPECT_EQ(Unit(ids::StatusBar, ids::StatusBarUnit).HandlerFor(ids::event::Created), kNoHandler);
    EXPECT_EQ(Unit(ids::ProgressPanel, ids::ProgressPanelUnit).HandlerFor(ids::event::Created), kNoHandler);
}

TEST(FormTemplateAssets, ImagesAreRgbaPngsOfTheirBoxSizes) {
    const auto& background = PropsOf<PictureBoxProps>(ids::MainWindow, ids::MainBackground);
    ASSERT_GE(background.image.size(), 26u);
    auto be32 = [](const PngBytes& png, std::size_t at) {
        return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 | png[at + 3];
    };
    EXPECT_EQ(be32(background.image, 16), 1365u);
    EXPECT_EQ(be32(background.image, 20), 902u);
    EXPECT_EQ(background.image[24], 8);
    EXPECT_EQ(background.image[25], 6);
    const auto& field = PropsOf<ImageButtonProps>(ids::OptionsPanel, ids::PathFrame);
    EXPECT_EQ(be32(field.picIn, 16), 1311u);
    EXPECT_NE(field.picIn, field.picOut);
}

#ifndef _WIN32
TEST(FormTemplateAssets, PackedTruncationsAreRefused) {
    const std::vector<uint8_t> bytes = PackedBytes();
    ASSERT_FALSE(bytes.empty());
    // Every offset of the window tables and unit heads, then a stride
    // through the image payloads.
    for (std::size_t size = 0; size < bytes.size(); size += size < 8192 ? 1 : 997) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(ReadFormTemplate(cut)) << size;
    }
}
#endif

}  // namespace
}  // namespace zorv::ui
