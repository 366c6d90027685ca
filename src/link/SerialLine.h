#pragma once

#include <QString>
#include <QtGlobal>

// The operations through which every byte goes to and from the port. Every call names
// the port COM n by its number n (1..8; 0 means "never chosen").
class SerialLine {
public:
    enum class Parity : quint8 { None, Even, Odd };
    enum class FlowControl : quint8 { None, Hardware, Software };

    virtual ~SerialLine() = default;

    // 0 when the port is now open, anything else when it cannot be opened.
    virtual int open(quint8 port) = 0;
    // 0 on success.
    virtual int setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity,
                        quint8 stopBits) = 0;
    // 0 on success.
    virtual int setFlowControl(quint8 port, FlowControl flow) = 0;
    // Hands the byte to the system at once; the caller paces.
    virtual void putByte(quint8 port, quint8 value) = 0;
    // Copies what has arrived (at most capacity bytes) and returns the count; never waits.
    virtual int readAvailable(quint8 port, quint8* buffer, int capacity) = 0;
    // Harmless on a port that is not open and on port 0.
    virtual void close(quint8 port) = 0;
    // Drops whatever the device sent before now and nobody has read yet.
    virtual void discardInput(quint8 port) = 0;
    // False once the port is closed or its device has gone (hung up, adapter pulled).
    virtual bool isUsable(quint8 port) const = 0;

    // Device path and system reason of the last failed open or set-up, for a message's details.
    virtual QString lastErrorDetail(quint8 port) const {
        Q_UNUSED(port);
        return {};
    }
};
