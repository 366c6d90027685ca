#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "ui/TFormDialog.h"

class EdidCellDelegate;
class LinkEngine;
class QPushButton;
class TStringGrid;

// Shows the EDID image as a 16 x 16 grid of hexadecimal bytes for editing. Created once,
// hidden; shown modally. Every showing fills the grid from the image; "OK" stores it back, the
// close box leaves the image as it was.
class TEDID_Block : public TFormDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 625;
    static constexpr int FormHeight = 467;
    // Data cells per row and per column.
    static constexpr int Side = 16;
    static const QString Caption;

    explicit TEDID_Block(LinkEngine& engine, QWidget* parent = nullptr);

    TStringGrid* StringGrid1() const { return StringGrid1_; }
    QPushButton* Button1() const { return Button1_; }
    EdidCellDelegate* cellDelegate() const { return delegate_; }
    // The edit-start flag: set when an edit fetches its cell's text, cleared by the next key.
    bool EditStart() const { return EditStart_ != 0; }

    // Image byte of data cell (col, row), both 1 to 16.
    static int byteIndex(int col, int row) { return Side * (row - 1) + (col - 1); }
    // A cell's text read as a hexadecimal number: 0 for an empty cell, -1 for anything but
    // hexadecimal digits.
    static int cellValue(const QString& text);

    void Button1Click();
    // The character filter: returns the character to type, or a null character to drop the key.
    QChar StringGrid1KeyPress(QChar key);
    void StringGrid1GetEditText();
    void StringGrid1KeyDown(int key);
    void StringGrid1MouseDown(Qt::MouseButton button);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    // Empty cells become "00", values up to 15 get their leading zero.
    void normaliseCells();

    LinkEngine& engine_;
    TStringGrid* StringGrid1_;
    EdidCellDelegate* delegate_;
    QPushButton* Button1_;
    quint8 EditStart_ = 0;
    // What each cell showed when the grid was filled: "OK" stores only the cells that differ,
    // so a read that completed while the dialog was open keeps the bytes nobody edited.
    std::array<QString, Side * Side> filled_;
};
