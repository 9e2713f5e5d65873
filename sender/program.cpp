// kestrava's program record and its reset.
#include "sender/program.h"

#include <cstdlib>

ProgramState g_program;

void ResetProgramState() {
  std::free(g_program.command_line_text);
  g_program = ProgramState{};
}
