// kestrava's entry: the command line, the silent send, and the dialog.
#include "sender/dialog/startup.h"
#include "sender/program.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Show the dialog as whoever started the program asked (SW_SHOWDEFAULT on Windows).
constexpr int kShowDefault = 10;

}  // namespace

#ifdef _WIN32
// The Windows program (GUI subsystem) gets its command line as one text without the program
// name, parsed as it stands: spaces alone separate the tokens, quotation marks are kept.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command) {
  if (ParseCommandLine(command_line) != 0) return -1;
  return dialog::RunDialogProgram(instance, show_command, nullptr, nullptr);
}
#else
int main(int argc, char** argv) {
  char* command_line = JoinArguments(argc, argv);
  if (ParseCommandLine(command_line) != 0) return -1;
  return dialog::RunDialogProgram(nullptr, kShowDefault, &argc, &argv);
}
#endif
