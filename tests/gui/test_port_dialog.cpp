// The port dialog names the device each COM n opens the way the system knows it, in the device
// line and as the list entries' tool tips, and says so before OK when one leads nowhere.
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "GuiRig.h"
#include "link/ComPortMap.h"
#include "link/PortDescription.h"
#include "port/TCOM_PORT_SETTING_FORM.h"

class TestPortDialog : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;

private slots:
    void initTestCase() {
        qputenv("XDG_RUNTIME_DIR", tmp_.path().toUtf8());
        QVERIFY(ComPortMap::ensureRuntimeDir());
    }

    void deviceLineAndToolTipsNameEachPort() {
        GuiRig rig;
        TCOM_PORT_SETTING_FORM& dlg = rig.portDialog();
        // A port registered while the dialog was hidden shows at the next showing.
        QFile device(tmp_.path() + "/ttyUSB5");
        QVERIFY(device.open(QIODevice::WriteOnly));
        device.close();
        QVERIFY(QFile::link(device.fileName(), ComPortMap::linkPath(2)));
        int none = 0;
        for (int n = 8; n >= 1 && none == 0; --n) {
            if (ComPortMap::device(n).isEmpty())
                none = n;
        }

        QString line2;
        QString tip2;
        QString toolTip;
        QString lineNone;
        QString tipNone;
        QString accessibleLine;
        QString accessibleDescription;
        runModal([&] { rig.main().ConnectButton()->trigger(); },
                 [&](QWidget*) {
                     tip2 = dlg.ComboBox1()->itemData(1, Qt::ToolTipRole).toString();
                     dlg.ComboBox1()->setCurrentIndex(1);
                     line2 = dlg.DeviceEdit()->text();
                     toolTip = dlg.DeviceEdit()->toolTip();
                     QAccessibleInterface* a =
                         QAccessible::queryAccessibleInterface(dlg.DeviceEdit());
                     accessibleLine = a->text(QAccessible::Value);
                     accessibleDescription = a->text(QAccessible::Description);
                     if (none != 0) {
                         tipNone = dlg.ComboBox1()->itemData(none - 1, Qt::ToolTipRole).toString();
                         dlg.ComboBox1()->setCurrentIndex(none - 1);
                         lineNone = dlg.DeviceEdit()->text();
                     }
                     dlg.Button2()->click();
                 });
        const PortDescription two = PortDescription::describe(2);
        QCOMPARE(line2, two.oneLine());
        QVERIFY2(line2.startsWith(ComPortMap::linkPath(2) + " -> " +
                                  QFileInfo(device).canonicalFilePath()),
                 qPrintable(line2));
        QCOMPARE(tip2, line2);
        QCOMPARE(toolTip, two.multiLine());
        QCOMPARE(accessibleLine, line2);
        QCOMPARE(accessibleDescription, two.multiLine());
        // Nothing was opened to find this out.
        QVERIFY(rig.line.opens.isEmpty());
        if (none == 0)
            QSKIP("every COM 1..8 has a device on this machine");
        QVERIFY2(lineNone.startsWith(QStringLiteral("No device for COM %1 (looked for ").arg(none)),
                 qPrintable(lineNone));
        QCOMPARE(tipNone, lineNone);
    }
};

QTEST_MAIN(TestPortDialog)
#include "test_port_dialog.moc"
