#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QStringList>
#include <functional>
#include <vector>

#include "link/Clock.h"
#include "link/SerialLine.h"

// A serial line that records what is put on it (with the clock's time) and hands out
// whatever a test queues as the generator's reply.
class FakeLine : public SerialLine {
public:
    struct Put {
        quint8 port;
        quint8 byte;
        quint32 at;
    };

    explicit FakeLine(Clock* clock = nullptr) : clock_(clock) {}

    int openResult = 0;
    QSet<quint8> failingOpens;  // ports whose open fails whatever openResult says
    int setLineResult = 0;
    int flowResult = 0;
    int readOverride = 0;  // when negative, readAvailable returns it once
    QStringList calls;     // "open 3", "setLine 3 19200 8 N 1", "flow 3 none", "close 3"
    QList<quint8> opens;
    QList<quint8> closes;
    // When set, every complete command frame (it ends with line feed, carriage return) is
    // answered with frameReply at once.
    bool answerFrames = false;
    QByteArray frameReply = "OK\r\n";
    std::vector<Put> puts;
    QByteArray inbound;
    // Called after every byte put on the line, e.g. to answer a completed frame.
    std::function<void(FakeLine&)> onPut;

    void feed(const QByteArray& bytes) { inbound += bytes; }
    QByteArray sent() const {
        QByteArray out;
        for (const Put& p : puts) out.append(static_cast<char>(p.byte));
        return out;
    }
    void clearSent() { puts.clear(); }

    int open(quint8 port) override {
        calls << QStringLiteral("open %1").arg(port);
        opens << port;
        return failingOpens.contains(port) ? -1 : openResult;
    }
    int setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity,
                quint8 stopBits) override {
        calls << QStringLiteral("setLine %1 %2 %3 %4 %5")
                     .arg(port)
                     .arg(baud)
                     .arg(dataBits)
                     .arg(parity == Parity::None ? "N" : "?")
                     .arg(stopBits);
        return setLineResult;
    }
    int setFlowControl(quint8 port, FlowControl flow) override {
        calls
            << QStringLiteral("flow %1 %2").arg(port).arg(flow == FlowControl::None ? "none" : "?");
        return flowResult;
    }
    void putByte(quint8 port, quint8 value) override {
        puts.push_back({port, value, clock_ ? clock_->tickMs() : 0});
        if (answerFrames && sent().endsWith("\n\r"))
            inbound += frameReply;
        if (onPut)
            onPut(*this);
    }
    int readAvailable(quint8, quint8* buffer, int capacity) override {
        if (readOverride < 0) {
            const int r = readOverride;
            readOverride = 0;
            return r;
        }
        const int n = qMin(capacity, static_cast<int>(inbound.size()));
        std::copy(inbound.constBegin(), inbound.constBegin() + n, buffer);
        inbound.remove(0, n);
        return n;
    }
    bool usable = true;  // false: the device has gone
    bool isUsable(quint8) const override { return usable; }
    void discardInput(quint8 port) override {
        calls << QStringLiteral("discard %1").arg(port);
        inbound.clear();
    }
    void close(quint8 port) override {
        calls << QStringLiteral("close %1").arg(port);
        closes << port;
    }
    QString lastErrorDetail(quint8 port) const override {
        return QStringLiteral("/dev/fake%1: no such device").arg(port);
    }

private:
    Clock* clock_;
};
