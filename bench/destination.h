/* The address the sending programs of compare.sh send to, read from their command line. */
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>

/* ADDRESS and PORT into `to`; 0 when ADDRESS is not a dotted IPv4 address. */
static inline int ReadDestination(const char* address, const char* port, struct sockaddr_in* to) {
  memset(to, 0, sizeof *to);
  to->sin_family = AF_INET;
  to->sin_port = htons((unsigned short)atoi(port));
  return inet_pton(AF_INET, address, &to->sin_addr) == 1;
}
