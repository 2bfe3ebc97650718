// measure: runs a command several times and prints its median wall time and its peak memory,
// so that our programs and the peer GDAL tools are timed the same way, as processes.
//
//   measure RUNS COMMAND [ARGS...]   prints "<median seconds> <peak resident MB>" on stdout
//
// The command's own output goes to /dev/null; a run that fails ends measure with status 1.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct RunFigures {
  double seconds = 0;
  double peak_mb = 0;
  bool ok = false;
};

RunFigures RunOnce(char** argv) {
  RunFigures figures;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) return figures;
  if (pid == 0) {
    int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    dup2(null_fd, STDERR_FILENO);
    execvp(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return figures;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.peak_mb = usage.ru_maxrss / 1024.0;  // ru_maxrss is in KiB
  figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: measure RUNS COMMAND [ARGS...]\n");
    return 2;
  }
  int runs = std::max(1, std::atoi(argv[1]));
  std::vector<double> seconds;
  double peak_mb = 0;
  for (int i = 0; i < runs; ++i) {
    RunFigures figures = RunOnce(argv + 2);
    if (!figures.ok) {
      std::fprintf(stderr, "measure: %s failed\n", argv[2]);
      return 1;
    }
    seconds.push_back(figures.seconds);
    peak_mb = std::max(peak_mb, figures.peak_mb);
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("%.3f %.1f\n", seconds[seconds.size() / 2], peak_mb);
  return 0;
}
