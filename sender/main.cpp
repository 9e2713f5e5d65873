// kestrava's entry: the command line, the silent send, and the dialog.
#include "sender/dialog/startup.h"
#include "sender/program.h"

namespace {

// Show the dialog as whoever started the program asked (SW_SHOWDEFAULT on Windows).
constexpr int kShowDefault = 10;

}  // namespace

int main(int argc, char** argv) {
  char* command_line = JoinArguments(argc, argv);
  if (ParseCommandLine(command_line) != 0) return -1;
  return dialog::RunDialogProgram(nullptr, kShowDefault, &argc, &argv);
}
