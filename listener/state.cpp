// pilvorne's process-wide record and its reset.
#include "listener/listener.h"

namespace listener {

ListenerState g_listener;

void ResetListenerState() { g_listener = ListenerState{}; }

}  // namespace listener
