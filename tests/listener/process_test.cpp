// pilvorne run as a program on loopback: its lines, its exit statuses and its error texts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "listener/texts.h"
#include "platform/sockets.h"
#include "tests/listener/capture_file.h"

namespace {

const char kUsage[] = "pilvorne  [-PortNo[=1778]]\n          [-Help] [-?] [-Version]\n";
constexpr int kWaitMs = 5000;

// A running pilvorne with its standard output and error on pipes.
struct Child {
  pid_t pid = -1;
  int fd[2] = {-1, -1};        // standard output, standard error
  std::string text[2];
};

// Where the child's standard streams go: pipes to the test, standard output to /dev/full, or
// all three closed.
enum class Streams { kPipes, kOutputFull, kClosed };

void Start(const std::vector<std::string>& args, Child* child, Streams streams = Streams::kPipes) {
  int out[2], err[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(err), 0);
  child->pid = fork();
  ASSERT_GE(child->pid, 0);
  if (child->pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    if (streams == Streams::kOutputFull) dup2(open("/dev/full", O_WRONLY), 1);
    if (streams == Streams::kClosed) {
      for (int fd : {0, 1, 2, out[0], out[1], err[0], err[1]}) close(fd);
    }
    std::vector<char*> argv{const_cast<char*>(PILVORNE_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(PILVORNE_PATH, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  child->fd[0] = out[0];
  child->fd[1] = err[0];
}

// Reads both pipes until standard output holds `lines` lines or, with lines < 0, until the
// child closes both; bounded in time. Returns the exit status once the child has ended by
// itself, else -1000 (it is then killed).
int Collect(Child* child, int lines) {
  bool open[2] = {true, true};
  for (int waited = 0; (open[0] || open[1]) && waited < kWaitMs; waited += 100) {
    int have = 0;
    for (char c : child->text[0]) have += c == '\n';
    if (lines >= 0 && have >= lines) return 0;
    pollfd p[2] = {{child->fd[0], POLLIN, 0}, {child->fd[1], POLLIN, 0}};
    if (poll(p, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (!open[i] || !(p[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[512];
      ssize_t n = read(child->fd[i], buffer, sizeof buffer);
      if (n <= 0) open[i] = false;
      else child->text[i].append(buffer, static_cast<std::size_t>(n));
    }
  }
  if (lines >= 0) return -1000;
  int status = 0;
  for (int waited = 0; waited < kWaitMs; waited += 20, usleep(20000)) {
    if (waitpid(child->pid, &status, WNOHANG) == child->pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
    }
  }
  kill(child->pid, SIGKILL);
  waitpid(child->pid, &status, 0);
  return -1000;
}

void Stop(Child* child) {
  kill(child->pid, SIGTERM);
  waitpid(child->pid, nullptr, 0);
  close(child->fd[0]);
  close(child->fd[1]);
}

// A UDP socket bound to a free port on all addresses; returns the port.
int BindFreePort(SOCKET* s) {
  *s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  socklen_t length = sizeof a;
  bind(*s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(*s, reinterpret_cast<sockaddr*>(&a), &length);
  return ntohs(a.sin_port);
}

// The plain listener and the inspector (here with -Summary, which adds nothing to standard
// output) print the same two lines for the same datagrams: the six lengths, short ones, one
// larger than the plain listener's buffer.
TEST(ListenerProcess, PrintsTwoLinesPerDatagramAndKeepsListening) {
  // Byte i of every datagram is i + 1: the MAC printed shows the offset it was read from.
  const struct {
    int length;
    const char* line;
  } cases[] = {
      {12, "   short unsuspend              - 07:08:09:0A:0B:0C from 127.0.0.1 (len=12)\n"},
      {28, "   short unsuspend(hdr)         - 17:18:19:1A:1B:1C from 127.0.0.1 (len=28)\n"},
      {50, "   Not a QE magic pkt           - 07:08:09:0A:0B:0C from 127.0.0.1 (len=50)\n"},
      {102, "   broadcast magic packet       - 07:08:09:0A:0B:0C from 127.0.0.1 (len=102)\n"},
      {104, "   direct magic packet          - 07:08:09:0A:0B:0C from 127.0.0.1 (len=104)\n"},
      {118, "   broadcast magic packet(hdr)  - 17:18:19:1A:1B:1C from 127.0.0.1 (len=118)\n"},
      {120, "   direct magic packet(hdr)     - 17:18:19:1A:1B:1C from 127.0.0.1 (len=120)\n"},
      {8, "   Not a QE magic pkt           - 07:08:00:00:00:00 from 127.0.0.1 (len=8)\n"},
      {0, "   Not a QE magic pkt           - 00:00:00:00:00:00 from 127.0.0.1 (len=0)\n"},
      {2000, "   Not a QE magic pkt           - 07:08:09:0A:0B:0C from 127.0.0.1 (len=2000)\n"},
      {118, "   broadcast magic packet(hdr)  - 17:18:19:1A:1B:1C from 127.0.0.1 (len=118)\n"},
  };
  for (const char* mode : {"", "-Summary"}) {
    SCOPED_TRACE(mode);
    SOCKET sender;
    int port = BindFreePort(&sender);
    closesocket(sender);                     // the port is free again for pilvorne
    Child child;
    std::vector<std::string> args{"-PortNo=" + std::to_string(port)};
    if (*mode != '\0') args.push_back(mode);
    Start(args, &child);
    Collect(&child, 1);
    ASSERT_EQ(child.text[0], "Listening for magic packets on port no " + std::to_string(port) + "\n");
    sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<unsigned short>(port));
    int lines = 1;
    for (const auto& c : cases) {
      std::vector<unsigned char> data(static_cast<std::size_t>(c.length));
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i + 1);
      sendto(sender, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      lines += 2;
      ASSERT_EQ(Collect(&child, lines), 0) << "no entry for length " << c.length << ":\n" << child.text[0];
      // The time stamp and one blank, then the entry line.
      const std::string& out = child.text[0];
      std::size_t entry = out.rfind('\n', out.size() - 2) + 1;
      EXPECT_EQ(out.substr(entry), c.line);
      EXPECT_EQ(out.substr(entry - 2, 2), " \n");
    }
    closesocket(sender);
    Stop(&child);
  }
}

TEST(ListenerProcess, ExitStatusesAndTexts) {
  SOCKET holder;
  std::string busy = "-PortNo=" + std::to_string(BindFreePort(&holder));
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"-PortNo=5", "x", "-Version"}, 1, "", std::string("Syntax error near x\n") + kUsage},
      {{"-Version", "/?"}, 1, "pilvorne Version 1.0.1.2 (May 12 2005)\n", kUsage},
      {{busy}, 253, "", "Binding socket failed! Error: 10048"},
      // On a port that is held, a listener would end with 253: these never listen.
      {{busy, "--version"}, 0, "pilvorne Version 1.0.1.2 (May 12 2005)\n", ""},
      {{busy, "--help"}, 0, listener::kHelpText, ""},
  };
  for (const auto& c : cases) {
    Child child;
    Start(c.args, &child);
    EXPECT_EQ(Collect(&child, -1), c.status) << c.args[0];
    EXPECT_EQ(child.text[0], c.out) << c.args[0];
    EXPECT_EQ(child.text[1], c.err) << c.args[0];
    close(child.fd[0]);
    close(child.fd[1]);
  }
  closesocket(holder);
}

// Sends `length` bytes, a magic packet for 02:54:57:00:00:xx when `last` is not 0, to the port.
void SendTo(int port, std::uint8_t last, std::size_t length = 102) {
  std::vector<unsigned char> data(length, 'x');
  for (std::size_t i = 0; last != 0 && i < length; ++i) {
    const unsigned char mac[6] = {0x02, 0x54, 0x57, 0x00, 0x00, last};
    data[i] = i < 6 ? 0xFF : mac[(i - 6) % 6];
  }
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<unsigned short>(port));
  sendto(s, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  closesocket(s);
}

int FreePort() {
  SOCKET s;
  int port = BindFreePort(&s);
  closesocket(s);
  return port;
}

int Entries(const Child& child) {
  int n = 0;
  for (std::size_t at = 0; (at = child.text[0].find(" (len=", at)) != std::string::npos; ++at) ++n;
  return n;
}

// -Count, -Timeout and -Mac end the run: 0 when a kept datagram was a wake, else 4.
TEST(ListenerProcess, CountTimeoutAndMacEndTheRun) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::uint8_t> sent;   // magic packets for ...:xx; 0 sends 50 bytes that are none
    int status, entries;
  } cases[] = {
      {{"-Timeout=1"}, {}, 4, 0},
      {{"-Count=1"}, {0}, 4, 1},
      {{"-Count=1", "-Mac=02:54:57:00:00:14"}, {0x15, 0, 0x14}, 0, 1},
      {{"-Count=3", "-Timeout=1"}, {0x14}, 0, 1},
  };
  for (const auto& c : cases) {
    const int port = FreePort();
    std::vector<std::string> args = c.args;
    args.push_back("-PortNo=" + std::to_string(port));
    Child child;
    Start(args, &child);
    ASSERT_EQ(Collect(&child, 1), 0) << c.args[0];
    for (std::uint8_t last : c.sent) SendTo(port, last, last == 0 ? 50 : 102);
    EXPECT_EQ(Collect(&child, -1), c.status) << c.args[0];
    EXPECT_EQ(Entries(child), c.entries) << child.text[0];
    if (c.status == 0 && c.entries > 0) {
      EXPECT_NE(child.text[0].find("02:54:57:00:00:14 from"), std::string::npos);
    }
    close(child.fd[0]);
    close(child.fd[1]);
  }
}

// Sends a wake for ...:14 every 50 ms until the child has ended (at most 5 s), for a child that
// cannot say when it listens; the child is left to Collect. False when it did not end.
bool SendUntilEnd(const Child& child, int port) {
  for (int i = 0; i < 100; ++i) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0) {
      return true;
    }
    SendTo(port, 0x14);
    usleep(50000);
  }
  return false;
}

// A failed write of the output ends pilvorne with one message and status 1, whether the
// start-up line fails or (with -Json, whose start-up line goes to standard error) a datagram's.
TEST(ListenerProcess, OutputToAFullDeviceEndsWithOneMessage) {
  for (const char* mode : {"-Explain", "-Json"}) {
    const int port = FreePort();
    Child child;
    Start({mode, "-PortNo=" + std::to_string(port)}, &child, Streams::kOutputFull);
    EXPECT_TRUE(SendUntilEnd(child, port)) << mode;
    EXPECT_EQ(Collect(&child, -1), 1) << mode;
    const std::string message = "pilvorne: cannot write its output: No space left on device\n";
    const std::string& err = child.text[1];
    EXPECT_EQ(err.substr(err.size() >= message.size() ? err.size() - message.size() : 0), message) << err;
    EXPECT_EQ(err.find("pilvorne:"), err.rfind("pilvorne:")) << err;
    close(child.fd[0]);
    close(child.fd[1]);
  }
}

// Started with descriptors 0, 1 and 2 closed, pilvorne prints into /dev/null rather than into
// its own socket, and so reaches its count instead of failing its first write.
TEST(ListenerProcess, StartedWithStandardStreamsClosed) {
  const int port = FreePort();
  Child child;
  Start({"-Count=1", "-PortNo=" + std::to_string(port)}, &child, Streams::kClosed);
  EXPECT_TRUE(SendUntilEnd(child, port));
  EXPECT_EQ(Collect(&child, -1), 0);
  close(child.fd[0]);
  close(child.fd[1]);
}

// -Summary at a termination request: the counts on standard error, then the end the
// signal would have made.
TEST(ListenerProcess, SummaryAtTermination) {
  const int port = FreePort();
  Child child;
  Start({"-Summary", "-PortNo=" + std::to_string(port)}, &child);
  ASSERT_EQ(Collect(&child, 1), 0);
  SendTo(port, 0x14);
  ASSERT_EQ(Collect(&child, 3), 0);
  kill(child.pid, SIGTERM);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOWAIT), 0);
  Collect(&child, -1);
  EXPECT_EQ(info.si_code, CLD_KILLED);
  EXPECT_EQ(info.si_status, SIGTERM);
  EXPECT_EQ(child.text[1].substr(0, child.text[1].find('\n')),
            "Summary: 1 datagrams seen, 1 shown, 1 valid wakes");
  close(child.fd[0]);
  close(child.fd[1]);
}

// --- Ends that nothing may hold up: signals while the output is blocked, FIFOs, capture files ---

// The kernel's drop count of the UDP socket bound to `port` on all addresses, from
// /proc/net/udp (its last column); -1 when there is no such line.
long KernelDrops(int port) {
  std::FILE* f = std::fopen("/proc/net/udp", "r");
  if (f == nullptr) return -1;
  char line[512], local[64];
  char wanted[16];
  std::snprintf(wanted, sizeof wanted, "00000000:%04X", port);
  long drops = -1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::sscanf(line, "%*s %63s", local) != 1 || std::strcmp(local, wanted) != 0) continue;
    // The last field; the line ends in blanks.
    for (char* field = std::strtok(line, " \n"); field != nullptr; field = std::strtok(nullptr, " \n")) {
      drops = std::strtol(field, nullptr, 10);
    }
  }
  std::fclose(f);
  return drops;
}

// Waits (at most 5 s) for the child to end; true when a signal ended it, *signal_number which.
bool EndedBySignal(const Child& child, int* signal_number) {
  for (int waited = 0; waited < kWaitMs; waited += 20, usleep(20000)) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0) {
      *signal_number = info.si_status;
      return info.si_code == CLD_KILLED;
    }
  }
  return false;
}

std::string Line(const std::string& text, const std::string& start) {
  const std::size_t at = text.find(start);
  return at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at);
}


// SIGTERM while the output is blocked (a reader that reads nothing) still prints the summary and
// ends pilvorne as the signal does; the drops it reports are the kernel's whole count, those
// after the last datagram delivered included.
TEST(ListenerProcess, SignalWhileTheOutputIsBlockedGivesTheKernelsDrops) {
  const int port = FreePort();
  Child child;
  Start({"-Summary", "-PortNo=" + std::to_string(port)}, &child);
  // Standard output is never read: once its pipe is full, pilvorne blocks in a write, its
  // socket's queue fills, and the kernel drops what follows.
  ASSERT_EQ(Collect(&child, 1), 0);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<unsigned short>(port));
  std::vector<unsigned char> wake(102, 0xFF);
  long drops = 0;
  for (int round = 0; round < 200 && drops <= 0; ++round) {
    for (int i = 0; i < 1000; ++i) sendto(s, wake.data(), wake.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    drops = KernelDrops(port);
  }
  closesocket(s);
  ASSERT_GT(drops, 0) << "the kernel dropped nothing";
  kill(child.pid, SIGTERM);
  int signal_number = 0;
  EXPECT_TRUE(EndedBySignal(child, &signal_number)) << "still running, or it exited";
  EXPECT_EQ(signal_number, SIGTERM);
  Collect(&child, -1);
  EXPECT_EQ(Line(child.text[1], "  dropped"),
            "  dropped by the kernel for a full receive queue: " + std::to_string(drops));
  EXPECT_NE(child.text[1].find("Summary: "), std::string::npos) << child.text[1];
  close(child.fd[0]);
  close(child.fd[1]);
}

// A FIFO for -Read, removed with the test.
struct Fifo {
  std::string path = ::testing::TempDir() + "tidewake_read_fifo." + std::to_string(getpid());
  Fifo() { mkfifo(path.c_str(), 0600); }
  ~Fifo() { unlink(path.c_str()); }
};

// A wake of 102 bytes to 192.0.2.255 port 9, as an IPv4 packet.
std::vector<std::uint8_t> WakePacket() {
  std::vector<std::uint8_t> ip = {0x45, 0, 0, 130, 0, 0, 0, 0, 64, 17, 0, 0, 192, 0, 2, 10, 192, 0, 2, 255,
                                  0x9c, 0x40, 0, 9, 0, 110, 0, 0};
  const std::uint8_t mac[6] = {0x02, 0x54, 0x57, 0x00, 0x00, 0x14};
  for (int i = 0; i < 102; ++i) ip.push_back(i < 6 ? 0xFF : mac[(i - 6) % 6]);
  return ip;
}

// A capture file's global header and that wake as raw IPv4 (link type 228).
std::vector<std::uint8_t> WakeCapture() {
  const std::string path = ::testing::TempDir() + "tidewake_wake." + std::to_string(getpid()) + ".pcap";
  capture_file::Write(path, 228, {{WakePacket()}});
  std::vector<std::uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  for (int c; f != nullptr && (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
  if (f != nullptr) std::fclose(f);
  unlink(path.c_str());
  return bytes;
}

// -Read of a FIFO: -Timeout bounds the open that waits for a writer, and with -Summary SIGTERM
// ends a read that waits for more, after the summary and the entries shown.
TEST(ListenerProcess, ReadOfAFifoEndsByTimeAndBySignal) {
  {
    Fifo fifo;
    Child child;
    Start({"-Read=" + fifo.path, "-Timeout=1", "-Summary"}, &child);
    EXPECT_EQ(Collect(&child, -1), 4) << child.text[1];
    EXPECT_EQ(child.text[1].substr(0, child.text[1].find('\n')), "Summary: 0 datagrams seen, 0 shown, 0 valid wakes");
    close(child.fd[0]);
    close(child.fd[1]);
  }
  Fifo fifo;
  Child child;
  Start({"-Read=" + fifo.path, "-Summary"}, &child);
  const int writer = open(fifo.path.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  const std::vector<std::uint8_t> bytes = WakeCapture();
  ASSERT_EQ(write(writer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  // Until pilvorne has read it all, then it waits for more.
  int queued = 1;
  for (int waited = 0; waited < kWaitMs && queued > 0; waited += 10, usleep(10000)) ioctl(writer, FIONREAD, &queued);
  ASSERT_EQ(queued, 0);
  kill(child.pid, SIGTERM);
  int signal_number = 0;
  EXPECT_TRUE(EndedBySignal(child, &signal_number)) << "still running, or it exited";
  EXPECT_EQ(signal_number, SIGTERM);
  Collect(&child, -1);
  close(writer);
  EXPECT_EQ(child.text[1].substr(0, child.text[1].find('\n')), "Summary: 1 datagrams seen, 1 shown, 1 valid wakes");
  EXPECT_NE(child.text[0].find("broadcast magic packet       - 02:54:57:00:00:14 from 192.0.2.10 (len=102) udp port 9"),
            std::string::npos) << child.text[0];
  close(child.fd[0]);
  close(child.fd[1]);
}

// A pcapng file of one interface (raw IPv4, microseconds) and one packet per time stamp.
void WritePcapng(const std::string& path, const std::vector<std::uint64_t>& microseconds) {
  std::vector<std::uint8_t> b;
  auto block = [&b](std::uint32_t type, const std::vector<std::uint8_t>& body) {
    const std::uint32_t length = static_cast<std::uint32_t>(12 + body.size());
    capture_file::Put32(&b, type);
    capture_file::Put32(&b, length);
    b.insert(b.end(), body.begin(), body.end());
    capture_file::Put32(&b, length);
  };
  // Section header: byte-order magic, version 1.0, section length unknown.
  block(0x0A0D0D0A, {0x4D, 0x3C, 0x2B, 0x1A, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  block(1, {228, 0, 0, 0, 0, 0, 0, 0});  // interface: link type, reserved, snap length 0
  std::vector<std::uint8_t> packet = WakePacket();
  packet.resize((packet.size() + 3) / 4 * 4);
  for (std::uint64_t t : microseconds) {
    std::vector<std::uint8_t> body;
    capture_file::Put32(&body, 0);  // interface 0
    capture_file::Put32(&body, static_cast<std::uint32_t>(t >> 32));
    capture_file::Put32(&body, static_cast<std::uint32_t>(t));
    capture_file::Put32(&body, 130);
    capture_file::Put32(&body, 130);
    body.insert(body.end(), packet.begin(), packet.end());
    block(6, body);
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
}

// The times of -Json: a microsecond field of a second or more carried over; years past 9999
// (a pcapng file's 64-bit time stamps) null, the frames still shown. A link type that is not
// decoded is refused, by number and name.
TEST(ListenerProcess, ReadOfOddCaptureTimesAndLinkTypes) {
  const std::string pcap = ::testing::TempDir() + "tidewake_times." + std::to_string(getpid()) + ".pcap";
  const std::string pcapng = pcap + "ng";
  ASSERT_TRUE(capture_file::Write(pcap, 228, {{WakePacket(), 1, 1500000}}));
  const std::uint64_t kYear10000 = 253402300800ULL * 1000000ULL;
  WritePcapng(pcapng, {kYear10000, 0x7FFFFFFFFFFFFFFFULL});
  setenv("TZ", "UTC", 1);
  const struct {
    std::string path;
    std::vector<std::string> times;
  } cases[] = {
      {pcap, {"\"time\":\"1970-01-01T00:00:02.500+00:00\""}},
      {pcapng, {"\"time\":null", "\"time\":null"}},
  };
  for (const auto& c : cases) {
    Child child;
    Start({"-Read=" + c.path, "-Json"}, &child);
    EXPECT_EQ(Collect(&child, -1), 0) << child.text[1];
    std::vector<std::string> times;
    for (std::size_t at = 0; (at = child.text[0].find("{\"time\":", at)) != std::string::npos; ++at) {
      times.push_back(child.text[0].substr(at + 1, child.text[0].find(",\"from\"", at) - at - 1));
    }
    EXPECT_EQ(times, c.times) << child.text[0];
    close(child.fd[0]);
    close(child.fd[1]);
  }
  unsetenv("TZ");
  ASSERT_TRUE(capture_file::Write(pcap, 105, {{WakePacket()}}));
  Child child;
  Start({"-Read=" + pcap}, &child);
  EXPECT_EQ(Collect(&child, -1), 2);
  EXPECT_EQ(child.text[1], "pilvorne: cannot read " + pcap + ": link type 105 (IEEE802_11) is not one pilvorne reads "
                           "(it reads Ethernet, Linux cooked, raw IP and loopback frames)\n");
  close(child.fd[0]);
  close(child.fd[1]);
  unlink(pcap.c_str());
  unlink(pcapng.c_str());
}

}  // namespace
