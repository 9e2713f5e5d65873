/* The log record's floor: open, one write of a record, close, per record. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s LOG-PATH ID COUNT\n", argv[0]);
    return 2;
  }
  int id = atoi(argv[2]);
  long count = atol(argv[3]);
  char record[160];
  for (long i = 0; i < count; ++i) {
    int length = snprintf(record, sizeof record, "2026-12-08 14:03:27.123: P%d-R%ld %.50s|\n", id, i,
                          "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
    int fd = open(argv[1], O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, record, (size_t)length) != length) return 1;
    close(fd);
  }
  return 0;
}
