#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <algorithm>

#include "link/SerialLine.h"

// A serial line that answers every complete command frame with a reply (by default "OK") and
// records everything the program does with it.
class FakeLine : public SerialLine {
public:
    QSet<quint8> failingOpens;  // ports whose open fails
    QByteArray frameReply = "OK\r\n";
    bool answerFrames = true;

    QList<quint8> opens;
    QList<quint8> closes;
    QByteArray sent;
    quint8 openPort = 0;
    QByteArray pending;

    int open(quint8 port) override {
        opens << port;
        if (failingOpens.contains(port))
            return -1;
        openPort = port;
        return 0;
    }
    int setLine(quint8, qint32, quint8, Parity, quint8) override { return 0; }
    int setFlowControl(quint8, FlowControl) override { return 0; }
    void putByte(quint8 port, quint8 value) override {
        if (port != openPort)
            return;
        sent.append(static_cast<char>(value));
        // A frame ends with line feed, carriage return.
        if (answerFrames && sent.endsWith("\n\r"))
            pending += frameReply;
    }
    int readAvailable(quint8 port, quint8* buffer, int capacity) override {
        if (port != openPort)
            return 0;
        const int n = std::min<int>(capacity, pending.size());
        std::copy_n(pending.constData(), n, reinterpret_cast<char*>(buffer));
        pending.remove(0, n);
        return n;
    }
    void close(quint8 port) override {
        closes << port;
        if (port == openPort)
            openPort = 0;
    }
    QString lastErrorDetail(quint8 port) const override {
        return QStringLiteral("/dev/fake%1: no such device").arg(port);
    }
};
