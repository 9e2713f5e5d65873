// The sender's message boxes: shown by the dialog host while one is installed, else by the platform.
#pragma once

#include "platform/ui.h"

// A host that shows message boxes itself (the GTK dialog on Linux). Returns the button id.
typedef int (*MessageBoxHost)(platform::Window owner, const char* text, const char* caption,
                              unsigned type);

// Installs (or, with nullptr, removes) the host that shows message boxes.
void SetMessageBoxHost(MessageBoxHost host);

// Shows a modal message box with an OK button; returns when it is closed.
int ShowMessageBox(platform::Window owner, const char* text, const char* caption, unsigned type);
