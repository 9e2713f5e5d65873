/* The hosts-file send's floor: every host's magic packet with one socket, one sendto each, then the 10 ms pause. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "destination.h"

/* kestrava's broadcast magic packet: the 16-byte header (tag, total length as a little-endian
   32-bit number, four zero bytes), six 0xFF bytes, the MAC 16 times. */
enum { kHeader = 16, kSync = 6, kMac = 6, kCopies = 16, kLength = kHeader + kSync + kMac * kCopies };
enum { kMaxHosts = 1000 };

/* The MAC that starts a hosts-file line: 12 hex digits, ':' or '-' allowed between them. */
static int ReadMac(const char* text, unsigned char mac[kMac]) {
  int digits = 0;
  for (const char* p = text; *p != '\0' && !isspace((unsigned char)*p) && digits < 2 * kMac; ++p) {
    if (*p == ':' || *p == '-') continue;
    if (!isxdigit((unsigned char)*p)) return 0;
    int v = isdigit((unsigned char)*p) ? *p - '0' : (tolower((unsigned char)*p) - 'a' + 10);
    if (digits % 2 == 0) mac[digits / 2] = (unsigned char)(v << 4); else mac[digits / 2] |= (unsigned char)v;
    ++digits;
  }
  return digits == 2 * kMac;
}

/* Every host of the file is on the sender's own subnet (with an address there or none), so each
   datagram goes to that subnet's broadcast address, as kestrava sends it. */
int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s BROADCAST-ADDRESS PORT HOSTS-FILE\n", argv[0]);
    return 2;
  }
  struct sockaddr_in to;
  if (!ReadDestination(argv[1], argv[2], &to)) return 2;
  FILE* file = fopen(argv[3], "r");
  if (file == NULL) return 2;
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int on = 1;
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return 1;
  unsigned char packet[kLength] = "KESTRAVA";
  packet[8] = kLength;  /* little-endian; the other length and sequence bytes stay zero */
  memset(packet + kHeader, 0xFF, kSync);
  char line[256];
  int hosts = 0, failed = 0;
  while (hosts < kMaxHosts && fgets(line, sizeof line, file) != NULL) {
    const char* p = line;
    while (isspace((unsigned char)*p)) ++p;
    if (*p == '\0' || *p == '#') continue;
    unsigned char mac[kMac];
    if (!ReadMac(p, mac)) {
      ++failed;
      continue;
    }
    for (int i = 0; i < kCopies; ++i) memcpy(packet + kHeader + kSync + kMac * i, mac, kMac);
    if (sendto(fd, packet, sizeof packet, 0, (struct sockaddr*)&to, sizeof to) != kLength) ++failed;
    ++hosts;
  }
  fclose(file);
  close(fd);
  struct timespec pause = {0, 10 * 1000 * 1000};
  nanosleep(&pause, NULL);
  return failed == 0 && hosts > 0 ? 0 : 1;
}
