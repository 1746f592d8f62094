#pragma once
// Identifiers of the program's windows and units in the form template.
#include <cstdint>

namespace zorv::ui::ids {

// Windows and their window units.
constexpr uint32_t MainWindow = 0x52010001, MainWindowUnit = 0x06010000;
constexpr uint32_t OptionsPanel = 0x52010E56, OptionsPanelUnit = 0x06010E55;
constexpr uint32_t StatusBar = 0x52010ED0, StatusBarUnit = 0x06010ED1;
constexpr uint32_t ProgressPanel = 0x52011A2A, ProgressPanelUnit = 0x06011A29;

// MainWindow
constexpr uint32_t MainBackground = 0x16010E2D;
constexpr uint32_t LogoImage = 0x1601A8A1;
constexpr uint32_t CloseButton = 0x1601A89F;
constexpr uint32_t InstallButton = 0x1601A8A2;
constexpr uint32_t UninstallButton = 0x1601A89E;
constexpr uint32_t DragHandleSmall = 0x1601A8A0;
constexpr uint32_t DragHandleHidden = 0x1601A902;
constexpr uint32_t OptionsIcon = 0x1601A89C;
constexpr uint32_t OptionsLink = 0x1601A89B;
constexpr uint32_t InstallPathLabel = 0x1601A89D;

// OptionsPanel
constexpr uint32_t OptionsBackground = 0x16010E57;
constexpr uint32_t OptionsBackIcon = 0x16010E8F;
constexpr uint32_t OptionsBackLink = 0x16010E8E;
constexpr uint32_t PathFrame = 0x1601A8A5;
constexpr uint32_t PathEdit = 0x1601A8A7;
constexpr uint32_t BrowseIcon = 0x1601A8A6;
constexpr uint32_t DesktopShortcutCheck = 0x1601A8A3;
constexpr uint32_t StartMenuCheck = 0x1601A8A4;
constexpr uint32_t DiskSpaceLabel = 0x16010EA2;
constexpr uint32_t ConfirmButton = 0x1601A87E;

// StatusBar
constexpr uint32_t StatusBackground = 0x16010ED6;
constexpr uint32_t StatusIcon = 0x16010ED2;
constexpr uint32_t StatusSpinner = 0x16010ED4;
constexpr uint32_t StatusText = 0x16010ED5;
constexpr uint32_t StatusClose = 0x16010ED3;

// ProgressPanel
constexpr uint32_t ProgressBackground = 0x16011A2B;
constexpr uint32_t FrameTop = 0x16011A2C, FrameBottom = 0x16011A69, FrameLeft = 0x16011A3E,
                   FrameRight = 0x1601A8AE, HeaderSeparator = 0x1601A8AF;
constexpr uint32_t HeaderBlock1 = 0x16011A3D, HeaderBlock2 = 0x1601A8B0, HeaderBlock3 = 0x1601A8B1,
                   HeaderBlock4 = 0x1601A8B4, HeaderBlock5 = 0x1601A8B2, HeaderBlock6 = 0x1601A8B3;
constexpr uint32_t BodyBlock1 = 0x1601A8B6, BodyBlock2 = 0x1601A8B8, BodyBlock3 = 0x1601A8F9,
                   BodyBlock4 = 0x1601A8FB, BodyBlock5 = 0x1601A8FA, BodyBlock6 = 0x1601A8FC;
constexpr uint32_t FooterBlock1 = 0x1601A8BA, FooterBlock2 = 0x1601A8BB, FooterBlock3 = 0x1601A8BD,
                   FooterBlock4 = 0x1601A8BC;
constexpr uint32_t InstallNotifier = 0x16011AB0;

// Property numbers shared by every unit.
namespace prop {
constexpr int Left = 0, Top = 1, Width = 2, Height = 3, Tag = 4, Visible = 5, Disabled = 6, MousePointer = 7;
constexpr int Caption = 8;   // label caption, edit box text
constexpr int Checked = 10;  // image button
}  // namespace prop

// Event numbers.
namespace event {
constexpr int Created = 0, CloseRequested = 1, PositionChanged = 3, SizeChanged = 4, Shown = 10, Hidden = 11;
constexpr int Clicked = 0;       // image button
constexpr int Notification = 0;  // label, raised by the program
constexpr int LeftButtonDown = -1, LeftButtonUp = -2, DoubleClick = -3, RightButtonDown = -4,
              RightButtonUp = -5, MouseMove = -6, FocusGained = -7, FocusLost = -8, KeyDown = -9, KeyUp = -10,
              Char = -11, Wheel = -12;
}  // namespace event

}  // namespace zorv::ui::ids
