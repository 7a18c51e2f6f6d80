// Runs one command and prints its wall time in seconds, its peak memory
// (maximum resident set size) in KiB, its exit status, and its user and
// system CPU time in seconds. The command's own output is discarded.
#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fputs("usage: run_timed COMMAND [ARGUMENT...]\n", stderr);
    return 2;
  }
  timespec start{}, stop{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execv(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return 1;
  clock_gettime(CLOCK_MONOTONIC, &stop);
  const double seconds = static_cast<double>(stop.tv_sec - start.tv_sec) +
                         static_cast<double>(stop.tv_nsec - start.tv_nsec) * 1e-9;
  const auto cpu = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  std::printf("%.6f %ld %d %.3f %.3f\n", seconds, usage.ru_maxrss,
              WIFEXITED(status) ? WEXITSTATUS(status) : -1, cpu(usage.ru_utime),
              cpu(usage.ru_stime));
  return 0;
}
