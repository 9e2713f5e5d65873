// The layout table against template 101 as the product defines it, and dialog units to pixels.
#include "sender/dialog/layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace dialog;

// Template 101, transcribed control by control in template order.
struct Expected {
  int id;
  const char* class_name;
  const char* text;  // nullptr: no text
  int image;
  unsigned style;    // the style bits that matter to the dialog
  int x, y, width, height;
};

constexpr unsigned kEdit = kWsBorder | kWsTabStop | kEsAutoHScroll;
constexpr unsigned kPush = kBsPushButton | kWsTabStop;
constexpr unsigned kLabel = kSsCenterImage;

const Expected kTemplate[] = {
    {1000, "EDIT", nullptr, 0, kEdit, 60, 40, 95, 13},
    {1001, "SysIPAddress32", "IPAddress1", 0, kWsTabStop, 60, 61, 95, 12},
    {1007, "BUTTON", "&Resolve IP", 0, kPush, 60, 81, 64, 14},
    {1003, "SysIPAddress32", "IPAddress2", 0, 0, 213, 40, 109, 13},
    {1002, "EDIT", nullptr, 0, kEdit, 213, 61, 109, 12},
    {1008, "BUTTON", "&Get MacAddress (Local Subnet)", 0, kPush, 213, 81, 109, 14},
    {1004, "BUTTON", "Send &Magic Packet", 0, kBsDefPushButton | kWsTabStop, 15, 157, 135, 14},
    {1005, "BUTTON", "Send Short &Unsuspend Datagram (Type=2)", 0, kPush, 180, 157, 145, 14},
    {1012, "BUTTON", "Send Magic Packet &Direct (Type=4)", 0, kPush, 180, 177, 145, 14},
    {1017, "BUTTON", nullptr, 0, kPush | kBsBitmap, 5, 12, 14, 13},
    {1015, "STATIC", "Static", 0, kSsLeft, 238, 13, 75, 16},
    {-1, "STATIC", "Target Name", 0, kLabel, 11, 40, 42, 13},
    {-1, "STATIC", "IP Address", 0, kLabel, 11, 61, 35, 12},
    {-1, "STATIC", "Subnet Mask", 0, kLabel, 162, 40, 45, 13},
    {-1, "STATIC", "Mac Address", 0, kLabel, 162, 61, 45, 12},
    {-1, "BUTTON", "Machine", 0, kBsGroupBox, 5, 29, 330, 75},
    {-1, "BUTTON", "Nightbell Magic Packet", 0, kBsGroupBox, 5, 142, 155, 55},
    {-1, "STATIC", nullptr, 108, kSsIcon, 315, 205, 20, 20},
    {-1, "STATIC", "*", 0, kSsLeft, 205, 207, 107, 20},   // maker's banner: any text
    {1016, "STATIC", "*", 0, kSsLeft, 5, 207, 144, 20},   // about text: any text
    {-1, "STATIC", nullptr, 103, kSsIcon, 312, 5, 20, 20},
    {-1, "BUTTON", "Other Magic Packet Types", 0, kBsGroupBox, 170, 142, 165, 55},
    {-1, "STATIC", "Port Number", 0, kSsLeft, 11, 121, 42, 12},
    {1009, "EDIT", nullptr, 0, kEdit | kEsNumber, 60, 119, 95, 14},
    {-1, "BUTTON", "Configuration", 0, kBsGroupBox, 5, 109, 329, 28},
};
constexpr int kTemplateCount = static_cast<int>(sizeof kTemplate / sizeof kTemplate[0]);

TEST(LayoutTest, TableMatchesTemplate101InOrder) {
  ASSERT_GE(kMainDialogControlCount, kTemplateCount);
  for (int i = 0; i < kTemplateCount; ++i) {
    const Expected& want = kTemplate[i];
    const LayoutControl& got = kMainDialogControls[i];
    SCOPED_TRACE("control " + std::to_string(i));
    EXPECT_EQ(want.id, got.id);
    EXPECT_STREQ(want.class_name, got.class_name);
    if (want.text == nullptr) {
      EXPECT_TRUE(got.text == nullptr || got.text[0] == '\0');
    } else if (std::strcmp(want.text, "*") == 0) {
      ASSERT_NE(nullptr, got.text);
      EXPECT_NE('\0', got.text[0]);
    } else {
      EXPECT_STREQ(want.text, got.text);
    }
    EXPECT_EQ(want.image, got.image);
    EXPECT_EQ(want.style, got.style);
    EXPECT_EQ(want.x, got.x);
    EXPECT_EQ(want.y, got.y);
    EXPECT_EQ(want.width, got.width);
    EXPECT_EQ(want.height, got.height);
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
    bool frame = std::strcmp(other.class_name, "BUTTON") == 0 &&
                 (other.style & kBsTypeMask) == kBsGroupBox;
    if (frame && Inside(*status, other)) continue;
    EXPECT_FALSE(Overlaps(*status, other)) << "overlaps control " << i;
  }
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

// ----- the Windows resource script builds the same window

// One control statement of the script's template, reduced to the layout table's terms.
struct ScriptControl {
  std::string keyword;
  std::string text;
  bool has_text = false;
  int id = 0;
  int image = 0;
  std::string class_name;
  unsigned style = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

// Splits "KEYWORD a, "b, c", d | e" into the keyword and its comma-separated arguments,
// with quoted texts unescaped.
std::vector<std::string> Arguments(const std::string& line, std::string* keyword, bool* quoted_first) {
  std::vector<std::string> args;
  std::size_t p = line.find_first_not_of(' ');
  std::size_t end = line.find(' ', p);
  *keyword = line.substr(p, end - p);
  std::string current;
  *quoted_first = false;
  for (std::size_t i = end; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      if (args.empty()) *quoted_first = true;
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n') {
          current += '\n';
          ++i;
        } else {
          current += line[i];
        }
      }
    } else if (c == ',') {
      args.push_back(current);
      current.clear();
    } else if (c != ' ') {
      current += c;
    }
  }
  args.push_back(current);
  return args;
}

unsigned StyleBits(const std::string& expression) {
  static const struct { const char* name; unsigned value; } kNames[] = {
      {"WS_TABSTOP", kWsTabStop}, {"ES_AUTOHSCROLL", kEsAutoHScroll}, {"ES_NUMBER", kEsNumber},
      {"BS_BITMAP", kBsBitmap},   {"SS_CENTERIMAGE", kSsCenterImage},
  };
  unsigned bits = 0;
  std::stringstream parts(expression);
  std::string part;
  while (std::getline(parts, part, '|')) {
    bool known = false;
    for (const auto& name : kNames) {
      if (part == name.name) {
        bits |= name.value;
        known = true;
      }
    }
    if (!known) bits |= static_cast<unsigned>(std::strtoul(part.c_str(), nullptr, 0));
  }
  return bits;
}

int Number(const std::string& text) { return std::atoi(text.c_str()); }

ScriptControl Parse(const std::string& line) {
  ScriptControl control;
  bool quoted = false;
  std::vector<std::string> a = Arguments(line, &control.keyword, &quoted);
  const std::string& k = control.keyword;
  std::size_t at = 0;
  if (k == "EDITTEXT") {
    control.class_name = "EDIT";
    control.style = kWsBorder | kWsTabStop;
  } else if (k == "CONTROL") {
    control.text = a[at++];
    control.has_text = true;
    control.id = Number(a[at++]);
    control.class_name = a[at++];
    control.style = StyleBits(a[at++]);
  } else if (k == "ICON") {
    control.class_name = "STATIC";
    control.style = kSsIcon;
    control.image = Number(a[at++]);
  } else {
    control.text = a[at++];
    control.has_text = true;
    if (k == "PUSHBUTTON" || k == "DEFPUSHBUTTON" || k == "GROUPBOX") {
      control.class_name = "BUTTON";
      control.style = k == "PUSHBUTTON"      ? kBsPushButton | kWsTabStop
                      : k == "DEFPUSHBUTTON" ? kBsDefPushButton | kWsTabStop
                                             : kBsGroupBox;
    } else {
      control.class_name = "STATIC";
      control.style = kSsLeft;
    }
  }
  if (k != "CONTROL") control.id = Number(a[at++]);
  control.x = Number(a[at++]);
  control.y = Number(a[at++]);
  control.width = Number(a[at++]);
  control.height = Number(a[at++]);
  if (k != "CONTROL" && at < a.size()) control.style |= StyleBits(a[at]);
  return control;
}

TEST(LayoutTest, ResourceScriptBuildsTheSameTemplate) {
  std::ifstream script(TIDEWAKE_DIALOG_RC);
  ASSERT_TRUE(script.good()) << TIDEWAKE_DIALOG_RC;
  std::vector<ScriptControl> controls;
  std::string line;
  bool in_template = false;
  bool in_body = false;
  while (std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("101 DIALOGEX 0, 0, 344, 237", 0) == 0) in_template = true;
    if (!in_template) continue;
    if (line == "BEGIN") {
      in_body = true;
    } else if (line == "END") {
      break;
    } else if (in_body && !line.empty()) {
      controls.push_back(Parse(line));
    }
  }
  ASSERT_EQ(static_cast<std::size_t>(kMainDialogControlCount), controls.size());
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    const LayoutControl& want = kMainDialogControls[i];
    const ScriptControl& got = controls[static_cast<std::size_t>(i)];
    SCOPED_TRACE(got.keyword + " " + std::to_string(i));
    EXPECT_EQ(want.id, got.id);
    EXPECT_EQ(want.class_name, got.class_name);
    EXPECT_EQ(want.text != nullptr ? want.text : "", got.text);
    EXPECT_EQ(want.image, got.image);
    EXPECT_EQ(want.style, got.style);
    EXPECT_EQ(want.x, got.x);
    EXPECT_EQ(want.y, got.y);
    EXPECT_EQ(want.width, got.width);
    EXPECT_EQ(want.height, got.height);
  }
}

}  // namespace
