// The main dialog's template 101 as a table, shared by the hosts that build the window themselves.
#include "sender/dialog/layout.h"

namespace dialog {

namespace {
constexpr unsigned kEditStyle = kWsBorder | kWsTabStop | kEsAutoHScroll;
constexpr unsigned kLabelStyle = kSsLeft | kSsCenterImage;

// Decoration texts of the template (replaced at run time only for the about text).
constexpr char kMakersBanner[] = "Tidewake Project\nWake-on-LAN test sender";
constexpr char kInitialAboutText[] = "Copyright (C) Tidewake Project\nVersion 2. 0. 0. 4";
}  // namespace

const LayoutControl kMainDialogControls[] = {
    {kIdTargetName, kClassEdit, nullptr, 0, kEditStyle, 60, 40, 95, 13},
    {kIdIpAddress, kClassIpAddress, "IPAddress1", 0, kWsTabStop, 60, 61, 95, 12},
    {kIdResolveIp, kClassButton, "&Resolve IP", 0, kBsPushButton | kWsTabStop, 60, 81, 64, 14},
    {kIdSubnetMask, kClassIpAddress, "IPAddress2", 0, 0, 213, 40, 109, 13},
    {kIdMacAddress, kClassEdit, nullptr, 0, kEditStyle, 213, 61, 109, 12},
    {kIdResolveMac, kClassButton, "&Get MacAddress (Local Subnet)", 0, kBsPushButton | kWsTabStop,
     213, 81, 109, 14},
    {kIdSendMagic, kClassButton, "Send &Magic Packet", 0, kBsDefPushButton | kWsTabStop, 15, 157,
     135, 14},
    {kIdSendShortUnsuspend, kClassButton, "Send Short &Unsuspend Datagram (Type=2)", 0,
     kBsPushButton | kWsTabStop, 180, 157, 145, 14},
    {kIdSendDirect, kClassButton, "Send Magic Packet &Direct (Type=4)", 0,
     kBsPushButton | kWsTabStop, 180, 177, 145, 14},
    {kIdHelp, kClassButton, nullptr, 0, kBsPushButton | kBsBitmap | kWsTabStop, 5, 12, 14, 13},
    {kIdBanner, kClassStatic, "Static", 0, kSsLeft, 238, 13, 75, 16},
    {kIdStatic, kClassStatic, "Target Name", 0, kLabelStyle, 11, 40, 42, 13},
    {kIdStatic, kClassStatic, "IP Address", 0, kLabelStyle, 11, 61, 35, 12},
    {kIdStatic, kClassStatic, "Subnet Mask", 0, kLabelStyle, 162, 40, 45, 13},
    {kIdStatic, kClassStatic, "Mac Address", 0, kLabelStyle, 162, 61, 45, 12},
    {kIdStatic, kClassButton, "Machine", 0, kBsGroupBox, 5, 29, 330, 75},
    {kIdStatic, kClassButton, "Nightbell Magic Packet", 0, kBsGroupBox, 5, 142, 155, 55},
    {kIdStatic, kClassStatic, nullptr, kIconDecoration, kSsIcon, 315, 205, 20, 20},
    {kIdStatic, kClassStatic, kMakersBanner, 0, kSsLeft, 205, 207, 107, 20},
    {kIdAbout, kClassStatic, kInitialAboutText, 0, kSsLeft, 5, 207, 144, 20},
    {kIdStatic, kClassStatic, nullptr, kIconMain, kSsIcon, 312, 5, 20, 20},
    {kIdStatic, kClassButton, "Other Magic Packet Types", 0, kBsGroupBox, 170, 142, 165, 55},
    {kIdStatic, kClassStatic, "Port Number", 0, kSsLeft, 11, 121, 42, 12},
    {kIdPortNumber, kClassEdit, nullptr, 0, kEditStyle | kEsNumber, 60, 119, 95, 14},
    {kIdStatic, kClassButton, "Configuration", 0, kBsGroupBox, 5, 109, 329, 28},
    // The status line, in the free right half of the Configuration frame, so that the
    // destination written after a send can be seen.
    {kIdStatus, kClassStatic, "", 0, kSsLeft, 170, 121, 160, 12},
};

const int kMainDialogControlCount =
    static_cast<int>(sizeof kMainDialogControls / sizeof kMainDialogControls[0]);

const LayoutControl* FindLayoutControl(int id) {
  if (id == kIdStatic) return nullptr;
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    if (kMainDialogControls[i].id == id) return &kMainDialogControls[i];
  }
  return nullptr;
}

namespace {
// Windows' MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}
}  // namespace

int DialogUnitsToPixelsX(int units, int average_char_width) {
  return MulDiv(units, average_char_width, 4);
}

int DialogUnitsToPixelsY(int units, int char_height) { return MulDiv(units, char_height, 8); }

}  // namespace dialog
