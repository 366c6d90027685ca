#pragma once

#include <QString>
#include <functional>

#include "link/PortDescription.h"

// Why a port would not open, told apart for the operator: no device for COM n, the device
// gone, no permission (with the group to join), the device held by another program (which one,
// when /proc tells) and, on Linux, the braille daemon that takes some USB serial adapters
// (OpenDiagnosisPosix.cpp). Windows tells only a missing COMn and one in use, in its own words
// (OpenDiagnosisWindows.cpp); the sources and permissions below are not looked at there.
class OpenDiagnosis {
public:
    enum class Cause { NoDevice, Gone, NoPermission, Busy, Other };

    // What the library that opens ports reported.
    struct Refusal {
        QString reason;        // its text, e.g. "Permission denied"
        bool missing = false;  // it found no such device
        bool denied = false;   // it was refused access (also reported for a device in use)
    };

    // The device's mode, owner and group, and where this process stands with that group.
    struct Permissions {
        quint32 mode = 0;  // st_mode
        QString owner;
        QString group;
        bool isOwner = false;       // this process runs as the owner
        bool inGroupNow = false;    // this process has the group
        bool inGroupLater = false;  // the account is a member, from the next login on
        // Read from the system for path (links followed).
        static Permissions of(const QString& path);
    };

    // Where to look; tests point these at folders laid out like the system's.
    struct Sources {
        QString procDir = QStringLiteral("/proc");
        QString usbDevicesDir = QStringLiteral("/sys/bus/usb/devices");
        // Permission check for the device; empty: the system's (access(2) for read and write).
        std::function<bool(const QString& path)> mayReadWrite;
    };

    static OpenDiagnosis examine(const PortDescription& port, const Refusal& refusal);
    static OpenDiagnosis examine(const PortDescription& port, const Refusal& refusal,
                                 const Sources& sources, const Permissions* permissions = nullptr);

    // The permission part of the text, from the facts alone.
    static QString permissionText(const QString& device, const Permissions& p);

    Cause cause() const { return cause_; }
    // Several lines for a message's details; the first names the device and the reason.
    QString text() const { return text_; }

private:
    static QString brailleDaemonText(const PortDescription& port, const Sources& sources);

    Cause cause_ = Cause::Other;
    QString text_;
};
