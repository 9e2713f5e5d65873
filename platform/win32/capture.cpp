// Windows capture: not built; every capture reports that it needs the Linux build.
#include "platform/capture.h"

namespace platform {

struct Capture {};

CaptureOpened open_live_capture(const char*, Capture**, int*, char*, std::size_t) {
  return CaptureOpened::kNeedsLinuxBuild;
}

CaptureOpened open_capture_file(const char*, Capture**, int*, char*, std::size_t) {
  return CaptureOpened::kNeedsLinuxBuild;
}

bool set_capture_filter(Capture*, const char*, char*, std::size_t) { return false; }

int next_frame(Capture*, int, CapturedFrame*) { return kFrameFailed; }

const char* capture_error(Capture*) { return ""; }

const char* link_type_name(int) { return nullptr; }

bool capture_drops(Capture*, std::uint32_t*) { return false; }

void close_capture(Capture*) {}

}  // namespace platform
