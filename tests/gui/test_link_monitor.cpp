// The Link Monitor on the fake line and clock: what it shows of an exchange, Pause, Clear,
// Save and its scrolling.
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "GuiRig.h"
#include "ui/TLinkMonitor.h"

namespace {

QStringList shownLines(TLinkMonitor& m) {
    const QString text = m.LinkRecord()->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// Run Timing with timing index 5: frame, "OK", data byte, "OK".
void runTiming(GuiRig& rig) {
    rig.engine.data().SelectedTimingIndex = 5;
    QVERIFY(rig.engine.startCommand(Command::Tmix));
    rig.pump();  // the first reply is read and judged; the data byte goes out
    rig.line.feed("OK\r\n");
    rig.pump();
    QCOMPARE(rig.engine.state().tmixSlot, CommandSlot::Idle);
}

}  // namespace

class TestLinkMonitor : public QObject {
    Q_OBJECT

private slots:
    void showsEachExchangeLineByLine();
    void pauseHoldsClearForgetsAndDropsAreCounted();
    void saveWritesTheLinesShown();
    void autoscrollFollowsOnlyAtTheBottom();
};

void TestLinkMonitor::showsEachExchangeLineByLine() {
    {
        // Without a tap there is nothing to show: no window, the entry disabled.
        GuiRig plain;
        QVERIFY(!plain.windows->linkMonitor());
        QVERIFY(!plain.menuItem("LinkMonitor1")->isEnabled());
    }
    GuiRig rig(true);
    QMenu* config = rig.main().findChild<QMenu*>(QStringLiteral("Config1"));
    QStringList entries;
    for (QAction* a : config->actions()) entries << a->text();
    QCOMPARE(entries, QStringList({"COM Port", "Link Monitor"}));

    // What went over the line before the window was opened is there when it opens.
    rig.makePresent();
    runTiming(rig);
    TLinkMonitor& m = *rig.windows->linkMonitor();
    QVERIFY(!m.isVisible());
    rig.menuItem("LinkMonitor1")->trigger();
    QVERIFY(m.isVisible());
    QCOMPARE(m.windowTitle(), QStringLiteral("Link Monitor"));
    QCoreApplication::processEvents();  // the first look at the tap follows the showing

    QStringList lines = shownLines(m);
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].startsWith(
                 "    0.000 s  ->  TMIX frame      54 4D 49 58 20 01 20 0A 0D  \"TMIX \\x01 "
                 "\\x0A\\x0D\""),
             qPrintable(lines[0]));
    // The reply is read by the poll after the 315 ms of the frame; the data byte follows.
    QVERIFY2(lines[1].startsWith("    0.315 s  <-  reply           4F 4B 0D 0A  \"OK\\x0D\\x0A\""),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith("    0.315 s  ->  TMIX data       20 05 20  \" \\x05 \""),
             qPrintable(lines[2]));
    QVERIFY2(lines[3].startsWith("    0.420 s  <-  reply "), qPrintable(lines[3]));
    QCOMPARE(m.StatusLabel()->text(), QStringLiteral("4 lines"));

    // Open, it takes what comes on its timer, not while the engine sends.
    QVERIFY(m.PullTimer()->isActive());
    QVERIFY(m.PullTimer()->interval() >= 200 && m.PullTimer()->interval() <= 300);
    runTiming(rig);
    QCOMPARE(shownLines(m).size(), 4);
    m.pull();
    lines = shownLines(m);
    QCOMPARE(lines.size(), 8);
    QVERIFY(lines[4].contains("->  TMIX frame"));
    QVERIFY(lines[6].contains("->  TMIX data       20 05 20"));

    // A frame cut off mid-way shows once the line has stayed quiet for a whole interval.
    rig.tap.putByte(1, 'T');
    rig.tap.putByte(1, 'M');
    m.pull();
    QCOMPARE(shownLines(m).size(), 8);
    m.pull();
    QVERIFY2(shownLines(m).last().contains("->  TM frame (incomplete)  54 4D  \"TM\""),
             qPrintable(shownLines(m).last()));

    // Readable by a screen reader: names, and the record's text.
    QCOMPARE(m.PauseButton()->accessibleName(), QStringLiteral("Pause"));
    QCOMPARE(m.ClearButton()->accessibleName(), QStringLiteral("Clear"));
    QCOMPARE(m.SaveButton()->accessibleName(), QStringLiteral("Save..."));
    QCOMPARE(m.StatusLabel()->accessibleName(), QStringLiteral("9 lines"));
    QAccessibleInterface* record = QAccessible::queryAccessibleInterface(m.LinkRecord());
    QVERIFY(record && record->textInterface());
    QCOMPARE(record->text(QAccessible::Name), QStringLiteral("Link record"));
    const QString all = m.LinkRecord()->toPlainText();
    QCOMPARE(record->textInterface()->text(0, int(all.size())), all);

    // Closed, it leaves the tap alone; the tap goes on recording.
    m.close();
    QVERIFY(!m.PullTimer()->isActive());
    const quint64 before = rig.tap.recorded();
    runTiming(rig);
    QVERIFY(rig.tap.recorded() > before);
}

void TestLinkMonitor::pauseHoldsClearForgetsAndDropsAreCounted() {
    GuiRig rig(true);
    rig.makePresent();
    TLinkMonitor& m = *rig.windows->linkMonitor();
    m.showMonitor();
    runTiming(rig);
    m.pull();
    QCOMPARE(shownLines(m).size(), 4);

    // Paused, the view holds and says how much waits; released, it catches up.
    m.PauseButton()->click();
    QVERIFY(m.paused());
    runTiming(rig);
    m.pull();
    QCOMPARE(shownLines(m).size(), 4);
    QCOMPARE(m.StatusLabel()->text(),
             QStringLiteral("4 lines; paused, 14 new events not shown yet"));
    m.PauseButton()->click();
    QVERIFY(!m.paused());
    QCOMPARE(shownLines(m).size(), 8);
    QCOMPARE(m.StatusLabel()->text(), QStringLiteral("8 lines"));

    // Clear between a frame and its data byte, with the frame not shown yet: the view and the
    // record are emptied, the time starts again at 0 and the data byte still knows its command
    // (not the one shown last).
    QVERIFY(rig.engine.startCommand(Command::Dfset));
    rig.pump();
    QCOMPARE(rig.messages, QStringList({"Upload Successful!!"}));
    m.pull();
    QVERIFY(shownLines(m).last().contains("<-  reply"));
    rig.engine.data().SelectedTimingIndex = 5;
    QVERIFY(rig.engine.startCommand(Command::Tmix));
    rig.engine.receivePoll();
    m.ClearButton()->click();
    QVERIFY(shownLines(m).isEmpty());
    quint64 next = 0;
    QVERIFY(rig.tap.eventsSince(0, &next).empty());
    QCOMPARE(m.StatusLabel()->text(), QStringLiteral("0 lines"));
    rig.engine.supervisionTick();
    m.pull();
    QStringList lines = shownLines(m);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith("    0.000 s  ->  TMIX data       20 05 20"),
             qPrintable(lines[0]));

    // A small record that overflows while the view is held: the gap is marked where it is and
    // counted; what the record still holds follows it.
    FakeClock clock;
    FakeLine inner(&clock);
    TappedLine small(inner, 12, [&clock] { return double(clock.now); });
    TLinkMonitor alone(small);
    alone.showMonitor();
    alone.PauseButton()->click();
    for (int i = 0; i < 8; ++i) {
        for (quint8 b : {quint8(' '), quint8(i), quint8(' ')}) {
            small.putByte(1, b);
            clock.now += 35;
        }
    }
    alone.pull();
    QVERIFY(shownLines(alone).isEmpty());
    QVERIFY(alone.StatusLabel()->text().contains("paused, 24 new events not shown yet"));
    alone.PauseButton()->click();
    lines = shownLines(alone);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], QStringLiteral("--- 12 events not shown: dropped from the record, which "
                                      "keeps the last 12 ---"));
    QVERIFY2(lines[1].contains("->  data            20 04 20"), qPrintable(lines[1]));
    QVERIFY(lines[4].contains("20 07 20"));
    QCOMPARE(alone.StatusLabel()->text(),
             QStringLiteral("5 lines; the record keeps the last 12 events: 12 older ones "
                            "dropped, 12 of them before they were shown"));
    // Dropped while shown: counted by the record, not as missed.
    for (int i = 0; i < 6; ++i) {
        small.putByte(1, ' ');
        alone.pull();
    }
    QVERIFY(alone.StatusLabel()->text().contains("18 older ones dropped, 12 of them"));
    alone.ClearButton()->click();
    QCOMPARE(alone.StatusLabel()->text(), QStringLiteral("0 lines"));
}

void TestLinkMonitor::saveWritesTheLinesShown() {
    GuiRig rig(true);
    rig.makePresent();
    TLinkMonitor& m = *rig.windows->linkMonitor();
    m.showMonitor();
    runTiming(rig);
    m.pull();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QString chosen;
    int asked = 0;
    m.setFileDialogHook([&] {
        ++asked;
        return chosen;
    });
    // Cancelled: nothing written, nothing said.
    m.SaveButton()->click();
    QCOMPARE(asked, 1);
    QVERIFY(rig.messages.isEmpty());

    // What is shown, not what waits behind Pause; a plain text file, one line each.
    m.PauseButton()->click();
    runTiming(rig);
    chosen = dir.filePath("record.txt");
    m.SaveButton()->click();
    QVERIFY(rig.messages.isEmpty());
    QFile saved(chosen);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes, m.LinkRecord()->toPlainText().toUtf8() + "\n");
    QCOMPARE(bytes.count('\n'), 4);
    QVERIFY(bytes.contains("->  TMIX data       20 05 20"));
    // An ordinary file that others may read as the umask allows, not a private temporary one.
    QVERIFY(saved.permissions() & QFileDevice::ReadGroup);
    saved.close();

    // Replaced whole, not appended to.
    m.PauseButton()->click();
    m.SaveButton()->click();
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll().count('\n'), 8);
    saved.close();

    // Failures are told with the path and the reason; nothing is left behind.
    chosen = dir.filePath("missing/record.txt");
    m.SaveButton()->click();
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages[0].startsWith("Cannot save " + QDir::toNativeSeparators(chosen) + ": "),
             qPrintable(rig.messages[0]));
    chosen = dir.path();
    m.SaveButton()->click();
    QCOMPARE(rig.messages.size(), 2);
    QVERIFY(QFileInfo(dir.path()).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"record.txt"}));
}

void TestLinkMonitor::autoscrollFollowsOnlyAtTheBottom() {
    FakeClock clock;
    FakeLine inner(&clock);
    TappedLine tap(inner, TappedLine::DefaultCapacity, [&clock] { return double(clock.now); });
    TLinkMonitor m(tap);
    m.resize(600, 300);
    m.showMonitor();
    QCoreApplication::processEvents();
    quint8 buf[64];
    int chunk = 0;
    auto receive = [&](int count) {
        for (int i = 0; i < count; ++i) {
            inner.feed(QByteArray::number(chunk++));
            tap.readAvailable(1, buf, sizeof buf);
        }
        m.pull();
    };
    QScrollBar* bar = m.LinkRecord()->verticalScrollBar();
    auto topLine = [&] {
        return m.LinkRecord()->document()->findBlockByNumber(bar->value()).text();
    };

    receive(200);
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    receive(10);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(topLine() != QString());

    // Scrolled back: the view stays on the lines being read.
    bar->setValue(50);
    const QString reading = topLine();
    receive(30);
    QCOMPARE(bar->value(), 50);
    QCOMPARE(topLine(), reading);

    // Back at the bottom: it follows again.
    bar->setValue(bar->maximum());
    receive(5);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(m.LinkRecord()->document()->lastBlock().text().contains("\"244\""));

    // Full: the oldest lines leave the view; one scrolled back still sees the same line.
    receive(TLinkMonitor::MaxLines - 245 - 10);
    QCOMPARE(m.LinkRecord()->blockCount(), TLinkMonitor::MaxLines - 10);
    bar->setValue(bar->maximum() - 40);
    const QString near = topLine();
    receive(100);
    QCOMPARE(m.LinkRecord()->blockCount(), TLinkMonitor::MaxLines);
    QCOMPARE(topLine(), near);
    QCOMPARE(bar->value(), bar->maximum() - 40 - 100);
}

QTEST_MAIN(TestLinkMonitor)
#include "test_link_monitor.moc"
