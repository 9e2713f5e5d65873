// kestrava's entry: the command line, the silent send, and (later) the dialog.
#include <cstdio>

#include "sender/program.h"

namespace {

// Exit status when the dialog was wanted but this build has none.
constexpr int kNoDialogExitCode = 2;
constexpr char kNoDialogText[] =
    "kestrava: the dialog is not in this build; to send a magic packet from the command line "
    "use: kestrava /IP=<address> /MAC=<mac address> [/nohdr]\n";

}  // namespace

int main(int argc, char** argv) {
  char* command_line = JoinArguments(argc, argv);
  if (ParseCommandLine(command_line) != 0) return -1;
  std::fputs(kNoDialogText, stderr);
  return kNoDialogExitCode;
}
