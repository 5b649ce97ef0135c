/* The simplest line filter: getline, then the line and CR LF. The baseline
   that zelvane must beat. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) {
  FILE *in = fopen(argv[1], "rb"), *out = fopen(argv[2], "wb");
  char* line = NULL; size_t capacity = 0; ssize_t n;
  if (argc < 3 || !in || !out) return 1;
  while ((n = getline(&line, &capacity, in)) > 0) {
    if (line[n - 1] == '\n') --n;
    fwrite(line, 1, (size_t)n, out); fwrite("\r\n", 1, 2, out);
  }
  free(line); return fclose(out) != 0;
}
