#pragma once

#include <QString>

#include "link/SerialLine.h"

class QSerialPort;

// SerialLine on Qt SerialPort. One port at a time, as the program uses it.
class QtSerialLine : public SerialLine {
public:
    QtSerialLine();
    ~QtSerialLine() override;

    int open(quint8 port) override;
    int setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity, quint8 stopBits) override;
    int setFlowControl(quint8 port, FlowControl flow) override;
    void putByte(quint8 port, quint8 value) override;
    int readAvailable(quint8 port, quint8* buffer, int capacity) override;
    void close(quint8 port) override;
    void discardInput(quint8 port) override;
    bool isUsable(quint8 port) const override;
    QString lastErrorDetail(quint8 port) const override;
    // The device went away (hang-up, end of file, adapter pulled) and the port was closed.
    bool isGone() const { return broken_; }
    // The path the open port was opened by (what COM n led to then); empty while closed.
    QString openDevice() const { return openDevice_; }

private:
    bool hungUp() const;
    void markGone();

    QSerialPort* port_ = nullptr;
    quint8 openNumber_ = 0;
    QString openDevice_;
    bool broken_ = false;
    QString lastError_;
};
