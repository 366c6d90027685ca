// The EDID memory editor: the grid filled from the image, the key filter with its edit-start
// flag, cells put right by arrow keys and presses, "OK" and the close box, pasted text, and a
// read that completes while the editor is open.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "GuiRig.h"
#include "edid/EdidCellDelegate.h"
#include "edid/EdidCodec.h"
#include "edid/TEDID_Block.h"
#include "ui/TStringGrid.h"

namespace {

// The editor on the rig's windows, used as the operator would.
struct Editor {
    GuiRig& rig;
    TEDID_Block& d;
    TStringGrid& grid;

    explicit Editor(GuiRig& r)
        : rig(r), d(*r.windows->EDID_Block), grid(*r.windows->EDID_Block->StringGrid1()) {}

    // EDID > Memory; inside runs while it is up and must close it.
    void open(const std::function<void()>& inside) {
        runModal([&] { rig.menuItem("EDID_Memorys")->trigger(); }, [&](QWidget*) { inside(); });
    }
    // Keys go into the open cell editor, else to the grid.
    QWidget* focus() const {
        QLineEdit* field = d.cellDelegate()->editor();
        return field ? static_cast<QWidget*>(field) : &grid;
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(focus(), Qt::Key(k), mods);
    }
    void type(const char* text) {
        for (; *text; ++text) QTest::keyClick(focus(), *text);
    }
    // Starts an edit of (col, row) and erases it.
    void erase(int col, int row) {
        grid.setCurrentCell(col, row);
        key(Qt::Key_F2);
        key(Qt::Key_Delete);
    }
    QString cell(int col, int row) const { return grid.Cells(col, row); }
};

}  // namespace

class TestEdidMemory : public QObject {
    Q_OBJECT

private slots:
    void showsTheImage() {
        GuiRig rig;
        Editor e(rig);
        QStringList cells;
        e.open([&] {
            for (int r = 1; r <= 16; ++r)
                for (int c = 1; c <= 16; ++c) cells << e.cell(c, r);
            e.grid.setCurrentCell(5, 5);
            e.d.close();
        });
        QCOMPARE(cells, QStringList(256, "00"));
        QCOMPARE(QStringList({e.cell(1, 0), e.cell(11, 0), e.cell(0, 11), e.cell(0, 16)}),
                 QStringList({" 00", " 0A", " 0A", " 0F"}));  // row 11 is headed by A, not A0

        rig.engine.edid()[17] = 0xAB;
        e.open([&] {
            QCOMPARE(e.cell(2, 2), QStringLiteral("AB"));
            QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&e.grid);
            QCOMPARE(table->tableInterface()->cellAt(1, 1)->text(QAccessible::Name), "AB");
            QCOMPARE(QPoint(e.grid.Col(), e.grid.Row()), QPoint(1, 1));
            e.d.close();
        });
    }

    void keysGoThroughTheFilter() {
        GuiRig rig;
        rig.engine.edid().fill(0x7F);
        Editor e(rig);
        e.open([&] {
            // The first key of an edit replaces the cell, small letters become capitals, a full
            // cell takes no third digit, Return is dropped.
            e.type("abc");
            e.key(Qt::Key_Return);
            QCOMPARE(e.cell(1, 1), QStringLiteral("AB"));
            e.key(Qt::Key_Backspace);
            e.type("5");
            QCOMPARE(e.cell(1, 1), QStringLiteral("A5"));
            // "G", "-" and a blank do nothing.
            e.grid.setCurrentCell(2, 1);
            e.type("G- ");
            QCOMPARE(e.cell(2, 1), QStringLiteral("7F"));
            e.erase(2, 1);
            e.type("g-9x");
            QCOMPARE(e.cell(2, 1), QStringLiteral("9"));
            // Escape puts back the edit's starting text, and never closes the dialog.
            e.grid.setCurrentCell(3, 1);
            e.type("1");
            e.key(Qt::Key_Escape);
            e.key(Qt::Key_Escape);
            QCOMPARE(e.cell(3, 1), QStringLiteral("7F"));
            QVERIFY(e.d.isVisible());
            e.d.close();
        });
    }

    void arrowKeysAndPressesPutCellsRight() {
        GuiRig rig;
        Editor e(rig);
        e.open([&] {
            e.type("7");
            e.key(Qt::Key_Down);
            QCOMPARE(e.cell(1, 1), QStringLiteral("07"));
            e.type("3");
            e.key(Qt::Key_Left);  // moves inside the edit only
            QCOMPARE(e.cell(1, 2), QStringLiteral("3"));
            e.erase(3, 3);
            e.type("1F");
            e.erase(4, 4);
            QTest::mouseClick(e.grid.viewport(), Qt::RightButton, {},
                              e.grid.cellRect(8, 8).center());
            QCOMPARE(QStringList({e.cell(1, 2), e.cell(3, 3), e.cell(4, 4)}),
                     QStringList({"03", "1F", "00"}));
            e.erase(5, 5);
            QTest::mouseClick(e.grid.horizontalHeader()->viewport(), Qt::LeftButton);
            QCOMPARE(e.cell(5, 5), QStringLiteral("00"));
            e.d.close();
        });
    }

    void okStoresAndTheCloseBoxKeeps() {
        GuiRig rig;
        rig.engine.edid().fill(0x33);
        Editor e(rig);
        e.open([&] {
            e.type("C");    // short, never put right
            e.erase(2, 1);  // erased: stores 0
            // A double-click on a cell edits it (its first press makes it current).
            const QRect at = e.grid.cellRect(5, 5);
            QTest::mouseClick(e.grid.viewport(), Qt::LeftButton, {}, at.center());
            QTest::mouseDClick(e.grid.viewport(), Qt::LeftButton, {}, at.center());
            QVERIFY(e.d.cellDelegate()->editor());
            e.type("e7");
            e.d.Button1()->click();
        });
        EdidImage expected;
        expected.fill(0x33);
        expected[0] = 0x0C;
        expected[1] = 0x00;
        expected[68] = 0xE7;
        QVERIFY(rig.engine.edid() == expected);
        // Edits left by the close box are lost; the next opening shows the image.
        e.open([&] {
            e.type("FF");
            e.d.close();
        });
        QVERIFY(rig.engine.edid() == expected);
        e.open([&] {
            QCOMPARE(e.cell(1, 1), QStringLiteral("0C"));
            e.d.close();
        });
    }

    // Text that never passed the key filter: a cell holds up to two hexadecimal digits.
    void pastedTextMustBeAByte() {
        GuiRig rig;
        rig.engine.edid().fill(0x42);
        Editor e(rig);
        e.open([&] {
            e.key(Qt::Key_F2);
            for (const char* text : {"ZZ", "123", "0x1", " 7f "}) {
                QApplication::clipboard()->setText(text);
                e.key(Qt::Key_V, Qt::ControlModifier);
            }
            QCOMPARE(e.cell(1, 1), QStringLiteral("7F"));
            e.d.Button1()->click();
        });
        QCOMPARE(rig.engine.edid()[0], quint8(0x7F));
    }

    // "OK" stores the cells the operator changed; what a read brought in meanwhile stays.
    void readCompletingUnderTheEditorSurvivesOk() {
        GuiRig rig;
        rig.makePresent();
        rig.line.answerFrames = false;
        EdidImage served;
        for (int i = 0; i < 256; ++i) served[i] = quint8(i * 7 + 3);
        QVERIFY(rig.engine.startCommand(Command::Redid));
        Editor e(rig);
        e.open([&] {
            e.grid.setCurrentCell(2, 1);
            e.type("AB");
            // The timers carry the read on under the dialog.
            rig.line.feed("OK1\r\n");
            for (int i = 0; i < 20 && rig.messages.isEmpty(); ++i) {
                const QByteArray request = rig.line.sent().right(3);
                rig.line.clearSent();
                if (request.size() == 3 && request[0] == ' ' && request[2] == ' ')
                    rig.line.feed(EdidCodec::encodeBlock(served.data() + quint8(request[1])));
                rig.pump();
            }
            QCOMPARE(rig.messages, QStringList{"  Read EDID Successful!!  "});
            e.d.Button1()->click();
        });
        served[1] = 0xAB;
        QVERIFY(rig.engine.edid() == served);
    }
};

QTEST_MAIN(TestEdidMemory)
#include "test_edid_memory.moc"
