#include "link/QtSerialLine.h"

#include <QFileInfo>
#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

#include "link/ComPortMap.h"
#include "link/OpenDiagnosis.h"
#include "link/PortDescription.h"

QtSerialLine::QtSerialLine() = default;

QtSerialLine::~QtSerialLine() {
    delete port_;
}

int QtSerialLine::open(quint8 port) {
    close(openNumber_);
    lastError_.clear();
    const QString device = ComPortMap::device(port);
    if (device.isEmpty()) {
        lastError_ = OpenDiagnosis::examine(PortDescription::describe(port), {}).text();
        return 1;
    }
    port_ = new QSerialPort(device);
    // A vanished device (adapter pulled, far side of a pseudo-terminal gone) keeps raising
    // errors while it stays open; close it at the first one so nothing spins.
    QObject::connect(port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError)
            markGone();
    });
    if (!port_->open(QIODevice::ReadWrite)) {
        OpenDiagnosis::Refusal refusal;
        refusal.reason = port_->errorString();
        refusal.missing = port_->error() == QSerialPort::DeviceNotFoundError;
        // Qt reports a device in use (locked, or opened exclusively) as a permission error.
        refusal.denied = port_->error() == QSerialPort::PermissionError;
        delete port_;
        port_ = nullptr;
        lastError_ = OpenDiagnosis::examine(PortDescription::describe(port), refusal).text();
        return 1;
    }
    openDevice_ = device;
    openNumber_ = port;
    broken_ = false;
    return 0;
}

int QtSerialLine::setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity,
                          quint8 stopBits) {
    if (!port_ || port != openNumber_)
        return 1;
    const QSerialPort::Parity p = parity == Parity::Even  ? QSerialPort::EvenParity
                                  : parity == Parity::Odd ? QSerialPort::OddParity
                                                          : QSerialPort::NoParity;
    const bool ok = port_->setBaudRate(baud) &&
                    port_->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
                    port_->setParity(p) &&
                    port_->setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!ok)
        lastError_ = QStringLiteral("%1: %2").arg(port_->portName(), port_->errorString());
    return ok ? 0 : 1;
}

int QtSerialLine::setFlowControl(quint8 port, FlowControl flow) {
    if (!port_ || port != openNumber_)
        return 1;
    const QSerialPort::FlowControl f = flow == FlowControl::Hardware ? QSerialPort::HardwareControl
                                       : flow == FlowControl::Software
                                           ? QSerialPort::SoftwareControl
                                           : QSerialPort::NoFlowControl;
    const bool ok = port_->setFlowControl(f);
    if (!ok)
        lastError_ = QStringLiteral("%1: %2").arg(port_->portName(), port_->errorString());
    return ok ? 0 : 1;
}

void QtSerialLine::putByte(quint8 port, quint8 value) {
    if (!port_ || broken_ || port != openNumber_ || !port_->isOpen())
        return;
    const char c = static_cast<char>(value);
    port_->write(&c, 1);
    // The caller blocks in its pacing wait next, with no event loop to drain Qt's buffer:
    // hand the byte to the system now.
    port_->flush();
}

int QtSerialLine::readAvailable(quint8 port, quint8* buffer, int capacity) {
    if (!port_ || broken_ || port != openNumber_ || !port_->isOpen())
        return 0;
    // Pull in what the system holds even when the event loop has not run (a long pacing wait).
    if (port_->bytesAvailable() < capacity)
        port_->waitForReadyRead(0);
    if (broken_ || !port_->isOpen())
        return 0;
    const qint64 n = port_->read(reinterpret_cast<char*>(buffer), capacity);
    if (n > 0)
        return static_cast<int>(n);
    if (hungUp())
        markGone();
    return 0;
}

bool QtSerialLine::hungUp() const {
#ifdef Q_OS_UNIX
    // A device whose far side hung up (a pseudo-terminal's master closed, a modem line dropped)
    // stays readable at end of file for ever; Qt reads nothing and tries again at once.
    pollfd p{static_cast<int>(port_->handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void QtSerialLine::markGone() {
    // Closed at once so that nothing spins on it; reads and writes then do nothing and the
    // engine's time-outs report the silence.
    broken_ = true;
    if (port_ && port_->isOpen())
        port_->close();
}

void QtSerialLine::discardInput(quint8 port) {
    if (port_ && !broken_ && port == openNumber_ && port_->isOpen())
        port_->clear(QSerialPort::Input);
}

bool QtSerialLine::isUsable(quint8 port) const {
    return port_ && !broken_ && port == openNumber_ && port_->isOpen();
}

void QtSerialLine::close(quint8 port) {
    if (!port_ || port == 0 || port != openNumber_)
        return;
    port_->close();
    delete port_;
    port_ = nullptr;
    openNumber_ = 0;
    openDevice_.clear();
    broken_ = false;
}

QString QtSerialLine::lastErrorDetail(quint8 port) const {
    Q_UNUSED(port);
    return lastError_;
}
