// measure: runs a command several times and prints its median wall time and its peak memory,
// so that our programs and the peer GDAL tools are timed the same way, as processes.
//
//   measure [--cpu] RUNS COMMAND [ARGS...]   prints "<median seconds> <peak resident MB>" on
//                                            stdout, and with --cpu the CPU seconds (user and
//                                            system, all threads) of the median run
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
#include <cstring>
#include <vector>

namespace {

struct RunFigures {
  double seconds = 0;
  double cpu_seconds = 0;
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
  figures.cpu_seconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                        usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  figures.peak_mb = usage.ru_maxrss / 1024.0;  // ru_maxrss is in KiB
  figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  const bool cpu = argc > 1 && std::strcmp(argv[1], "--cpu") == 0;
  if (cpu) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: measure [--cpu] RUNS COMMAND [ARGS...]\n");
    return 2;
  }
  int runs = std::max(1, std::atoi(argv[1]));
  std::vector<RunFigures> done;
  double peak_mb = 0;
  for (int i = 0; i < runs; ++i) {
    RunFigures figures = RunOnce(argv + 2);
    if (!figures.ok) {
      std::fprintf(stderr, "measure: %s failed\n", argv[2]);
      return 1;
    }
    done.push_back(figures);
    peak_mb = std::max(peak_mb, figures.peak_mb);
  }
  std::sort(done.begin(), done.end(),
            [](const RunFigures& a, const RunFigures& b) { return a.seconds < b.seconds; });
  const RunFigures& median = done[done.size() / 2];
  if (cpu) {
    std::printf("%.3f %.1f %.3f\n", median.seconds, peak_mb, median.cpu_seconds);
  } else {
    std::printf("%.3f %.1f\n", median.seconds, peak_mb);
  }
  return 0;
}
