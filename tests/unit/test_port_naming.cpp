// What COM n is, named as the system knows it, and why a port would not open.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "PtyPort.h"
#include "link/ComPortMap.h"
#include "link/OpenDiagnosis.h"
#include "link/PortDescription.h"
#include "link/ProcessTable.h"
#include "link/QtSerialLine.h"

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A folder laid out like /proc: process pid runs program and holds the files in fds open.
void fakeProcess(const QString& proc, qint64 pid, const QByteArray& program,
                 const QStringList& fds) {
    const QString dir = QStringLiteral("%1/%2").arg(proc).arg(pid);
    QVERIFY(writeFile(dir + "/cmdline", "/usr/bin/" + program + QByteArray("\0-q\0", 4)));
    QVERIFY(writeFile(dir + "/comm", program.left(15) + "\n"));
    QVERIFY(QDir().mkpath(dir + "/fd"));
    for (int i = 0; i < fds.size(); ++i)
        QVERIFY(QFile::link(fds[i], QStringLiteral("%1/fd/%2").arg(dir).arg(i + 3)));
}

// A COM number that nothing on this machine stands for; 0 when every one maps somewhere.
int unmappedPort() {
    for (int n = 8; n >= 1; --n) {
        if (ComPortMap::device(n).isEmpty())
            return n;
    }
    return 0;
}

// The permission facts of a dialout device for someone outside the group.
OpenDiagnosis::Permissions dialoutDevice() {
    OpenDiagnosis::Permissions p;
    p.mode = 020660;  // character device, rw-rw----
    p.owner = QStringLiteral("root");
    p.group = QStringLiteral("dialout");
    return p;
}

}  // namespace

class TestPortNaming : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;
    QString dev_;        // stands for /dev
    QString byId_;       // stands for /dev/serial/by-id
    QString proc_;       // stands for /proc
    QString usb_;        // stands for /sys/bus/usb/devices
    QStringList asked_;  // devices the adapter lookup was asked about

    PortDescription::Sources sources() {
        PortDescription::Sources s;
        s.byIdDir = byId_;
        s.adapter = [this](const QString& path) {
            asked_ << path;
            PortDescription::Adapter a;
            if (path.endsWith("/ttyUSB3")) {
                a.description = "FT232R USB UART";
                a.manufacturer = "FTDI";
                a.serialNumber = "A1B2C3";
                a.vendorId = 0x0403;
                a.productId = 0x6001;
                a.hasIds = true;
            }
            return a;
        };
        return s;
    }
    OpenDiagnosis::Sources probe() const {
        OpenDiagnosis::Sources s;
        s.procDir = proc_;
        s.usbDevicesDir = usb_;
        return s;
    }

private slots:
    void initTestCase() {
        QVERIFY(tmp_.isValid());
        qputenv("XDG_RUNTIME_DIR", (tmp_.path() + "/run").toUtf8());
        QVERIFY(ComPortMap::ensureRuntimeDir());
        dev_ = tmp_.path() + "/dev";
        byId_ = dev_ + "/serial/by-id";
        proc_ = tmp_.path() + "/proc";
        usb_ = tmp_.path() + "/sys";
        QVERIFY(QDir().mkpath(byId_));
        QVERIFY(QDir().mkpath(usb_));
        QVERIFY(writeFile(dev_ + "/ttyUSB3", {}));
        QVERIFY(writeFile(dev_ + "/ttyUSB4", {}));
        // Stable names are relative links made by the system, one per adapter.
        QVERIFY(QFile::link("../../ttyUSB4", byId_ + "/usb-Prolific_PL2303-if00-port0"));
        QVERIFY(
            QFile::link("../../ttyUSB3", byId_ + "/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    }

    void describesWhatEachComOpens() {
        // An adapter reached through a link: the link, where it leads, what the adapter says
        // about itself and its stable name.
        const QString link = ComPortMap::linkPath(2);
        QVERIFY(QFile::link(dev_ + "/ttyUSB3", link));
        const QString usb3 = QFileInfo(dev_ + "/ttyUSB3").canonicalFilePath();
        PortDescription d = PortDescription::describe(2, sources());
        QCOMPARE(d.kind(), PortDescription::Kind::Link);
        QCOMPARE(d.device(), link);
        QCOMPARE(d.systemPath(), usb3);
        QVERIFY(d.isUsb());
        QCOMPARE(asked_, QStringList{usb3});
        QCOMPARE(d.byIdPath(), byId_ + "/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
        QCOMPARE(d.oneLine(), link + " -> " + usb3 +
                                  ": no running orve1-sim serves this link, FT232R USB UART, "
                                  "FTDI, serial A1B2C3, by-id "
                                  "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
        const QStringList lines = d.multiLine().split('\n');
        QCOMPARE(lines.first(), QStringLiteral("COM 2 opens %1, a link to %2").arg(link, usb3));
        QVERIFY(lines.contains("Manufacturer: FTDI"));
        QVERIFY(lines.contains("Serial number: A1B2C3"));
        QVERIFY(lines.contains("USB vendor:product: 0403:6001"));
        QVERIFY(lines.contains("Stable name: " + byId_ +
                               "/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));

        // Served by a running virtual generator: named so, with its pid, and not looked up
        // as hardware.
        std::string error;
        PtyPort sim;
        QVERIFY(sim.open(&error));
        QVERIFY2(sim.publish(6, &error), error.c_str());
        asked_.clear();
        d = PortDescription::describe(6, sources());
        QCOMPARE(d.kind(), PortDescription::Kind::Simulator);
        QCOMPARE(d.simulatorPid(), QCoreApplication::applicationPid());
        QVERIFY(asked_.isEmpty());
        QCOMPARE(d.oneLine(), QStringLiteral("%1 -> %2: orve1-sim virtual generator, pid %3")
                                  .arg(ComPortMap::linkPath(6))
                                  .arg(QString::fromStdString(sim.slavePath()))
                                  .arg(QCoreApplication::applicationPid()));
        sim.close();

        // A COM n that leads nowhere says so, and where it looked.
        QFile::remove(link);
        const int none = unmappedPort();
        if (none == 0)
            QSKIP("every COM 1..8 has a device on this machine");
        d = PortDescription::describe(none, sources());
        QCOMPARE(d.kind(), PortDescription::Kind::None);
        QVERIFY(d.device().isEmpty());
        QCOMPARE(d.searched(), ComPortMap::candidates(none));
        QCOMPARE(d.oneLine(), QStringLiteral("No device for COM %1 (looked for %2, %3 and %4)")
                                  .arg(none)
                                  .arg(d.searched()[0], d.searched()[1], d.searched()[2]));
        QVERIFY(d.multiLine().startsWith(QStringLiteral("COM %1 opens no device here.").arg(none)));
    }

    void refusedOpensAreToldApart() {
        const QString link = ComPortMap::linkPath(3);
        QVERIFY(QFile::link(dev_ + "/ttyUSB3", link));
        const PortDescription usb = PortDescription::describe(3, sources());
        const QString usb3 = usb.systemPath();
        OpenDiagnosis::Refusal denied{"Permission denied", false, true};

        // No permission: the group to join and how; the other causes are not claimed.
        OpenDiagnosis::Sources noAccess = probe();
        noAccess.mayReadWrite = [](const QString&) { return false; };
        OpenDiagnosis::Permissions p = dialoutDevice();
        OpenDiagnosis d = OpenDiagnosis::examine(usb, denied, noAccess, &p);
        QCOMPARE(d.cause(), OpenDiagnosis::Cause::NoPermission);
        QCOMPARE(d.text(), link + ": Permission denied\nYou may not read and write " + usb3 +
                               " (crw-rw----, owner root, group dialout).\nMembers of the group "
                               "'dialout' may. Join it with: sudo usermod -aG dialout $USER\n"
                               "then log out and in again.");
        p.inGroupLater = true;
        QVERIFY(
            OpenDiagnosis::examine(usb, denied, noAccess, &p).text().contains("newgrp dialout"));
        p.mode = 020600;
        QVERIFY(OpenDiagnosis::permissionText(link, p).contains("Only its owner may"));
        p.isOwner = true;
        p.mode = 020000;
        QVERIFY(OpenDiagnosis::permissionText(link, p).contains("chmod u+rw " + link));

        // Busy: the programs holding the device are named; the virtual generator that serves a
        // port holds its own end and is not one of them.
        fakeProcess(proc_, 4242, "minicom", {"/dev/null", usb3});
        fakeProcess(proc_, 4343, "bash", {"/dev/pts/9"});
        fakeProcess(proc_, 4444, "a-program-with-a-long-name", {usb3});
        d = OpenDiagnosis::examine(usb, denied, probe());
        QCOMPARE(d.cause(), OpenDiagnosis::Cause::Busy);
        QCOMPARE(d.text(), link + ": Permission denied\n" + link +
                               " is in use by minicom (pid 4242), a-program-with-a-long-name "
                               "(pid 4444). Close the port there, or choose another port.");
        // Refused as in use, but nobody visible holds it.
        OpenDiagnosis::Sources emptyProc = probe();
        emptyProc.procDir = tmp_.path() + "/no-proc";
        d = OpenDiagnosis::examine(usb, denied, emptyProc);
        QCOMPARE(d.cause(), OpenDiagnosis::Cause::Busy);
        QVERIFY(d.text().contains("Another program holds " + link));
        // Any other refusal is passed on as it came.
        d = OpenDiagnosis::examine(usb, {"Input/output error", false, false}, emptyProc);
        QCOMPARE(d.cause(), OpenDiagnosis::Cause::Other);
        QCOMPARE(d.text(), link + ": Input/output error");

        // Gone between the list and the open.
        QVERIFY(QFile::rename(dev_ + "/ttyUSB3", dev_ + "/ttyUSB3.away"));
        d = OpenDiagnosis::examine(usb, {"No such file or directory", true, false}, emptyProc);
        QCOMPARE(d.cause(), OpenDiagnosis::Cause::Gone);
        QCOMPARE(d.text(), link +
                               ": No such file or directory\nNo such device any more: was "
                               "the adapter unplugged?");
        QVERIFY(QFile::rename(dev_ + "/ttyUSB3.away", dev_ + "/ttyUSB3"));
        std::string error;
        PtyPort sim;
        QVERIFY(sim.open(&error) && sim.publish(7, &error));
        const PortDescription served = PortDescription::describe(7, sources());
        sim.close();
        d = OpenDiagnosis::examine(served, {"No such file or directory", true, false}, emptyProc);
        QCOMPARE(d.cause(), OpenDiagnosis::Cause::Gone);
        QVERIFY(d.text().endsWith("The virtual generator that served COM 7 has stopped."));

        // The braille daemon is named when it runs and an adapter it takes is the port's own
        // or attached; never for a permission refusal.
        fakeProcess(proc_, 777, "brltty", {});
        d = OpenDiagnosis::examine(usb, denied, probe());
        QVERIFY2(d.text().endsWith("The braille display daemon brltty is running (pid 777). It is "
                                   "known to take USB serial adapters with the FT232R chip (USB "
                                   "0403:6001) for braille displays, so that their serial device "
                                   "is held or never appears. If no braille display is attached, "
                                   "remove it (sudo apt remove brltty) or stop it (sudo systemctl "
                                   "stop brltty), then plug the adapter in again."),
                 qPrintable(d.text()));
        p = dialoutDevice();
        QVERIFY(!OpenDiagnosis::examine(usb, denied, noAccess, &p).text().contains("brltty"));
        const int none = unmappedPort();
        if (none != 0) {
            const PortDescription nothing = PortDescription::describe(none, sources());
            QVERIFY(writeFile(usb_ + "/1-1/idVendor", "1a86\n"));
            QVERIFY(writeFile(usb_ + "/1-1/idProduct", "7524\n"));
            d = OpenDiagnosis::examine(nothing, {}, probe());
            QCOMPARE(d.cause(), OpenDiagnosis::Cause::NoDevice);
            QVERIFY(!d.text().contains("brltty"));
            QVERIFY(writeFile(usb_ + "/1-2/idVendor", "1a86\n"));
            QVERIFY(writeFile(usb_ + "/1-2/idProduct", "7523\n"));
            d = OpenDiagnosis::examine(nothing, {}, probe());
            QVERIFY(d.text().startsWith(QStringLiteral("No device stands for COM %1").arg(none)));
            QVERIFY(d.text().contains("with the CH340 chip (USB 1a86:7523)"));
        }
        QFile::remove(link);
    }

    void theRealSystemIsRead() {
        // A device this program holds open is found in the real /proc, under its own name.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString slave = QString::fromLocal8Bit(::ptsname(master));
        const int held = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        QVERIFY(held >= 0);
        const QList<ProcessTable::Process> holders = ProcessTable().holdersOf(slave);
        QCOMPARE(holders.size(), 1);
        QCOMPARE(holders[0].pid, QCoreApplication::applicationPid());
        QCOMPARE(holders[0].name, QStringLiteral("test_port_naming"));
        // The kernel's name is cut at 15 bytes; the whole name still finds the program.
        QVERIFY(!ProcessTable().named("test_port_naming").isEmpty());
        QVERIFY(ProcessTable().named("test_port_naming_not").isEmpty());

        // A port that another line holds: the real open is refused and says by whom.
        const QString link = ComPortMap::linkPath(4);
        QVERIFY(QFile::link(slave, link));
        QtSerialLine first;
        QtSerialLine second;
        QCOMPARE(first.open(4), 0);
        QCOMPARE(first.openDevice(), link);
        QVERIFY(second.open(4) != 0);
        const QString detail = second.lastErrorDetail(4);
        QVERIFY2(detail.startsWith(link + ": ") &&
                     detail.contains(QStringLiteral("is in use by this program (pid %1)")
                                         .arg(QCoreApplication::applicationPid())),
                 qPrintable(detail));
        first.close(4);
        QVERIFY(first.openDevice().isEmpty());
        ::close(held);
        ::close(master);
        QFile::remove(link);

        // The file's mode, owner and group as the system reports them.
        const QString file = tmp_.path() + "/locked";
        QVERIFY(writeFile(file, {}));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        const OpenDiagnosis::Permissions p = OpenDiagnosis::Permissions::of(file);
        QCOMPARE(p.mode & 07777, 0600u);
        QVERIFY(p.isOwner && p.inGroupNow);
        QCOMPARE(p.owner, QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name));
        QCOMPARE(p.group, QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name));

        // A device nobody may use, opened for real; the system's administrator may open
        // anything, so only an ordinary user sees the refusal.
        if (::geteuid() == 0) {
            qInfo("running as root: the real permission refusal is not tried");
            return;
        }
        QVERIFY(QFile::setPermissions(file, {}));
        QVERIFY(QFile::link(file, link));
        QVERIFY(second.open(4) != 0);
        QVERIFY2(second.lastErrorDetail(4).contains("You may not read and write " + file),
                 qPrintable(second.lastErrorDetail(4)));
        QFile::remove(link);
    }
};

QTEST_GUILESS_MAIN(TestPortNaming)
#include "test_port_naming.moc"
