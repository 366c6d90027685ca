#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <memory>

#include "GuiRig.h"
#include "Version.h"
#include "edid/TEDID_Block.h"
#include "link/ComPortMap.h"
#include "link/LinkEngine.h"
#include "pattern/TPattern_List.h"
#include "pattern/TPatterns.h"
#include "port/TCOM_PORT_SETTING_FORM.h"
#include "programme/TProgrammer_Form.h"
#include "timing/TTiming_List.h"
#include "timing/TTimings.h"
#include "ui/AppWindows.h"
#include "ui/ManualPlace.h"
#include "ui/TAboutBox.h"
#include "ui/TCGauge.h"
#include "ui/TMainForm.h"
#include "ui/TStatusBar.h"

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpState();
    void mainWindowFirstThenTheOthers();
    void menusAndToolbar();
    void gatedCommandsDoNothingWhenRefused();
    void connectMakesGeneratorPresent();
    void failedOpenKeepsDialogOpen();
    void cancelChangesNothing();
    void disconnect();
    void closingMainWindowClosesPort();
    void realMessageBox();
    void defaultSettingRoundTrip();
    void uploadSwitchesPanel0ToOwnerDrawing();
    void menuDialogsAreModal();
    void aboutBox();
    void manualPlace_data();
    void manualPlace();
    void windowArrangementAndList();

private:
    QTemporaryDir runtime_;
};

void TestMainWindow::initTestCase() {
    // The port dialog shows where COM n leads; keep that inside a directory of our own.
    QVERIFY(runtime_.isValid());
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
}

void TestMainWindow::startUpState() {
    GuiRig rig;
    TMainForm& m = rig.main();

    // Creation order, and only the main window showing.
    QStringList order;
    for (QWidget* w : rig.windows->all()) {
        order << w->objectName();
        if (w != &m)
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
    QCOMPARE(order,
             QStringList({"MainForm", "AboutBox", "COM_PORT_SETTING_FORM", "Timing_List",
                          "Pattern_List", "Timings", "Patterns", "Programmer_Form", "EDID_Block"}));
    QVERIFY(m.isVisible());

    QCOMPARE(m.windowTitle(), QStringLiteral("ORVE-1"));
    QCOMPARE(m.pos(), QPoint(100, 45));
    QCOMPARE(m.size(), QSize(900, 694));
    QCOMPARE(m.mdiArea()->background().color(), QColor(200, 200, 200));

    // Absent: red presence panel with white text, gauge at 0, Connect only.
    QCOMPARE(m.presenceText(), QStringLiteral(" ORVE-1 Status : Not Exist"));
    QCOMPARE(m.StatusBar1()->panel(2).accessibleName(), m.presenceText());
    QCOMPARE(rig.panelPixel(2, 2), QColor(255, 0, 0));
    bool whiteText = false;
    const QImage panel = m.StatusBar1()->panel(2).grab().toImage();
    for (int x = 0; x < panel.width() && !whiteText; ++x) {
        for (int y = 0; y < panel.height() && !whiteText; ++y)
            whiteText = panel.pixelColor(x, y) == QColor(Qt::white);
    }
    QVERIFY(whiteText);
    QCOMPARE(m.ProgressGauge()->Progress(), 0);
    QCOMPARE(m.ProgressGauge()->percentText(), QStringLiteral("0%"));
    QVERIFY(m.ConnectButton()->isEnabled());
    QVERIFY(!m.DisConnectButton()->isEnabled());

    // Bars and gauge.
    QCOMPARE(m.ToolBar2()->height(), 30);
    QCOMPARE(m.StatusBar1()->height(), 23);
    QCOMPARE(m.StatusBar1()->panelRect(0), QRect(0, 0, 250, 23));
    QCOMPARE(m.StatusBar1()->panelRect(1), QRect(250, 0, 450, 23));
    QCOMPARE(m.StatusBar1()->panelRect(2).right(), m.StatusBar1()->width() - 1);
    QCOMPARE(m.ProgressGauge()->geometry(), QRect(2, 2, 246, 19));
    QCOMPARE(m.ProgressGauge()->ForeColor(), QColor(0, 0, 255));

    // The gauge reports its value to assistive technology and draws a centred percentage.
    rig.engine.setGauge(42);
    QAccessibleInterface* gauge = QAccessible::queryAccessibleInterface(m.ProgressGauge());
    QVERIFY(gauge && gauge->valueInterface());
    QCOMPARE(gauge->valueInterface()->currentValue().toInt(), 42);
    QCOMPARE(m.ProgressGauge()->percentText(), QStringLiteral("42%"));

    // The hidden reply log and the two timers.
    QVERIFY(!m.Memo1()->isVisible());
    QCOMPARE(m.Memo1()->toPlainText(), QStringLiteral("Memo1"));
    QCOMPARE(TMainForm::logText(QByteArray("OK\r\n\x01\xff\\", 7)),
             QStringLiteral("OK\\x0D\n\\x01\\xFF\\\\"));
    GuiRig running;
    QCOMPARE(running.windows->MainForm->Timer2()->interval(), 100);
    QCOMPARE(running.windows->MainForm->Timer1()->interval(), 500);
}

// The program shows its main window first; the other eight follow, in their order, once it is on
// screen, or at once when a menu needs them sooner.
void TestMainWindow::mainWindowFirstThenTheOthers() {
    FakeClock clock;
    FakeLine line{&clock};
    LinkEngine engine{line, clock};
    for (const bool early : {false, true}) {
        AppWindows w(engine, nullptr, AppWindows::Start::MainFirst);
        QVERIFY(!w.AboutBox && !w.EDID_Block);
        w.MainForm->show();
        if (early)
            w.MainForm->Timing1Click();  // Output > Timing needs the list picker
        QTRY_VERIFY(w.EDID_Block);
        QStringList order;
        for (QWidget* x : w.all()) order << x->objectName();
        QCOMPARE(order.size(), 9);
        QCOMPARE(w.MainForm->findChildren<QMdiSubWindow*>().size(), early ? 1 : 0);
    }
}

void TestMainWindow::menusAndToolbar() {
    GuiRig rig;
    TMainForm& m = rig.main();

    QStringList titles;
    for (QAction* a : m.menuBar()->actions()) titles << a->text();
    QCOMPARE(titles,
             QStringList({"&File", "&Edit", "Config", "Output", "EDID", "&Window", "&Help"}));

    // Ctrl+O on Open and nowhere else.
    for (QAction* a : m.findChildren<QAction*>()) {
        if (a->objectName() == QLatin1String("FileOpenItem"))
            QCOMPARE(a->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        else
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
    }

    // Edit: the separator stands right before Default Setting.
    QMenu* edit = m.menuBar()->actions().at(1)->menu();
    QStringList editItems;
    for (QAction* a : edit->actions()) editItems << (a->isSeparator() ? "-" : a->text());
    QCOMPARE(editItems, QStringList({"Timing", "Pattern", "Program", "-", "Default Setting"}));

    // Toolbar: four icon-only buttons, each with a name a screen reader can say.
    const QList<QAction*> buttons = m.ToolBar2()->actions();
    QCOMPARE(buttons.size(), 4);
    const QStringList names = {"ConnectButton", "DisConnectButton", "Timing_Run", "Pattern_Run"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(buttons[i]->objectName(), names[i]);
        QVERIFY(!buttons[i]->icon().isNull());
        auto* tb = qobject_cast<QToolButton*>(m.ToolBar2()->widgetForAction(buttons[i]));
        QVERIFY(tb);
        QCOMPARE(tb->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QVERIFY(!tb->accessibleName().isEmpty());
    }

    // File > Exit closes the main window.
    rig.menuItem("FileExit1")->trigger();
    QVERIFY(!m.isVisible());
}

void TestMainWindow::gatedCommandsDoNothingWhenRefused() {
    GuiRig rig;
    const char* gated[] = {"DefaultSetting", "EDID_READ", "WRITE_EDID", "WriteEDID1"};
    auto triggerAllAndExpectNothing = [&](const char* situation) {
        for (const char* name : gated) {
            rig.line.clearSent();
            rig.main().Memo1()->setPlainText(QStringLiteral("kept"));
            const LinkState before = rig.engine.state();
            rig.menuItem(name)->trigger();
            QVERIFY2(rig.line.sent().isEmpty(), situation);
            QVERIFY2(rig.messages.isEmpty(), situation);
            QCOMPARE(rig.main().Memo1()->toPlainText(), QStringLiteral("kept"));
            for (int c = 0; c < CommandCount; ++c)
                QCOMPARE(rig.engine.state().slot(Command(c)), before.slot(Command(c)));
        }
    };

    // Port never opened.
    triggerAllAndExpectNothing("closed port");
    if (QTest::currentTestFailed())
        return;

    // Port open, generator absent.
    rig.line.open(1);
    rig.engine.state().portNumber = 1;
    rig.engine.state().portOpen = 1;
    triggerAllAndExpectNothing("absent generator");
    if (QTest::currentTestFailed())
        return;

    // Present, but a command is outstanding.
    rig.engine.ShowDevicePresent();
    rig.engine.state().tmixSlot = CommandSlot::AwaitingFinal;
    triggerAllAndExpectNothing("busy");
    if (QTest::currentTestFailed())
        return;

    // With the gate open the same entry does send.
    rig.engine.state().tmixSlot = CommandSlot::Idle;
    rig.line.clearSent();
    rig.menuItem("WriteEDID1")->trigger();
    QCOMPARE(rig.line.sent(), QByteArray("WEDID \x00 \n\r", 10));
    QCOMPARE(rig.engine.state().wedidSlot, CommandSlot::AwaitingReply);
}

void TestMainWindow::connectMakesGeneratorPresent() {
    GuiRig rig;
    TMainForm& m = rig.main();
    TCOM_PORT_SETTING_FORM& dlg = rig.portDialog();
    // A registered COM 1 shows its device beside the list (Windows' COM 1 is the system's own).
#ifndef Q_OS_WIN
    QVERIFY(ComPortMap::ensureRuntimeDir());
    QFile target(QDir(ComPortMap::runtimeDir()).filePath("pts-stand-in"));
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.close();
    QFile::remove(ComPortMap::linkPath(1));
    QVERIFY(QFile::link(target.fileName(), ComPortMap::linkPath(1)));
#endif

    QString device1;
    QString device2;
    bool visibleAfterOk = true;
    QWidget* modal = runModal([&] { m.ConnectButton()->trigger(); },
                              [&](QWidget*) {
                                  dlg.ComboBox1()->setCurrentIndex(1);
                                  device2 = dlg.DeviceEdit()->text();
                                  dlg.ComboBox1()->setCurrentIndex(0);
                                  device1 = dlg.DeviceEdit()->text();
                                  dlg.Button1()->click();
                                  visibleAfterOk = dlg.isVisible();
                              });
    QCOMPARE(modal, static_cast<QWidget*>(&dlg));
    QVERIFY2(device1.startsWith(ComPortMap::device(1)), qPrintable(device1));
    QVERIFY2(device2.startsWith(ComPortMap::device(2)), qPrintable(device2));
    QVERIFY(dlg.DeviceEdit()->isReadOnly());
    QVERIFY(!visibleAfterOk);
    QCOMPARE(rig.line.opens, QList<quint8>({1}));
    QCOMPARE(rig.line.sent(), QByteArray("URTCNT \x00 \n\r", 11));
    QCOMPARE(rig.engine.state().portOpen, quint8(1));
    QVERIFY(rig.messages.isEmpty());
    // Still absent until the answer has been judged.
    QCOMPARE(m.presenceText(), TMainForm::NotExistText);

    rig.line.inbound.clear();
    rig.line.inbound = QByteArray("OK\r\n\x01", 5);
    rig.pump();
    QCOMPARE(m.presenceText(), QStringLiteral(" ORVE-1 Status : Exist"));
    QCOMPARE(m.StatusBar1()->panel(2).accessibleName(), m.presenceText());
    QVERIFY(rig.panelPixel(2, 2) != QColor(255, 0, 0));
    QVERIFY(!m.ConnectButton()->isEnabled());
    QVERIFY(m.DisConnectButton()->isEnabled());
    // The log shows what came, control bytes spelled out.
    QCOMPARE(m.Memo1()->toPlainText(), QStringLiteral("OK\\x0D\n\\x01"));

    // OK again, on another port: the open one is closed first and the query goes out again.
    rig.line.clearSent();
    runModal([&] { m.COMPort1Click(); },
             [&](QWidget*) {
                 dlg.ComboBox1()->setCurrentIndex(1);
                 dlg.Button1()->click();
             });
    QCOMPARE(rig.line.closes, QList<quint8>({1}));
    QCOMPARE(rig.line.opens, QList<quint8>({1, 2}));
    QCOMPARE(rig.line.sent(), QByteArray("URTCNT \x00 \n\r", 11));
}

void TestMainWindow::failedOpenKeepsDialogOpen() {
    GuiRig rig;
    TCOM_PORT_SETTING_FORM& dlg = rig.portDialog();
    rig.line.failingOpens << 3;

    bool visibleAfterOk = false;
    QStringList messagesWhileOpen;
    runModal([&] { rig.main().ConnectButton()->trigger(); },
             [&](QWidget*) {
                 dlg.ComboBox1()->setCurrentIndex(2);
                 dlg.Button1()->click();
                 visibleAfterOk = dlg.isVisible();
                 messagesWhileOpen = rig.messages;
                 dlg.Button2()->click();
             });
    QVERIFY(visibleAfterOk);
    QCOMPARE(messagesWhileOpen, QStringList({"Open COM Port 3 fail !!"}));
    QVERIFY(rig.details.first().contains("/dev/fake3"));
    QCOMPARE(rig.line.closes, QList<quint8>({3}));
    QCOMPARE(rig.engine.state().portOpen, quint8(0));
    QCOMPARE(rig.engine.state().portNumber, quint8(3));
    QVERIFY(rig.line.sent().isEmpty());
    QCOMPARE(rig.main().presenceText(), TMainForm::NotExistText);
    QVERIFY(!dlg.isVisible());
    // The dialog keeps the last choice for the next showing.
    QCOMPARE(dlg.ComboBox1()->currentText(), QStringLiteral("COM 3"));
}

void TestMainWindow::cancelChangesNothing() {
    GuiRig rig;
    rig.makePresent(2);
    TCOM_PORT_SETTING_FORM& dlg = rig.portDialog();
    // The fixed line settings are shown, not offered.
    QCOMPARE(dlg.windowTitle(), QStringLiteral("COM Port Setting "));
    QCOMPARE(dlg.ComboBox1()->currentText(), QStringLiteral("COM 1"));
    QCOMPARE(dlg.ComboBox1()->count(), 8);
    QCOMPARE(dlg.ComboBox2()->currentText(), QStringLiteral("19200"));
    QCOMPARE(dlg.ComboBox3()->currentText(), QStringLiteral("8"));
    QCOMPARE(dlg.ComboBox4()->currentText(), QStringLiteral("None"));
    QVERIFY(!dlg.ComboBox2()->isEnabled() && !dlg.ComboBox3()->isEnabled() &&
            !dlg.ComboBox4()->isEnabled());

    const LinkState before = rig.engine.state();
    runModal([&] { rig.main().COMPort1Click(); },
             [&](QWidget*) {
                 dlg.ComboBox1()->setCurrentIndex(4);
                 dlg.Button2()->click();
             });
    QVERIFY(!dlg.isVisible());
    QVERIFY(rig.line.opens.isEmpty());
    QVERIFY(rig.line.closes.isEmpty());
    QVERIFY(rig.line.sent().isEmpty());
    QCOMPARE(rig.engine.state().portNumber, before.portNumber);
    QCOMPARE(rig.engine.state().portOpen, before.portOpen);
    QCOMPARE(rig.engine.state().devicePresent, before.devicePresent);
    QCOMPARE(rig.main().presenceText(), TMainForm::ExistText);
    QCOMPARE(dlg.ComboBox1()->currentText(), QStringLiteral("COM 5"));
}

void TestMainWindow::disconnect() {
    GuiRig rig;
    rig.makePresent(4);
    rig.engine.setGauge(100);
    rig.engine.state().tmgsSlot = CommandSlot::AwaitingFinal;

    rig.main().DisConnectButton()->trigger();
    QCOMPARE(rig.line.closes, QList<quint8>({4}));
    QCOMPARE(rig.engine.state().portOpen, quint8(0));
    QCOMPARE(rig.engine.state().devicePresent, quint8(0));
    QCOMPARE(rig.main().presenceText(), TMainForm::NotExistText);
    QCOMPARE(rig.panelPixel(2, 2), QColor(255, 0, 0));
    QCOMPARE(rig.main().ProgressGauge()->Progress(), 0);
    QVERIFY(rig.main().ConnectButton()->isEnabled());
    QVERIFY(!rig.main().DisConnectButton()->isEnabled());
    // An outstanding command stays outstanding.
    QCOMPARE(rig.engine.state().tmgsSlot, CommandSlot::AwaitingFinal);
    QVERIFY(rig.messages.isEmpty());
}

void TestMainWindow::closingMainWindowClosesPort() {
    {
        GuiRig rig;
        QSignalSpy closed(&rig.main(), &TMainForm::formClosed);
        rig.main().close();
        QCOMPARE(rig.line.closes, QList<quint8>({0}));
        QCOMPARE(closed.count(), 1);
    }
    {
        GuiRig rig;
        rig.makePresent(6);
        rig.main().close();
        QCOMPARE(rig.line.closes, QList<quint8>({6}));
    }
}

void TestMainWindow::realMessageBox() {
    GuiRig rig;
    rig.main().setMessageHook(nullptr);
    QString text;
    QString informative;
    int buttons = -1;
    bool ticksRan = false;
    rig.main().Timer2()->start();
    QObject::connect(rig.main().Timer2(), &QTimer::timeout, [&] { ticksRan = true; });
    // The box lives on the stack of showMessage: only look at it while it is up.
    runModal([&] { rig.main().showMessage("No Response !!", "/dev/x: gone"); },
             [&](QWidget* modal) {
                 auto* box = qobject_cast<QMessageBox*>(modal);
                 if (!box)
                     return;
                 text = box->text();
                 informative = box->informativeText();
                 buttons = static_cast<int>(box->buttons().size());
                 // The link's timers keep running while the box is up.
                 QTest::qWait(250);
                 box->button(QMessageBox::Ok)->click();
             });
    QCOMPARE(text, QStringLiteral("No Response !!"));
    QCOMPARE(informative, QStringLiteral("/dev/x: gone"));
    QCOMPARE(buttons, 1);
    QVERIFY(ticksRan);
}

void TestMainWindow::defaultSettingRoundTrip() {
    GuiRig rig;
    rig.makePresent(1);
    rig.engine.setGauge(100);
    // A real message box lets the receive poll run: what it takes in is not judged again.
    rig.whileMessageOpen = [&] { rig.engine.receivePoll(); };

    rig.menuItem("DefaultSetting")->trigger();
    QCOMPARE(rig.line.sent(), QByteArray("DFSET \x00 \n\r", 10));
    QCOMPARE(rig.engine.state().dfsetSlot, CommandSlot::AwaitingReply);
    QCOMPARE(rig.main().Memo1()->toPlainText(), QString());

    rig.pump();
    QCOMPARE(rig.messages, QStringList({"Upload Successful!!"}));
    QCOMPARE(rig.engine.state().dfsetSlot, CommandSlot::Idle);
    QCOMPARE(rig.main().presenceText(), TMainForm::ExistText);
    QCOMPARE(rig.main().ProgressGauge()->Progress(), 100);

    // A refused default setting marks the generator absent, after its message.
    rig.messages.clear();
    rig.line.frameReply = "NG\r\n";
    rig.whileMessageOpen = nullptr;
    rig.menuItem("DefaultSetting")->trigger();
    rig.pump();
    QCOMPARE(rig.messages, QStringList({"Error!!"}));
    QCOMPARE(rig.main().presenceText(), TMainForm::NotExistText);
    QCOMPARE(rig.main().ProgressGauge()->Progress(), 0);
}

void TestMainWindow::uploadSwitchesPanel0ToOwnerDrawing() {
    GuiRig rig;
    rig.makePresent(1);
    TStatusPanel& panel0 = rig.main().StatusBar1()->panel(0);
    QCOMPARE(panel0.panelStyle(), TStatusPanel::Style::Text);

    // A timing-selection upload ends its data phase by owner-drawing panel 0.
    rig.engine.data().TimingSelection[0] = 1;
    QVERIFY(rig.engine.startCommand(Command::Tmgs));
    rig.pump();
    QCOMPARE(rig.engine.state().tmgsSlot, CommandSlot::AwaitingFinal);
    QCOMPARE(panel0.panelStyle(), TStatusPanel::Style::OwnerDraw);
    QCOMPARE(rig.main().ProgressGauge()->Progress(), 100);
    // Button face under the gauge, no text of its own.
    rig.main().ProgressGauge()->hide();
    QCOMPARE(rig.panelPixel(0, 120), rig.main().palette().color(QPalette::Button));
    QCOMPARE(panel0.accessibleName(), QString());
}

void TestMainWindow::menuDialogsAreModal() {
    GuiRig rig;
    struct Case {
        const char* item;
        QWidget* dialog;
        QString caption;
        QSize size;
    };
    AppWindows& w = *rig.windows;
    const Case cases[] = {
        {"Timing2", w.Timings.get(), "Timings", {603, 406}},
        {"Pattern2", w.Patterns.get(), "Patterns", {318, 399}},
        {"Program1", w.Programmer_Form.get(), "Program", {661, 414}},
        {"EDID_Memorys", w.EDID_Block.get(), "EDID Memory", {625, 467}},
        {"COMPort1", w.COM_PORT_SETTING_FORM.get(), "COM Port Setting ", {}},
        {"HelpAbout1", w.AboutBox.get(), "About", {298, 218}},
    };
    for (const Case& c : cases) {
        bool modal = false;
        bool keptOnEscape = false;
        QWidget* seen = runModal([&] { rig.menuItem(c.item)->trigger(); },
                                 [&](QWidget* active) {
                                     modal = active && active->isModal();
                                     if (!active)
                                         return;
                                     QTest::keyClick(active, Qt::Key_Escape);
                                     keptOnEscape = active->isVisible();
                                     active->close();
                                 });
        QVERIFY2(seen == c.dialog, c.item);
        QVERIFY2(modal, c.item);
        // Only the port dialog and the About box have a button that Escape stands for.
        QCOMPARE(keptOnEscape,
                 c.dialog != w.COM_PORT_SETTING_FORM.get() && c.dialog != w.AboutBox.get());
        QCOMPARE(c.dialog->windowTitle(), c.caption);
        if (c.size.isValid())
            QCOMPARE(c.dialog->size(), c.size);
        QVERIFY2(!c.dialog->isVisible(), c.item);
    }
    QCOMPARE(w.Timing_List->windowTitle(), QStringLiteral("List of Timings"));
    QCOMPARE(w.Timing_List->size(), QSize(588, 512));
    QCOMPARE(w.Pattern_List->windowTitle(), QStringLiteral("List of patterns"));
    QCOMPARE(w.Pattern_List->size(), QSize(338, 474));
    for (QWidget* list : {static_cast<QWidget*>(w.Timing_List.get()),
                          static_cast<QWidget*>(w.Pattern_List.get())}) {
        list->show();
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(list->isVisible());
        list->close();
    }
    // The EDID editor is sizeable, the dialogs with a system menu only are not.
    QVERIFY(w.EDID_Block->minimumSize() != w.EDID_Block->maximumSize());
    QVERIFY(!(w.EDID_Block->windowFlags() & Qt::WindowMaximizeButtonHint));
}

void TestMainWindow::aboutBox() {
    GuiRig rig;
    TAboutBox& about = *rig.windows->AboutBox;
    QStringList texts;
    QPoint centreOffset;
    bool okIsDefault = false;
    bool versionsWhole = false;
    runModal([&] { rig.main().HelpAbout1Execute(); },
             [&](QWidget*) {
                 for (QLabel* l : about.findChildren<QLabel*>()) texts << l->text();
                 auto* versions = about.findChild<QLabel*>("Comments");
                 versionsWhole =
                     versions->geometry() == QRect(8, 96, 266, 20) &&
                     QFontMetrics(versions->font()).horizontalAdvance(versions->text()) <=
                         versions->width();
                 centreOffset =
                     about.frameGeometry().center() - about.screen()->availableGeometry().center();
                 okIsDefault = about.OKButton()->isDefault();
                 about.OKButton()->click();
             });
    QVERIFY(texts.contains("Product Name: ORVE-1"));
    QVERIFY(texts.contains("Version:V0.3"));
    QVERIFY(texts.contains(QStringLiteral("orve1 %1, Qt %2").arg(ORVE1_VERSION, qVersion())));
    QVERIFY(versionsWhole);
    const QString manual = about.findChild<QLabel*>("Copyright")->text();
    QVERIFY2(manual.startsWith("Manual: ") && !texts.join(' ').contains("example"),
             qPrintable(texts.join(" | ")));
    QVERIFY(okIsDefault);
    QVERIFY(!about.isVisible());
    QVERIFY(qAbs(centreOffset.x()) <= 1 && qAbs(centreOffset.y()) <= 1);
    QCOMPARE(about.font().family(), QStringLiteral("Times New Roman"));
    QCOMPARE(about.font().pointSize(), 12);
}

void TestMainWindow::manualPlace_data() {
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("expected");
    // PREFIX stands for an install folder that holds bin/ and, when installed, share/doc/orve1/.
#ifdef Q_OS_WIN
    QTest::newRow("beside the programs") << true << "PREFIX\\bin\\README.txt";
#else
    QTest::newRow("under its prefix") << true << "orve1(1), PREFIX/share/doc/orve1/";
    QTest::newRow("not installed") << false << "orve1(1), /usr/share/doc/orve1/";
#endif
}

void TestMainWindow::manualPlace() {
    QFETCH(bool, installed);
    QFETCH(QString, expected);
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath("bin"));
    if (installed)
        QVERIFY(QDir(prefix.path()).mkpath("share/doc/orve1"));
    const QString root = QDir(prefix.path()).canonicalPath();
    QCOMPARE(ManualPlace::describe(root + "/bin"),
             expected.replace("PREFIX", QDir::toNativeSeparators(root)));
}

void TestMainWindow::windowArrangementAndList() {
    GuiRig rig;
    QMdiArea& area = *rig.main().mdiArea();
    QList<QMdiSubWindow*> subs;
    for (const char* title : {"Timing", "Pattern", "Third"}) {
        auto* child = new QWidget;
        child->setWindowTitle(QLatin1String(title));
        QMdiSubWindow* sub = area.addSubWindow(child);
        sub->resize(200, 150);
        sub->show();
        subs << sub;
    }
    const QRect client = area.viewport()->rect();

    // Horizontally: one above the other, each the full width.
    rig.menuItem("WindowTileItem")->trigger();
    QCOMPARE(rig.main().tileMode(), TMainForm::TileMode::Horizontal);
    int y = client.top();
    for (QMdiSubWindow* s : subs) {
        QCOMPARE(s->geometry().left(), client.left());
        QCOMPARE(s->geometry().width(), client.width());
        QCOMPARE(s->geometry().top(), y);
        y = s->geometry().bottom() + 1;
    }
    QCOMPARE(y, client.bottom() + 1);

    // Vertically: side by side, each the full height.
    rig.menuItem("WindowTileItem2")->trigger();
    QCOMPARE(rig.main().tileMode(), TMainForm::TileMode::Vertical);
    int x = client.left();
    for (QMdiSubWindow* s : subs) {
        QCOMPARE(s->geometry().top(), client.top());
        QCOMPARE(s->geometry().height(), client.height());
        QCOMPARE(s->geometry().left(), x);
        x = s->geometry().right() + 1;
    }
    QCOMPARE(x, client.right() + 1);

    rig.menuItem("WindowCascadeItem")->trigger();
    QVERIFY(subs[0]->pos() != subs[1]->pos());

    // The window menu lists the children; choosing one activates it.
    area.setActiveSubWindow(subs[2]);
    QMenu* menu = rig.main().WindowMenu();
    QMetaObject::invokeMethod(menu, "aboutToShow");
    QList<QAction*> list;
    for (QAction* a : menu->actions()) {
        if (a->isCheckable())
            list << a;
    }
    QCOMPARE(list.size(), 3);
    QCOMPARE(list[0]->text(), QStringLiteral("&1 Timing"));
    QVERIFY(list[2]->isChecked() && !list[0]->isChecked());
    list[1]->trigger();
    QCOMPARE(area.activeSubWindow(), subs[1]);

    // Rebuilt, not appended to, on the next showing.
    delete subs[0];
    QMetaObject::invokeMethod(menu, "aboutToShow");
    int checkable = 0;
    for (QAction* a : menu->actions()) checkable += a->isCheckable() ? 1 : 0;
    QCOMPARE(checkable, 2);
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
