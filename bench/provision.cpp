// One unit's EDID provisioning against the virtual generator, then several units at once on as
// many virtual generators (one orve1ctl edid-provision per port, all logging to one file), as a
// line with several stations runs it. Prints each stage's time, the wall and CPU time of every
// orve1ctl, and the parallel wall time against one unit's.
//
//   bench_provision [--bin DIR] [--units N] [--golden FILE]
//     DIR holds orve1ctl and orve1-sim (default: next to this); N generators, 2..8 (default 4).
//
// Targets: N units in parallel within 1.15 times one unit's wall time, each orve1ctl under 10 %
// of a core.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double TargetRatio = 1.15;
constexpr double TargetCorePercent = 10.0;

using Clock = std::chrono::steady_clock;

std::string folderOf(const char* path) {
    const std::string p(path);
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

struct Unit {
    int port = 0;
    pid_t pid = 0;
    std::string out;
    Clock::time_point start;
    double wall = 0;
    double cpu = 0;
    int status = -1;
};

pid_t startSim(const std::string& bin, int port) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    // A child must not print again what this process has not written out yet.
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(ready[1], STDOUT_FILENO);
        close(ready[0]);
        const std::string program = bin + "/orve1-sim";
        const std::string p = std::to_string(port);
        execl(program.c_str(), program.c_str(), "--port", p.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') {
    }
    // The rest of what it says goes nowhere.
    if (fork() == 0) {
        while (read(ready[0], &c, 1) == 1) {
        }
        _exit(0);
    }
    close(ready[0]);
    return pid;
}

void startUnit(Unit& u, const std::string& bin, const std::string& dir, const std::string& golden,
               int serial) {
    u.out = dir + "/unit" + std::to_string(u.port) + ".txt";
    std::fflush(nullptr);
    u.start = Clock::now();
    u.pid = fork();
    if (u.pid == 0) {
        if (!freopen(u.out.c_str(), "w", stdout) || !freopen(u.out.c_str(), "a", stderr))
            _exit(126);
        const std::string program = bin + "/orve1ctl";
        const std::string port = std::to_string(u.port);
        const std::string text = "BENCH-" + std::to_string(serial);
        const std::string log = dir + "/units.csv";
        execl(program.c_str(), program.c_str(), "edid-provision", golden.c_str(), "--port",
              port.c_str(), "--serial-text", text.c_str(), "--serial-number", "digits", "--date",
              "today", "--log", log.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

void waitUnits(std::vector<Unit>& units) {
    for (size_t left = units.size(); left > 0;) {
        int status = 0;
        rusage usage{};
        const pid_t pid = wait4(-1, &status, 0, &usage);
        if (pid < 0)
            return;
        for (Unit& u : units) {
            if (u.pid != pid)
                continue;
            --left;
            u.wall = std::chrono::duration<double>(Clock::now() - u.start).count();
            u.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                    usage.ru_stime.tv_usec / 1e6;
            u.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    }
}

// The stage lines orve1ctl printed: "Upload      29.79 s  Upload successful!!".
std::vector<std::pair<std::string, double>> stages(const Unit& u) {
    std::vector<std::pair<std::string, double>> out;
    std::ifstream in(u.out);
    std::string line;
    while (std::getline(in, line)) {
        const size_t s = line.find(" s  ");
        if (s == std::string::npos || s < 11)
            continue;
        std::string name = line.substr(0, 10);
        name.erase(name.find_last_not_of(' ') + 1);
        out.emplace_back(name, std::atof(line.substr(10, s - 10).c_str()));
    }
    return out;
}

void printUnit(const Unit& u) {
    std::printf("  COM %d: exit %d, wall %.2f s, CPU %.2f s = %.1f %% of a core\n", u.port,
                u.status, u.wall, u.cpu, 100.0 * u.cpu / u.wall);
}

int countLines(const std::string& path, const char* text) {
    std::ifstream in(path);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string bin = folderOf(argv[0]);
    std::string golden = ORVE1_BENCH_GOLDEN;
    int count = 4;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bin") == 0 && i + 1 < argc) {
            bin = argv[++i];
        } else if (std::strcmp(argv[i], "--units") == 0 && i + 1 < argc) {
            count = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--golden") == 0 && i + 1 < argc) {
            golden = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--bin DIR] [--units N] [--golden FILE]\n", argv[0]);
            return 2;
        }
    }
    if (count < 2 || count > 8) {
        std::fprintf(stderr, "--units takes 2..8\n");
        return 2;
    }
    char runtime[] = "/tmp/orve1-bench-XXXXXX";
    if (!mkdtemp(runtime)) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    std::vector<pid_t> sims;
    for (int port = 1; port <= count; ++port) sims.push_back(startSim(bin, port));

    std::vector<Unit> one(1);
    one[0].port = 1;
    startUnit(one[0], bin, runtime, golden, 1);
    waitUnits(one);
    std::printf("One unit (orve1ctl edid-provision against orve1-sim on COM 1):\n");
    for (const auto& [name, seconds] : stages(one[0]))
        std::printf("  %-10s %6.2f s\n", name.c_str(), seconds);
    printUnit(one[0]);

    std::vector<Unit> parallel(count);
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        parallel[i].port = i + 1;
        startUnit(parallel[i], bin, runtime, golden, 100 + i);
    }
    waitUnits(parallel);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%d units in parallel on COM 1..%d:\n", count, count);
    bool cpuMet = true;
    bool allPassed = one[0].status == 0;
    for (const Unit& u : parallel) {
        printUnit(u);
        cpuMet = cpuMet && 100.0 * u.cpu / u.wall < TargetCorePercent;
        allPassed = allPassed && u.status == 0;
    }
    const double ratio = wall / one[0].wall;
    std::printf("  wall %.2f s against one unit's %.2f s: %.3f times (target %.2f): %s\n", wall,
                one[0].wall, ratio, TargetRatio, ratio <= TargetRatio ? "met" : "MISSED");
    std::printf("  CPU of each under %.0f %% of a core: %s\n", TargetCorePercent,
                cpuMet ? "met" : "MISSED");
    const std::string log = std::string(runtime) + "/units.csv";
    std::printf("  log: %d PASS lines of %d units, all whole: %s\n", countLines(log, ",PASS,"),
                count + 1, countLines(log, ",BENCH-") == count + 1 ? "yes" : "NO");

    for (pid_t s : sims) kill(s, SIGTERM);
    for (pid_t s : sims) waitpid(s, nullptr, 0);
    while (waitpid(-1, nullptr, 0) > 0) {
    }
    if (std::system((std::string("rm -rf ") + runtime).c_str()) != 0)
        std::fprintf(stderr, "bench_provision: %s left behind\n", runtime);
    return allPassed ? 0 : 1;
}
