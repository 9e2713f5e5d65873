// POSIX capture: libpcap, live (immediate delivery, inbound only, non-blocking) or from a file.
#include "platform/capture.h"

// Before libpcap's header, which defines SOCKET as a macro of its own.
#include "platform/waiting.h"

#include <pcap/pcap.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace platform {

struct Capture {
  pcap_t* handle;
  bool live;
  char error[PCAP_ERRBUF_SIZE];
};

namespace {

// Large enough for any frame, jumbo ones and offloaded aggregates included.
constexpr int kSnapLength = 262144;
// The kernel's ring for a live capture: a burst waits there instead of being lost.
constexpr int kCaptureBufferBytes = 8 * 1024 * 1024;

void copy_text(const char* text, char* error, std::size_t error_size) {
  if (error != nullptr && error_size > 0) std::snprintf(error, error_size, "%s", text);
}

// libpcap gives raw IP frames its own number on Linux; files call them LINKTYPE_RAW.
int link_type_of(pcap_t* handle) {
  int type = pcap_datalink(handle);
  return type == DLT_RAW ? kLinkRawIp : type;
}

// The capture record around an opened handle, which it then owns.
CaptureOpened adopt(pcap_t* handle, bool live, Capture** capture, int* link_type, char* error,
                    std::size_t error_size) {
  Capture* opened = new (std::nothrow) Capture{handle, live, ""};
  if (opened == nullptr) {
    pcap_close(handle);
    copy_text("out of memory", error, error_size);
    return CaptureOpened::kFailed;
  }
  *capture = opened;
  *link_type = link_type_of(handle);
  return CaptureOpened::kOpened;
}

}  // namespace

CaptureOpened open_live_capture(const char* interface_name, Capture** capture, int* link_type,
                                char* error, std::size_t error_size) {
  char text[PCAP_ERRBUF_SIZE] = "";
  // libpcap's "any" device captures on every interface at once.
  pcap_t* handle = pcap_create(interface_name != nullptr ? interface_name : "any", text);
  if (handle == nullptr) {
    copy_text(text, error, error_size);
    return CaptureOpened::kFailed;
  }
  pcap_set_snaplen(handle, kSnapLength);
  // Each frame at once rather than when a buffer fills: the output follows the wire.
  pcap_set_immediate_mode(handle, 1);
  pcap_set_buffer_size(handle, kCaptureBufferBytes);
  pcap_set_tstamp_precision(handle, PCAP_TSTAMP_PRECISION_NANO);
  // On one interface, also the frames for other hosts: a wake for a sleeping machine is
  // addressed to its MAC, and a switch that has forgotten that MAC floods it to every port.
  if (interface_name != nullptr) pcap_set_promisc(handle, 1);
  int status = pcap_activate(handle);
  if (status < 0) {
    std::snprintf(text, sizeof text, "%s", status == PCAP_ERROR ? pcap_geterr(handle) : pcap_statustostr(status));
    if (status == PCAP_ERROR_NO_SUCH_DEVICE || status == PCAP_ERROR_PERM_DENIED) {
      // The status text alone does not name the interface.
      const char* detail = pcap_geterr(handle);
      if (detail != nullptr && detail[0] != '\0') std::snprintf(text, sizeof text, "%s", detail);
    }
    copy_text(text, error, error_size);
    pcap_close(handle);
    return status == PCAP_ERROR_PERM_DENIED ? CaptureOpened::kNeedsPrivilege : CaptureOpened::kFailed;
  }
  // On all interfaces, cooked frames of version 2 carry the receiving interface's index.
  if (interface_name == nullptr) pcap_set_datalink(handle, DLT_LINUX_SLL2);
  // The host's own sends are not what the listener looks for (and on loopback they would
  // show every frame twice).
  pcap_setdirection(handle, PCAP_D_IN);
  if (pcap_setnonblock(handle, 1, text) != 0) {
    copy_text(text, error, error_size);
    pcap_close(handle);
    return CaptureOpened::kFailed;
  }
  return adopt(handle, true, capture, link_type, error, error_size);
}

CaptureOpened open_capture_file(const char* path, Capture** capture, int* link_type, char* error,
                                std::size_t error_size) {
  char text[PCAP_ERRBUF_SIZE] = "";
  pcap_t* handle = pcap_open_offline_with_tstamp_precision(path, PCAP_TSTAMP_PRECISION_NANO, text);
  if (handle == nullptr) {
    copy_text(text, error, error_size);
    return CaptureOpened::kFailed;
  }
  return adopt(handle, false, capture, link_type, error, error_size);
}

bool set_capture_filter(Capture* capture, const char* expression, char* error, std::size_t error_size) {
  bpf_program program{};
  if (pcap_compile(capture->handle, &program, expression, 1, PCAP_NETMASK_UNKNOWN) != 0) {
    copy_text(pcap_geterr(capture->handle), error, error_size);
    return false;
  }
  bool set = pcap_setfilter(capture->handle, &program) == 0;
  if (!set) copy_text(pcap_geterr(capture->handle), error, error_size);
  pcap_freecode(&program);
  return set;
}

int next_frame(Capture* capture, int timeout_ms, CapturedFrame* frame) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int status = pcap_next_ex(capture->handle, &header, &data);
    if (status == 1) {
      frame->data = data;
      frame->captured = header->caplen;
      frame->length = header->len;
      frame->seconds = static_cast<std::int64_t>(header->ts.tv_sec);
      // With nanosecond precision the microseconds field holds nanoseconds.
      frame->nanoseconds = static_cast<std::uint32_t>(header->ts.tv_usec);
      return kFrameReady;
    }
    if (status == PCAP_ERROR_BREAK) return kFrameEnd;
    if (status != 0) {
      std::snprintf(capture->error, sizeof capture->error, "%s", pcap_geterr(capture->handle));
      return kFrameFailed;
    }
    // Nothing queued on a live capture: wait for its descriptor once, then look again.
    if (attempt > 0) break;
    int waited = wait_readable(pcap_get_selectable_fd(capture->handle), timeout_ms);
    if (waited == kWaitStopped) return kFrameStopped;
    if (waited == kWaitTimedOut) return kFrameTimedOut;
    if (waited == kWaitFailed) {
      std::snprintf(capture->error, sizeof capture->error, "%s", std::strerror(errno));
      return kFrameFailed;
    }
  }
  return kFrameTimedOut;
}

const char* capture_error(Capture* capture) { return capture->error; }

bool capture_drops(Capture* capture, std::uint32_t* drops) {
  pcap_stat statistics{};
  if (!capture->live || pcap_stats(capture->handle, &statistics) != 0) return false;
  *drops = statistics.ps_drop;
  return true;
}

void close_capture(Capture* capture) {
  if (capture == nullptr) return;
  pcap_close(capture->handle);
  delete capture;
}

}  // namespace platform
