// measure: runs a command and prints one line for the benchmark script:
// wall seconds, CPU seconds (user + system), peak resident set (KiB), minor
// page faults, exit status. On a shared machine the CPU time is the steadier
// figure: waiting for a core counts in the wall time only.
// The command's own output goes to /dev/null unless --keep-output is given.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    int first = 1;
    bool keep = false;
    if (first < argc && std::strcmp(argv[first], "--keep-output") == 0) {
        keep = true;
        ++first;
    }
    if (first < argc && std::strcmp(argv[first], "--") == 0) {
        ++first;
    }
    if (first >= argc) {
        std::fputs("usage: measure [--keep-output] [--] COMMAND [ARGS...]\n", stderr);
        return 64;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 70;
    }
    if (pid == 0) {
        if (!keep) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, 1);
                close(null);
            }
        }
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) < 0) {
        std::perror("wait4");
        return 70;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const auto cpu = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    std::printf("%.6f %.6f %ld %ld %d\n", seconds, cpu(usage.ru_utime) + cpu(usage.ru_stime),
                usage.ru_maxrss, usage.ru_minflt, code);
    return 0;
}
