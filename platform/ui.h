// User-interface services that exist without the dialog: the message box, standard error.
#pragma once

namespace platform {

// Opaque window handle (HWND on Windows, the dialog host's window elsewhere).
typedef void* Window;

// Message box types, Windows' numbering.
constexpr unsigned kMessageBoxOk = 0x0;
constexpr unsigned kMessageBoxIconWarning = 0x30;

// A modal message box with an OK button (MessageBoxA). Where the platform has no window
// system of its own at hand (POSIX without the dialog), the box is one line
// "caption: text" on standard error.
int message_box(Window owner, const char* text, const char* caption, unsigned type);

// Information the user asked for (a program's help or version): a message box with an
// information icon on Windows, where the program has no console; the text on standard output
// elsewhere.
void show_information(const char* caption, const char* text);

// Whether lines written to standard error reach anyone: always on POSIX (a program started
// without one has /dev/null there); on Windows only when the GUI program was started with its
// standard error redirected or inherited from a console, else a message box has to say it.
bool standard_error_present();

// Whether standard error is a terminal (a console on Windows), where a status line can be
// rewritten in place; false when it goes to a file or a pipe.
bool standard_error_is_terminal();

}  // namespace platform
