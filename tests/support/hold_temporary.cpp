// hold_temporary FOLDER: makes a pending output in FOLDER, says "ready" on stdout, and holds it
// until stdin ends; then it ends at once, as a killed run would, leaving the temporary and its
// lock file. For the tests that run it where its process id means nothing outside (a PID
// namespace with its own /proc, as in a container).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/pending_file.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  terravox::PendingFile file;
  if (!file.Create(std::string(argv[1]) + "/held.asc").ok()) return 1;
  std::puts("ready");
  std::fflush(stdout);
  char byte;
  while (::read(STDIN_FILENO, &byte, 1) > 0) {
  }
  ::_exit(0);
}
