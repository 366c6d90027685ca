#include "SimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int64_t NsPerMs = 1000000;
constexpr int64_t SplitGapNs = 60 * NsPerMs;

int signalPipe[2] = {-1, -1};

void onSignal(int signo) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &b, 1);
    errno = saved;
}

int64_t monotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

SimServer::SimServer(const SimOptions& options, PtyPort& port, ProtocolMachine& machine)
    : options_(options), port_(port), machine_(machine) {}

bool SimServer::installSignalHandlers(std::string* error) {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signo, &action, nullptr);
    // A test that stops reading our stdout must not kill us before the link is removed.
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

void SimServer::say(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int SimServer::run() {
    for (;;) {
        pollfd fds[2] = {
            {port_.masterFd(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0},
            {signalPipe[0], POLLIN, 0},
        };
        const int ready = ::poll(fds, 2, pollTimeoutMs(monotonicNs()));
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "orve1-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            unsigned char signo = 0;
            [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &signo, 1);
            port_.close();
            say(std::string("orve1-sim: stopped by ") + ::strsignal(signo) + ", link removed");
            return 0;
        }
        if (ready > 0 && (fds[0].revents & POLLOUT))
            writeBlocked_ = false;
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
            int status = 0;
            if (!readInput(&status))
                return status;
        }
        sendDue(monotonicNs());
    }
}

bool SimServer::readInput(int* status) {
    quint8 buffer[4096];
    const ssize_t n = ::read(port_.masterFd(), buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (n <= 0) {
        std::fprintf(stderr, "orve1-sim: read: %s\n",
                     n == 0 ? "end of file" : std::strerror(errno));
        *status = 1;
        return false;
    }
    port_.allowReopen();
    // The whole chunk arrived together, so its bytes share one timestamp.
    const int64_t now = monotonicNs();
    for (ssize_t i = 0; i < n; ++i) {
        meter_.add(now);
        ProtocolMachine::Outcome outcome;
        if (!machine_.feed(buffer[i], &outcome))
            continue;
        say(outcome.line);
        if (options_.timingReport)
            say(meter_.report());
        meter_.reset();
        if (outcome.hangup) {
            port_.close();
            say("orve1-sim: hung up, link removed");
            *status = 0;
            return false;
        }
        schedule(outcome);
    }
    return true;
}

void SimServer::schedule(const ProtocolMachine::Outcome& outcome) {
    if (outcome.reply.isEmpty())
        return;
    const int64_t now = monotonicNs();
    int64_t due = now + options_.delayMs * NsPerMs;
    if (!queue_.empty() && lastDue_ + (options_.split ? SplitGapNs : 0) > due)
        due = lastDue_ + (options_.split ? SplitGapNs : 0);
    if (options_.burst > 0 && outcome.kind == ProtocolMachine::ReplyKind::First)
        queue_.push_back({due, burstBytes()});
    if (options_.split) {
        for (int i = 0; i < outcome.reply.size(); ++i) {
            queue_.push_back({due, outcome.reply.mid(i, 1)});
            lastDue_ = due;
            due += SplitGapNs;
        }
    } else {
        queue_.push_back({due, outcome.reply});
        lastDue_ = due;
    }
    sendDue(now);
}

void SimServer::sendDue(int64_t now) {
    while (!writeBlocked_ && !queue_.empty() && queue_.front().due <= now) {
        QByteArray& bytes = queue_.front().bytes;
        const ssize_t n = ::write(port_.masterFd(), bytes.constData(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // Nobody reads the port and its input queue is full; retry when it drains.
            writeBlocked_ = true;
            return;
        }
        if (n < 0) {
            std::fprintf(stderr, "orve1-sim: write: %s\n", std::strerror(errno));
            queue_.pop_front();
            continue;
        }
        if (n < bytes.size()) {
            bytes.remove(0, static_cast<int>(n));
            writeBlocked_ = true;
            return;
        }
        queue_.pop_front();
    }
}

int SimServer::pollTimeoutMs(int64_t now) const {
    if (queue_.empty() || writeBlocked_)
        return -1;
    const int64_t wait = queue_.front().due - now;
    if (wait <= 0)
        return 0;
    return static_cast<int>((wait + NsPerMs - 1) / NsPerMs);
}

QByteArray SimServer::burstBytes() {
    QByteArray bytes;
    bytes.reserve(options_.burst);
    while (bytes.size() < options_.burst) {
        // xorshift32: cheap, and the same noise on every run.
        random_ ^= random_ << 13;
        random_ ^= random_ >> 17;
        random_ ^= random_ << 5;
        const char c = static_cast<char>(random_ & 0xFF);
        // Without an 'O' the noise can never spell the "OK" that the program looks for.
        if (c != 'O')
            bytes.append(c);
    }
    return bytes;
}
