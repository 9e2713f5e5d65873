// pilvorne run as a program on loopback: its lines, its exit statuses and its error texts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "listener/texts.h"
#include "platform/sockets.h"

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

}  // namespace
