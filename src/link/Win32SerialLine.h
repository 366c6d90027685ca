#pragma once

#include <QString>

#include "link/SerialLine.h"

// SerialLine on the Win32 serial API, the way the engine works: it never waits for the line's
// events, it asks. Reads return at once with whatever has arrived, writes hand one byte to the
// driver and the engine paces. One port at a time, as the program uses it.
class Win32SerialLine : public SerialLine {
public:
    Win32SerialLine();
    ~Win32SerialLine() override;
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    int open(quint8 port) override;
    int setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity, quint8 stopBits) override;
    int setFlowControl(quint8 port, FlowControl flow) override;
    void putByte(quint8 port, quint8 value) override;
    int readAvailable(quint8 port, quint8* buffer, int capacity) override;
    void close(quint8 port) override;
    void discardInput(quint8 port) override;
    bool isUsable(quint8 port) const override;
    QString lastErrorDetail(quint8 port) const override;
    // The device went away (adapter pulled) and the port was closed.
    bool isGone() const { return broken_; }

private:
    bool isOpenAs(quint8 port) const;
    void markGone();
    // Records "COMn: reason" for the last failed set-up and returns 1.
    int setUpFailed();

    void* handle_;  // HANDLE; kept out of this header so that <windows.h> stays in one file
    quint8 openNumber_ = 0;
    QString openDevice_;
    bool broken_ = false;
    QString lastError_;
};
