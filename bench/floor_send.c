/* The silent send's floor: one broadcast datagram of a magic packet's length, then the 10 ms pause. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "destination.h"

enum { kLength = 118 };  /* header and magic packet, what kestrava sends */

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s BROADCAST-ADDRESS PORT\n", argv[0]);
    return 2;
  }
  struct sockaddr_in to;
  if (!ReadDestination(argv[1], argv[2], &to)) return 2;
  unsigned char packet[kLength];
  memset(packet, 0xFF, sizeof packet);
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int on = 1;
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return 1;
  int sent = sendto(fd, packet, sizeof packet, 0, (struct sockaddr*)&to, sizeof to) == kLength;
  close(fd);
  struct timespec pause = {0, 10 * 1000 * 1000};
  nanosleep(&pause, NULL);
  return sent ? 0 : 1;
}
