#pragma once

#include <QByteArray>
#include <algorithm>
#include <ctime>

#include "link/SerialLine.h"

// A line for the benchmarks: always opens, holds what the "generator" answers until it is
// read, and lets a benchmark decide what each byte put on it is answered with.
class ScriptedLine : public SerialLine {
public:
    int open(quint8) override { return 0; }
    int setLine(quint8, qint32, quint8, Parity, quint8) override { return 0; }
    int setFlowControl(quint8, FlowControl) override { return 0; }
    void putByte(quint8, quint8 value) override { onByte(value); }
    int readAvailable(quint8, quint8* buffer, int capacity) override {
        const int n = std::min(capacity, static_cast<int>(inbound_.size()));
        std::copy(inbound_.constBegin(), inbound_.constBegin() + n, buffer);
        inbound_.remove(0, n);
        return n;
    }
    void close(quint8) override {}
    void discardInput(quint8) override { inbound_.clear(); }
    bool isUsable(quint8) const override { return true; }

protected:
    // Each byte put on the line; answer() queues a reply.
    virtual void onByte(quint8 value) { (void)value; }
    void answer(const QByteArray& bytes) { inbound_ += bytes; }

private:
    QByteArray inbound_;
};

// Processor time this process has used, in seconds.
inline double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}
