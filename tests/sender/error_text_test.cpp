// Tests of the error texts: the Winsock table, unknown codes, socket errors and system texts.
#include "sender/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

#include "platform/system.h"

namespace {

// The socket layer is started once for the whole program.
class SocketLayer : public ::testing::Environment {
 public:
  void SetUp() override { platform::socket_startup(2, 0); }
  void TearDown() override { platform::socket_cleanup(); }
};
const auto* const g_socket_layer = ::testing::AddGlobalTestEnvironment(new SocketLayer);

struct Row {
  std::uint32_t code;
  const char* text;
};

// The texts as the product shows them, odd spellings included ("hos", "occured", "subsytem").
const Row kExpectedRows[] = {
      {10004, "The (blocking) call was canceled via WSACancelBlockingCall"},
      {10009, "Bad file handle"},
      {10013, "The requested address is a broadcast address, but the appropriate flag was not set"},
      {10014, "WSAEFAULT"},
      {10022, "WSAEINVAL"},
      {10024, "No more file descriptors available"},
      {10035, "Socket is marked as non-blocking and no connections are present or the receive operation would block"},
      {10036, "A blocking Windows Sockets operation is in progress"},
      {10037, "The asynchronous routine being canceled has already completed"},
      {10038, "At least one descriptor is not a socket"},
      {10039, "A destination address is required"},
      {10040, "The datagram was too large to fit into the specified buffer and was truncated"},
      {10041, "The specified protocol is the wrong type for this socket"},
      {10042, "The option is unknown or unsupported"},
      {10043, "The specified protocol is not supported"},
      {10044, "The specified socket type is not supported by this address family"},
      {10045, "The referenced socket is not a type that supports that operation"},
      {10046, "BSD: Protocol family not supported"},
      {10047, "The specified address family is not supported"},
      {10048, "The specified address is already in use"},
      {10049, "The specified address is not available from the local machine"},
      {10050, "The Windows Sockets implementation has detected that the network subsystem has failed"},
      {10051, "The network can't be reached from this hos at this time"},
      {10052, "The connection must be reset because the Windows Sockets implementation dropped it"},
      {10053, "The virtual circuit was aborted due to timeout or other failure"},
      {10054, "The virtual circuit was reset by the remote side"},
      {10055, "No buffer space is available or a buffer deadlock has occured. The socket cannot be created"},
      {10056, "The socket is already connected"},
      {10057, "The socket is not connected"},
      {10058, "The socket has been shutdown"},
      {10059, "BSD: Too many references"},
      {10060, "Attempt to connect timed out without establishing a connection"},
      {10061, "The attempt to connect was forcefully rejected"},
      {10062, "WSAELOOP"},
      {10063, "WSAENAMETTOLONG"},
      {10064, "WSAEHOSTDOWN"},
      {10065, "No route to host"},
      {10066, "WSAENOTEMPTY"},
      {10067, "WSAEPROCLIM"},
      {10068, "WSAEUSERS"},
      {10069, "WSAEDQOUT"},
      {10070, "WSAESTALE"},
      {10071, "WSAEREMOTE"},
      {10091, "Underlying network subsytem is not ready for network communication"},
      {10092, "The version of WinSock API support requested is not provided in this implementation"},
      {10093, "WinSock subsystem not properly initialized"},
      {10101, "Virtual circuit has gracefully terminated connection"},
      {11005, "One or more RESV message has arrived"},
      {11006, "One or more PATH message has arrived"},
      {11007, "There are no senders"},
      {11008, "WSA_QOS_NO_RECEIVERS  There are no receivers"},
      {11009, "Reservation has been confirmed"},
      {11010, "Error due to lack of resources"},
      {11011, "Rejected for administrative reasons"},
      {11012, "Unknown or conflicting style"},
      {11013, "Problem with some part of the FLOWSPEC"},
      {11014, "Problem with some part of the filter specification"},
      {11015, "WSA_QOS_GENERIC_ERROR General error"},
};

TEST(WinsockErrorText, GivesEveryTableText) {
  EXPECT_EQ(sizeof kExpectedRows / sizeof kExpectedRows[0], 58u);
  for (const Row& row : kExpectedRows) EXPECT_STREQ(WinsockErrorText(row.code), row.text) << row.code;
}

// Every code around and between the rows that is not one of them takes the "WSAerr=" form.
TEST(WinsockErrorText, GapsAndNeighboursAreUnknown) {
  std::map<std::uint32_t, const char*> known;
  for (const Row& row : kExpectedRows) known[row.code] = row.text;
  for (std::uint32_t code = 9990; code <= 11030; ++code) {
    if (known.count(code) != 0) continue;
    EXPECT_EQ(std::string(WinsockErrorText(code)), "WSAerr=" + std::to_string(code));
  }
}

TEST(WinsockErrorText, UnknownCodesAreSignedDecimalInOneBuffer) {
  struct Case {
    std::uint32_t code;
    const char* text;
  } const cases[] = {
      {10005, "WSAerr=10005"},
      {9999, "WSAerr=9999"},
      {1, "WSAerr=1"},
      {0xFFFFFFFE, "WSAerr=-2"},
      {0x80000000, "WSAerr=-2147483648"},  // the longest text fits the buffer
      {0x7FFFFFFF, "WSAerr=2147483647"},
  };
  for (const Case& c : cases) EXPECT_STREQ(WinsockErrorText(c.code), c.text);
  const char* first = WinsockErrorText(10005);
  const char* second = WinsockErrorText(10006);
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "WSAerr=10006");
}

TEST(WinsockErrorText, ZeroStandsForTheLastSocketError) {
  platform::set_last_socket_error(0);
  EXPECT_STREQ(WinsockErrorText(0), "WSAerr=0");
  // A real failing call: a send on a socket that was never opened.
  ASSERT_EQ(sendto(INVALID_SOCKET, "x", 1, 0, nullptr, 0), SOCKET_ERROR);
  EXPECT_STREQ(WinsockErrorText(0), "At least one descriptor is not a socket");
}

TEST(GetSocketError, NoSocketGivesMinusTwo) {
  EXPECT_EQ(GetSocketError(0), -2);
}

// A UDP socket connected to a loopback port where no one listens, after one send: the
// loopback answers that the port is closed, which the socket keeps as its pending error.
SOCKET RefusedSocket() {
  SOCKET closed_port = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(closed_port, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(closed_port, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(closed_port);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  send(s, "x", 1, 0);
  return s;
}

TEST(GetSocketError, ReadsThePendingErrorInWinsockNumbering) {
  SOCKET fresh = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  ASSERT_NE(fresh, INVALID_SOCKET);
  EXPECT_EQ(GetSocketError(fresh), 0);
  closesocket(fresh);
  SOCKET refused = RefusedSocket();
  EXPECT_EQ(GetSocketError(refused), 10061);
  closesocket(refused);
  refused = RefusedSocket();
  EXPECT_STREQ(SocketErrorText(refused), "The attempt to connect was forcefully rejected");
  closesocket(refused);
}

TEST(SocketErrorText, NoSocketGivesTheLastSocketError) {
  platform::set_last_socket_error(0);
  ASSERT_EQ(sendto(INVALID_SOCKET, "x", 1, 0, nullptr, 0), SOCKET_ERROR);
  EXPECT_STREQ(SocketErrorText(0), "At least one descriptor is not a socket");
}

TEST(CleanSystemText, JoinsLinesKeepsInserts) {
  struct Case {
    const char* text;
    const char* expected;
  } const cases[] = {
      {"Access is denied.\r\n", "Access is denied."},
      {"First line.\r\nSecond line.\r\n", "First line.Second line."},
      {"Mixed\rends\nhere\r\n", "Mixedendshere"},
      {"The file %1 is missing.\r\n", "The file %1 is missing."},
      {"No line end", "No line end"},  // the platform gives the text bare
      {"\r\n", ""},
      {"x", "x"},
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[kSystemTextRoom];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(CleanSystemText(c.text, out, sizeof out), out);
    EXPECT_STREQ(out, c.expected) << c.text;
  }
}

TEST(CleanSystemText, KeepsAtMostRoomMinusOneCharacters) {
  std::string text;
  for (int i = 0; i < 700; ++i) text += "ab\r\n";  // 1400 characters once the line ends go
  char out[kSystemTextRoom + 8];
  std::memset(out, 'z', sizeof out);
  CleanSystemText(text.c_str(), out, kSystemTextRoom);
  EXPECT_EQ(std::strlen(out), kSystemTextRoom - 1);
  EXPECT_EQ(out[kSystemTextRoom], 'z');  // nothing written past the room
  EXPECT_EQ(std::string(out, 4), "abab");
  char small[4];
  CleanSystemText("abcdef\r\n", small, sizeof small);
  EXPECT_STREQ(small, "abc");
}

TEST(SystemErrorText, GivesTheSystemTextOnOneLine) {
  char* raw = platform::system_message_alloc(EACCES);
  ASSERT_NE(raw, nullptr);
  std::string expected(raw);
  platform::free_system_message(raw);
  ASSERT_FALSE(expected.empty());
  EXPECT_NE(expected.back(), '\n') << "the platform gives the text without its line end";
  EXPECT_EQ(std::string(SystemErrorText(EACCES)), expected);
  EXPECT_EQ(std::string(SystemErrorText(EACCES)).find_first_of("\r\n"), std::string::npos);
}

TEST(SystemErrorText, UnknownCodesGiveTheHexForm) {
  EXPECT_STREQ(SystemErrorText(0x20000001), "Error 0x20000001");
  EXPECT_STREQ(SystemErrorText(0xFFFFFFFF), "Error 0xffffffff");
  const char* first = SystemErrorText(0x20000002);
  SystemErrorText(0x20000003);
  EXPECT_STREQ(first, "Error 0x20000003");  // one buffer, every call overwrites it
}

TEST(SystemErrorText, ZeroStandsForTheLastError) {
  platform::set_last_error(0x20000004);
  EXPECT_STREQ(SystemErrorText(0), "Error 0x20000004");
}

}  // namespace
