// The timing window: opening, what it shows for every timing, the ways of choosing a timing
// and "Run Timing".
#include <QAccessible>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cstdio>

#include "GuiRig.h"
#include "timing/TTiming.h"
#include "timing/TimingTable.h"
#include "ui/TSimpleComboBox.h"

namespace {

TTiming* timingWindow(GuiRig& rig) {
    const QList<TTiming*> all = rig.main().findChildren<TTiming*>();
    return all.size() == 1 ? all.first() : nullptr;
}

QString field(TTiming* t, const QString& name) {
    auto* f = t->QObject::findChild<QLineEdit*>(name);
    return f ? f->text() : QStringLiteral("<no %1>").arg(name);
}

// Everything the window shows, in one line.
QString shown(TTiming* t) {
    QStringList parts{t->TimingComboBox1()->text(), field(t, "TimingIndexName")};
    for (const char* g : {"H", "V"}) {
        for (const char* p : {"Tol", "Act", "PD", "PW"})
            parts << field(t, QStringLiteral("Timing_%1%2_Edit").arg(g, p))
                  << field(t, QStringLiteral("Timing_%1%2_Edit2").arg(g, p));
        parts << field(t, QStringLiteral("Timing_%1Pol_Edit").arg(g))
              << field(t, QStringLiteral("Timing_%1Rat_Edit").arg(g));
    }
    return (parts << field(t, "Timing_PClk_Edit")).join(QLatin1Char('|'));
}

// The same line computed from the table, formatted independently of the program.
QString expected(int index) {
    const TimingEntry& e = TimingTable[index];
    auto fixed3 = [](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.3f", v);
        return QString::fromLatin1(buf);
    };
    auto pol = [](quint8 x) { return QString::fromLatin1(x == 1 ? "-" : "+"); };
    const double p = 1.0 / e.PClk;
    const double line = e.HTol * p;
    QStringList parts{QString::number(e.Number), QLatin1String(e.Name)};
    for (quint32 n : {e.HTol, e.HAct, e.HPD, e.HPW})
        parts << QString::number(n) << fixed3(n * p * 1000.0);
    parts << pol(e.HPol) << fixed3(e.HRat / 1000.0);
    for (quint32 m : {e.VTol, e.VAct, e.VPD, e.VPW})
        parts << QString::number(m) << fixed3(m * line);
    parts << pol(e.VPol) << fixed3(e.VRat / 1000.0) << fixed3(e.PClk / 1000.0);
    return parts.join(QLatin1Char('|'));
}

// Number field, selected item, display and SelectedTimingIndex all name timing `number`.
bool agrees(GuiRig& rig, TTiming* t, int number) {
    return t->TimingComboBox1()->ItemIndex() == number - 1 && shown(t) == expected(number - 1) &&
           rig.engine.data().SelectedTimingIndex == number - 1;
}

void typeNumber(TTiming* t, const QString& text) {
    t->TimingComboBox1()->selectAll();
    QTest::keyClicks(t->TimingComboBox1(), text);
}

// A full TMIX exchange from "Run Timing": the framed data byte that followed the frame.
QByteArray runTiming(GuiRig& rig, TTiming* t) {
    rig.line.clearSent();
    t->Run_Timing()->click();
    if (!rig.line.sent().startsWith("TMIX"))
        return "no frame: " + rig.line.sent();
    rig.line.clearSent();
    rig.pump();
    const QByteArray data = rig.line.sent();
    rig.line.feed("OK");
    rig.pump();
    return data;
}

// Another child window takes the focus, then the timing window gets it back.
void switchAway(GuiRig& rig, TTiming* t) {
    QMdiArea* area = rig.main().mdiArea();
    auto* other = area->addSubWindow(new QWidget);
    other->show();
    area->setActiveSubWindow(other);
    area->setActiveSubWindow(t->subWindow());
}

}  // namespace

class TestTimingWindow : public QObject {
    Q_OBJECT

private slots:
    void opensOnceAtTimingOneAndReopensAtOne();
    void everyTimingShowsItsFormulaValues();
    void spinnerAndArrowKeysStepOneTimingWithinTheEnds();
    void typedTextThatNamesNoTimingChangesNothing();
    void runTimingSendsTheShownIndexOrNothing();
};

void TestTimingWindow::opensOnceAtTimingOneAndReopensAtOne() {
    GuiRig rig;
    rig.engine.data().SelectedTimingIndex = 17;  // left by an earlier window
    rig.menuItem("Timing1")->trigger();
    QPointer<TTiming> t = timingWindow(rig);
    QVERIFY(t);
    QCOMPARE(t->subWindow()->windowTitle(), QStringLiteral("Timing"));
    QCOMPARE(t->subWindow()->geometry(), QRect(10, 10, 820, 520));
    QVERIFY(agrees(rig, t, 1));
    rig.main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.main()));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(t->TimingComboBox1()));

    // Accessible names, and read-only fields that report their text.
    QCOMPARE(t->Run_Timing()->accessibleName(), QStringLiteral("Run Timing"));
    QCOMPARE(t->Button1()->accessibleName(), QStringLiteral("Show List"));
    QCOMPARE(t->TimingComboBox1()->accessibleName(), QStringLiteral("TimingComboBox1"));
    auto* pclk = t->QObject::findChild<QLineEdit*>(QStringLiteral("Timing_PClk_Edit"));
    QCOMPARE(pclk->accessibleName(), QStringLiteral("Timing_PClk_Edit"));
    QCOMPARE(QAccessible::queryAccessibleInterface(pclk)->text(QAccessible::Value),
             QStringLiteral("25.175"));

    // Opening again, from the menu or the toolbar, neither adds a window nor raises this one.
    QMdiArea* area = rig.main().mdiArea();
    auto* other = area->addSubWindow(new QWidget);
    other->show();
    area->setActiveSubWindow(other);
    rig.main().Timing_Run()->trigger();
    rig.menuItem("Timing1")->trigger();
    QCOMPARE(area->activeSubWindow(), other);
    QCOMPARE(rig.main().findChildren<TTiming*>().size(), 1);
    other->close();

    // Closing frees it and keeps the index; the next opening starts at 1 again.
    typeNumber(t, "12");
    t->subWindow()->close();
    QTRY_VERIFY(t.isNull());
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(11));
    rig.main().Timing1Click();
    t = timingWindow(rig);
    QVERIFY(t && t->subWindow()->isVisible());
    QCOMPARE(t->subWindow()->geometry(), QRect(10, 10, 820, 520));
    QVERIFY(agrees(rig, t, 1));
}

void TestTimingWindow::everyTimingShowsItsFormulaValues() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    for (int n = 1; n <= 35; ++n) {
        if (n > 1)
            t->UpDown1()->downButton()->click();
        QVERIFY2(agrees(rig, t, n), qPrintable(shown(t) + " / " + expected(n - 1)));
    }
    typeNumber(t, "20");  // as the operator reads it
    QCOMPARE(shown(t), QStringLiteral("20|1920x1200-60|2080|13.506|1920|12.468|48|0.312|32|0.208|"
                                      "+|74.038|1235|16.681|1200|16.208|3|0.041|6|0.081|-|59.950|"
                                      "154.000"));
}

void TestTimingWindow::spinnerAndArrowKeysStepOneTimingWithinTheEnds() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    QToolButton* up = t->UpDown1()->upButton();
    QToolButton* down = t->UpDown1()->downButton();
    TSimpleComboBox* box = t->TimingComboBox1();

    // The spinner: up to the lower number, down (or no direction) to the higher.
    up->click();
    QVERIFY(agrees(rig, t, 1));
    typeNumber(t, "5");
    down->click();
    QVERIFY(agrees(rig, t, 6));
    QCOMPARE(field(t, "TimingIndexName"), QStringLiteral("800x600-60"));
    up->click();
    up->click();
    QVERIFY(agrees(rig, t, 4));
    typeNumber(t, "35");
    down->click();
    t->UpDown1()->press(TUpDown::Direction::None);
    QVERIFY(agrees(rig, t, 35));
    up->click();
    t->UpDown1()->press(TUpDown::Direction::None);
    QVERIFY(agrees(rig, t, 35));

    // The arrow keys: one step like the spinner, whatever the key handler selected first.
    typeNumber(t, "5");
    QTest::keyClick(box, Qt::Key_Up);
    QVERIFY(agrees(rig, t, 4));
    QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_Down);
    QVERIFY(agrees(rig, t, 6));
    typeNumber(t, "1");
    QTest::keyClick(box, Qt::Key_Up);
    QVERIFY(agrees(rig, t, 1));
    QCOMPARE(box->text(), QStringLiteral("1"));
    typeNumber(t, "35");
    QTest::keyClick(box, Qt::Key_Down);
    QVERIFY(agrees(rig, t, 35));
    // The key handler alone: Up selects the next item, Down the one before; nothing shown.
    typeNumber(t, "10");
    t->TimingComboBox1KeyDown(Qt::Key_Up);
    QCOMPARE(box->ItemIndex(), 10);
    QCOMPARE(shown(t), expected(9));
    t->TimingComboBox1KeyDown(Qt::Key_Down);
    t->TimingComboBox1KeyDown(Qt::Key_Down);
    QCOMPARE(box->ItemIndex(), 8);
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(9));
}

void TestTimingWindow::typedTextThatNamesNoTimingChangesNothing() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    TSimpleComboBox* box = t->TimingComboBox1();
    typeNumber(t, "12");
    QVERIFY(agrees(rig, t, 12));
    QCOMPARE(field(t, "TimingIndexName"), QStringLiteral("1024x768-75"));
    switchAway(rig, t);
    QVERIFY(agrees(rig, t, 12));

    // A keystroke that leaves text naming no timing changes nothing: whole items only.
    const struct {
        const char* before;
        Qt::Key key;
        const char* after;
    } strokes[] = {{"3", Qt::Key_6, "36"}, {"", Qt::Key_0, "0"},         {"0", Qt::Key_7, "07"},
                   {"", Qt::Key_X, "x"},   {"1", Qt::Key_Backspace, ""}, {"-", Qt::Key_1, "-1"}};
    for (const auto& s : strokes) {
        box->setText(QLatin1String(s.before));
        QTest::keyClick(box, s.key);
        QCOMPARE(box->text(), QLatin1String(s.after));
        QCOMPARE(box->ItemIndex(), -1);
        QCOMPARE(shown(t).section(QLatin1Char('|'), 1), expected(11).section(QLatin1Char('|'), 1));
        QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(11));
    }
    emit box->editingFinished();  // leaving the field puts the shown number back
    QVERIFY(agrees(rig, t, 12));

    // From such text the spinner steps from the timing on show; the arrow keys do nothing.
    typeNumber(t, "9x");
    t->UpDown1()->downButton()->click();
    QVERIFY(agrees(rig, t, 10));
    typeNumber(t, "99");
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(8));
    t->UpDown1()->upButton()->click();
    QVERIFY(agrees(rig, t, 8));
}

void TestTimingWindow::runTimingSendsTheShownIndexOrNothing() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);

    // Port closed, then generator absent: nothing sent, nothing said.
    t->Run_Timing()->click();
    rig.makePresent();
    rig.engine.ShowDeviceAbsent();
    t->Run_Timing()->click();
    QVERIFY(rig.line.sent().isEmpty());
    rig.engine.ShowDevicePresent();

    // From 5, one press of the down arrow: frame, then byte 5; a press while busy is ignored.
    typeNumber(t, "5");
    t->UpDown1()->downButton()->click();
    t->Run_Timing()->click();
    QCOMPARE(rig.line.sent(), QByteArray("TMIX \x01 \n\r", 9));
    t->Run_Timing()->click();
    rig.pump();
    QCOMPARE(rig.line.sent(), QByteArray("TMIX \x01 \n\r \x05 ", 12));
    rig.line.feed("OK");
    rig.pump();
    QCOMPARE(rig.engine.state().tmixSlot, CommandSlot::Idle);

    // Item 12: byte 11, also after switching windows and back.
    typeNumber(t, "12");
    QCOMPARE(runTiming(rig, t), QByteArray(" \x0b ", 3));
    switchAway(rig, t);
    QCOMPARE(runTiming(rig, t), QByteArray(" \x0b ", 3));
    // Text that names nothing: what goes out is the timing on show, and the field says so.
    typeNumber(t, "4x");
    QCOMPARE(runTiming(rig, t), QByteArray(" \x03 ", 3));
    QVERIFY(agrees(rig, t, 4));
    QVERIFY(rig.messages.isEmpty());  // a successful TMIX says nothing
}

QTEST_MAIN(TestTimingWindow)
#include "test_timing_window.moc"
