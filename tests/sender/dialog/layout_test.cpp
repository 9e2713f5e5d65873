// The generated layout table: what the dialog relies on, the generator on a sample script, units.
#include "sender/dialog/layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/sender/dialog/layout_lookup.h"

// The table generated from template 1 of layout_table_test.rc.
namespace sample {
extern const dialog::LayoutControl kMainDialogControls[];
extern const int kMainDialogControlCount;
extern const int kDialogWidth;
extern const int kDialogHeight;
extern const char kDialogFontFace[];
extern const int kDialogFontPoints;
extern const char kDialogInitialCaption[];
}  // namespace sample

namespace {

using namespace dialog;

bool IsButton(const LayoutControl& control) { return std::strcmp(control.class_name, kClassButton) == 0; }

int CountWithId(int id) {
  int count = 0;
  for (int i = 0; i < kMainDialogControlCount; ++i) count += kMainDialogControls[i].id == id ? 1 : 0;
  return count;
}

// Every control the procedure addresses exists once, with the class it talks to and the style
// bits its behaviour needs (digits only in the port field, an image on the help button).
TEST(LayoutTest, AddressedControlsHaveTheirClassTabStopAndStyle) {
  struct Case {
    int id;
    const char* class_name;
    bool tab_stop;
    unsigned bits;
  };
  const Case cases[] = {
      {kIdTargetName, kClassEdit, true, 0},
      {kIdIpAddress, kClassIpAddress, true, 0},
      {kIdSubnetMask, kClassIpAddress, false, 0},
      {kIdMacAddress, kClassEdit, true, 0},
      {kIdPortNumber, kClassEdit, true, kEsNumber},
      {kIdResolveIp, kClassButton, true, 0},
      {kIdResolveMac, kClassButton, true, 0},
      {kIdSendMagic, kClassButton, true, 0},
      {kIdSendShortUnsuspend, kClassButton, true, 0},
      {kIdSendDirect, kClassButton, true, 0},
      {kIdHelp, kClassButton, true, kBsBitmap},
      {kIdBanner, kClassStatic, false, 0},
      {kIdAbout, kClassStatic, false, 0},
      {kIdStatus, kClassStatic, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(1, CountWithId(c.id));
    const LayoutControl* control = FindLayoutControl(c.id);
    ASSERT_NE(nullptr, control);
    EXPECT_STREQ(c.class_name, control->class_name);
    EXPECT_EQ(c.tab_stop, (control->style & kWsTabStop) != 0);
    EXPECT_EQ(c.bits, control->style & c.bits);
  }
}

// Enter sends the magic packet: it is the one default push button.
TEST(LayoutTest, SendMagicPacketIsTheOnlyDefaultPushButton) {
  std::vector<int> defaults;
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    const LayoutControl& control = kMainDialogControls[i];
    if (IsButton(control) && (control.style & kBsTypeMask) == kBsDefPushButton) {
      defaults.push_back(control.id);
    }
  }
  EXPECT_EQ(std::vector<int>{kIdSendMagic}, defaults);
}

// The hosts tab through the controls in table order, which is the template's.
TEST(LayoutTest, TabOrderIsTemplateOrder) {
  std::vector<int> tab_order;
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    if ((kMainDialogControls[i].style & kWsTabStop) != 0) tab_order.push_back(kMainDialogControls[i].id);
  }
  const std::vector<int> expected = {kIdTargetName, kIdIpAddress,          kIdResolveIp,
                                     kIdMacAddress, kIdResolveMac,         kIdSendMagic,
                                     kIdSendShortUnsuspend, kIdSendDirect, kIdHelp,
                                     kIdPortNumber};
  EXPECT_EQ(expected, tab_order);
}

// The about and banner texts are two lines: the script's "\n" arrives as a line break.
TEST(LayoutTest, ScriptEscapesArriveAsCharacters) {
  const LayoutControl* about = FindLayoutControl(kIdAbout);
  ASSERT_NE(nullptr, about);
  ASSERT_NE(nullptr, about->text);
  EXPECT_NE(nullptr, std::strchr(about->text, '\n'));
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    const char* text = kMainDialogControls[i].text;
    if (text != nullptr) {
      EXPECT_EQ(nullptr, std::strchr(text, '\\')) << text;
    }
  }
}

bool Overlaps(const LayoutControl& a, const LayoutControl& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool Inside(const LayoutControl& inner, const LayoutControl& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

// The status line the procedure writes to must be on the dialog, visible and uncovered.
TEST(LayoutTest, StatusLineIsAVisibleStaticOfItsOwn) {
  const LayoutControl* status = FindLayoutControl(kIdStatus);
  ASSERT_NE(nullptr, status);
  EXPECT_STREQ("STATIC", status->class_name);
  EXPECT_GE(status->width, 4 * 28);  // "Pkt. sent to 255.255.255.255" at 4 units a character
  EXPECT_GE(status->height, 8);
  EXPECT_GE(status->x, 0);
  EXPECT_GE(status->y, 0);
  EXPECT_LE(status->x + status->width, kDialogWidth);
  EXPECT_LE(status->y + status->height, kDialogHeight);
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    const LayoutControl& other = kMainDialogControls[i];
    if (&other == status) continue;
    bool frame = IsButton(other) && (other.style & kBsTypeMask) == kBsGroupBox;
    if (frame && Inside(*status, other)) continue;
    EXPECT_FALSE(Overlaps(*status, other)) << "overlaps control " << i;
  }
}

// Template 1 of layout_table_test.rc: each statement kind with and without a style of its own,
// a continued line, "//" inside a text, hex ids and every escape the generator takes over.
TEST(LayoutTableGenerator, WritesEachStatementWithTheCompilersDefaults) {
  const LayoutControl expected[] = {
      {10, "EDIT", nullptr, 0, kWsBorder | kWsTabStop, 1, 2, 3, 4},
      {11, "EDIT", nullptr, 0, kWsBorder | kWsTabStop | kEsNumber, 5, 6, 7, 8},
      {12, "SysIPAddress32", "Parts", 0, 0, 9, 10, 11, 12},
      {13, "BUTTON", nullptr, 0, kBsGroupBox | kWsTabStop, 13, 14, 15, 16},
      {14, "BUTTON", "&Go // on", 0, kBsPushButton | kWsTabStop, 17, 18, 19, 20},
      {15, "BUTTON", "Def", 0, kBsDefPushButton | kWsTabStop | kBsBitmap, 21, 22, 23, 24},
      {-1, "STATIC", "two\nlines\tand \\ \"quoted\"; kept", 0, kSsLeft | kWsGroup | kSsCenterImage, 25,
       26, 27, 28},
      {-1, "BUTTON", "Frame", 0, kBsGroupBox, 29, 30, 31, 32},
      {16, "STATIC", nullptr, 108, kSsIcon, 33, 34, 35, 36},
  };
  ASSERT_EQ(static_cast<int>(sizeof expected / sizeof expected[0]), sample::kMainDialogControlCount);
  for (int i = 0; i < sample::kMainDialogControlCount; ++i) {
    const LayoutControl& want = expected[i];
    const LayoutControl& got = sample::kMainDialogControls[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(want.id, got.id);
    EXPECT_STREQ(want.class_name, got.class_name);
    EXPECT_STREQ(want.text, got.text);
    EXPECT_EQ(want.image, got.image);
    EXPECT_EQ(want.style, got.style);
    EXPECT_EQ(want.x, got.x);
    EXPECT_EQ(want.y, got.y);
    EXPECT_EQ(want.width, got.width);
    EXPECT_EQ(want.height, got.height);
  }
  EXPECT_EQ(200, sample::kDialogWidth);
  EXPECT_EQ(100, sample::kDialogHeight);
  EXPECT_STREQ("Sample Face", sample::kDialogFontFace);
  EXPECT_EQ(9, sample::kDialogFontPoints);
  EXPECT_STREQ("Sample \"one\"", sample::kDialogInitialCaption);
}

TEST(LayoutTest, DialogUnitsToPixels) {
  struct Case {
    int units;
    int metric;
    int x_pixels;  // units * metric / 4, rounded
    int y_pixels;  // units * metric / 8, rounded
  };
  const Case cases[] = {
      {344, 6, 516, 258}, {237, 13, 770, 385}, {1, 6, 2, 1}, {3, 13, 10, 5},
      {0, 7, 0, 0},       {5, 7, 9, 4},        {-4, 6, -6, -3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.x_pixels, DialogUnitsToPixelsX(c.units, c.metric)) << c.units << " " << c.metric;
    EXPECT_EQ(c.y_pixels, DialogUnitsToPixelsY(c.units, c.metric)) << c.units << " " << c.metric;
  }
}

}  // namespace
