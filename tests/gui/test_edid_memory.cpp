// The EDID memory editor: the grid filled from the image, the key filter with its edit-start
// flag, cells put right on arrow keys and mouse presses, "OK" and the close box, pasted text,
// and a read that completes while the editor is open.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "GuiRig.h"
#include "edid/EdidCellDelegate.h"
#include "edid/EdidCodec.h"
#include "edid/TEDID_Block.h"
#include "ui/TStringGrid.h"

namespace {

EdidImage pattern() {
    EdidImage image;
    for (int i = 0; i < 256; ++i) image[i] = quint8(i * 7 + 3);
    return image;
}

QString hex(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// The editor on the rig's windows, with helpers that act as the operator would.
struct Editor {
    GuiRig& rig;
    TEDID_Block& d;
    TStringGrid& grid;

    explicit Editor(GuiRig& r)
        : rig(r), d(*r.windows->EDID_Block), grid(*r.windows->EDID_Block->StringGrid1()) {}

    // Opens the editor, runs inside while it is up; inside must close it.
    void open(const std::function<void()>& inside) {
        runModal([&] { rig.menuItem("EDID_Memorys")->trigger(); }, [&](QWidget*) { inside(); });
    }
    QLineEdit* field() const { return d.cellDelegate()->editor(); }
    // Keys go where the operator's would: into the open cell editor, else to the grid.
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = field() ? static_cast<QWidget*>(field()) : &grid;
        QTest::keyClick(target, Qt::Key(k), mods);
    }
    void type(const QString& text) {
        for (QChar c : text) {
            QWidget* target = field() ? static_cast<QWidget*>(field()) : &grid;
            QTest::keyClick(target, c.toLatin1());
        }
    }
    void go(int col, int row) { grid.setCurrentCell(col, row); }
    void press(int col, int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(grid.viewport(), button, {}, grid.cellRect(col, row).center());
    }
    QString cell(int col, int row) const { return grid.Cells(col, row); }
    QString readOut(int col, int row) const {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
        return table->tableInterface()->cellAt(row - 1, col - 1)->text(QAccessible::Name);
    }
};

}  // namespace

class TestEdidMemory : public QObject {
    Q_OBJECT

private slots:
    void showsTheImageInTheGrid() {
        GuiRig rig;
        Editor e(rig);
        QStringList cells, headings;
        e.open([&] {
            for (int r = 1; r <= 16; ++r)
                for (int c = 1; c <= 16; ++c) cells << e.cell(c, r);
            for (int i = 1; i <= 16; ++i) headings << e.cell(i, 0) + "|" + e.cell(0, i);
            QCOMPARE(QPoint(e.grid.Col(), e.grid.Row()), QPoint(1, 1));
            e.d.close();
        });
        QCOMPARE(cells, QStringList(256, "00"));
        QCOMPARE(headings.first(), QStringLiteral(" 00| 00"));
        QCOMPARE(headings.last(), QStringLiteral(" 0F| 0F"));
        QCOMPARE(headings[10], QStringLiteral(" 0A| 0A"));  // row 11 is headed by A, not A0

        // Byte 17 = 0xAB is column 2, row 2; every cell reads out as it shows.
        rig.engine.edid() = pattern();
        rig.engine.edid()[17] = 0xAB;
        e.open([&] {
            e.go(5, 5);
            e.d.close();
        });
        e.open([&] {
            QCOMPARE(e.cell(2, 2), QStringLiteral("AB"));
            QCOMPARE(e.readOut(2, 2), QStringLiteral("AB"));
            QCOMPARE(e.cell(16, 16), hex(quint8(255 * 7 + 3)));
            QCOMPARE(e.cell(1, 9), hex(quint8(128 * 7 + 3)));
            // Every opening starts at the first cell again.
            QCOMPARE(QPoint(e.grid.Col(), e.grid.Row()), QPoint(1, 1));
            e.d.close();
        });

        QCOMPARE(e.grid.geometry(), QRect(8, 8, 601, 385));
        QCOMPARE(e.grid.accessibleName(), QStringLiteral("StringGrid1"));
        QCOMPARE(e.grid.colWidth(0), 34);
        QCOMPARE(e.grid.colWidth(16), 34);
        QCOMPARE(e.grid.verticalHeader()->defaultSectionSize(), 21);
        QCOMPARE(e.d.Button1()->geometry(), QRect(504, 400, 81, 25));
        QCOMPARE(e.d.Button1()->accessibleName(), QStringLiteral("OK"));
    }

    void keysGoThroughTheFilter() {
        GuiRig rig;
        rig.engine.edid().fill(0x7F);
        Editor e(rig);
        e.open([&] {
            // The first key of an edit replaces the cell; small letters become capitals.
            e.type("ab");
            QCOMPARE(e.cell(1, 1), QStringLiteral("AB"));
            e.type("c");            // a full cell takes no third digit
            e.key(Qt::Key_Return);  // dropped: the edit goes on
            QVERIFY(e.field());
            QCOMPARE(e.cell(1, 1), QStringLiteral("AB"));
            e.key(Qt::Key_Backspace);
            e.type("5");
            QCOMPARE(e.cell(1, 1), QStringLiteral("A5"));

            // "G", "-" and a blank do nothing, at the start of an edit or inside one.
            e.go(2, 1);
            e.type("G- ");
            QCOMPARE(e.cell(2, 1), QStringLiteral("7F"));
            QVERIFY(!e.d.EditStart());
            e.key(Qt::Key_Backspace);
            e.key(Qt::Key_Backspace);
            e.type("g 9x");
            QCOMPARE(e.cell(2, 1), QStringLiteral("9"));

            // Escape puts back what the cell held when the edit began, and keeps the dialog.
            e.go(3, 1);
            e.key(Qt::Key_F2);
            QVERIFY(e.d.EditStart());
            e.type("1");
            QCOMPARE(e.cell(3, 1), QStringLiteral("1"));
            e.key(Qt::Key_Escape);
            QCOMPARE(e.cell(3, 1), QStringLiteral("7F"));
            QVERIFY(!e.field());
            e.key(Qt::Key_Escape);
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
            QCOMPARE(QPoint(e.grid.Col(), e.grid.Row()), QPoint(1, 2));

            // Left and Right move inside an edit and leave the cell as typed.
            e.type("3");
            e.key(Qt::Key_Left);
            QCOMPARE(e.cell(1, 2), QStringLiteral("3"));
            e.key(Qt::Key_Escape);

            // Several short cells at once, by any press in the grid, a heading's too.
            for (const auto& [col, row, text] :
                 {std::tuple{3, 3, "5"}, {4, 4, ""}, {5, 5, "1F"}, {6, 6, "0"}}) {
                e.go(col, row);
                e.key(Qt::Key_F2);
                e.key(Qt::Key_Backspace);
                e.type(text);
            }
            e.press(8, 8, Qt::RightButton);
            QCOMPARE(QStringList({e.cell(3, 3), e.cell(4, 4), e.cell(5, 5), e.cell(6, 6)}),
                     QStringList({"05", "00", "1F", "00"}));
            e.go(7, 7);
            e.key(Qt::Key_F2);
            e.key(Qt::Key_Backspace);
            QTest::mouseClick(e.grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
                              QPoint(5, 5));
            QCOMPARE(e.cell(7, 7), QStringLiteral("00"));
            e.d.close();
        });
    }

    void okStoresTheCellsAndTheCloseBoxKeepsTheImage() {
        GuiRig rig;
        rig.engine.edid() = pattern();
        const EdidImage before = pattern();
        Editor e(rig);
        e.open([&] {
            e.type("C");  // byte 0 := 0x0C, short and never put right
            e.go(2, 1);
            e.key(Qt::Key_F2);
            e.key(Qt::Key_Backspace);
            e.key(Qt::Key_Backspace);  // byte 1 erased: stores 0
            e.go(16, 16);
            e.type("e7");
            e.d.Button1()->click();
        });
        QVERIFY(!e.d.isVisible());
        EdidImage expected = before;
        expected[0] = 0x0C;
        expected[1] = 0x00;
        expected[255] = 0xE7;
        QVERIFY(rig.engine.edid() == expected);
        QVERIFY(rig.messages.isEmpty());

        // Edits left by the close box are lost, and the next opening shows the image.
        e.open([&] {
            QCOMPARE(e.cell(1, 1), QStringLiteral("0C"));
            e.type("FF");
            e.go(9, 9);
            e.type("11");
            e.d.close();
        });
        QVERIFY(rig.engine.edid() == expected);
        e.open([&] {
            QCOMPARE(e.cell(1, 1), QStringLiteral("0C"));
            QCOMPARE(e.cell(9, 9), hex(expected[136]));
            e.d.close();
        });
    }

    // Text that never went through the key filter: a cell holds up to two hexadecimal digits.
    void pastedTextIsRefusedUnlessItIsAByte() {
        GuiRig rig;
        rig.engine.edid().fill(0x42);
        Editor e(rig);
        QClipboard* clipboard = QApplication::clipboard();
        e.open([&] {
            e.key(Qt::Key_F2);
            for (const char* refused : {"ZZ", "123", "0x1", "-1", "1 2"}) {
                clipboard->setText(refused);
                e.key(Qt::Key_V, Qt::ControlModifier);
                QVERIFY2(e.cell(1, 1) == QStringLiteral("42"), refused);
            }
            clipboard->setText(" 7f ");
            e.key(Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(e.cell(1, 1), QStringLiteral("7F"));
            // A refused paste keeps the edit's text.
            clipboard->setText("QQ");
            e.key(Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(e.field()->text(), QStringLiteral("7F"));
            e.d.Button1()->click();
        });
        QCOMPARE(rig.engine.edid()[0], quint8(0x7F));
        QCOMPARE(rig.engine.edid()[1], quint8(0x42));
    }

    // "OK" stores the cells the operator changed; the bytes a read brought in meanwhile stay.
    void readCompletingUnderTheEditorSurvivesOk() {
        GuiRig rig;
        rig.makePresent();
        rig.line.answerFrames = false;
        rig.engine.edid().fill(0x11);
        const EdidImage served = pattern();
        QVERIFY(rig.engine.startCommand(Command::Redid));
        Editor e(rig);
        e.open([&] {
            e.go(2, 1);
            e.type("AB");
            // The read goes on under the dialog, as the timers run it there.
            rig.line.feed("OK1\r\n");
            for (int i = 0; i < 20 && rig.engine.state().redidSlot != CommandSlot::Idle; ++i) {
                const QByteArray sent = rig.line.sent();
                rig.line.clearSent();
                if (sent.size() == 3)
                    rig.line.feed(EdidCodec::encodeBlock(served.data() + quint8(sent[1])) + "\r\n");
                rig.pump();
            }
            QCOMPARE(rig.messages, QStringList{"  Read EDID Successful!!  "});
            QVERIFY(rig.engine.edid() == served);
            // The open grid still shows what it was filled with.
            QCOMPARE(e.cell(3, 1), QStringLiteral("11"));
            e.d.Button1()->click();
        });
        EdidImage expected = served;
        expected[1] = 0xAB;
        QVERIFY(rig.engine.edid() == expected);
    }
};

QTEST_MAIN(TestEdidMemory)
#include "test_edid_memory.moc"
