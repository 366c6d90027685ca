#pragma once

#include <QDialog>

#include "ui/TFormDialog.h"

class LinkEngine;
class QPainter;
class QPushButton;
class TStringGrid;

// "Timings": marks the timings the generator is to offer and uploads that selection (TMGS).
// The marks are TimingSelection itself; closing the dialog clears them.
class TTimings : public TFormDialog {
    Q_OBJECT
public:
    static constexpr int FormLeft = 222;
    static constexpr int FormTop = 177;
    static constexpr int FormWidth = 603;
    static constexpr int FormHeight = 406;
    static const QString SelectAllCaption;
    static const QString UnSelectAllCaption;
    static const QString Mark;

    explicit TTimings(LinkEngine& engine, QWidget* parent = nullptr);

    TStringGrid* StringGrid3() const { return StringGrid3_; }
    QPushButton* Button1() const { return Button1_; }
    QPushButton* Timings_OK() const { return Timings_OK_; }

    // 1 while a mouse button pressed on the grid is held; steers the painting only.
    quint8 TimingGridMouseHeld = 0;

    void StringGrid3MouseDown();
    void StringGrid3MouseUp();
    void StringGrid3DrawCell(QPainter& painter, int col, int row, const QRect& rect);
    void Button1Click();
    void Timings_OKClick();

    // Closing by any way (the system menu, Escape) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    // The "Select" cells carry the mark as text too, so assistive technology reads them.
    void refreshMarks();
    quint8& flag(int row);

    LinkEngine& engine_;
    TStringGrid* StringGrid3_;
    QPushButton* Button1_;
    QPushButton* Timings_OK_;
};
