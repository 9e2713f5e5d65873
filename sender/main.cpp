// kestrava's entry: the command line, then help, version, a refusal, the silent send or the dialog.
#include "platform/system.h"
#include "sender/dialog/startup.h"
#include "sender/program.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Show the dialog as whoever started the program asked (SW_SHOWDEFAULT on Windows).
constexpr int kShowDefault = 10;

// The one flow of both entry points; the command-line text is parsed in place.
int Run(char* command_line, void* instance, int show_command, int* argc, char*** argv) {
  const CommandLine line = ParseCommandLine(command_line);
  ApplyCommandLine(line);
  switch (line.action) {
    case ProgramAction::kHelp:
      ShowHelp();
      return kInformationExitCode;
    case ProgramAction::kVersion:
      ShowVersion();
      return kInformationExitCode;
    case ProgramAction::kBadOption:
      ReportRefusedOption(line);
      return kBadOptionExitCode;
    case ProgramAction::kSilentSend:
      switch (SilentSend(line)) {
        case SendOutcome::kAllSent: return kSilentSendExitCode;
        case SendOutcome::kSomeFailed: return kSilentSendFailedExitCode;
        case SendOutcome::kRefused: return kBadOptionExitCode;
        case SendOutcome::kAllAwake: return kWaitAllAwakeExitCode;
        case SendOutcome::kNotAllAwake: return kWaitNotAwakeExitCode;
      }
      return kSilentSendFailedExitCode;
    case ProgramAction::kDialog:
      break;
  }
  return dialog::RunDialogProgram(instance, show_command, argc, argv);
}

}  // namespace

#ifdef _WIN32
// The Windows program (GUI subsystem) gets its command line as one text without the program
// name, parsed as it stands: spaces alone separate the tokens, quotation marks are kept.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command) {
  platform::open_standard_streams();
  return Run(command_line, instance, show_command, nullptr, nullptr);
}
#else
int main(int argc, char** argv) {
  platform::open_standard_streams();
  return Run(JoinArguments(argc, argv), nullptr, kShowDefault, &argc, &argv);
}
#endif
