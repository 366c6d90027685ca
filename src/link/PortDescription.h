#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// What COM n is on this machine, told the way the system knows it: the device it opens (or
// that none does, and where we looked), the stable /dev/serial/by-id name pointing at it, and
// for a USB adapter what the adapter reports about itself. Read afresh on every call, since
// adapters come and go.
class PortDescription {
public:
    // What the system reports about the hardware behind a device (Qt SerialPort's view).
    struct Adapter {
        QString description;
        QString manufacturer;
        QString serialNumber;
        quint16 vendorId = 0;
        quint16 productId = 0;
        bool hasIds = false;
    };
    using AdapterLookup = std::function<Adapter(const QString& systemPath)>;

    // Where to look. Tests point these at their own folder and answers.
    struct Sources {
        QString byIdDir = QStringLiteral("/dev/serial/by-id");
        AdapterLookup adapter;  // empty: ask the system
    };

    enum class Kind {
        None,       // no candidate exists
        Simulator,  // the runtime link, served by a running virtual generator
        Link,       // the runtime link, but no running virtual generator serves it
        Device,     // a device of the system (/dev/ttyUSB<n-1>, /dev/ttyS<n-1>)
    };

    static PortDescription describe(int n);
    static PortDescription describe(int n, const Sources& sources);
    // COM 1 to count, asking the system about its adapters once.
    static QList<PortDescription> describeAll(int count = 8);
    // The system's answer for one device; an empty Adapter when it knows nothing about it.
    static Adapter systemAdapter(const QString& systemPath);

    int number() const { return number_; }
    Kind kind() const { return kind_; }
    // The path COM n opens; empty when none.
    QString device() const { return device_; }
    // That path with its links followed (/dev/pts/3, /dev/ttyUSB0).
    QString systemPath() const { return systemPath_; }
    // Everything looked at, in order.
    QStringList searched() const { return searched_; }
    // The /dev/serial/by-id entry that leads to the device; empty when there is none.
    QString byIdPath() const { return byIdPath_; }
    // /dev/ttyUSBn and /dev/ttyACMn: serial adapters on USB.
    bool isUsb() const;
    const Adapter& adapter() const { return adapter_; }
    // The virtual generator serving the runtime link: its pid, 0 none, -1 unknown.
    qint64 simulatorPid() const { return simulatorPid_; }

    // One line, for a field or a list: "/dev/ttyUSB0: FT232R USB UART, FTDI, serial A1B2,
    // by-id usb-FTDI_FT232R_USB_UART_A1B2-if00-port0".
    QString oneLine() const;
    // Several lines, one fact each, for a tool tip or a report.
    QString multiLine() const;
    // What the device is, without its path: the adapter as it names itself, or the virtual
    // generator serving it; empty when nothing is known.
    QString adapterText() const;

private:
    int number_ = 0;
    Kind kind_ = Kind::None;
    QString device_;
    QString systemPath_;
    QStringList searched_;
    QString byIdPath_;
    Adapter adapter_;
    qint64 simulatorPid_ = 0;
};
