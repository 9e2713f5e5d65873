// pilvorne entry: the console wake listener.
#include "listener/listener.h"

#include "platform/system.h"

int main(int argc, char** argv) {
  platform::open_standard_streams();
  return listener::RunListener(argc, argv);
}
