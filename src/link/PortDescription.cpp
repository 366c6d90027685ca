#include "link/PortDescription.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <memory>

#include "link/ComPortMap.h"

namespace {

PortDescription::Adapter fromInfo(const QSerialPortInfo& info) {
    PortDescription::Adapter a;
    a.description = info.description().trimmed();
    a.manufacturer = info.manufacturer().trimmed();
    a.serialNumber = info.serialNumber().trimmed();
    a.hasIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
    if (a.hasIds) {
        a.vendorId = info.vendorIdentifier();
        a.productId = info.productIdentifier();
    }
    return a;
}

bool sameDevice(const QSerialPortInfo& info, const QString& systemPath) {
    return info.systemLocation() == systemPath || info.portName() == systemPath;
}

QString hex4(quint16 v) {
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

// "a", "a and b", "a, b and c".
QString listed(const QStringList& items) {
    if (items.size() < 2)
        return items.join(QString());
    return QStringList(items.mid(0, items.size() - 1)).join(QStringLiteral(", ")) +
           QStringLiteral(" and ") + items.last();
}

}  // namespace

PortDescription::Adapter PortDescription::systemAdapter(const QString& systemPath) {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (sameDevice(info, systemPath))
            return fromInfo(info);
    }
    return {};
}

PortDescription PortDescription::describe(int n) {
    return describe(n, Sources());
}

PortDescription PortDescription::describe(int n, const Sources& sources) {
    PortDescription d;
    d.number_ = n;
    d.searched_ = ComPortMap::candidates(n);
    d.device_ = ComPortMap::device(n);
    if (d.device_.isEmpty())
        return d;
    d.systemPath_ = ComPortMap::systemPath(d.device_);
    if (d.systemPath_.isEmpty())
        d.systemPath_ = d.device_;

    if (d.device_ == ComPortMap::linkPath(n)) {
        d.simulatorPid_ = ComPortMap::registeredBy(n);
        d.kind_ = d.simulatorPid_ != 0 ? Kind::Simulator : Kind::Link;
    } else {
        d.kind_ = Kind::Device;
    }

    // The stable names are links made by the system for each USB adapter's interface.
    const QDir byId(sources.byIdDir);
    const QStringList names = byId.entryList(QDir::Files | QDir::System, QDir::Name);
    for (const QString& name : names) {
        if (QFileInfo(byId.filePath(name)).canonicalFilePath() == d.systemPath_) {
            d.byIdPath_ = byId.filePath(name);
            break;
        }
    }

    // A virtual generator's pseudo-terminal is nothing the system can describe.
    if (d.kind_ != Kind::Simulator)
        d.adapter_ =
            sources.adapter ? sources.adapter(d.systemPath_) : systemAdapter(d.systemPath_);
    return d;
}

QList<PortDescription> PortDescription::describeAll(int count) {
    // One enumeration of the system's ports for all of them: it reads many files.
    auto ports = std::make_shared<const QList<QSerialPortInfo>>(QSerialPortInfo::availablePorts());
    Sources sources;
    sources.adapter = [ports](const QString& systemPath) {
        for (const QSerialPortInfo& info : *ports) {
            if (sameDevice(info, systemPath))
                return fromInfo(info);
        }
        return Adapter();
    };
    QList<PortDescription> out;
    for (int n = 1; n <= count; ++n) out << describe(n, sources);
    return out;
}

bool PortDescription::isUsb() const {
    const QString name = QFileInfo(systemPath_).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

QString PortDescription::adapterText() const {
    switch (kind_) {
        case Kind::None:
            return {};
        case Kind::Simulator:
            return simulatorPid_ > 0
                       ? QStringLiteral("orve1-sim virtual generator, pid %1").arg(simulatorPid_)
                       : QStringLiteral("orve1-sim virtual generator");
        case Kind::Link:
        case Kind::Device:
            break;
    }
    QStringList parts;
    if (kind_ == Kind::Link)
        parts << QStringLiteral("no running orve1-sim serves this link");
    if (!adapter_.description.isEmpty())
        parts << adapter_.description;
    if (!adapter_.manufacturer.isEmpty() && adapter_.manufacturer != adapter_.description)
        parts << adapter_.manufacturer;
    if (!adapter_.serialNumber.isEmpty())
        parts << QStringLiteral("serial ") + adapter_.serialNumber;
    // Without a name, the USB ids at least tell the chip.
    if (adapter_.description.isEmpty() && adapter_.hasIds)
        parts << QStringLiteral("USB %1:%2").arg(hex4(adapter_.vendorId), hex4(adapter_.productId));
    if (!byIdPath_.isEmpty())
        parts << QStringLiteral("by-id ") + QFileInfo(byIdPath_).fileName();
    return parts.join(QStringLiteral(", "));
}

QString PortDescription::oneLine() const {
    if (kind_ == Kind::None)
        return QStringLiteral("No device for COM %1 (looked for %2)")
            .arg(number_)
            .arg(listed(searched_));
    QString line = device_;
    if (systemPath_ != device_)
        line += QStringLiteral(" -> ") + systemPath_;
    const QString adapter = adapterText();
    if (!adapter.isEmpty())
        line += QStringLiteral(": ") + adapter;
    return line;
}

QString PortDescription::multiLine() const {
    if (kind_ == Kind::None)
        return QStringLiteral("COM %1 opens no device here.\nLooked for: %2")
            .arg(number_)
            .arg(searched_.join(QStringLiteral(", ")));
    QStringList lines;
    lines << (systemPath_ != device_ ? QStringLiteral("COM %1 opens %2, a link to %3")
                                           .arg(number_)
                                           .arg(device_, systemPath_)
                                     : QStringLiteral("COM %1 opens %2").arg(number_).arg(device_));
    if (kind_ == Kind::Simulator)
        lines << (simulatorPid_ > 0
                      ? QStringLiteral("Virtual generator: orve1-sim, pid %1").arg(simulatorPid_)
                      : QStringLiteral("Virtual generator: orve1-sim"));
    if (kind_ == Kind::Link)
        lines << QStringLiteral(
            "No running orve1-sim serves this link: it was made by hand, or "
            "left by one that stopped.");
    if (!adapter_.description.isEmpty())
        lines << QStringLiteral("Adapter: ") + adapter_.description;
    if (!adapter_.manufacturer.isEmpty())
        lines << QStringLiteral("Manufacturer: ") + adapter_.manufacturer;
    if (!adapter_.serialNumber.isEmpty())
        lines << QStringLiteral("Serial number: ") + adapter_.serialNumber;
    if (adapter_.hasIds)
        lines << QStringLiteral("USB vendor:product: %1:%2")
                     .arg(hex4(adapter_.vendorId), hex4(adapter_.productId));
    if (!byIdPath_.isEmpty())
        lines << QStringLiteral("Stable name: ") + byIdPath_;
    return lines.join(QLatin1Char('\n'));
}
