// The processor time a hang-up costs: orve1ctl edid-write against a virtual generator that
// hangs up after the write's data byte, while the program waits for the final answer on a
// device that now reads as end of file. Prints the wall and CPU time of orve1ctl.
//
//   bench_hangup [--bin DIR]      (DIR holds orve1ctl and orve1-sim; default: next to this)
//
// Target: under 0.3 s of CPU in all, for the whole run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr double TargetCpuSeconds = 0.3;

std::string folderOf(const char* path) {
    const std::string p(path);
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string bin = folderOf(argv[0]);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bin") == 0 && i + 1 < argc) {
            bin = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--bin DIR]\n", argv[0]);
            return 2;
        }
    }
    char runtime[] = "/tmp/orve1-bench-XXXXXX";
    if (!mkdtemp(runtime)) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("XDG_RUNTIME_DIR", runtime, 1);

    int ready[2];
    if (pipe(ready) != 0)
        return 1;
    const pid_t sim = fork();
    if (sim == 0) {
        dup2(ready[1], STDOUT_FILENO);
        close(ready[0]);
        const std::string program = bin + "/orve1-sim";
        execl(program.c_str(), program.c_str(), "--port", "1", "--hangup-after", "1",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') {
    }

    const auto start = std::chrono::steady_clock::now();
    const pid_t ctl = fork();
    if (ctl == 0) {
        const std::string program = bin + "/orve1ctl";
        execl(program.c_str(), program.c_str(), "edid-write", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(ctl, &status, 0, &usage);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    close(ready[0]);
    rmdir((std::string(runtime) + "/orve1").c_str());
    rmdir(runtime);

    const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                       usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    std::printf("orve1ctl edid-write, generator hung up after the data byte:\n");
    std::printf("  exit status %d, wall %.2f s, CPU %.3f s (target under %.1f s): %s\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : -1, wall, cpu, TargetCpuSeconds,
                cpu < TargetCpuSeconds ? "met" : "MISSED");
    return 0;
}
