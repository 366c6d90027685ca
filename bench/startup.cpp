// Starts orve1 (as orve1-stage, the same program with the staging hooks) again and again until
// its main window is on screen and reports how long that took and how much memory the program
// held at most.
//
//   bench_startup [-n RUNS] [--pause MS] [--bin DIR] [--offscreen]
//
// orve1-stage runs with ORVE1_EXIT_AFTER_SHOW=1: it prints the moment its main window was first
// exposed and painted, then exits. Without --offscreen the runs use DISPLAY, or a private Xvfb
// when DISPLAY is unset. Runs are spaced by a pause (default 300 ms): started back to back, each
// run also pays for the X server still tearing down the windows of the one before. Targets:
// start-up under 100 ms, peak resident memory under 60 MB.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr double TargetStartupMs = 100;
constexpr double TargetRssMb = 60;

long long monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

std::string readAll(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
}

// A private X server on a free display; returns its pid, 0 on failure.
pid_t startXvfb(std::string& display) {
    int fds[2];
    if (pipe(fds) != 0)
        return 0;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty())
        return 0;
    display = ":" + number;
    return pid;
}

struct Run {
    double shownMs = -1;
    double rssMb = 0;
    bool ok = false;
};

Run runOnce(const std::string& program, bool offscreen) {
    Run r;
    int fds[2];
    if (pipe(fds) != 0)
        return r;
    const long long start = monotonicNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, STDERR_FILENO);
        setenv("ORVE1_EXIT_AFTER_SHOW", "1", 1);
        setenv("QT_QPA_PLATFORM", offscreen ? "offscreen" : "xcb", 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    const std::string out = readAll(fds[0]);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.rssMb = usage.ru_maxrss / 1024.0;
    const char* key = "monotonic_ns=";
    const size_t at = out.find(key);
    if (at != std::string::npos && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        const long long shown = std::atoll(out.c_str() + at + std::strlen(key));
        r.shownMs = (shown - start) / 1e6;
        r.ok = true;
    }
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    int runs = 20;
    int pauseMs = 300;
    bool offscreen = false;
    std::string bin;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-n" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--pause" && i + 1 < argc) {
            pauseMs = std::max(0, std::atoi(argv[++i]));
        } else if (a == "--bin" && i + 1 < argc) {
            bin = argv[++i];
        } else if (a == "--offscreen") {
            offscreen = true;
        } else {
            std::fprintf(stderr, "usage: %s [-n RUNS] [--pause MS] [--bin DIR] [--offscreen]\n",
                         argv[0]);
            return 2;
        }
    }
    if (bin.empty()) {
        // All executables of the build land in one folder.
        bin = argv[0];
        const size_t slash = bin.rfind('/');
        bin = slash == std::string::npos ? "." : bin.substr(0, slash);
    }
    const std::string program = bin + "/orve1-stage";
    if (access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "no %s\n", program.c_str());
        return 1;
    }

    pid_t xvfb = 0;
    if (!offscreen && !std::getenv("DISPLAY")) {
        std::string display;
        xvfb = startXvfb(display);
        if (!xvfb) {
            std::fprintf(stderr, "cannot start Xvfb; set DISPLAY or use --offscreen\n");
            return 1;
        }
        setenv("DISPLAY", display.c_str(), 1);
    }
    char runtime[] = "/tmp/orve1-bench-XXXXXX";
    if (mkdtemp(runtime))
        setenv("XDG_RUNTIME_DIR", runtime, 1);

    // One run first to warm the file and font caches; it is reported, not counted.
    const Run cold = runOnce(program, offscreen);
    std::vector<double> shown;
    std::vector<double> rss;
    int failed = 0;
    for (int i = 0; i < runs; ++i) {
        usleep(static_cast<useconds_t>(pauseMs) * 1000);
        const Run r = runOnce(program, offscreen);
        if (!r.ok) {
            ++failed;
            continue;
        }
        shown.push_back(r.shownMs);
        rss.push_back(r.rssMb);
    }
    if (xvfb) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    rmdir(runtime);

    std::printf("orve1 start-up (%s), %d runs %d ms apart after one cold run (%.1f ms, %.1f MB)\n",
                offscreen ? "offscreen" : "X server", runs, pauseMs, cold.shownMs, cold.rssMb);
    if (shown.empty()) {
        std::printf("every run failed\n");
        return 1;
    }
    const double medShown = median(shown);
    const double maxShown = *std::max_element(shown.begin(), shown.end());
    const double medRss = median(rss);
    const double maxRss = *std::max_element(rss.begin(), rss.end());
    std::printf("  start to shown main window: median %.1f ms, max %.1f ms (target < %.0f ms)%s\n",
                medShown, maxShown, TargetStartupMs, medShown < TargetStartupMs ? "" : "  OVER");
    std::printf("  peak resident memory:       median %.1f MB, max %.1f MB (target < %.0f MB)%s\n",
                medRss, maxRss, TargetRssMb, maxRss < TargetRssMb ? "" : "  OVER");
    if (failed)
        std::printf("  %d run(s) failed\n", failed);
    return failed ? 1 : 0;
}
