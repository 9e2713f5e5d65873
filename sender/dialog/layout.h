// The main dialog's template 101 as a table, generated from the resource script by layout_table.cmake.
#pragma once

namespace dialog {

// Resource ids.
constexpr int kTemplateMainDialog = 101;
constexpr int kIconMain = 103;        // the dialog's class icon
constexpr int kIconDecoration = 108;  // the icon beside the maker's banner line
constexpr int kBitmapHelp = 109;      // the image of the help button

// Control ids.
constexpr int kIdStatic = -1;         // labels, frames and decorations
constexpr int kIdTargetName = 1000;
constexpr int kIdIpAddress = 1001;
constexpr int kIdMacAddress = 1002;
constexpr int kIdSubnetMask = 1003;
constexpr int kIdSendMagic = 1004;
constexpr int kIdSendShortUnsuspend = 1005;
constexpr int kIdResolveIp = 1007;
constexpr int kIdResolveMac = 1008;
constexpr int kIdPortNumber = 1009;
constexpr int kIdStatus = 1010;
constexpr int kIdSendDirect = 1012;
constexpr int kIdBanner = 1015;
constexpr int kIdAbout = 1016;
constexpr int kIdHelp = 1017;

// Window classes of the template.
constexpr char kClassEdit[] = "EDIT";
constexpr char kClassIpAddress[] = "SysIPAddress32";
constexpr char kClassButton[] = "BUTTON";
constexpr char kClassStatic[] = "STATIC";

// Style bits, Windows' numbering (the low 16 bits depend on the class).
constexpr unsigned kWsTabStop = 0x00010000;
constexpr unsigned kWsGroup = 0x00020000;
constexpr unsigned kWsBorder = 0x00800000;
constexpr unsigned kEsAutoHScroll = 0x0080;
constexpr unsigned kEsNumber = 0x2000;
constexpr unsigned kBsPushButton = 0x0000;
constexpr unsigned kBsDefPushButton = 0x0001;
constexpr unsigned kBsGroupBox = 0x0007;
constexpr unsigned kBsBitmap = 0x0080;
constexpr unsigned kBsTypeMask = 0x000F;
constexpr unsigned kSsLeft = 0x0000;
constexpr unsigned kSsIcon = 0x0003;
constexpr unsigned kSsTypeMask = 0x001F;
constexpr unsigned kSsCenterImage = 0x0200;  // a text static: vertically centred

// The dialog's frame, from the template's header: size in dialog units, font, initial caption.
extern const int kDialogWidth;
extern const int kDialogHeight;
extern const char kDialogFontFace[];
extern const int kDialogFontPoints;
extern const char kDialogInitialCaption[];

struct LayoutControl {
  int id;                  // kIdStatic for controls the procedure never addresses
  const char* class_name;  // one of the kClass... names
  const char* text;        // initial text, or nullptr where the template has none or ""
  int image;               // icon resource of an icon static, else 0
  unsigned style;          // kWs..., kEs..., kBs..., kSs... bits
  int x, y, width, height; // dialog units
};

// The controls in template order, which is also the tab order.
extern const LayoutControl kMainDialogControls[];
extern const int kMainDialogControlCount;

// Dialog units to pixels with the dialog font's average character width and height, as
// Windows' MapDialogRect does: x * width / 4 and y * height / 8, rounded to nearest.
int DialogUnitsToPixelsX(int units, int average_char_width);
int DialogUnitsToPixelsY(int units, int char_height);

}  // namespace dialog
