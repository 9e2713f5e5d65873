/* The listener's floor: recvfrom, two printed lines per datagram, a flush; bounded in count and time. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s PORT MAX-DATAGRAMS MAX-SECONDS\n", argv[0]);
    return 2;
  }
  long limit = atol(argv[2]);
  alarm((unsigned)atoi(argv[3]));  /* the default action ends the process */
  struct sockaddr_in local;
  memset(&local, 0, sizeof local);
  local.sin_family = AF_INET;
  local.sin_port = htons((unsigned short)atoi(argv[1]));
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0 || bind(fd, (struct sockaddr*)&local, sizeof local) != 0) return 1;
  printf("Listening on port %s\n", argv[1]);
  fflush(stdout);
  unsigned char buffer[1500];
  for (long n = 0; n < limit; ++n) {
    struct sockaddr_in from;
    socklen_t from_size = sizeof from;
    ssize_t length = recvfrom(fd, buffer, sizeof buffer, 0, (struct sockaddr*)&from, &from_size);
    if (length < 0) return 1;
    time_t now = time(NULL);
    struct tm local_time;
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", localtime_r(&now, &local_time));
    printf("%s \n   %-28s - %02X:%02X:%02X:%02X:%02X:%02X from %s (len=%d)\n", stamp, "datagram",
           buffer[6], buffer[7], buffer[8], buffer[9], buffer[10], buffer[11],
           inet_ntoa(from.sin_addr), (int)length);
    fflush(stdout);
  }
  return 0;
}
