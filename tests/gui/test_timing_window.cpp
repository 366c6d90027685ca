// The timing window: opening, what it shows for every timing, the ways of choosing a timing
// and "Run Timing".
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <cstdio>

#include "GuiRig.h"
#include "timing/TTiming.h"
#include "timing/TTiming_List.h"
#include "timing/TimingTable.h"
#include "ui/TSimpleComboBox.h"

namespace {

TTiming* timingWindow(GuiRig& rig) {
    const QList<TTiming*> all = rig.main().findChildren<TTiming*>();
    return all.size() == 1 ? all.first() : nullptr;
}

QString field(TTiming* t, const char* name) {
    auto* f = t->QObject::findChild<QLineEdit*>(QLatin1String(name));
    return f ? f->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

// The format of the fields, written independently of the program's formatter.
QString fixed3(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return QString::fromLatin1(buf);
}

// Everything the window shows, in one line, for comparing whole displays.
QString shown(TTiming* t) {
    QStringList parts{t->TimingComboBox1()->text(), field(t, "TimingIndexName")};
    for (const char* n :
         {"Timing_HTol_Edit", "Timing_HTol_Edit2", "Timing_HAct_Edit", "Timing_HAct_Edit2",
          "Timing_HPD_Edit",  "Timing_HPD_Edit2",  "Timing_HPW_Edit",  "Timing_HPW_Edit2",
          "Timing_HPol_Edit", "Timing_HRat_Edit",  "Timing_VTol_Edit", "Timing_VTol_Edit2",
          "Timing_VAct_Edit", "Timing_VAct_Edit2", "Timing_VPD_Edit",  "Timing_VPD_Edit2",
          "Timing_VPW_Edit",  "Timing_VPW_Edit2",  "Timing_VPol_Edit", "Timing_VRat_Edit",
          "Timing_PClk_Edit"})
        parts << field(t, n);
    return parts.join(QLatin1Char('|'));
}

QString expected(int index) {
    const TimingEntry& e = TimingTable[index];
    const double p = 1.0 / e.PClk;
    const double line = e.HTol * p;
    auto h = [&](quint32 n) { return fixed3(n * p * 1000.0); };
    auto v = [&](quint32 m) { return fixed3(m * line); };
    auto pol = [](quint8 x) { return QString::fromLatin1(x == 1 ? "-" : "+"); };
    const QStringList parts{QString::number(e.Number),
                            QLatin1String(e.Name),
                            QString::number(e.HTol),
                            h(e.HTol),
                            QString::number(e.HAct),
                            h(e.HAct),
                            QString::number(e.HPD),
                            h(e.HPD),
                            QString::number(e.HPW),
                            h(e.HPW),
                            pol(e.HPol),
                            fixed3(e.HRat / 1000.0),
                            QString::number(e.VTol),
                            v(e.VTol),
                            QString::number(e.VAct),
                            v(e.VAct),
                            QString::number(e.VPD),
                            v(e.VPD),
                            QString::number(e.VPW),
                            v(e.VPW),
                            pol(e.VPol),
                            fixed3(e.VRat / 1000.0),
                            fixed3(e.PClk / 1000.0)};
    return parts.join(QLatin1Char('|'));
}

// Number field, selected item, display and SelectedTimingIndex all name timing `number`.
bool agrees(GuiRig& rig, TTiming* t, int number) {
    return t->TimingComboBox1()->ItemIndex() == number - 1 && shown(t) == expected(number - 1) &&
           rig.engine.data().SelectedTimingIndex == number - 1 && t->shownIndex() == number - 1;
}

void typeNumber(TTiming* t, const QString& text) {
    TSimpleComboBox* box = t->TimingComboBox1();
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        QTest::keyClicks(box, text);
}

// A full TMIX exchange from "Run Timing": the data byte that went out after the frame.
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

}  // namespace

class TestTimingWindow : public QObject {
    Q_OBJECT

private slots:
    void opensOnceAtItsPlaceShowingTimingOne();
    void layoutFontsAndAccessibleNames();
    void everyTimingShowsItsFormulaValues();
    void closingFreesAndReopeningStartsAtOne();
    void spinnerStepsOneTimingAndStopsAtTheEnds();
    void arrowKeysStepLikeTheSpinner();
    void typedNumbersAndTextThatNamesNoTiming();
    void runTimingSendsTheShownIndexOrNothing();
    void showListShowsThePickerWithoutHighlight();
};

void TestTimingWindow::opensOnceAtItsPlaceShowingTimingOne() {
    GuiRig rig;
    rig.engine.data().SelectedTimingIndex = 17;  // left over from an earlier window
    rig.menuItem("Timing1")->trigger();
    rig.main().Timing_Run()->trigger();  // the toolbar button does the same: nothing now
    rig.main().Timing1Click();
    QCOMPARE(rig.main().mdiArea()->subWindowList().size(), 1);
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    QMdiSubWindow* sub = t->subWindow();
    QCOMPARE(sub->windowTitle(), QStringLiteral("Timing"));
    QCOMPARE(sub->geometry(), QRect(10, 10, 820, 520));
    QVERIFY(sub->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(sub->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(agrees(rig, t, 1));
    QCOMPARE(field(t, "TimingIndexName"), QStringLiteral("640x480-60"));
    QCOMPARE(t->TimingComboBox1()->items().size(), 35);
    QCOMPARE(t->TimingComboBox1()->items().first(), QStringLiteral("1"));
    QCOMPARE(t->TimingComboBox1()->items().last(), QStringLiteral("35"));
    QCOMPARE(t->TimingComboBox1()->maxLength(), 2);

    // The number field has the focus once the frame is active.
    rig.main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.main()));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(t->TimingComboBox1()));

    // A second opening while it exists does not even bring it to the front.
    auto* other = rig.main().mdiArea()->addSubWindow(new QWidget);
    other->setWindowTitle(QStringLiteral("Other"));
    other->show();
    rig.main().mdiArea()->setActiveSubWindow(other);
    rig.main().Timing1Click();
    QCOMPARE(rig.main().mdiArea()->activeSubWindow(), other);
    QCOMPARE(rig.main().findChildren<TTiming*>().size(), 1);
}

void TestTimingWindow::layoutFontsAndAccessibleNames() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    auto geometry = [&](const char* name) {
        auto* w = t->QObject::findChild<QWidget*>(QLatin1String(name));
        return w ? w->geometry() : QRect();
    };
    auto pixels = [&](const char* name) {
        auto* w = t->QObject::findChild<QWidget*>(QLatin1String(name));
        return w ? w->font().pixelSize() : -1;
    };
    QCOMPARE(geometry("GroupBox1"), QRect(24, 24, 633, 81));
    QCOMPARE(geometry("TimingComboBox1"), QRect(96, 32, 177, 25));
    QCOMPARE(geometry("UpDown1"), QRect(248, 32, 25, 25));
    QCOMPARE(geometry("TimingIndexName").topLeft(), QPoint(296, 32));
    QCOMPARE(geometry("Button1"), QRect(480, 16, 137, 25));
    QCOMPARE(geometry("Run_Timing"), QRect(504, 72, 137, 25));
    QCOMPARE(geometry("GroupBox2"), QRect(24, 120, 353, 265));
    QCOMPARE(geometry("GroupBox3"), QRect(392, 120, 353, 265));
    QCOMPARE(geometry("Timing_HTol_Edit"), QRect(120, 40, 57, 24));
    QCOMPARE(geometry("Timing_HTol_Edit2"), QRect(232, 40, 57, 24));
    QCOMPARE(geometry("Timing_VRat_Edit"), QRect(120, 40 + 5 * 32, 57, 24));
    QCOMPARE(geometry("Timing_PClk_Edit"), QRect(144, 400, 121, 24));

    // The number group, the group captions, the pixel clock and "Run Timing" are large.
    for (const char* name : {"GroupBox1", "TimingComboBox1", "TimingIndexName", "Button1",
                             "Run_Timing", "GroupBox2", "GroupBox3", "Timing_PClk_Edit"})
        QVERIFY2(pixels(name) == 16, name);
    for (const char* name : {"Timing_HTol_Edit", "Timing_VPW_Edit2", "Timing_VRat_Edit"})
        QVERIFY2(pixels(name) == 13, name);

    // Unit labels: after the counts at 184 (pixels, kHz) or 192 (lines, Hz), after the
    // durations at 296, 8 pixels below their field.
    auto* horizontal = t->QObject::findChild<QGroupBox*>(QStringLiteral("GroupBox2"));
    auto* vertical = t->QObject::findChild<QGroupBox*>(QStringLiteral("GroupBox3"));
    auto labelAt = [](QGroupBox* g, const QString& text, int row) {
        for (QLabel* l : g->findChildren<QLabel*>())
            if (l->text() == text && l->y() == 40 + row * 32 + 8)
                return l->x();
        return -1;
    };
    QCOMPARE(labelAt(horizontal, "Pixels", 0), 184);
    QCOMPARE(labelAt(horizontal, "uS", 3), 296);
    QCOMPARE(labelAt(horizontal, "KHz", 5), 184);
    QCOMPARE(labelAt(vertical, "Lines", 2), 192);
    QCOMPARE(labelAt(vertical, "mS", 0), 296);
    QCOMPARE(labelAt(vertical, "Hz", 5), 192);
    for (QLabel* l : horizontal->findChildren<QLabel*>())
        if (l->text().endsWith(QLatin1String(" :")))
            QCOMPARE(l->geometry().right() + 1, 101);

    // Accessible names: captions, else designer names; read-only fields report their text.
    QCOMPARE(t->Run_Timing()->accessibleName(), QStringLiteral("Run Timing"));
    QCOMPARE(t->Button1()->accessibleName(), QStringLiteral("Show List"));
    QCOMPARE(t->TimingComboBox1()->accessibleName(), QStringLiteral("TimingComboBox1"));
    QCOMPARE(t->UpDown1()->accessibleName(), QStringLiteral("UpDown1"));
    auto* pclk = t->QObject::findChild<QLineEdit*>(QStringLiteral("Timing_PClk_Edit"));
    QCOMPARE(pclk->accessibleName(), QStringLiteral("Timing_PClk_Edit"));
    QVERIFY(pclk->isReadOnly());
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(pclk);
    QVERIFY(a);
    QCOMPARE(a->text(QAccessible::Value), QStringLiteral("25.175"));
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
    // The worked rows, as the operator reads them.
    auto show = [&](int n) {
        typeNumber(t, QString::number(n));
        return shown(t);
    };
    QCOMPARE(show(20), QStringLiteral("20|1920x1200-60|2080|13.506|1920|12.468|48|0.312|32|0.208|"
                                      "+|74.038|1235|16.681|1200|16.208|3|0.041|6|0.081|-|59.950|"
                                      "154.000"));
    QCOMPARE(show(31), QStringLiteral("31|720x576I|1728|64.000|1440|53.333|24|0.889|126|4.667|-|"
                                      "15.625|625|40.000|576|36.864|2|0.128|3|0.192|-|50.000|"
                                      "27.000"));
    QCOMPARE(show(7).section(QLatin1Char('|'), 16, 17), QStringLiteral("37|0.770"));
}

void TestTimingWindow::closingFreesAndReopeningStartsAtOne() {
    GuiRig rig;
    rig.main().Timing1Click();
    QPointer<TTiming> t = timingWindow(rig);
    QVERIFY(t);
    typeNumber(t, "12");
    QVERIFY(agrees(rig, t, 12));
    t->subWindow()->close();
    QTRY_VERIFY(t.isNull());
    QVERIFY(rig.main().mdiArea()->subWindowList().isEmpty());
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(11));  // kept after closing

    rig.main().Timing1Click();
    TTiming* again = timingWindow(rig);
    QVERIFY(again);
    QVERIFY(again->subWindow()->isVisible());
    QCOMPARE(again->subWindow()->geometry(), QRect(10, 10, 820, 520));
    QVERIFY(agrees(rig, again, 1));
}

void TestTimingWindow::spinnerStepsOneTimingAndStopsAtTheEnds() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    QToolButton* up = t->UpDown1()->upButton();
    QToolButton* down = t->UpDown1()->downButton();
    QCOMPARE(up->accessibleName(), QStringLiteral("UpDown1 up"));

    up->click();  // at 1 nothing happens
    QVERIFY(agrees(rig, t, 1));
    typeNumber(t, "5");
    down->click();  // the down arrow goes to the higher number
    QVERIFY(agrees(rig, t, 6));
    QCOMPARE(field(t, "TimingIndexName"), QStringLiteral("800x600-60"));
    up->click();
    up->click();
    QVERIFY(agrees(rig, t, 4));
    typeNumber(t, "35");
    down->click();  // at 35 nothing happens
    QVERIFY(agrees(rig, t, 35));
    t->UpDown1()->press(TUpDown::Direction::None);  // no direction counts as down
    QVERIFY(agrees(rig, t, 35));
    up->click();
    QVERIFY(agrees(rig, t, 34));
    t->UpDown1()->press(TUpDown::Direction::None);
    QVERIFY(agrees(rig, t, 35));
}

void TestTimingWindow::arrowKeysStepLikeTheSpinner() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    TSimpleComboBox* box = t->TimingComboBox1();

    // Up goes to the lower number, one step per press, whatever the key handler selected.
    typeNumber(t, "5");
    QTest::keyClick(box, Qt::Key_Up);
    QVERIFY(agrees(rig, t, 4));
    QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_Down);
    QVERIFY(agrees(rig, t, 6));

    // Never past the ends, and the field keeps naming the shown timing.
    typeNumber(t, "1");
    QTest::keyClick(box, Qt::Key_Up);
    QVERIFY(agrees(rig, t, 1));
    QCOMPARE(box->text(), QStringLiteral("1"));
    typeNumber(t, "35");
    QTest::keyClick(box, Qt::Key_Down);
    QVERIFY(agrees(rig, t, 35));

    // The handler on its own: Up selects the next item, Down the one before, nothing shown.
    typeNumber(t, "10");
    t->TimingComboBox1KeyDown(Qt::Key_Up);
    QCOMPARE(box->ItemIndex(), 10);
    QCOMPARE(shown(t), expected(9));
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(9));
    t->TimingComboBox1KeyDown(Qt::Key_Down);
    t->TimingComboBox1KeyDown(Qt::Key_Down);
    QCOMPARE(box->ItemIndex(), 8);
    typeNumber(t, "35");
    t->TimingComboBox1KeyDown(Qt::Key_Up);
    QCOMPARE(box->ItemIndex(), -1);  // no item after the last
}

void TestTimingWindow::typedNumbersAndTextThatNamesNoTiming() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    TSimpleComboBox* box = t->TimingComboBox1();

    typeNumber(t, "12");
    QVERIFY(agrees(rig, t, 12));
    QCOMPARE(field(t, "TimingIndexName"), QStringLiteral("1024x768-75"));

    // Switching to another child window and back keeps 12.
    QMdiArea* area = rig.main().mdiArea();
    auto* other = area->addSubWindow(new QWidget);
    other->setWindowTitle(QStringLiteral("Other"));
    other->show();
    area->setActiveSubWindow(other);
    area->setActiveSubWindow(t->subWindow());
    QCOMPARE(area->activeSubWindow(), t->subWindow());
    QVERIFY(agrees(rig, t, 12));

    // A keystroke that leaves text naming no timing changes nothing; the whole item text is
    // needed.
    const struct {
        const char* before;
        Qt::Key key;
        const char* after;
    } strokes[] = {{"3", Qt::Key_6, "36"}, {"", Qt::Key_0, "0"},         {"0", Qt::Key_7, "07"},
                   {"", Qt::Key_X, "x"},   {"1", Qt::Key_Backspace, ""}, {"-", Qt::Key_1, "-1"}};
    for (const auto& s : strokes) {
        typeNumber(t, "12");
        box->setText(QLatin1String(s.before));
        QTest::keyClick(box, s.key);
        QCOMPARE(box->text(), QLatin1String(s.after));
        QCOMPARE(box->ItemIndex(), -1);
        QCOMPARE(shown(t).section(QLatin1Char('|'), 1), expected(11).section(QLatin1Char('|'), 1));
        QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(11));
    }
    // Leaving the field puts the shown number back.
    emit box->editingFinished();
    QVERIFY(agrees(rig, t, 12));

    // The spinner steps from the timing on show, even from text that names none.
    typeNumber(t, "9x");
    QCOMPARE(box->text(), QStringLiteral("9x"));
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(8));  // "9" on the way
    t->UpDown1()->downButton()->click();
    QVERIFY(agrees(rig, t, 10));
    typeNumber(t, "99");
    QTest::keyClick(box, Qt::Key_Up);  // arrow keys do nothing while the text names nothing
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(8));
    t->UpDown1()->upButton()->click();
    QVERIFY(agrees(rig, t, 8));
}

void TestTimingWindow::runTimingSendsTheShownIndexOrNothing() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);

    // Port closed: nothing sent, nothing said.
    t->Run_Timing()->click();
    QVERIFY(rig.line.sent().isEmpty());
    QVERIFY(rig.messages.isEmpty());
    // Port open, generator absent: the same.
    rig.makePresent();
    rig.engine.ShowDeviceAbsent();
    t->Run_Timing()->click();
    QVERIFY(rig.line.sent().isEmpty());
    rig.engine.ShowDevicePresent();

    // From 5, one press of the down arrow, then "Run Timing": frame, then byte 5.
    typeNumber(t, "5");
    t->UpDown1()->downButton()->click();
    rig.line.clearSent();
    t->Run_Timing()->click();
    QCOMPARE(rig.line.sent(), QByteArray("TMIX \x01 \n\r", 9));
    // Busy: a second press while the first is outstanding sends nothing.
    rig.line.clearSent();
    t->Run_Timing()->click();
    QVERIFY(rig.line.sent().isEmpty());
    rig.pump();
    QCOMPARE(rig.line.sent(), QByteArray(" \x05 ", 3));
    rig.line.feed("OK");
    rig.pump();
    QCOMPARE(rig.engine.state().tmixSlot, CommandSlot::Idle);
    QVERIFY(rig.messages.isEmpty());  // a successful TMIX says nothing

    // Item 12 typed: byte 11; after switching windows and back, still 11.
    typeNumber(t, "12");
    QCOMPARE(runTiming(rig, t), QByteArray(" \x0b ", 3));
    QMdiArea* area = rig.main().mdiArea();
    auto* other = area->addSubWindow(new QWidget);
    other->show();
    area->setActiveSubWindow(other);
    area->setActiveSubWindow(t->subWindow());
    QCOMPARE(runTiming(rig, t), QByteArray(" \x0b ", 3));

    // Text that names nothing: what goes out is the timing on show, and the field says so.
    typeNumber(t, "4x");
    QCOMPARE(runTiming(rig, t), QByteArray(" \x03 ", 3));
    QVERIFY(agrees(rig, t, 4));
    QVERIFY(rig.messages.isEmpty());
}

void TestTimingWindow::showListShowsThePickerWithoutHighlight() {
    GuiRig rig;
    rig.main().Timing1Click();
    TTiming* t = timingWindow(rig);
    QVERIFY(t);
    TTiming_List& list = *rig.windows->Timing_List;
    list.TimingListHighlightRow = 7;
    t->Button1()->click();
    QVERIFY(list.isVisible());
    QVERIFY(!list.isModal());
    QCOMPARE(list.TimingListHighlightRow, qint8(0));
    // The timing window stays usable meanwhile.
    t->UpDown1()->downButton()->click();
    QVERIFY(agrees(rig, t, 2));
    list.hide();
}

QTEST_MAIN(TestTimingWindow)
#include "test_timing_window.moc"
