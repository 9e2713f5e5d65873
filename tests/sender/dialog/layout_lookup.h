// Test helper: a control of the main dialog's layout table by its id.
#pragma once

#include "sender/dialog/layout.h"

namespace dialog {

// The control with this id, or nullptr (also for kIdStatic, which many controls share).
inline const LayoutControl* FindLayoutControl(int id) {
  if (id == kIdStatic) return nullptr;
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    if (kMainDialogControls[i].id == id) return &kMainDialogControls[i];
  }
  return nullptr;
}

}  // namespace dialog
