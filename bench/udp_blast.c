/* Load for the listeners: 118-byte datagrams to one address as fast as they go, for a bounded time. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "destination.h"

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s ADDRESS PORT MILLISECONDS\n", argv[0]);
    return 2;
  }
  struct sockaddr_in to;
  if (!ReadDestination(argv[1], argv[2], &to)) return 2;
  double end = Now() + atof(argv[3]) / 1000.0;
  unsigned char packet[118];
  memcpy(packet, "KESTRAVA\x76\0\0\0\0\0\0\0", 16);
  memset(packet + 16, 0xFF, 6);
  for (int i = 0; i < 16; ++i) memcpy(packet + 22 + 6 * i, "\x02\x54\x57\x00\x00\x14", 6);
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return 1;
  long sent = 0;
  /* Bounded in time, and in count in case the clock stands still. */
  for (long i = 0; i < 100000000L && ((i & 255) != 0 || Now() < end); ++i) {
    if (sendto(fd, packet, sizeof packet, 0, (struct sockaddr*)&to, sizeof to) == (ssize_t)sizeof packet) ++sent;
  }
  printf("%ld\n", sent);
  return 0;
}
