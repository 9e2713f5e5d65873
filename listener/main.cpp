// pilvorne entry: the console wake listener.
#include "listener/listener.h"

int main(int argc, char** argv) { return listener::RunListener(argc, argv); }
