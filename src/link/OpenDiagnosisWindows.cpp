#include "link/OpenDiagnosis.h"

// Windows knows no groups, device files or braille daemon to blame; what it tells is whether
// COMn exists and whether another program holds it, and it never says which program.

OpenDiagnosis::Permissions OpenDiagnosis::Permissions::of(const QString& path) {
    Q_UNUSED(path);
    return {};
}

QString OpenDiagnosis::permissionText(const QString& device, const Permissions& p) {
    Q_UNUSED(p);
    return QStringLiteral("You may not open %1.").arg(device);
}

QString OpenDiagnosis::brailleDaemonText(const PortDescription& port, const Sources& sources) {
    Q_UNUSED(port);
    Q_UNUSED(sources);
    return {};
}

OpenDiagnosis OpenDiagnosis::examine(const PortDescription& port, const Refusal& refusal) {
    return examine(port, refusal, Sources());
}

OpenDiagnosis OpenDiagnosis::examine(const PortDescription& port, const Refusal& refusal,
                                     const Sources& sources, const Permissions* permissions) {
    Q_UNUSED(sources);
    Q_UNUSED(permissions);
    OpenDiagnosis d;
    const int n = port.number();
    const QString device = port.device();
    const QString head = QStringLiteral("%1: %2").arg(
        device, refusal.reason.isEmpty() ? QStringLiteral("cannot be opened") : refusal.reason);
    if (refusal.missing) {
        d.cause_ = Cause::NoDevice;
        d.text_ = head + QLatin1Char('\n') +
                  QStringLiteral(
                      "No device stands for COM %1 on this machine: is the adapter plugged in? "
                      "Device Manager lists the serial ports with their numbers under "
                      "Ports (COM & LPT).")
                      .arg(n);
    } else if (refusal.denied) {
        d.cause_ = Cause::Busy;
        d.text_ = head + QLatin1Char('\n') +
                  QStringLiteral(
                      "%1 is in use by another program (the system does not tell which). Close "
                      "the port there, or choose another port.")
                      .arg(device);
    } else {
        d.cause_ = Cause::Other;
        d.text_ = head;
    }
    return d;
}
