// Placing the main dialog's layout table (generated from dialog.rc) in pixels: dialog units as Windows maps them.
#include "sender/dialog/layout.h"

namespace dialog {

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
