// POSIX capture: libpcap, opened on first use; live (immediate, inbound only, non-blocking) or from a file.
#include "platform/capture.h"

// Before libpcap's header, which defines SOCKET as a macro of its own.
#include "platform/waiting.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pcap/pcap.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/posix/pcapng_follower.h"

namespace platform {

// A capture file as libpcap reads it: its descriptor behind a stdio stream of our own, whose
// bytes the pcapng follower sees on their way to libpcap.
struct CaptureFile {
  int fd;
  PcapngFollower follower;
};

struct Capture {
  pcap_t* handle;
  bool live;
  char error[PCAP_ERRBUF_SIZE];
  CaptureFile* file;        // a file's stream (closed with the handle), nullptr live
  bpf_program program;      // a file's filter, applied here so that no packet goes by unseen
  bool filtered;
};

namespace {

// libpcap and what it loads (D-Bus, systemd, gcrypt, compressors) are opened only when a
// capture is asked for, so that the plain listener starts without them. Its functions are
// called through this table, filled from the library's exported names.
struct PcapFunctions {
  decltype(&pcap_create) create;
  decltype(&pcap_set_snaplen) set_snaplen;
  decltype(&pcap_set_immediate_mode) set_immediate_mode;
  decltype(&pcap_set_buffer_size) set_buffer_size;
  decltype(&pcap_set_tstamp_precision) set_tstamp_precision;
  decltype(&pcap_set_promisc) set_promisc;
  decltype(&pcap_activate) activate;
  decltype(&pcap_geterr) geterr;
  decltype(&pcap_statustostr) statustostr;
  decltype(&pcap_set_datalink) set_datalink;
  decltype(&pcap_setdirection) setdirection;
  decltype(&pcap_setnonblock) setnonblock;
  decltype(&pcap_fopen_offline_with_tstamp_precision) fopen_offline;
  decltype(&pcap_datalink) datalink;
  decltype(&pcap_datalink_val_to_name) datalink_name;
  decltype(&pcap_compile) compile;
  decltype(&pcap_setfilter) setfilter;
  decltype(&pcap_offline_filter) offline_filter;
  decltype(&pcap_freecode) freecode;
  decltype(&pcap_next_ex) next_ex;
  decltype(&pcap_get_selectable_fd) get_selectable_fd;
  decltype(&pcap_stats) stats;
  decltype(&pcap_close) close;
};
PcapFunctions g_pcap;

// The shared library's name with its ABI version, as the runtime package installs it.
constexpr char kPcapLibrary[] = "libpcap.so.0.8";

template <typename Function>
bool resolve(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  return *function != nullptr;
}

// Opens libpcap once; false with the loader's text in `error` when it cannot be had.
bool load_pcap(char* error, std::size_t error_size) {
  static void* library = nullptr;
  if (library != nullptr) return true;
  void* opened = dlopen(kPcapLibrary, RTLD_NOW | RTLD_LOCAL);
  bool ok = opened != nullptr;
  ok = ok &&
       resolve(opened, "pcap_create", &g_pcap.create) &&
       resolve(opened, "pcap_set_snaplen", &g_pcap.set_snaplen) &&
       resolve(opened, "pcap_set_immediate_mode", &g_pcap.set_immediate_mode) &&
       resolve(opened, "pcap_set_buffer_size", &g_pcap.set_buffer_size) &&
       resolve(opened, "pcap_set_tstamp_precision", &g_pcap.set_tstamp_precision) &&
       resolve(opened, "pcap_set_promisc", &g_pcap.set_promisc) &&
       resolve(opened, "pcap_activate", &g_pcap.activate) &&
       resolve(opened, "pcap_geterr", &g_pcap.geterr) &&
       resolve(opened, "pcap_statustostr", &g_pcap.statustostr) &&
       resolve(opened, "pcap_set_datalink", &g_pcap.set_datalink) &&
       resolve(opened, "pcap_setdirection", &g_pcap.setdirection) &&
       resolve(opened, "pcap_setnonblock", &g_pcap.setnonblock) &&
       resolve(opened, "pcap_fopen_offline_with_tstamp_precision", &g_pcap.fopen_offline) &&
       resolve(opened, "pcap_datalink", &g_pcap.datalink) &&
       resolve(opened, "pcap_datalink_val_to_name", &g_pcap.datalink_name) &&
       resolve(opened, "pcap_compile", &g_pcap.compile) &&
       resolve(opened, "pcap_setfilter", &g_pcap.setfilter) &&
       resolve(opened, "pcap_offline_filter", &g_pcap.offline_filter) &&
       resolve(opened, "pcap_freecode", &g_pcap.freecode) &&
       resolve(opened, "pcap_next_ex", &g_pcap.next_ex) &&
       resolve(opened, "pcap_get_selectable_fd", &g_pcap.get_selectable_fd) &&
       resolve(opened, "pcap_stats", &g_pcap.stats) &&
       resolve(opened, "pcap_close", &g_pcap.close);
  if (!ok) {
    const char* why = dlerror();
    if (error != nullptr && error_size > 0) std::snprintf(error, error_size, "%s", why != nullptr ? why : kPcapLibrary);
    if (opened != nullptr) dlclose(opened);
    return false;
  }
  library = opened;
  return true;
}

// The largest frame kept whole: a jumbo frame of 9216 bytes (what switches carry at most)
// with room for the link's headers (a cooked header, two VLAN tags). A wake needs a few hundred
// bytes; what a larger frame holds beyond this is not looked at.
constexpr int kLargestPacket = 9216;
constexpr int kLinkHeaderRoom = 64;
constexpr int kSnapLength = kLargestPacket + kLinkHeaderRoom;
// The kernel's ring for a live capture: a burst waits there instead of being lost. libpcap
// cuts it into slots of one frame of the snap length and its header each (about 9.4 KB), and
// the kernel keeps each slot in a block of whole pages (16 KiB): these bytes make some 2200
// slots, about 35 MiB of the kernel's memory while the capture runs.
constexpr int kCaptureBufferBytes = 20 * 1024 * 1024;
constexpr long long kNanosecondsPerSecond = 1000000000LL;
// The stdio buffer a capture file is read through.
constexpr std::size_t kFileBufferBytes = 1024 * 1024;

void copy_text(const char* text, char* error, std::size_t error_size) {
  if (error != nullptr && error_size > 0) std::snprintf(error, error_size, "%s", text);
}

// libpcap gives raw IP frames its own number on Linux; files call them LINKTYPE_RAW.
int link_type_of(pcap_t* handle) {
  int type = g_pcap.datalink(handle);
  return type == DLT_RAW ? kLinkRawIp : type;
}

// The capture record around an opened handle, which it then owns.
CaptureOpened adopt(pcap_t* handle, bool live, CaptureFile* file, Capture** capture, int* link_type, char* error,
                    std::size_t error_size) {
  Capture* opened = new (std::nothrow) Capture{handle, live, "", file, {}, false};
  if (opened == nullptr) {
    g_pcap.close(handle);
    delete file;
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
  if (!load_pcap(error, error_size)) return CaptureOpened::kNoLibrary;
  char text[PCAP_ERRBUF_SIZE] = "";
  // libpcap's "any" device captures on every interface at once.
  pcap_t* handle = g_pcap.create(interface_name != nullptr ? interface_name : "any", text);
  if (handle == nullptr) {
    copy_text(text, error, error_size);
    return CaptureOpened::kFailed;
  }
  g_pcap.set_snaplen(handle, kSnapLength);
  // Each frame at once rather than when a buffer fills: the output follows the wire.
  g_pcap.set_immediate_mode(handle, 1);
  g_pcap.set_buffer_size(handle, kCaptureBufferBytes);
  g_pcap.set_tstamp_precision(handle, PCAP_TSTAMP_PRECISION_NANO);
  // On one interface, also the frames for other hosts: a wake for a sleeping machine is
  // addressed to its MAC, and a switch that has forgotten that MAC floods it to every port.
  if (interface_name != nullptr) g_pcap.set_promisc(handle, 1);
  int status = g_pcap.activate(handle);
  if (status < 0) {
    std::snprintf(text, sizeof text, "%s", status == PCAP_ERROR ? g_pcap.geterr(handle) : g_pcap.statustostr(status));
    if (status == PCAP_ERROR_NO_SUCH_DEVICE || status == PCAP_ERROR_PERM_DENIED) {
      // The status text alone does not name the interface.
      const char* detail = g_pcap.geterr(handle);
      if (detail != nullptr && detail[0] != '\0') std::snprintf(text, sizeof text, "%s", detail);
    }
    copy_text(text, error, error_size);
    g_pcap.close(handle);
    return status == PCAP_ERROR_PERM_DENIED ? CaptureOpened::kNeedsPrivilege : CaptureOpened::kFailed;
  }
  // On all interfaces, cooked frames of version 2 carry the receiving interface's index.
  if (interface_name == nullptr) g_pcap.set_datalink(handle, DLT_LINUX_SLL2);
  // The host's own sends are not what the listener looks for (and on loopback they would
  // show every frame twice).
  g_pcap.setdirection(handle, PCAP_D_IN);
  if (g_pcap.setnonblock(handle, 1, text) != 0) {
    copy_text(text, error, error_size);
    g_pcap.close(handle);
    return CaptureOpened::kFailed;
  }
  return adopt(handle, true, nullptr, capture, link_type, error, error_size);
}

namespace {

// The stream's reads: the descriptor's bytes, shown to the follower on their way. A read that
// a signal interrupts is tried again unless it was a stop request or the run's time running
// out, which the caller looks for.
ssize_t ReadCaptureFile(void* cookie, char* buffer, std::size_t size) {
  CaptureFile* file = static_cast<CaptureFile*>(cookie);
  for (;;) {
    const ssize_t n = read(file->fd, buffer, size);
    if (n < 0 && errno == EINTR && !stop_requested() && !time_is_up()) continue;
    if (n > 0) pcapng_feed(&file->follower, reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(n));
    return n;
  }
}

int CloseCaptureFile(void* cookie) { return close(static_cast<CaptureFile*>(cookie)->fd); }

}  // namespace

CaptureOpened open_capture_file(const char* path, Capture** capture, int* link_type, char* error,
                                std::size_t error_size) {
  if (!load_pcap(error, error_size)) return CaptureOpened::kNoLibrary;
  char text[PCAP_ERRBUF_SIZE] = "";
  CaptureFile* file = new (std::nothrow) CaptureFile{};
  if (file == nullptr) {
    copy_text("out of memory", error, error_size);
    return CaptureOpened::kFailed;
  }
  file->fd = open(path, O_RDONLY | O_CLOEXEC);
  if (file->fd < 0) {
    copy_text(std::strerror(errno), error, error_size);
    delete file;
    return CaptureOpened::kFailed;
  }
  const cookie_io_functions_t functions = {ReadCaptureFile, nullptr, nullptr, CloseCaptureFile};
  FILE* stream = fopencookie(file, "r", functions);
  if (stream == nullptr) {
    copy_text(std::strerror(errno), error, error_size);
    close(file->fd);
    delete file;
    return CaptureOpened::kFailed;
  }
  // With the C library's few kilobytes of buffer a large capture costs a read call every few
  // frames: the stream gets a buffer of its own.
  std::setvbuf(stream, nullptr, _IOFBF, kFileBufferBytes);
  pcap_t* handle = g_pcap.fopen_offline(stream, PCAP_TSTAMP_PRECISION_NANO, text);
  if (handle == nullptr) {
    std::fclose(stream);
    delete file;
    copy_text(text, error, error_size);
    return CaptureOpened::kFailed;
  }
  return adopt(handle, false, file, capture, link_type, error, error_size);
}

bool set_capture_filter(Capture* capture, const char* expression, char* error, std::size_t error_size) {
  bpf_program program{};
  if (g_pcap.compile(capture->handle, &program, expression, 1, PCAP_NETMASK_UNKNOWN) != 0) {
    copy_text(g_pcap.geterr(capture->handle), error, error_size);
    return false;
  }
  // A file's filter runs here, frame by frame, as libpcap would run it: every packet block
  // then comes by, so that each frame gets the interface the follower named for it.
  if (capture->file != nullptr) {
    if (capture->filtered) g_pcap.freecode(&capture->program);
    capture->program = program;
    capture->filtered = true;
    return true;
  }
  bool set = g_pcap.setfilter(capture->handle, &program) == 0;
  if (!set) copy_text(g_pcap.geterr(capture->handle), error, error_size);
  g_pcap.freecode(&program);
  return set;
}

int next_frame(Capture* capture, int timeout_ms, CapturedFrame* frame) {
  // A file is read without waiting, so a stop request is looked for before each frame.
  if (!capture->live && stop_requested()) return kFrameStopped;
  for (int attempt = 0; attempt < 2; ++attempt) {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int status = g_pcap.next_ex(capture->handle, &header, &data);
    frame->interface_name = nullptr;
    if (status == 1 && capture->file != nullptr) {
      frame->interface_name = pcapng_next_interface(&capture->file->follower);
      if (capture->filtered && g_pcap.offline_filter(&capture->program, header, data) == 0) {
        if (stop_requested()) return kFrameStopped;
        --attempt;  // not a frame the filter lets through: the next one, without waiting
        continue;
      }
    }
    if (status == 1) {
      frame->data = data;
      frame->captured = header->caplen;
      frame->length = header->len;
      // With nanosecond precision the microseconds field holds nanoseconds. A file may hold a
      // fraction of a second or more there (libpcap multiplies a microsecond file's field by
      // 1000): the whole seconds in it are carried over.
      long long fraction = static_cast<long long>(header->ts.tv_usec);
      std::int64_t seconds = static_cast<std::int64_t>(header->ts.tv_sec) + fraction / kNanosecondsPerSecond;
      fraction %= kNanosecondsPerSecond;
      if (fraction < 0) {
        fraction += kNanosecondsPerSecond;
        --seconds;
      }
      frame->seconds = seconds;
      frame->nanoseconds = static_cast<std::uint32_t>(fraction);
      return kFrameReady;
    }
    if (status == PCAP_ERROR_BREAK) return kFrameEnd;
    // A read of a FIFO that a stop request or the time interrupted.
    if (stop_requested()) return kFrameStopped;
    if (time_is_up()) return kFrameTimedOut;
    if (status != 0) {
      std::snprintf(capture->error, sizeof capture->error, "%s", g_pcap.geterr(capture->handle));
      return kFrameFailed;
    }
    // Nothing queued on a live capture: wait for its descriptor once, then look again.
    if (attempt > 0) break;
    int waited = wait_readable(g_pcap.get_selectable_fd(capture->handle), timeout_ms);
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

const char* link_type_name(int link_type) {
  if (link_type == kLinkRawIp) link_type = DLT_RAW;
  return g_pcap.datalink_name != nullptr ? g_pcap.datalink_name(link_type) : nullptr;
}

bool capture_drops(Capture* capture, std::uint32_t* drops) {
  pcap_stat statistics{};
  if (!capture->live || g_pcap.stats(capture->handle, &statistics) != 0) return false;
  *drops = statistics.ps_drop;
  return true;
}

void close_capture(Capture* capture) {
  if (capture == nullptr) return;
  g_pcap.close(capture->handle);  // closes a file's stream too
  if (capture->filtered) g_pcap.freecode(&capture->program);
  delete capture->file;
  delete capture;
}

}  // namespace platform
