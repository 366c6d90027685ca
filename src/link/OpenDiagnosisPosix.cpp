#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

#include "link/ComPortMap.h"
#include "link/OpenDiagnosis.h"
#include "link/ProcessTable.h"

namespace {

// USB serial adapters that the braille daemon brltty takes for the braille displays built on
// them, found in the device tables of its drivers: vendor id, product id, chip.
struct BrailleClaim {
    quint16 vendor;
    quint16 product;
    const char* chip;
};
constexpr BrailleClaim BrailleClaims[] = {
    {0x1a86, 0x7523, "CH340"},   // Baum (NLS eReader Zoomax)
    {0x0403, 0x6001, "FT232R"},  // Albatross, Cebra, HIMS, HandyTech, MDV
    {0x10c4, 0xea60, "CP210x"},  // Seika, and others
    {0x10c4, 0xea80, "CP2110"},  // Seika
};

const BrailleClaim* claimFor(quint16 vendor, quint16 product) {
    for (const BrailleClaim& c : BrailleClaims) {
        if (c.vendor == vendor && c.product == product)
            return &c;
    }
    return nullptr;
}

quint16 hexFile(const QString& path, bool* ok) {
    QFile f(path);
    *ok = false;
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<quint16>(f.read(16).trimmed().toUInt(ok, 16));
}

// The first attached USB device that brltty is known to take, as sysfs lists them.
const BrailleClaim* attachedClaim(const QString& usbDevicesDir) {
    const QDir dir(usbDevicesDir);
    const QStringList entries = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& e : entries) {
        bool okVendor = false;
        bool okProduct = false;
        const quint16 vendor = hexFile(dir.filePath(e + QStringLiteral("/idVendor")), &okVendor);
        const quint16 product = hexFile(dir.filePath(e + QStringLiteral("/idProduct")), &okProduct);
        if (okVendor && okProduct) {
            if (const BrailleClaim* c = claimFor(vendor, product))
                return c;
        }
    }
    return nullptr;
}

QString hex4(quint16 v) {
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

QString symbolicMode(quint32 mode) {
    QString s;
    s += S_ISCHR(mode)   ? QLatin1Char('c')
         : S_ISBLK(mode) ? QLatin1Char('b')
         : S_ISDIR(mode) ? QLatin1Char('d')
                         : QLatin1Char('-');
    const quint32 bits[] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                            S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
    const char letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) s += (mode & bits[i]) ? QLatin1Char(letters[i]) : QLatin1Char('-');
    return s;
}

QString processList(const QList<ProcessTable::Process>& processes) {
    QStringList names;
    for (const ProcessTable::Process& p : processes) {
        if (p.pid == QCoreApplication::applicationPid())
            names << QStringLiteral("this program (pid %1)").arg(p.pid);
        else
            names << QStringLiteral("%1 (pid %2)")
                         .arg(p.name.isEmpty() ? QStringLiteral("?") : p.name)
                         .arg(p.pid);
    }
    return names.join(QStringLiteral(", "));
}

}  // namespace

OpenDiagnosis::Permissions OpenDiagnosis::Permissions::of(const QString& path) {
    Permissions p;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return p;
    p.mode = st.st_mode;
    p.isOwner = ::geteuid() == st.st_uid;

    std::vector<char> buffer(16384);
    passwd pw{};
    passwd* owner = nullptr;
    ::getpwuid_r(st.st_uid, &pw, buffer.data(), buffer.size(), &owner);
    p.owner = owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(st.st_uid);

    struct group gr {};
    struct group* grp = nullptr;
    std::vector<char> groupBuffer(65536);
    ::getgrgid_r(st.st_gid, &gr, groupBuffer.data(), groupBuffer.size(), &grp);
    p.group = grp ? QString::fromLocal8Bit(grp->gr_name) : QString::number(st.st_gid);

    p.inGroupNow = ::getegid() == st.st_gid;
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<size_t>(count));
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i) p.inGroupNow = p.inGroupNow || groups[i] == st.st_gid;
    }

    // Membership as the account database has it now; a login started before a change does
    // not have it yet.
    passwd me{};
    passwd* self = nullptr;
    std::vector<char> selfBuffer(16384);
    ::getpwuid_r(::geteuid(), &me, selfBuffer.data(), selfBuffer.size(), &self);
    if (self) {
        p.inGroupLater = self->pw_gid == st.st_gid;
        for (char** m = grp ? grp->gr_mem : nullptr; m && *m; ++m)
            p.inGroupLater = p.inGroupLater || qstrcmp(*m, self->pw_name) == 0;
    }
    return p;
}

QString OpenDiagnosis::permissionText(const QString& device, const Permissions& p) {
    QStringList lines;
    lines << QStringLiteral("You may not read and write %1 (%2, owner %3, group %4).")
                 .arg(device, symbolicMode(p.mode), p.owner, p.group);
    const bool groupMay = (p.mode & S_IRGRP) && (p.mode & S_IWGRP);
    const bool ownerMay = (p.mode & S_IRUSR) && (p.mode & S_IWUSR);
    if (p.isOwner && !ownerMay) {
        lines << QStringLiteral("Not even its owner may; give yourself access with: chmod u+rw %1")
                     .arg(device);
    } else if (groupMay && !p.inGroupNow && p.inGroupLater) {
        lines << QStringLiteral(
                     "Your account is in the group '%1', but this session started before it "
                     "was added: log out and in again (or start the program from 'newgrp %1').")
                     .arg(p.group);
    } else if (groupMay && !p.inGroupNow) {
        lines << QStringLiteral(
                     "Members of the group '%1' may. Join it with: sudo usermod -aG %1 $USER\n"
                     "then log out and in again.")
                     .arg(p.group);
    } else if (groupMay) {
        lines << QStringLiteral(
                     "You are in the group '%1', which may, so something else refuses (an "
                     "access control list or a security policy).")
                     .arg(p.group);
    } else {
        lines << QStringLiteral(
            "Only its owner may use it: a udev rule can give a group (usually "
            "'dialout') read and write access.");
    }
    return lines.join(QLatin1Char('\n'));
}

QString OpenDiagnosis::brailleDaemonText(const PortDescription& port, const Sources& sources) {
    if (port.kind() == PortDescription::Kind::Simulator)
        return {};
    const QList<ProcessTable::Process> daemons =
        ProcessTable(sources.procDir).named(QStringLiteral("brltty"));
    if (daemons.isEmpty())
        return {};
    // The port's own adapter; else one attached whose serial device brltty may have removed.
    const BrailleClaim* claim = nullptr;
    if (port.adapter().hasIds)
        claim = claimFor(port.adapter().vendorId, port.adapter().productId);
    if (!claim)
        claim = attachedClaim(sources.usbDevicesDir);
    if (!claim)
        return {};
    return QStringLiteral(
               "The braille display daemon brltty is running (pid %1). It is known to take USB "
               "serial adapters with the %2 chip (USB %3:%4) for braille displays, so that "
               "their serial device is held or never appears. If no braille display is "
               "attached, remove it (sudo apt remove brltty) or stop it (sudo systemctl stop "
               "brltty), then plug the adapter in again.")
        .arg(daemons.first().pid)
        .arg(QLatin1String(claim->chip), hex4(claim->vendor), hex4(claim->product));
}

OpenDiagnosis OpenDiagnosis::examine(const PortDescription& port, const Refusal& refusal) {
    return examine(port, refusal, Sources());
}

OpenDiagnosis OpenDiagnosis::examine(const PortDescription& port, const Refusal& refusal,
                                     const Sources& sources, const Permissions* permissions) {
    OpenDiagnosis d;
    const QString braille = brailleDaemonText(port, sources);
    auto finish = [&](Cause cause, QString text) {
        d.cause_ = cause;
        if (!braille.isEmpty() && cause != Cause::NoPermission)
            text += QLatin1Char('\n') + braille;
        d.text_ = text;
        return d;
    };

    const int n = port.number();
    if (port.kind() == PortDescription::Kind::None) {
        const QStringList searched = port.searched();
        return finish(Cause::NoDevice,
                      QStringLiteral("No device stands for COM %1 on this machine (looked for %2).")
                          .arg(n)
                          .arg(searched.join(QStringLiteral(", "))));
    }

    const QString device = port.device();
    const QString head = QStringLiteral("%1: %2").arg(
        device, refusal.reason.isEmpty() ? QStringLiteral("cannot be opened") : refusal.reason);
    if (refusal.missing || !QFileInfo::exists(device)) {
        QString why;
        if (port.kind() == PortDescription::Kind::Simulator)
            why = QStringLiteral("The virtual generator that served COM %1 has stopped.").arg(n);
        else if (port.isUsb())
            why = QStringLiteral("No such device any more: was the adapter unplugged?");
        else
            why = QStringLiteral("No such device any more.");
        return finish(Cause::Gone, head + QLatin1Char('\n') + why);
    }

    bool mayReadWrite = true;
    if (sources.mayReadWrite) {
        mayReadWrite = sources.mayReadWrite(port.systemPath());
    } else {
        mayReadWrite = ::access(QFile::encodeName(port.systemPath()).constData(), R_OK | W_OK) == 0;
    }
    if (!mayReadWrite) {
        return finish(
            Cause::NoPermission,
            head + QLatin1Char('\n') +
                permissionText(port.systemPath(),
                               permissions ? *permissions : Permissions::of(port.systemPath())));
    }

    // The generator behind a runtime link holds its own end open; it is not in the way.
    QList<ProcessTable::Process> holders =
        ProcessTable(sources.procDir).holdersOf(port.systemPath());
    holders.removeIf([&](const ProcessTable::Process& p) { return p.pid == port.simulatorPid(); });
    if (!holders.isEmpty()) {
        return finish(Cause::Busy, head + QLatin1Char('\n') +
                                       QStringLiteral("%1 is in use by %2. Close the port "
                                                      "there, or choose another port.")
                                           .arg(device, processList(holders)));
    }
    if (refusal.denied) {
        return finish(Cause::Busy,
                      head + QLatin1Char('\n') +
                          QStringLiteral("Another program holds %1; the system does not tell which "
                                         "(it may run as another user).")
                              .arg(device));
    }
    return finish(Cause::Other, head);
}
