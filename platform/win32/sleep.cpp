// Windows sleep: its own service, so that tests can replace the pauses of the sender.
#include "platform/system.h"

#include <windows.h>

namespace platform {

void sleep_ms(unsigned long milliseconds) { Sleep(milliseconds); }

}  // namespace platform
