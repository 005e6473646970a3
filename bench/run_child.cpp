// Runs one program and writes its own CPU time and peak memory, the way the benchmarks time
// whole processes:
//
//   bench_run_child USAGE_FILE PROGRAM [ARGUMENTS...]
//
// USAGE_FILE gets one line: user microseconds, system microseconds, peak resident kilobytes
// and the program's exit status (-1 when a signal ended it, 127 when it could not be started).
// This program exits with the same status (128 + the signal for a signal).
//
// A benchmark cannot read a child's peak memory itself: the kernel carries the peak of the
// process that calls exec into the new program's, and a child forked from a benchmark starts
// as a copy of the benchmark's memory. This small program is started fresh, so the program it
// forks starts from its few pages. GNU time does the same, but prints CPU seconds to two
// decimals only, where short runs need microseconds.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_run_child USAGE_FILE PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const pid_t pid = fork();
    if (pid < 0) return 127;
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return 127;
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) return 127;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::fprintf(out, "%lld %lld %ld %d\n",
                 static_cast<long long>(usage.ru_utime.tv_sec) * 1000000 + usage.ru_utime.tv_usec,
                 static_cast<long long>(usage.ru_stime.tv_sec) * 1000000 + usage.ru_stime.tv_usec,
                 usage.ru_maxrss, exitStatus);
    if (std::fclose(out) != 0) return 127;
    return exitStatus >= 0 ? exitStatus : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
